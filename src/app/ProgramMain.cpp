// SPDX-License-Identifier: GPL-3.0-or-later
#include "ProgramMain.h"

#include "Controllers.h"
#include "drivers/DriverSpec.h"
#include "drivers/TraceFile.h"
#include "gpib/Driver.h"
#include "gpib/ThreadedDriver.h"
#include "gpib/TracingDriver.h"
#include "time/RealClock.h"
#include "ui/Application.h"
#include "ui/MainWindow.h"

#include <QApplication>
#include <QCommandLineParser>
#include <cstdio>
#include <optional>

namespace gpibconfig {

int gpibconfigMain(int argc, char** argv, const std::function<void(MainWindow&)>& onShown)
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("gpibconfig"));
    QApplication::setApplicationVersion(QStringLiteral(GPIBCONFIG_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Configures GPIB interface units through the system's GPIB driver, a "
                       "Prologix-protocol controller or a VXI-11 LAN/GPIB gateway."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption driverOption(
        QStringLiteral("driver"),
        QStringLiteral("The driver: system, prologix:PORT, prologix-tcp:HOST[:PORT], "
                       "vxi11:HOST[:PORT][,INTERFACE], or list to show the drivers and serial "
                       "ports. Without it: %1, then the settings file, then system.")
            .arg(QString::fromLatin1(kDriverEnvironmentVariable)),
        QStringLiteral("spec"));
    parser.addOption(driverOption);
    const QCommandLineOption traceOption(
        QStringLiteral("trace"),
        QStringLiteral("Write every driver call in the bench's trace format to the file (- for "
                       "standard error), to send with a problem report."),
        QStringLiteral("file"));
    parser.addOption(traceOption);
    const QCommandLineOption chooseOption(
        QStringLiteral("choose-controller"),
        QStringLiteral("Open the choice of GPIB controller when the window appears: the system "
                       "library, the serial ports found (Prologix GPIB-USB, AR488) or a "
                       "GPIB-ETHERNET controller's host. The choice is used from the next "
                       "Configure and saved in the settings file for the next starts; the window "
                       "also offers it in a driver's explanation and with %1.")
            .arg(QString::fromLatin1(kChooseControllerKeys)));
    parser.addOption(chooseOption);

    const auto usageError = [](const QString& message) {
        std::fprintf(stderr, "gpibconfig: %s\n", qUtf8Printable(message));
        return kExitUsage;
    };
    if (!parser.parse(QApplication::arguments()))
        return usageError(parser.errorText());
    if (parser.isSet(help))
        parser.showHelp(0);
    if (parser.isSet(version))
        parser.showVersion();
    if (!parser.positionalArguments().isEmpty())
        return usageError(QStringLiteral("unexpected argument \"%1\"")
                              .arg(parser.positionalArguments().constFirst()));

    const auto chosen = chooseDriver(
        parser.isSet(driverOption) ? std::optional(parser.value(driverOption)) : std::nullopt,
        driverFromEnvironment(), driverFromSettings());
    if (const auto* error = std::get_if<QString>(&chosen))
        return usageError(*error);
    const DriverChoice choice = std::get<DriverChoice>(chosen);
    const DriverSpec& spec = choice.spec;
    if (spec.kind == DriverSpec::Kind::List) {
        QString problem;
        std::fputs(qUtf8Printable(driverListText(&problem)), stdout);
        if (problem.isEmpty())
            return 0;
        std::fprintf(stderr, "gpibconfig: %s\n", qUtf8Printable(problem));
        return 2;
    }
    if (spec.kind == DriverSpec::Kind::Sim)
        return usageError(QStringLiteral("the sim driver is for the command-line tool; "
                                         "gpibconfig-sim runs this window on the simulated bench"));

    std::optional<TracingDriver::Sink> trace;
    if (parser.isSet(traceOption)) {
        QString error;
        trace = traceFileSink(
            parser.value(traceOption),
            [](const QString& text) {
                std::fputs(text.toUtf8().constData(), stderr);
                std::fflush(stderr);
            },
            &error);
        if (!trace)
            return usageError(error);
    }
    // Made on the bus thread at the first call: the window is up before any driver library is
    // opened. The operator may choose another controller later; it is made the same way.
    const auto make = [trace](const DriverSpec& chosenSpec) -> std::unique_ptr<Driver> {
        std::unique_ptr<Driver> inner = makeDriver(chosenSpec);
        // Inside the threaded driver: the tracer reads the status of each call on the bus
        // thread, where the driver keeps it.
        if (trace)
            inner = std::make_unique<TracingDriver>(std::move(inner), *trace);
        return inner;
    };
    ThreadedDriver driver([make, spec] { return make(spec); });
    ProgramControllers controllers(driver, choice, make);
    RealClock clock;
    const bool chooseAtStart = parser.isSet(chooseOption);
    return runGpibConfig(driver, clock, [&](MainWindow& window) {
        controllers.attach(window);
        if (chooseAtStart)
            controllers.chooseController(&window);
        if (onShown)
            onShown(window);
    });
}

} // namespace gpibconfig
