// SPDX-License-Identifier: GPL-3.0-or-later
// gpibconfig-cli, the program itself, over the real AR488 firmware (both releases) in front of
// the bench: what the Prologix driver does must hold on a controller we did not write. And
// whatever the program does, the controller's EEPROM is never written.
#include "Oracle.h"
#include "support/CliRig.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

using namespace gpibconfig;
using namespace gpibconfig::test;

namespace {

struct Outcome {
    int status = -1;
    QString out;
    QString err;
};

Outcome runCli(const QString& pty, const QStringList& arguments)
{
    QProcess cli;
    cli.start(QStringLiteral(GPIBCONFIG_CLI_PROGRAM),
              QStringList{QStringLiteral("--driver"), QStringLiteral("prologix:") + pty} +
                  arguments);
    cli.closeWriteChannel();
    if (!cli.waitForFinished(60000))
        cli.kill();
    return {cli.exitStatus() == QProcess::NormalExit ? cli.exitCode() : -1,
            QString::fromUtf8(cli.readAllStandardOutput()),
            QString::fromUtf8(cli.readAllStandardError())};
}

// The driver's plain words for a controller that dropped a secondary address.
bool saysTooOldForSecondaries(const QString& err)
{
    return err.contains(QStringLiteral("too old for secondary addresses"));
}

void addReleases()
{
    QTest::addColumn<QString>("release");
    for (const QString& release : kAr488Releases)
        QTest::newRow(qPrintable(release)) << release;
}

} // namespace

class Ar488Cli : public QObject {
    Q_OBJECT

private slots:
    // show and set as on the bench itself; the controller's address moves from unit to unit and
    // every message reaches the unit it was meant for.
    void showAndSetReachTheUnit_data() { addReleases(); }
    void showAndSetReachTheUnit()
    {
        QFETCH(QString, release);
        Ar488Oracle oracle(release);
        QVERIFY(!oracle.pty().isEmpty());
        BenchCli direct;
        for (const char* entry : {"7352A", "7321"}) {
            const QStringList show{
                QStringLiteral("--json"), QStringLiteral("show"), QString::fromLatin1(entry),
                QString::fromLatin1(entry) == QLatin1String("7352A") ? QStringLiteral("15")
                                                                     : QStringLiteral("5")};
            const Outcome real = runCli(oracle.pty(), show);
            QVERIFY2(real.status == 0, qPrintable(real.err));
            QCOMPARE(direct.run(show), 0);
            QCOMPARE(real.out, direct.cli.out);
        }
        const Outcome set =
            runCli(oracle.pty(), {QStringLiteral("set"), QStringLiteral("7352A"),
                                  QStringLiteral("15"), QStringLiteral("VOLT:SLOPe=-1.5")});
        QVERIFY2(set.status == 0, qPrintable(set.err));
        QCOMPARE(set.out, QStringLiteral("VOLT:SLOPe  +01.0000 -> -01.5000\n"));
        QCOMPARE(oracle.value(QStringLiteral("setting 7352A VOLT:SLOPE")),
                 QStringLiteral("-01.5000"));
        QVERIFY(oracle.messages().contains(QStringLiteral("7352A VOLT:SLOPe -1.5")));
        QCOMPARE(oracle.eepromWrites(), 0L);
    }

    // What each release can do with the four-channel unit, whose channels are secondary
    // addresses: 0.53 addresses them; 0.51 drops a secondary address, so the call fails, saying
    // why, and no channel's message reaches another device.
    void channelsAtSecondaryAddresses_data()
    {
        QTest::addColumn<QString>("release");
        QTest::addColumn<bool>("reachable");
        QTest::newRow("0.53.04") << QStringLiteral("0.53.04") << true;
        QTest::newRow("0.51.09") << QStringLiteral("0.51.09") << false;
    }
    void channelsAtSecondaryAddresses()
    {
        QFETCH(QString, release);
        QFETCH(bool, reachable);
        Ar488Oracle oracle(release);
        QVERIFY(!oracle.pty().isEmpty());
        const Outcome show = runCli(
            oracle.pty(), {QStringLiteral("show"), QStringLiteral("7379"), QStringLiteral("25"),
                           QStringLiteral("--channel"), QStringLiteral("2")});
        if (reachable) {
            QVERIFY2(show.status == 0, qPrintable(show.err));
            QVERIFY2(show.out.startsWith(QStringLiteral("7379 at 25")), qPrintable(show.out));
        } else {
            QCOMPARE(show.status, 2);
            QVERIFY2(show.err.contains(QStringLiteral("ECAP")), qPrintable(show.err));
            QVERIFY2(saysTooOldForSecondaries(show.err), qPrintable(show.err));
            for (const QString& message : oracle.messages())
                QVERIFY2(!message.startsWith(QStringLiteral("7379")), qPrintable(message));
        }
        QCOMPARE(oracle.eepromWrites(), 0L);
    }

    // scan probes every address with *IDN?: the units and nothing else (no phantom unit made of
    // the controller's own error lines), the 7379's channels where the release reaches them.
    void scanFindsTheUnits_data() { channelsAtSecondaryAddresses_data(); }
    void scanFindsTheUnits()
    {
        QFETCH(QString, release);
        QFETCH(bool, reachable);
        Ar488Oracle oracle(release);
        QVERIFY(!oracle.pty().isEmpty());
        const Outcome scan =
            runCli(oracle.pty(), {QStringLiteral("--json"), QStringLiteral("scan")});
        if (!reachable) {
            QCOMPARE(scan.status, 2);
            QVERIFY2(saysTooOldForSecondaries(scan.err), qPrintable(scan.err));
            QCOMPARE(oracle.eepromWrites(), 0L);
            return;
        }
        QVERIFY2(scan.status == 0, qPrintable(scan.err));
        const QJsonArray units =
            QJsonDocument::fromJson(scan.out.toUtf8()).object()[QStringLiteral("units")].toArray();
        QCOMPARE(units.size(), 30); // 26 units, and the 7379's four channels
        for (int i = 0; i < units.size(); ++i) {
            const QJsonObject unit = units[i].toObject();
            const int address = unit[QStringLiteral("address")].toInt();
            QVERIFY2(address >= 1 && address <= 27, qPrintable(scan.out));
            QVERIFY2(unit[QStringLiteral("idn")].toString().startsWith(QStringLiteral("ZEB,")),
                     qPrintable(scan.out));
        }
        QCOMPARE(units[24].toObject()[QStringLiteral("secondary")].toInt(), 11);
        QCOMPARE(units[27].toObject()[QStringLiteral("secondary")].toInt(), 14);
        QCOMPARE(oracle.eepromWrites(), 0L);
    }

    // A unit's configuration copied onto a replacement unit through the firmware.
    void backupRestoredOntoAnotherUnit_data() { addReleases(); }
    void backupRestoredOntoAnotherUnit()
    {
        QFETCH(QString, release);
        Ar488Oracle oracle(release);
        QVERIFY(!oracle.pty().isEmpty());
        QCOMPARE(oracle.ask(QStringLiteral("add 7352A 28")), QStringList());
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("p.json"));
        const QList<QPair<QStringList, int>> steps = {
            {{"set", "7352A", "15", "VOLT:SLOPe=-1.5", "MEAS:RANGE=0.1"}, 0},
            {{"backup", "7352A", "15", "-o", file}, 0},
            {{"diff", file, "28"}, 1},
            {{"restore", file, "28"}, 0},
        };
        for (const auto& [arguments, status] : steps) {
            const Outcome run = runCli(oracle.pty(), arguments);
            QVERIFY2(run.status == status,
                     qPrintable(arguments.join(' ') + QLatin1Char('\n') + run.out + run.err));
        }
        QCOMPARE(oracle.value(QStringLiteral("saved @28 VOLT:SLOPE")), QStringLiteral("-01.5000"));
        QCOMPARE(oracle.value(QStringLiteral("saved @28 MEAS:RANGE")),
                 oracle.value(QStringLiteral("setting @15 MEAS:RANGE")));
        QCOMPARE(oracle.ask(QStringLiteral("cycle @28")), QStringList());
        const Outcome diff =
            runCli(oracle.pty(), {QStringLiteral("diff"), file, QStringLiteral("28")});
        QVERIFY2(diff.status == 0, qPrintable(diff.out + diff.err));
        QCOMPARE(oracle.eepromWrites(), 0L);
    }

    // Addresses the program cannot use through the controller: an empty one is a time-out, as
    // the README's session shows; the controller's own (0) is refused by the firmware, and the
    // message must not go to the unit addressed before, which AR488 keeps addressed. The next
    // program to open the port finds the controller as it should, whatever the failed one left.
    void unusableAddresses_data()
    {
        QTest::addColumn<QString>("release");
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("report");
        for (const QString& release : kAr488Releases) {
            QTest::addRow("%s empty", qPrintable(release))
                << release << QStringLiteral("29") << QStringLiteral("EABO");
            QTest::addRow("%s controller", qPrintable(release))
                << release << QStringLiteral("0") << QStringLiteral("EARG");
        }
    }
    void unusableAddresses()
    {
        QFETCH(QString, release);
        QFETCH(QString, address);
        QFETCH(QString, report);
        Ar488Oracle oracle(release);
        QVERIFY(!oracle.pty().isEmpty());
        const Outcome first = runCli(
            oracle.pty(), {QStringLiteral("show"), QStringLiteral("7352A"), QStringLiteral("15")});
        QVERIFY2(first.status == 0, qPrintable(first.err));
        const QStringList before = oracle.messages();
        const Outcome set = runCli(oracle.pty(), {QStringLiteral("set"), QStringLiteral("7352A"),
                                                  address, QStringLiteral("VOLT:SLOPe=-2")});
        QCOMPARE(set.status, 2);
        QVERIFY2(set.err.contains(report), qPrintable(set.err));
        QVERIFY2(set.out.isEmpty(), qPrintable(set.out));
        QCOMPARE(oracle.messages().mid(before.size()), QStringList());
        QCOMPARE(oracle.value(QStringLiteral("setting 7352A VOLT:SLOPE")),
                 QStringLiteral("+01.0000"));
        const Outcome next =
            runCli(oracle.pty(), {QStringLiteral("set"), QStringLiteral("7352A"),
                                  QStringLiteral("15"), QStringLiteral("VOLT:SLOPe=-2")});
        QVERIFY2(next.status == 0, qPrintable(next.err));
        QCOMPARE(next.out, QStringLiteral("VOLT:SLOPe  +01.0000 -> -02.0000\n"));
        QCOMPARE(oracle.eepromWrites(), 0L);
    }
};

QTEST_GUILESS_MAIN(Ar488Cli)
#include "tst_ar488_cli.moc"
