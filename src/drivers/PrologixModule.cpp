// SPDX-License-Identifier: GPL-3.0-or-later
#include "PrologixModule.h"

#include "DriverModule.h"
#include "gpib/Driver.h"
#include "prologix/ModuleInterface.h"

namespace gpibconfig {

namespace {

// Opened once; the library stays loaded for the rest of the run.
const DriverModule& module()
{
    static const DriverModule loaded(DriverModuleSpec{
        prologix::kModuleName,
        prologix::kInterfaceSymbol,
        prologix::kModuleInterface,
        {QString::fromLatin1(prologix::kOpenSerialSymbol),
         QString::fromLatin1(prologix::kOpenTcpSymbol),
         QString::fromLatin1(prologix::kSerialPortsSymbol)}});
    return loaded;
}

std::unique_ptr<Driver> unavailable()
{
    return unavailableDriver(QStringLiteral("Prologix driver module"), prologix::kModuleName,
                             module().error());
}

template <typename Function> Function entry(const char* symbol)
{
    return reinterpret_cast<Function>(module().entry(symbol));
}

} // namespace

QStringList prologixModuleCandidates() { return driverModuleCandidates(prologix::kModuleName); }

std::unique_ptr<Driver> openPrologixSerial(const QString& port)
{
    const auto open = entry<prologix::OpenSerialFunction>(prologix::kOpenSerialSymbol);
    return open ? std::unique_ptr<Driver>(open(port)) : unavailable();
}

std::unique_ptr<Driver> openPrologixTcp(const QString& host, quint16 port)
{
    const auto open = entry<prologix::OpenTcpFunction>(prologix::kOpenTcpSymbol);
    return open ? std::unique_ptr<Driver>(open(host, port)) : unavailable();
}

std::optional<QList<prologix::SerialPort>> prologixSerialPorts(QString* error)
{
    const auto list = entry<prologix::SerialPortsFunction>(prologix::kSerialPortsSymbol);
    if (!list) {
        if (error)
            *error = module().error();
        return std::nullopt;
    }
    QList<prologix::SerialPort> ports;
    list(ports);
    return ports;
}

QString serialPortAbout(const prologix::SerialPort& port)
{
    QStringList about;
    for (const QString& part : {port.description, port.manufacturer, port.serialNumber})
        if (!part.trimmed().isEmpty() && !about.contains(part.trimmed()))
            about << part.trimmed();
    if (port.vendorId && port.productId)
        about << QStringLiteral("USB %1:%2")
                     .arg(*port.vendorId, 4, 16, QLatin1Char('0'))
                     .arg(*port.productId, 4, 16, QLatin1Char('0'));
    return about.join(QStringLiteral(", "));
}

} // namespace gpibconfig
