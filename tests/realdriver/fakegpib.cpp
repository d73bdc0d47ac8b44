// SPDX-License-Identifier: GPL-3.0-or-later
// A stand-in for linux-gpib's user library, for testing the program's real loading path: it
// exports the library's C interface with linux-gpib's prototypes and numbering, and answers from a
// simulated bench inside it.
#include "sim/Bench.h"
#include "sim/Board.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>

#define FAKEGPIB_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

using gpibconfig::sim::Bench;

Bench& bench()
{
    static std::unique_ptr<Bench> instance = gpibconfig::sim::makeDefaultBench();
    return *instance;
}

gpibconfig::Driver& board() { return bench().driver(); }

// linux-gpib numbers the end-of-transmission modes DABend = 1, NLend = 2; the bench speaks NI's
// NLend = 1, DABend = 2.
int fromLinuxEot(int mode)
{
    switch (mode) {
    case 1:
        return gpibconfig::eot::DABend;
    case 2:
        return gpibconfig::eot::NLend;
    default:
        return mode;
    }
}

std::string g_text;

// The library's status of the last call, kept per thread as linux-gpib keeps it.
thread_local gpibconfig::DriverStatus g_last;

int keep(const gpibconfig::DriverStatus& status)
{
    g_last = status;
    return static_cast<int>(status.ibsta);
}

} // namespace

FAKEGPIB_EXPORT void SendIFC(int boardIndex) { keep(board().SendIFC(boardIndex)); }

FAKEGPIB_EXPORT void DevClear(int boardIndex, std::uint16_t address)
{
    keep(board().DevClear(boardIndex, address));
}

FAKEGPIB_EXPORT void Send(int boardIndex, std::uint16_t address, const void* buffer, long count,
                          int eotMode)
{
    keep(board().Send(boardIndex, address, static_cast<const std::uint8_t*>(buffer), count,
                      fromLinuxEot(eotMode)));
}

FAKEGPIB_EXPORT void Receive(int boardIndex, std::uint16_t address, void* buffer, long count,
                             int termination)
{
    keep(board().Receive(boardIndex, address, static_cast<std::uint8_t*>(buffer), count,
                         termination));
}

FAKEGPIB_EXPORT void SendCmds(int boardIndex, const void* commands, long count)
{
    keep(board().SendCmds(boardIndex, static_cast<const std::uint8_t*>(commands), count));
}

FAKEGPIB_EXPORT void FindLstn(int boardIndex, const std::uint16_t* padList,
                              std::uint16_t* resultList, int maxNumResults)
{
    keep(board().FindLstn(boardIndex, padList, resultList, maxNumResults));
}

FAKEGPIB_EXPORT int ibonl(int ud, int v) { return keep(board().ibonl(ud, v)); }
FAKEGPIB_EXPORT int ibsre(int ud, int v) { return keep(board().ibsre(ud, v)); }
FAKEGPIB_EXPORT int ibtmo(int ud, int v) { return keep(board().ibtmo(ud, v)); }
FAKEGPIB_EXPORT int ThreadIbsta() { return static_cast<int>(g_last.ibsta); }
FAKEGPIB_EXPORT int ThreadIberr() { return static_cast<int>(g_last.iberr); }
FAKEGPIB_EXPORT int ThreadIbcnt() { return static_cast<int>(g_last.ibcntl); }
FAKEGPIB_EXPORT long ThreadIbcntl() { return g_last.ibcntl; }

// For the test that loads this library: the bench's trace, and a power cycle of a unit.
FAKEGPIB_EXPORT const char* fakegpib_trace()
{
    g_text = bench().trace().text();
    return g_text.c_str();
}

FAKEGPIB_EXPORT void fakegpib_power_cycle(const char* model)
{
    bench().powerCycle(bench().unitId(model));
}
