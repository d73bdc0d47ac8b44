// SPDX-License-Identifier: GPL-3.0-or-later
#include "logic/ConfigLogic.h"
#include "logic/Controls.h"
#include "logic/MenuLine.h"
#include "models/Models.h"
#include "support/BusRecords.h"
#include "support/DocumentedMenus.h"
#include "support/ParamNames.h"
#include "support/TestContext.h"

#include <QSet>
#include <algorithm>
#include <cstring>
#include <gtest/gtest.h>
#include <limits>
#include <map>
#include <optional>

using namespace gpibconfig;

namespace {

struct Host final : ConfigHost {
    int closed = 0;
    int notices = 0;
    QString noticeShown;
    int busCallsWhenNoticeShown = -1;
    test::FakeDriver* driver = nullptr;
    ProgramState* state = nullptr;
    // Channel the dialog returns, or nullopt to close it without Continue.
    std::optional<double> channel = 1;

    void closeConfigWindow() override { ++closed; }
    bool askChannel(const Model&) override
    {
        if (!channel)
            return false;
        state->unit.channel = *channel;
        return true;
    }
    void showNotice(const QString& notice) override
    {
        ++notices;
        noticeShown = notice;
        busCallsWhenNoticeShown = static_cast<int>(driver->calls.size());
    }
    QStringList hints;
    void showHint(const QString& hint, const QString&) override { hints << hint; }
};

struct ConfigLogicTest : ::testing::Test {
    test::FakeDriver driver;
    test::TestContext ctx{driver};
    ConfigScreen screen;
    Host host;
    ConfigLogic logic{ctx.app, screen, host};

    void SetUp() override
    {
        host.driver = &driver;
        host.state = &ctx.state;
    }
    void open(const QString& model)
    {
        ctx.state.modelEntry = model;
        const Model* row = modelForEntry(model);
        ctx.state.modelCode = row ? row->code : std::int16_t{0};
        logic.reset();
    }
    void setAddress(const QString& text)
    {
        screen.txtAddr.userEditedText(text);
        logic.setAddress();
    }
    void enter(const QString& text = {})
    {
        screen.txtChoice.userEditedText(text);
        logic.enterOrAdvance();
    }
    QStringList sends() const
    {
        QStringList out;
        for (const BusCall& c : driver.calls)
            if (c.kind == BusCall::Kind::Send)
                out << QString::fromLatin1(test::bytesOf(c));
        return out;
    }
    QString lastLine() const { return screen.lstFunction.lines().last(); }
    QString valueOf(const QString& line) const { return line.mid(35); }
};

// ----- address entry ------------------------------------------------------------------------

struct AddressCase {
    const char* typed;
    bool accepted;
    int devClearWord; // the address word the device clear goes to
};

class AddressEntry : public ConfigLogicTest, public ::testing::WithParamInterface<AddressCase> {};

TEST_P(AddressEntry, ReadsRangeTestsAndComposesTheAddressWord)
{
    const AddressCase c = GetParam();
    open(QStringLiteral("7357"));
    driver.replies = {"5\n"};
    setAddress(QString::fromUtf8(c.typed));
    if (!c.accepted) {
        EXPECT_TRUE(driver.calls.empty()) << c.typed;
        EXPECT_TRUE(screen.txtErrMsg.visible());
        EXPECT_EQ(screen.txtErrMsg.text(), QStringLiteral("Address out of range, re-enter"));
        EXPECT_EQ(ctx.notifier.beeps, 1);
        EXPECT_EQ(screen.txtAddr.text(), QString::fromUtf8(c.typed)) << "the text stays";
        EXPECT_FALSE(screen.cmdEnter.enabled());
        return;
    }
    ASSERT_GE(driver.calls.size(), 2u) << c.typed;
    EXPECT_EQ(driver.calls.at(0).request(), BusCall::sendIfc(0));
    EXPECT_EQ(driver.calls.at(1).request(),
              BusCall::devClear(0, static_cast<Addr4882>(c.devClearWord)));
    EXPECT_FALSE(screen.txtErrMsg.visible());
    EXPECT_EQ(ctx.notifier.beeps, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Typed, AddressEntry,
    ::testing::Values(AddressCase{"5", true, 0x0005}, AddressCase{"0", true, 0x0000},
                      AddressCase{"", true, 0x0000}, AddressCase{"   ", true, 0x0000},
                      AddressCase{"30", true, 0x001E}, AddressCase{"12abc", true, 0x000C},
                      AddressCase{"4.5", true, 0x0004}, AddressCase{"5.5", true, 0x0006},
                      AddressCase{"&H1A", true, 0x001A}, AddressCase{"100", true, 0x6001},
                      AddressCase{"512", true, 0x6C05}, AddressCase{"2930", true, 0x7E1D},
                      AddressCase{"2931", true, 0x7F1D}, AddressCase{"-5", false, 0},
                      AddressCase{"-1", false, 0}, AddressCase{"-0", true, 0x0000},
                      AddressCase{"31", false, 0}, AddressCase{"50", false, 0},
                      AddressCase{"99", false, 0}, AddressCase{"3000", false, 0},
                      AddressCase{"1550", false, 0}, AddressCase{"132", false, 0},
                      AddressCase{"99999", false, 0}, AddressCase{"1E10", false, 0},
                      AddressCase{"-99999", false, 0}, AddressCase{"32767.5", false, 0}),
    test::namedBy([](const AddressCase& c) { return std::string_view(c.typed); }));

TEST_F(ConfigLogicTest, SecondaryAddressReachesTheDeviceClearOnlyThenTheMenuUsesThePrimary)
{
    open(QStringLiteral("7357"));
    driver.replies = {"5\n"};
    setAddress(QStringLiteral("512"));
    EXPECT_EQ(driver.calls.at(1).request(), BusCall::devClear(0, 0x6C05));
    EXPECT_EQ(ctx.state.unit.word, 5);
    for (std::size_t i = 2; i < driver.calls.size(); ++i) {
        const BusCall& c = driver.calls[i];
        if (c.kind == BusCall::Kind::Send || c.kind == BusCall::Kind::Receive) {
            EXPECT_EQ(c.address, 0x0005) << c.traceLine();
        }
    }
}

TEST_F(ConfigLogicTest, DevClearFailureIsReportedAndTheRunStaysInTheAddressStage)
{
    open(QStringLiteral("7357"));
    driver.statusFor = test::failing(BusCall::Kind::DevClear, err::ENOL);
    setAddress(QStringLiteral("5"));
    EXPECT_TRUE(screen.txtGPIBErr.visible());
    EXPECT_TRUE(screen.txtGPIBErr.text().startsWith(
        QStringLiteral("DevClear Error ibsta = &H8100 <   ERR CMPL >iberr =  2 ENOL")));
    EXPECT_FALSE(screen.cmdEnter.enabled());
    EXPECT_FALSE(screen.cmdRedo.enabled());
    EXPECT_FALSE(screen.labelChoice.visible());
    EXPECT_EQ(driver.calls.back().request(), BusCall::ibonl(0, 0));
}

TEST_F(ConfigLogicTest, ExplainedFailuresComeUpOnceARunAcrossBothWindows)
{
    const QString closed = QStringLiteral("The connection to 127.0.0.1:1234 was closed.");
    const QString lost = QStringLiteral("The serial port /dev/ttyUSB0 went away.");
    // The main window explained this one already.
    ctx.state.hintsShown.insert(lost);
    open(QStringLiteral("7357"));
    driver.statusFor = test::failing(BusCall::Kind::DevClear, err::EDVR);
    for (const QString& explanation : {lost, closed, closed}) {
        driver.explanation = explanation;
        setAddress(QStringLiteral("5"));
        EXPECT_TRUE(screen.txtGPIBErr.text().startsWith(QStringLiteral("DevClear Error")));
        EXPECT_FALSE(screen.txtGPIBErr.text().contains(explanation));
        EXPECT_EQ(screen.txtGPIBErr.toolTip(), explanation);
    }
    EXPECT_EQ(host.hints, QStringList{closed});

    // Done's question is no failure: the explanation goes with the report it belonged to.
    logic.leave();
    EXPECT_TRUE(screen.txtGPIBErr.text().contains(QStringLiteral("Exit without saving?")));
    EXPECT_TRUE(screen.txtGPIBErr.toolTip().isEmpty());
}

TEST_F(ConfigLogicTest, UnknownModelIsRefusedAfterThePauseAndTheWindowCloses)
{
    ctx.state.modelCode = 7301;
    ctx.state.modelEntry = QStringLiteral("7301");
    logic.reset();
    setAddress(QStringLiteral("5"));
    EXPECT_EQ(screen.txtErrMsg.text(), QStringLiteral("Bad Model Number, Configuration halted"));
    EXPECT_TRUE(screen.txtErrMsg.visible());
    EXPECT_EQ(ctx.clock.pauses, QList<double>({0.2}));
    EXPECT_EQ(host.closed, 1);
    EXPECT_EQ(test::requests(driver.calls),
              (std::vector{BusCall::sendIfc(0), BusCall::devClear(0, 0x0005)}));
}

TEST_F(ConfigLogicTest, ChannelDialogSetsTheSecondaryAddressOfTheFourChannelUnit)
{
    open(QStringLiteral("7379"));
    host.channel = 4;
    driver.replies = {"5\n"};
    setAddress(QStringLiteral("512"));
    EXPECT_EQ(driver.calls.at(1).request(), BusCall::devClear(0, 0x6E05));
    EXPECT_EQ(ctx.state.unit.word, 0x6E05) << "the channel address stays for the menu";
    EXPECT_EQ(driver.calls.at(2).request(),
              BusCall::send(0, 0x6E05, "SYST:COMM:GPIB:ADDR?", eot::NLend));
}

TEST_F(ConfigLogicTest, FractionalChannelsRoundHalfToEven)
{
    open(QStringLiteral("7379"));
    host.channel = 2.5;
    setAddress(QStringLiteral("5"));
    EXPECT_EQ(ctx.state.unit.secondary, 12);
}

TEST_F(ConfigLogicTest, ClosingTheChannelDialogCancelsTheSetAddress)
{
    open(QStringLiteral("7379"));
    host.channel.reset();
    setAddress(QStringLiteral("5"));
    EXPECT_TRUE(driver.calls.empty());
    EXPECT_FALSE(screen.cmdEnter.enabled());
    EXPECT_TRUE(screen.cmdSet.enabled());
}

TEST_F(ConfigLogicTest, ClosingTheChannelDialogMidMenuKeepsTheRunAsItWas)
{
    open(QStringLiteral("7379"));
    host.channel = 1;
    setAddress(QStringLiteral("25"));
    enter();
    enter();
    const QStringList lines = screen.lstFunction.lines();
    const int index = logic.currentFunction();

    host.channel.reset();
    ctx.state.unit.channel = 7; // what a bad entry leaves before the dialog is closed
    host.channel.reset();
    setAddress(QStringLiteral("7"));
    EXPECT_EQ(ctx.state.unit.word, 0x6B19);
    EXPECT_EQ(ctx.state.unit.primary, 25);
    EXPECT_EQ(ctx.state.unit.secondary, 11);
    EXPECT_EQ(ctx.state.unit.channel, 7) << "the channel is what it was before the dialog";
    EXPECT_EQ(logic.currentFunction(), index);
    EXPECT_EQ(screen.lstFunction.lines(), lines);

    driver.calls.clear();
    enter();
    ASSERT_FALSE(driver.calls.empty());
    EXPECT_EQ(driver.calls.front().kind, BusCall::Kind::Send) << driver.calls.front().traceLine();
    EXPECT_EQ(driver.calls.front().address, 0x6B19) << driver.calls.front().traceLine();
}

// ----- dispatch -----------------------------------------------------------------------------

// What each list entry is, written out from the units' documentation, apart from the model table.
struct EntryFacts {
    const char* entry;
    int code;
    int functions;
    int addressFunction;
    bool lockable;
    bool trigger;
    bool powerCycle;
    const char* notice; // model named in the notice, or empty
    int channels;
};

constexpr EntryFacts kEntries[] = {
    {"7311", 7311, 21, 1, true, false, false, "7311", 1},
    {"7314A", 7314, 17, 3, false, true, true, "", 1},
    {"7314B", 7314, 17, 3, false, true, true, "", 1},
    {"7317", 7317, 10, 1, true, false, false, "", 1},
    {"7321", 7321, 3, 1, true, false, false, "", 1},
    {"7322", 7322, 12, 1, true, false, false, "", 1},
    {"7325", 7325, 9, 1, true, false, false, "", 1},
    {"7325A", 7325, 9, 1, true, false, false, "", 1},
    {"7328", 7328, 21, 1, true, false, false, "7328", 1},
    {"7331", 7331, 10, 1, true, false, false, "", 1},
    {"7334", 7334, 8, 1, true, false, false, "", 1},
    {"7334A", 7334, 8, 1, true, false, false, "", 1},
    {"7337B", 7337, 21, 1, true, false, false, "7337B", 1},
    {"7340A", 7340, 9, 1, true, false, false, "", 1},
    {"7352A", 7352, 15, 1, true, false, false, "", 1},
    {"7355", 7355, 21, 1, true, false, false, "7355", 1},
    {"7357", 7357, 3, 1, true, false, false, "", 1},
    {"7360", 7360, 10, 1, true, false, false, "", 1},
    {"7362", 7362, 3, 1, true, false, false, "", 1},
    {"7370A", 7370, 6, 3, false, true, true, "", 1},
    {"7370B", 7370, 7, 3, false, true, true, "", 1},
    {"7374A", 7374, 17, 3, false, true, true, "", 1},
    {"7374B", 7374, 17, 3, false, true, true, "", 1},
    {"7376", 7376, 13, 3, false, true, true, "", 1},
    {"7379", 7379, 14, 1, false, false, false, "", 4},
    {"7385", 7385, 8, 1, true, false, false, "", 1},
    {"7385A", 7385, 8, 1, true, false, false, "", 1},
};

TEST(ModelTable, EveryEntryIsWhatItsUnitIs)
{
    ASSERT_EQ(models().size(), std::size(kEntries));
    for (std::size_t k = 0; k < std::size(kEntries); ++k) {
        const EntryFacts& f = kEntries[k];
        SCOPED_TRACE(f.entry);
        const Model& m = models()[k];
        EXPECT_STREQ(m.entry, f.entry) << "list order";
        EXPECT_EQ(modelForEntry(QLatin1String(f.entry)), &m);
        EXPECT_EQ(m.code, f.code);
        EXPECT_EQ(m.menu->count(), f.functions);
        EXPECT_EQ(m.menu->addressFunction, f.addressFunction);
        EXPECT_EQ(m.lockable, f.lockable);
        EXPECT_EQ(m.triggerAtStart, f.trigger);
        EXPECT_EQ(m.powerCycle, f.powerCycle);
        EXPECT_EQ(QLatin1String(m.noticeModel ? m.noticeModel : ""), QLatin1String(f.notice));
        EXPECT_EQ(m.channelCount, f.channels);
        EXPECT_EQ(modelOfIdentification(QStringLiteral("ZEB,%1,24000,1.00").arg(f.entry)), &m)
            << "its unit's *IDN? answer";
    }
    EXPECT_EQ(modelForEntry(QStringLiteral("7301")), nullptr);
    EXPECT_EQ(modelForEntry(QStringLiteral("7370")), nullptr) << "only whole entries";
}

// *IDN? answers as units and other makers' devices send them, and the entry each names.
struct IdentificationCase {
    const char* answer;
    const char* entry; // null: none
};

constexpr IdentificationCase kIdentifications[] = {
    {"ZEB,7352A,24015,2.05", "7352A"},
    {" zeb , 7352a ,24015,2.05\r", "7352A"}, // blanks and case as a unit may send them
    {"ZEB,7325A,24008,1.72", "7325A"},       // not the 7325, whose entry begins it
    {"ZEB,7379", "7379"},                     // maker and model are enough
    {"ACME,7352A,1,1", nullptr},              // another maker's device
    {"ZEB,7399,1,1", nullptr},                // a model the table does not have
    {"ZEB,7370,1,1", nullptr},                // the model field is a whole entry
    {"ZEB 7352A", nullptr},
    {"7352A,ZEB", nullptr},
    {"ZEB", nullptr},
    {"", nullptr},
};

TEST(ModelTable, AnIdentificationNamesTheRowOfItsMakerAndModel)
{
    for (const IdentificationCase& c : kIdentifications) {
        const Model* named = modelOfIdentification(QLatin1String(c.answer));
        EXPECT_EQ(named, c.entry ? modelForEntry(QLatin1String(c.entry)) : nullptr) << c.answer;
    }
}

// The secondary address of a channel, as the channel dialog hands channels over: a fraction is
// rounded half to even, as every number the program sends.
struct SecondaryCase {
    const char* entry;
    double channel;
    std::optional<int> secondary;
};

constexpr SecondaryCase kSecondaries[] = {
    {"7379", 1, 11},
    {"7379", 4, 14},
    {"7379", 2.5, 12},
    {"7379", 3.5, 14},
    {"7379", 0.5, 10},
    {"7379", 0, std::nullopt},
    {"7379", -1, std::nullopt},
    {"7379", 4.0001, std::nullopt},
    {"7379", 5, std::nullopt},
    {"7379", std::numeric_limits<double>::quiet_NaN(), std::nullopt},
    {"7352A", 1, std::nullopt}, // no channels
};

TEST(ModelTable, EachChannelHasItsSecondaryAddress)
{
    for (const SecondaryCase& c : kSecondaries) {
        const auto secondary = modelForEntry(QLatin1String(c.entry))->secondaryOf(c.channel);
        EXPECT_EQ(secondary ? std::optional<int>(*secondary) : std::nullopt, c.secondary)
            << c.entry << " channel " << c.channel;
    }
}

TEST(ModelTable, MenusFitTheListColumnAndMoveTheBusAddress)
{
    for (const Model& m : models()) {
        SCOPED_TRACE(m.entry);
        EXPECT_LE(m.menu->count(), 25);
        for (int n = 1; n <= m.menu->count(); ++n)
            EXPECT_LE(std::strlen(m.menu->function(n)->prompt), 35u) << n;
        EXPECT_FALSE(m.menu->function(0));
        EXPECT_FALSE(m.menu->function(m.menu->count() + 1));
        EXPECT_EQ(m.busHeader(*m.menu->function(m.menu->addressFunction)),
                  QStringLiteral("SYST:COMM:GPIB:ADDR"));
    }
    // Two models share a menu but word their channel ranges differently.
    EXPECT_STREQ(modelForEntry(QStringLiteral("7328"))->menu->function(3)->prompt,
                 "Input String Bytes - (@1:16)");
    EXPECT_STREQ(modelForEntry(QStringLiteral("7337B"))->menu->function(10)->prompt,
                 "Output String Bytes - (@1:7)");
    EXPECT_STREQ(modelForEntry(QStringLiteral("7311"))->menu->function(3)->prompt,
                 "Input String Bytes - (@1:5)");
}

// Compared with the menus written out from the documentation, so a one-character slip in a
// prompt or header names its entry and function here rather than only in a whole run.
TEST(ModelTable, EveryPromptAndHeaderIsTheDocumentedOne)
{
    for (const Model& m : models()) {
        SCOPED_TRACE(m.entry);
        const test::DocumentedMenu documented = test::documentedMenu(QLatin1String(m.entry));
        ASSERT_EQ(static_cast<std::size_t>(m.menu->count()), documented.size());
        for (int n = 1; n <= m.menu->count(); ++n) {
            const MenuFunction f = *m.menu->function(n);
            const test::DocumentedRow& d = documented.at(static_cast<std::size_t>(n - 1));
            EXPECT_EQ(QString::fromLatin1(f.prompt), QString::fromLatin1(d.prompt))
                << "function " << n;
            EXPECT_EQ(m.busHeader(f), QString::fromLatin1(d.busHeader)) << "function " << n;
        }
    }
}

TEST(ModelTable, NoticeNamesItsModelInTheSixTexts)
{
    for (const char* entry : {"7311", "7328", "7337B", "7355"}) {
        EXPECT_EQ(modelForEntry(QLatin1String(entry))->notice(),
                  QStringLiteral("    NOTE - This routine configures a ") + QLatin1String(entry) +
                      QStringLiteral(" for string data transfer and does NOT configure the unit "
                                     "for byte transfer nor for monitoring input data in the "
                                     "Questionable Register.    These functions require "
                                     "additional commands in the user's program as they are too "
                                     "complex to implement in the configuration menu.    Press "
                                     "Cancel when ready to continue."));
    }
    EXPECT_EQ(modelForEntry(QStringLiteral("7357"))->notice(), QString());
}

// ----- the engine ---------------------------------------------------------------------------

TEST_F(ConfigLogicTest, LockModelsUnlockAndClearBeforeTheFirstQueryOnly)
{
    open(QStringLiteral("7357"));
    driver.replies = {"5\n", "0\n", "0\n"};
    setAddress(QStringLiteral("5"));
    EXPECT_EQ(sends(), QStringList({"CAL:LOCK 0", "*CLS", "SYST:COMM:GPIB:ADDR?"}));
    EXPECT_EQ(screen.lstFunction.lines(),
              QStringList({FormatMenuLine(QStringLiteral("Bus Address - 0 to 30 or 31"),
                                          QStringLiteral("5\n"))}));
    EXPECT_TRUE(screen.cmdEnter.enabled());
    EXPECT_TRUE(screen.cmdRedo.enabled());
    EXPECT_TRUE(screen.labelChoice.visible());
    EXPECT_EQ(screen.focus(), ctl::txtChoice);

    driver.replies = {"0\n", "0\n", "0\n", "0\n"};
    enter(QStringLiteral("7")); // a set step on function 1 does not repeat the start actions
    EXPECT_EQ(sends().count(QStringLiteral("CAL:LOCK 0")), 1);
}

TEST_F(ConfigLogicTest, TriggerModelsSendTheBusCommandSequenceWithPauses)
{
    open(QStringLiteral("7374A"));
    driver.replies = {"G\n"};
    setAddress(QStringLiteral("22"));
    std::vector<BusCall> cmds;
    for (const BusCall& c : driver.calls)
        if (c.kind == BusCall::Kind::SendCmds)
            cmds.push_back(c.request());
    EXPECT_EQ(cmds, (std::vector{BusCall::sendCmds(0, "\x3F"), BusCall::sendCmds(0, "\x36"),
                                 BusCall::sendCmds(0, "\x3F"), BusCall::sendCmds(0, "\x36\x08")}));
    EXPECT_EQ(ctx.clock.pauses, QList<double>({0.2, 0.2, 0.2, 0.2}));
    EXPECT_EQ(sends(), QStringList({"SYST:MODE?"})) << "no unlock for units without a lock";
}

struct AddressDisplayCase {
    const char* reply;
    const char* shown;
};

class AddressDisplay : public ConfigLogicTest,
                       public ::testing::WithParamInterface<AddressDisplayCase> {};

TEST_P(AddressDisplay, RepliesOf32AndMoreShowAsSwitchAddresses)
{
    open(QStringLiteral("7357"));
    driver.replies = {QByteArray(GetParam().reply)};
    setAddress(QStringLiteral("5"));
    EXPECT_EQ(valueOf(lastLine()), QString::fromLatin1(GetParam().shown));
}

INSTANTIATE_TEST_SUITE_P(
    Replies, AddressDisplay,
    ::testing::Values(AddressDisplayCase{"5\n", "5"}, AddressDisplayCase{"37\n", "5/31"},
                      AddressDisplayCase{"32\n", "0/31"}, AddressDisplayCase{"  7\n", "7"},
                      AddressDisplayCase{"31\n", "31"}, AddressDisplayCase{"abc\n", "abc"},
                      AddressDisplayCase{"40.5\n", "8.5/31"}),
    test::namedBy([](const AddressDisplayCase& c) { return std::string_view(c.reply); }));

// After a setting of the address function only the first two characters of the read-back count,
// after any leading blanks, and 32 and more is the switch address: "100" shows 10, "415" 9/31,
// "  7" shows 7.
class AddressReadBack : public ConfigLogicTest,
                        public ::testing::WithParamInterface<AddressDisplayCase> {};

TEST_P(AddressReadBack, ShowsTheFirstTwoCharactersAfterASetting)
{
    open(QStringLiteral("7357"));
    driver.replies = {"5\n"};
    setAddress(QStringLiteral("5"));
    driver.replies = {"0\n", QByteArray(GetParam().reply)};
    enter(QStringLiteral("9"));
    EXPECT_EQ(valueOf(lastLine()), QString::fromLatin1(GetParam().shown));
}

INSTANTIATE_TEST_SUITE_P(
    Replies, AddressReadBack,
    ::testing::Values(AddressDisplayCase{"9\n", "9"}, AddressDisplayCase{"100\n", "10"},
                      AddressDisplayCase{"  7\n", "7"}, AddressDisplayCase{" 7\n", "7"},
                      AddressDisplayCase{" 37\n", "5/31"},
                      AddressDisplayCase{"32\n", "0/31"}, AddressDisplayCase{"41\n", "9/31"},
                      AddressDisplayCase{"415\n", "9/31"}, AddressDisplayCase{"31\n", "31"},
                      AddressDisplayCase{"x\n", "0"}),
    test::namedBy([](const AddressDisplayCase& c) { return std::string_view(c.reply); }));

TEST_F(ConfigLogicTest, ReceiveErrorIsReportedAndTheLineStillShown)
{
    open(QStringLiteral("7357"));
    driver.statusFor = [](const BusCall& call) {
        if (call.kind == BusCall::Kind::Receive)
            return test::FakeDriver::Status{sta::ERR | sta::TIMO | sta::CMPL, err::EABO, 0};
        return test::FakeDriver::Status{};
    };
    setAddress(QStringLiteral("5"));
    EXPECT_TRUE(screen.txtGPIBErr.visible());
    EXPECT_TRUE(screen.txtGPIBErr.text().startsWith(QStringLiteral(
        "Receive Error ibsta = &HC100 <   ERR TIMO CMPL >iberr =  6 EABO <Op. aborted>")));
    EXPECT_EQ(lastLine(),
              QStringLiteral("Bus Address - 0 to 30 or 31") + QString(8 + 17, QLatin1Char(' ')));
    EXPECT_TRUE(screen.cmdEnter.enabled()) << "the menu goes on";
    // The next press hides the report.
    driver.statusFor = nullptr;
    driver.replies = {"0\n"};
    enter();
    EXPECT_FALSE(screen.txtGPIBErr.visible());
}

struct SetCase {
    const char* esr;
    const char* readBack;
    const char* shown;
};

class SetStep : public ConfigLogicTest, public ::testing::WithParamInterface<SetCase> {};

TEST_P(SetStep, EventStatusDecidesBetweenReadBackAndError)
{
    open(QStringLiteral("7357"));
    driver.replies = {"5\n"};
    setAddress(QStringLiteral("5"));
    enter(); // to *ESE
    driver.calls.clear();
    driver.replies = {QByteArray(GetParam().esr), QByteArray(GetParam().readBack)};
    enter(QStringLiteral("16"));
    QStringList expected = {"*ESE 16", "*ESR?"};
    if (QByteArray(GetParam().shown) != "No response" &&
        QByteArray(GetParam().shown) != "Error - retry")
        expected << "*ESE?";
    EXPECT_EQ(sends(), expected);
    EXPECT_EQ(valueOf(lastLine()), QString::fromLatin1(GetParam().shown));
    EXPECT_EQ(logic.currentFunction(), 2) << "a setting does not advance";
    EXPECT_EQ(screen.lstFunction.lineCount(), 2);
}

INSTANTIATE_TEST_SUITE_P(
    Replies, SetStep,
    ::testing::Values(SetCase{"0\n", "16\n", "16"}, SetCase{"8\n", "16\n", "16"},
                      SetCase{"128\n", "16\n", "16"}, SetCase{"32\n", "", "Error - retry"},
                      SetCase{"16\n", "", "Error - retry"}, SetCase{"4\n", "", "Error - retry"},
                      SetCase{"36\n", "", "Error - retry"}, SetCase{"", "", "No response"},
                      SetCase{"1E300\n", "", "Error - retry"}),
    test::namedBy([](const SetCase& c) { return std::string("ESR ") + c.esr; }));

TEST_F(ConfigLogicTest, SettingTheAddressFunctionFollowsTheUnitExceptFor31)
{
    open(QStringLiteral("7357"));
    driver.replies = {"5\n"};
    setAddress(QStringLiteral("5"));
    ctx.clock.pauses.clear();
    driver.replies = {"0\n", "7\n"};
    enter(QStringLiteral("7"));
    EXPECT_EQ(ctx.clock.pauses, QList<double>({0.2, 0.2})) << "0.4 s for the address function";
    EXPECT_EQ(ctx.state.unit.word, 7);
    ASSERT_GE(driver.calls.size(), 4u);
    EXPECT_EQ(driver.calls.at(driver.calls.size() - 4).request(),
              BusCall::send(0, 0x0007, "*ESR?", eot::NLend));
    EXPECT_EQ(valueOf(lastLine()), QStringLiteral("7"));

    driver.replies = {"0\n", "39\n"};
    enter(QStringLiteral("31"));
    EXPECT_EQ(ctx.state.unit.word, 7) << "31 keeps talking to the old address";
    EXPECT_EQ(valueOf(lastLine()), QStringLiteral("7/31"));
}

TEST_F(ConfigLogicTest, OnlyPlainDigitsForTheAddressFunctionAreFollowed)
{
    open(QStringLiteral("7357"));
    driver.replies = {"5\n"};
    setAddress(QStringLiteral("5"));
    // Sent as typed, but the unit reads none of these as a bus address of ours.
    for (const char* typed : {"-1", "45", "99999", "abc", "30.6", "28.4", "2.8E1", "29.6", "+7",
                              "&H1C", "28abc", "7 7", "000000000000000000007"}) {
        driver.replies = {"16\n"};
        enter(QString::fromLatin1(typed));
        EXPECT_EQ(ctx.state.unit.word, 5) << typed;
        EXPECT_TRUE(
            sends().contains(QStringLiteral("SYST:COMM:GPIB:ADDR ") + QLatin1String(typed)));
    }
    for (const auto& [typed, followed] :
         {std::pair{" 07 ", 7}, std::pair{"\t30", 30}, std::pair{"0", 0}}) {
        driver.replies = {"0\n", "0\n"};
        enter(QString::fromLatin1(typed));
        EXPECT_EQ(ctx.state.unit.word, followed) << typed;
    }
}

TEST_F(ConfigLogicTest, APastedLineBreakStaysInsideOneMessage)
{
    open(QStringLiteral("7357"));
    driver.replies = {"5\n"};
    setAddress(QStringLiteral("5"));
    enter(); // to *ESE
    driver.calls.clear();
    driver.replies = {"0\n", "16\n"};
    enter(QStringLiteral("16\r\n17\n"));
    EXPECT_EQ(sends(), QStringList({"*ESE 16  17 ", "*ESR?", "*ESE?"}));
}

TEST_F(ConfigLogicTest, FourChannelUnitKeepsItsSecondaryWhenTheAddressMoves)
{
    open(QStringLiteral("7379"));
    host.channel = 2;
    driver.replies = {"5\n"};
    setAddress(QStringLiteral("5"));
    driver.replies = {"0\n", "9\n"};
    enter(QStringLiteral("9"));
    EXPECT_EQ(ctx.state.unit.word, 0x6C09);
}

TEST_F(ConfigLogicTest, TwentyOneFunctionsScrollAfterFourteenLines)
{
    open(QStringLiteral("7311"));
    driver.replies = {"1\n"};
    setAddress(QStringLiteral("1"));
    EXPECT_EQ(host.notices, 1);
    for (int f = 2; f <= 21; ++f) {
        driver.replies = {QByteArray::number(f) + "\n"};
        enter();
        EXPECT_LE(screen.lstFunction.lineCount(), 14);
        if (f == 15) {
            EXPECT_EQ(logic.scrollCount(), 1);
        }
    }
    EXPECT_EQ(logic.scrollCount(), 7);
    EXPECT_EQ(screen.lstFunction.lineCount(), 14);
    EXPECT_TRUE(screen.lstFunction.lines().first().startsWith(
        QStringLiteral("Talk Format - Ascii/HEXL/HEX/Table")))
        << "functions 8 to 21 remain";
    EXPECT_EQ(screen.lstFunction.selectedLine(), 13);

    driver.replies = {"0\n", "255\n"};
    enter(QStringLiteral("255"));
    EXPECT_EQ(
        screen.lstFunction.lines().at(13),
        FormatMenuLine(QStringLiteral("SRE Enable Bits - 0 to 255"), QStringLiteral("255\n")));

    enter();
    EXPECT_FALSE(screen.cmdEnter.enabled());
    EXPECT_FALSE(screen.cmdSet.enabled());
    for (const Control* c : {&screen.cmdSav, &screen.cmdLock, &screen.cmdSRQ, &screen.cmdNoSRQ})
        EXPECT_TRUE(c->enabled()) << c->name().toStdString();
}

TEST_F(ConfigLogicTest, NoticeComesBeforeAnythingElseThenTheSecondInterfaceClear)
{
    open(QStringLiteral("7355"));
    driver.replies = {"16\n"};
    setAddress(QStringLiteral("16"));
    EXPECT_EQ(host.busCallsWhenNoticeShown, 2) << "only IFC and device clear before the notice";
    EXPECT_TRUE(host.noticeShown.startsWith(
        QStringLiteral("    NOTE - This routine configures a 7355 for")));
    ASSERT_GE(driver.calls.size(), 4u);
    EXPECT_EQ(
        test::requests({driver.calls.begin() + 2, driver.calls.begin() + 4}),
        (std::vector{BusCall::sendIfc(0), BusCall::send(0, 0x0010, "CAL:LOCK 0", eot::NLend)}));
}

TEST_F(ConfigLogicTest, DoubleClickOnTheListDoesNothingWhileEnterIsDisabled)
{
    open(QStringLiteral("7357"));
    logic.enterFromList();
    EXPECT_TRUE(driver.calls.empty());
    driver.replies = {"5\n", "0\n", "0\n"};
    setAddress(QStringLiteral("5"));
    enter();
    enter();
    enter(); // end of menu
    const auto callsAtEnd = driver.calls.size();
    logic.enterFromList();
    logic.enterOrAdvance();
    enter(QStringLiteral("7")); // the engine itself refuses a step past its menu
    EXPECT_EQ(driver.calls.size(), callsAtEnd);
    EXPECT_EQ(logic.currentFunction(), 4);
}

TEST_F(ConfigLogicTest, DoubleClickOnTheListAfterTheMenuLeavesReportAndTypedTextAlone)
{
    open(QStringLiteral("7357"));
    driver.replies = {"5\n", "0\n", "0\n"};
    setAddress(QStringLiteral("5"));
    enter();
    enter();
    enter(); // end of menu
    driver.statusFor = test::failing(test::sendOf("*SAV 0"), err::ENOL);
    logic.saveConfiguration();
    ASSERT_TRUE(screen.txtGPIBErr.visible());
    screen.txtChoice.userEditedText(QStringLiteral("7"));
    logic.enterFromList();
    EXPECT_TRUE(screen.txtGPIBErr.visible()) << "the failed save's report stays";
    EXPECT_EQ(screen.txtChoice.text(), QStringLiteral("7"));
}

// ----- finishing commands ---------------------------------------------------------------------

struct FinishTest : ConfigLogicTest {
    void runToEnd(const QString& model = QStringLiteral("7357"))
    {
        open(model);
        driver.replies = {"5\n", "0\n", "0\n"};
        setAddress(QStringLiteral("5"));
        enter();
        enter();
        enter();
        driver.calls.clear();
    }
};

TEST_F(FinishTest, SaveThenDoneClosesAtOnce)
{
    runToEnd();
    driver.replies = {"0\n"};
    logic.saveConfiguration();
    EXPECT_EQ(sends(), QStringList({"*CLS", "*SAV 0", "*ESR?"}));
    EXPECT_FALSE(screen.cmdSav.enabled());
    EXPECT_FALSE(screen.txtGPIBErr.visible());
    EXPECT_TRUE(logic.doneArmed());
    logic.leave();
    EXPECT_EQ(host.closed, 1);
    EXPECT_EQ(ctx.notifier.beeps, 0);
}

TEST_F(FinishTest, FailedSaveIsReportedAndCanBeTriedAgain)
{
    runToEnd();
    driver.statusFor = test::failing(test::sendOf("*SAV 0"), err::ENOL);
    logic.saveConfiguration();
    EXPECT_TRUE(screen.txtGPIBErr.text().startsWith(QStringLiteral("Send SAV Error ibsta")));
    EXPECT_EQ(sends(), QStringList({"*CLS", "*SAV 0"})) << "nothing to confirm after a failed send";
    EXPECT_TRUE(screen.cmdSav.enabled());
    EXPECT_FALSE(logic.doneArmed());
    logic.leave();
    EXPECT_EQ(host.closed, 0);
    EXPECT_EQ(ctx.notifier.beeps, 1);
}

// What the unit's answer to *ESR? after *SAV 0 makes of Save Configuration and Lock Settings.
struct SaveCheckCase {
    const char* esr;
    const char* saveLine; // status box after Save Configuration; empty: confirmed
    const char* lockLine; // ... after Lock Settings
};

class SaveCheck : public FinishTest, public ::testing::WithParamInterface<SaveCheckCase> {};

TEST_P(SaveCheck, OnlyAConfirmedSaveArmsDone)
{
    const SaveCheckCase c = GetParam();
    const bool confirmed = QByteArray(c.saveLine).isEmpty();
    for (const bool lock : {false, true}) {
        SCOPED_TRACE(lock ? "Lock Settings" : "Save Configuration");
        runToEnd();
        driver.replies = {QByteArray(c.esr)};
        if (lock) {
            logic.lockSettings();
            EXPECT_EQ(sends(), QStringList({"*CLS", "CAL:LOCK ON", "*SAV 0", "*ESR?"}));
        } else {
            logic.saveConfiguration();
            EXPECT_EQ(sends(), QStringList({"*CLS", "*SAV 0", "*ESR?"}));
        }
        EXPECT_EQ(logic.doneArmed(), confirmed);
        EXPECT_EQ(screen.txtGPIBErr.visible(), !confirmed);
        if (!confirmed) {
            EXPECT_EQ(screen.txtGPIBErr.text(),
                      QString::fromLatin1(lock ? c.lockLine : c.saveLine));
        }
        EXPECT_EQ(screen.cmdSav.enabled(), lock || !confirmed)
            << "Save stays offered until it is confirmed";
        const auto requests = test::requests(driver.calls);
        EXPECT_EQ(std::count(requests.begin(), requests.end(), BusCall::ibonl(0, 0)), 0)
            << "not a bus failure";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Replies, SaveCheck,
    ::testing::Values(
        SaveCheckCase{"0\n", "", ""}, SaveCheckCase{"128\n", "", ""}, SaveCheckCase{"1\n", "", ""},
        SaveCheckCase{"16\n", "Save refused by the unit: ESR = 16",
                      "Lock or save refused by the unit: ESR = 16"},
        SaveCheckCase{"8\n", "Save refused by the unit: ESR = 8",
                      "Lock or save refused by the unit: ESR = 8"},
        SaveCheckCase{"4\n", "Save refused by the unit: ESR = 4",
                      "Lock or save refused by the unit: ESR = 4"},
        SaveCheckCase{"160\n", "Save refused by the unit: ESR = 160",
                      "Lock or save refused by the unit: ESR = 160"},
        SaveCheckCase{"", "Save not confirmed by the unit: no answer to *ESR?",
                      "Lock or save not confirmed by the unit: no answer to *ESR?"},
        SaveCheckCase{"OK\n", "Save not confirmed by the unit: no number in its answer to *ESR?",
                      "Lock or save not confirmed by the unit: no number in its answer to *ESR?"},
        SaveCheckCase{"1E300\n", "Save not confirmed by the unit: no number in its answer to *ESR?",
                      "Lock or save not confirmed by the unit: no number in its answer to *ESR?"},
        // No register holds it, though none of its low bits is an error bit.
        SaveCheckCase{"4294967296\n",
                      "Save not confirmed by the unit: no number in its answer to *ESR?",
                      "Lock or save not confirmed by the unit: no number in its answer to *ESR?"}),
    test::namedBy([](const SaveCheckCase& c) { return std::string("ESR ") + c.esr; }));

TEST_F(FinishTest, AFailedSaveCheckOnTheBusIsReportedUnderItsOwnTitle)
{
    for (const auto& [failing, title] :
         {std::pair{test::sendOf("*CLS"), "Send CLS Error ibsta"},
          std::pair{test::sendOf("*ESR?"), "Send ESR Error ibsta"},
          std::pair{test::callsOf(BusCall::Kind::Receive), "Receive ESR Error ibsta"}}) {
        runToEnd();
        driver.statusFor = test::failing(failing, err::EABO);
        logic.saveConfiguration();
        EXPECT_TRUE(screen.txtGPIBErr.text().startsWith(QLatin1String(title))) << title;
        EXPECT_FALSE(logic.doneArmed());
        EXPECT_TRUE(screen.cmdSav.enabled());
        driver.statusFor = nullptr;
    }
}

TEST_F(FinishTest, PowerOnStatusButtonsRepeatAndReportUnderTheirTitle)
{
    runToEnd();
    logic.keepEnablesAtPowerOn();
    logic.keepEnablesAtPowerOn();
    logic.clearEnablesAtPowerOn();
    EXPECT_EQ(sends(), QStringList({"*PSC 0", "*PSC 0", "*PSC 1"}));
    driver.statusFor = test::failing(BusCall::Kind::Send, err::ENOL);
    logic.clearEnablesAtPowerOn();
    EXPECT_TRUE(screen.txtGPIBErr.text().startsWith(QStringLiteral("Send ESE Error ibsta")));
    EXPECT_TRUE(screen.cmdNoSRQ.enabled());
}

TEST_F(FinishTest, AConfirmedLockClosesLikeASave)
{
    runToEnd();
    driver.replies = {"0\n"};
    logic.lockSettings();
    EXPECT_EQ(sends(), QStringList({"*CLS", "CAL:LOCK ON", "*SAV 0", "*ESR?"}));
    logic.leave();
    EXPECT_EQ(host.closed, 1) << "the lock saved the settings";
    EXPECT_EQ(ctx.notifier.beeps, 0);
}

TEST_F(FinishTest, LockFailuresAreReported)
{
    runToEnd();
    driver.statusFor = test::failing(test::sendOf("CAL:LOCK ON"), err::ENOL);
    logic.lockSettings();
    EXPECT_TRUE(screen.txtGPIBErr.text().startsWith(QStringLiteral("Send LOCK Error ibsta")));
    EXPECT_EQ(sends(), QStringList({"*CLS", "CAL:LOCK ON"}));

    driver.calls.clear();
    driver.statusFor = test::failing(test::sendOf("*SAV 0"), err::ENOL);
    logic.lockSettings();
    EXPECT_EQ(sends(), QStringList({"*CLS", "CAL:LOCK ON", "*SAV 0"}));
    EXPECT_TRUE(screen.txtGPIBErr.text().startsWith(QStringLiteral("Send SAV Error ibsta")));
    EXPECT_FALSE(logic.doneArmed());
}

TEST_F(FinishTest, RedoReturnsToTheAddressStageWithoutBusTraffic)
{
    runToEnd();
    logic.startOver();
    EXPECT_TRUE(driver.calls.empty());
    EXPECT_EQ(screen.lstFunction.lineCount(), 0);
    EXPECT_TRUE(screen.txtAddr.text().isEmpty());
    EXPECT_EQ(screen.focus(), ctl::txtAddr);
    EXPECT_TRUE(screen.cmdSet.enabled());
    EXPECT_TRUE(screen.cmdRedo.enabled());
    EXPECT_TRUE(screen.cmdDone.enabled());
    for (const Control* c :
         {&screen.cmdEnter, &screen.cmdLock, &screen.cmdSRQ, &screen.cmdNoSRQ, &screen.cmdSav})
        EXPECT_FALSE(c->enabled()) << c->name().toStdString();
}

TEST_F(FinishTest, ANewMenuAfterASaveAsksAgainBeforeLeaving)
{
    runToEnd();
    driver.replies = {"0\n"};
    logic.saveConfiguration();
    ASSERT_TRUE(logic.doneArmed());
    logic.startOver();
    driver.replies = {"5\n"};
    setAddress(QStringLiteral("5"));
    EXPECT_FALSE(logic.doneArmed());
    logic.leave();
    EXPECT_EQ(host.closed, 0);
    EXPECT_TRUE(screen.txtGPIBErr.visible());
}

TEST_F(FinishTest, TheLockGroupIsOfferedOnlyToModelsThatLock)
{
    for (const auto& [entry, locks] :
         {std::pair{"7357", true}, std::pair{"7385A", true}, std::pair{"7311", true},
          std::pair{"7374A", false}, std::pair{"7370B", false}, std::pair{"7376", false}}) {
        SCOPED_TRACE(entry);
        open(QLatin1String(entry));
        setAddress(QStringLiteral("5"));
        for (int f = 0; f < modelForEntry(QLatin1String(entry))->menu->count(); ++f)
            enter();
        EXPECT_TRUE(screen.cmdSav.enabled());
        for (const Control* c : {&screen.cmdLock, &screen.cmdSRQ, &screen.cmdNoSRQ})
            EXPECT_EQ(c->enabled(), locks) << c->name().toStdString();
    }
}

TEST_F(FinishTest, FourChannelUnitOffersNextChannelUntilChannelFour)
{
    open(QStringLiteral("7379"));
    for (int channel = 1; channel <= 4; ++channel) {
        host.channel = channel;
        if (channel == 1) {
            setAddress(QStringLiteral("25"));
        } else {
            ASSERT_TRUE(screen.cmdNextCh.enabled());
            logic.nextChannel();
        }
        EXPECT_FALSE(screen.cmdNextCh.visible());
        EXPECT_EQ(ctx.state.unit.word, 25 + (0x60 + 10 + channel) * 256);
        for (int f = 0; f < 14; ++f)
            enter();
        EXPECT_FALSE(screen.cmdEnter.enabled());
        EXPECT_EQ(screen.cmdNextCh.visible(), channel < 4);
        EXPECT_EQ(screen.cmdSav.enabled(), channel == 4);
        EXPECT_FALSE(screen.cmdLock.enabled());
    }
    driver.calls.clear();
    logic.saveConfiguration();
    ASSERT_GE(driver.calls.size(), 2u);
    EXPECT_EQ(driver.calls.at(1).request(), BusCall::send(0, 0x6E19, "*SAV 0", eot::NLend));
}

TEST_F(FinishTest, NextChannelPutsThePrimaryAddressBackWithItsBlank)
{
    open(QStringLiteral("7379"));
    host.channel = 1;
    setAddress(QStringLiteral("25"));
    for (int f = 0; f < 14; ++f)
        enter();
    driver.calls.clear();
    host.channel = 2;
    logic.nextChannel();
    EXPECT_EQ(screen.txtAddr.text(), QStringLiteral(" 25"));
    const auto requests = test::requests(driver.calls);
    EXPECT_NE(std::find(requests.begin(), requests.end(), BusCall::devClear(0, 0x6C19)),
              requests.end());
}

TEST_F(FinishTest, ClosingTheChannelDialogAfterNextChannelKeepsTheEndOfTheMenu)
{
    open(QStringLiteral("7379"));
    host.channel = 1;
    setAddress(QStringLiteral("25"));
    for (int f = 0; f < 14; ++f)
        enter();
    const QStringList lines = screen.lstFunction.lines();
    const std::vector<const Control*> controls = {&screen.txtAddr, &screen.cmdSet, &screen.cmdEnter,
                                                  &screen.cmdSav, &screen.cmdNextCh};
    std::vector<bool> enabled;
    for (const Control* c : controls)
        enabled.push_back(c->enabled());
    driver.calls.clear();

    host.channel.reset();
    logic.nextChannel();
    EXPECT_TRUE(driver.calls.empty());
    EXPECT_EQ(screen.lstFunction.lines(), lines);
    for (std::size_t k = 0; k < controls.size(); ++k)
        EXPECT_EQ(controls[k]->enabled(), enabled[k]) << controls[k]->name().toStdString();
    EXPECT_TRUE(screen.cmdNextCh.visible());
    EXPECT_EQ(ctx.state.unit.word, 0x6B19);
}

} // namespace
