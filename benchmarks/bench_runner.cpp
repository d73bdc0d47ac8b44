// SPDX-License-Identifier: GPL-3.0-or-later
// Measures what a technician feels of the program's speed, in one run, side by side:
//   start-up against a bare Qt window, the engine's own time per menu step on the bench in
//   virtual time, processor use and the longest stall of the window's event loop during a
//   real-time run with pauses and a one-second time-out, and peak memory against the bare window;
//   then gpibconfig-cli's own time per function of `show` and `set`, and the bus calls of a
//   restore onto an identical unit (see cli_figures.h).
// Prints a Markdown table. Usage: bench_runner <startup_program> <startup_bare> <startup_label>
// [runs]
#include "cli_figures.h"
#include "gpib/ThreadedDriver.h"
#include "models/Models.h"
#include "support/Harness.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <algorithm>
#include <cstdio>
#include <sys/resource.h>
#include <vector>

using namespace gpibconfig;
using namespace gpibconfig::test;

namespace {

double median(std::vector<double> v)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

double percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, static_cast<std::size_t>(p * static_cast<double>(v.size())))];
}

struct Launch {
    double seconds = 0;
    long maxRssKb = 0;
};

Launch launch(const QString& program)
{
    QProcess process;
    QElapsedTimer timer;
    timer.start();
    process.start(program, {});
    Launch result;
    if (!process.waitForStarted(10000))
        return result;
    QByteArray out;
    while (!out.contains('\n') && process.waitForReadyRead(20000))
        out += process.readAllStandardOutput();
    result.seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
    const QList<QByteArray> words = out.trimmed().split(' ');
    if (words.size() == 2 && words[0] == "shown")
        result.maxRssKb = words[1].toLong();
    process.waitForFinished(10000);
    return result;
}

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// The engine's time per step over full runs of all 27 entries, in virtual time (the specified
// pauses take no time there, so what is measured is the program's own work and the bench's).
std::vector<double> engineSteps()
{
    std::vector<double> steps;
    const QStringList entries = modelEntries();
    for (int n = 0; n < entries.size(); ++n) {
        const QString entry = entries.at(n);
        Harness h;
        const bool four = entry == QLatin1String("7379");
        for (int ch = 1; ch <= (four ? 4 : 1); ++ch)
            h.channelAnswers.push_back(QString::number(ch));
        h.configure(entry, [&](ConfigWindow& window) {
            Run run{window};
            QElapsedTimer t;
            const auto timed = [&](const std::function<void()>& step) {
                t.start();
                step();
                steps.push_back(static_cast<double>(t.nsecsElapsed()) / 1e6);
            };
            for (int ch = 1; ch <= (four ? 4 : 1); ++ch) {
                if (ch == 1)
                    timed([&] { run.setAddress(QString::number(n + 1)); });
                else
                    timed([&] { run.click(ctl::cmdNextCh); });
                const int count = window.logic().currentModel()->menu->count();
                for (int f = 1; f <= count; ++f)
                    timed([&] { run.enter(); });
            }
            timed([&] { run.click(ctl::cmdSav); });
            run.click(ctl::cmdDone);
        });
    }
    return steps;
}

struct RealTime {
    double wall = 0;
    double cpu = 0;
    double longestStallMs = 0;
};

// A run of the 7357 in real time: its pauses, and one query whose reply never comes (the
// one-second time-out), while a 5 ms timer watches the window thread's event loop.
RealTime realTimeRun(bool busThread)
{
    auto bench = sim::makeDefaultBench(sim::Bench::Timing::Real);
    std::unique_ptr<ThreadedDriver> threaded;
    Driver* driver = &bench->driver();
    if (busThread) {
        // The bench's waits then happen on the bus thread, as a real driver's do.
        threaded = std::make_unique<ThreadedDriver>(std::make_unique<PassThrough>(bench->driver()));
        driver = threaded.get();
    }
    ProgramState state;
    GPIB32 gpib(*driver);
    CountingNotifier notifier;
    AppContext app{state, gpib, bench->clock(), notifier};
    const auto unit = bench->unitId("7357");

    QElapsedTimer gap;
    double longest = 0;
    QTimer watch;
    watch.setTimerType(Qt::PreciseTimer);
    QElapsedTimer since;
    since.start();
    QObject::connect(&watch, &QTimer::timeout, [&] {
        const double g = static_cast<double>(gap.nsecsElapsed()) / 1e6;
        if (qEnvironmentVariableIsSet("BENCH_DEBUG") && g > 20)
            std::fprintf(stderr, "gap %.1f ms at %.3f s (trace %zu)\n", g,
                         static_cast<double>(since.nsecsElapsed()) / 1e9, bench->trace().size());
        longest = std::max(longest, g);
        gap.restart();
    });

    RealTime result;
    MainWindow main(app);
    main.show();
    main.setConfigWindowHook([&](ConfigWindow& window) {
        QTimer::singleShot(0, &window, [&] {
            Run run{window};
            const double cpu0 = cpuSeconds();
            QElapsedTimer wall;
            wall.start();
            gap.start();
            watch.start(5);
            bench->setSilent(unit, true); // the first query times out after one second
            run.setAddress(QStringLiteral("17"));
            bench->setSilent(unit, false);
            run.enter();
            run.enter(QStringLiteral("16")); // a setting: 0.2 s pause
            run.enter();
            run.enter(QStringLiteral("8"));
            run.enter();
            run.click(ctl::cmdSav);
            watch.stop();
            result.wall = static_cast<double>(wall.nsecsElapsed()) / 1e9;
            result.cpu = cpuSeconds() - cpu0;
            result.longestStallMs = longest;
            run.click(ctl::cmdDone);
        });
    });
    auto* list = main.findChild<QListWidget*>(ctl::listUnit);
    list->setCurrentRow(16);
    QTest::mouseClick(main.findChild<QWidget*>(ctl::cmdConfig), Qt::LeftButton);
    return result;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s <startup_program> <startup_bare> <startup_label> [runs]\n",
                     argv[0]);
        return 2;
    }
    const QString program = QString::fromLocal8Bit(argv[1]);
    const QString bare = QString::fromLocal8Bit(argv[2]);
    const QString label = QString::fromLocal8Bit(argv[3]);
    const int runs = argc > 4 ? std::max(1, std::atoi(argv[4])) : 15;

    // Each round starts the three one after the other, so the machine's load is much the same
    // for all three; the ratios are taken within a round, and their median reported.
    std::vector<double> programTimes, bareTimes, labelTimes;
    std::vector<double> toBare, toLabel, programRss, bareRss, rssRatio;
    for (const QString& warm : {program, bare, label})
        launch(warm); // the file cache, for all alike
    for (int i = 0; i < runs; ++i) {
        const Launch p = launch(program);
        const Launch b = launch(bare);
        const Launch l = launch(label);
        programTimes.push_back(p.seconds);
        bareTimes.push_back(b.seconds);
        labelTimes.push_back(l.seconds);
        toBare.push_back(p.seconds / std::max(1e-9, b.seconds));
        toLabel.push_back(p.seconds / std::max(1e-9, l.seconds));
        programRss.push_back(static_cast<double>(p.maxRssKb));
        bareRss.push_back(static_cast<double>(b.maxRssKb));
        rssRatio.push_back(static_cast<double>(p.maxRssKb) /
                           std::max(1.0, static_cast<double>(b.maxRssKb)));
    }

    const std::vector<double> steps = engineSteps();
    const RealTime onWindowThread = realTimeRun(false);
    const RealTime onBusThread = realTimeRun(true);

    QStringList problems;
    constexpr int kCliRounds = 5;
    const benchmarks::FunctionTimes shown = benchmarks::cliShowTimes(kCliRounds, problems);
    const benchmarks::FunctionTimes set = benchmarks::cliSetTimes(kCliRounds, problems);
    const benchmarks::RestoreCalls restored = benchmarks::cliRestoreCalls(problems);

    std::printf("| measure | result | goal |\n|---|---|---|\n");
    std::printf("| start-up to main window shown (median of %d) | %.1f ms, bare Qt window %.1f ms: "
                "ratio %.2f | |\n",
                runs, median(programTimes) * 1e3, median(bareTimes) * 1e3, median(toBare));
    std::printf("| start-up against a bare window with one label (median of %d) | %.1f ms: ratio "
                "%.2f | within 1.1 |\n",
                runs, median(labelTimes) * 1e3, median(toLabel));
    std::printf("| engine time per step, 27 entries in virtual time (%zu steps) | median %.3f ms, "
                "95th percentile %.3f ms, max %.3f ms | median under 1 ms |\n",
                steps.size(), median(steps), percentile(steps, 0.95),
                steps.empty() ? 0.0 : *std::max_element(steps.begin(), steps.end()));
    for (const auto& [name, r] : {std::pair{"bench on the window thread", onWindowThread},
                                  std::pair{"driver on the bus thread", onBusThread}}) {
        std::printf("| processor time / wall time, real-time run with pauses and a 1 s time-out "
                    "(%s) | %.1f %% (%.3f s of %.2f s) | under 5 %% |\n",
                    name, 100.0 * r.cpu / std::max(1e-9, r.wall), r.cpu, r.wall);
        std::printf("| longest stall of the window's event loop during that run (%s) | %.1f ms | "
                    "under 50 ms |\n",
                    name, r.longestStallMs);
    }
    std::printf("| peak memory (max RSS) at main window shown (median of %d) | %.1f MB, bare Qt "
                "window %.1f MB: ratio %.2f | within 1.3 |\n",
                runs, median(programRss) / 1024.0, median(bareRss) / 1024.0, median(rssRatio));
    for (const auto& [what, t] :
         {std::pair{"`show` of every entry", shown},
          std::pair{"`set` of every function to the value it has (its old value read first)",
                    set}}) {
        // Microseconds: a function's work is far below a millisecond.
        std::printf("| gpibconfig-cli's own time per function, in process on the bench in virtual "
                    "time: %s (%zu functions in %zu commands) | median %.1f µs, 95th percentile "
                    "%.1f µs (with the simulated units' work: %.1f µs, %.1f µs); per command "
                    "median %.0f µs | |\n",
                    what, t.ownMs.size(), t.commandOwnMs.size(), median(t.ownMs) * 1e3,
                    percentile(t.ownMs, 0.95) * 1e3, median(t.withBenchMs) * 1e3,
                    percentile(t.withBenchMs, 0.95) * 1e3, median(t.commandOwnMs) * 1e3);
    }
    std::printf("| gpibconfig-cli `restore` of a unit's own backup onto an identical unit, %d "
                "entries | %.0f driver calls per restore (median; %.0f to %.0f), %d settings sent, "
                "%d *SAV 0 | no setting sent |\n",
                restored.restores, median(restored.driverCalls),
                restored.driverCalls.empty()
                    ? 0.0
                    : *std::min_element(restored.driverCalls.begin(), restored.driverCalls.end()),
                restored.driverCalls.empty()
                    ? 0.0
                    : *std::max_element(restored.driverCalls.begin(), restored.driverCalls.end()),
                restored.settingsSent, restored.saves);
    // A command that failed makes its figures meaningless: say so, and fail the run.
    for (const QString& problem : problems)
        std::fprintf(stderr, "bench_runner: %s\n", qPrintable(problem));
    return problems.isEmpty() ? 0 : 1;
}
