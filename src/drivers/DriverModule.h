// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFunctionPointer>
#include <QString>
#include <QStringList>
#include <map>
#include <memory>

class QLibrary;

namespace gpibconfig {

class Driver;

// A driver that lives in a module of its own (gpibconfig-prologix, gpibconfig-vxi11), opened on
// first use so that the programs load Qt Network and what it pulls in only when a controller
// needs it.
struct DriverModuleSpec {
    const char* name;            // the file's base name: "gpibconfig-prologix"
    const char* interfaceSymbol; // int (*)(): the module's interface number
    int interfaceNumber;         // the number the programs were built with
    QStringList symbols;         // the other entry points, all of which must be there
};

// A module opened once, with its entry points resolved; or why it could not be opened.
class DriverModule {
public:
    explicit DriverModule(const DriverModuleSpec& spec);

    // The entry point, null when the module is not usable.
    QFunctionPointer entry(const char* symbol) const;
    bool usable() const { return m_error.isEmpty(); }
    // Why it is not usable ("it is not in /usr/lib/gpibconfig, ..."); empty when it is.
    QString error() const { return m_error; }

private:
    std::map<QString, QFunctionPointer> m_entries;
    QString m_error;
    // The library the entries come from; kept, never deleted (see the constructor), and held
    // here so that it stays reachable rather than looking leaked.
    QLibrary* m_library = nullptr;
};

// Where a module is looked for: next to the program, where `cmake --install` puts it relative to
// the program, then in the build tree.
QStringList driverModuleCandidates(const char* name);

// A driver whose every call fails the way a missing driver library does (ERR, EDVR), and whose
// explainFailure() says that the module `name` (the "Prologix driver module") could not be
// opened and why.
std::unique_ptr<Driver> unavailableDriver(const QString& what, const char* name, QString why);

} // namespace gpibconfig
