// SPDX-License-Identifier: GPL-3.0-or-later
// The program over the VXI-11 driver, through the simulated gateway on its own thread in front of
// the bench: the real widgets and gpibconfig-cli, the driver on its bus thread as in the program.
#include "gpib/ThreadedDriver.h"
#include "models/Models.h"
#include "support/BusRecords.h"
#include "support/CliRig.h"
#include "support/GatewayOnThread.h"
#include "support/TestContext.h"
#include "support/WindowOnDriver.h"
#include "ui/HintBox.h"
#include "vxi11/Vxi11Driver.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProcess>
#include <QTemporaryDir>

using namespace gpibconfig;
using namespace gpibconfig::test;

namespace {

// The gateway and the driver that reaches it from its bus thread; the program's pauses in
// virtual time.
struct GatewayRig {
    GatewayOnThread gateway;
    ManualClock clock;
    ThreadedDriver driver{[port = gateway.corePort()] {
        return std::make_unique<vxi11::Vxi11Driver>(QStringLiteral("127.0.0.1"), port,
                                                    QStringLiteral("gpib0"));
    }};

    void withGateway(const std::function<void(sim::vxi11::SimulatedGateway&)>& task)
    {
        gateway.withGateway(task);
    }
    std::vector<BusCall> records(std::size_t from = 0)
    {
        std::vector<BusCall> out;
        gateway.withBench([&](sim::Bench& bench) { out = bench.trace().records(from); });
        return out;
    }
    // The messages the units got, as "0x000F *ESR?".
    QStringList messages(std::size_t from = 0) { return test::messages(records(from)); }
};

struct WindowRig : GatewayRig, WindowOnDriver {
    WindowRig()
        : WindowOnDriver(
              driver, clock,
              [this](const QString& entry) {
                  gateway.withBench(
                      [&](sim::Bench& b) { b.powerCycle(b.unitId(entry.toStdString())); });
              },
              [this] {
                  std::size_t n = 0;
                  gateway.withBench([&](sim::Bench& b) { n = b.trace().size(); });
                  return n;
              })
    {
    }
};

struct CliRigOverGateway : GatewayRig {
    CliRig cli{driver, clock};
};

QStringList showArguments(const char* entry)
{
    return {QStringLiteral("--json"), QStringLiteral("show"), QString::fromLatin1(entry),
            QString::number(modelEntries().indexOf(QString::fromLatin1(entry)) + 1),
            QStringLiteral("--power-cycled")};
}

} // namespace

class Vxi11Program : public QObject {
    Q_OBJECT

private slots:
    // Every entry: the first function's value, asked through the gateway, is what the bench's
    // unit holds; trigger-mode units got their GET first.
    void firstQueryOfEveryEntry_data()
    {
        QTest::addColumn<QString>("entry");
        for (const QString& entry : modelEntries())
            QTest::newRow(qPrintable(entry)) << entry;
    }
    void firstQueryOfEveryEntry()
    {
        QFETCH(QString, entry);
        WindowRig rig;
        const auto shown = rig.firstQuery(entry, int(modelEntries().indexOf(entry)) + 1);
        QVERIFY2(shown.gpibError.isEmpty(), qPrintable(shown.gpibError));
        QStringList texts;
        for (const QString& message : rig.messages(shown.start))
            texts << message.section(QLatin1Char(' '), 1);
        const QString header = firstQueriedHeader(texts);
        QVERIFY2(!header.isEmpty(), qPrintable(texts.join(QLatin1Char('\n'))));
        rig.gateway.withBench([&](sim::Bench& b) {
            const auto unit = b.unitId(entry.toStdString());
            const QString value =
                shownValue(b.unit(unit), header, b.setting(unit, header.toStdString()));
            QVERIFY2(shown.firstLine.endsWith(QLatin1Char(' ') + value),
                     qPrintable(shown.firstLine + QStringLiteral(" / ") + header));
            QCOMPARE(b.unit(unit).triggered, b.unit(unit).needsTrigger);
        });
    }

    // The analog unit from address to locked, saved configuration, as on the other buses.
    void analogUnitRunToLockedSave()
    {
        WindowRig rig;
        const QStringList messages = rig.messages(rig.walkAnalogUnit());
        rig.gateway.withBench([&](sim::Bench& b) {
            const auto unit = b.unitId("7352A");
            checkAnalogWalk(messages, QStringLiteral("0x000F"), b.unit(unit),
                            b.savedSetting(unit, "VOLT:OFFS"));
        });
    }

    // What the operator sees of each fault a gateway shows: the failed call's report, and the
    // driver's words in the hint box and the report's description. Address -1: the failure comes
    // at Configure, on the main window.
    void failuresAGatewayShows_data()
    {
        QTest::addColumn<int>("address");
        QTest::addColumn<QString>("report");
        QTest::addColumn<QString>("words"); // part of them; empty: no box
        QTest::newRow("gateway down")
            << -1 << "SendIFC Error ibsta = &H8000 <   ERR >iberr =  0 EDVR"
            << "No VXI-11 gateway answers at 127.0.0.1:";
        QTest::newRow("no link to spare") << -1 << "SendIFC Error ibsta = &H8000"
                                          << "has no link to spare";
        QTest::newRow("unit locked by another program")
            << 5 << "DevClear Error ibsta = &H8000" << "Another program holds gpib0,5 on the "
                                                      "gateway";
        QTest::newRow("nobody at the address") << 29 << "Receive Error ibsta = &HC120" << "";
    }
    void failuresAGatewayShows()
    {
        QFETCH(int, address);
        QFETCH(QString, report);
        QFETCH(QString, words);
        WindowRig rig;
        rig.withGateway([tag = QString::fromLatin1(QTest::currentDataTag())](auto& g) {
            if (tag == QLatin1String("gateway down"))
                g.setDown(true);
            else if (tag == QLatin1String("no link to spare"))
                g.refuseLinks(vxi11::error::OutOfResources);
            else if (tag == QLatin1String("unit locked by another program"))
                g.lockByAnotherLink("gpib0,5");
        });
        QString shown;
        QString explained;
        QString boxText;
        const auto look = [&](QWidget* over) {
            auto* status = over->findChild<QPlainTextEdit*>(ctl::txtGPIBErr);
            shown = status->isVisible() ? status->toPlainText() : QString();
            explained = status->accessibleDescription();
            if (auto* box = over->findChild<QMessageBox*>(QString::fromLatin1(kHintBoxName)))
                boxText = box->text();
        };
        if (address < 0) {
            rig.configure(QStringLiteral("7321"), [](ConfigWindow&) {});
            QVERIFY(!rig.configWindowOpened);
            look(rig.main.get());
        } else {
            rig.runAt(QStringLiteral("7321"), QString::number(address),
                      [&](Run& run) { look(&run.w); });
        }
        QVERIFY2(shown.startsWith(report), qPrintable(shown));
        QVERIFY2(boxText.contains(words) && boxText.isEmpty() == words.isEmpty(),
                 qPrintable(boxText));
        QCOMPARE(explained, boxText);
    }

    // The connection goes mid-menu: the failed call is reported with what happened, and the
    // next Set Address works on a new connection.
    void droppedConnectionMidMenu()
    {
        WindowRig rig;
        QString report;
        QString explained;
        bool errorAfterRecovery = true;
        QStringList afterRecovery;
        rig.runAt(QStringLiteral("7321"), QStringLiteral("5"), [&](Run& run) {
            QVERIFY(!run.visible(ctl::txtGPIBErr));
            rig.withGateway([](auto& g) { g.dropOnProcedure(vxi11::proc::DeviceRead); });
            run.enter();
            report = run.visible(ctl::txtGPIBErr) ? run.gpibError() : QString();
            explained = run.c(ctl::txtGPIBErr)->accessibleDescription();
            run.setAddress(QStringLiteral("5"));
            errorAfterRecovery = run.visible(ctl::txtGPIBErr);
            afterRecovery = run.lines();
        });
        QVERIFY2(report.startsWith(QStringLiteral("Receive Error")) &&
                     report.contains(QStringLiteral("EDVR")),
                 qPrintable(report));
        QVERIFY2(explained.contains(QStringLiteral("was lost")), qPrintable(explained));
        QVERIFY(!errorAfterRecovery);
        QVERIFY(afterRecovery.contains(
            listLine(QStringLiteral("Bus Address - 0 to 30 or 31"), QStringLiteral("5"))));
    }

    void cliShowIsTheSameAsOnTheBenchItself()
    {
        CliRigOverGateway r;
        BenchCli direct;
        for (const char* entry : {"7352A", "7374A", "7379"}) {
            QCOMPARE(r.cli.run(showArguments(entry)), 0);
            QCOMPARE(direct.run(showArguments(entry)), 0);
            QCOMPARE(r.cli.out, direct.cli.out);
        }
    }

    void cliBackupRestoredOntoAnotherUnitLeavesNoDifference()
    {
        CliRigOverGateway r;
        sim::Bench::UnitId copy = 0;
        r.gateway.withBench([&](sim::Bench& b) { copy = b.addUnit("7352A", 28); });
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("p.json"));
        QCOMPARE(r.cli.run({"set", "7352A", "15", "VOLT:SLOPe=-1.5", "MEAS:RANGE=0.1"}), 0);
        QCOMPARE(r.cli.run({"backup", "7352A", "15", "-o", file}), 0);
        QCOMPARE(r.cli.run({"diff", file, "28"}), 1);
        QCOMPARE(r.cli.run({"restore", file, "28"}), 0);
        r.gateway.withBench([&](sim::Bench& b) { b.powerCycle(copy); });
        QCOMPARE(r.cli.run({"diff", file, "28"}), 0);
    }

    // A gateway cannot find listeners: scan probes every address, the 7379's channels at their
    // secondary addresses, and keeps no more links than it may.
    void cliScanProbesEveryAddress()
    {
        CliRigOverGateway r;
        QCOMPARE(r.cli.run({"--json", "scan"}), 0);
        const QJsonArray found =
            QJsonDocument::fromJson(r.cli.out.toUtf8()).object()[QStringLiteral("units")].toArray();
        QCOMPARE(found.size(), 30); // 26 units, and the 7379's four channels
        QCOMPARE(found[24].toObject()[QStringLiteral("secondary")].toInt(), 11);
        QCOMPARE(found[24].toObject()[QStringLiteral("entry")].toString(), QStringLiteral("7379"));
        r.withGateway([](auto& g) {
            QVERIFY(g.linkCount() <= int(vxi11::Vxi11Driver::kMaxDeviceLinks) + 1);
        });
    }

    // The program itself: --driver vxi11 opens the driver module and reaches the gateway.
    void cliProcessOpensTheModuleAndReachesTheGateway()
    {
        GatewayOnThread gateway;
        QProcess run;
        run.start(QStringLiteral(GPIBCONFIG_CLI_PROGRAM),
                  QStringList{QStringLiteral("--driver"),
                              QStringLiteral("vxi11:127.0.0.1:%1").arg(gateway.corePort())} +
                      showArguments("7374A"));
        QVERIFY(run.waitForFinished(60000));
        QVERIFY2(run.exitCode() == 0, run.readAllStandardError().constData());
        BenchCli direct;
        QCOMPARE(direct.run(showArguments("7374A")), 0);
        QCOMPARE(QString::fromUtf8(run.readAllStandardOutput()), direct.cli.out);
    }
};

QTEST_MAIN(Vxi11Program)
#include "tst_vxi11_program.moc"
