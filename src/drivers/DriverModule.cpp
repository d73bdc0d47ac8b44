// SPDX-License-Identifier: GPL-3.0-or-later
#include "DriverModule.h"

#include "gpib/Driver.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibrary>
#include <utility>

namespace gpibconfig {

namespace {

using InterfaceFunction = int (*)();

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

// Every call fails the way a missing driver library does.
class UnavailableDriver final : public Driver {
public:
    explicit UnavailableDriver(QString explanation)
        : m_explanation(std::move(explanation))
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

    QString explainFailure(int, int, long) const override { return m_explanation; }

private:
    static constexpr DriverStatus kFailed{sta::ERR, err::EDVR, 0};
    QString m_explanation;
};

} // namespace

DriverModule::DriverModule(const DriverModuleSpec& spec)
{
    QStringList reasons;
    QStringList folders;
    for (const QString& candidate : driverModuleCandidates(spec.name)) {
        folders << QDir::toNativeSeparators(QFileInfo(candidate).path());
        if (!present(candidate))
            continue;
        // Never deleted once loaded (that would only drop Qt's handle, never unload): drivers
        // made by the module may live until the program ends.
        auto* library = new QLibrary(candidate);
        const QString file = QDir::toNativeSeparators(candidate);
        QString reason;
        std::map<QString, QFunctionPointer> entries;
        if (!library->load()) {
            reason = library->errorString();
        } else if (const auto version =
                       reinterpret_cast<InterfaceFunction>(library->resolve(spec.interfaceSymbol));
                   !version || version() != spec.interfaceNumber) {
            reason = QStringLiteral("%1 is from another version of gpibconfig").arg(file);
        } else {
            for (const QString& symbol : spec.symbols) {
                const QFunctionPointer function = library->resolve(symbol.toLatin1().constData());
                if (!function) {
                    reason = QStringLiteral("%1 lacks its entry points").arg(file);
                    break;
                }
                entries[symbol] = function;
            }
        }
        if (reason.isEmpty()) {
            m_entries = std::move(entries);
            m_library = library;
            return;
        }
        reasons << reason;
        library->unload();
        delete library;
    }
    m_error = !reasons.isEmpty()
                  ? reasons.join(QStringLiteral("; "))
                  : QStringLiteral("it is not in %1").arg(folders.join(QStringLiteral(", ")));
}

QFunctionPointer DriverModule::entry(const char* symbol) const
{
    const auto it = m_entries.find(QString::fromLatin1(symbol));
    return it == m_entries.end() ? nullptr : it->second;
}

QStringList driverModuleCandidates(const char* name)
{
    const QString file = QString::fromLatin1(name);
    QStringList candidates;
    if (QCoreApplication::instance()) {
        const QDir programDir(QCoreApplication::applicationDirPath());
        candidates << programDir.filePath(file);
#ifdef GPIBCONFIG_MODULE_RELDIR
        candidates << QDir::cleanPath(
            programDir.filePath(QStringLiteral(GPIBCONFIG_MODULE_RELDIR "/") + file));
#endif
    }
#ifdef GPIBCONFIG_BUILD_MODULE_DIR
    candidates << QDir(QStringLiteral(GPIBCONFIG_BUILD_MODULE_DIR)).filePath(file);
#endif
    candidates.removeDuplicates();
    return candidates;
}

std::unique_ptr<Driver> unavailableDriver(const QString& what, const char* name, QString why)
{
    return std::make_unique<UnavailableDriver>(
        QStringLiteral("The %1 %2 could not be opened: %3. Install gpibconfig completely and "
                       "start the program again.")
            .arg(what, QString::fromLatin1(name), why));
}

} // namespace gpibconfig
