// SPDX-License-Identifier: GPL-3.0-or-later
// The entry points of the gpibconfig-prologix module (see ModuleInterface.h).
#include "ModuleInterface.h"
#include "PrologixDriver.h"

#include <QSerialPortInfo>
#include <type_traits>

using namespace gpibconfig;

// The signatures must stay those of ModuleInterface.h: the loader casts to them.
extern "C" {

Q_DECL_EXPORT int gpibconfig_prologix_interface() { return prologix::kModuleInterface; }

Q_DECL_EXPORT Driver* gpibconfig_prologix_open_serial(const QString& port)
{
    return prologix::PrologixDriver::serial(port).release();
}

Q_DECL_EXPORT Driver* gpibconfig_prologix_open_tcp(const QString& host, quint16 port)
{
    return prologix::PrologixDriver::tcp(host, port).release();
}

Q_DECL_EXPORT void gpibconfig_prologix_serial_ports(QList<prologix::SerialPort>& ports)
{
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        prologix::SerialPort port;
        port.location = info.systemLocation();
        port.description = info.description();
        port.manufacturer = info.manufacturer();
        port.serialNumber = info.serialNumber();
        if (info.hasVendorIdentifier() && info.hasProductIdentifier()) {
            port.vendorId = info.vendorIdentifier();
            port.productId = info.productIdentifier();
        }
        ports << port;
    }
}

} // extern "C"

// Compile-time check that the definitions above match the types the loader casts to.
static_assert(
    std::is_same_v<decltype(&gpibconfig_prologix_interface), prologix::InterfaceFunction>);
static_assert(
    std::is_same_v<decltype(&gpibconfig_prologix_open_serial), prologix::OpenSerialFunction>);
static_assert(std::is_same_v<decltype(&gpibconfig_prologix_open_tcp), prologix::OpenTcpFunction>);
static_assert(
    std::is_same_v<decltype(&gpibconfig_prologix_serial_ports), prologix::SerialPortsFunction>);
