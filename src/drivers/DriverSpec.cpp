// SPDX-License-Identifier: GPL-3.0-or-later
#include "DriverSpec.h"

#include "PrologixModule.h"
#include "Vxi11Module.h"
#include "gpib/SystemDriver.h"
#include "prologix/ModuleInterface.h"
#include "prologix/Transport.h"

#include <QDir>
#include <QSettings>
#include <algorithm>

namespace gpibconfig {

namespace {

const QString kAccepted = QStringLiteral(
    "use system, prologix:PORT, prologix-tcp:HOST[:PORT], vxi11:HOST[:PORT][,INTERFACE], sim or "
    "list");
// The longest interface name taken; gateways use short ones (gpib0, hpib).
constexpr qsizetype kMaxInterfaceName = 32;

struct HostPort {
    QString host;
    std::optional<quint16> port;
};

// HOST[:PORT], HOST an IPv4 address, a name, or an IPv6 address in brackets. `who` names what
// the host is of, for the message when it is missing ("the controller's").
std::variant<HostPort, QString> parseHostPort(const QString& rest, const QString& kind,
                                              const QString& who)
{
    // A URL or a path is not a host; neither is anything with blanks.
    if (std::any_of(rest.begin(), rest.end(),
                    [](QChar c) { return c.isSpace() || c == QLatin1Char('/'); }))
        return QStringLiteral("\"%1\" is not a host name or address").arg(rest);
    QString host = rest;
    QString port;
    if (host.startsWith(QLatin1Char('['))) {
        const qsizetype close = host.indexOf(QLatin1Char(']'));
        if (close < 0)
            return QStringLiteral("\"%1\": an IPv6 address needs its closing bracket").arg(rest);
        const QString after = host.mid(close + 1);
        host = host.mid(1, close - 1);
        if (!after.isEmpty()) {
            if (!after.startsWith(QLatin1Char(':')))
                return QStringLiteral("\"%1\": only :PORT may follow the address").arg(rest);
            port = after.mid(1);
            if (port.isEmpty())
                return QStringLiteral("\"%1\": the port after ':' is missing").arg(rest);
        }
    } else if (host.count(QLatin1Char(':')) == 1) {
        port = host.section(QLatin1Char(':'), 1);
        host = host.section(QLatin1Char(':'), 0, 0);
        if (port.isEmpty())
            return QStringLiteral("\"%1\": the port after ':' is missing").arg(rest);
    } else if (host.count(QLatin1Char(':')) > 1) {
        return QStringLiteral("\"%1\": write an IPv6 address in brackets, [ADDRESS]:PORT")
            .arg(rest);
    }
    if (host.isEmpty())
        return QStringLiteral("%1 needs %2 host name or address").arg(kind, who);
    if (host.contains(QLatin1Char('[')) || host.contains(QLatin1Char(']')))
        return QStringLiteral("\"%1\" is not a host name or address").arg(host);
    HostPort out{host, std::nullopt};
    if (!port.isEmpty()) {
        bool ok = false;
        const uint number = port.toUInt(&ok, 10);
        // Digits only: toUInt also takes a leading '+' and blanks.
        const bool digits = std::all_of(port.begin(), port.end(), [](QChar c) {
            return c >= QLatin1Char('0') && c <= QLatin1Char('9');
        });
        if (!ok || !digits || number == 0 || number > 65535)
            return QStringLiteral("\"%1\" is not a TCP port (1 to 65535)").arg(port);
        out.port = static_cast<quint16>(number);
    }
    return out;
}

std::variant<DriverSpec, QString> parseTcp(const QString& rest)
{
    auto parsed = parseHostPort(rest, QStringLiteral("prologix-tcp"),
                                QStringLiteral("the controller's"));
    if (auto* error = std::get_if<QString>(&parsed))
        return *error;
    const HostPort& where = std::get<HostPort>(parsed);
    DriverSpec spec;
    spec.kind = DriverSpec::Kind::PrologixTcp;
    spec.host = where.host;
    spec.tcpPort = where.port.value_or(prologix::kDefaultTcpPort);
    return spec;
}

// HOST[:PORT][,INTERFACE]: the host as for prologix-tcp, no port meaning "ask the portmapper".
std::variant<DriverSpec, QString> parseVxi11(const QString& rest)
{
    const qsizetype comma = rest.indexOf(QLatin1Char(','));
    const QString hostPart = comma < 0 ? rest : rest.left(comma).trimmed();
    auto parsed =
        parseHostPort(hostPart, QStringLiteral("vxi11"), QStringLiteral("the gateway's"));
    if (auto* error = std::get_if<QString>(&parsed))
        return *error;
    DriverSpec spec;
    spec.kind = DriverSpec::Kind::Vxi11;
    spec.host = std::get<HostPort>(parsed).host;
    spec.tcpPort = std::get<HostPort>(parsed).port.value_or(0);
    spec.interfaceName = QString::fromLatin1(kDefaultVxi11Interface);
    if (comma >= 0) {
        const QString name = rest.mid(comma + 1).trimmed();
        if (name.isEmpty())
            return QStringLiteral("\"%1\": the interface's name after ',' is missing").arg(rest);
        // The name goes into the gateway's device names ("gpib0,15"): a comma, a blank or
        // anything but letters and digits would make another name of it.
        const bool word = name.size() <= kMaxInterfaceName && name.front().isLetter() &&
                          std::all_of(name.begin(), name.end(), [](QChar c) {
                              return (c.isLetterOrNumber() && c.unicode() < 0x80) ||
                                     c == QLatin1Char('_');
                          });
        if (!word)
            return QStringLiteral("\"%1\" is not the name of a gateway's GPIB interface "
                                  "(letters and digits, e.g. gpib0)")
                .arg(name);
        spec.interfaceName = name;
    }
    return spec;
}

std::optional<QString> given(const std::optional<QString>& value)
{
    if (!value || value->trimmed().isEmpty())
        return std::nullopt;
    return value;
}

} // namespace

std::variant<DriverSpec, QString> DriverSpec::parse(const QString& text)
{
    const QString trimmed = text.trimmed();
    const qsizetype colon = trimmed.indexOf(QLatin1Char(':'));
    const QString kind = (colon < 0 ? trimmed : trimmed.left(colon)).toLower();
    const QString rest = colon < 0 ? QString() : trimmed.mid(colon + 1);

    DriverSpec spec;
    if (colon < 0) {
        if (kind == QLatin1String("system"))
            spec.kind = Kind::System;
        else if (kind == QLatin1String("sim"))
            spec.kind = Kind::Sim;
        else if (kind == QLatin1String("list"))
            spec.kind = Kind::List;
        else if (kind == QLatin1String("prologix"))
            return QStringLiteral("prologix needs the serial port after a colon, e.g. "
                                  "prologix:/dev/ttyUSB0");
        else if (kind == QLatin1String("prologix-tcp"))
            return QStringLiteral("prologix-tcp needs the host after a colon, e.g. "
                                  "prologix-tcp:192.168.1.50");
        else if (kind == QLatin1String("vxi11"))
            return QStringLiteral("vxi11 needs the gateway's host after a colon, e.g. "
                                  "vxi11:192.168.1.60");
        else
            return QStringLiteral("unknown driver \"%1\": %2").arg(trimmed, kAccepted);
        return spec;
    }
    if (kind == QLatin1String("prologix")) {
        if (rest.trimmed().isEmpty())
            return QStringLiteral("prologix needs the serial port after the colon, e.g. "
                                  "prologix:/dev/ttyUSB0");
        spec.kind = Kind::PrologixSerial;
        spec.port = rest.trimmed();
        return spec;
    }
    if (kind == QLatin1String("prologix-tcp"))
        return parseTcp(rest.trimmed());
    if (kind == QLatin1String("vxi11"))
        return parseVxi11(rest.trimmed());
    return QStringLiteral("unknown driver \"%1\": %2").arg(trimmed, kAccepted);
}

QString DriverSpec::toString() const
{
    switch (kind) {
    case Kind::System:
        return QStringLiteral("system");
    case Kind::PrologixSerial:
        return QStringLiteral("prologix:") + port;
    case Kind::PrologixTcp: {
        const QString h =
            host.contains(QLatin1Char(':')) ? QLatin1Char('[') + host + QLatin1Char(']') : host;
        // One substitution: a second arg() would take a "%1" in the host for its own.
        return QStringLiteral("prologix-tcp:%1:%2").arg(h, QString::number(tcpPort));
    }
    case Kind::Vxi11: {
        QString text = QStringLiteral("vxi11:") +
                       (host.contains(QLatin1Char(':')) ? QLatin1Char('[') + host + QLatin1Char(']')
                                                        : host);
        if (tcpPort != 0)
            text += QLatin1Char(':') + QString::number(tcpPort);
        if (interfaceName != QLatin1String(kDefaultVxi11Interface))
            text += QLatin1Char(',') + interfaceName;
        return text;
    }
    case Kind::Sim:
        return QStringLiteral("sim");
    case Kind::List:
        return QStringLiteral("list");
    }
    return {};
}

std::variant<DriverChoice, QString> chooseDriver(const std::optional<QString>& option,
                                                 const std::optional<QString>& environment,
                                                 const std::optional<QString>& settings)
{
    const std::pair<std::optional<QString>, DriverSource> candidates[] = {
        {given(option), DriverSource::Option},
        {given(environment), DriverSource::Environment},
        {given(settings), DriverSource::Settings},
    };
    for (const auto& [value, source] : candidates) {
        if (!value)
            continue;
        auto parsed = DriverSpec::parse(*value);
        if (const auto* error = std::get_if<QString>(&parsed)) {
            const QString origin = source == DriverSource::Option ? QStringLiteral("--driver")
                                   : source == DriverSource::Environment
                                       ? QString::fromLatin1(kDriverEnvironmentVariable)
                                       : QStringLiteral("the settings file (%1)")
                                             .arg(QString::fromLatin1(kDriverSettingsKey));
            return origin + QStringLiteral(": ") + *error;
        }
        return DriverChoice{std::get<DriverSpec>(parsed), source};
    }
    return DriverChoice{};
}

std::optional<QString> driverFromEnvironment()
{
    if (!qEnvironmentVariableIsSet(kDriverEnvironmentVariable))
        return std::nullopt;
    return qEnvironmentVariable(kDriverEnvironmentVariable);
}

namespace {

QSettings settingsFile()
{
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("gpibconfig"),
                     QStringLiteral("gpibconfig"));
}

} // namespace

std::optional<QString> driverFromSettings()
{
    const QSettings settings = settingsFile();
    const QVariant value = settings.value(QString::fromLatin1(kDriverSettingsKey));
    if (!value.isValid())
        return std::nullopt;
    // A value typed into the file without quotes is split at its commas ("vxi11:lab,gpib1").
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(QLatin1Char(','));
    return value.toString();
}

QString saveDriverSetting(const DriverSpec& spec)
{
    QSettings settings = settingsFile();
    settings.setValue(QString::fromLatin1(kDriverSettingsKey), spec.toString());
    settings.sync();
    const QString file = QDir::toNativeSeparators(settings.fileName());
    switch (settings.status()) {
    case QSettings::NoError:
        return {};
    case QSettings::AccessError:
        return QStringLiteral("the settings file %1 cannot be written").arg(file);
    case QSettings::FormatError:
        return QStringLiteral("the settings file %1 is damaged; gpibconfig does not overwrite it")
            .arg(file);
    }
    return QStringLiteral("the settings file %1 cannot be written").arg(file);
}

std::unique_ptr<Driver> makeDriver(const DriverSpec& spec)
{
    switch (spec.kind) {
    case DriverSpec::Kind::System:
        return SystemDriver::load();
    case DriverSpec::Kind::PrologixSerial:
        return openPrologixSerial(spec.port);
    case DriverSpec::Kind::PrologixTcp:
        return openPrologixTcp(spec.host, spec.tcpPort);
    case DriverSpec::Kind::Vxi11:
        return openVxi11(spec.host, spec.tcpPort, spec.interfaceName);
    case DriverSpec::Kind::Sim:
    case DriverSpec::Kind::List:
        break;
    }
    return nullptr;
}

QString driverTitleSuffix(const DriverSpec& spec)
{
    switch (spec.kind) {
    case DriverSpec::Kind::PrologixSerial:
        return QStringLiteral("Prologix ") + spec.port;
    case DriverSpec::Kind::PrologixTcp:
        return QStringLiteral("Prologix ") +
               (spec.tcpPort == prologix::kDefaultTcpPort
                    ? spec.host
                    : spec.toString().mid(QStringLiteral("prologix-tcp:").size()));
    case DriverSpec::Kind::Vxi11:
        return QStringLiteral("VXI-11 ") + spec.toString().mid(QStringLiteral("vxi11:").size());
    case DriverSpec::Kind::Sim:
        return QStringLiteral("simulated bench");
    case DriverSpec::Kind::System:
    case DriverSpec::Kind::List:
        break;
    }
    return {};
}

QString driverListText(QString* problem)
{
    QString text =
        QStringLiteral(
            "Drivers (--driver, %1, or \"%2\" in the settings file):\n"
            "  system                    the NI-488.2 compatible library of this machine (%3)\n"
            "  prologix:PORT             a Prologix GPIB-USB controller or an AR488 board on a "
            "serial port\n"
            "  prologix-tcp:HOST[:PORT]  a Prologix GPIB-ETHERNET controller (port %4 unless "
            "given)\n"
            "  vxi11:HOST[:PORT][,INTERFACE]\n"
            "                            a LAN/GPIB gateway speaking VXI-11 (E5810, ICS 8065 and "
            "others;\n"
            "                            the gateway's portmapper names the port unless given; "
            "interface\n"
            "                            gpib0 unless given)\n"
            "  sim                       the simulated bench (command-line tool only)\n"
            "Serial ports:\n")
            .arg(QString::fromLatin1(kDriverEnvironmentVariable),
                 QString::fromLatin1(kDriverSettingsKey),
                 SystemDriver::candidateLibraries().join(QStringLiteral(", ")))
            .arg(prologix::kDefaultTcpPort);
    QString error;
    const auto ports = prologixSerialPorts(&error);
    if (!ports) {
        text += QStringLiteral("  (not known)\n");
        if (problem)
            *problem = QStringLiteral("cannot list the serial ports: the Prologix driver module "
                                      "%1 could not be opened: %2")
                           .arg(QString::fromLatin1(prologix::kModuleName), error);
    } else if (ports->isEmpty())
        text += QStringLiteral("  (none found)\n");
    else
        for (const prologix::SerialPort& port : *ports) {
            const QString about = serialPortAbout(port);
            text += QStringLiteral("  prologix:%1%2\n")
                        .arg(port.location,
                             about.isEmpty() ? QString() : QStringLiteral("  ") + about);
        }
    return text;
}

} // namespace gpibconfig
