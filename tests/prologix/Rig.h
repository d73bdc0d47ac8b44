// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "gpib/Gpib32.h"
#include "gpib/ThreadedDriver.h"
#include "prologix/PrologixDriver.h"
#include "sim/Bench.h"
#include "sim/prologix/SimulatedPrologix.h"
#include "support/BusRecords.h"

#include <QDeadlineTimer>
#include <QString>
#include <QStringList>
#include <QTest>
#include <memory>

namespace gpibconfig::test {

enum class Link { Pty, Tcp };

inline const char* linkName(Link link) { return link == Link::Pty ? "pty" : "tcp"; }

// The status word as NI documents its bits (the program keeps it as a signed 16-bit value).
inline int word(const GpibStatus& status) { return status.ibsta & 0xFFFF; }

// Short waits, so that a test that fails does so within seconds and a time-out costs a fraction
// of one. Nothing asserts on how long anything took.
inline prologix::Timing fastTiming()
{
    prologix::Timing t;
    t.connectMs = 2000;
    t.versionWaitMs = 600;
    t.versionRetryMs = 300;
    t.readMarginMs = 150;
    t.writeMs = 2000;
    t.answerMs = 1000;
    t.quietMs = 50;
    t.settleMs = 1000;
    t.eotQuietMs = 40;
    return t;
}

// The bench with a simulated Prologix controller in front of it, served on a pty or a loopback
// TCP port, and the driver reaching it from its own bus thread, as in the program; this thread
// serves the controller while it waits for each call.
struct PrologixRig {
    std::unique_ptr<sim::Bench> bench = sim::makeDefaultBench();
    sim::SimulatedPrologix controller;
    prologix::PrologixDriver* prologix = nullptr;
    std::unique_ptr<ThreadedDriver> driver;
    std::unique_ptr<GPIB32> gpib;

    using Firmware = sim::SimulatedPrologix::Firmware;

    explicit PrologixRig(Link link, prologix::Timing timing = fastTiming(),
                         Firmware firmware = Firmware::Prologix)
        : controller(*bench, firmware)
    {
        auto inner = link == Link::Pty
                         ? prologix::PrologixDriver::serial(controller.servePty(), timing)
                         : prologix::PrologixDriver::tcp(QStringLiteral("127.0.0.1"),
                                                         controller.serveTcp(), timing);
        prologix = inner.get();
        driver = std::make_unique<ThreadedDriver>(std::move(inner));
        gpib = std::make_unique<GPIB32>(*driver);
    }

    // What the program does at Configure: interface clear, remote enable, a time-out. False
    // when the controller did not take it all in within seconds.
    [[nodiscard]] bool prepare(int timeoutCode = 11)
    {
        (void)gpib->SendIFC(0);
        (void)gpib->ibsre(0, 1);
        return word(gpib->ibtmo(0, static_cast<std::int16_t>(timeoutCode))) ==
                   (sta::CMPL | sta::CIC) &&
               settle();
    }

    // Waits until the controller has handled every byte the driver wrote: a Send returns once
    // its bytes left, before the bench saw them. Not for runs with a dropped connection.
    [[nodiscard]] bool settle() const
    {
        QDeadlineTimer deadline(5000);
        while (controller.bytesReceived() != prologix->bytesWritten()) {
            if (deadline.hasExpired())
                return false;
            QTest::qWait(2);
        }
        return true;
    }

    // A query as the menu engine makes it: the message, then an 18-byte receive, whose status
    // goes to `received` where given.
    QString query(std::int16_t address, const QString& text, GpibStatus* received = nullptr)
    {
        (void)gpib->Send(0, address, text, 1);
        QString reply(18, QLatin1Char(' '));
        const GpibStatus status = gpib->Receive(0, address, reply, 0);
        if (received)
            *received = status;
        return reply;
    }

    QString explain(const GpibStatus& status) const
    {
        return driver->explainFailure(status.ibsta, status.iberr, status.ibcntl);
    }

    QStringList trace(std::size_t from = 0) const
    {
        QStringList out;
        const auto lines = bench->trace().lines();
        for (std::size_t i = from; i < lines.size(); ++i)
            out << QString::fromStdString(lines[i]);
        return out;
    }
    // The driver calls the bench's board got from `from` on, as they were made; only those
    // addressed to `address` (its device clears, messages and reads).
    std::vector<BusCall> calls(std::size_t from = 0) const
    {
        return requests(driverCalls(bench->trace().records(from)));
    }
    std::vector<BusCall> callsTo(Addr4882 address, std::size_t from) const
    {
        std::vector<BusCall> out;
        for (const BusCall& call : calls(from))
            if (call.address == address &&
                (call.kind == BusCall::Kind::DevClear || call.kind == BusCall::Kind::Send ||
                 call.kind == BusCall::Kind::Receive))
                out.push_back(call);
        return out;
    }
};

} // namespace gpibconfig::test
