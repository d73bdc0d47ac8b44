// SPDX-License-Identifier: GPL-3.0-or-later
// Whole configuration runs of the analog and basic models on the simulated bench, through the
// real widgets, checked against the bus trace.
#include "models/Models.h"
#include "sim/Board.h"
#include "support/Harness.h"

#include <QSignalSpy>
#include <algorithm>

using namespace gpibconfig;
using namespace gpibconfig::test;

namespace {
const QString kAddressPrompt = QStringLiteral("Bus Address - 0 to 30 or 31");
const QString kEsePrompt = QStringLiteral("ESR Enable Bits - 0 to 255");
const QString kSrePrompt = QStringLiteral("SRE Enable Bits - 0 to 255");
} // namespace

class EndToEndRuns : public QObject {
    Q_OBJECT

private slots:
    void basicModelsToSavedConfiguration_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("word");
        QTest::newRow("7357") << "7357"
                              << "17"
                              << "0x0011";
        QTest::newRow("7362") << "7362"
                              << "19"
                              << "0x0013";
        QTest::newRow("7321") << "7321"
                              << "5"
                              << "0x0005";
    }

    void basicModelsToSavedConfiguration()
    {
        QFETCH(QString, entry);
        QFETCH(QString, address);
        QFETCH(QString, word);
        Harness h;
        const auto unit = h.bench->unitId(entry.toStdString());
        const std::size_t start = h.runAt(entry, address, [&](Run& run) {
            QCOMPARE(run.lines(), QStringList({listLine(kAddressPrompt, address)}));
            QVERIFY(run.enabled(ctl::cmdEnter));
            QVERIFY(run.visible(ctl::labelChoice));

            run.enter(); // to the event status enable register
            QCOMPARE(run.lines().last(), listLine(kEsePrompt, QStringLiteral("0")));
            run.enter(QStringLiteral("16")); // accepted and read back
            QCOMPARE(run.lines().last(), listLine(kEsePrompt, QStringLiteral("16")));
            run.enter(QStringLiteral("999")); // refused by the unit
            QCOMPARE(run.lines().last(), listLine(kEsePrompt, QStringLiteral("Error - retry")));
            QCOMPARE(run.lines().size(), 2);

            run.enter(); // to the service request enable register
            h.bench->setSilent(unit, true);
            run.enter(QStringLiteral("32")); // taken but never confirmed
            QCOMPARE(run.lines().last(), listLine(kSrePrompt, QStringLiteral("No response")));
            QVERIFY2(!run.visible(ctl::txtGPIBErr), "the status query is not reported");
            h.bench->setSilent(unit, false);

            run.enter(); // past the last function
            QVERIFY(!run.enabled(ctl::cmdEnter));
            QVERIFY(!run.enabled(ctl::cmdSet));
            for (const QString& name : {ctl::cmdSav, ctl::cmdLock, ctl::cmdSRQ, ctl::cmdNoSRQ})
                QVERIFY2(run.enabled(name), qPrintable(name));
            run.click(ctl::cmdSav);
            QVERIFY(!run.enabled(ctl::cmdSav));
            run.click(ctl::cmdDone); // closes at once after a successful save
            QVERIFY(!run.w.isVisible());
        });
        QCOMPARE(h.notifier.beeps, 0);

        const QString a = word + QLatin1Char(' ');
        QCOMPARE(h.flow(start), QStringList({"IFC",
                                             "DevClear " + word,
                                             a + "CAL:LOCK 0",
                                             a + "*CLS",
                                             a + "SYST:COMM:GPIB:ADDR?",
                                             "Receive " + word,
                                             a + "*ESE?",
                                             "Receive " + word,
                                             a + "*ESE 16",
                                             "Pause(0.2)",
                                             a + "*ESR?",
                                             "Receive " + word,
                                             a + "*ESE?",
                                             "Receive " + word,
                                             a + "*ESE 999",
                                             "Pause(0.2)",
                                             a + "*ESR?",
                                             "Receive " + word,
                                             a + "*SRE?",
                                             "Receive " + word,
                                             a + "*SRE 32",
                                             "Pause(0.2)",
                                             a + "*ESR?",
                                             "Receive " + word + " TIMEOUT",
                                             a + "*CLS",
                                             a + "*SAV 0",
                                             a + "*ESR?",
                                             "Receive " + word}));
        const auto view = h.bench->unit(unit);
        QCOMPARE(view.channels.at(0).ese, 16);
        QCOMPARE(view.channels.at(0).sre, 32);
        QVERIFY(view.everSaved);
    }

    void analogModelWithLockAndPowerOnStatus()
    {
        Harness h;
        const auto unit = h.bench->unitId("7352A");
        const std::size_t start = h.walkAnalogUnit();
        checkAnalogWalk(h.messages(start), QStringLiteral("0x000F"), h.bench->unit(unit),
                        h.bench->savedSetting(unit, "VOLT:OFFS"));
    }

    void addressFunctionMovesTheUnitAndTheProgramFollows()
    {
        Harness h;
        const auto unit = h.bench->unitId("7321");
        std::size_t afterSeven = 0;
        h.runAt("7321", "5", [&](Run& run) {
            run.enter(QStringLiteral("31")); // back to the switches: the unit stays at 5
            QCOMPARE(run.lines().last(), listLine(kAddressPrompt, QStringLiteral("5/31")));
            QCOMPARE(h.bench->unit(unit).primary, 5);
            afterSeven = h.bench->trace().size();
            run.enter(QStringLiteral("7"));
            QCOMPARE(h.bench->unit(unit).primary, 7);
            QCOMPARE(run.lines().last(), listLine(kAddressPrompt, QStringLiteral("7")));
            run.enter();
            run.enter(QStringLiteral("4"));
            run.enter();
            run.enter();
            run.click(ctl::cmdSav);
            run.click(ctl::cmdDone);
        });
        const QStringList flow = h.flow(afterSeven);
        QCOMPARE(flow.mid(0, 4), QStringList({"0x0005 SYST:COMM:GPIB:ADDR 7", "Pause(0.2)",
                                              "Pause(0.2)", "0x0007 *ESR?"}));
        for (const QString& m : h.messages(afterSeven).mid(1))
            QVERIFY2(m.startsWith(QStringLiteral("0x0007 ")), qPrintable(m));
        QVERIFY(h.bench->unit(unit).everSaved);
    }

    void longMenuScrollsAfterFourteenLines()
    {
        Harness h;
        h.runAt("7311", "1", [&](Run& run) {
            for (int f = 2; f <= 14; ++f)
                run.enter();
            QCOMPARE(run.lines().size(), 14);
            QVERIFY(run.lines().first().startsWith(QStringLiteral("Bus Address - 0 to 30 ")));
            run.enter(); // function 15
            QCOMPARE(run.lines().size(), 14);
            QVERIFY(run.lines().first().startsWith(QStringLiteral("Bus Address Ext - 1=On/0=Off")));
            QCOMPARE(run.w.logic().scrollCount(), 1);
            for (int f = 16; f <= 21; ++f)
                run.enter();
            QCOMPARE(run.w.logic().scrollCount(), 7);
            QVERIFY(run.lines().first().startsWith(
                QStringLiteral("Talk Format - Ascii/HEXL/HEX/Table")));
            QVERIFY(run.lines().last().startsWith(kSrePrompt));
            QCOMPARE(run.c<QListWidget>(ctl::lstFunction)->currentRow(), 13);
            run.enter(QStringLiteral("8"));
            QCOMPARE(run.lines().at(13), listLine(kSrePrompt, QStringLiteral("8")));
            run.click(ctl::cmdDone);
            run.click(ctl::cmdDone);
        });
    }

    void receiveErrorIsReportedAndTheMenuGoesOn()
    {
        Harness h;
        const auto unit = h.bench->unitId("7357");
        const auto silent = [&](Run&) { h.bench->setSilent(unit, true); };
        h.runAt("7357", "17", silent, [&](Run& run) {
            QVERIFY(run.visible(ctl::txtGPIBErr));
            QVERIFY2(run.gpibError().startsWith(QStringLiteral("Receive Error ibsta = &HC1")),
                     qPrintable(run.gpibError()));
            QVERIFY(run.gpibError().contains(QStringLiteral(" ERR TIMO ")));
            QVERIFY(run.gpibError().contains(
                QStringLiteral("iberr =  6 EABO <Op. aborted>ibcnt =  0")));
            QCOMPARE(run.lines(),
                     QStringList({listLine(kAddressPrompt, QString(17, QLatin1Char(' ')))}));
            h.bench->setSilent(unit, false);
            run.enter();
            QVERIFY(!run.visible(ctl::txtGPIBErr));
            QCOMPARE(run.lines().last(), listLine(kEsePrompt, QStringLiteral("0")));
        });
        const std::vector<BusCall> calls = h.calls();
        const auto timeout = std::find_if(calls.begin(), calls.end(), [](const BusCall& call) {
            return call.request() == BusCall::receive(0, 0x0011, 18, 0) && call.failed() &&
                   call.timedOut();
        });
        QVERIFY(timeout != calls.end() && timeout + 1 != calls.end());
        QCOMPARE((timeout + 1)->request(), BusCall::ibonl(0, 0));
        QVERIFY2(h.bench->clock().now() >= 1.0, "the one-second time-out passed in virtual time");
    }

    // A wrong address is the commonest slip on a real bus: every unit takes the device clear's
    // command bytes, so the clear succeeds; the first query then waits out the one-second
    // time-out and is reported, and the menu goes on.
    void wrongAddressTimesOutAtTheFirstQuery()
    {
        Harness h;
        double start = 0;
        const auto clockStarts = [&](Run&) { start = h.bench->clock().now(); };
        h.runAt("7357", "28", clockStarts, [&](Run& run) {
            const std::vector<BusCall> calls = h.calls(run.start);
            BusCall cleared = BusCall::devClear(0, 0x001C);
            cleared.complete(0x0130, 0, 0);
            QVERIFY(std::find(calls.begin(), calls.end(), cleared) != calls.end());
            const auto timeout = std::find_if(calls.begin(), calls.end(), [](const BusCall& call) {
                return call.request() == BusCall::receive(0, 0x001C, 18, 0) &&
                       call.ibsta == 0xC124 && call.iberr == err::EABO;
            });
            QVERIFY2(timeout != calls.end() && timeout + 1 != calls.end(),
                     qPrintable(QString::fromStdString(h.bench->trace().text())));
            QCOMPARE((timeout + 1)->request(), BusCall::ibonl(0, 0));
            QVERIFY(h.bench->clock().now() - start >= 1.0);
            QVERIFY2(run.gpibError().startsWith(QStringLiteral("Receive Error ibsta = &HC124 ")),
                     qPrintable(run.gpibError()));
            QVERIFY(run.gpibError().contains(
                QStringLiteral("iberr =  6 EABO <Op. aborted>ibcnt =  0")));
            QCOMPARE(run.lines(),
                     QStringList({listLine(kAddressPrompt, QString(17, QLatin1Char(' ')))}));
            QVERIFY(run.enabled(ctl::cmdEnter));
            run.click(ctl::cmdRedo);
            run.setAddress(QStringLiteral("17")); // corrected
            QVERIFY(!run.visible(ctl::txtGPIBErr));
            QCOMPARE(run.lines(), QStringList({listLine(kAddressPrompt, QStringLiteral("17"))}));
        });
    }

    // Only a bus with no unit switched on refuses the device clear: the report keeps the window in
    // the address stage until a unit is back.
    void deviceClearOnAnEmptyBusKeepsTheAddressStage()
    {
        Harness h;
        const auto allOff = [&](Run&) {
            for (std::size_t id = 0; id < h.bench->unitCount(); ++id)
                h.bench->setPower(id, false);
        };
        h.runAt("7357", "17", allOff, [&](Run& run) {
            QVERIFY(run.visible(ctl::txtGPIBErr));
            QVERIFY2(run.gpibError().startsWith(QStringLiteral("DevClear Error ibsta = &H8130 ")),
                     qPrintable(run.gpibError()));
            QVERIFY(run.gpibError().contains(
                QStringLiteral("iberr =  2 ENOL <No Listener>ibcnt =  0")));
            QVERIFY(!run.enabled(ctl::cmdEnter));
            QVERIFY(run.lines().isEmpty());
            h.bench->setPower(h.bench->unitId("7357"), true);
            run.setAddress(QStringLiteral("17"));
            QVERIFY2(!run.visible(ctl::txtGPIBErr), qPrintable(run.gpibError()));
            QCOMPARE(run.lines(), QStringList({listLine(kAddressPrompt, QStringLiteral("17"))}));
        });
    }

    void redoAndSetAddressAgain()
    {
        Harness h;
        h.runAt("7362", "19", [&](Run& run) {
            run.enter();
            run.setAddress(QStringLiteral("19")); // again while the menu runs
            QCOMPARE(run.lines().size(), 3);      // the earlier lines stay
            QCOMPARE(run.lines().first(), listLine(kAddressPrompt, QStringLiteral("19")));
            QCOMPARE(run.w.logic().scrollCount(), 0);
            run.enter();
            run.enter();
            run.enter();
            const std::size_t before = h.bench->trace().size();
            run.click(ctl::cmdRedo);
            QCOMPARE(h.bench->trace().size(), before); // Redo sends nothing
            QVERIFY(run.lines().isEmpty());
            QVERIFY(run.c<QLineEdit>(ctl::txtAddr)->text().isEmpty());
            QCOMPARE(run.w.focusWidget(), run.c(ctl::txtAddr));
            for (const QString& name :
                 {ctl::cmdEnter, ctl::cmdLock, ctl::cmdSRQ, ctl::cmdNoSRQ, ctl::cmdSav})
                QVERIFY2(!run.enabled(name), qPrintable(name));
            QVERIFY(run.enabled(ctl::cmdSet));
            QVERIFY(run.enabled(ctl::cmdRedo));
            QVERIFY(run.enabled(ctl::cmdDone));
            run.setAddress(QStringLiteral("19"));
            QCOMPARE(run.lines().size(), 1);
            run.click(ctl::cmdDone);
            QVERIFY(run.w.isVisible());
            QCOMPARE(h.notifier.beeps, 1);
            run.click(ctl::cmdDone);
            QVERIFY(!run.w.isVisible());
        });
    }

    void doubleClickOnTheListOnlyWhileTheMenuRuns()
    {
        Harness h;
        h.runAt("7357", "17", [&](Run& run) {
            auto* list = run.c<QListWidget>(ctl::lstFunction);
            QSignalSpy doubleClicks(list, &QListWidget::itemDoubleClicked);
            doubleClickRow(list, 0);
            QCOMPARE(doubleClicks.count(), 1);
            QCOMPARE(run.lines().size(), 2); // a double-click is Enter or Advance
            run.enter();
            run.enter();
            const std::size_t before = h.bench->trace().size();
            doubleClickRow(list, 0);
            QCOMPARE(doubleClicks.count(), 2);
            QCOMPARE(h.bench->trace().size(), before);
            run.click(ctl::cmdDone);
            run.click(ctl::cmdDone);
        });
    }

    void unknownModelIsRefused()
    {
        Harness h;
        h.state.modelCode = 7301;
        h.state.modelEntry = QStringLiteral("7301");
        ConfigWindow window(h.app);
        window.show();
        Run run{window};
        run.setAddress(QStringLiteral("5"));
        QCOMPARE(run.errorMessage(), QStringLiteral("Bad Model Number, Configuration halted"));
        QVERIFY(!window.isVisible());
        QCOMPARE(h.flow(), QStringList({"IFC", "DevClear 0x0005", "Pause(0.2)"}));
    }

    void channelDialogRefusesAndAccepts()
    {
        Harness h;
        h.channelAnswers = {"5", "0", "abc", "2"};
        const std::size_t start = h.runAt("7379", "25", [&](Run& run) {
            QCOMPARE(h.state.unit.channel, 2.0);
            QCOMPARE(run.lines().size(), 1);
        });
        QCOMPARE(h.notifier.beeps, 3);
        QCOMPARE(h.flow(start).mid(0, 3),
                 QStringList({"IFC", "DevClear 0x6C19", "0x6C19 SYST:COMM:GPIB:ADDR?"}));
    }

    void channelDialogClosedMidMenuKeepsTheUnitsAddress()
    {
        Harness h;
        h.channelAnswers = {"1", "<close>"};
        h.runAt("7379", "25", [&](Run& run) {
            run.enter();
            run.enter();
            const QStringList lines = run.lines();
            run.setAddress(QStringLiteral("7")); // then the channel dialog is closed
            QCOMPARE(run.lines(), lines);
            const std::size_t before = h.bench->trace().size();
            run.enter();
            const QStringList sent = h.messages(before);
            QVERIFY(!sent.isEmpty());
            QCOMPARE(sent.first().left(6), QStringLiteral("0x6B19"));
            QCOMPARE(run.lines().size(), lines.size() + 1);
        });
    }

    void refusedSaveKeepsSaveOfferedUntilTheUnitTakesIt()
    {
        Harness h;
        const auto unit = h.bench->unitId("7357");
        h.runAt("7357", "17", [&](Run& run) {
            for (int f = 0; f < 3; ++f)
                run.enter();
            sim::UnitFaults faults;
            faults.refuseSave = true;
            h.bench->setFaults(unit, faults);
            run.click(ctl::cmdSav);
            QCOMPARE(run.gpibError(), QStringLiteral("Save refused by the unit: ESR = 8"));
            QVERIFY(run.enabled(ctl::cmdSav));
            QVERIFY(!h.bench->unit(unit).everSaved);

            h.bench->setFaults(unit, {});
            run.click(ctl::cmdSav);
            QVERIFY(!run.visible(ctl::txtGPIBErr));
            QVERIFY(!run.enabled(ctl::cmdSav));
            QVERIFY(h.bench->unit(unit).everSaved);
            run.click(ctl::cmdDone);
            QVERIFY(!run.w.isVisible());
        });
        QCOMPARE(h.notifier.beeps, 0);
    }
};

QTEST_MAIN(EndToEndRuns)
#include "tst_e2e_runs.moc"
