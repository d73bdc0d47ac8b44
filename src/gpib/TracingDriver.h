// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "BusCall.h"
#include "Driver.h"

#include <functional>
#include <memory>

namespace gpibconfig {

// A driver that passes every call on to another one and hands a record of it, with the status
// the call returned, to a sink: the bus trace of whatever driver the program runs on. The status
// goes back to the caller unchanged.
//
// The sink runs on the thread that makes the calls; inside a ThreadedDriver (around the driver it
// runs) that is the bus thread.
class TracingDriver final : public Driver {
public:
    using Sink = std::function<void(const BusCall& call)>;

    TracingDriver(Driver& inner, Sink sink);
    // The same around a driver it owns (to hand to a ThreadedDriver as its inner driver).
    TracingDriver(std::unique_ptr<Driver> inner, Sink sink);

    DriverStatus SendIFC(int board) override;
    DriverStatus DevClear(int board, Addr4882 address) override;
    DriverStatus Send(int board, Addr4882 address, const std::uint8_t* data, long count,
                      int eotMode) override;
    DriverStatus Receive(int board, Addr4882 address, std::uint8_t* buffer, long count,
                         int termination) override;
    DriverStatus SendCmds(int board, const std::uint8_t* commands, long count) override;
    DriverStatus ibonl(int ud, int v) override;
    DriverStatus ibsre(int ud, int v) override;
    DriverStatus ibtmo(int ud, int v) override;
    bool canFindListeners() const override { return m_inner.canFindListeners(); }
    DriverStatus FindLstn(int board, const Addr4882* primaries, Addr4882* found,
                          long limit) override;

    QString explainFailure(int ibsta, int iberr, long ibcntl) const override
    {
        return m_inner.explainFailure(ibsta, iberr, ibcntl);
    }

private:
    // Hands the call with `status` to the sink and returns the status.
    DriverStatus record(BusCall call, const DriverStatus& status,
                        const std::uint8_t* buffer = nullptr);

    std::unique_ptr<Driver> m_owned;
    Driver& m_inner;
    Sink m_sink;
};

} // namespace gpibconfig
