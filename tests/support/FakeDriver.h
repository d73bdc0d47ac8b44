// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "gpib/BusCall.h"
#include "gpib/Driver.h"

#include <QByteArray>
#include <algorithm>
#include <deque>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace gpibconfig::test {

// A driver that records every call, with the status it left, and answers with scripted status
// values. Receive copies the next scripted reply into the buffer (at most `count` bytes). Its
// plain words for any failure are `explanation` (none by default).
class FakeDriver : public Driver {
public:
    // A call's status; by default a success.
    struct Status {
        long ibsta = sta::CMPL;
        long iberr = 0;
        long ibcntl = 0;
    };

    std::vector<BusCall> calls;
    std::deque<QByteArray> replies;
    // Status each call leaves; by default CMPL with the byte count of the call.
    std::function<Status(const BusCall& call)> statusFor;
    QString explanation;

    DriverStatus SendIFC(int board) override { return record(BusCall::sendIfc(board), 0); }
    DriverStatus DevClear(int board, Addr4882 a) override
    {
        return record(BusCall::devClear(board, a), 0);
    }
    DriverStatus Send(int board, Addr4882 a, const std::uint8_t* data, long count,
                      int eotMode) override
    {
        return record(BusCall::send(board, a, data, count, eotMode), count);
    }
    DriverStatus Receive(int board, Addr4882 a, std::uint8_t* buffer, long count, int term) override
    {
        QByteArray reply = replies.empty() ? QByteArray() : replies.front();
        if (!replies.empty())
            replies.pop_front();
        const long n = std::clamp<long>(static_cast<long>(reply.size()), 0, std::max(count, 0L));
        std::copy_n(reply.constData(), n, reinterpret_cast<char*>(buffer));
        return record(BusCall::receive(board, a, count, term), n, buffer);
    }
    DriverStatus SendCmds(int board, const std::uint8_t* cmds, long count) override
    {
        return record(BusCall::sendCmds(board, cmds, count), count);
    }
    DriverStatus ibonl(int ud, int v) override { return record(BusCall::ibonl(ud, v), 0); }
    DriverStatus ibsre(int ud, int v) override { return record(BusCall::ibsre(ud, v), 0); }
    DriverStatus ibtmo(int ud, int v) override { return record(BusCall::ibtmo(ud, v), 0); }
    QString explainFailure(int, int, long) const override { return explanation; }

private:
    DriverStatus record(BusCall call, long count, const std::uint8_t* buffer = nullptr)
    {
        const Status status = statusFor ? statusFor(call) : Status{sta::CMPL, 0, count};
        call.complete(status.ibsta, status.iberr, status.ibcntl, buffer);
        calls.push_back(std::move(call));
        return {status.ibsta, status.iberr, status.ibcntl};
    }
};

// Passes every call on to another driver it does not own. With `findsListeners` false it is a
// driver without the board's search for listeners (as the Prologix driver is); a non-empty
// `explanation` is its plain words for any failure instead of the other driver's.
class PassThrough : public Driver {
public:
    explicit PassThrough(Driver& inner)
        : m_inner(inner)
    {
    }
    bool findsListeners = true;
    QString explanation;

    DriverStatus SendIFC(int b) override { return m_inner.SendIFC(b); }
    DriverStatus DevClear(int b, Addr4882 a) override { return m_inner.DevClear(b, a); }
    DriverStatus Send(int b, Addr4882 a, const std::uint8_t* d, long n, int e) override
    {
        return m_inner.Send(b, a, d, n, e);
    }
    DriverStatus Receive(int b, Addr4882 a, std::uint8_t* d, long n, int t) override
    {
        return m_inner.Receive(b, a, d, n, t);
    }
    DriverStatus SendCmds(int b, const std::uint8_t* c, long n) override
    {
        return m_inner.SendCmds(b, c, n);
    }
    DriverStatus ibonl(int u, int v) override { return m_inner.ibonl(u, v); }
    DriverStatus ibsre(int u, int v) override { return m_inner.ibsre(u, v); }
    DriverStatus ibtmo(int u, int v) override { return m_inner.ibtmo(u, v); }
    bool canFindListeners() const override { return findsListeners && m_inner.canFindListeners(); }
    DriverStatus FindLstn(int b, const Addr4882* p, Addr4882* f, long n) override
    {
        return findsListeners ? m_inner.FindLstn(b, p, f, n) : Driver::FindLstn(b, p, f, n);
    }
    QString explainFailure(int ibsta, int iberr, long ibcntl) const override
    {
        return explanation.isEmpty() ? m_inner.explainFailure(ibsta, iberr, ibcntl) : explanation;
    }

protected:
    Driver& m_inner;
};

// Which calls a scripted failure hits.
using CallFilter = std::function<bool(const BusCall&)>;

inline CallFilter callsOf(BusCall::Kind kind)
{
    return [kind](const BusCall& call) { return call.kind == kind; };
}
// Sends of exactly this message.
inline CallFilter sendOf(std::string message)
{
    return [message = std::move(message)](const BusCall& call) { return call.isSend(message); };
}
inline bool everyCall(const BusCall&) { return true; }

// Fails every call the filter picks; the others succeed with the default status.
inline std::function<FakeDriver::Status(const BusCall&)> failing(CallFilter which, int iberr,
                                                                 long ibsta = sta::ERR | sta::CMPL)
{
    return [which = std::move(which), iberr, ibsta](const BusCall& call) {
        return which(call) ? FakeDriver::Status{ibsta, iberr, 0} : FakeDriver::Status{};
    };
}
inline std::function<FakeDriver::Status(const BusCall&)> failing(BusCall::Kind kind, int iberr,
                                                                 long ibsta = sta::ERR | sta::CMPL)
{
    return failing(callsOf(kind), iberr, ibsta);
}

} // namespace gpibconfig::test
