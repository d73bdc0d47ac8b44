// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Driver.h"

#include <QFunctionPointer>
#include <QStringList>
#include <functional>
#include <memory>

namespace gpibconfig {

// Where the system driver's entry points come from: a library opened with QLibrary in the
// program, a table of functions in tests.
class SymbolSource {
public:
    virtual ~SymbolSource() = default;
    virtual QFunctionPointer resolve(const char* name) = 0;
    virtual QString name() const = 0;
};

// The published interfaces we can drive. They agree on names but not on prototypes nor on the
// numbering of the end-of-transmission modes.
enum class DriverFlavour {
    LinuxGpib, // linux-gpib's libgpib: unsigned 16-bit address, long counts, DABend = 1, NLend = 2
    Ni4882,    // ni4882.dll: short address, size_t counts; ibtmo/ibsre/ThreadIbcntl are macros
    Gpib32,    // gpib-32.dll: short address, long counts, every function exported
};

// The GPIB driver library of the machine, loaded at run time. When no library or a needed symbol
// is missing, every call ends with ERR and EDVR, so the operator gets the usual status report, and
// explainFailure() says in plain words what is missing.
class SystemDriver final : public Driver {
public:
    // The library names tried on this platform, in order.
    static QStringList candidateLibraries();
    // Tries each name with QLibrary; the flavour follows from the name that loaded.
    static std::unique_ptr<SystemDriver> load(const QStringList& names = candidateLibraries());
    static DriverFlavour flavourOf(const QString& libraryName);

    SystemDriver(DriverFlavour flavour, std::unique_ptr<SymbolSource> symbols);
    // No library could be loaded: `tried` lists the names, `detail` what the loader said.
    SystemDriver(QStringList tried, QString detail);
    ~SystemDriver() override;

    bool usable() const { return m_usable; }
    DriverFlavour flavour() const { return m_flavour; }
    QStringList missingSymbols() const { return m_missing; }

    // Each call reads the library's per-thread status (ThreadIbsta, ThreadIberr, ThreadIbcntl)
    // right after the library's own call, on the same thread, and returns it.
    DriverStatus SendIFC(int board) override;
    DriverStatus DevClear(int board, Addr4882 address) override;
    DriverStatus Send(int board, Addr4882 address, const std::uint8_t* data, long count,
                      int eotMode) override;
    DriverStatus Receive(int board, Addr4882 address, std::uint8_t* buffer, long count,
                         int termination) override;
    DriverStatus SendCmds(int board, const std::uint8_t* commands, long count) override;
    DriverStatus ibonl(int ud, int v) override;
    DriverStatus ibsre(int ud, int v) override;
    DriverStatus ibtmo(int ud, int v) override;
    // FindLstn is used when the library exports it (NI-488.2 and linux-gpib both do).
    bool canFindListeners() const override { return m_usable && m_api.findLstn != nullptr; }
    DriverStatus FindLstn(int board, const Addr4882* primaries, Addr4882* found,
                          long limit) override;

    QString explainFailure(int ibsta, int iberr, long ibcntl) const override;

    // Calls normalised to one signature set, whatever the library's prototypes.
    struct Api {
        std::function<void(int)> sendIfc;
        std::function<void(int, Addr4882)> devClear;
        std::function<void(int, Addr4882, const void*, long, int)> send;
        std::function<void(int, Addr4882, void*, long, int)> receive;
        std::function<void(int, const void*, long)> sendCmds;
        std::function<int(int, int)> ibonl, ibsre, ibtmo;
        std::function<void(int, const Addr4882*, Addr4882*, long)> findLstn; // optional
        // The per-thread status; ThreadIbcnt is not needed, ibcntl holds the same count.
        std::function<long()> ibsta, iberr, ibcntl;
    };

private:
    bool beginCall();
    // The library's status of the call just made on this thread.
    DriverStatus threadStatus();

    DriverFlavour m_flavour = DriverFlavour::LinuxGpib;
    std::unique_ptr<SymbolSource> m_symbols;
    Api m_api;
    bool m_usable = false;
    QStringList m_tried;
    QString m_detail;
    QStringList m_missing;

    // Settings the program gave the board, put back after the board was taken offline.
    int m_settingsBoard = 0;
    int m_lastTimeout = -1;
    int m_lastRemoteEnable = -1;
    bool m_restoreSettings = false;
    bool m_boardEverWorked = false;
};

} // namespace gpibconfig
