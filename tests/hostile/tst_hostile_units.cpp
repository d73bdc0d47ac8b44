// SPDX-License-Identifier: GPL-3.0-or-later
// Units that misbehave: silent, slow beyond the one-second time-out, replies without a line feed,
// too long, with NUL and non-ASCII bytes, event status values that are no register value, a unit
// moved to another address behind the program's back, a unit switched off and on in the middle
// of a menu, and a bus that refuses the finishing commands. In every case the window must show
// what arrived or the engine's own texts, report what the program examines, keep every message on
// the bus whole, and the run must still be finished.
#include "HostileSupport.h"
#include "gpib/Driver.h"
#include "sim/Board.h"

using namespace gpibconfig;
using namespace gpibconfig::test;

namespace {

const QString kAddressPrompt = QStringLiteral("Bus Address - 0 to 30 or 31");
const QString kEsePrompt = QStringLiteral("ESR Enable Bits - 0 to 255");

QString blanks(int n) { return QString(n, QLatin1Char(' ')); }

EntryPlan plan(const char* entry)
{
    const auto p = planFor(QLatin1String(entry));
    if (!p)
        qFatal("no plan for %s", entry);
    return *p;
}

QString title(const QString& report)
{
    return reportTitleOf(report.section(QLatin1Char('\n'), 0, 0));
}

} // namespace

class HostileUnits : public QObject {
    Q_OBJECT

private slots:
    // Whatever bytes a unit answers a query with, the line shows them as they arrived: cut after
    // the first line feed, at most the 18 bytes of the buffer (less a final blank), the rest of the
    // buffer blank; the address function shows its own form. Nothing of it is a failed call.
    void unreadableQueryReplies_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QString>("addressValue"); // function 1, the address function
        QTest::addColumn<QString>("eseValue");     // function 2, an ordinary one

        QTest::newRow("no line feed") << QByteArray("7") << "7" + blanks(16) << "7" + blanks(16);
        QTest::newRow("no line feed, on its switches") << QByteArray("37") << "5/31"
                                                       << "37" + blanks(15);
        QTest::newRow("more than 18 bytes")
            << QByteArray("ABCDEFGHIJKLMNOPQRSTUVWXYZ\n") << "ABCDEFGHIJKLMNOPQR"
            << "ABCDEFGHIJKLMNOPQR";
        QTest::newRow("18th byte a blank")
            << QByteArray("ABCDEFGHIJKLMNOPQ RSTUVWXYZ\n") << "ABCDEFGHIJKLMNOPQ"
            << "ABCDEFGHIJKLMNOPQ";
        QTest::newRow("17 bytes and its line feed")
            << QByteArray("ABCDEFGHIJKLMNOPQ\n") << "ABCDEFGHIJKLMNOPQ"
            << "ABCDEFGHIJKLMNOPQ";
        QTest::newRow("a number longer than the buffer")
            << QByteArray("123456789012345678901234\n") << "1.23456789012346E+17/31"
            << "123456789012345678";
        // The receive ends at a NUL: its termination byte is 0.
        QTest::newRow("NUL inside")
            << QByteArray("A\0B\xB5\n", 5) << QStringLiteral("A") + QChar(0) + blanks(15)
            << QStringLiteral("A") + QChar(0) + blanks(15);
        QTest::newRow("NUL alone") << QByteArray("\0", 1) << QString(QChar(0)) + blanks(16)
                                   << QString(QChar(0)) + blanks(16);
        QTest::newRow("non-ASCII bytes")
            << QByteArray("\xB5\xE9\xFF\x80\n") << QStringLiteral(u"\u00B5\u00E9\u00FF\u0080")
            << QStringLiteral(u"\u00B5\u00E9\u00FF\u0080");
        QTest::newRow("only a line feed") << QByteArray("\n") << QString() << QString();
        QTest::newRow("leading blanks") << QByteArray("   7\n") << "7"
                                        << "   7";
        QTest::newRow("carriage return before the line feed") << QByteArray("7\r\n") << "7\r"
                                                              << "7\r";
    }

    void unreadableQueryReplies()
    {
        QFETCH(QByteArray, reply);
        QFETCH(QString, addressValue);
        QFETCH(QString, eseValue);
        Harness h;
        const auto unit = h.bench->unitId("7321");
        const auto garbage = [&](Run&) {
            h.bench->setGarbage(
                unit, std::string(reply.constData(), static_cast<std::size_t>(reply.size())));
        };
        const std::size_t start = h.runAt("7321", "5", garbage, [&](Run& run) {
            QVERIFY2(!run.visible(ctl::txtGPIBErr), qPrintable(run.gpibError()));
            QCOMPARE(run.lines(), QStringList({listLine(kAddressPrompt, addressValue)}));
            run.enter();
            QVERIFY2(!run.visible(ctl::txtGPIBErr), qPrintable(run.gpibError()));
            QCOMPARE(run.lines().last(), listLine(kEsePrompt, eseValue));

            h.bench->clearFaults();
            finishAfresh(h, run, QStringLiteral("5"));
        });
        QCOMPARE(malformedSends(h, plan("7321"), start, {}), QStringList());
    }

    // A unit that never answers, or answers after the one-second time-out: the query step reports
    // its failed receive and shows the line with what arrived (nothing); after a setting the line
    // says "No response" and nothing is reported, the status query not being examined.
    void silentAndSlowUnits_data()
    {
        QTest::addColumn<bool>("silent");
        QTest::addColumn<double>("delay");
        QTest::addColumn<bool>("timesOut");
        QTest::addColumn<QString>("afterSetting");

        QTest::newRow("silent") << true << 0.0 << true << "No response";
        QTest::newRow("answers after 1.5 s") << false << 1.5 << true << "No response";
        QTest::newRow("answers after 10 s") << false << 10.0 << true << "No response";
        QTest::newRow("answers after 0.9 s") << false << 0.9 << false << "16";
    }

    void silentAndSlowUnits()
    {
        QFETCH(bool, silent);
        QFETCH(double, delay);
        QFETCH(bool, timesOut);
        QFETCH(QString, afterSetting);
        Harness h;
        const auto unit = h.bench->unitId("7321");
        const auto slow = [&](Run&) {
            h.bench->setSilent(unit, silent);
            h.bench->setReplyDelay(unit, delay);
        };
        const std::size_t start = h.runAt("7321", "5", slow, [&](Run& run) {
            for (const QString& prompt : {kAddressPrompt, kEsePrompt}) {
                if (prompt == kEsePrompt)
                    run.enter();
                if (timesOut) {
                    QVERIFY(run.visible(ctl::txtGPIBErr));
                    QCOMPARE(title(run.gpibError()), QStringLiteral("Receive Error"));
                    QVERIFY2(run.gpibError().contains(QStringLiteral(" ERR TIMO ")) &&
                                 run.gpibError().contains(
                                     QStringLiteral("iberr =  6 EABO <Op. aborted>")),
                             qPrintable(run.gpibError()));
                    QCOMPARE(run.lines().last(), listLine(prompt, blanks(17)));
                } else {
                    QVERIFY2(!run.visible(ctl::txtGPIBErr), qPrintable(run.gpibError()));
                    QCOMPARE(run.lines().last(),
                             listLine(prompt, prompt == kAddressPrompt ? "5" : "0"));
                }
            }
            run.enter(QStringLiteral("16"));
            QCOMPARE(run.lines().last(), listLine(kEsePrompt, afterSetting));
            QVERIFY2(!run.visible(ctl::txtGPIBErr), qPrintable(run.gpibError()));

            h.bench->clearFaults();
            finishAfresh(h, run, QStringLiteral("5"));
        });
        QCOMPARE(malformedSends(h, plan("7321"), start, {QStringLiteral("16")}), QStringList());
    }

    // The unit's answer to "*ESR?" decides between reading the setting back and "Error - retry":
    // the query, execution and command error bits refuse it, and so does anything that cannot be a
    // status register (no number at all, infinite, huge).
    void eventStatusReplies_data()
    {
        QTest::addColumn<QString>("esr");
        QTest::addColumn<QString>("shown");

        const QString retry = QStringLiteral("Error - retry");
        QTest::newRow("0") << "0"
                           << "16";
        QTest::newRow("power on 128") << "128"
                                      << "16";
        QTest::newRow("device-dependent 8 only") << "8"
                                                 << "16";
        QTest::newRow("query error 4") << "4" << retry;
        QTest::newRow("execution error 16") << "16" << retry;
        QTest::newRow("command error 32") << "32" << retry;
        QTest::newRow("all three with power on") << "180" << retry;
        QTest::newRow("garbage text") << "garbage" << retry;
        QTest::newRow("empty line") << "" << retry;
        QTest::newRow("blanks") << "   " << retry;
        QTest::newRow("huge 1E300") << "1E300" << retry;
        QTest::newRow("beyond a double 1E999") << "1E999" << retry;
        QTest::newRow("20 digits") << "99999999999999999999" << retry;
        QTest::newRow("just beyond 32 bits") << "4294967296" << retry;
        QTest::newRow("negative -4") << "-4" << retry;
        QTest::newRow("3.5 rounds to 4") << "3.5" << retry;
        QTest::newRow("2.5 rounds to 2") << "2.5"
                                         << "16";
        QTest::newRow("hexadecimal 32") << "&H20" << retry;
        QTest::newRow("NaN text") << "NaN" << retry;
        // Only 18 bytes are read: the program sees 3 of the 32 at the end, no error bit.
        QTest::newRow("32 after 17 zeros") << "0000000000000000032"
                                           << "16";
        QTest::newRow("32 after 16 zeros") << "000000000000000032" << retry;
    }

    void eventStatusReplies()
    {
        QFETCH(QString, esr);
        QFETCH(QString, shown);
        Harness h;
        const auto unit = h.bench->unitId("7321");
        const std::size_t start = h.runAt("7321", "5", [&](Run& run) {
            run.enter();
            h.bench->setEsrReply(unit, esr.toStdString());
            run.enter(QStringLiteral("16"));
            QCOMPARE(run.lines().last(), listLine(kEsePrompt, shown));
            QVERIFY2(!run.visible(ctl::txtGPIBErr), qPrintable(run.gpibError()));
            QCOMPARE(run.lines().size(), 2);

            h.bench->clearFaults();
            finishAfresh(h, run, QStringLiteral("5"));
        });
        QCOMPARE(malformedSends(h, plan("7321"), start, {QStringLiteral("16")}), QStringList());
    }

    // Someone moves the unit to another address between two steps (here: a message put on the bus
    // directly). The program keeps talking to the old address: the query's receive fails and is
    // reported, a setting shows "No response"; nothing goes to the new address until the operator
    // starts over there, and the run is then finished at the new address.
    void unitMovedBehindTheProgramsBack()
    {
        Harness h;
        std::size_t moved = 0;
        const std::size_t start = h.runAt("7321", "5", [&](Run& run) {
            QCOMPARE(run.lines(), QStringList({listLine(kAddressPrompt, QStringLiteral("5"))}));

            static constexpr char kMove[] = "SYST:COMM:GPIB:ADDR 28";
            moved = h.bench->trace().size();
            h.bench->board().Send(0, 5, reinterpret_cast<const std::uint8_t*>(kMove),
                                  sizeof kMove - 1, eot::NLend);
            QCOMPARE(h.bench->unit(h.bench->unitId("7321")).primary, 28);

            run.enter();
            QCOMPARE(title(run.gpibError()), QStringLiteral("Receive Error"));
            QCOMPARE(run.lines().last(), listLine(kEsePrompt, blanks(17)));
            run.enter(QStringLiteral("16"));
            QVERIFY2(!run.visible(ctl::txtGPIBErr), qPrintable(run.gpibError()));
            QCOMPARE(run.lines().last(), listLine(kEsePrompt, QStringLiteral("No response")));

            const std::size_t beforeRedo = h.bench->trace().size();
            const std::vector<BusCall> records = h.records();
            for (std::size_t i = moved + 1; i < beforeRedo; ++i) {
                const BusCall& call = records.at(i);
                const bool addressed = call.kind == BusCall::Kind::DevClear ||
                                       call.kind == BusCall::Kind::Send ||
                                       call.kind == BusCall::Kind::Receive;
                QVERIFY2(!addressed || call.address == 5, qPrintable(lineOf(call)));
            }

            finishAfresh(h, run, QStringLiteral("28"));
            QCOMPARE(h.messages(beforeRedo).mid(h.messages(beforeRedo).size() - 3),
                     QStringList({"0x001C *CLS", "0x001C *SAV 0", "0x001C *ESR?"}));
        });
        QCOMPARE(malformedSends(h, plan("7321"), start, {QStringLiteral("16")}, {moved}),
                 QStringList());
    }

    // A unit switched off and on in the middle of its menu. A unit that needs a trigger ignores
    // everything but common commands again: its queries time out and are reported, a setting is
    // not confirmed (its status reads 128, the read-back gets nothing, so the line is empty) and
    // nothing is reported for it. Set Address again triggers it anew. Other units simply answer
    // from their saved settings.
    void powerCycledInTheMiddleOfTheMenu_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("prompt"); // function 2
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("lostTrigger");
        QTest::addColumn<QString>("afterSetting");

        QTest::newRow("7374A needs a trigger") << "7374A"
                                               << "22"
                                               << "Emulation - ZEB/NI"
                                               << "NI" << true << blanks(17);
        QTest::newRow("7376 needs a trigger") << "7376"
                                              << "24"
                                              << "Emulation - ZEB/NI"
                                              << "NI" << true << blanks(17);
        QTest::newRow("7370B needs a trigger") << "7370B"
                                               << "21"
                                               << "Mode - G/P"
                                               << "P" << true << blanks(17);
        QTest::newRow("7321 does not") << "7321"
                                       << "5" << kEsePrompt << "16" << false << "16";
    }

    void powerCycledInTheMiddleOfTheMenu()
    {
        QFETCH(QString, entry);
        QFETCH(QString, address);
        QFETCH(QString, prompt);
        QFETCH(QString, value);
        QFETCH(bool, lostTrigger);
        QFETCH(QString, afterSetting);
        Harness h;
        const auto unit = h.bench->unitId(entry.toStdString());
        const std::size_t start = h.runAt(entry, address, [&](Run& run) {
            QVERIFY2(!run.visible(ctl::txtGPIBErr), qPrintable(run.gpibError()));
            h.bench->powerCycle(unit);
            run.enter();
            if (lostTrigger) {
                QCOMPARE(title(run.gpibError()), QStringLiteral("Receive Error"));
                QCOMPARE(run.lines().last(), listLine(prompt, blanks(17)));
            } else {
                QVERIFY2(!run.visible(ctl::txtGPIBErr), qPrintable(run.gpibError()));
                QVERIFY(run.lines().last().startsWith(listLine(prompt, QString())));
            }
            run.enter(value);
            QVERIFY2(!run.visible(ctl::txtGPIBErr), qPrintable(run.gpibError()));
            QCOMPARE(run.lines().last(), listLine(prompt, afterSetting));

            finishAfresh(h, run, address);
        });
        QCOMPARE(malformedSends(h, plan(qPrintable(entry)), start, {value}), QStringList());
        QVERIFY(h.bench->unit(unit).triggered || !h.bench->unit(unit).needsTrigger);
    }

    // The start actions are not examined. A unit left locked whose unlock was refused answers every
    // query and refuses every setting: the window shows "Error - retry" and no report. A unit that
    // missed its trigger answers nothing but common commands: each query is reported as a failed
    // receive and a setting leaves an empty line. Set Address again repeats the start actions.
    void refusedStartActions_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<bool>("lockedBefore");
        QTest::addColumn<int>("failAt"); // driver call of Set Address that is refused
        QTest::addColumn<bool>("queriesFail");
        QTest::addColumn<QString>("afterSetting");

        QTest::newRow("7317 locked, unlock refused")
            << "7317" << true << 3 << false << "Error - retry";
        QTest::newRow("7374A, trigger refused") << "7374A" << false << 6 << true << blanks(17);
        QTest::newRow("7370A, trigger refused") << "7370A" << false << 6 << true << blanks(17);
    }

    void refusedStartActions()
    {
        QFETCH(QString, entry);
        QFETCH(bool, lockedBefore);
        QFETCH(int, failAt);
        QFETCH(bool, queriesFail);
        QFETCH(QString, afterSetting);
        const EntryPlan p = plan(qPrintable(entry));
        const QString address = QString::number(p.address);
        Harness h;
        const auto unit = h.bench->unitId(p.unitModel);
        std::set<std::size_t> ours;
        const auto refusing = [&](Run&) {
            if (lockedBefore) { // someone locked it on an earlier day
                static constexpr char kLock[] = "CAL:LOCK ON";
                ours.insert(h.bench->trace().size());
                h.bench->board().Send(0, static_cast<Addr4882>(p.address),
                                      reinterpret_cast<const std::uint8_t*>(kLock),
                                      sizeof kLock - 1, eot::NLend);
                QVERIFY(h.bench->unit(unit).locked);
            }
            h.bench->resetCallCount();
            h.bench->failCallAt(failAt, err::ENOL);
        };
        const std::size_t start = h.runAt(entry, address, refusing, [&](Run& run) {
            for (int f = 1; f <= p.setRow; ++f) {
                if (f > 1)
                    run.enter();
                if (queriesFail)
                    QCOMPARE(title(run.gpibError()), QStringLiteral("Receive Error"));
                else
                    QVERIFY2(!run.visible(ctl::txtGPIBErr), qPrintable(run.gpibError()));
            }
            run.enter(p.valueFor(0));
            QVERIFY2(!run.visible(ctl::txtGPIBErr), qPrintable(run.gpibError()));
            QCOMPARE(run.lines().last(), listLine(p.prompt(p.setRow), afterSetting));

            finishAfresh(h, run, address);
        });
        QCOMPARE(malformedSends(h, p, start, {p.valueFor(0)}, ours), QStringList());
        QVERIFY(!h.bench->unit(unit).locked);
    }

    // Lock Settings on a bus that refuses one of its messages: a refused lock is reported as such
    // and nothing more is sent; a refused save after it is reported as a failed save, and a save
    // the bus took is confirmed through *ESR?. Only a confirmed save arms Done, and Lock Settings
    // stays available for another try.
    void lockSettingsOnARefusingBus_data()
    {
        // 0: nothing fails; 1: "*CLS"; 2: "CAL:LOCK ON"; 3: "*SAV 0"; 4, 5: the *ESR? exchange
        QTest::addColumn<int>("failAt");
        QTest::addColumn<QString>("reported");
        QTest::addColumn<QStringList>("sent");

        const QStringList all = {"*CLS", "CAL:LOCK ON", "*SAV 0", "*ESR?"};
        QTest::newRow("accepted") << 0 << QString() << all;
        QTest::newRow("status clear refused") << 1 << "Send CLS Error" << QStringList({"*CLS"});
        QTest::newRow("lock refused")
            << 2 << "Send LOCK Error" << QStringList({"*CLS", "CAL:LOCK ON"});
        QTest::newRow("save refused")
            << 3 << "Send SAV Error" << QStringList({"*CLS", "CAL:LOCK ON", "*SAV 0"});
        QTest::newRow("status query refused") << 4 << "Send ESR Error" << all;
        QTest::newRow("status reply lost") << 5 << "Receive ESR Error" << all;
    }

    void lockSettingsOnARefusingBus()
    {
        QFETCH(int, failAt);
        QFETCH(QString, reported);
        QFETCH(QStringList, sent);
        Harness h;
        h.runAt("7321", "5", [&](Run& run) {
            run.enter();
            run.enter();
            run.enter();
            QVERIFY(run.enabled(ctl::cmdLock));

            const std::size_t before = h.bench->trace().size();
            h.bench->resetCallCount();
            if (failAt > 0)
                h.bench->failCallAt(failAt, err::ENOL);
            run.click(ctl::cmdLock);
            const auto calls = h.calls(before);
            QStringList messages;
            for (const auto& call : calls) {
                if (call.kind == BusCall::Kind::Send)
                    messages << QString::fromLatin1(bytesOf(call));
            }
            QCOMPARE(messages, sent);
            if (reported.isEmpty()) {
                QVERIFY2(!run.visible(ctl::txtGPIBErr), qPrintable(run.gpibError()));
            } else {
                QCOMPARE(title(run.gpibError()), reported);
                QVERIFY(run.gpibError().contains(QStringLiteral("iberr =  2 ENOL <No Listener>")));
                QCOMPARE(calls.back().kind, BusCall::Kind::ibonl);
            }
            QVERIFY(run.enabled(ctl::cmdLock));
            QVERIFY(run.enabled(ctl::cmdSav));

            run.click(ctl::cmdDone);
            if (failAt == 0) {
                QVERIFY2(!run.w.isVisible(), "a confirmed lock arms Done");
                return;
            }
            QVERIFY2(run.w.isVisible(), "an unconfirmed lock does not arm Done");
            QVERIFY(run.gpibError().contains(
                QStringLiteral("Exit without saving? Press Done again to exit")));

            // The operator tries again on a bus that now takes it.
            const std::size_t again = h.bench->trace().size();
            run.click(ctl::cmdLock);
            QVERIFY2(!run.visible(ctl::txtGPIBErr), qPrintable(run.gpibError()));
            QCOMPARE(h.messages(again), QStringList({"0x0005 *CLS", "0x0005 CAL:LOCK ON",
                                                     "0x0005 *SAV 0", "0x0005 *ESR?"}));
            run.click(ctl::cmdDone);
            QVERIFY(!run.w.isVisible());
        });
        QVERIFY(h.bench->unit(h.bench->unitId("7321")).locked);
    }
};

QTEST_MAIN(HostileUnits)
#include "tst_hostile_units.moc"
