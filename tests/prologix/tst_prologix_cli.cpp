// SPDX-License-Identifier: GPL-3.0-or-later
// gpibconfig-cli over the Prologix driver, through the simulated controller in front of the
// bench on a pty and on TCP: the driver on its bus thread, the controller served by this thread
// while the program waits for each call.
#include "Rig.h"
#include "models/Models.h"
#include "support/CliRig.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>

using namespace gpibconfig;
using namespace gpibconfig::test;

Q_DECLARE_METATYPE(gpibconfig::test::Link)
Q_DECLARE_METATYPE(gpibconfig::sim::SimulatedPrologix::Firmware)

namespace {

// The program as gpibconfig-cli runs it, with the bench's virtual time for its pauses.
struct CliOverPrologix : PrologixRig {
    CliRig cli{*driver, bench->clock()};
    explicit CliOverPrologix(Link link, Firmware firmware = Firmware::Prologix)
        : PrologixRig(link, fastTiming(), firmware)
    {
    }
};

void addLinks()
{
    QTest::addColumn<Link>("link");
    QTest::newRow("pty") << Link::Pty;
    QTest::newRow("tcp") << Link::Tcp;
}

} // namespace

class PrologixCli : public QObject {
    Q_OBJECT

private slots:
    void showIsTheSameAsOnTheBenchItself_data() { addLinks(); }
    void showIsTheSameAsOnTheBenchItself()
    {
        QFETCH(Link, link);
        CliOverPrologix r(link);
        BenchCli direct;
        for (const char* entry : {"7352A", "7374A"}) {
            const QStringList arguments{
                QStringLiteral("--json"), QStringLiteral("show"), QString::fromLatin1(entry),
                QString::number(modelEntries().indexOf(QString::fromLatin1(entry)) + 1),
                QStringLiteral("--power-cycled")};
            QCOMPARE(r.cli.run(arguments), 0);
            QCOMPARE(direct.run(arguments), 0);
            QCOMPARE(r.cli.out, direct.cli.out);
        }
    }

    void backupRestoredOntoAnotherUnitLeavesNoDifference_data() { addLinks(); }
    void backupRestoredOntoAnotherUnitLeavesNoDifference()
    {
        QFETCH(Link, link);
        CliOverPrologix r(link);
        const auto copy = r.bench->addUnit("7352A", 28);
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("p.json"));
        QCOMPARE(r.cli.run({QStringLiteral("set"), QStringLiteral("7352A"), QStringLiteral("15"),
                            QStringLiteral("VOLT:SLOPe=-1.5"), QStringLiteral("MEAS:RANGE=0.1")}),
                 0);
        QCOMPARE(r.cli.run({QStringLiteral("backup"), QStringLiteral("7352A"), QStringLiteral("15"),
                            QStringLiteral("-o"), file}),
                 0);
        QCOMPARE(r.cli.run({QStringLiteral("diff"), file, QStringLiteral("28")}), 1);
        QCOMPARE(r.cli.run({QStringLiteral("restore"), file, QStringLiteral("28")}), 0);
        QVERIFY2(r.cli.out.contains(QStringLiteral("7352A at 28: saved")),
                 qPrintable(r.cli.out + r.cli.err));
        r.bench->powerCycle(copy);
        QCOMPARE(r.cli.run({QStringLiteral("diff"), file, QStringLiteral("28")}), 0);
        QCOMPARE(QString::fromStdString(r.bench->setting(copy, "VOLT:SLOPE").value_or("")),
                 QStringLiteral("-01.5000"));
    }

    // No unit where the controller cannot reach (AR488's own address 0), no phantom made of its
    // refusal; the 7379's channels where the firmware takes secondary addresses; where it does
    // not, the units it could reach, the reason and a failed status, as the list is not the bus.
    void scanProbesWhereTheControllerCannotFindListeners_data()
    {
        using Firmware = sim::SimulatedPrologix::Firmware;
        QTest::addColumn<Link>("link");
        QTest::addColumn<Firmware>("firmware");
        QTest::addColumn<int>("units");
        QTest::addColumn<QString>("warning");
        QTest::newRow("pty") << Link::Pty << Firmware::Prologix << 30 << "";
        QTest::newRow("tcp") << Link::Tcp << Firmware::Prologix << 30 << "";
        QTest::newRow("ar488-0.53") << Link::Pty << Firmware::Ar488_053 << 30 << "";
        QTest::newRow("ar488-0.51")
            << Link::Pty << Firmware::Ar488_051 << 26 << "is too old for secondary addresses";
    }
    void scanProbesWhereTheControllerCannotFindListeners()
    {
        QFETCH(Link, link);
        QFETCH(sim::SimulatedPrologix::Firmware, firmware);
        QFETCH(int, units);
        QFETCH(QString, warning);
        CliOverPrologix r(link, firmware);
        QCOMPARE(r.cli.run({QStringLiteral("--json"), QStringLiteral("scan")}),
                 warning.isEmpty() ? 0 : 2);
        const QJsonArray found =
            QJsonDocument::fromJson(r.cli.out.toUtf8()).object()[QStringLiteral("units")].toArray();
        QCOMPARE(found.size(), units); // 26 units, and the 7379's four channels
        QVERIFY(found[0].toObject()[QStringLiteral("address")].toInt() != 0);
        if (units == 30) {
            QCOMPARE(found[24].toObject()[QStringLiteral("secondary")].toInt(), 11);
            QCOMPARE(found[24].toObject()[QStringLiteral("entry")].toString(),
                     QStringLiteral("7379"));
        }
        QVERIFY2(warning.isEmpty() ? r.cli.err.isEmpty() : r.cli.err.contains(warning),
                 qPrintable(r.cli.err));
        QVERIFY(r.controller.received().contains(QStringLiteral("++read_tmo_ms 100")));
    }

    // AR488 refuses its own address 0 and keeps the one before: the setting meant for a unit at
    // 0 must not reach the unit addressed last, and the command fails saying why.
    void settingForTheControllersOwnAddressReachesNoUnit()
    {
        CliOverPrologix r(Link::Pty, sim::SimulatedPrologix::Firmware::Ar488_053);
        const auto unit = r.bench->unitId("7352A");
        QCOMPARE(r.cli.run({QStringLiteral("set"), QStringLiteral("7352A"), QStringLiteral("15"),
                            QStringLiteral("VOLT:SLOPe=-1.5")}),
                 0);
        const std::size_t from = r.bench->trace().size();
        QCOMPARE(r.cli.run({QStringLiteral("set"), QStringLiteral("7352A"), QStringLiteral("0"),
                            QStringLiteral("VOLT:SLOPe=2.5")}),
                 cli::kExitBusFailure);
        QVERIFY2(r.cli.err.startsWith(QStringLiteral("DevClear Error ")) &&
                     r.cli.err.contains(QStringLiteral("EARG")) &&
                     r.cli.err.contains(QStringLiteral("refused GPIB address 0 (it answered "
                                                       "\"Invalid parameter\") and kept address "
                                                       "15, so nothing was sent there.")),
                 qPrintable(r.cli.err));
        QCOMPARE(r.callsTo(15, from), std::vector<BusCall>());
        QCOMPARE(QString::fromStdString(r.bench->setting(unit, "VOLT:SLOPE").value_or("")),
                 QStringLiteral("-01.5000"));
    }

    // The program itself, in a process of its own: --driver prologix-tcp opens the driver module
    // and reaches the controller this test serves.
    void programOpensTheDriverModuleAndReachesTheController()
    {
        auto bench = sim::makeDefaultBench();
        sim::SimulatedPrologix controller(*bench);
        const quint16 port = controller.serveTcp();
        const QStringList show{QStringLiteral("--json"), QStringLiteral("show"),
                               QStringLiteral("7374A"),
                               QString::number(modelEntries().indexOf(QStringLiteral("7374A")) + 1),
                               QStringLiteral("--power-cycled")};
        QProcess run;
        run.start(QStringLiteral(GPIBCONFIG_CLI_PROGRAM),
                  QStringList{QStringLiteral("--driver"),
                              QStringLiteral("prologix-tcp:127.0.0.1:%1").arg(port)} +
                      show);
        QSignalSpy finished(&run, &QProcess::finished);
        // Waiting in the event loop: the controller answers from this thread.
        QVERIFY(finished.wait(60000));
        const QString err = QString::fromLocal8Bit(run.readAllStandardError());
        QVERIFY2(run.exitCode() == 0, qPrintable(err));
        BenchCli direct;
        QCOMPARE(direct.run(show), 0);
        QCOMPARE(QString::fromUtf8(run.readAllStandardOutput()), direct.cli.out);
        QVERIFY2(controller.received().contains(QStringLiteral("++ver")), qPrintable(err));
    }
};

QTEST_MAIN(PrologixCli)
#include "tst_prologix_cli.moc"
