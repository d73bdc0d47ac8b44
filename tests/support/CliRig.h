// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// gpibconfig-cli run inside a test: its command line, what it printed, and the bus it ran on
// (a bench of the test's, or any driver and clock the test hands it).

#include "cli/Cli.h"
#include "gpib/Driver.h"
#include "gpib/TracingDriver.h"
#include "sim/Bench.h"
#include "time/Clock.h"

#include <QDateTime>
#include <QStringList>
#include <QTimeZone>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

namespace gpibconfig::test {

// Passes every call on, but says it cannot find listeners: a driver like the Prologix one.
class WithoutFindListeners : public Driver {
public:
    explicit WithoutFindListeners(Driver& inner)
        : m_inner(inner)
    {
    }
    DriverStatus SendIFC(int b) override { return m_inner.SendIFC(b); }
    DriverStatus DevClear(int b, Addr4882 a) override { return m_inner.DevClear(b, a); }
    DriverStatus Send(int b, Addr4882 a, const std::uint8_t* d, long n, int e) override
    {
        return m_inner.Send(b, a, d, n, e);
    }
    DriverStatus Receive(int b, Addr4882 a, std::uint8_t* d, long n, int t) override
    {
        return m_inner.Receive(b, a, d, n, t);
    }
    DriverStatus SendCmds(int b, const std::uint8_t* c, long n) override
    {
        return m_inner.SendCmds(b, c, n);
    }
    DriverStatus ibonl(int u, int v) override { return m_inner.ibonl(u, v); }
    DriverStatus ibsre(int u, int v) override { return m_inner.ibsre(u, v); }
    DriverStatus ibtmo(int u, int v) override { return m_inner.ibtmo(u, v); }

protected:
    Driver& m_inner;
};

class CliRig {
public:
    // The program runs on `driver` and `clock` whatever --driver says.
    CliRig(Driver& driver, Clock& clock)
        : m_driver(driver)
        , m_clock(clock)
    {
        env.out = [this](const QString& text) { out += text; };
        env.err = [this](const QString& text) {
            const std::lock_guard lock(m_errMutex); // --trace - writes from the bus thread
            err += text;
        };
        env.now = [] { return QDateTime(QDate(2025, 6, 1), QTime(12, 0), QTimeZone::utc()); };
        env.waitForEnter = [this] {
            ++enterWaits;
            if (enterAnswers.empty())
                return false;
            const bool answer = enterAnswers.front();
            enterAnswers.pop_front();
            return answer;
        };
        env.openBus = [this](const DriverSpec&, TracingDriver::Sink trace) {
            return std::make_unique<TestBus>(*this, std::move(trace));
        };
    }

    // Runs one command line; `out` and `err` hold what it printed.
    int run(const QStringList& arguments)
    {
        out.clear();
        err.clear();
        return cli::run(QStringList{QStringLiteral("--driver"), QStringLiteral("sim")} + arguments,
                        env);
    }

    cli::Environment env;
    QString out;
    QString err;
    std::deque<bool> enterAnswers; // what each wait for Enter gets; false: end of input
    int enterWaits = 0;
    bool hideFindListeners = false;

private:
    class TestBus final : public cli::Bus {
    public:
        TestBus(CliRig& rig, TracingDriver::Sink trace)
            : m_rig(rig)
            , m_hidden(rig.m_driver)
        {
            Driver& inner = rig.hideFindListeners ? static_cast<Driver&>(m_hidden) : rig.m_driver;
            if (trace)
                m_tracer = std::make_unique<TracingDriver>(inner, std::move(trace));
            m_driver = m_tracer ? m_tracer.get() : &inner;
        }
        Driver& driver() override { return *m_driver; }
        Clock& clock() override { return m_rig.m_clock; }

    private:
        CliRig& m_rig;
        WithoutFindListeners m_hidden;
        std::unique_ptr<TracingDriver> m_tracer;
        Driver* m_driver = nullptr;
    };

    Driver& m_driver;
    Clock& m_clock;
    std::mutex m_errMutex;
};

// The program on a bench of its own (the default bench unless given), in virtual time.
struct BenchCli {
    std::unique_ptr<sim::Bench> bench;
    CliRig cli;

    explicit BenchCli(std::unique_ptr<sim::Bench> b = sim::makeDefaultBench())
        : bench(std::move(b))
        , cli(bench->driver(), bench->clock())
    {
    }
    int run(const QStringList& arguments) { return cli.run(arguments); }
};

} // namespace gpibconfig::test
