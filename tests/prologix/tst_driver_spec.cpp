// SPDX-License-Identifier: GPL-3.0-or-later
// Choosing the driver: the forms of --driver, where it comes from, the window title, and the
// program's answer to a bad one.
#include "drivers/DriverSpec.h"

#include <QDir>
#include <QProcess>
#include <QTest>

using namespace gpibconfig;
using Kind = DriverSpec::Kind;

Q_DECLARE_METATYPE(gpibconfig::DriverSpec::Kind)

class DriverSpecTest : public QObject {
    Q_OBJECT

private slots:
    void parsesTheAcceptedForms_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<QString>("where"); // port, or host
        QTest::addColumn<int>("tcpPort");
        QTest::addColumn<QString>("title");
        QTest::newRow("system") << "system" << Kind::System << "" << 0 << "";
        QTest::newRow("blanks and case") << "  System " << Kind::System << "" << 0 << "";
        QTest::newRow("linux port") << "prologix:/dev/ttyUSB0" << Kind::PrologixSerial
                                    << "/dev/ttyUSB0" << 0 << "Prologix /dev/ttyUSB0";
        QTest::newRow("windows port")
            << "PROLOGIX:COM3" << Kind::PrologixSerial << "COM3" << 0 << "Prologix COM3";
        QTest::newRow("host") << "prologix-tcp:192.168.1.50" << Kind::PrologixTcp << "192.168.1.50"
                              << 1234 << "Prologix 192.168.1.50";
        QTest::newRow("host and port") << "prologix-tcp:gpib.lab:5000" << Kind::PrologixTcp
                                       << "gpib.lab" << 5000 << "Prologix gpib.lab:5000";
        QTest::newRow("ipv6") << "prologix-tcp:[fe80::1]" << Kind::PrologixTcp << "fe80::1" << 1234
                              << "Prologix fe80::1";
        QTest::newRow("ipv6 and port") << "prologix-tcp:[::1]:1235" << Kind::PrologixTcp << "::1"
                                       << 1235 << "Prologix [::1]:1235";
        QTest::newRow("port after a blank")
            << "prologix: COM3" << Kind::PrologixSerial << "COM3" << 0 << "Prologix COM3";
        QTest::newRow("host after a blank") << "prologix-tcp: gpib.lab" << Kind::PrologixTcp
                                            << "gpib.lab" << 1234 << "Prologix gpib.lab";
        QTest::newRow("highest port") << "prologix-tcp:gpib.lab:65535" << Kind::PrologixTcp
                                      << "gpib.lab" << 65535 << "Prologix gpib.lab:65535";
        QTest::newRow("percent sign in the host") << "prologix-tcp:lab%1x" << Kind::PrologixTcp
                                                  << "lab%1x" << 1234 << "Prologix lab%1x";
        QTest::newRow("gateway") << "vxi11:192.168.1.60" << Kind::Vxi11 << "192.168.1.60" << 0
                                 << "VXI-11 192.168.1.60";
        QTest::newRow("gateway port and interface") << "VXI11:gw.lab:1024, gpib1" << Kind::Vxi11
                                                    << "gw.lab" << 1024 << "VXI-11 gw.lab:1024,gpib1";
        QTest::newRow("gateway ipv6 and interface") << "vxi11:[fe80::1],hpib" << Kind::Vxi11
                                                    << "fe80::1" << 0 << "VXI-11 [fe80::1],hpib";
        QTest::newRow("gateway's usual interface named")
            << "vxi11:gw,gpib0" << Kind::Vxi11 << "gw" << 0 << "VXI-11 gw";
        QTest::newRow("sim") << "sim" << Kind::Sim << "" << 0 << "simulated bench";
        QTest::newRow("list") << "list" << Kind::List << "" << 0 << "";
    }
    void parsesTheAcceptedForms()
    {
        QFETCH(QString, text);
        QFETCH(Kind, kind);
        QFETCH(QString, where);
        QFETCH(int, tcpPort);
        QFETCH(QString, title);
        const auto parsed = DriverSpec::parse(text);
        QVERIFY2(
            std::holds_alternative<DriverSpec>(parsed),
            qPrintable(std::get_if<QString>(&parsed) ? *std::get_if<QString>(&parsed) : QString()));
        const DriverSpec spec = std::get<DriverSpec>(parsed);
        QCOMPARE(spec.kind, kind);
        QCOMPARE(kind == Kind::PrologixSerial ? spec.port : spec.host, where);
        QCOMPARE(int(spec.tcpPort), tcpPort);
        QCOMPARE(driverTitleSuffix(spec), title);
        // What toString() writes reads back as the same choice.
        const auto again = DriverSpec::parse(spec.toString());
        QVERIFY(std::holds_alternative<DriverSpec>(again));
        QCOMPARE(std::get<DriverSpec>(again), spec);
    }

    void refusesOthersSayingWhy_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("says");
        QTest::newRow("unknown") << "gpib"
                                 << "unknown driver \"gpib\"";
        QTest::newRow("empty") << ""
                               << "unknown driver";
        QTest::newRow("no port") << "prologix"
                                 << "needs the serial port";
        QTest::newRow("empty port") << "prologix: "
                                    << "needs the serial port";
        QTest::newRow("no host") << "prologix-tcp:"
                                 << "needs the controller's host";
        QTest::newRow("port zero") << "prologix-tcp:lab:0"
                                   << "not a TCP port";
        QTest::newRow("port too big") << "prologix-tcp:lab:65536"
                                      << "not a TCP port";
        QTest::newRow("port with sign") << "prologix-tcp:lab:+80"
                                        << "not a TCP port";
        QTest::newRow("port missing") << "prologix-tcp:lab:"
                                      << "port after ':' is missing";
        QTest::newRow("ipv6 port missing") << "prologix-tcp:[::1]:"
                                           << "port after ':' is missing";
        QTest::newRow("bare ipv6") << "prologix-tcp:fe80::1"
                                   << "in brackets";
        QTest::newRow("open bracket") << "prologix-tcp:[fe80::1"
                                      << "closing bracket";
        QTest::newRow("junk after bracket") << "prologix-tcp:[::1]x"
                                            << "only :PORT";
        QTest::newRow("gateway without host") << "vxi11"
                                              << "vxi11 needs the gateway's host after a colon";
        QTest::newRow("gateway host empty") << "vxi11:,gpib0"
                                            << "vxi11 needs the gateway's host name";
        QTest::newRow("gateway interface missing") << "vxi11:gw,"
                                                   << "the interface's name after ',' is missing";
        QTest::newRow("gateway device for an interface")
            << "vxi11:gw,gpib0,5"
            << "\"gpib0,5\" is not the name of a gateway's GPIB interface";
        QTest::newRow("gateway interface with a blank") << "vxi11:gw,gpib 0"
                                                        << "is not the name of a gateway's";
        QTest::newRow("gateway port zero") << "vxi11:gw:0,gpib0"
                                           << "not a TCP port";
        QTest::newRow("system with argument") << "system:x"
                                              << "unknown driver";
        QTest::newRow("blank in the host") << "prologix-tcp:my lab"
                                           << "\"my lab\" is not a host name";
        QTest::newRow("url for a host") << "prologix-tcp:http://lab:80"
                                        << "\"http://lab:80\" is not a host name";
    }
    void refusesOthersSayingWhy()
    {
        QFETCH(QString, text);
        QFETCH(QString, says);
        const auto parsed = DriverSpec::parse(text);
        QVERIFY(std::holds_alternative<QString>(parsed));
        QVERIFY2(std::get<QString>(parsed).contains(says), qPrintable(std::get<QString>(parsed)));
    }

    void optionThenEnvironmentThenSettings_data()
    {
        QTest::addColumn<QString>("option");
        QTest::addColumn<QString>("environment");
        QTest::addColumn<QString>("settings");
        QTest::addColumn<QString>("chosen"); // the choice, or "error: <part of the message>"
        const QString none = QStringLiteral("<none>");
        QTest::newRow("nothing") << none << none << none << "system";
        QTest::newRow("settings") << none << none << "prologix:COM4"
                                  << "prologix:COM4";
        QTest::newRow("environment over settings") << none << "prologix-tcp:lab"
                                                   << "prologix:COM4"
                                                   << "prologix-tcp:lab:1234";
        QTest::newRow("option over both") << "system"
                                          << "prologix-tcp:lab"
                                          << "prologix:COM4"
                                          << "system";
        QTest::newRow("empty values do not count") << ""
                                                   << " "
                                                   << "prologix:COM4"
                                                   << "prologix:COM4";
        QTest::newRow("bad option named") << "gpib"
                                          << "system" << none << "error: --driver: unknown driver";
        QTest::newRow("bad environment named")
            << none << "prologix-tcp:" << none << "error: GPIBCONFIG_DRIVER: prologix-tcp needs";
        QTest::newRow("bad settings named") << none << none << "x"
                                            << "error: the settings file";
        QTest::newRow("a bad lower one is not looked at") << "system"
                                                          << "junk"
                                                          << "junk"
                                                          << "system";
    }
    void optionThenEnvironmentThenSettings()
    {
        QFETCH(QString, option);
        QFETCH(QString, environment);
        QFETCH(QString, settings);
        QFETCH(QString, chosen);
        const auto value = [](const QString& v) {
            return v == QLatin1String("<none>") ? std::nullopt : std::optional<QString>(v);
        };
        const auto result = chooseDriver(value(option), value(environment), value(settings));
        if (chosen.startsWith(QLatin1String("error: "))) {
            QVERIFY(std::holds_alternative<QString>(result));
            QVERIFY2(std::get<QString>(result).startsWith(chosen.mid(7)),
                     qPrintable(std::get<QString>(result)));
        } else {
            QVERIFY(std::holds_alternative<DriverChoice>(result));
            QCOMPARE(std::get<DriverChoice>(result).spec.toString(), chosen);
        }
    }

    // The programs themselves: a bad --driver value is a usage error, --help and list work without
    // a bus; the command-line program runs on the bench with --driver sim.
    void programAnswersOnTheCommandLine_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("environment");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("stdoutHas");
        QTest::addColumn<QString>("stderrHas");
        const QString window = QStringLiteral(GPIBCONFIG_PROGRAM);
        const QString cli = QStringLiteral(GPIBCONFIG_CLI_PROGRAM);
        QTest::newRow("help") << window << QStringList{"--help"} << "" << 0 << "--trace <file>"
                              << "";
        QTest::newRow("help names the choice of controller")
            << window << QStringList{"--help"} << "" << 0 << "--choose-controller"
            << "";
        QTest::newRow("list") << window << QStringList{"--driver", "list"} << "" << 0
                              << "prologix-tcp:HOST[:PORT]"
                              << "";
        QTest::newRow("list names the gateways")
            << window << QStringList{"--driver", "list"} << "" << 0
            << "vxi11:HOST[:PORT][,INTERFACE]" << "";
        QTest::newRow("bad option") << window << QStringList{"--driver", "gpib"} << "" << 64 << ""
                                    << "gpibconfig: --driver: unknown driver \"gpib\"";
        QTest::newRow("bad environment") << window << QStringList{} << "prologix:" << 64 << ""
                                         << "GPIBCONFIG_DRIVER: prologix needs the serial port";
        QTest::newRow("sim is for the command-line tool")
            << window << QStringList{"--driver", "sim"} << "" << 64 << ""
            << "gpibconfig-sim";
        QTest::newRow("unknown option") << window << QStringList{"--drivr", "x"} << "" << 64 << ""
                                        << "drivr";
        QTest::newRow("trace to an unwritable file")
            << window << QStringList{"--trace", "/nonexistent/dir/trace.txt"} << "" << 64 << ""
            << "cannot write the trace to /nonexistent/dir/trace.txt";
        QTest::newRow("cli on the bench")
            << cli << QStringList{"--driver", "sim", "--trace", "-", "show", "7321", "5"} << "" << 0
            << " 1  SYST:COMM:GPIB:ADDR  Bus Address - 0 to 30 or 31        5\n"
            << "Receive(0, 0x0005, 18, 0) -> ibsta=0x2124 iberr=0 ibcntl=2 data=\"5\\n\"\n";
        QTest::newRow("cli with an ipv6 host and an empty port")
            << cli << QStringList{"--driver", "prologix-tcp:[::1]:", "scan"} << "" << 64 << ""
            << "gpibconfig-cli: --driver: \"[::1]:\": the port after ':' is missing\n";
        QTest::newRow("cli opens the gateway module, and no gateway answers")
            << cli << QStringList{"show", "7352A", "15"} << "vxi11:127.0.0.1:1" << 2 << ""
            << "SendIFC Error ibsta = &H8000 <   ERR >iberr =  0 EDVR <DOS Error>ibcnt =  0\n"
               "No VXI-11 gateway answers at 127.0.0.1:1 (";
        QTest::newRow("cli driver from the environment")
            << cli << QStringList{"show", "7321", "31"} << "sim" << 64 << ""
            << "gpibconfig-cli: address out of range";
    }
    void programAnswersOnTheCommandLine()
    {
        QFETCH(QString, program);
        QFETCH(QStringList, arguments);
        QFETCH(QString, environment);
        QFETCH(int, exitCode);
        QFETCH(QString, stdoutHas);
        QFETCH(QString, stderrHas);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.remove(QString::fromLatin1(kDriverEnvironmentVariable));
        if (!environment.isEmpty())
            env.insert(QString::fromLatin1(kDriverEnvironmentVariable), environment);
        // A settings file of its own, so the user's does not count.
        env.insert(QStringLiteral("XDG_CONFIG_HOME"),
                   QDir::tempPath() + QStringLiteral("/gpibconfig-spec-test"));
        QProcess run;
        run.setProcessEnvironment(env);
        run.start(program, arguments);
        QVERIFY(run.waitForFinished(20000));
        QCOMPARE(run.exitStatus(), QProcess::NormalExit);
        const QString out = QString::fromLocal8Bit(run.readAllStandardOutput());
        const QString err = QString::fromLocal8Bit(run.readAllStandardError());
        QVERIFY2(run.exitCode() == exitCode, qPrintable(out + err));
        QVERIFY2(out.contains(stdoutHas), qPrintable(out));
        QVERIFY2(err.contains(stderrHas), qPrintable(err));
    }
};

QTEST_GUILESS_MAIN(DriverSpecTest)
#include "tst_driver_spec.moc"
