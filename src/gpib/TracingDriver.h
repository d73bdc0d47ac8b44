// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "BusCall.h"
#include "Driver.h"

#include <functional>
#include <memory>

namespace gpibconfig {

// A driver that passes every call on to another one and hands a record of it, with the status
// the call left, to a sink: the bus trace of whatever driver the program runs on.
//
// The status is read from the inner driver right after each call. That status is per thread, so
// this wrapper belongs on the thread that makes the calls (inside a ThreadedDriver, around the
// driver it runs on the bus thread). The program's own status reads pass through unchanged.
class TracingDriver final : public Driver {
public:
    using Sink = std::function<void(const BusCall& call)>;

    TracingDriver(Driver& inner, Sink sink);
    // The same around a driver it owns (to hand to a ThreadedDriver as its inner driver).
    TracingDriver(std::unique_ptr<Driver> inner, Sink sink);

    void SendIFC(int board) override;
    void DevClear(int board, Addr4882 address) override;
    void Send(int board, Addr4882 address, const std::uint8_t* data, long count,
              int eotMode) override;
    void Receive(int board, Addr4882 address, std::uint8_t* buffer, long count,
                 int termination) override;
    void SendCmds(int board, const std::uint8_t* commands, long count) override;
    int ibonl(int ud, int v) override;
    int ibsre(int ud, int v) override;
    int ibtmo(int ud, int v) override;
    bool canFindListeners() const override { return m_inner.canFindListeners(); }
    void FindLstn(int board, const Addr4882* primaries, Addr4882* found, long limit) override;

    long ThreadIbsta() override { return m_inner.ThreadIbsta(); }
    long ThreadIberr() override { return m_inner.ThreadIberr(); }
    long ThreadIbcnt() override { return m_inner.ThreadIbcnt(); }
    long ThreadIbcntl() override { return m_inner.ThreadIbcntl(); }

    QString explainFailure(int ibsta, int iberr, long ibcntl) const override
    {
        return m_inner.explainFailure(ibsta, iberr, ibcntl);
    }

private:
    void record(BusCall call, const std::uint8_t* buffer = nullptr);

    std::unique_ptr<Driver> m_owned;
    Driver& m_inner;
    Sink m_sink;
};

} // namespace gpibconfig
