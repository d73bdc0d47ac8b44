// SPDX-License-Identifier: GPL-3.0-or-later
#include "PrologixModule.h"

#include "gpib/Driver.h"
#include "prologix/ModuleInterface.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibrary>
#include <utility>

namespace gpibconfig {

namespace {

// What the programs use of the module, resolved once. The library stays loaded for the rest of
// the run: drivers made by it may live until the program ends. The QLibrary is never deleted
// (that would only drop Qt's handle, never unload); holding it here keeps it reachable.
struct Module {
    QLibrary* library = nullptr;
    prologix::OpenSerialFunction openSerial = nullptr;
    prologix::OpenTcpFunction openTcp = nullptr;
    prologix::SerialPortsFunction serialPorts = nullptr;
    QString error; // why the module is not usable; empty when it is
};

QString tryLoad(QLibrary& library, Module& module)
{
    if (!library.load())
        return library.errorString();
    const auto version =
        reinterpret_cast<prologix::InterfaceFunction>(library.resolve(prologix::kInterfaceSymbol));
    if (!version || version() != prologix::kModuleInterface)
        return QStringLiteral("%1 is from another version of gpibconfig")
            .arg(QDir::toNativeSeparators(library.fileName()));
    module.openSerial = reinterpret_cast<prologix::OpenSerialFunction>(
        library.resolve(prologix::kOpenSerialSymbol));
    module.openTcp =
        reinterpret_cast<prologix::OpenTcpFunction>(library.resolve(prologix::kOpenTcpSymbol));
    module.serialPorts = reinterpret_cast<prologix::SerialPortsFunction>(
        library.resolve(prologix::kSerialPortsSymbol));
    if (!module.openSerial || !module.openTcp || !module.serialPorts)
        return QStringLiteral("%1 lacks its entry points")
            .arg(QDir::toNativeSeparators(library.fileName()));
    return {};
}

// Whether a candidate's folder holds a file of the module's name, whatever the platform's prefix
// and suffix: then its loader's complaint is worth reading, otherwise "not found" says it all.
bool present(const QString& candidate)
{
    const QFileInfo info(candidate);
    return !info.dir()
                .entryList({QStringLiteral("*") + info.fileName() + QStringLiteral("*")},
                           QDir::Files)
                .isEmpty();
}

const Module& module()
{
    static const Module loaded = [] {
        Module result;
        QStringList reasons;
        QStringList folders;
        for (const QString& candidate : prologixModuleCandidates()) {
            folders << QDir::toNativeSeparators(QFileInfo(candidate).path());
            if (!present(candidate))
                continue;
            auto* library = new QLibrary(candidate);
            const QString reason = tryLoad(*library, result);
            if (reason.isEmpty()) {
                result.library = library;
                return result;
            }
            result = Module{};
            reasons << reason;
            library->unload();
            delete library;
        }
        result.error =
            !reasons.isEmpty()
                ? reasons.join(QStringLiteral("; "))
                : QStringLiteral("it is not in %1").arg(folders.join(QStringLiteral(", ")));
        return result;
    }();
    return loaded;
}

// Every call fails the way a missing driver library does.
class UnavailableDriver final : public Driver {
public:
    explicit UnavailableDriver(QString why)
        : m_why(std::move(why))
    {
    }

    DriverStatus SendIFC(int) override { return kFailed; }
    DriverStatus DevClear(int, Addr4882) override { return kFailed; }
    DriverStatus Send(int, Addr4882, const std::uint8_t*, long, int) override { return kFailed; }
    DriverStatus Receive(int, Addr4882, std::uint8_t*, long, int) override { return kFailed; }
    DriverStatus SendCmds(int, const std::uint8_t*, long) override { return kFailed; }
    DriverStatus ibonl(int, int) override { return kFailed; }
    DriverStatus ibsre(int, int) override { return kFailed; }
    DriverStatus ibtmo(int, int) override { return kFailed; }

    QString explainFailure(int, int, long) const override
    {
        return QStringLiteral("The Prologix driver module %1 could not be opened: %2. Install "
                              "gpibconfig completely and start the program again.")
            .arg(QString::fromLatin1(prologix::kModuleName), m_why);
    }

private:
    static constexpr DriverStatus kFailed{sta::ERR, err::EDVR, 0};
    QString m_why;
};

} // namespace

QStringList prologixModuleCandidates()
{
    const QString name = QString::fromLatin1(prologix::kModuleName);
    QStringList candidates;
    if (QCoreApplication::instance()) {
        const QDir programDir(QCoreApplication::applicationDirPath());
        candidates << programDir.filePath(name);
#ifdef GPIBCONFIG_MODULE_RELDIR
        candidates << QDir::cleanPath(
            programDir.filePath(QStringLiteral(GPIBCONFIG_MODULE_RELDIR "/") + name));
#endif
    }
#ifdef GPIBCONFIG_BUILD_MODULE_DIR
    candidates << QDir(QStringLiteral(GPIBCONFIG_BUILD_MODULE_DIR)).filePath(name);
#endif
    candidates.removeDuplicates();
    return candidates;
}

std::unique_ptr<Driver> openPrologixSerial(const QString& port)
{
    const Module& m = module();
    if (!m.openSerial)
        return std::make_unique<UnavailableDriver>(m.error);
    return std::unique_ptr<Driver>(m.openSerial(port));
}

std::unique_ptr<Driver> openPrologixTcp(const QString& host, quint16 port)
{
    const Module& m = module();
    if (!m.openTcp)
        return std::make_unique<UnavailableDriver>(m.error);
    return std::unique_ptr<Driver>(m.openTcp(host, port));
}

std::optional<QList<prologix::SerialPort>> prologixSerialPorts(QString* error)
{
    const Module& m = module();
    if (!m.serialPorts) {
        if (error)
            *error = m.error;
        return std::nullopt;
    }
    QList<prologix::SerialPort> ports;
    m.serialPorts(ports);
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
