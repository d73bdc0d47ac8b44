// SPDX-License-Identifier: GPL-3.0-or-later
#include "SystemDriver.h"

#include <QLibrary>
#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstring>

#if defined(_WIN32) && !defined(_WIN64)
#define GPIB_CC __stdcall
#else
#define GPIB_CC
#endif

namespace gpibconfig {

namespace {

class QLibrarySource final : public SymbolSource {
public:
    explicit QLibrarySource(std::unique_ptr<QLibrary> lib)
        : m_lib(std::move(lib))
    {
    }
    QFunctionPointer resolve(const char* name) override { return m_lib->resolve(name); }
    QString name() const override { return m_lib->fileName(); }

private:
    std::unique_ptr<QLibrary> m_lib;
};

// ibconfig option numbers of the published interface.
constexpr int IbcTMO = 0x0003;
constexpr int IbcSRE = 0x000B;

class Binder {
public:
    Binder(SymbolSource& src, QStringList& missing)
        : m_src(src)
        , m_missing(missing)
    {
    }

    template <typename Fn> Fn get(const char* name)
    {
        auto* f = reinterpret_cast<Fn>(m_src.resolve(name));
        if (!f)
            m_missing << QString::fromLatin1(name);
        return f;
    }
    template <typename Fn> Fn optional(const char* name)
    {
        return reinterpret_cast<Fn>(m_src.resolve(name));
    }

private:
    SymbolSource& m_src;
    QStringList& m_missing;
};

SystemDriver::Api bindLinuxGpib(Binder& b)
{
    // linux-gpib: Addr4882_t is uint16_t, counts are long, no special calling convention.
    using Board = void (*)(int);
    using Dev = void (*)(int, std::uint16_t);
    using Snd = void (*)(int, std::uint16_t, const void*, long, int);
    using Rcv = void (*)(int, std::uint16_t, void*, long, int);
    using Cmd = void (*)(int, const void*, long);
    using Two = int (*)(int, int);
    using Stat = int (*)();
    using Cntl = long (*)();

    SystemDriver::Api api;
    if (auto f = b.get<Board>("SendIFC"))
        api.sendIfc = f;
    if (auto f = b.get<Dev>("DevClear"))
        api.devClear = [f](int bd, Addr4882 a) { f(bd, a); };
    if (auto f = b.get<Snd>("Send"))
        api.send = [f](int bd, Addr4882 a, const void* p, long n, int eotMode) {
            // The program means "line feed with END" (NI's NLend = 1); linux-gpib numbers the
            // modes the other way round.
            static constexpr int toLinux[] = {0, 2, 1};
            const int mode = (eotMode >= 0 && eotMode <= 2) ? toLinux[eotMode] : eotMode;
            f(bd, a, p, n, mode);
        };
    if (auto f = b.get<Rcv>("Receive"))
        api.receive = [f](int bd, Addr4882 a, void* p, long n, int t) { f(bd, a, p, n, t); };
    if (auto f = b.get<Cmd>("SendCmds"))
        api.sendCmds = [f](int bd, const void* p, long n) { f(bd, p, n); };
    if (auto f = b.get<Two>("ibonl"))
        api.ibonl = f;
    if (auto f = b.get<Two>("ibsre"))
        api.ibsre = f;
    if (auto f = b.get<Two>("ibtmo"))
        api.ibtmo = f;
    if (auto f = b.get<Stat>("ThreadIbsta"))
        api.ibsta = [f] { return static_cast<long>(f()); };
    if (auto f = b.get<Stat>("ThreadIberr"))
        api.iberr = [f] { return static_cast<long>(f()); };
    if (auto f = b.get<Cntl>("ThreadIbcntl"))
        api.ibcntl = f;
    // void FindLstn(int board_desc, const Addr4882_t padList[], Addr4882_t resultList[],
    //               int maxNumResults)
    using Find = void (*)(int, const std::uint16_t*, std::uint16_t*, int);
    if (auto f = b.optional<Find>("FindLstn"))
        api.findLstn = [f](int bd, const Addr4882* pads, Addr4882* found, long limit) {
            f(bd, pads, found, static_cast<int>(std::clamp<long>(limit, 0, INT_MAX)));
        };
    return api;
}

// ni4882.dll and gpib-32.dll share names and the address type (short) but not the count type;
// in ni4882.dll a few calls exist only as macros over ibconfig and ThreadIbcnt.
template <typename Count, typename Ret> SystemDriver::Api bindNational(Binder& b)
{
    using Board = void(GPIB_CC*)(int);
    using Dev = void(GPIB_CC*)(int, short);
    using Snd = void(GPIB_CC*)(int, short, const void*, Count, int);
    using Rcv = void(GPIB_CC*)(int, short, void*, Count, int);
    using Cmd = void(GPIB_CC*)(int, const void*, Count);
    using Two = Ret(GPIB_CC*)(int, int);
    using Cfg = Ret(GPIB_CC*)(int, int, int);
    using Stat = Ret(GPIB_CC*)();

    const auto count = [](long n) { return static_cast<Count>(n < 0 ? 0 : n); };
    const auto addr = [](Addr4882 a) { return static_cast<short>(a); };

    SystemDriver::Api api;
    if (auto f = b.get<Board>("SendIFC"))
        api.sendIfc = [f](int bd) { f(bd); };
    if (auto f = b.get<Dev>("DevClear"))
        api.devClear = [f, addr](int bd, Addr4882 a) { f(bd, addr(a)); };
    if (auto f = b.get<Snd>("Send"))
        api.send = [f, addr, count](int bd, Addr4882 a, const void* p, long n, int m) {
            f(bd, addr(a), p, count(n), m);
        };
    if (auto f = b.get<Rcv>("Receive"))
        api.receive = [f, addr, count](int bd, Addr4882 a, void* p, long n, int t) {
            f(bd, addr(a), p, count(n), t);
        };
    if (auto f = b.get<Cmd>("SendCmds"))
        api.sendCmds = [f, count](int bd, const void* p, long n) { f(bd, p, count(n)); };
    if (auto f = b.get<Two>("ibonl"))
        api.ibonl = [f](int ud, int v) { return static_cast<int>(f(ud, v)); };

    auto config = b.optional<Cfg>("ibconfig");
    const auto viaConfig = [&b, config](const char* name,
                                        int option) -> std::function<int(int, int)> {
        if (auto f = b.optional<Two>(name))
            return [f](int ud, int v) { return static_cast<int>(f(ud, v)); };
        if (config)
            return
                [config, option](int ud, int v) { return static_cast<int>(config(ud, option, v)); };
        b.get<Two>(name); // records it as missing
        return {};
    };
    api.ibsre = viaConfig("ibsre", IbcSRE);
    api.ibtmo = viaConfig("ibtmo", IbcTMO);

    const auto status = [](Stat f) { return [f] { return static_cast<long>(f()); }; };
    if (auto f = b.get<Stat>("ThreadIbsta"))
        api.ibsta = status(f);
    if (auto f = b.get<Stat>("ThreadIberr"))
        api.iberr = status(f);
    // FindLstn(int boardID, const Addr4882_t* padlist, Addr4882_t* resultlist, limit), the
    // address type a 16-bit short in both libraries.
    using Find = void(GPIB_CC*)(int, const short*, short*, Count);
    if (auto f = b.optional<Find>("FindLstn"))
        api.findLstn = [f, count](int bd, const Addr4882* pads, Addr4882* found, long limit) {
            f(bd, reinterpret_cast<const short*>(pads), reinterpret_cast<short*>(found),
              count(limit));
        };

    using Cntl = long(GPIB_CC*)();
    if (auto f = b.optional<Cntl>("ThreadIbcntl"))
        api.ibcntl = [f] { return static_cast<long>(f()); };
    else if (auto g = b.get<Stat>("ThreadIbcnt"))
        api.ibcntl = status(g);
    return api;
}

QString joinNames(const QStringList& names) { return names.join(QStringLiteral(", ")); }

} // namespace

QStringList SystemDriver::candidateLibraries()
{
#if defined(Q_OS_WIN)
    return {QStringLiteral("ni4882.dll"), QStringLiteral("gpib-32.dll")};
#else
    return {QStringLiteral("libgpib.so.0")};
#endif
}

DriverFlavour SystemDriver::flavourOf(const QString& libraryName)
{
    const QString n = libraryName.toLower();
    if (n.contains(QStringLiteral("ni4882")))
        return DriverFlavour::Ni4882;
    if (n.contains(QStringLiteral("gpib-32")))
        return DriverFlavour::Gpib32;
    return DriverFlavour::LinuxGpib;
}

std::unique_ptr<SystemDriver> SystemDriver::load(const QStringList& names)
{
    QStringList errors;
    for (const QString& name : names) {
        auto lib = std::make_unique<QLibrary>(name);
        if (lib->load()) {
            const auto flavour = flavourOf(name);
            return std::make_unique<SystemDriver>(flavour,
                                                  std::make_unique<QLibrarySource>(std::move(lib)));
        }
        errors << lib->errorString();
    }
    return std::make_unique<SystemDriver>(names, errors.join(QLatin1Char('\n')));
}

SystemDriver::SystemDriver(DriverFlavour flavour, std::unique_ptr<SymbolSource> symbols)
    : m_flavour(flavour)
    , m_symbols(std::move(symbols))
{
    Binder binder(*m_symbols, m_missing);
    switch (flavour) {
    case DriverFlavour::LinuxGpib:
        m_api = bindLinuxGpib(binder);
        break;
    case DriverFlavour::Ni4882:
        m_api = bindNational<std::size_t, unsigned long>(binder);
        break;
    case DriverFlavour::Gpib32:
        m_api = bindNational<long, int>(binder);
        break;
    }
    m_usable = m_missing.isEmpty();
    m_tried << m_symbols->name();
}

SystemDriver::SystemDriver(QStringList tried, QString detail)
    : m_tried(std::move(tried))
    , m_detail(std::move(detail))
{
}

SystemDriver::~SystemDriver() = default;

bool SystemDriver::beginCall()
{
    if (!m_usable)
        return false;
    if (m_restoreSettings) {
        // The board was taken offline after a report; bring back what the program had set, so
        // that its next call runs with the same time-out and remote enable as before.
        m_restoreSettings = false;
        if (m_lastRemoteEnable >= 0)
            m_api.ibsre(m_settingsBoard, m_lastRemoteEnable);
        if (m_lastTimeout >= 0)
            m_api.ibtmo(m_settingsBoard, m_lastTimeout);
    }
    return true;
}

namespace {

// Every call of a driver without a usable library.
constexpr DriverStatus kNoLibrary{sta::ERR, err::EDVR, 0};

} // namespace

DriverStatus SystemDriver::threadStatus()
{
    const DriverStatus s{m_api.ibsta(), m_api.iberr(), m_api.ibcntl()};
    if (!(s.ibsta & sta::ERR))
        m_boardEverWorked = true;
    return s;
}

DriverStatus SystemDriver::SendIFC(int board)
{
    if (!beginCall())
        return kNoLibrary;
    m_api.sendIfc(board);
    return threadStatus();
}

DriverStatus SystemDriver::DevClear(int board, Addr4882 address)
{
    if (!beginCall())
        return kNoLibrary;
    m_api.devClear(board, address);
    return threadStatus();
}

DriverStatus SystemDriver::Send(int board, Addr4882 address, const std::uint8_t* data, long count,
                                int eotMode)
{
    if (!beginCall())
        return kNoLibrary;
    m_api.send(board, address, data, count, eotMode);
    return threadStatus();
}

DriverStatus SystemDriver::Receive(int board, Addr4882 address, std::uint8_t* buffer, long count,
                                   int termination)
{
    if (!beginCall())
        return kNoLibrary;
    m_api.receive(board, address, buffer, count, termination);
    return threadStatus();
}

DriverStatus SystemDriver::SendCmds(int board, const std::uint8_t* commands, long count)
{
    if (!beginCall())
        return kNoLibrary;
    m_api.sendCmds(board, commands, count);
    return threadStatus();
}

DriverStatus SystemDriver::FindLstn(int board, const Addr4882* primaries, Addr4882* found,
                                    long limit)
{
    if (!beginCall())
        return kNoLibrary;
    if (m_api.findLstn)
        m_api.findLstn(board, primaries, found, limit);
    return threadStatus();
}

DriverStatus SystemDriver::ibonl(int ud, int v)
{
    if (!beginCall())
        return kNoLibrary;
    if (v != 0) {
        m_api.ibonl(ud, v);
        return threadStatus();
    }
    // linux-gpib frees a descriptor taken offline for good, while the program goes on using
    // the board after every report. Resetting it (online = 1) is what taking it offline achieves
    // with the NI drivers, whose next board call reopens the board with its defaults.
    m_restoreSettings = true;
    if (m_flavour == DriverFlavour::LinuxGpib)
        m_api.ibonl(ud, 1);
    else
        m_api.ibonl(ud, 0);
    return threadStatus();
}

DriverStatus SystemDriver::ibsre(int ud, int v)
{
    if (!beginCall())
        return kNoLibrary;
    m_settingsBoard = ud;
    m_lastRemoteEnable = v;
    m_api.ibsre(ud, v);
    return threadStatus();
}

DriverStatus SystemDriver::ibtmo(int ud, int v)
{
    if (!beginCall())
        return kNoLibrary;
    m_settingsBoard = ud;
    m_lastTimeout = v;
    m_api.ibtmo(ud, v);
    return threadStatus();
}

QString SystemDriver::explainFailure(int ibsta, int iberr, long ibcntl) const
{
    (void)ibsta;
    if (!m_usable && !m_missing.isEmpty())
        return QStringLiteral("The GPIB driver library %1 was found but lacks %2; "
                              "install a complete NI-488.2 compatible driver.")
            .arg(joinNames(m_tried), joinNames(m_missing));
    if (!m_usable)
        return QStringLiteral("No GPIB driver library was found (tried %1). Install the GPIB "
                              "driver for your board and start the program again.")
            .arg(joinNames(m_tried));

    if (m_flavour == DriverFlavour::LinuxGpib && !m_boardEverWorked) {
        if (iberr == err::EARG)
            return QStringLiteral("This usually means that no GPIB board is configured for the "
                                  "driver: check /etc/gpib.conf and run gpib_config as root.");
        if (iberr == err::EDVR)
            return QStringLiteral("The driver could not open the GPIB board: %1 (system error "
                                  "%2). Check that the board is plugged in, its kernel module is "
                                  "loaded and gpib_config has been run.")
                .arg(QString::fromLocal8Bit(std::strerror(static_cast<int>(ibcntl))))
                .arg(ibcntl);
    }
    if (iberr == err::ENEB)
        return QStringLiteral("The driver found no GPIB board 0: check that the board is "
                              "installed and configured.");
    return {};
}

} // namespace gpibconfig
