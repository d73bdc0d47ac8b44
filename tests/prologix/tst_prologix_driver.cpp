// SPDX-License-Identifier: GPL-3.0-or-later
// The Prologix driver against the simulated controller in front of the bench, over a pty and
// over TCP. The controller is written from the manuals, not from the driver: what reaches the
// bench's board (its trace) is the judge.
#include "Rig.h"
#include "gpib/GpibStatus.h"

#include <QMutex>
#include <QTcpServer>
#include <QTest>

using namespace gpibconfig;
using namespace gpibconfig::test;
using prologix::PrologixDriver;

Q_DECLARE_METATYPE(gpibconfig::test::Link)

namespace {

constexpr int kOk = sta::CMPL | sta::CIC;

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

} // namespace

class PrologixDriverTest : public QObject {
    Q_OBJECT

private slots:
    void queryReachesTheUnitAndTheReplyComesBack_data() { addLinks(); }
    void queryReachesTheUnitAndTheReplyComesBack()
    {
        QFETCH(Link, link);
        PrologixRig rig(link);
        QVERIFY(rig.prepare());
        QCOMPARE(rig.ibsta(), kOk);
        QCOMPARE(rig.controller.readTimeoutMs(), 1000);

        const std::size_t from = rig.bench->trace().size();
        (void)rig.gpib->DevClear(0, 5);
        QCOMPARE(rig.ibsta(), kOk);
        (void)rig.gpib->Send(0, 5, QStringLiteral("*ESE 20"), 1);
        QCOMPARE(rig.ibsta(), kOk);
        QCOMPARE(rig.status.ibcntl, 8); // the program's line feed counts, as on a board
        const QString reply = rig.query(5, QStringLiteral("*ESE?"));
        QCOMPARE(reply, QStringLiteral("20\n") + QString(15, QLatin1Char(' ')));
        QCOMPARE(rig.ibsta(), kOk | sta::END);
        QCOMPARE(rig.status.ibcntl, 3);

        // On the bus: the clear, the messages with EOI on their line feed, a read until EOI.
        QCOMPARE(rig.calls(from),
                 QStringList({"DevClear(0, 0x0005)", "Send(0, 0x0005, \"*ESE 20\\n\", 2)",
                              "Send(0, 0x0005, \"*ESE?\\n\", 2)", "Receive(0, 0x0005, 256, 256)"}));
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
        QCOMPARE(rig.calls(from).first(), QStringLiteral("Send(0, 0x6C19, \"*ESE?\\n\", 2)"));
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
        (void)rig.gpib->Send(0, 7, QStringLiteral("++A\r\x1B+"), 2);
        QCOMPARE(rig.ibsta(), kOk);
        (void)rig.gpib->Send(0, 7, QStringLiteral("B\nC"), 1);
        QCOMPARE(rig.ibsta(), kOk);
        QVERIFY(rig.settle());
        QCOMPARE(rig.calls(from), QStringList({"Send(0, 0x0007, \"++A\\r\\x1B+\", 2)",
                                               "Send(0, 0x0007, \"B\\nC\\n\", 2)"}));
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
                 QStringList({"Send(0, 0x0005, \"*CL\", 0)", "Send(0, 0x0005, \"S\", 2)"}));
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
            (void)rig.gpib->SendCmds(0, bytes);
            QCOMPARE(rig.ibsta(), kOk);
            QCOMPARE(rig.status.ibcntl, bytes.size());
        }
        QVERIFY(rig.settle());
        QCOMPARE(rig.calls(from), QStringList({"SendCmds(0, 3F 22 08)"}));
        QVERIFY(rig.controller.received().contains(QStringLiteral("++trg 2")));
        QVERIFY(rig.bench->unit(unit).triggered);
        QCOMPARE(rig.query(2, QStringLiteral("SYST:MODE?")).trimmed(),
                 QString::fromStdString(rig.bench->setting(unit, "SYST:MODE").value_or("?")));

        // Listeners with secondaries, and a trigger after an unlisten that reaches no one.
        const std::size_t later = rig.bench->trace().size();
        (void)rig.gpib->SendCmds(0, QStringLiteral("\x3F\x39\x6D\x25\x08"));
        (void)rig.gpib->SendCmds(0, QStringLiteral("\x3F\x08"));
        QCOMPARE(rig.ibsta(), kOk);
        QVERIFY(rig.settle());
        QCOMPARE(rig.calls(later), QStringList({"SendCmds(0, 3F 39 6D 25 08)"}));
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
        (void)rig.gpib->SendCmds(0, bytes);
        QCOMPARE(rig.ibsta(), sta::ERR | sta::CMPL | sta::CIC);
        QCOMPARE(rig.status.iberr, err::ECAP);
        QCOMPARE(rig.status.ibcntl, 0);
        QVERIFY2(rig.explain().contains(named), qPrintable(rig.explain()));
        QVERIFY(rig.settle());
        // Nothing at all was sent, not even the part before the byte it cannot send.
        QCOMPARE(rig.trace(from), QStringList());
        QCOMPARE(rig.controller.received(), before);
    }

    void deviceClearOfAllDevicesFailsWithEcap()
    {
        PrologixRig rig(Link::Tcp);
        QVERIFY(rig.prepare());
        (void)rig.gpib->DevClear(0, static_cast<std::int16_t>(0xFFFF));
        QCOMPARE(rig.status.iberr, err::ECAP);
        QVERIFY(rig.status.failed());
        QVERIFY(rig.explain().contains(QStringLiteral("++clr")));
    }

    void timeOuts_data()
    {
        QTest::addColumn<Link>("link");
        QTest::addColumn<QString>("fault");
        for (const Link link : {Link::Pty, Link::Tcp}) {
            for (const char* fault : {"silent unit", "free address", "slow controller"})
                QTest::newRow(qPrintable(QStringLiteral("%1, %2").arg(linkName(link), fault)))
                    << link << QString::fromLatin1(fault);
        }
    }
    void timeOuts()
    {
        QFETCH(Link, link);
        QFETCH(QString, fault);
        PrologixRig rig(link);
        QVERIFY(rig.prepare(9)); // 100 ms
        QCOMPARE(rig.controller.readTimeoutMs(), 100);
        std::int16_t address = 5;
        if (fault == QLatin1String("silent unit"))
            rig.bench->setSilent(rig.bench->unitId("7321"), true);
        else if (fault == QLatin1String("free address"))
            address = 29;
        else
            rig.controller.setOutputDelay(800); // far past 100 ms and the driver's margin

        (void)rig.gpib->Send(0, address, QStringLiteral("*ESE?"), 1);
        QCOMPARE(rig.ibsta(), kOk); // the protocol cannot tell that nobody listens
        QString reply(18, QLatin1Char(' '));
        (void)rig.gpib->Receive(0, address, reply, 0);
        QCOMPARE(rig.ibsta(), sta::ERR | sta::TIMO | sta::CMPL | sta::CIC);
        QCOMPARE(rig.status.iberr, err::EABO);
        QCOMPARE(rig.status.ibcntl, 0);
        QCOMPARE(reply, QString(18, QLatin1Char(' ')));
        QVERIFY(rig.explain().isEmpty());

        // The next query gets its own answer, not a late one.
        rig.bench->clearFaults();
        rig.controller.setOutputDelay(0);
        QTest::qWait(900);
        (void)rig.gpib->Send(0, 5, QStringLiteral("*ESE 8"), 1);
        QCOMPARE(rig.query(5, QStringLiteral("*ESE?")).trimmed(), QStringLiteral("8"));
        QCOMPARE(rig.ibsta(), kOk | sta::END);
    }

    void replyLongerThanTheBufferIsKeptForTheNextReceive()
    {
        PrologixRig rig(Link::Tcp);
        QVERIFY(rig.prepare());
        rig.bench->setGarbage(rig.bench->unitId("7321"),
                              std::string("0123456789ABCDEFGHIJ\x04KL\n"));
        (void)rig.gpib->Send(0, 5, QStringLiteral("*ESE?"), 1);
        QString first(18, QLatin1Char(' '));
        (void)rig.gpib->Receive(0, 5, first, 0);
        QCOMPARE(rig.ibsta(), kOk); // no END: the reply goes on
        QCOMPARE(first, QStringLiteral("0123456789ABCDEFGH"));
        QString rest(18, QLatin1Char(' '));
        (void)rig.gpib->Receive(0, 5, rest, 0);
        QCOMPARE(rig.ibsta(), kOk | sta::END);
        QCOMPARE(rig.status.ibcntl, 6);
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
        for (const int code : {13, 0, 14, 11, 13}) {
            (void)rig.gpib->ibtmo(0, static_cast<std::int16_t>(code));
            QCOMPARE(rig.ibsta(), kOk);
        }
        QVERIFY(rig.settle());
        QCOMPARE(rig.controller.readTimeoutMs(), 3000);
        QCOMPARE(rig.prologix->readTimeoutMs(), 3000);
        QCOMPARE(warnings.containing(QStringLiteral("3000 ms")).size(), 1);
        (void)rig.gpib->ibtmo(0, 18);
        QCOMPARE(rig.status.iberr, err::EARG);
    }

    void controllerThatNeverAnswers_data() { addLinks(); }
    void controllerThatNeverAnswers()
    {
        QFETCH(Link, link);
        PrologixRig rig(link);
        rig.controller.setAnswersVersion(false);
        const std::size_t from = rig.bench->trace().size();
        (void)rig.gpib->SendIFC(0);
        QCOMPARE(rig.ibsta(), sta::ERR);
        QCOMPARE(rig.status.iberr, err::EDVR);
        (void)rig.gpib->ibonl(0, 0); // what the status report does next; the reason stays
        QVERIFY2(rig.explain().startsWith(QStringLiteral("No Prologix-compatible controller "
                                                         "answered on ") +
                                          rig.prologix->where()),
                 qPrintable(rig.explain()));
        // Every call tries again and fails the same way; nothing reaches the bus.
        (void)rig.gpib->Send(0, 5, QStringLiteral("*CLS"), 1);
        QCOMPARE(rig.status.iberr, err::EDVR);
        QVERIFY(rig.settle());
        QCOMPARE(rig.trace(from), QStringList());
        // Once it answers, the next call goes through.
        rig.controller.setAnswersVersion(true);
        (void)rig.gpib->SendIFC(0);
        QCOMPARE(rig.ibsta(), kOk);
        QVERIFY(rig.prologix->controllerVersion().contains(QStringLiteral("Prologix")));
    }

    void deviceThatIsNoController()
    {
        PrologixRig rig(Link::Pty);
        rig.controller.setVersion("OK");
        (void)rig.gpib->SendIFC(0);
        QCOMPARE(rig.status.iberr, err::EDVR);
        QVERIFY2(rig.explain().contains(QStringLiteral("answered \"OK\" to ++ver")),
                 qPrintable(rig.explain()));
        // An AR488 board answers with its own name.
        rig.controller.setVersion("AR488 GPIB controller, ver. 0.51.09, 20/06/2022");
        (void)rig.gpib->SendIFC(0);
        QCOMPARE(rig.ibsta(), kOk);
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
    }
    void controllerThatCannotBeReached()
    {
        QFETCH(QString, spec);
        QFETCH(QString, explanation);
        std::unique_ptr<PrologixDriver> inner;
        if (spec == QLatin1String("tcp")) {
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
        GpibStatus status;
        GPIB32 gpib(driver, status);
        for (int attempt = 0; attempt < 2; ++attempt) {
            (void)gpib.SendIFC(0);
            QCOMPARE(status.ibsta & 0xFFFF, sta::ERR);
            QCOMPARE(status.iberr, err::EDVR);
            (void)gpib.ibonl(0, 0);
            const QString why = driver.explainFailure(status.ibsta, err::EDVR, 0);
            QVERIFY2(why.startsWith(explanation), qPrintable(why));
        }
    }

    void droppedConnectionFailsThenIsReopened_data() { addLinks(); }
    void droppedConnectionFailsThenIsReopened()
    {
        QFETCH(Link, link);
        PrologixRig rig(link);
        QVERIFY(rig.prepare());
        rig.controller.dropOn("++read");
        (void)rig.gpib->Send(0, 5, QStringLiteral("*ESE?"), 1);
        QCOMPARE(rig.ibsta(), kOk);
        QString reply(18, QLatin1Char(' '));
        (void)rig.gpib->Receive(0, 5, reply, 0);
        QCOMPARE(rig.ibsta(), sta::ERR);
        QCOMPARE(rig.status.iberr, err::EDVR);
        const QString why = rig.explain();
        QVERIFY2(why.contains(rig.prologix->where()) &&
                     why.contains(QStringLiteral("opened again at the next bus call")),
                 qPrintable(why));

        (void)rig.gpib->SendIFC(0);
        QCOMPARE(rig.ibsta(), kOk);
        (void)rig.gpib->Send(0, 5, QStringLiteral("*ESE 4"), 1);
        QCOMPARE(rig.query(5, QStringLiteral("*ESE?")).trimmed(), QStringLiteral("4"));
        if (link == Link::Tcp)
            QCOMPARE(rig.controller.connections(), 2);
        // The new connection was set up again from the start.
        QCOMPARE(rig.controller.received().filter(QStringLiteral("++eot_char")).size(), 2);
    }

    void remoteEnableAndOfflineNeedNoBusTraffic()
    {
        PrologixRig rig(Link::Pty);
        QVERIFY(rig.prepare());
        const std::size_t from = rig.bench->trace().size();
        QCOMPARE(rig.gpib->ibsre(0, 1) & 0xFFFF, kOk);
        QCOMPARE(rig.ibsta(), kOk);
        (void)rig.gpib->ibonl(0, 0);
        QCOMPARE(rig.ibsta(), kOk);
        (void)rig.gpib->ibsre(0, 0); // the controller cannot let go of REN
        QCOMPARE(rig.status.iberr, err::ECAP);
        (void)rig.gpib->SendIFC(1);
        QCOMPARE(rig.status.iberr, err::ENEB);
        (void)rig.gpib->Send(0, 31, QStringLiteral("X"), 1);
        QCOMPARE(rig.status.iberr, err::EARG);
        QVERIFY(rig.settle());
        QCOMPARE(rig.trace(from), QStringList());
    }
};

QTEST_GUILESS_MAIN(PrologixDriverTest)
#include "tst_prologix_driver.moc"
