// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "support/Harness.h"

#include <functional>
#include <optional>
#include <string>

namespace gpibconfig::test {

// The program's window on a driver other than the bench's board (a Prologix controller in front
// of a bench, the real controller firmware), driven through its widgets as Harness drives it on
// the bench. `powerCycle` switches the unit of an entry off and on where the window asks for it.
struct WindowOnDriver {
    CountingNotifier notifier;
    ProgramState state;
    GPIB32 gpib;
    AppContext app;
    std::unique_ptr<MainWindow> main;
    // What the channel dialog is answered with, one text per showing.
    std::deque<QString> channelAnswers;
    bool configWindowOpened = false;
    std::function<void(const QString& entry)> powerCycle;

    WindowOnDriver(Driver& driver, Clock& clock, std::function<void(const QString&)> cycle)
        : gpib(driver)
        , app{state, gpib, clock, notifier}
        , powerCycle(std::move(cycle))
    {
        main = std::make_unique<MainWindow>(app);
        main->show();
    }
    ~WindowOnDriver() { main.reset(); }

    QWidget* mainControl(const QString& name) const { return main->findChild<QWidget*>(name); }

    // As Harness::configure: select, Configure, power cycle where asked, run the script.
    template <typename Script> void configure(const QString& entry, Script script)
    {
        configWindowOpened = false;
        main->setConfigWindowHook([this, script](ConfigWindow& window) {
            configWindowOpened = true;
            window.setChannelDialogHook([this](ChannelDialog& dialog) {
                QTimer::singleShot(0, &dialog, [this, &dialog] {
                    if (!channelAnswers.empty()) {
                        QTest::keyClicks(dialog.findChild<QLineEdit*>(ctl::txtChNum),
                                         channelAnswers.front());
                        channelAnswers.pop_front();
                        QTest::mouseClick(dialog.findChild<QPushButton*>(ctl::cmdChSel),
                                          Qt::LeftButton);
                    }
                    if (dialog.isVisible())
                        dialog.close();
                });
            });
            window.setNoticeDialogHook([](NoticeDialog& dialog) {
                QTimer::singleShot(0, &dialog, [&dialog] {
                    QTest::mouseClick(dialog.findChild<QPushButton*>(ctl::cmdCancel),
                                      Qt::LeftButton);
                });
            });
            QTimer::singleShot(0, &window, [&window, script]() mutable {
                script(window);
                if (window.isVisible())
                    window.done(QDialog::Rejected);
            });
        });
        auto* list = main->findChild<QListWidget*>(ctl::listUnit);
        const auto items = list->findItems(entry, Qt::MatchExactly);
        QVERIFY(!items.isEmpty());
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(items.front()).center());
        QTest::mouseClick(mainControl(ctl::cmdConfig), Qt::LeftButton);
        auto* cont = qobject_cast<QPushButton*>(mainControl(ctl::cmdContinue));
        if (cont->isEnabled()) {
            powerCycle(entry);
            QTest::mouseClick(cont, Qt::LeftButton);
        }
    }

    // The first thing every configuration does: Set Address (channel 1 of a multi-channel unit),
    // and what the window shows then. `opened` runs as the window opens, before the address.
    struct FirstQuery {
        QString firstLine; // the function list's first line
        QString gpibError; // the status report; empty when none is shown
        QString explained; // the driver's plain words that come with it
    };
    FirstQuery firstQuery(const QString& entry, int address, const std::function<void()>& opened)
    {
        FirstQuery result;
        channelAnswers = {QStringLiteral("1")};
        configure(entry, [&](ConfigWindow& window) {
            Run run{window};
            opened();
            run.setAddress(QString::number(address));
            result.firstLine = run.lines().value(0);
            if (run.visible(ctl::txtGPIBErr)) {
                result.gpibError = run.gpibError();
                result.explained = run.c(ctl::txtGPIBErr)->accessibleDescription();
            }
        });
        return result;
    }
};

// The header of the first query among the messages a unit got (not *ESR?): the function whose
// value the first line shows.
inline QString firstQueriedHeader(const QStringList& messageTexts)
{
    for (const QString& text : messageTexts) {
        if (text.endsWith(QLatin1Char('?')) && text != QLatin1String("*ESR?"))
            return text.chopped(1);
    }
    return {};
}

// What the list shows for a function whose query went out as `header`, for a unit in the state
// `view` with `setting` the value it holds for that header.
inline QString shownValue(const sim::UnitView& view, const QString& header,
                          const std::optional<std::string>& setting)
{
    if (header == QLatin1String("SYST:COMM:GPIB:ADDR"))
        return view.onSwitchAddress ? QStringLiteral("%1/31").arg(view.switchAddress)
                                    : QString::number(view.primary);
    return setting ? QString::fromStdString(*setting) : QStringLiteral("<unknown to the unit>");
}

} // namespace gpibconfig::test
