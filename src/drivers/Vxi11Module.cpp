// SPDX-License-Identifier: GPL-3.0-or-later
#include "Vxi11Module.h"

#include "DriverModule.h"
#include "gpib/Driver.h"
#include "vxi11/ModuleInterface.h"

namespace gpibconfig {

std::unique_ptr<Driver> openVxi11(const QString& host, quint16 port, const QString& interfaceName)
{
    // Opened once; the library stays loaded for the rest of the run.
    static const DriverModule module(DriverModuleSpec{vxi11::kModuleName,
                                                      vxi11::kInterfaceSymbol,
                                                      vxi11::kModuleInterface,
                                                      {QString::fromLatin1(vxi11::kOpenSymbol)}});
    const auto open = reinterpret_cast<vxi11::OpenFunction>(module.entry(vxi11::kOpenSymbol));
    if (!open)
        return unavailableDriver(QStringLiteral("VXI-11 driver module"), vxi11::kModuleName,
                                 module.error());
    return std::unique_ptr<Driver>(open(host, port, interfaceName));
}

} // namespace gpibconfig
