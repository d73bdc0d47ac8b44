// SPDX-License-Identifier: GPL-3.0-or-later
#include "Cli.h"
#include "gpib/ThreadedDriver.h"
#include "sim/Bench.h"
#include "time/RealClock.h"

#include <cstdio>
#include <string>

#if defined(_WIN32)
#include <io.h>
#define GPIBCONFIG_ISATTY(f) _isatty(_fileno(f))
#else
#include <unistd.h>
#define GPIBCONFIG_ISATTY(f) isatty(fileno(f))
#endif

namespace gpibconfig::cli {

namespace {

// The simulated bench of gpibconfig-sim in virtual time: pauses and time-outs pass at once.
class SimBus final : public Bus {
public:
    explicit SimBus(TracingDriver::Sink trace)
        : m_bench(sim::makeDefaultBench(sim::Bench::Timing::Virtual))
    {
        if (trace)
            m_tracer = std::make_unique<TracingDriver>(m_bench->driver(), std::move(trace));
    }
    Driver& driver() override
    {
        return m_tracer ? static_cast<Driver&>(*m_tracer) : m_bench->driver();
    }
    Clock& clock() override { return m_bench->clock(); }

private:
    std::unique_ptr<sim::Bench> m_bench;
    std::unique_ptr<TracingDriver> m_tracer; // goes before the bench it wraps
};

// A real driver on its own bus thread. The tracer sits inside, on that thread, where the
// driver's per-thread status belongs to the call just made.
class DriverBus final : public Bus {
public:
    DriverBus(std::unique_ptr<Driver> inner, TracingDriver::Sink trace)
        : m_driver(trace ? std::make_unique<TracingDriver>(std::move(inner), std::move(trace))
                         : std::move(inner))
    {
    }
    Driver& driver() override { return m_driver; }
    Clock& clock() override { return m_clock; }

private:
    ThreadedDriver m_driver;
    RealClock m_clock;
};

void write(std::FILE* stream, const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stream);
    std::fflush(stream);
}

} // namespace

std::unique_ptr<Bus> openBus(const DriverSpec& spec, TracingDriver::Sink trace)
{
    if (spec.kind == DriverSpec::Kind::Sim)
        return std::make_unique<SimBus>(std::move(trace));
    auto inner = makeDriver(spec);
    if (!inner)
        return nullptr;
    return std::make_unique<DriverBus>(std::move(inner), std::move(trace));
}

Environment processEnvironment()
{
    Environment env;
    env.out = [](const QString& text) { write(stdout, text); };
    env.err = [](const QString& text) { write(stderr, text); };
    env.inputIsTerminal = GPIBCONFIG_ISATTY(stdin) != 0;
    env.errorIsTerminal = GPIBCONFIG_ISATTY(stderr) != 0;
    env.waitForEnter = [] {
        for (int c = std::fgetc(stdin); c != EOF; c = std::fgetc(stdin))
            if (c == '\n')
                return true;
        return false;
    };
    env.now = [] { return QDateTime::currentDateTimeUtc(); };
    env.driverFromEnvironment = driverFromEnvironment();
    env.driverFromSettings = driverFromSettings();
    env.openBus = openBus;
    return env;
}

} // namespace gpibconfig::cli
