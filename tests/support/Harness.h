// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "sim/Bench.h"
#include "support/BusRecords.h"
#include "support/WindowOnDriver.h"

#include <memory>

namespace gpibconfig::test {

// The bench the harness drives; a base of its own so that it exists before the window on it.
struct BenchOfItsOwn {
    std::unique_ptr<sim::Bench> bench = sim::makeDefaultBench();
};

// The program on the simulated bench in virtual time, driven through its real widgets: the
// window of WindowOnDriver on the bench's board, the technician's power cycle done on the bench,
// and what the bench recorded.
struct Harness : BenchOfItsOwn, WindowOnDriver {
    Harness()
        : WindowOnDriver(bench->driver(), *bench)
    {
    }

    // What the bench recorded from position `from` on: every record, or only the driver calls.
    std::vector<BusCall> records(std::size_t from = 0) const
    {
        return bench->trace().records(from);
    }
    std::vector<BusCall> calls(std::size_t from = 0) const { return driverCalls(records(from)); }
    // The bus traffic in short, and only the messages sent (see BusRecords.h).
    QStringList flow(std::size_t from = 0) const { return test::flow(records(from)); }
    QStringList messages(std::size_t from = 0) const { return test::messages(records(from)); }
};

} // namespace gpibconfig::test
