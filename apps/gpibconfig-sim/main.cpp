// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/Bench.h"
#include "simui/BenchWindow.h"
#include "ui/Application.h"
#include "ui/MainWindow.h"
#if defined(Q_OS_UNIX)
#include "sim/prologix/SimulatedPrologix.h"
#endif

#include <QApplication>
#include <QCommandLineParser>
#include <cstdio>
#include <memory>
#include <string>

int main(int argc, char** argv)
{
    using namespace gpibconfig;

    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("gpibconfig-sim"));
    QApplication::setApplicationVersion(QStringLiteral(GPIBCONFIG_VERSION));

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

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Runs gpibconfig on a bench of simulated GPIB interface units, one of each "
                       "model, with a window showing the units, their settings and every driver "
                       "call; the calls are also printed to standard output."));
    parser.addHelpOption();
    parser.addVersionOption();
#if defined(Q_OS_UNIX)
    // The same bench behind a simulated Prologix controller, for trying gpibconfig's Prologix
    // driver without hardware.
    const QCommandLineOption servePrologix(
        QStringLiteral("serve-prologix"),
        QStringLiteral("Also serve the bench through a simulated Prologix controller on a "
                       "pseudo-terminal and on 127.0.0.1:1234 (or a free port)."));
    parser.addOption(servePrologix);
    const QCommandLineOption firmware(
        QStringLiteral("prologix-firmware"),
        QStringLiteral("The firmware the simulated controller of --serve-prologix runs: %1 "
                       "(the default is prologix). An AR488 board restarts when its "
                       "pseudo-terminal is opened, as an Arduino does.")
            .arg(sim::SimulatedPrologix::firmwareNames().join(QStringLiteral(", "))),
        QStringLiteral("firmware"), QStringLiteral("prologix"));
    parser.addOption(firmware);
#endif
    parser.process(application);
#if defined(Q_OS_UNIX)
    std::unique_ptr<sim::SimulatedPrologix> controller;
    const auto chosen = sim::SimulatedPrologix::firmwareNamed(parser.value(firmware));
    if (!chosen) {
        std::fprintf(
            stderr, "gpibconfig-sim: unknown firmware \"%s\" (%s)\n",
            qPrintable(parser.value(firmware)),
            qPrintable(sim::SimulatedPrologix::firmwareNames().join(QStringLiteral(", "))));
        return 64;
    }
    if (parser.isSet(firmware) && !parser.isSet(servePrologix)) {
        std::fprintf(stderr, "gpibconfig-sim: --prologix-firmware needs --serve-prologix\n");
        return 64;
    }
    if (parser.isSet(servePrologix)) {
        controller = std::make_unique<sim::SimulatedPrologix>(*bench, *chosen);
        // An Arduino's bootloader runs for about a second (AR488 manual, "Driver Installation").
        if (*chosen != sim::SimulatedPrologix::Firmware::Prologix)
            controller->setResetOnOpen(1000);
        const QString pty = controller->servePty();
        quint16 port = controller->serveTcp(1234);
        if (port == 0)
            port = controller->serveTcp(0);
        std::printf("# simulated %s controller: gpibconfig --driver prologix:%s, or "
                    "gpibconfig --driver prologix-tcp:127.0.0.1:%u\n",
                    qPrintable(parser.value(firmware)), qPrintable(pty),
                    static_cast<unsigned>(port));
        std::fflush(stdout);
    }
#endif

    sim::BenchWindow benchWindow(*bench);
    return runGpibConfig(bench->driver(), bench->clock(), [&benchWindow](MainWindow& mainWindow) {
        sim::keepBenchUsableUnderDialogs(mainWindow);
        benchWindow.showBeside(mainWindow);
    });
}
