// SPDX-License-Identifier: GPL-3.0-or-later
// The program's window over the Prologix driver, through the simulated controller in front of
// the bench: the real widgets, the driver on its bus thread, the controller on a pty or TCP.
#include "Rig.h"
#include "support/WindowOnDriver.h"
#include "ui/HintBox.h"

#include <QMessageBox>
#include <QPlainTextEdit>

using namespace gpibconfig;
using namespace gpibconfig::test;

Q_DECLARE_METATYPE(gpibconfig::test::Link)

namespace {

const QStringList kEntries = {"7311",  "7314A", "7314B", "7317", "7321",  "7322",  "7325",
                              "7325A", "7328",  "7331",  "7334", "7334A", "7337B", "7340A",
                              "7352A", "7355",  "7357",  "7360", "7362",  "7370A", "7370B",
                              "7374A", "7374B", "7376",  "7379", "7385",  "7385A"};

// The program as gpibconfig runs it, but on a Prologix controller in front of the bench, in the
// bench's virtual time (pauses take no time; the bus's own waits are real).
struct WindowRig : PrologixRig, WindowOnDriver {
    explicit WindowRig(Link link, Firmware firmware = Firmware::Prologix)
        : PrologixRig(link, fastTiming(), firmware)
        , WindowOnDriver(*driver, *bench)
    {
    }

    // Messages the bench's units got, as "0x0005 *ESR?".
    QStringList messages(std::size_t from = 0) const
    {
        return test::messages(bench->trace().records(from));
    }
};

} // namespace

class PrologixWindowTest : public QObject {
    Q_OBJECT

private slots:
    // Every entry of the list: the first function's value, asked over the controller, is what
    // the bench's unit holds; trigger-mode units got their GET through ++trg first.
    void firstQueryOfEveryEntry_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<int>("address");
        QTest::addColumn<Link>("link");
        for (int n = 0; n < kEntries.size(); ++n)
            QTest::newRow(qPrintable(kEntries.at(n)))
                << kEntries.at(n) << n + 1 << (n % 2 ? Link::Tcp : Link::Pty);
    }
    void firstQueryOfEveryEntry()
    {
        QFETCH(QString, entry);
        QFETCH(int, address);
        QFETCH(Link, link);
        WindowRig rig(link);
        const auto unit = rig.bench->unitId(entry.toStdString());
        const auto shown = rig.firstQuery(entry, address);
        QVERIFY2(shown.gpibError.isEmpty(), qPrintable(shown.gpibError));

        QStringList texts;
        for (const QString& message : rig.messages(shown.start))
            texts << message.section(QLatin1Char(' '), 1);
        const QString header = firstQueriedHeader(texts);
        QVERIFY2(!header.isEmpty(), qPrintable(rig.trace(shown.start).join(QLatin1Char('\n'))));
        const QString value = shownValue(rig.bench->unit(unit), header,
                                         rig.bench->setting(unit, header.toStdString()));
        QVERIFY2(shown.firstLine.endsWith(QLatin1Char(' ') + value),
                 qPrintable(shown.firstLine + QStringLiteral(" / ") + header));
        if (rig.bench->unit(unit).needsTrigger)
            QVERIFY(rig.bench->unit(unit).triggered);
    }

    // The analog unit from address to locked, saved configuration, as in the bench's own run.
    void analogUnitRunToLockedSave()
    {
        WindowRig rig(Link::Pty);
        const auto unit = rig.bench->unitId("7352A");
        const std::size_t start = rig.walkAnalogUnit();
        QVERIFY(rig.settle());
        checkAnalogWalk(rig.messages(start), QStringLiteral("0x000F"), rig.bench->unit(unit),
                        rig.bench->savedSetting(unit, "VOLT:OFFS"));
    }

    // The connection goes mid-menu: the failed call is reported with what happened, and the
    // next Set Address works on a new connection.
    void droppedConnectionMidMenu()
    {
        WindowRig rig(Link::Tcp);
        QString report;
        QString explained;
        QString boxText;
        QStringList afterRecovery;
        bool errorAfterRecovery = true;
        rig.runAt("7321", "5", [&](Run& run) {
            QVERIFY(!run.visible(ctl::txtGPIBErr));
            rig.controller.dropOn("++read");
            run.enter(); // asks for the event status enable register
            report = run.visible(ctl::txtGPIBErr) ? run.gpibError() : QString();
            explained = run.c(ctl::txtGPIBErr)->accessibleDescription();
            if (auto* box = run.w.findChild<QMessageBox*>(QString::fromLatin1(kHintBoxName)))
                boxText = box->text();
            run.setAddress(QStringLiteral("5"));
            errorAfterRecovery = run.visible(ctl::txtGPIBErr);
            afterRecovery = run.lines();
        });
        QVERIFY2(report.startsWith(QStringLiteral("Receive Error")), qPrintable(report));
        QVERIFY2(report.contains(QStringLiteral("EDVR")) && !report.contains(QLatin1Char('\n')),
                 qPrintable(report));
        // What happened, in a box over the configuration window and in the report's tool tip.
        QVERIFY2(explained.contains(QStringLiteral("The connection to 127.0.0.1:")) &&
                     explained.contains(QStringLiteral("opened again at the next bus call")),
                 qPrintable(explained));
        QCOMPARE(boxText, explained);
        QVERIFY(!errorAfterRecovery);
        // The address query of the new Set Address went over the new connection and its answer
        // is on the list.
        std::vector<std::string> answers;
        for (const BusCall& call : rig.bench->trace().records())
            if (call.kind == BusCall::Kind::Receive && call.address == 5)
                answers.push_back(call.bytes);
        QVERIFY(answers.size() >= 2);
        QCOMPARE(QString::fromStdString(answers.at(1)), QStringLiteral("5\n"));
        QVERIFY(afterRecovery.contains(
            listLine(QStringLiteral("Bus Address - 0 to 30 or 31"), QStringLiteral("5"))));
        QCOMPARE(rig.controller.connections(), 2);
    }

    // An AR488 board keeps address 0 for itself: Set Address there reports the refused call
    // with what the controller said, and nothing reaches the unit addressed before.
    void addressTheControllerRefusesIsReportedInPlainWords()
    {
        WindowRig rig(Link::Pty, PrologixRig::Firmware::Ar488_051);
        QString report;
        QString boxText;
        std::size_t from = 0;
        rig.runAt("7321", "5", [&](Run& run) {
            QVERIFY(!run.visible(ctl::txtGPIBErr));
            from = rig.bench->trace().size();
            run.setAddress(QStringLiteral("0"));
            report = run.visible(ctl::txtGPIBErr) ? run.gpibError() : QString();
            if (auto* box = run.w.findChild<QMessageBox*>(QString::fromLatin1(kHintBoxName)))
                boxText = box->text();
        });
        QVERIFY2(report.startsWith(QStringLiteral("DevClear Error")) &&
                     report.contains(QStringLiteral("EARG")),
                 qPrintable(report));
        QCOMPARE(boxText,
                 QStringLiteral("The controller on %1 refused GPIB address 0 (it answered "
                                "\"Unrecognized command\") and kept address 5, so nothing was "
                                "sent there. An AR488 board keeps address 0 for itself; set the "
                                "unit to an address from 1 to 30.")
                     .arg(rig.prologix->where()));
        QCOMPARE(rig.callsTo(5, from), std::vector<BusCall>());
    }

    void controllerThatNeverAnswersIsNamedOnTheMainWindow()
    {
        WindowRig rig(Link::Pty);
        rig.controller.setAnswersVersion(false);
        rig.configure(QStringLiteral("7321"), [](ConfigWindow&) {});
        QVERIFY(!rig.configWindowOpened);
        auto* status = qobject_cast<QPlainTextEdit*>(rig.mainControl(ctl::txtGPIBErr));
        QVERIFY(status && status->isVisible());
        QCOMPARE(status->toPlainText(),
                 QStringLiteral("SendIFC Error ibsta = &H8000 <   ERR >iberr =  0 EDVR <DOS "
                                "Error>ibcnt =  0"));
        auto* box = rig.main->findChild<QMessageBox*>(QString::fromLatin1(kHintBoxName));
        QVERIFY(box);
        QVERIFY2(box->text().startsWith(QStringLiteral("No Prologix-compatible controller "
                                                       "answered on ") +
                                        rig.prologix->where()),
                 qPrintable(box->text()));
        QCOMPARE(status->accessibleDescription(), box->text());
    }
};

QTEST_MAIN(PrologixWindowTest)
#include "tst_prologix_window.moc"
