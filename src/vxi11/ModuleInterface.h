// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The C entry points of the gpibconfig-vxi11 module. The programs open it only when a VXI-11
// gateway is chosen, so that neither the window's start-up nor the command line loads Qt Network
// for the other drivers.
//
// Module and programs come from one build: the interface number only guards against a stale
// module left from another version. It goes up whenever what crosses here changes shape, the
// Driver class (its virtual calls) included.

#include <QString>

namespace gpibconfig {
class Driver;
}

namespace gpibconfig::vxi11 {

inline constexpr int kModuleInterface = 1;
inline constexpr char kModuleName[] = "gpibconfig-vxi11";

inline constexpr char kInterfaceSymbol[] = "gpibconfig_vxi11_interface";
inline constexpr char kOpenSymbol[] = "gpibconfig_vxi11_open";

using InterfaceFunction = int (*)();
// A driver for the gateway at `host`: its core channel at `port`, or where the portmapper says
// when `port` is 0; `interfaceName` is its GPIB interface ("gpib0"). The caller owns the driver
// returned; never null. No connection is made before the first call.
using OpenFunction = Driver* (*)(const QString& host, quint16 port, const QString& interfaceName);

} // namespace gpibconfig::vxi11
