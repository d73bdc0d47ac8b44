// SPDX-License-Identifier: GPL-3.0-or-later
// The entry points of the gpibconfig-vxi11 module (see ModuleInterface.h).
#include "ModuleInterface.h"
#include "Vxi11Driver.h"

#include <type_traits>

using namespace gpibconfig;

// The signatures must stay those of ModuleInterface.h: the loader casts to them.
extern "C" {

Q_DECL_EXPORT int gpibconfig_vxi11_interface() { return vxi11::kModuleInterface; }

Q_DECL_EXPORT Driver* gpibconfig_vxi11_open(const QString& host, quint16 port,
                                            const QString& interfaceName)
{
    return new vxi11::Vxi11Driver(host, port, interfaceName);
}

} // extern "C"

// Compile-time check that the definitions above match the types the loader casts to.
static_assert(std::is_same_v<decltype(&gpibconfig_vxi11_interface), vxi11::InterfaceFunction>);
static_assert(std::is_same_v<decltype(&gpibconfig_vxi11_open), vxi11::OpenFunction>);
