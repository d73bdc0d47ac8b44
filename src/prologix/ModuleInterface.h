// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The few C entry points of the gpibconfig-prologix module. The programs open the module only
// when a Prologix controller is chosen (or the serial ports are listed), so that the window's
// start-up does not load Qt Network, Qt Serial Port and the libraries behind them.
//
// Module and programs come from one build: the interface number only guards against a stale
// module left from another version.

#include <QStringList>

namespace gpibconfig {
class Driver;
}

namespace gpibconfig::prologix {

inline constexpr int kModuleInterface = 1;
inline constexpr char kModuleName[] = "gpibconfig-prologix";

inline constexpr char kInterfaceSymbol[] = "gpibconfig_prologix_interface";
inline constexpr char kOpenSerialSymbol[] = "gpibconfig_prologix_open_serial";
inline constexpr char kOpenTcpSymbol[] = "gpibconfig_prologix_open_tcp";
inline constexpr char kSerialPortsSymbol[] = "gpibconfig_prologix_serial_ports";

using InterfaceFunction = int (*)();
// The caller owns the driver returned; never null.
using OpenSerialFunction = Driver* (*)(const QString& port);
using OpenTcpFunction = Driver* (*)(const QString& host, quint16 port);
// One line per serial port: its location, then what the system knows of it.
using SerialPortsFunction = void (*)(QStringList& lines);

} // namespace gpibconfig::prologix
