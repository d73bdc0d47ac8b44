// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "logic/Controls.h"
#include "sim/Bench.h"
#include "sim/BenchTypes.h"
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
#include <optional>
#include <string>

namespace gpibconfig::test {

// One open configuration window, driven by its controls. `start` is where the record of the bus
// stood when the window opened (see WindowOnDriver::position).
struct Run {
    ConfigWindow& w;
    std::size_t start = 0;

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

// The analog unit's whole menu (the 7352A at 15), from the address to a locked, saved
// configuration, as each window suite runs it on its own bus (the bench, a Prologix controller,
// the AR488 firmware, a VXI-11 gateway): every function queried, the offset set and read back in
// the unit's form, a limit the unit refuses, the fifteenth function scrolling the list, both
// power-on status choices, Lock Settings, and Done closing at once after the lock's confirmed
// save. WindowOnDriver::walkAnalogUnit runs it; checkAnalogWalk looks at what it left.
namespace analogWalk {
inline const QString kEntry = QStringLiteral("7352A");
inline const QString kAddress = QStringLiteral("15");

// In the configuration window, after Set Address.
inline void inWindow(Run& run)
{
    QVERIFY2(!run.visible(ctl::txtGPIBErr), qPrintable(run.gpibError()));
    run.enter(); // Ext switch
    run.enter(); // V Out Offset
    run.enter(QStringLiteral("2.5"));
    QCOMPARE(run.lines().last(),
             listLine(QStringLiteral("V Out Offset +/-dd.dddd"), QStringLiteral("+02.5000")));
    run.enter(); // Slope
    run.enter(); // Limit
    run.enter(QStringLiteral("11"));
    QCOMPARE(run.lines().last(),
             listLine(QStringLiteral("V Out Limit dd.dddd"), QStringLiteral("Error - retry")));
    for (int f = 6; f <= 15; ++f)
        run.enter();
    QCOMPARE(run.lines().size(), 14); // one line scrolled away at function 15
    QCOMPARE(run.lines().first().left(24), QStringLiteral("Bus Address Ext Sw - 1/0"));
    QCOMPARE(run.lines().at(9),
             listLine(QStringLiteral("V In Pol - 1=Uni, 2=Bipolar "), QStringLiteral("2")));
    run.enter();
    run.click(ctl::cmdSRQ);
    run.click(ctl::cmdSRQ);
    run.click(ctl::cmdNoSRQ);
    run.click(ctl::cmdLock);
    QVERIFY2(run.enabled(ctl::cmdSav), "Lock Settings changes no button");
    QVERIFY2(!run.visible(ctl::txtGPIBErr), qPrintable(run.gpibError()));
    run.click(ctl::cmdDone);
    QVERIFY2(!run.w.isVisible(), "the lock's confirmed save arms Done");
}
} // namespace analogWalk

// What the walk left: the messages the unit took from its start on, as "<unit> <text>" with
// `unit` naming the 7352A ("0x000F" in the bench's trace, "7352A" in the AR488 oracle's list);
// the unit's state, and the offset it keeps over a power cycle.
inline void checkAnalogWalk(const QStringList& messages, const QString& unit,
                            const sim::UnitView& view,
                            const std::optional<std::string>& savedOffset)
{
    const QString u = unit + QLatin1Char(' ');
    for (const char* text : {"VOLT:SLOPe?", "VOLT:LIMit?", "VOLT?", "VOLT:LIMit 11"})
        QVERIFY2(messages.contains(u + QLatin1String(text)), text);
    QCOMPARE(messages.indexOf(u + QStringLiteral("VOLT?")),
             messages.indexOf(u + QStringLiteral("VOLT:POL?")) + 1);
    QCOMPARE(messages.mid(messages.size() - 7),
             QStringList({u + "*PSC 0", u + "*PSC 0", u + "*PSC 1", u + "*CLS", u + "CAL:LOCK ON",
                          u + "*SAV 0", u + "*ESR?"}));
    QVERIFY(view.locked);
    QVERIFY(view.everSaved);
    QVERIFY(view.powerOnClear); // the last choice was Don't Save SRE
    QCOMPARE(savedOffset.value_or(""), std::string("+02.5000"));
}

// The program's window on any driver (the bench's board, a Prologix controller in front of a
// bench, the real controller firmware), driven through its real widgets in virtual time where
// the clock allows it. `powerCycle` switches the unit of an entry off and on where the window
// asks for it; `position` says where the record of the bus stands (the bench's trace length, the
// number of messages an oracle has seen).
struct WindowOnDriver {
    CountingNotifier notifier;
    ProgramState state;
    GPIB32 gpib;
    AppContext app;
    std::unique_ptr<MainWindow> main;
    // What the channel dialog is answered with, one text per showing; "<close>" closes it with
    // the window's close control. A refused text leaves the dialog open for the next one.
    std::deque<QString> channelAnswers;
    // Notices shown, and where the record of the bus stood when each was shown.
    QStringList notices;
    std::vector<std::size_t> traceLinesAtNotice;
    bool configWindowOpened = false;
    std::function<void(const QString& entry)> powerCycle;
    std::function<std::size_t()> position;

    WindowOnDriver(Driver& driver, Clock& clock, std::function<void(const QString&)> cycle,
                   std::function<std::size_t()> where)
        : gpib(driver)
        , app{state, gpib, clock, notifier}
        , powerCycle(std::move(cycle))
        , position(std::move(where))
    {
        main = std::make_unique<MainWindow>(app);
        main->show();
    }
    // On `driver` in front of `bench` (the bench's board or a controller before it), in the
    // bench's time: the power cycle done on the bench, its trace the record of the bus.
    WindowOnDriver(Driver& driver, sim::Bench& bench)
        : WindowOnDriver(
              driver, bench.clock(),
              [&bench](const QString& entry) {
                  bench.powerCycle(bench.unitId(entry.toStdString()));
              },
              [&bench] { return bench.trace().size(); })
    {
    }
    ~WindowOnDriver() { main.reset(); }
    WindowOnDriver(const WindowOnDriver&) = delete;
    WindowOnDriver& operator=(const WindowOnDriver&) = delete;

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
        configWindowOpened = false;
        main->setConfigWindowHook([this, script](ConfigWindow& window) {
            configWindowOpened = true;
            hookDialogs(window);
            QTimer::singleShot(0, &window, [&window, script]() mutable {
                script(window);
                if (window.isVisible())
                    window.done(QDialog::Rejected);
            });
        });
        select(entry);
        QTest::mouseClick(mainControl(ctl::cmdConfig), Qt::LeftButton);
        auto* cont = qobject_cast<QPushButton*>(mainControl(ctl::cmdContinue));
        if (cont->isEnabled()) {
            powerCycle(entry);
            QTest::mouseClick(cont, Qt::LeftButton);
        }
    }

    // Configure `entry`, Set Address `address`, then `body(run)` in the open configuration
    // window; `prepare(run)`, where given, runs before the address. Fails the test when the
    // window did not open. Returns where the record of the bus stood as the window opened.
    template <typename Body>
    std::size_t runAt(const QString& entry, const QString& address, Body body)
    {
        const auto nothingFirst = [](Run&) {};
        return runAt(entry, address, nothingFirst, body);
    }
    template <typename Prepare, typename Body>
    std::size_t runAt(const QString& entry, const QString& address, Prepare prepare, Body body)
    {
        std::size_t start = 0;
        configure(entry, [&](ConfigWindow& window) {
            Run run{window, position()};
            start = run.start;
            prepare(run);
            if (QTest::currentTestFailed())
                return;
            run.setAddress(address);
            body(run);
        });
        QTest::qVerify(configWindowOpened, "configWindowOpened",
                       qPrintable(entry + QStringLiteral(": no configuration window")), __FILE__,
                       __LINE__);
        return start;
    }

    // The analog unit's walk (see analogWalk); also checks that nothing beeped. Returns where
    // the record of the bus stood as the window opened.
    std::size_t walkAnalogUnit()
    {
        const std::size_t start =
            runAt(analogWalk::kEntry, analogWalk::kAddress, analogWalk::inWindow);
        QTest::qCompare(notifier.beeps, 0, "notifier.beeps", "0", __FILE__, __LINE__);
        return start;
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
                traceLinesAtNotice.push_back(position());
                QTest::mouseClick(dialog.findChild<QPushButton*>(ctl::cmdCancel), Qt::LeftButton);
            });
        });
    }

    // The first thing every configuration does: Set Address (channel 1 of a multi-channel unit),
    // and what the window shows then.
    struct FirstQuery {
        QString firstLine; // the function list's first line
        QString gpibError; // the status report; empty when none is shown
        QString explained; // the driver's plain words that come with it
        std::size_t start = 0; // where the record of the bus stood as the window opened
    };
    FirstQuery firstQuery(const QString& entry, int address)
    {
        FirstQuery result;
        channelAnswers = {QStringLiteral("1")};
        result.start = runAt(entry, QString::number(address), [&](Run& run) {
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
