// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "gpib/Driver.h"
#include "sim/Bench.h"
#include "sim/Board.h"

#include <cstdint>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace gpibconfig::sim::test {

// Address word of a primary address with an optional secondary address.
inline Addr4882 at(int primary, int secondary = -1)
{
    return static_cast<Addr4882>(primary | (secondary < 0 ? 0 : (0x60 + secondary) << 8));
}

struct Received {
    std::string data;   // the bytes the board reported (ibcntl of them)
    std::string buffer; // the whole buffer after the call
    long ibsta = 0;
    long iberr = 0;
    long ibcntl = 0;
};

// A default bench driven through the Driver interface, as the program drives it.
class BenchTest : public ::testing::Test {
protected:
    std::unique_ptr<Bench> bench = makeDefaultBench();

    Driver& driver() { return bench->driver(); }

    // Interface clear and a one-second time-out, as the program prepares the board.
    void prepare()
    {
        driver().SendIFC(0);
        driver().ibtmo(0, 11);
    }

    long send(Addr4882 address, std::string_view text, int eot = eot::NLend)
    {
        return sendCall(address, text, eot).ibsta;
    }
    // The same with the whole status.
    DriverStatus sendCall(Addr4882 address, std::string_view text, int eot = eot::NLend)
    {
        return driver().Send(0, address, reinterpret_cast<const std::uint8_t*>(text.data()),
                             static_cast<long>(text.size()), eot);
    }

    long commands(std::vector<std::uint8_t> bytes)
    {
        return driver().SendCmds(0, bytes.data(), static_cast<long>(bytes.size())).ibsta;
    }

    Received receive(Addr4882 address, long count = 18, int termination = 0)
    {
        std::string buffer(static_cast<std::size_t>(count), ' ');
        const DriverStatus status = driver().Receive(
            0, address, reinterpret_cast<std::uint8_t*>(buffer.data()), count, termination);
        Received r;
        r.ibsta = status.ibsta;
        r.iberr = status.iberr;
        r.ibcntl = status.ibcntl;
        r.buffer = buffer;
        r.data = buffer.substr(0, static_cast<std::size_t>(std::max(r.ibcntl, 0L)));
        return r;
    }

    // The reply to a query, or "" when none came.
    std::string query(Addr4882 address, std::string_view text)
    {
        send(address, text);
        return receive(address).data;
    }

    // The event status register (read and cleared), -1 when it did not answer.
    int esr(Addr4882 address)
    {
        const std::string reply = query(address, "*ESR?");
        return reply.empty() ? -1 : std::stoi(reply);
    }

    // Group execute trigger to a unit at a primary address, as the program's start sequence ends.
    void trigger(int primary) { commands({0x3F, static_cast<std::uint8_t>(0x20 + primary), 0x08}); }

    // Where a model answers on the default bench (the 7379: its first channel).
    Addr4882 addressOf(std::string_view model) const
    {
        const UnitView unit = bench->unit(bench->unitId(model));
        return at(unit.primary, unit.channels.front().secondary);
    }

    // Board prepared, unit in configuration mode, power-on bit read away.
    Addr4882 ready(std::string_view model)
    {
        prepare();
        const Addr4882 address = addressOf(model);
        if (bench->unit(bench->unitId(model)).needsTrigger)
            trigger(address & 0xFF);
        esr(address);
        return address;
    }
};

} // namespace gpibconfig::sim::test
