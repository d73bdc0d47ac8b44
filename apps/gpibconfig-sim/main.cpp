#include "sim/Bench.h"
#include "simui/BenchWindow.h"
#include "ui/Application.h"
#include "ui/MainWindow.h"

#include <QApplication>
#include <cstdio>
#include <string>

int main(int argc, char** argv)
{
    using namespace gpibconfig;

    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("gpibconfig-sim"));

    // Real timing: the program's pauses and time-outs take as long as on a real bus.
    // Declared before the window so it is destroyed after it: the window's destructor takes its
    // listeners off a bench that still exists.
    const auto bench = sim::makeDefaultBench(sim::Bench::Timing::Real);
    // One line per call, flushed at once, so a pipe or a terminal shows the bus as it happens.
    bench->trace().addListener([](const BusCall& record) {
        std::fputs(record.traceLine().c_str(), stdout);
        std::fputc('\n', stdout);
        std::fflush(stdout);
    });

    sim::BenchWindow benchWindow(*bench);
    return runGpibConfig(bench->driver(), bench->clock(), [&benchWindow](MainWindow& mainWindow) {
        sim::keepBenchUsableUnderDialogs(mainWindow);
        benchWindow.showBeside(mainWindow);
    });
}
