// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <memory>
#include <optional>
#include <variant>

namespace gpibconfig {

class Driver;

// Which driver to run on, as the operator writes it:
//
//   system                   the NI-488.2 compatible library of the machine (the default)
//   prologix:PORT            a Prologix GPIB-USB controller or an AR488 board on a serial port
//                            (/dev/ttyUSB0, /dev/ttyACM0, COM3)
//   prologix-tcp:HOST[:PORT] a Prologix GPIB-ETHERNET controller (port 1234 unless given;
//                            an IPv6 address in brackets: [fe80::1]:1234)
//   vxi11:HOST[:PORT][,INTERFACE]
//                            a LAN/GPIB gateway speaking VXI-11 (E5810-class, ICS 8065-class);
//                            without PORT the gateway's portmapper names the core channel's
//                            port; INTERFACE is its GPIB interface's name, gpib0 unless given
//   sim                      the simulated bench (for the command-line tool)
//   list                     print the drivers and the serial ports found, and stop
//
// The kind is case-insensitive; blanks around the whole are ignored.
struct DriverSpec {
    enum class Kind { System, PrologixSerial, PrologixTcp, Vxi11, Sim, List };

    Kind kind = Kind::System;
    QString port;          // PrologixSerial: the serial port
    QString host;          // PrologixTcp, Vxi11
    quint16 tcpPort = 0;   // PrologixTcp; Vxi11: the core channel's port, 0 to ask the portmapper
    QString interfaceName; // Vxi11: the gateway's GPIB interface ("gpib0")

    // Parses one --driver value; on failure the error says what is wrong and what is accepted.
    static std::variant<DriverSpec, QString> parse(const QString& text);

    // The --driver value written back in the form parse() accepts.
    QString toString() const;
    bool operator==(const DriverSpec&) const = default;
};

// Where the driver in force was chosen, highest precedence first.
enum class DriverSource { Option, Environment, Settings, Default };

struct DriverChoice {
    DriverSpec spec;
    DriverSource source = DriverSource::Default;
};

// The GPIB interface of a VXI-11 gateway when the --driver value names none.
inline constexpr char kDefaultVxi11Interface[] = "gpib0";

// The name of the environment variable and of the settings key.
inline constexpr char kDriverEnvironmentVariable[] = "GPIBCONFIG_DRIVER";
inline constexpr char kDriverSettingsKey[] = "driver";

// The driver in force: the --driver option, else the environment variable, else the settings
// file, else the system library. Empty values count as not given. On a bad value the error names
// where it came from, e.g. "GPIBCONFIG_DRIVER: unknown driver \"gpib\" ...".
std::variant<DriverChoice, QString> chooseDriver(const std::optional<QString>& option,
                                                 const std::optional<QString>& environment,
                                                 const std::optional<QString>& settings);

// The value of GPIBCONFIG_DRIVER, and of "driver" in the settings file of the platform's usual
// place (~/.config/gpibconfig/gpibconfig.conf on Linux, the registry on Windows).
std::optional<QString> driverFromEnvironment();
std::optional<QString> driverFromSettings();
// Writes the choice to that key of the settings file; empty when it is written, else why not.
QString saveDriverSetting(const DriverSpec& spec);

// The driver for a choice of kind System, PrologixSerial, PrologixTcp or Vxi11; null for Sim and
// List, which the caller handles.
std::unique_ptr<Driver> makeDriver(const DriverSpec& spec);

// What the main window's title adds for the driver ("Prologix 192.168.1.50",
// "Prologix /dev/ttyUSB0", "VXI-11 192.168.1.60"); empty for the system library.
QString driverTitleSuffix(const DriverSpec& spec);

// The text of --driver list: the drivers and the serial ports found. When the serial ports cannot
// be listed (the Prologix module cannot be opened), `problem` says why; the programs then exit
// with a failure after the list.
QString driverListText(QString* problem = nullptr);

// Exit status for a bad command line (sysexits' EX_USAGE).
inline constexpr int kExitUsage = 64;

} // namespace gpibconfig
