// SPDX-License-Identifier: GPL-3.0-or-later
#include "gpib/SystemDriver.h"
#include "support/ParamNames.h"

#include <cstddef>
#include <gtest/gtest.h>
#include <map>
#include <string>
#include <vector>

using namespace gpibconfig;

namespace {

// What the fake libraries saw, shared by their C functions.
struct Seen {
    std::vector<std::string> calls;
    int lastEot = -99;
    long lastCount = -1;
    int ibsta = 0x0100;
    int iberr = 0;
    long ibcntl = 0;
    std::vector<int> boards; // of ibonl, ibsre and ibtmo
};
Seen seen;

extern "C" {
// linux-gpib prototypes
void lg_SendIFC(int) { seen.calls.push_back("SendIFC"); }
void lg_DevClear(int, std::uint16_t a) { seen.calls.push_back("DevClear " + std::to_string(a)); }
void lg_Send(int, std::uint16_t, const void*, long n, int eot)
{
    seen.lastEot = eot;
    seen.lastCount = n;
    seen.calls.push_back("Send");
}
void lg_Receive(int, std::uint16_t, void* buf, long n, int)
{
    seen.lastCount = n;
    static_cast<char*>(buf)[0] = '7';
    seen.calls.push_back("Receive");
}
void lg_SendCmds(int, const void*, long n)
{
    seen.lastCount = n;
    seen.calls.push_back("SendCmds");
}
int lg_ibonl(int ud, int v)
{
    seen.boards.push_back(ud);
    seen.calls.push_back("ibonl " + std::to_string(ud) + " " + std::to_string(v));
    return seen.ibsta;
}
int lg_ibsre(int ud, int v)
{
    seen.boards.push_back(ud);
    seen.calls.push_back("ibsre " + std::to_string(v));
    return seen.ibsta;
}
int lg_ibtmo(int ud, int v)
{
    seen.boards.push_back(ud);
    seen.calls.push_back("ibtmo " + std::to_string(v));
    return seen.ibsta;
}
int lg_ThreadIbsta() { return seen.ibsta; }
int lg_ThreadIberr() { return seen.iberr; }
int lg_ThreadIbcnt() { return static_cast<int>(seen.ibcntl); }
long lg_ThreadIbcntl() { return seen.ibcntl; }

// ni4882 prototypes (no __stdcall needed on 64-bit)
void ni_SendIFC(int) { seen.calls.push_back("SendIFC"); }
void ni_DevClear(int, short a) { seen.calls.push_back("DevClear " + std::to_string(a)); }
void ni_Send(int, short, const void*, std::size_t n, int eot)
{
    seen.lastEot = eot;
    seen.lastCount = static_cast<long>(n);
    seen.calls.push_back("Send");
}
void ni_Receive(int, short, void*, std::size_t n, int)
{
    seen.lastCount = static_cast<long>(n);
    seen.calls.push_back("Receive");
}
void ni_SendCmds(int, const void*, std::size_t) { seen.calls.push_back("SendCmds"); }
unsigned long ni_ibonl(int ud, int v)
{
    seen.calls.push_back("ibonl " + std::to_string(ud) + " " + std::to_string(v));
    return 0;
}
unsigned long ni_ibconfig(int, int option, int v)
{
    seen.calls.push_back("ibconfig " + std::to_string(option) + " " + std::to_string(v));
    return 0;
}
unsigned long ni_ThreadIbsta() { return static_cast<unsigned long>(seen.ibsta); }
unsigned long ni_ThreadIberr() { return static_cast<unsigned long>(seen.iberr); }
unsigned long ni_ThreadIbcnt() { return static_cast<unsigned long>(seen.ibcntl); }

// FindLstn: the addresses asked up to the end mark, the limit; finds the first one asked.
void lg_FindLstn(int, const std::uint16_t* pads, std::uint16_t* found, int limit)
{
    std::string call = "FindLstn";
    for (const std::uint16_t* p = pads; *p != 0xFFFF; ++p)
        call += " " + std::to_string(*p);
    seen.calls.push_back(call + " limit " + std::to_string(limit));
    found[0] = pads[0];
    seen.ibcntl = 1;
}
void ni_FindLstn(int, const short* pads, short* found, std::size_t limit)
{
    std::string call = "FindLstn";
    for (const short* p = pads; *p != -1; ++p)
        call += " " + std::to_string(*p);
    seen.calls.push_back(call + " limit " + std::to_string(limit));
    found[0] = pads[0];
    seen.ibcntl = 1;
}
}

class TableSource final : public SymbolSource {
public:
    TableSource(std::map<std::string, QFunctionPointer> table, QString name)
        : m_table(std::move(table))
        , m_name(std::move(name))
    {
    }
    QFunctionPointer resolve(const char* name) override
    {
        const auto it = m_table.find(name);
        return it == m_table.end() ? nullptr : it->second;
    }
    QString name() const override { return m_name; }

private:
    std::map<std::string, QFunctionPointer> m_table;
    QString m_name;
};

#define SYM(prefix, n)                                                                             \
    {                                                                                              \
#n, reinterpret_cast < QFunctionPointer>(&prefix##_##n)                                    \
    }

std::map<std::string, QFunctionPointer> linuxGpibTable()
{
    return {SYM(lg, SendIFC),     SYM(lg, DevClear),    SYM(lg, Send),
            SYM(lg, Receive),     SYM(lg, SendCmds),    SYM(lg, ibonl),
            SYM(lg, ibsre),       SYM(lg, ibtmo),       SYM(lg, ThreadIbsta),
            SYM(lg, ThreadIberr), SYM(lg, ThreadIbcnt), SYM(lg, ThreadIbcntl)};
}

std::map<std::string, QFunctionPointer> ni4882Table()
{
    // ibtmo, ibsre and ThreadIbcntl are macros in ni4882 and not exported.
    return {SYM(ni, SendIFC),     SYM(ni, DevClear),   SYM(ni, Send),     SYM(ni, Receive),
            SYM(ni, SendCmds),    SYM(ni, ibonl),      SYM(ni, ibconfig), SYM(ni, ThreadIbsta),
            SYM(ni, ThreadIberr), SYM(ni, ThreadIbcnt)};
}

std::unique_ptr<SystemDriver> make(DriverFlavour flavour, std::map<std::string, QFunctionPointer> t)
{
    return std::make_unique<SystemDriver>(
        flavour, std::make_unique<TableSource>(std::move(t), QStringLiteral("fake")));
}

struct SystemDriverTest : ::testing::Test {
    void SetUp() override { seen = Seen{}; }
};

TEST_F(SystemDriverTest, FlavourFollowsTheLibraryName)
{
    EXPECT_EQ(SystemDriver::flavourOf(QStringLiteral("libgpib.so.0")), DriverFlavour::LinuxGpib);
    EXPECT_EQ(SystemDriver::flavourOf(QStringLiteral("NI4882.DLL")), DriverFlavour::Ni4882);
    EXPECT_EQ(SystemDriver::flavourOf(QStringLiteral("gpib-32.dll")), DriverFlavour::Gpib32);
}

struct EotCase {
    DriverFlavour flavour;
    int programMode;
    int libraryMode;
};

class EndOfTransmission : public SystemDriverTest, public ::testing::WithParamInterface<EotCase> {};

TEST_P(EndOfTransmission, TranslatedToTheBackendsNumbering)
{
    const EotCase c = GetParam();
    auto driver =
        make(c.flavour, c.flavour == DriverFlavour::LinuxGpib ? linuxGpibTable() : ni4882Table());
    const std::uint8_t bytes[] = {'A', 'B'};
    driver->Send(0, 5, bytes, 2, c.programMode);
    EXPECT_EQ(seen.lastEot, c.libraryMode);
    EXPECT_EQ(seen.lastCount, 2);
}

INSTANTIATE_TEST_SUITE_P(Backends, EndOfTransmission,
                         ::testing::Values(EotCase{DriverFlavour::LinuxGpib, eot::NLend, 2},
                                           EotCase{DriverFlavour::LinuxGpib, eot::DABend, 1},
                                           EotCase{DriverFlavour::LinuxGpib, eot::NULLend, 0},
                                           EotCase{DriverFlavour::Ni4882, eot::NLend, 1},
                                           EotCase{DriverFlavour::Ni4882, eot::DABend, 2}),
                         test::namedBy([](const EotCase& c) {
                             const char* library = c.flavour == DriverFlavour::LinuxGpib
                                                       ? "linux gpib"
                                                   : c.flavour == DriverFlavour::Ni4882 ? "ni4882"
                                                                                        : "gpib 32";
                             return std::string(library) + " mode " + std::to_string(c.programMode);
                         }));

TEST_F(SystemDriverTest, LinuxGpibCallsPassThroughWithTheirStatus)
{
    auto driver = make(DriverFlavour::LinuxGpib, linuxGpibTable());
    ASSERT_TRUE(driver->usable());
    std::uint8_t buffer[18] = {};
    EXPECT_EQ(driver->SendIFC(0), (DriverStatus{0x0100, 0, 0}));
    driver->DevClear(0, 0x6C05);
    // The library's thread status after its Receive is what the call returns.
    seen.ibsta = 0xC100;
    seen.iberr = 6;
    seen.ibcntl = 3;
    EXPECT_EQ(driver->Receive(0, 5, buffer, 18, 0), (DriverStatus{0xC100, 6, 3}));
    EXPECT_EQ(buffer[0], '7');
    EXPECT_EQ(seen.lastCount, 18);
    EXPECT_EQ(seen.calls, (std::vector<std::string>{"SendIFC", "DevClear 27653", "Receive"}));
}

TEST_F(SystemDriverTest, FindListenersIsUsedWhereTheLibraryExportsIt)
{
    struct Case {
        DriverFlavour flavour;
        std::map<std::string, QFunctionPointer> table;
        QFunctionPointer findLstn;
    };
    const Case cases[] = {
        {DriverFlavour::LinuxGpib, linuxGpibTable(),
         reinterpret_cast<QFunctionPointer>(&lg_FindLstn)},
        {DriverFlavour::Ni4882, ni4882Table(), reinterpret_cast<QFunctionPointer>(&ni_FindLstn)},
    };
    for (const Case& c : cases) {
        seen = Seen{};
        // Without it the library is as usable as before; the program probes instead.
        EXPECT_FALSE(make(c.flavour, c.table)->canFindListeners());
        auto table = c.table;
        table["FindLstn"] = c.findLstn;
        auto driver = make(c.flavour, table);
        ASSERT_TRUE(driver->usable());
        ASSERT_TRUE(driver->canFindListeners());
        const Addr4882 pads[] = {3, 25, kNoAddress};
        Addr4882 found[4] = {};
        const DriverStatus status = driver->FindLstn(0, pads, found, 4);
        EXPECT_EQ(seen.calls, (std::vector<std::string>{"FindLstn 3 25 limit 4"}));
        EXPECT_EQ(found[0], 3);
        EXPECT_EQ(status.ibcntl, 1);
    }
}

TEST_F(SystemDriverTest, SettingsComeBackOnTheBoardTheyWereMadeFor)
{
    auto driver = make(DriverFlavour::LinuxGpib, linuxGpibTable());
    driver->ibsre(1, 1);
    driver->ibtmo(1, 11);
    driver->ibonl(1, 0);
    driver->SendIFC(1);
    EXPECT_EQ(seen.calls, (std::vector<std::string>{"ibsre 1", "ibtmo 11", "ibonl 1 1", "ibsre 1",
                                                    "ibtmo 11", "SendIFC"}));
    EXPECT_EQ(seen.boards, (std::vector<int>{1, 1, 1, 1, 1}));
}

TEST_F(SystemDriverTest, Ni4882FallsBackToIbconfigAndThreadIbcnt)
{
    auto driver = make(DriverFlavour::Ni4882, ni4882Table());
    ASSERT_TRUE(driver->usable()) << driver->missingSymbols().join(',').toStdString();
    driver->ibtmo(0, 11);
    seen.ibcntl = 42;
    EXPECT_EQ(driver->ibsre(0, 1).ibcntl, 42);
    EXPECT_EQ(seen.calls, (std::vector<std::string>{"ibconfig 3 11", "ibconfig 11 1"}));
}

TEST_F(SystemDriverTest, Ni4882AddressKeepsItsSixteenBits)
{
    auto driver = make(DriverFlavour::Ni4882, ni4882Table());
    driver->DevClear(0, 0xFFFB);
    EXPECT_EQ(seen.calls.back(), "DevClear -5");
}

TEST_F(SystemDriverTest, LinuxGpibOfflineKeepsTheBoardUsableAndRestoresItsSettings)
{
    auto driver = make(DriverFlavour::LinuxGpib, linuxGpibTable());
    driver->ibsre(0, 1);
    driver->ibtmo(0, 11);
    driver->ibonl(0, 0);
    driver->SendIFC(0);
    driver->SendIFC(0);
    EXPECT_EQ(seen.calls, (std::vector<std::string>{"ibsre 1", "ibtmo 11", "ibonl 0 1", "ibsre 1",
                                                    "ibtmo 11", "SendIFC", "SendIFC"}));
}

TEST_F(SystemDriverTest, NiOfflineIsPassedOnAndSettingsComeBackAtTheNextCall)
{
    auto driver = make(DriverFlavour::Ni4882, ni4882Table());
    driver->ibtmo(0, 11);
    driver->ibonl(0, 0);
    driver->SendIFC(0);
    EXPECT_EQ(seen.calls,
              (std::vector<std::string>{"ibconfig 3 11", "ibonl 0 0", "ibconfig 3 11", "SendIFC"}));
}

TEST_F(SystemDriverTest, MissingSymbolsMakeEveryCallFailWithEdvrAndSayWhatIsMissing)
{
    auto table = linuxGpibTable();
    table.erase("SendCmds");
    table.erase("ThreadIbcntl");
    auto driver = make(DriverFlavour::LinuxGpib, table);
    EXPECT_FALSE(driver->usable());
    EXPECT_EQ(driver->missingSymbols(), QStringList({"SendCmds", "ThreadIbcntl"}));
    const DriverStatus status = driver->SendIFC(0);
    EXPECT_TRUE(seen.calls.empty()) << "nothing of a half-bound library is called";
    EXPECT_EQ(status.ibsta, sta::ERR);
    EXPECT_EQ(status.iberr, err::EDVR);
    const QString why = driver->explainFailure(sta::ERR, err::EDVR, 0);
    EXPECT_TRUE(why.contains(QStringLiteral("SendCmds, ThreadIbcntl"))) << why.toStdString();
}

TEST_F(SystemDriverTest, NoLibraryFoundFailsEveryCallAndNamesTheLibrariesTried)
{
    auto driver = SystemDriver::load({QStringLiteral("libgpib-does-not-exist.so.0"),
                                      QStringLiteral("another-missing-gpib.dll")});
    EXPECT_FALSE(driver->usable());
    driver->SendIFC(0);
    EXPECT_EQ(driver->ibsre(0, 1).ibsta, sta::ERR);
    std::uint8_t buffer[4] = {'a', 'b', 'c', 'd'};
    const DriverStatus status = driver->Receive(0, 5, buffer, 4, 0);
    EXPECT_EQ(buffer[0], 'a') << "a missing driver leaves the buffer alone";
    EXPECT_EQ(status, (DriverStatus{sta::ERR, err::EDVR, 0}));
    const QString why = driver->explainFailure(sta::ERR, err::EDVR, 0);
    EXPECT_TRUE(why.startsWith(QStringLiteral("No GPIB driver library was found")));
    EXPECT_TRUE(
        why.contains(QStringLiteral("libgpib-does-not-exist.so.0, another-missing-gpib.dll")));
}

TEST_F(SystemDriverTest, LinuxSetupFailuresGetAPlainWordsHint)
{
    auto driver = make(DriverFlavour::LinuxGpib, linuxGpibTable());
    // No configuration file: EARG with a count of 2.
    EXPECT_TRUE(
        driver->explainFailure(sta::ERR, err::EARG, 2).contains(QStringLiteral("gpib.conf")));
    // Configuration but no device file: EDVR with the system error number in the count.
    const QString why = driver->explainFailure(sta::ERR, err::EDVR, 9);
    EXPECT_TRUE(why.contains(QStringLiteral("could not open the GPIB board"))) << why.toStdString();
    EXPECT_TRUE(why.contains(QStringLiteral("system error 9")));
    // Once the board has worked, an EARG is about the call, not the setup.
    seen.ibsta = 0x0130;
    driver->SendIFC(0);
    EXPECT_TRUE(driver->explainFailure(sta::ERR, err::EARG, 0).isEmpty());
}

} // namespace
