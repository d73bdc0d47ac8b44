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
// values. Receive copies the next scripted reply into the buffer (at most `count` bytes).
class FakeDriver : public Driver {
public:
    struct Status {
        long ibsta = sta::CMPL;
        long iberr = 0;
        long ibcnt = 0;
        long ibcntl = 0;
    };

    std::vector<BusCall> calls;
    std::deque<QByteArray> replies;
    // Status each call leaves; by default CMPL with the byte count of the call.
    std::function<Status(const BusCall& call)> statusFor;
    Status last;

    void SendIFC(int board) override { record(BusCall::sendIfc(board), 0); }
    void DevClear(int board, Addr4882 a) override { record(BusCall::devClear(board, a), 0); }
    void Send(int board, Addr4882 a, const std::uint8_t* data, long count, int eotMode) override
    {
        record(BusCall::send(board, a, data, count, eotMode), count);
    }
    void Receive(int board, Addr4882 a, std::uint8_t* buffer, long count, int term) override
    {
        QByteArray reply = replies.empty() ? QByteArray() : replies.front();
        if (!replies.empty())
            replies.pop_front();
        const long n = std::clamp<long>(static_cast<long>(reply.size()), 0, std::max(count, 0L));
        std::copy_n(reply.constData(), n, reinterpret_cast<char*>(buffer));
        record(BusCall::receive(board, a, count, term), n, buffer);
    }
    void SendCmds(int board, const std::uint8_t* cmds, long count) override
    {
        record(BusCall::sendCmds(board, cmds, count), count);
    }
    int ibonl(int ud, int v) override { return setting(BusCall::ibonl(ud, v)); }
    int ibsre(int ud, int v) override { return setting(BusCall::ibsre(ud, v)); }
    int ibtmo(int ud, int v) override { return setting(BusCall::ibtmo(ud, v)); }
    long ThreadIbsta() override { return last.ibsta; }
    long ThreadIberr() override { return last.iberr; }
    long ThreadIbcnt() override { return last.ibcnt; }
    long ThreadIbcntl() override { return last.ibcntl; }

private:
    int setting(BusCall call)
    {
        record(std::move(call), 0);
        return static_cast<int>(last.ibsta);
    }
    void record(BusCall call, long count, const std::uint8_t* buffer = nullptr)
    {
        if (statusFor) {
            last = statusFor(call);
        } else {
            last = Status{};
            last.ibcnt = last.ibcntl = count;
        }
        call.complete(last.ibsta, last.iberr, last.ibcntl, buffer);
        calls.push_back(std::move(call));
    }
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
        return which(call) ? FakeDriver::Status{ibsta, iberr, 0, 0} : FakeDriver::Status{};
    };
}
inline std::function<FakeDriver::Status(const BusCall&)> failing(BusCall::Kind kind, int iberr,
                                                                 long ibsta = sta::ERR | sta::CMPL)
{
    return failing(callsOf(kind), iberr, ibsta);
}

} // namespace gpibconfig::test
