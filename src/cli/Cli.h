// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "drivers/DriverSpec.h"
#include "gpib/TracingDriver.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

namespace gpibconfig {
class Clock;
class Driver;
} // namespace gpibconfig

// gpibconfig-cli: the units' settings from the command line, on the model table, access layer,
// drivers and status report of the window program.
namespace gpibconfig::cli {

// Exit statuses.
inline constexpr int kExitDone = 0;
inline constexpr int kExitRefused = 1;    // the unit refused a setting or the save; diff found some
inline constexpr int kExitBusFailure = 2; // a driver call failed
inline constexpr int kExitBadProfile = 65; // sysexits' EX_DATAERR
// kExitUsage (64) comes with the driver choice.

// What a command talks to the bus through: a driver and the clock of its pauses.
class Bus {
public:
    virtual ~Bus() = default;
    virtual Driver& driver() = 0;
    virtual Clock& clock() = 0;
};

// The world around the program. The program's own (processEnvironment) writes to the process's
// streams and opens the real drivers; tests hand theirs.
struct Environment {
    // Standard output and standard error, UTF-8. `err` may also be called from the bus thread,
    // for --trace -.
    std::function<void(const QString&)> out;
    std::function<void(const QString&)> err;
    bool inputIsTerminal = false;
    bool errorIsTerminal = false;
    // Waits for the operator to press Enter; false when standard input has ended.
    std::function<bool()> waitForEnter;
    std::function<QDateTime()> now;
    // GPIBCONFIG_DRIVER and the settings file's "driver".
    std::optional<QString> driverFromEnvironment;
    std::optional<QString> driverFromSettings;
    // Opens the bus for a driver choice of kind System, PrologixSerial, PrologixTcp or Sim; every
    // driver call is handed to `trace` when it is set.
    std::function<std::unique_ptr<Bus>(const DriverSpec& spec, TracingDriver::Sink trace)> openBus;
};

// The environment of this process.
Environment processEnvironment();
// Opens a real driver on its own bus thread (the tracer inside it, on that thread) with the
// wall clock, or for sim a fresh default bench in virtual time.
std::unique_ptr<Bus> openBus(const DriverSpec& spec, TracingDriver::Sink trace);

// Runs one command line (without the program name) and returns the exit status.
int run(const QStringList& arguments, Environment& env);

// What --help prints.
QString helpText();

} // namespace gpibconfig::cli
