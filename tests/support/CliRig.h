// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// gpibconfig-cli run inside a test: its command line, what it printed, and the bus it ran on
// (a bench of the test's, or any driver and clock the test hands it).

#include "cli/Cli.h"
#include "gpib/Driver.h"
#include "gpib/TracingDriver.h"
#include "sim/Bench.h"
#include "support/FakeDriver.h"
#include "time/Clock.h"

#include <QDateTime>
#include <QStringList>
#include <QTimeZone>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

namespace gpibconfig::test {

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
            m_hidden.findsListeners = false; // like the Prologix driver
            Driver& inner = rig.hideFindListeners ? static_cast<Driver&>(m_hidden) : rig.m_driver;
            if (trace)
                m_tracer = std::make_unique<TracingDriver>(inner, std::move(trace));
            m_driver = m_tracer ? m_tracer.get() : &inner;
        }
        Driver& driver() override { return *m_driver; }
        Clock& clock() override { return m_rig.m_clock; }

    private:
        CliRig& m_rig;
        PassThrough m_hidden;
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
