// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli_figures.h"

#include "gpib/BusCall.h"
#include "models/Models.h"
#include "sim/Bench.h"
#include "support/CliRig.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <memory>

namespace gpibconfig::benchmarks {

namespace {

using Steady = std::chrono::steady_clock;

std::int64_t nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Steady::now().time_since_epoch())
        .count();
}

// Time spent in some place, and in how many stretches (each costs the stopwatch some time).
struct Account {
    std::int64_t ns = 0;
    std::int64_t blocks = 0;
};

// Adds the time from its construction to its end to an account.
class Charged {
public:
    explicit Charged(Account& account)
        : m_account(account)
        , m_start(nowNs())
    {
    }
    ~Charged()
    {
        m_account.ns += nowNs() - m_start;
        ++m_account.blocks;
    }
    Charged(const Charged&) = delete;
    Charged& operator=(const Charged&) = delete;

private:
    Account& m_account;
    std::int64_t m_start;
};

// What the stopwatch itself costs per stretch, in nanoseconds: in all, and the part that falls
// outside the stretch it measures. A function's work is a microsecond or two around some ten
// timed driver calls and status reads, so the stopwatch's share would otherwise show up as the
// program's.
struct StopwatchCost {
    double whole = 0;
    double outside = 0;
};

StopwatchCost stopwatchCost()
{
    static const StopwatchCost cost = [] {
        constexpr int kStretches = 200000;
        Account account;
        const std::int64_t start = nowNs();
        for (int i = 0; i < kStretches; ++i)
            const Charged stretch(account);
        const double whole = static_cast<double>(nowNs() - start) / kStretches;
        return StopwatchCost{whole, whole - static_cast<double>(account.ns) / kStretches};
    }();
    return cost;
}

// The bench's board with the time spent inside it counted: what the simulated units do on a
// call is the bench's work, not the program's, and a real bus would take its own time for it.
class TimedDriver final : public Driver {
public:
    TimedDriver(Driver& inner, Account& inside)
        : m_inner(inner)
        , m_inside(inside)
    {
    }
    DriverStatus SendIFC(int b) override
    {
        const Charged c(m_inside);
        return m_inner.SendIFC(b);
    }
    DriverStatus DevClear(int b, Addr4882 a) override
    {
        const Charged c(m_inside);
        return m_inner.DevClear(b, a);
    }
    DriverStatus Send(int b, Addr4882 a, const std::uint8_t* d, long n, int e) override
    {
        const Charged c(m_inside);
        return m_inner.Send(b, a, d, n, e);
    }
    DriverStatus Receive(int b, Addr4882 a, std::uint8_t* d, long n, int t) override
    {
        const Charged c(m_inside);
        return m_inner.Receive(b, a, d, n, t);
    }
    DriverStatus SendCmds(int b, const std::uint8_t* d, long n) override
    {
        const Charged c(m_inside);
        return m_inner.SendCmds(b, d, n);
    }
    DriverStatus ibonl(int u, int v) override
    {
        const Charged c(m_inside);
        return m_inner.ibonl(u, v);
    }
    DriverStatus ibsre(int u, int v) override
    {
        const Charged c(m_inside);
        return m_inner.ibsre(u, v);
    }
    DriverStatus ibtmo(int u, int v) override
    {
        const Charged c(m_inside);
        return m_inner.ibtmo(u, v);
    }
    bool canFindListeners() const override { return m_inner.canFindListeners(); }
    DriverStatus FindLstn(int b, const Addr4882* p, Addr4882* f, long n) override
    {
        const Charged c(m_inside);
        return m_inner.FindLstn(b, p, f, n);
    }

private:
    Driver& m_inner;
    Account& m_inside;
};

// The bench's virtual clock, its pauses counted like the board's calls.
class TimedClock final : public Clock {
public:
    TimedClock(Clock& inner, Account& inside)
        : m_inner(inner)
        , m_inside(inside)
    {
    }
    double now() const override
    {
        const Charged c(m_inside);
        return m_inner.now();
    }
    void pause(double seconds) override
    {
        const Charged c(m_inside);
        m_inner.pause(seconds);
    }

private:
    Clock& m_inner;
    Account& m_inside;
};

// The program on a default bench of its own, with a terminal on standard error: its progress
// line ("function k of n") marks where each function's work starts, and the next thing it writes
// there where it ends.
class Session {
public:
    Session()
    {
        m_cli.env.errorIsTerminal = true;
        m_cli.env.err = [this](const QString& text) {
            const std::int64_t at = nowNs();
            const bool progress = text.startsWith(QLatin1Char('\r')) &&
                                  text != QStringLiteral("\r\x1b[K") &&
                                  !text.startsWith(QStringLiteral("\rscan"));
            m_marks.push_back({at, m_bench, m_harness, progress});
            if (!text.startsWith(QLatin1Char('\r')))
                m_errText += text;
            // Keeping the mark is not the program's work.
            m_harness.ns += nowNs() - at;
            ++m_harness.blocks;
        };
    }

    sim::Bench& bench() { return *m_benchUnits; }

    // Runs one command line; a failure goes to `problems`.
    int run(const QStringList& arguments, QStringList& problems)
    {
        m_marks.clear();
        m_errText.clear();
        m_marks.push_back({nowNs(), m_bench, m_harness, false});
        const int status = m_cli.run(arguments);
        m_marks.push_back({nowNs(), m_bench, m_harness, false});
        if (status != 0)
            problems << QStringLiteral("gpibconfig-cli %1: exit status %2: %3")
                            .arg(arguments.join(QLatin1Char(' ')))
                            .arg(status)
                            .arg(m_errText.trimmed());
        return status;
    }
    const QString& out() const { return m_cli.out; }

    // The function times of the last command, and its own time as a whole.
    void collect(FunctionTimes& times) const
    {
        for (std::size_t i = 0; i + 1 < m_marks.size(); ++i) {
            if (!m_marks[i].functionStarts)
                continue;
            const Span span = between(m_marks[i], m_marks[i + 1]);
            times.ownMs.push_back(span.ownMs);
            times.withBenchMs.push_back(span.withBenchMs);
        }
        if (m_marks.size() >= 2)
            times.commandOwnMs.push_back(between(m_marks.front(), m_marks.back()).ownMs);
    }

private:
    struct Mark {
        std::int64_t wall;
        Account bench;   // inside the bench so far
        Account harness; // keeping marks so far
        bool functionStarts;
    };
    struct Span {
        double ownMs;
        double withBenchMs;
    };

    static Span between(const Mark& from, const Mark& to)
    {
        const StopwatchCost cost = stopwatchCost();
        const auto blocks = [](const Account& a, const Account& b) {
            return static_cast<double>(b.blocks - a.blocks);
        };
        const auto ns = [](const Account& a, const Account& b) {
            return static_cast<double>(b.ns - a.ns);
        };
        const double own =
            static_cast<double>(to.wall - from.wall) - ns(from.harness, to.harness) -
            ns(from.bench, to.bench) -
            cost.outside * (blocks(from.bench, to.bench) + blocks(from.harness, to.harness));
        // The stretches inside the bench also hold the stopwatch's reading of its start.
        const double bench =
            ns(from.bench, to.bench) - (cost.whole - cost.outside) * blocks(from.bench, to.bench);
        return Span{std::max(0.0, own) / 1e6, std::max(0.0, own + bench) / 1e6};
    }

    std::unique_ptr<sim::Bench> m_benchUnits = sim::makeDefaultBench(sim::Bench::Timing::Virtual);
    Account m_bench;
    Account m_harness;
    TimedDriver m_driver{m_benchUnits->driver(), m_bench};
    TimedClock m_clock{m_benchUnits->clock(), m_bench};
    test::CliRig m_cli{m_driver, m_clock};
    std::vector<Mark> m_marks;
    QString m_errText;
};

QStringList unitArguments(const char* command, const Model& model, int address)
{
    QStringList a{QString::fromLatin1(command), QString::fromLatin1(model.entry),
                  QString::number(address)};
    // No terminal to ask on: the bench's units need no real power cycle.
    if (model.powerCycle)
        a << QStringLiteral("--power-cycled");
    return a;
}

} // namespace

FunctionTimes cliShowTimes(int rounds, QStringList& problems)
{
    FunctionTimes times;
    for (int round = 0; round < rounds; ++round) {
        Session s;
        int address = 0;
        for (const Model& model : models()) {
            ++address; // the default bench has the n-th entry at address n
            if (s.run(unitArguments("show", model, address), problems) == 0)
                s.collect(times);
        }
    }
    return times;
}

FunctionTimes cliSetTimes(int rounds, QStringList& problems)
{
    FunctionTimes times;
    for (int round = 0; round < rounds; ++round) {
        Session s;
        int address = 0;
        for (const Model& model : models()) {
            ++address;
            if (s.run(QStringList{QStringLiteral("--json")} + unitArguments("show", model, address),
                      problems) != 0)
                continue;
            const QJsonArray channels =
                QJsonDocument::fromJson(s.out().toUtf8()).object().value(u"channels").toArray();
            for (const QJsonValue& channel : channels) {
                QStringList a = unitArguments("set", model, address);
                if (!channel[u"channel"].isNull())
                    a << QStringLiteral("--channel")
                      << QString::number(channel[u"channel"].toInt());
                for (const QJsonValue& function : channel[u"functions"].toArray()) {
                    const QString value = function[u"value"].toString();
                    if (value.trimmed().isEmpty())
                        continue; // nothing the menu could send back
                    a << QStringLiteral("%1=%2").arg(function[u"number"].toInt()).arg(value);
                }
                if (s.run(a, problems) == 0)
                    s.collect(times);
            }
        }
    }
    return times;
}

RestoreCalls cliRestoreCalls(QStringList& problems)
{
    RestoreCalls calls;
    QTemporaryDir dir;
    if (!dir.isValid()) {
        problems << QStringLiteral("no temporary directory for the profiles");
        return calls;
    }
    int address = 0;
    for (const Model& model : models()) {
        ++address;
        Session s;
        constexpr int kSpare = 28; // free on the default bench
        s.bench().addUnit(model.entry, kSpare);
        const QString file =
            dir.filePath(QString::fromLatin1(model.entry) + QStringLiteral(".json"));
        if (s.run(unitArguments("backup", model, address) << QStringLiteral("-o") << file,
                  problems) != 0)
            continue;
        const std::size_t start = s.bench().trace().size();
        QStringList a{QStringLiteral("restore"), file, QString::number(kSpare)};
        if (model.powerCycle)
            a << QStringLiteral("--power-cycled");
        if (s.run(a, problems) != 0)
            continue;
        ++calls.restores;
        int driverCalls = 0;
        for (const BusCall& call : s.bench().trace().records(start)) {
            if (!call.isDriverCall())
                continue;
            ++driverCalls;
            if (call.kind != BusCall::Kind::Send)
                continue;
            // What changes a unit: any message but a query, the start actions' status clear and
            // unlock, and the save at the end (counted on its own).
            const std::string& m = call.bytes;
            if (m == "*SAV 0")
                ++calls.saves;
            else if (!m.ends_with('?') && m != "*CLS" && m != "CAL:LOCK 0")
                ++calls.settingsSent;
        }
        calls.driverCalls.push_back(driverCalls);
    }
    return calls;
}

} // namespace gpibconfig::benchmarks
