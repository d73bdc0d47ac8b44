// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "logic/Controls.h"
#include "sim/Bench.h"
#include "support/BusRecords.h"
#include "support/TestContext.h"
#include "ui/ConfigWindow.h"
#include "ui/Dialogs.h"
#include "ui/MainWindow.h"

#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <deque>
#include <functional>
#include <memory>

namespace gpibconfig::test {

// The program on the simulated bench in virtual time, driven through its real widgets.
struct Harness {
    std::unique_ptr<sim::Bench> bench = sim::makeDefaultBench();
    ProgramState state;
    GPIB32 gpib{bench->driver()};
    CountingNotifier notifier;
    AppContext app{state, gpib, bench->clock(), notifier};
    std::unique_ptr<MainWindow> main;

    // What the channel dialog is answered with, one text per showing; "<close>" closes it with
    // the window's close control. A refused text leaves the dialog open for the next one.
    std::deque<QString> channelAnswers;
    // Notices shown, and how many trace lines existed when each was shown.
    QStringList notices;
    std::vector<std::size_t> traceLinesAtNotice;
    bool configWindowOpened = false;

    Harness()
    {
        main = std::make_unique<MainWindow>(app);
        main->show();
    }

    QWidget* mainControl(const QString& name) const { return main->findChild<QWidget*>(name); }

    void select(const QString& entry)
    {
        auto* list = main->findChild<QListWidget*>(ctl::listUnit);
        const auto items = list->findItems(entry, Qt::MatchExactly);
        QVERIFY(!items.isEmpty());
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(items.front()).center());
    }

    // Selects the entry and presses Configure; for power-cycle models, power cycles the unit the
    // way a technician would and presses Continue. `script` runs while the configuration window
    // is open; the window is closed afterwards if the script left it open.
    template <typename Script> void configure(const QString& entry, Script script)
    {
        main->setConfigWindowHook([this, script](ConfigWindow& window) {
            configWindowOpened = true;
            hookDialogs(window);
            QTimer::singleShot(0, &window, [this, &window, script]() mutable {
                script(window);
                if (window.isVisible())
                    window.done(QDialog::Rejected);
            });
        });
        select(entry);
        QTest::mouseClick(mainControl(ctl::cmdConfig), Qt::LeftButton);
        auto* cont = qobject_cast<QPushButton*>(mainControl(ctl::cmdContinue));
        if (cont->isEnabled()) {
            bench->powerCycle(bench->unitId(entry.toStdString()));
            QTest::mouseClick(cont, Qt::LeftButton);
        }
    }

    void hookDialogs(ConfigWindow& window)
    {
        window.setChannelDialogHook([this](ChannelDialog& dialog) {
            QTimer::singleShot(0, &dialog, [this, &dialog] {
                while (dialog.isVisible() && !channelAnswers.empty()) {
                    const QString answer = channelAnswers.front();
                    channelAnswers.pop_front();
                    if (answer == QStringLiteral("<close>")) {
                        dialog.close();
                        return;
                    }
                    auto* edit = dialog.findChild<QLineEdit*>(ctl::txtChNum);
                    QTest::keyClicks(edit, answer);
                    QTest::mouseClick(dialog.findChild<QPushButton*>(ctl::cmdChSel),
                                      Qt::LeftButton);
                }
                if (dialog.isVisible())
                    dialog.close(); // out of answers: give up rather than hang
            });
        });
        window.setNoticeDialogHook([this](NoticeDialog& dialog) {
            QTimer::singleShot(0, &dialog, [this, &dialog] {
                notices << dialog.findChild<QPlainTextEdit*>(ctl::txtNotice)->toPlainText();
                traceLinesAtNotice.push_back(bench->trace().size());
                QTest::mouseClick(dialog.findChild<QPushButton*>(ctl::cmdCancel), Qt::LeftButton);
            });
        });
    }

    // What the bench recorded from position `from` on: every record, or only the driver calls.
    std::vector<BusCall> records(std::size_t from = 0) const
    {
        return bench->trace().records(from);
    }
    std::vector<BusCall> calls(std::size_t from = 0) const { return driverCalls(records(from)); }
    // The bus traffic in short, and only the messages sent (see BusRecords.h).
    QStringList flow(std::size_t from = 0) const { return test::flow(records(from)); }
    QStringList messages(std::size_t from = 0) const { return test::messages(records(from)); }
};

// One open configuration window, driven by its controls.
struct Run {
    ConfigWindow& w;

    template <typename T = QWidget> T* c(const QString& name) const
    {
        auto* widget = w.findChild<T*>(name);
        if (!widget)
            qFatal("no control %s", qPrintable(name));
        return widget;
    }
    void click(const QString& name) const { QTest::mouseClick(c(name), Qt::LeftButton); }
    void setAddress(const QString& text) const
    {
        auto* edit = c<QLineEdit>(ctl::txtAddr);
        edit->clear();
        w.screen().txtAddr.userEditedText(QString());
        QTest::keyClicks(edit, text);
        click(ctl::cmdSet);
    }
    void enter(const QString& value = {}) const
    {
        auto* edit = c<QLineEdit>(ctl::txtChoice);
        QTest::keyClicks(edit, value);
        click(ctl::cmdEnter);
    }
    QStringList lines() const
    {
        QStringList out;
        auto* list = c<QListWidget>(ctl::lstFunction);
        for (int i = 0; i < list->count(); ++i)
            out << list->item(i)->text();
        return out;
    }
    bool enabled(const QString& name) const { return c(name)->isEnabled(); }
    bool visible(const QString& name) const { return c(name)->isVisible(); }
    QString gpibError() const { return c<QPlainTextEdit>(ctl::txtGPIBErr)->toPlainText(); }
    QString errorMessage() const { return c<QLineEdit>(ctl::txtErrMsg)->text(); }
};

// A double-click as the operator makes it: QTest's double-click alone is not always taken as one
// by item views, a click before it makes it reliable.
inline void doubleClickRow(QListWidget* list, int row)
{
    const QPoint at = list->visualItemRect(list->item(row)).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
}

// The line the function list shows: the prompt padded to 35 columns (at least one blank), then
// the value.
inline QString listLine(const QString& prompt, const QString& value)
{
    return prompt + QString(std::max<qsizetype>(1, 35 - prompt.size()), QLatin1Char(' ')) + value;
}

} // namespace gpibconfig::test
