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

void TracingDriver::record(BusCall call, const std::uint8_t* buffer)
{
    call.complete(m_inner.ThreadIbsta(), m_inner.ThreadIberr(), m_inner.ThreadIbcntl(), buffer);
    if (m_sink)
        m_sink(call);
}

void TracingDriver::SendIFC(int board)
{
    m_inner.SendIFC(board);
    record(BusCall::sendIfc(board));
}

void TracingDriver::DevClear(int board, Addr4882 address)
{
    m_inner.DevClear(board, address);
    record(BusCall::devClear(board, address));
}

void TracingDriver::Send(int board, Addr4882 address, const std::uint8_t* data, long count,
                         int eotMode)
{
    // Taken before the call: the record shows what the caller handed over.
    BusCall call = BusCall::send(board, address, data, count, eotMode);
    m_inner.Send(board, address, data, count, eotMode);
    record(std::move(call));
}

void TracingDriver::Receive(int board, Addr4882 address, std::uint8_t* buffer, long count,
                            int termination)
{
    m_inner.Receive(board, address, buffer, count, termination);
    record(BusCall::receive(board, address, count, termination), buffer);
}

void TracingDriver::SendCmds(int board, const std::uint8_t* commands, long count)
{
    BusCall call = BusCall::sendCmds(board, commands, count);
    m_inner.SendCmds(board, commands, count);
    record(std::move(call));
}

int TracingDriver::ibonl(int ud, int v)
{
    const int result = m_inner.ibonl(ud, v);
    record(BusCall::ibonl(ud, v));
    return result;
}

int TracingDriver::ibsre(int ud, int v)
{
    const int result = m_inner.ibsre(ud, v);
    record(BusCall::ibsre(ud, v));
    return result;
}

int TracingDriver::ibtmo(int ud, int v)
{
    const int result = m_inner.ibtmo(ud, v);
    record(BusCall::ibtmo(ud, v));
    return result;
}

void TracingDriver::FindLstn(int board, const Addr4882* primaries, Addr4882* found, long limit)
{
    BusCall call = BusCall::findLstn(board, primaries, limit);
    m_inner.FindLstn(board, primaries, found, limit);
    call.completeFind(m_inner.ThreadIbsta(), m_inner.ThreadIberr(), m_inner.ThreadIbcntl(), found);
    if (m_sink)
        m_sink(call);
}

} // namespace gpibconfig
