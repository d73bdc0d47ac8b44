// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The few C entry points of the gpibconfig-prologix module. The programs open the module only
// when a Prologix controller is chosen (or the serial ports are listed), so that the window's
// start-up does not load Qt Network, Qt Serial Port and the libraries behind them.
//
// Module and programs come from one build: the interface number only guards against a stale
// module left from another version. It goes up whenever what crosses here changes shape, the
// Driver class (its virtual calls) included: 3 since every Driver call returns its status.

#include <QList>
#include <QString>
#include <optional>

namespace gpibconfig {
class Driver;
}

namespace gpibconfig::prologix {

inline constexpr int kModuleInterface = 3;
inline constexpr char kModuleName[] = "gpibconfig-prologix";

inline constexpr char kInterfaceSymbol[] = "gpibconfig_prologix_interface";
inline constexpr char kOpenSerialSymbol[] = "gpibconfig_prologix_open_serial";
inline constexpr char kOpenTcpSymbol[] = "gpibconfig_prologix_open_tcp";
inline constexpr char kSerialPortsSymbol[] = "gpibconfig_prologix_serial_ports";

// A serial port as the system describes it. A USB adapter tells what it is (a Prologix GPIB-USB
// controller says so in its description; an Arduino board carrying AR488 names its maker and has
// the maker's USB vendor number); a built-in port has only its location.
struct SerialPort {
    QString location;     // /dev/ttyUSB0, COM3
    QString description;  // the USB product string, e.g. "Prologix GPIB-USB Controller"
    QString manufacturer; // the USB manufacturer string
    QString serialNumber;
    std::optional<quint16> vendorId; // USB identifiers, when the port is a USB device
    std::optional<quint16> productId;
};

using InterfaceFunction = int (*)();
// The caller owns the driver returned; never null.
using OpenSerialFunction = Driver* (*)(const QString& port);
using OpenTcpFunction = Driver* (*)(const QString& host, quint16 port);
// Every serial port the system knows, in the system's order.
using SerialPortsFunction = void (*)(QList<SerialPort>& ports);

} // namespace gpibconfig::prologix
