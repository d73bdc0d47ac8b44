// SPDX-License-Identifier: GPL-3.0-or-later
// The Prologix driver against the simulated controller in front of the bench, over a pty and
// over TCP. The controller is written from the manuals, not from the driver: what reaches the
// bench's board (its trace) is the judge.
#include "Rig.h"
#include "gpib/GpibStatus.h"

#include <QMutex>
#include <QSerialPort>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#if defined(Q_OS_LINUX)
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#endif

using namespace gpibconfig;
using namespace gpibconfig::test;
using prologix::PrologixDriver;

Q_DECLARE_METATYPE(gpibconfig::test::Link)
Q_DECLARE_METATYPE(gpibconfig::sim::SimulatedPrologix::Firmware)
Q_DECLARE_METATYPE(std::vector<gpibconfig::BusCall>)

namespace {

constexpr int kOk = sta::CMPL | sta::CIC;
using Calls = std::vector<BusCall>;
using Firmware = sim::SimulatedPrologix::Firmware;
constexpr Firmware kPrologix = Firmware::Prologix;
constexpr Firmware kAr053 = Firmware::Ar488_053;
constexpr Firmware kAr051 = Firmware::Ar488_051;

void addLinks()
{
    QTest::addColumn<Link>("link");
    QTest::newRow("pty") << Link::Pty;
    QTest::newRow("tcp") << Link::Tcp;
}

// Warnings of the driver's logging category, wherever they are logged from.
struct CapturedWarnings {
    static inline QMutex mutex;
    static inline QStringList lines;
    static inline QtMessageHandler previous = nullptr;

    CapturedWarnings()
    {
        lines.clear();
        previous = qInstallMessageHandler(
            [](QtMsgType type, const QMessageLogContext& context, const QString& text) {
                if (type == QtWarningMsg && context.category &&
                    QLatin1String(context.category) == QLatin1String("gpibconfig.prologix")) {
                    const QMutexLocker lock(&mutex);
                    lines << text;
                }
            });
    }
    ~CapturedWarnings() { qInstallMessageHandler(previous); }
    QStringList containing(const QString& part) const
    {
        const QMutexLocker lock(&mutex);
        return lines.filter(part);
    }
};

// The options of the driver's end of the TCP connection from local port `port`, as the system
// applies them; empty where they cannot be read.
QString tcpOptions(quint16 port)
{
#if defined(Q_OS_LINUX)
    for (int fd = 0; fd < 1024; ++fd) {
        sockaddr_in address{};
        socklen_t size = sizeof address;
        if (::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) != 0 ||
            address.sin_family != AF_INET || ntohs(address.sin_port) != port)
            continue;
        const auto option = [fd](int level, int name) {
            int value = -1;
            socklen_t length = sizeof value;
            ::getsockopt(fd, level, name, &value, &length);
            return value;
        };
        return QStringLiteral("keep-alive %1 after %2 s, every %3 s, %4 probes; %5 ms "
                              "unacknowledged; no delay %6")
            .arg(option(SOL_SOCKET, SO_KEEPALIVE))
            .arg(option(IPPROTO_TCP, TCP_KEEPIDLE))
            .arg(option(IPPROTO_TCP, TCP_KEEPINTVL))
            .arg(option(IPPROTO_TCP, TCP_KEEPCNT))
            .arg(option(IPPROTO_TCP, TCP_USER_TIMEOUT))
            .arg(option(IPPROTO_TCP, TCP_NODELAY));
    }
#else
    (void)port;
#endif
    return {};
}

} // namespace

class PrologixDriverTest : public QObject {
    Q_OBJECT

private slots:
    void queryReachesTheUnitAndTheReplyComesBack_data() { addLinks(); }
    void queryReachesTheUnitAndTheReplyComesBack()
    {
        QFETCH(Link, link);
        PrologixRig rig(link);
        const std::size_t start = rig.bench->trace().size();
        QVERIFY(rig.prepare()); // its last call's status is CMPL and CIC
        QCOMPARE(rig.controller.readTimeoutMs(), 1000);
        // The interface clear reached the bus, beyond the controller's own at power-on.
        const auto prepared = rig.calls(start);
        QVERIFY(std::find(prepared.begin(), prepared.end(), BusCall::sendIfc(0)) != prepared.end());
        // The host's end of the link: what an AR488 board's serial port needs, and a network
        // link that notices a pulled cable within seconds.
        if (link == Link::Pty)
            QCOMPARE(rig.controller.lineSettings(), QStringLiteral("115200 8N1, no flow control"));
#if defined(Q_OS_LINUX)
        else
            QCOMPARE(tcpOptions(rig.controller.clientPort()),
                     QStringLiteral("keep-alive 1 after 5 s, every 2 s, 3 probes; 10000 ms "
                                    "unacknowledged; no delay 1"));
#endif

        const std::size_t from = rig.bench->trace().size();
        QCOMPARE(word(rig.gpib->DevClear(0, 5)), kOk);
        const GpibStatus sent = rig.gpib->Send(0, 5, QStringLiteral("*ESE 20"), 1);
        QCOMPARE(word(sent), kOk);
        QCOMPARE(sent.ibcntl, 8); // the program's line feed counts, as on a board
        GpibStatus received;
        const QString reply = rig.query(5, QStringLiteral("*ESE?"), &received);
        QCOMPARE(reply, QStringLiteral("20\n") + QString(15, QLatin1Char(' ')));
        QCOMPARE(word(received), kOk | sta::END);
        QCOMPARE(received.ibcntl, 3);

        // On the bus: the clear, the messages with EOI on their line feed, a read until EOI.
        QCOMPARE(
            rig.calls(from),
            (std::vector{BusCall::devClear(0, 5), BusCall::send(0, 5, "*ESE 20\n", 2),
                         BusCall::send(0, 5, "*ESE?\n", 2), BusCall::receive(0, 5, 256, 256)}));
        QCOMPARE(rig.bench->unit(rig.bench->unitId("7321")).channels.at(0).ese, 20);
    }

    void secondaryAddressesGoAsTheManualWritesThem_data() { addLinks(); }
    void secondaryAddressesGoAsTheManualWritesThem()
    {
        QFETCH(Link, link);
        PrologixRig rig(link);
        QVERIFY(rig.prepare());
        const std::size_t from = rig.bench->trace().size();
        // The four-channel unit at 25, channel 2 at secondary 12: address word 0x6C19.
        const QString reply = rig.query(static_cast<std::int16_t>(0x6C19), QStringLiteral("*ESE?"));
        QCOMPARE(reply.trimmed(), QStringLiteral("0"));
        QVERIFY(rig.controller.received().contains(QStringLiteral("++addr 25 108")));
        QCOMPARE(rig.calls(from).at(0), BusCall::send(0, 0x6C19, "*ESE?\n", 2));
    }

    void specialBytesAreEscapedAndArriveUnchanged_data() { addLinks(); }
    void specialBytesAreEscapedAndArriveUnchanged()
    {
        QFETCH(Link, link);
        PrologixRig rig(link);
        QVERIFY(rig.prepare());
        const std::size_t from = rig.bench->trace().size();
        // '+' at the start would make the line a controller command; CR, LF and ESC would end
        // or bend it.
        QCOMPARE(word(rig.gpib->Send(0, 7, QStringLiteral("++A\r\x1B+"), 2)), kOk);
        QCOMPARE(word(rig.gpib->Send(0, 7, QStringLiteral("B\nC"), 1)), kOk);
        QVERIFY(rig.settle());
        QCOMPARE(rig.calls(from), (std::vector{BusCall::send(0, 7, "++A\r\x1B+", 2),
                                               BusCall::send(0, 7, "B\nC\n", 2)}));
        QCOMPARE(PrologixDriver::escapedLine("a+\r\n\x1b"),
                 QByteArray("a\x1b+\x1b\r\x1b\n\x1b\x1b\n"));
    }

    void messageWithoutEndGoesWithoutEoi()
    {
        PrologixRig rig(Link::Pty);
        QVERIFY(rig.prepare());
        const std::size_t from = rig.bench->trace().size();
        (void)rig.gpib->Send(0, 5, QStringLiteral("*CL"), 0);
        (void)rig.gpib->Send(0, 5, QStringLiteral("S"), 2);
        QVERIFY(rig.settle());
        QCOMPARE(rig.calls(from),
                 (std::vector{BusCall::send(0, 5, "*CL", 0), BusCall::send(0, 5, "S", 2)}));
    }

    // The program's sequence for a unit that waits for a trigger: unlisten, listen address,
    // unlisten, listen address and group execute trigger, each a call of its own.
    void groupExecuteTriggerBecomesTrg_data() { addLinks(); }
    void groupExecuteTriggerBecomesTrg()
    {
        QFETCH(Link, link);
        PrologixRig rig(link);
        QVERIFY(rig.prepare());
        const auto unit = rig.bench->unitId("7314A"); // at 2, answers only after a trigger
        QVERIFY(!rig.bench->unit(unit).triggered);
        const std::size_t from = rig.bench->trace().size();
        for (const QString& bytes : {QStringLiteral("\x3F"), QStringLiteral("\x22"),
                                     QStringLiteral("\x3F"), QStringLiteral("\x22\x08")}) {
            const GpibStatus status = rig.gpib->SendCmds(0, bytes);
            QCOMPARE(word(status), kOk);
            QCOMPARE(status.ibcntl, bytes.size());
        }
        QVERIFY(rig.settle());
        QCOMPARE(rig.calls(from), std::vector{BusCall::sendCmds(0, "\x3F\x22\x08")});
        QVERIFY(rig.controller.received().contains(QStringLiteral("++trg 2")));
        QVERIFY(rig.bench->unit(unit).triggered);
        QCOMPARE(rig.query(2, QStringLiteral("SYST:MODE?")).trimmed(),
                 QString::fromStdString(rig.bench->setting(unit, "SYST:MODE").value_or("?")));

        // Listeners with secondaries, and a trigger after an unlisten that reaches no one.
        const std::size_t later = rig.bench->trace().size();
        (void)rig.gpib->SendCmds(0, QStringLiteral("\x3F\x39\x6D\x25\x08"));
        QCOMPARE(word(rig.gpib->SendCmds(0, QStringLiteral("\x3F\x08"))), kOk);
        QVERIFY(rig.settle());
        QCOMPARE(rig.calls(later), std::vector{BusCall::sendCmds(0, "\x3F\x39\x6D\x25\x08")});
    }

    void commandBytesTheProtocolCannotSendFailWithEcap_data()
    {
        QTest::addColumn<QString>("bytes");
        QTest::addColumn<QString>("named");
        QTest::newRow("selected device clear") << QStringLiteral("\x25\x04") << "0x04";
        QTest::newRow("device clear") << QStringLiteral("\x14") << "0x14";
        QTest::newRow("untalk") << QStringLiteral("\x5F") << "0x5F";
        QTest::newRow("talk address") << QStringLiteral("\x45") << "0x45";
        QTest::newRow("secondary without listener") << QStringLiteral("\x3F\x61") << "0x61";
        QTest::newRow("go to local after a trigger") << QStringLiteral("\x25\x08\x01") << "0x01";
    }
    void commandBytesTheProtocolCannotSendFailWithEcap()
    {
        QFETCH(QString, bytes);
        QFETCH(QString, named);
        PrologixRig rig(Link::Pty);
        QVERIFY(rig.prepare());
        const std::size_t from = rig.bench->trace().size();
        const QStringList before = rig.controller.received();
        const GpibStatus status = rig.gpib->SendCmds(0, bytes);
        QCOMPARE(word(status), sta::ERR | sta::CMPL | sta::CIC);
        QCOMPARE(status.iberr, err::ECAP);
        QCOMPARE(status.ibcntl, 0);
        QVERIFY2(rig.explain(status).contains(named), qPrintable(rig.explain(status)));
        QVERIFY(rig.settle());
        // Nothing at all was sent, not even the part before the byte it cannot send.
        QCOMPARE(rig.trace(from), QStringList());
        QCOMPARE(rig.controller.received(), before);
    }

    void deviceClearOfAllDevicesFailsWithEcap()
    {
        PrologixRig rig(Link::Tcp);
        QVERIFY(rig.prepare());
        const GpibStatus status = rig.gpib->DevClear(0, static_cast<std::int16_t>(0xFFFF));
        QCOMPARE(status.iberr, err::ECAP);
        QVERIFY(status.failed());
        QVERIFY(rig.explain(status).contains(QStringLiteral("++clr")));
    }

    // What each firmware makes of the program's calls, as its source or manual says, and what
    // reaches the bench. Whatever happens, the controller's EEPROM is never written, and only a
    // Prologix controller is told ++savecfg 0.
    void firmwareSituations_data()
    {
        QTest::addColumn<Firmware>("firmware");
        QTest::addColumn<QString>("situation");
        QTest::addColumn<int>("iberr"); // -1: the last call succeeded
        QTest::addColumn<QString>("explanation");
        QTest::addColumn<Calls>("calls");       // on the bench, from the situation's start
        QTest::addColumn<QString>("reply");     // of the situation's last Receive
        const QString refused0 = QStringLiteral("refused GPIB address 0 (it answered \"%1\") "
                                                "and kept address 5, so nothing was sent there.");
        const Calls sav0(2, BusCall::send(0, 0, "*SAV 0\n", 2));
        const Calls ese{BusCall::send(0, 0x6C19, "*ESE?\n", 2),
                        BusCall::receive(0, 0x6C19, 256, 256)};
        const BusCall ask5 = BusCall::send(0, 5, "*ESE?\n", 2);
        const BusCall read5 = BusCall::receive(0, 5, 256, 256);
        const Calls query5{ask5, read5};
        QTest::newRow("prologix, address 0") << kPrologix << "address 0" << -1 << "" << sav0 << "";
        QTest::newRow("ar488-0.53, address 0")
            << kAr053 << "address 0" << int(err::EARG) << refused0.arg("Invalid parameter")
            << Calls() << "";
        QTest::newRow("ar488-0.51, address 0")
            << kAr051 << "address 0" << int(err::EARG) << refused0.arg("Unrecognized command")
            << Calls() << "";
        QTest::newRow("prologix, secondary")
            << kPrologix << "secondary" << -1 << "" << ese << "0\n";
        QTest::newRow("ar488-0.53, secondary") << kAr053 << "secondary" << -1 << "" << ese << "0\n";
        QTest::newRow("ar488-0.51, secondary")
            << kAr051 << "secondary" << int(err::ECAP)
            << "dropped the secondary address of GPIB address 25 secondary 12: its firmware "
               "(AR488 GPIB controller, ver. 0.51.09, 20/06/2022) is too old for secondary "
               "addresses"
            << Calls() << "";
        QTest::newRow("prologix, trigger with secondary")
            << kPrologix << "trigger with secondary" << -1 << ""
            << Calls{BusCall::sendCmds(0, "\x3F\x39\x6D\x08")} << "";
        QTest::newRow("ar488-0.53, trigger with secondary")
            << kAr053 << "trigger with secondary" << int(err::ECAP)
            << "triggers primary addresses only (++trg takes 1 to 30); it cannot trigger GPIB "
               "address 25 secondary 13."
            << Calls() << "";
        QTest::newRow("prologix, trigger at 0")
            << kPrologix << "trigger at 0" << -1 << ""
            << Calls{BusCall::sendCmds(0, "\x3F\x20\x08")} << "";
        QTest::newRow("ar488-0.51, trigger at 0")
            << kAr051 << "trigger at 0" << int(err::EARG)
            << "cannot trigger GPIB address 0, which it keeps for itself" << Calls() << "";
        for (const Firmware firmware : {kPrologix, kAr053}) {
            const char* name = firmware == kPrologix ? "prologix" : "ar488-0.53";
            QTest::newRow(qPrintable(QStringLiteral("%1, late reply").arg(name)))
                << firmware << "late reply" << -1 << ""
                << Calls{ask5,
                         read5,
                         BusCall::sendCmds(0, "\x3F\x22\x08"),
                         BusCall::send(0, 5, "*ESE 8\n", 2),
                         ask5,
                         read5}
                << "8\n";
            QTest::newRow(qPrintable(QStringLiteral("%1, dead link").arg(name)))
                << firmware << "dead link" << int(err::EDVR)
                << "stopped answering: it did not answer ++ver after a read timed out. The "
                   "network link or the controller is down"
                << Calls() << "";
        }
        QTest::newRow("ar488-0.53, reset and banner at open")
            << kAr053 << "banner" << -1 << "" << query5 << "0\n";
        QTest::newRow("ar488-0.53 posing as prologix")
            << kAr053 << "verstr" << -1 << "" << query5 << "0\n";
        QTest::newRow("prologix, EOT at a packet's end")
            << kPrologix << "packets" << -1 << "" << query5 << "0123456789ABCDEFGHIJ\x04KL\n";
    }
    void firmwareSituations()
    {
        QFETCH(Firmware, firmware);
        QFETCH(QString, situation);
        QFETCH(int, iberr);
        QFETCH(QString, explanation);
        QFETCH(Calls, calls);
        QFETCH(QString, reply);
        prologix::Timing timing = fastTiming();
        timing.versionWaitMs = 3000;
        timing.eotQuietMs = situation == QLatin1String("packets") ? 400 : 40;
        PrologixRig rig(situation == QLatin1String("dead link") ? Link::Tcp : Link::Pty, timing,
                        firmware);
        if (situation == QLatin1String("banner"))
            rig.controller.setResetOnOpen(300, true);
        if (situation == QLatin1String("verstr"))
            rig.controller.setVersion("Prologix GPIB-USB Controller version 6.107");
        QVERIFY(rig.prepare(9));
        (void)rig.query(5, QStringLiteral("*ESE?")); // the controller is at 5 now
        const std::size_t from = rig.bench->trace().size();
        QString got;
        GpibStatus last; // of the situation's last call
        const auto receive = [&](std::int16_t address, const QString& message) {
            last = rig.gpib->Send(0, address, message, 1);
            if (last.failed())
                return;
            QString buffer(64, QLatin1Char(' '));
            last = rig.gpib->Receive(0, address, buffer, 0);
            got = buffer.left(std::clamp<qsizetype>(last.ibcntl, 0, buffer.size()));
        };
        if (situation == QLatin1String("address 0")) {
            // Twice: a refused address is not remembered as the one the controller is at.
            for (int time = 0; time < 2; ++time)
                last = rig.gpib->Send(0, 0, QStringLiteral("*SAV 0"), 1);
        } else if (situation == QLatin1String("secondary")) {
            receive(static_cast<std::int16_t>(0x6C19), QStringLiteral("*ESE?"));
        } else if (situation == QLatin1String("trigger with secondary")) {
            last = rig.gpib->SendCmds(0, QStringLiteral("\x3F\x39\x6D\x08"));
        } else if (situation == QLatin1String("trigger at 0")) {
            last = rig.gpib->SendCmds(0, QStringLiteral("\x3F\x20\x08"));
        } else if (situation == QLatin1String("late reply")) {
            rig.controller.setSlowRead(800);
            receive(5, QStringLiteral("*ESE?"));
            QCOMPARE(last.iberr, err::EABO);
            // Nothing of the exchange that brought the link back is left to look like a refusal.
            QCOMPARE(word(rig.gpib->SendCmds(0, QStringLiteral("\x3F\x22\x08"))), kOk);
            (void)rig.gpib->Send(0, 5, QStringLiteral("*ESE 8"), 1);
            receive(5, QStringLiteral("*ESE?"));
        } else if (situation == QLatin1String("dead link")) {
            rig.controller.setDead(true);
            receive(5, QStringLiteral("*ESE?"));
        } else if (situation == QLatin1String("packets")) {
            rig.bench->setGarbage(rig.bench->unitId("7321"),
                                  std::string("0123456789ABCDEFGHIJ\x04KL\n"));
            rig.controller.setPackets(21, 20); // the data byte 0x04 ends the first packet
            receive(5, QStringLiteral("*ESE?"));
        } else {
            receive(5, QStringLiteral("*ESE?"));
        }
        if (iberr < 0) {
            QVERIFY2(!last.failed(), qPrintable(QString::number(last.iberr)));
        } else {
            QCOMPARE(last.iberr, iberr);
            QVERIFY(last.failed());
        }
        QVERIFY2(rig.explain(last).contains(explanation), qPrintable(rig.explain(last)));
        QVERIFY(!explanation.isEmpty() || rig.explain(last).isEmpty());
        if (situation != QLatin1String("dead link"))
            QVERIFY(rig.settle());
        QCOMPARE(rig.calls(from), calls);
        QCOMPARE(got, reply);

        const bool prologix = firmware == kPrologix;
        QCOMPARE(rig.controller.resets(), situation == QLatin1String("banner") ? 1 : 0);
        QCOMPARE(rig.controller.eepromWrites(), 0);
        QCOMPARE(rig.controller.received().contains(QStringLiteral("++savecfg 0")), prologix);
        QCOMPARE(rig.prologix->controllerFamily(),
                 prologix ? prologix::Family::Prologix : prologix::Family::Ar488);
        QVERIFY2(rig.prologix->controllerVersion().startsWith(
                     prologix                               ? "Prologix GPIB-USB"
                     : situation == QLatin1String("verstr") ? "Prologix GPIB-USB"
                                                            : "AR488 GPIB controller, ver. 0.5"),
                 qPrintable(rig.prologix->controllerVersion()));
    }

    // The simulated controller answers as each firmware's source (AR488.ino) or manual
    // (Prologix) says, whatever the driver would like: the refusals and what is kept after them,
    // the ++addr answers, the ++trg range, the EEPROM writes.
    void simulatedFirmwareAnswersAsItsSourceSays_data()
    {
        QTest::addColumn<Firmware>("firmware");
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QByteArray>("output");
        QTest::addColumn<int>("writes");
        const auto row = [](const char* name, Firmware f, const char* in, const char* out, int w) {
            QTest::newRow(name) << f << QByteArray(in) << QByteArray(out) << w;
        };
        row("prologix, address 0", kPrologix, "++addr 0\n++addr\n", "0\r\n", 1);
        row("ar488-0.53, address 0", kAr053, "++addr 0\n++addr\n", "Invalid parameter\r\n1\r\n", 0);
        row("ar488-0.51, address 0", kAr051, "++addr 0\n++addr\n", "Unrecognized command\r\n1\r\n",
            0);
        row("prologix, secondary", kPrologix, "++addr 25 108\n++addr\n", "25 108\r\n", 1);
        row("ar488-0.53, secondary", kAr053, "++addr 25 108\n++addr\n", "25,108\r\n", 0);
        row("ar488-0.53, secondary 12", kAr053, "++addr 25,12\n++addr\n", "25,108\r\n", 0);
        row("ar488-0.51, secondary", kAr051, "++addr 25 108\n++addr\n", "25\r\n", 0);
        row("ar488-0.53, address not a number", kAr053, "++addr x\n", "Invalid parameter\r\n", 0);
        row("ar488-0.53, trigger 0", kAr053, "++trg 0\n", "Invalid parameter\r\n", 0);
        row("ar488-0.51, trigger secondary", kAr051, "++trg 25 108\n", "Unrecognized command\r\n",
            0);
        row("ar488-0.53, eoi out of range", kAr053, "++eoi 5\n++eoi\n",
            "Invalid parameter\r\n0\r\n", 0);
        row("ar488-0.53, eoi not a number", kAr053, "++eoi x\n++eoi\n", "0\r\n", 0);
        row("ar488-0.51, eoi out of range", kAr051, "++eoi 5\n", "Unrecognized command\r\n", 0);
        row("prologix, eoi out of range", kPrologix, "++eoi 5\n++eoi\n", "1\r\n", 0);
        row("prologix, unknown command", kPrologix, "++foo\n", "Unrecognized command\r\n", 0);
        row("prologix, read_tmo_ms 32000", kPrologix, "++read_tmo_ms 32000\n++read_tmo_ms\n",
            "500\r\n", 0);
        row("ar488-0.53, read_tmo_ms 32000", kAr053, "++read_tmo_ms 32000\n++read_tmo_ms\n",
            "32000\r\n", 0);
        row("prologix, settings saved", kPrologix, "++eoi 0\n++eos 3\n++savecfg\n", "1\r\n", 2);
        row("prologix, savecfg 0 first", kPrologix, "++savecfg 0\n++eoi 0\n++eos 3\n", "", 0);
        row("ar488-0.53, savecfg 0 writes", kAr053, "++eoi 1\n++savecfg 0\n", "", 1);
        row("ar488-0.51, ver real", kAr051, "++ver real\n",
            "AR488 GPIB controller, ver. 0.51.09, 20/06/2022\r\n", 0);
    }
    void simulatedFirmwareAnswersAsItsSourceSays()
    {
        QFETCH(Firmware, firmware);
        QFETCH(QByteArray, input);
        QFETCH(QByteArray, output);
        QFETCH(int, writes);
        auto bench = sim::makeDefaultBench();
        sim::SimulatedPrologix controller(*bench, firmware);
        controller.setVersion("custom"); // what ++id verstr set: "++ver real" still names AR488
        QTcpSocket link;
        link.connectToHost(QHostAddress::LocalHost, controller.serveTcp());
        QVERIFY(link.waitForConnected(5000));
        // "++ver" last: its answer marks the end of the output the input brought.
        link.write(input + "++ver\n");
        QByteArray got;
        QVERIFY(QTest::qWaitFor([&] {
            got += link.readAll();
            return got.endsWith("custom\r\n");
        }));
        QCOMPARE(got.chopped(8), output);
        QCOMPARE(controller.eepromWrites(), writes);
    }

    // Lines as the firmwares and manuals print them, as the driver reads them.
    void controllerLinesAsTheDriverReadsThem_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QString>("read");
        const auto row = [](const char* line, const char* read) {
            QTest::newRow(line) << QByteArray(line) << QString::fromLatin1(read);
        };
        row("Invalid parameter\r", "refusal");
        row("Unrecognized command", "refusal");
        row("AR488 ready (controller).", "banner");
        row("Prologix GPIB-USB Controller version 6.107", "Prologix 6.107.0");
        row("Prologix GPIB-ETHERNET Controller version 01.06.06.00", "Prologix 1.6.6");
        row("AR488 GPIB controller, ver. 0.51.09, 20/06/2022", "AR488 0.51.9");
        row("AR488 GPIB controller, ver. 0.53.04, 13/04/2025", "AR488 0.53.4");
        row("AR488~RDYAR488 GPIB controller, ver. 0.53.04, 13/04/2025", "AR488 0.53.4");
        row("AR488 GPIB-USB version 6", "AR488 6.0.0"); // the manual's ++id verstr example
        row("\x04\x0dPrologix GPIB-USB Controller version 6.107", "Prologix 6.107.0");
        row("GPIB-USB", "other");
        row("++ver", "nothing");
        row("25,108", "address 25 108");
        row("25 108\r", "address 25 108");
        row("5", "address 5 0");
        row("31", "nothing");
        row("25,12", "nothing");
        row("OK", "nothing");
    }
    void controllerLinesAsTheDriverReadsThem()
    {
        QFETCH(QByteArray, line);
        QFETCH(QString, read);
        using namespace prologix;
        QString got = QStringLiteral("nothing");
        if (controllerMessage(line) == ControllerMessage::Refusal)
            got = QStringLiteral("refusal");
        else if (controllerMessage(line) == ControllerMessage::Banner)
            got = QStringLiteral("banner");
        else if (const auto address = addressAnswer(line))
            got = QStringLiteral("address %1 %2").arg(address->primary).arg(address->secondary);
        if (const auto version = versionAnswer(line)) {
            const auto r = version->release.value_or(std::array<int, 3>{-1, -1, -1});
            got = version->family == Family::Unknown
                      ? QStringLiteral("other")
                      : QStringLiteral("%1 %2.%3.%4")
                            .arg(version->family == Family::Prologix ? "Prologix" : "AR488")
                            .arg(r[0])
                            .arg(r[1])
                            .arg(r[2]);
            QVERIFY(line.endsWith(version->text));
        }
        QCOMPARE(got, read);
    }

    // What one ++read brought, as the driver splits it: whole lines of the controller's before
    // the data or after the EOT character are the controller's, the rest is the unit's.
    void readOutputSetsTheControllersLinesApart_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<bool>("eoi");
        QTest::addColumn<int>("dropped");
        const auto row = [](const char* name, QByteArray bytes, const char* data, bool eoi,
                            int dropped) {
            QTest::newRow(name) << bytes << QByteArray(data) << eoi << dropped;
        };
        row("reply", "0\n\x04", "0\n", true, 0);
        row("refusal before it", "Invalid parameter\r\n+1.5\n\x04", "+1.5\n", true, 1);
        row("handshake after the EOT", "12\x04Read^OK\r\n", "12", true, 1);
        row("refusal text after data", "ERR\nUnrecognized command\n\x04",
            "ERR\nUnrecognized command\n", true, 0);
        row("cut off", "ZEB,7", "ZEB,7", false, 0);
        row("EOT inside", QByteArray("AB\x04" "CD"), "AB\x04" "CD", false, 0);
    }
    void readOutputSetsTheControllersLinesApart()
    {
        QFETCH(QByteArray, bytes);
        const prologix::ReadOutput out = prologix::readOutput(bytes, PrologixDriver::kEotChar);
        QTEST(out.data, "data");
        QTEST(out.endedWithEoi, "eoi");
        QTEST(static_cast<int>(out.controllerLines.size()), "dropped");
    }

    void timeOuts_data()
    {
        QTest::addColumn<Link>("link");
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("arrived"); // before the reply stopped
        for (const Link link : {Link::Pty, Link::Tcp}) {
            for (const char* fault : {"silent unit", "free address", "slow talker", "cut reply"})
                QTest::newRow(qPrintable(QStringLiteral("%1, %2").arg(linkName(link), fault)))
                    << link << QString::fromLatin1(fault)
                    << QString::fromLatin1(fault == std::string_view("cut reply") ? "ZEB,7" : "");
        }
    }
    void timeOuts()
    {
        QFETCH(Link, link);
        QFETCH(QString, fault);
        QFETCH(QString, arrived);
        prologix::Timing timing = fastTiming();
        timing.versionWaitMs = 3000; // the slow talker's late reply comes before the ++ver answer
        PrologixRig rig(link, timing);
        QVERIFY(rig.prepare(9)); // 100 ms
        QCOMPARE(rig.controller.readTimeoutMs(), 100);
        std::int16_t address = 5;
        if (fault == QLatin1String("silent unit"))
            rig.bench->setSilent(rig.bench->unitId("7321"), true);
        else if (fault == QLatin1String("free address"))
            address = 29;
        else if (fault == QLatin1String("slow talker"))
            rig.controller.setSlowRead(800); // far past 100 ms and the driver's margin
        else
            rig.controller.setCutRead(static_cast<int>(arrived.size()));

        // The protocol cannot tell that nobody listens.
        QCOMPARE(word(rig.gpib->Send(0, address, QStringLiteral("*IDN?"), 1)), kOk);
        QString reply(18, QLatin1Char(' '));
        const GpibStatus received = rig.gpib->Receive(0, address, reply, 0);
        QCOMPARE(word(received), sta::ERR | sta::TIMO | sta::CMPL | sta::CIC);
        QCOMPARE(received.iberr, err::EABO);
        QCOMPARE(received.ibcntl, arrived.size());
        QCOMPARE(reply, arrived.leftJustified(18));
        QVERIFY(rig.explain(received).isEmpty());

        // The next query gets its own answer, not the late one of the query before.
        rig.bench->clearFaults();
        (void)rig.gpib->Send(0, 5, QStringLiteral("*ESE 8"), 1);
        GpibStatus again;
        QCOMPARE(rig.query(5, QStringLiteral("*ESE?"), &again).trimmed(), QStringLiteral("8"));
        QCOMPARE(word(again), kOk | sta::END);
    }

    void replyLongerThanTheBufferIsKeptForTheNextReceive()
    {
        PrologixRig rig(Link::Tcp);
        QVERIFY(rig.prepare());
        rig.bench->setGarbage(rig.bench->unitId("7321"),
                              std::string("0123456789ABCDEFGHIJ\x04KL\n"));
        (void)rig.gpib->Send(0, 5, QStringLiteral("*ESE?"), 1);
        QString first(18, QLatin1Char(' '));
        QCOMPARE(word(rig.gpib->Receive(0, 5, first, 0)), kOk); // no END: the reply goes on
        QCOMPARE(first, QStringLiteral("0123456789ABCDEFGH"));
        QString rest(18, QLatin1Char(' '));
        const GpibStatus last = rig.gpib->Receive(0, 5, rest, 0);
        QCOMPARE(word(last), kOk | sta::END);
        QCOMPARE(last.ibcntl, 6);
        // A data byte equal to the end marker does not end the reply.
        QCOMPARE(rest, QStringLiteral("IJ\x04KL\n") + QString(12, QLatin1Char(' ')));
    }

    void timeOutCodesBecomeReadTimeouts_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("ms");
        QTest::newRow("none") << 0 << 3000;
        QTest::newRow("10 us") << 1 << 1;
        QTest::newRow("1 ms") << 5 << 1;
        QTest::newRow("3 ms") << 6 << 3;
        QTest::newRow("100 ms") << 9 << 100;
        QTest::newRow("300 ms") << 10 << 300;
        QTest::newRow("1 s") << 11 << 1000;
        QTest::newRow("3 s") << 12 << 3000;
        QTest::newRow("10 s") << 13 << 3000;
        QTest::newRow("1000 s") << 17 << 3000;
        QTest::newRow("beyond") << 18 << -1;
        QTest::newRow("negative") << -1 << -1;
    }
    void timeOutCodesBecomeReadTimeouts()
    {
        QFETCH(int, code);
        QFETCH(int, ms);
        QCOMPARE(PrologixDriver::readTimeoutFor(code).value_or(-1), ms);
    }

    void longTimeOutIsCappedAndSaidOnce()
    {
        CapturedWarnings warnings;
        PrologixRig rig(Link::Pty);
        QVERIFY(rig.prepare(11));
        QCOMPARE(warnings.containing(QStringLiteral("3000 ms")).size(), 0);
        for (const int code : {13, 0, 14, 11, 13})
            QCOMPARE(word(rig.gpib->ibtmo(0, static_cast<std::int16_t>(code))), kOk);
        QVERIFY(rig.settle());
        QCOMPARE(rig.controller.readTimeoutMs(), 3000);
        QCOMPARE(rig.prologix->readTimeoutMs(), 3000);
        QCOMPARE(warnings.containing(QStringLiteral("3000 ms")).size(), 1);
        QCOMPARE(rig.gpib->ibtmo(0, 18).iberr, err::EARG);
    }

    void controllerThatNeverAnswers_data() { addLinks(); }
    void controllerThatNeverAnswers()
    {
        QFETCH(Link, link);
        PrologixRig rig(link);
        rig.controller.setAnswersVersion(false);
        const std::size_t from = rig.bench->trace().size();
        const GpibStatus cleared = rig.gpib->SendIFC(0);
        QCOMPARE(word(cleared), sta::ERR);
        QCOMPARE(cleared.iberr, err::EDVR);
        // What the status report does next; the reason stays.
        const GpibStatus offline = rig.gpib->ibonl(0, 0);
        QVERIFY2(rig.explain(offline).startsWith(QStringLiteral("No Prologix-compatible "
                                                                "controller answered on ") +
                                                 rig.prologix->where()),
                 qPrintable(rig.explain(offline)));
        // Every call tries again and fails the same way; nothing reaches the bus.
        QCOMPARE(rig.gpib->Send(0, 5, QStringLiteral("*CLS"), 1).iberr, err::EDVR);
        QVERIFY(rig.settle());
        QCOMPARE(rig.trace(from), QStringList());
        // Once it answers, the next call goes through.
        rig.controller.setAnswersVersion(true);
        QCOMPARE(word(rig.gpib->SendIFC(0)), kOk);
        QVERIFY(rig.prologix->controllerVersion().contains(QStringLiteral("Prologix")));
    }

    // What each family answers to ++ver, an AR488 board's ++id verstr included (the family is
    // then told by "++ver real"), and answers no controller gives.
    void versionAnswersAtOpening_data()
    {
        QTest::addColumn<Firmware>("firmware");
        QTest::addColumn<QByteArray>("version"); // empty: the firmware's own
        QTest::addColumn<QString>("outcome");    // the family, or what the failure says
        const QString notPrologix = QStringLiteral("answered \"%1\" to ++ver");
        const QString none = QStringLiteral("No Prologix-compatible controller answered");
        QTest::newRow("prologix gpib-usb") << kPrologix << QByteArray() << "Prologix";
        QTest::newRow("prologix gpib-ethernet")
            << kPrologix << QByteArray("Prologix GPIB-ETHERNET Controller version 01.06.06.00")
            << "Prologix";
        QTest::newRow("ar488-0.51") << kAr051 << QByteArray() << "AR488";
        QTest::newRow("ar488-0.53") << kAr053 << QByteArray() << "AR488";
        QTest::newRow("ar488-0.53 verstr") << kAr053 << QByteArray("Bench GPIB-USB 2") << "AR488";
        QTest::newRow("not a controller") << kPrologix << QByteArray("OK") << notPrologix.arg("OK");
        QTest::newRow("echo") << kPrologix << QByteArray("++ver") << notPrologix.arg("++ver");
        QTest::newRow("ar488-0.53 verstr without GPIB")
            << kAr053 << QByteArray("bench box") << notPrologix.arg("bench box");
        QTest::newRow("start-up banner")
            << kPrologix << QByteArray("AR488 ready (controller).") << none;
        QTest::newRow("refusal") << kPrologix << QByteArray("Unrecognized command") << none;
    }
    void versionAnswersAtOpening()
    {
        QFETCH(Firmware, firmware);
        QFETCH(QByteArray, version);
        QFETCH(QString, outcome);
        PrologixRig rig(Link::Pty, fastTiming(), firmware);
        if (!version.isEmpty())
            rig.controller.setVersion(version);
        const GpibStatus status = rig.gpib->SendIFC(0);
        const auto family = rig.prologix->controllerFamily();
        if (outcome == QLatin1String("Prologix") || outcome == QLatin1String("AR488")) {
            QCOMPARE(word(status), kOk);
            QCOMPARE(family, outcome == QLatin1String("AR488") ? prologix::Family::Ar488
                                                              : prologix::Family::Prologix);
        } else {
            QCOMPARE(status.iberr, err::EDVR);
            QVERIFY2(rig.explain(status).contains(outcome), qPrintable(rig.explain(status)));
        }
        QCOMPARE(rig.controller.eepromWrites(), 0);
    }

    void controllerThatCannotBeReached_data()
    {
        QTest::addColumn<QString>("spec");
        QTest::addColumn<QString>("explanation");
        QTest::newRow("missing serial port")
            << "/nonexistent/ttyUSB9"
            << "The serial port /nonexistent/ttyUSB9 could not be opened";
        QTest::newRow("refused") << "tcp"
                                 << "Connection to 127.0.0.1:%1 refused.";
        QTest::newRow("no permission")
            << "no permission"
            << "The serial port /dev/ttyUSB7 could not be opened (Permission denied): your user "
               "may not use it. On Debian, add yourself to the dialout group (sudo adduser $USER "
               "dialout), then log out and in again.";
        QTest::newRow("held by another program")
            << "held"
            << "): another program holds it. Close the program that uses it (a "
               "terminal, another GPIB program) and try again.";
    }
    void controllerThatCannotBeReached()
    {
        QFETCH(QString, spec);
        QFETCH(QString, explanation);
        std::unique_ptr<PrologixDriver> inner;
        auto bench = sim::makeDefaultBench();
        sim::SimulatedPrologix controller(*bench);
        QSerialPort holder;
        if (spec == QLatin1String("no permission")) {
            // The system's refusal, as the serial port transport reports it.
            struct NoPermission final : prologix::Transport {
                QString where() const override { return QStringLiteral("/dev/ttyUSB7"); }
                bool isNetwork() const override { return false; }
                std::unique_ptr<QIODevice> openDevice() override
                {
                    setFault(Fault::NoPermission, QStringLiteral("Permission denied"));
                    return nullptr;
                }
                bool deviceAlive(QIODevice&) const override { return false; }
            };
            inner = std::make_unique<PrologixDriver>(std::make_unique<NoPermission>());
        } else if (spec == QLatin1String("held")) {
            holder.setPortName(controller.servePty());
            QVERIFY(holder.open(QIODevice::ReadWrite));
            inner = PrologixDriver::serial(holder.portName(), fastTiming());
        } else if (spec == QLatin1String("tcp")) {
            // A port that was free a moment ago: nobody listens there now.
            QTcpServer probe;
            QVERIFY(probe.listen(QHostAddress::LocalHost));
            const quint16 port = probe.serverPort();
            probe.close();
            inner = PrologixDriver::tcp(QStringLiteral("127.0.0.1"), port, fastTiming());
            explanation = explanation.arg(port);
        } else {
            inner = PrologixDriver::serial(spec, fastTiming());
        }
        ThreadedDriver driver(std::move(inner));
        GPIB32 gpib(driver);
        for (int attempt = 0; attempt < 2; ++attempt) {
            const GpibStatus status = gpib.SendIFC(0);
            QCOMPARE(status.ibsta & 0xFFFF, sta::ERR);
            QCOMPARE(status.iberr, err::EDVR);
            (void)gpib.ibonl(0, 0);
            const QString why = driver.explainFailure(status.ibsta, err::EDVR, 0);
            // The system's own words for a held port vary; what follows them does not.
            QVERIFY2(spec == QLatin1String("held") ? why.endsWith(explanation)
                                                   : why.startsWith(explanation),
                     qPrintable(why));
        }
    }

    // A connection that went away, during a read or between calls, is opened again and the
    // controller set up again from the start, whatever it kept: after a power cycle it holds
    // what another program saved in its EEPROM, and another client may have changed it.
    void droppedConnectionFailsThenIsReopened_data()
    {
        QTest::addColumn<Link>("link");
        QTest::addColumn<Firmware>("firmware");
        QTest::addColumn<QString>("event");
        QTest::newRow("pty, dropped in a read") << Link::Pty << kPrologix << "read";
        QTest::newRow("tcp, dropped in a read") << Link::Tcp << kPrologix << "read";
        QTest::newRow("pty, prologix power cycle") << Link::Pty << kPrologix << "power cycle";
        QTest::newRow("pty, ar488-0.53 power cycle") << Link::Pty << kAr053 << "power cycle";
        QTest::newRow("pty, ar488-0.51 power cycle") << Link::Pty << kAr051 << "power cycle";
        QTest::newRow("tcp, prologix power cycle") << Link::Tcp << kPrologix << "power cycle";
        QTest::newRow("tcp, ar488-0.53 another client") << Link::Tcp << kAr053 << "other client";
    }
    void droppedConnectionFailsThenIsReopened()
    {
        QFETCH(Link, link);
        QFETCH(Firmware, firmware);
        QFETCH(QString, event);
        PrologixRig rig(link, fastTiming(), firmware);
        QVERIFY(rig.prepare(9));
        QCOMPARE(rig.query(5, QStringLiteral("*ESE?")).trimmed(), QStringLiteral("0"));
        int writes = 0;
        if (event == QLatin1String("read")) {
            rig.controller.dropOn("++read");
            QCOMPARE(word(rig.gpib->Send(0, 5, QStringLiteral("*ESE?"), 1)), kOk);
            QString reply(18, QLatin1Char(' '));
            const GpibStatus lost = rig.gpib->Receive(0, 5, reply, 0);
            QCOMPARE(word(lost), sta::ERR);
            QCOMPARE(lost.iberr, err::EDVR);
            const QString why = rig.explain(lost);
            QVERIFY2(why.contains(rig.prologix->where()) &&
                         why.contains(QStringLiteral("opened again at the next bus call")),
                     qPrintable(why));
        } else {
            // Another program connects (taking the network port over), sets the controller up
            // its own way and saves that.
            QTcpSocket other;
            other.connectToHost(QHostAddress::LocalHost, rig.controller.serveTcp());
            QVERIFY(other.waitForConnected(5000));
            other.write("++addr 9\n++auto 1\n++eoi 0\n++eos 0\n++eot_enable 0\n++eot_char 10\n"
                        "++read_tmo_ms 2500\n++savecfg 1\n");
            QVERIFY(QTest::qWaitFor([&] {
                return rig.controller.received().endsWith(QStringLiteral("++savecfg 1"));
            }));
            other.disconnectFromHost();
            writes = 1;
            if (event == QLatin1String("power cycle"))
                rig.controller.powerCycle();
        }

        // The first call after that goes through.
        QCOMPARE(word(rig.gpib->Send(0, 5, QStringLiteral("*ESE 4"), 1)), kOk);
        GpibStatus received;
        QCOMPARE(rig.query(5, QStringLiteral("*ESE?"), &received).trimmed(), QStringLiteral("4"));
        QCOMPARE(word(received), kOk | sta::END);
        QCOMPARE(rig.controller.settings(),
                 QStringLiteral("addr 5 mode 1 auto 0 eoi 1 eos 3 eot_enable 1 eot_char 4 "
                                "read_tmo_ms 100"));
        QCOMPARE(rig.controller.eepromWrites(), writes); // the other program's only
        if (link == Link::Tcp)
            QCOMPARE(rig.controller.connections(), event == QLatin1String("read") ? 2 : 3);
        QCOMPARE(rig.controller.received().filter(QStringLiteral("++eot_char 4")).size(), 2);
    }

    void remoteEnableAndOfflineNeedNoBusTraffic()
    {
        PrologixRig rig(Link::Pty);
        QVERIFY(rig.prepare());
        const std::size_t from = rig.bench->trace().size();
        QCOMPARE(word(rig.gpib->ibsre(0, 1)), kOk);
        QCOMPARE(word(rig.gpib->ibonl(0, 0)), kOk);
        // The controller cannot let go of REN.
        QCOMPARE(rig.gpib->ibsre(0, 0).iberr, err::ECAP);
        QCOMPARE(rig.gpib->SendIFC(1).iberr, err::ENEB);
        QCOMPARE(rig.gpib->Send(0, 31, QStringLiteral("X"), 1).iberr, err::EARG);
        QVERIFY(rig.settle());
        QCOMPARE(rig.trace(from), QStringList());
    }
};

QTEST_GUILESS_MAIN(PrologixDriverTest)
#include "tst_prologix_driver.moc"
