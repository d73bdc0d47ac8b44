// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/Bench.h"
#include "sim/vxi11/SimulatedGateway.h"
#include "simui/BenchWindow.h"
#include "ui/Application.h"
#include "ui/MainWindow.h"
#if defined(Q_OS_UNIX)
#include "sim/prologix/SimulatedPrologix.h"
#endif

#include <QApplication>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <cstdio>
#include <memory>
#include <string>

#if defined(Q_OS_UNIX)
#include <QSocketNotifier>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>
#elif defined(Q_OS_WIN)
#include <windows.h>
#endif

namespace {

using namespace gpibconfig;

constexpr int kUsageError = 64; // EX_USAGE

struct Options {
    bool noWindow = false;
    bool servePrologix = false;
    bool serveVxi11 = false;
    QString firmware = QStringLiteral("prologix");
    bool firmwareGiven = false;
};

void setNames()
{
    QCoreApplication::setApplicationName(QStringLiteral("gpibconfig-sim"));
    QCoreApplication::setApplicationVersion(QStringLiteral(GPIBCONFIG_VERSION));
}

// Reads the command line with a core application only, so --help, --version and --no-window
// need no display. Exits for --help, --version and a command line it cannot read.
Options readOptions(int argc, char** argv)
{
    QCoreApplication core(argc, argv);
    setNames();
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Runs gpibconfig on a bench of simulated GPIB interface units, one of each "
                       "model, with a window showing the units, their settings and every driver "
                       "call; the calls are also printed to standard output. With --no-window it "
                       "only serves the bench to other programs, through the controllers it "
                       "simulates."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption noWindow(
        QStringLiteral("no-window"),
        QStringLiteral("Open no window and need no display: serve the bench through "
                       "--serve-prologix and/or --serve-vxi11, print where, and run until "
                       "interrupted (SIGINT or SIGTERM), so that one bench keeps its state "
                       "across the commands of a script."));
    parser.addOption(noWindow);
    const QCommandLineOption serveVxi11(
        QStringLiteral("serve-vxi11"),
        QStringLiteral("Also serve the bench through a simulated LAN/GPIB gateway (VXI-11) on "
                       "127.0.0.1: the core channel on a free port, a portmapper on port 111 "
                       "when it can be had and on a free port. Devices gpib0,PAD and "
                       "gpib0,PAD,SAD; the interface gpib0. Prints the --driver value to give "
                       "gpibconfig and the portmappers' ports."));
    parser.addOption(serveVxi11);
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
    parser.process(core);

    Options options;
    options.noWindow = parser.isSet(noWindow);
    options.serveVxi11 = parser.isSet(serveVxi11);
#if defined(Q_OS_UNIX)
    options.servePrologix = parser.isSet(servePrologix);
    options.firmware = parser.value(firmware);
    options.firmwareGiven = parser.isSet(firmware);
#endif
    return options;
}

#if defined(Q_OS_UNIX)
int g_signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char byte = 1;
    // Nothing else is safe in a signal handler; the event loop reads the byte and quits.
    [[maybe_unused]] const ssize_t written = ::write(g_signalPipe[1], &byte, 1);
}
#elif defined(Q_OS_WIN)
BOOL WINAPI onConsoleEvent(DWORD)
{
    QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit,
                              Qt::QueuedConnection);
    return TRUE;
}
#endif

// SIGINT and SIGTERM (Ctrl+C and Ctrl+Break on Windows) end the event loop, so main returns and
// everything is taken down in order.
void quitOnSignals()
{
#if defined(Q_OS_UNIX)
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalPipe) != 0) {
        std::perror("gpibconfig-sim: socketpair");
        return;
    }
    auto* notifier =
        new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, [] {
        char byte = 0;
        [[maybe_unused]] const ssize_t got = ::read(g_signalPipe[0], &byte, 1);
        QCoreApplication::quit();
    });
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
#elif defined(Q_OS_WIN)
    SetConsoleCtrlHandler(onConsoleEvent, TRUE);
#endif
}

// The controllers in front of the bench that the options ask for, and where they serve.
struct Servers {
#if defined(Q_OS_UNIX)
    std::unique_ptr<sim::SimulatedPrologix> prologix;
#endif
    std::unique_ptr<sim::vxi11::SimulatedGateway> gateway;
};

bool serve(const Options& options, sim::Bench& bench, Servers& servers)
{
#if defined(Q_OS_UNIX)
    const auto chosen = sim::SimulatedPrologix::firmwareNamed(options.firmware);
    if (!chosen) {
        std::fprintf(
            stderr, "gpibconfig-sim: unknown firmware \"%s\" (%s)\n", qPrintable(options.firmware),
            qPrintable(sim::SimulatedPrologix::firmwareNames().join(QStringLiteral(", "))));
        return false;
    }
    if (options.firmwareGiven && !options.servePrologix) {
        std::fprintf(stderr, "gpibconfig-sim: --prologix-firmware needs --serve-prologix\n");
        return false;
    }
    if (options.servePrologix) {
        servers.prologix = std::make_unique<sim::SimulatedPrologix>(bench, *chosen);
        // An Arduino's bootloader runs for about a second (AR488 manual, "Driver Installation").
        if (*chosen != sim::SimulatedPrologix::Firmware::Prologix)
            servers.prologix->setResetOnOpen(1000);
        const QString pty = servers.prologix->servePty();
        quint16 port = servers.prologix->serveTcp(1234);
        if (port == 0)
            port = servers.prologix->serveTcp(0);
        std::printf("# simulated %s controller: gpibconfig --driver prologix:%s, or "
                    "gpibconfig --driver prologix-tcp:127.0.0.1:%u\n",
                    qPrintable(options.firmware), qPrintable(pty), static_cast<unsigned>(port));
    }
#endif
    if (options.serveVxi11) {
        servers.gateway = std::make_unique<sim::vxi11::SimulatedGateway>(bench);
        const quint16 core = servers.gateway->serve(0);
        if (core == 0) {
            std::fprintf(stderr, "gpibconfig-sim: the simulated VXI-11 gateway found no free port "
                                 "on 127.0.0.1\n");
            return false;
        }
        std::printf("# simulated VXI-11 gateway: gpibconfig --driver vxi11:127.0.0.1:%u\n",
                    static_cast<unsigned>(core));
        // VISA libraries find the core channel through the portmapper on port 111, which takes
        // root on most systems and may belong to the system's own rpcbind.
        if (servers.gateway->servePortmapper(111) != 0)
            std::printf("# VXI-11 portmapper: 127.0.0.1:111 (VISA resources "
                        "TCPIP::127.0.0.1::gpib0,<address>::INSTR)\n");
        else
            std::printf("# VXI-11 portmapper: none on port 111 (%s)\n",
                        qPrintable(servers.gateway->portmapperError()));
        if (const quint16 spare = servers.gateway->servePortmapper(0))
            std::printf("# VXI-11 portmapper: 127.0.0.1:%u\n", static_cast<unsigned>(spare));
    }
    std::fflush(stdout);
    return true;
}

void printTrace(sim::Bench& bench)
{
    // One line per call, flushed at once, so a pipe or a terminal shows the bus as it happens.
    bench.trace().addListener([](const BusCall& record) {
        std::fputs(record.traceLine().c_str(), stdout);
        std::fputc('\n', stdout);
        std::fflush(stdout);
    });
}

} // namespace

int main(int argc, char** argv)
{
    const Options options = readOptions(argc, argv);
    if (options.noWindow && !options.servePrologix && !options.serveVxi11) {
        std::fprintf(stderr, "gpibconfig-sim: --no-window needs --serve-prologix or "
                             "--serve-vxi11\n");
        return kUsageError;
    }

    if (options.noWindow) {
        QCoreApplication application(argc, argv);
        setNames();
        // Real timing: the units' replies and the time-outs take as long as on a real bus.
        const auto bench = sim::makeDefaultBench(sim::Bench::Timing::Real);
        printTrace(*bench);
        Servers servers;
        if (!serve(options, *bench, servers))
            return kUsageError;
        quitOnSignals();
        std::printf("# serving until interrupted (SIGINT or SIGTERM)\n");
        std::fflush(stdout);
        return QCoreApplication::exec();
    }

    QApplication application(argc, argv);
    setNames();
    // Real timing: the program's pauses and time-outs take as long as on a real bus.
    // Declared before the window so it is destroyed after it: the window's destructor takes its
    // listeners off a bench that still exists.
    const auto bench = sim::makeDefaultBench(sim::Bench::Timing::Real);
    printTrace(*bench);
    Servers servers;
    if (!serve(options, *bench, servers))
        return kUsageError;

    sim::BenchWindow benchWindow(*bench);
    return runGpibConfig(bench->driver(), bench->clock(), [&benchWindow](MainWindow& mainWindow) {
        sim::keepBenchUsableUnderDialogs(mainWindow);
        benchWindow.showBeside(mainWindow);
    });
}
