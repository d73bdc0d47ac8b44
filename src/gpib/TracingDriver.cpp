// SPDX-License-Identifier: GPL-3.0-or-later
#include "TracingDriver.h"

#include <utility>

namespace gpibconfig {

TracingDriver::TracingDriver(Driver& inner, Sink sink)
    : m_inner(inner)
    , m_sink(std::move(sink))
{
}

TracingDriver::TracingDriver(std::unique_ptr<Driver> inner, Sink sink)
    : m_owned(std::move(inner))
    , m_inner(*m_owned)
    , m_sink(std::move(sink))
{
}

DriverStatus TracingDriver::record(BusCall call, const DriverStatus& status,
                                   const std::uint8_t* buffer)
{
    call.complete(status.ibsta, status.iberr, status.ibcntl, buffer);
    if (m_sink)
        m_sink(call);
    return status;
}

DriverStatus TracingDriver::SendIFC(int board)
{
    return record(BusCall::sendIfc(board), m_inner.SendIFC(board));
}

DriverStatus TracingDriver::DevClear(int board, Addr4882 address)
{
    return record(BusCall::devClear(board, address), m_inner.DevClear(board, address));
}

DriverStatus TracingDriver::Send(int board, Addr4882 address, const std::uint8_t* data, long count,
                                 int eotMode)
{
    // Taken before the call: the record shows what the caller handed over.
    BusCall call = BusCall::send(board, address, data, count, eotMode);
    return record(std::move(call), m_inner.Send(board, address, data, count, eotMode));
}

DriverStatus TracingDriver::Receive(int board, Addr4882 address, std::uint8_t* buffer, long count,
                                    int termination)
{
    const DriverStatus status = m_inner.Receive(board, address, buffer, count, termination);
    return record(BusCall::receive(board, address, count, termination), status, buffer);
}

DriverStatus TracingDriver::SendCmds(int board, const std::uint8_t* commands, long count)
{
    BusCall call = BusCall::sendCmds(board, commands, count);
    return record(std::move(call), m_inner.SendCmds(board, commands, count));
}

DriverStatus TracingDriver::ibonl(int ud, int v)
{
    return record(BusCall::ibonl(ud, v), m_inner.ibonl(ud, v));
}

DriverStatus TracingDriver::ibsre(int ud, int v)
{
    return record(BusCall::ibsre(ud, v), m_inner.ibsre(ud, v));
}

DriverStatus TracingDriver::ibtmo(int ud, int v)
{
    return record(BusCall::ibtmo(ud, v), m_inner.ibtmo(ud, v));
}

DriverStatus TracingDriver::FindLstn(int board, const Addr4882* primaries, Addr4882* found,
                                     long limit)
{
    BusCall call = BusCall::findLstn(board, primaries, limit);
    const DriverStatus status = m_inner.FindLstn(board, primaries, found, limit);
    call.completeFind(status.ibsta, status.iberr, status.ibcntl, found);
    if (m_sink)
        m_sink(call);
    return status;
}

} // namespace gpibconfig
