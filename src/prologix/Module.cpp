// SPDX-License-Identifier: GPL-3.0-or-later
// The entry points of the gpibconfig-prologix module (see ModuleInterface.h).
#include "ModuleInterface.h"
#include "PrologixDriver.h"

#include <QSerialPortInfo>
#include <QStringList>
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

Q_DECL_EXPORT void gpibconfig_prologix_serial_ports(QStringList& lines)
{
    for (const QSerialPortInfo& port : QSerialPortInfo::availablePorts()) {
        QStringList about;
        for (const QString& part : {port.description(), port.manufacturer(), port.serialNumber()})
            if (!part.isEmpty())
                about << part;
        if (port.hasVendorIdentifier() && port.hasProductIdentifier())
            about << QStringLiteral("USB %1:%2")
                         .arg(port.vendorIdentifier(), 4, 16, QLatin1Char('0'))
                         .arg(port.productIdentifier(), 4, 16, QLatin1Char('0'));
        lines << port.systemLocation() +
                     (about.isEmpty() ? QString()
                                      : QStringLiteral("  ") + about.join(QStringLiteral(", ")));
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
