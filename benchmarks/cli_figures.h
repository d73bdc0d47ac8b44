// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// gpibconfig-cli measured in this process on the simulated bench in virtual time: the program's
// own time per menu function, and what a restore onto an identical unit puts on the bus.

#include <QStringList>
#include <vector>

namespace gpibconfig::benchmarks {

// Milliseconds per menu function, one sample per function of every command run.
struct FunctionTimes {
    std::vector<double> ownMs;        // the program alone: the bench's own work taken out
    std::vector<double> withBenchMs;  // the program and the simulated units together
    std::vector<double> commandOwnMs; // the program alone, per command
};

// Every function of every entry read by `show`, `rounds` times over.
FunctionTimes cliShowTimes(int rounds, QStringList& problems);
// Every function of every entry (every channel of a multi-channel unit) set by `set` to the value
// it has, `rounds` times over; a setting is preceded by the read of its old value.
FunctionTimes cliSetTimes(int rounds, QStringList& problems);

// A backup of each entry's unit restored onto a second, factory-fresh unit of its model.
struct RestoreCalls {
    std::vector<double> driverCalls; // per restore
    int settingsSent = 0;            // all restores together
    int saves = 0;                   // *SAV 0 sent
    int restores = 0;
};
RestoreCalls cliRestoreCalls(QStringList& problems);

} // namespace gpibconfig::benchmarks
