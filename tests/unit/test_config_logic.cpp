#include "config/ConfigLogic.h"
#include "config/Controls.h"
#include "config/WindowLayouts.h"
#include "models/ModelFamily.h"
#include "models/ModelList.h"
#include "support/BusRecords.h"
#include "support/ParamNames.h"
#include "support/TestContext.h"

#include <QSet>
#include <algorithm>
#include <cstring>
#include <gtest/gtest.h>
#include <map>

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
    bool askChannel() override
    {
        if (!channel)
            return false;
        state->unit.ChannelNumber = *channel;
        return true;
    }
    void showNotice() override
    {
        ++notices;
        noticeShown = state->NoticeText;
        busCallsWhenNoticeShown = static_cast<int>(driver->calls.size());
    }
};

struct ConfigLogicTest : ::testing::Test {
    test::FakeDriver driver;
    test::TestContext ctx{driver};
    Screen screen{configWindowDef()};
    Host host;
    ConfigLogic logic{ctx.app, screen, host};

    void SetUp() override
    {
        host.driver = &driver;
        host.state = &ctx.state;
    }
    void open(const QString& model)
    {
        ctx.state.ModelNumber = model;
        ctx.state.ModelCode = modelCodeOf(model).value_or(0);
        logic.Form_Load();
    }
    void setAddress(const QString& text)
    {
        screen.userEditedText(ctl::txtAddr, text);
        logic.cmdSet_Click();
    }
    void enter(const QString& text = {})
    {
        screen.userEditedText(ctl::txtChoice, text);
        logic.cmdEnter_Click();
    }
    QStringList sends() const
    {
        QStringList out;
        for (const BusCall& c : driver.calls)
            if (c.kind == BusCall::Kind::Send)
                out << QString::fromLatin1(test::bytesOf(c));
        return out;
    }
    QString lastLine() const { return screen.lines(ctl::lstFunction).last(); }
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
        EXPECT_TRUE(screen.visible(ctl::txtErrMsg));
        EXPECT_EQ(screen.text(ctl::txtErrMsg), QStringLiteral("Address out of range, re-enter"));
        EXPECT_EQ(ctx.notifier.beeps, 1);
        EXPECT_EQ(screen.text(ctl::txtAddr), QString::fromUtf8(c.typed)) << "the text stays";
        EXPECT_FALSE(screen.enabled(ctl::cmdEnter));
        return;
    }
    ASSERT_GE(driver.calls.size(), 2u) << c.typed;
    EXPECT_EQ(driver.calls.at(0).request(), BusCall::sendIfc(0));
    EXPECT_EQ(driver.calls.at(1).request(),
              BusCall::devClear(0, static_cast<Addr4882>(c.devClearWord)));
    EXPECT_FALSE(screen.visible(ctl::txtErrMsg));
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
    EXPECT_EQ(ctx.state.unit.DeviceAddress, 5);
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
    EXPECT_TRUE(screen.visible(ctl::txtGPIBErr));
    EXPECT_TRUE(screen.text(ctl::txtGPIBErr)
                    .startsWith(QStringLiteral(
                        "DevClear Error ibsta = &H8100 <   ERR CMPL >iberr =  2 ENOL")));
    EXPECT_FALSE(screen.enabled(ctl::cmdEnter));
    EXPECT_FALSE(screen.enabled(ctl::cmdRedo));
    EXPECT_FALSE(screen.visible(ctl::labelChoice));
    EXPECT_EQ(driver.calls.back().request(), BusCall::ibonl(0, 0));
}

TEST_F(ConfigLogicTest, UnknownModelIsRefusedAfterThePauseAndTheWindowCloses)
{
    ctx.state.ModelCode = 7301;
    ctx.state.ModelNumber = QStringLiteral("7301");
    logic.Form_Load();
    setAddress(QStringLiteral("5"));
    EXPECT_EQ(screen.text(ctl::txtErrMsg),
              QStringLiteral("Bad Model Number, Configuration halted"));
    EXPECT_TRUE(screen.visible(ctl::txtErrMsg));
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
    EXPECT_EQ(ctx.state.unit.DeviceAddress, 0x6E05) << "the channel address stays for the menu";
    EXPECT_EQ(driver.calls.at(2).request(),
              BusCall::send(0, 0x6E05, "SYST:COMM:GPIB:ADDR?", eot::NLend));
}

TEST_F(ConfigLogicTest, FractionalChannelsRoundHalfToEven)
{
    open(QStringLiteral("7379"));
    host.channel = 2.5;
    setAddress(QStringLiteral("5"));
    EXPECT_EQ(ctx.state.unit.SecondaryAddress, 12);
}

TEST_F(ConfigLogicTest, ClosingTheChannelDialogCancelsTheSetAddress)
{
    open(QStringLiteral("7379"));
    host.channel.reset();
    setAddress(QStringLiteral("5"));
    EXPECT_TRUE(driver.calls.empty());
    EXPECT_FALSE(screen.enabled(ctl::cmdEnter));
    EXPECT_TRUE(screen.enabled(ctl::cmdSet));
}

TEST_F(ConfigLogicTest, ClosingTheChannelDialogMidMenuKeepsTheRunAsItWas)
{
    open(QStringLiteral("7379"));
    host.channel = 1;
    setAddress(QStringLiteral("25"));
    enter();
    enter();
    const QStringList lines = screen.lines(ctl::lstFunction);
    const int index = ctx.state.run.FuncIndex;

    host.channel.reset();
    ctx.state.unit.ChannelNumber = 7; // what a bad entry leaves before the dialog is closed
    host.channel.reset();
    setAddress(QStringLiteral("7"));
    EXPECT_EQ(ctx.state.unit.DeviceAddress, 0x6B19);
    EXPECT_EQ(ctx.state.unit.PrimaryAddress, 25);
    EXPECT_EQ(ctx.state.unit.SecondaryAddress, 11);
    EXPECT_EQ(ctx.state.unit.ChannelNumber, 7) << "the channel is what it was before the dialog";
    EXPECT_EQ(ctx.state.run.FuncIndex, index);
    EXPECT_EQ(screen.lines(ctl::lstFunction), lines);

    driver.calls.clear();
    enter();
    ASSERT_FALSE(driver.calls.empty());
    EXPECT_EQ(driver.calls.front().kind, BusCall::Kind::Send) << driver.calls.front().traceLine();
    EXPECT_EQ(driver.calls.front().address, 0x6B19) << driver.calls.front().traceLine();
}

// ----- dispatch -----------------------------------------------------------------------------

TEST(ModelFamily, EveryListEntryReachesItsRoutine)
{
    const std::map<QString, QString> expected = {
        {"7311", "CONFIG11"},   {"7314A", "CONFIG74A"}, {"7314B", "CONFIG74A"},
        {"7317", "CONFIG17"},   {"7321", "CONFIG21"},   {"7322", "CONFIG22"},
        {"7325", "CONFIG25"},   {"7325A", "CONFIG25"},  {"7328", "CONFIG28"},
        {"7331", "CONFIG17"},   {"7334", "CONFIG85"},   {"7334A", "CONFIG85"},
        {"7337B", "CONFIG37B"}, {"7340A", "CONFIG25"},  {"7352A", "CONFIG52A"},
        {"7355", "CONFIG55"},   {"7357", "CONFIG57"},   {"7360", "CONFIG17"},
        {"7362", "CONFIG62"},   {"7370A", "CONFIG70A"}, {"7370B", "CONFIG70B"},
        {"7374A", "CONFIG74A"}, {"7374B", "CONFIG74A"}, {"7376", "CONFIG76"},
        {"7379", "CONFIG79"},   {"7385", "CONFIG85"},   {"7385A", "CONFIG85"}};
    QSet<QString> reached;
    for (const QString& entry : modelList()) {
        const ModelRoutine* r = routineFor(*modelCodeOf(entry), entry);
        ASSERT_NE(r, nullptr) << entry.toStdString();
        EXPECT_EQ(QLatin1String(r->name), expected.at(entry)) << entry.toStdString();
        reached.insert(QLatin1String(r->name));
    }
    EXPECT_EQ(reached.size(), 17);
    EXPECT_EQ(routineFor(7301, QStringLiteral("7301")), nullptr);
    EXPECT_EQ(QLatin1String(routineFor(7370, QStringLiteral("7370"))->name),
              QLatin1String("CONFIG70A"));
}

TEST(ModelFamily, TablesFitTheFunctionTableAndPromptsTheListColumn)
{
    for (const ModelRoutine& r : allRoutines()) {
        const auto rows = r.rows();
        EXPECT_GE(rows.size(), 3u) << r.name;
        EXPECT_LE(rows.size(), 25u) << r.name;
        EXPECT_TRUE(r.addressFunc >= 1 && r.addressFunc <= static_cast<int>(rows.size())) << r.name;
        for (const MenuRow& row : rows)
            EXPECT_LE(std::strlen(row.prompt), 35u) << row.prompt;
        const QString addressHeader =
            QLatin1String(r.headerPrefix) +
            QLatin1String(rows[static_cast<std::size_t>(r.addressFunc - 1)].header);
        EXPECT_EQ(addressHeader, QStringLiteral("SYST:COMM:GPIB:ADDR")) << r.name;
    }
}

// ----- the engine ---------------------------------------------------------------------------

TEST_F(ConfigLogicTest, LockModelsUnlockAndClearBeforeTheFirstQueryOnly)
{
    open(QStringLiteral("7357"));
    driver.replies = {"5\n", "0\n", "0\n"};
    setAddress(QStringLiteral("5"));
    EXPECT_EQ(sends(), QStringList({"CAL:LOCK 0", "*CLS", "SYST:COMM:GPIB:ADDR?"}));
    EXPECT_EQ(screen.lines(ctl::lstFunction),
              QStringList({FormatMenuLine(QStringLiteral("Bus Address - 0 to 30 or 31"),
                                          QStringLiteral("5\n"))}));
    EXPECT_TRUE(screen.enabled(ctl::cmdEnter));
    EXPECT_TRUE(screen.enabled(ctl::cmdRedo));
    EXPECT_TRUE(screen.visible(ctl::labelChoice));
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

TEST_F(ConfigLogicTest, ReceiveErrorIsReportedAndTheLineStillShown)
{
    open(QStringLiteral("7357"));
    driver.statusFor = [](const BusCall& call) {
        if (call.kind == BusCall::Kind::Receive)
            return test::FakeDriver::Status{sta::ERR | sta::TIMO | sta::CMPL, err::EABO, 0, 0};
        return test::FakeDriver::Status{};
    };
    setAddress(QStringLiteral("5"));
    EXPECT_TRUE(screen.visible(ctl::txtGPIBErr));
    EXPECT_TRUE(
        screen.text(ctl::txtGPIBErr)
            .startsWith(QStringLiteral(
                "Receive Error ibsta = &HC100 <   ERR TIMO CMPL >iberr =  6 EABO <Op. aborted>")));
    EXPECT_EQ(lastLine(),
              QStringLiteral("Bus Address - 0 to 30 or 31") + QString(8 + 17, QLatin1Char(' ')));
    EXPECT_TRUE(screen.enabled(ctl::cmdEnter)) << "the menu goes on";
    // The next press hides the report.
    driver.statusFor = nullptr;
    driver.replies = {"0\n"};
    enter();
    EXPECT_FALSE(screen.visible(ctl::txtGPIBErr));
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
    EXPECT_EQ(ctx.state.run.FuncIndex, 2) << "a setting does not advance";
    EXPECT_EQ(screen.lineCount(ctl::lstFunction), 2);
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
    EXPECT_EQ(ctx.state.unit.DeviceAddress, 7);
    ASSERT_GE(driver.calls.size(), 4u);
    EXPECT_EQ(driver.calls.at(driver.calls.size() - 4).request(),
              BusCall::send(0, 0x0007, "*ESR?", eot::NLend));
    EXPECT_EQ(valueOf(lastLine()), QStringLiteral("7"));

    driver.replies = {"0\n", "39\n"};
    enter(QStringLiteral("31"));
    EXPECT_EQ(ctx.state.unit.DeviceAddress, 7) << "31 keeps talking to the old address";
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
        EXPECT_EQ(ctx.state.unit.DeviceAddress, 5) << typed;
        EXPECT_TRUE(
            sends().contains(QStringLiteral("SYST:COMM:GPIB:ADDR ") + QLatin1String(typed)));
    }
    for (const auto& [typed, followed] :
         {std::pair{" 07 ", 7}, std::pair{"\t30", 30}, std::pair{"0", 0}}) {
        driver.replies = {"0\n", "0\n"};
        enter(QString::fromLatin1(typed));
        EXPECT_EQ(ctx.state.unit.DeviceAddress, followed) << typed;
    }
}

TEST_F(ConfigLogicTest, FourChannelUnitKeepsItsSecondaryWhenTheAddressMoves)
{
    open(QStringLiteral("7379"));
    host.channel = 2;
    driver.replies = {"5\n"};
    setAddress(QStringLiteral("5"));
    driver.replies = {"0\n", "9\n"};
    enter(QStringLiteral("9"));
    EXPECT_EQ(ctx.state.unit.DeviceAddress, 0x6C09);
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
        EXPECT_LE(screen.lineCount(ctl::lstFunction), 14);
        if (f == 15) {
            EXPECT_EQ(logic.scrollCount(), 1);
        }
    }
    EXPECT_EQ(logic.scrollCount(), 7);
    EXPECT_EQ(screen.lineCount(ctl::lstFunction), 14);
    EXPECT_TRUE(screen.lines(ctl::lstFunction)
                    .first()
                    .startsWith(QStringLiteral("Talk Format - Ascii/HEXL/HEX/Table")))
        << "functions 8 to 21 remain";
    EXPECT_EQ(screen.selectedLine(ctl::lstFunction), 13);

    driver.replies = {"0\n", "255\n"};
    enter(QStringLiteral("255"));
    EXPECT_EQ(
        screen.lines(ctl::lstFunction).at(13),
        FormatMenuLine(QStringLiteral("SRE Enable Bits - 0 to 255"), QStringLiteral("255\n")));

    enter();
    EXPECT_FALSE(screen.enabled(ctl::cmdEnter));
    EXPECT_FALSE(screen.enabled(ctl::cmdSet));
    for (const QString& name : {ctl::cmdSav, ctl::cmdLock, ctl::cmdSRQ, ctl::cmdNoSRQ})
        EXPECT_TRUE(screen.enabled(name)) << name.toStdString();
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
    logic.lstFunction_DblClick();
    EXPECT_TRUE(driver.calls.empty());
    driver.replies = {"5\n", "0\n", "0\n"};
    setAddress(QStringLiteral("5"));
    enter();
    enter();
    enter(); // end of menu
    const auto callsAtEnd = driver.calls.size();
    logic.lstFunction_DblClick();
    logic.LOOP2();
    EXPECT_EQ(driver.calls.size(), callsAtEnd);
    EXPECT_EQ(ctx.state.run.FuncIndex, 4);
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
    logic.cmdSav_Click();
    EXPECT_EQ(sends(), QStringList({"*CLS", "*SAV 0", "*ESR?"}));
    EXPECT_FALSE(screen.enabled(ctl::cmdSav));
    EXPECT_FALSE(screen.visible(ctl::txtGPIBErr));
    EXPECT_TRUE(logic.doneArmed());
    logic.cmdDone_Click();
    EXPECT_EQ(host.closed, 1);
    EXPECT_EQ(ctx.notifier.beeps, 0);
}

TEST_F(FinishTest, FailedSaveIsReportedAndCanBeTriedAgain)
{
    runToEnd();
    driver.statusFor = test::failing(test::sendOf("*SAV 0"), err::ENOL);
    logic.cmdSav_Click();
    EXPECT_TRUE(screen.text(ctl::txtGPIBErr).startsWith(QStringLiteral("Send SAV Error ibsta")));
    EXPECT_EQ(sends(), QStringList({"*CLS", "*SAV 0"})) << "nothing to confirm after a failed send";
    EXPECT_TRUE(screen.enabled(ctl::cmdSav));
    EXPECT_FALSE(logic.doneArmed());
    logic.cmdDone_Click();
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
            logic.cmdLock_Click();
            EXPECT_EQ(sends(), QStringList({"*CLS", "CAL:LOCK ON", "*SAV 0", "*ESR?"}));
        } else {
            logic.cmdSav_Click();
            EXPECT_EQ(sends(), QStringList({"*CLS", "*SAV 0", "*ESR?"}));
        }
        EXPECT_EQ(logic.doneArmed(), confirmed);
        EXPECT_EQ(screen.visible(ctl::txtGPIBErr), !confirmed);
        if (!confirmed) {
            EXPECT_EQ(screen.text(ctl::txtGPIBErr),
                      QString::fromLatin1(lock ? c.lockLine : c.saveLine));
        }
        EXPECT_EQ(screen.enabled(ctl::cmdSav), lock || !confirmed)
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
        logic.cmdSav_Click();
        EXPECT_TRUE(screen.text(ctl::txtGPIBErr).startsWith(QLatin1String(title))) << title;
        EXPECT_FALSE(logic.doneArmed());
        EXPECT_TRUE(screen.enabled(ctl::cmdSav));
        driver.statusFor = nullptr;
    }
}

TEST_F(FinishTest, PowerOnStatusButtonsRepeatAndReportUnderTheirTitle)
{
    runToEnd();
    logic.cmdSRQ_Click();
    logic.cmdSRQ_Click();
    logic.cmdNoSRQ_Click();
    EXPECT_EQ(sends(), QStringList({"*PSC 0", "*PSC 0", "*PSC 1"}));
    driver.statusFor = test::failing(BusCall::Kind::Send, err::ENOL);
    logic.cmdNoSRQ_Click();
    EXPECT_TRUE(screen.text(ctl::txtGPIBErr).startsWith(QStringLiteral("Send ESE Error ibsta")));
    EXPECT_TRUE(screen.enabled(ctl::cmdNoSRQ));
}

TEST_F(FinishTest, AConfirmedLockClosesLikeASave)
{
    runToEnd();
    driver.replies = {"0\n"};
    logic.cmdLock_Click();
    EXPECT_EQ(sends(), QStringList({"*CLS", "CAL:LOCK ON", "*SAV 0", "*ESR?"}));
    logic.cmdDone_Click();
    EXPECT_EQ(host.closed, 1) << "the lock saved the settings";
    EXPECT_EQ(ctx.notifier.beeps, 0);
}

TEST_F(FinishTest, LockFailuresAreReported)
{
    runToEnd();
    driver.statusFor = test::failing(test::sendOf("CAL:LOCK ON"), err::ENOL);
    logic.cmdLock_Click();
    EXPECT_TRUE(screen.text(ctl::txtGPIBErr).startsWith(QStringLiteral("Send LOCK Error ibsta")));
    EXPECT_EQ(sends(), QStringList({"*CLS", "CAL:LOCK ON"}));

    driver.calls.clear();
    driver.statusFor = test::failing(test::sendOf("*SAV 0"), err::ENOL);
    logic.cmdLock_Click();
    EXPECT_EQ(sends(), QStringList({"*CLS", "CAL:LOCK ON", "*SAV 0"}));
    EXPECT_TRUE(screen.text(ctl::txtGPIBErr).startsWith(QStringLiteral("Send SAV Error ibsta")));
    EXPECT_FALSE(logic.doneArmed());
}

TEST_F(FinishTest, RedoReturnsToTheAddressStageWithoutBusTraffic)
{
    runToEnd();
    logic.cmdRedo_Click();
    EXPECT_TRUE(driver.calls.empty());
    EXPECT_EQ(screen.lineCount(ctl::lstFunction), 0);
    EXPECT_TRUE(screen.text(ctl::txtAddr).isEmpty());
    EXPECT_EQ(screen.focus(), ctl::txtAddr);
    EXPECT_TRUE(screen.enabled(ctl::cmdSet));
    EXPECT_TRUE(screen.enabled(ctl::cmdRedo));
    EXPECT_TRUE(screen.enabled(ctl::cmdDone));
    for (const QString& name :
         {ctl::cmdEnter, ctl::cmdLock, ctl::cmdSRQ, ctl::cmdNoSRQ, ctl::cmdSav})
        EXPECT_FALSE(screen.enabled(name)) << name.toStdString();
}

TEST_F(FinishTest, ANewMenuAfterASaveAsksAgainBeforeLeaving)
{
    runToEnd();
    driver.replies = {"0\n"};
    logic.cmdSav_Click();
    ASSERT_TRUE(logic.doneArmed());
    logic.cmdRedo_Click();
    driver.replies = {"5\n"};
    setAddress(QStringLiteral("5"));
    EXPECT_FALSE(logic.doneArmed());
    logic.cmdDone_Click();
    EXPECT_EQ(host.closed, 0);
    EXPECT_TRUE(screen.visible(ctl::txtGPIBErr));
}

TEST_F(FinishTest, FourChannelUnitOffersNextChannelUntilChannelFour)
{
    open(QStringLiteral("7379"));
    for (int channel = 1; channel <= 4; ++channel) {
        host.channel = channel;
        if (channel == 1) {
            setAddress(QStringLiteral("25"));
        } else {
            ASSERT_TRUE(screen.enabled(ctl::cmdNextCh));
            logic.cmdNextCh_Click();
        }
        EXPECT_FALSE(screen.visible(ctl::cmdNextCh));
        EXPECT_EQ(ctx.state.unit.DeviceAddress, 25 + (0x60 + 10 + channel) * 256);
        for (int f = 0; f < 14; ++f)
            enter();
        EXPECT_FALSE(screen.enabled(ctl::cmdEnter));
        EXPECT_EQ(screen.visible(ctl::cmdNextCh), channel < 4);
        EXPECT_EQ(screen.enabled(ctl::cmdSav), channel == 4);
        EXPECT_FALSE(screen.enabled(ctl::cmdLock));
    }
    driver.calls.clear();
    logic.cmdSav_Click();
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
    logic.cmdNextCh_Click();
    EXPECT_EQ(screen.text(ctl::txtAddr), QStringLiteral(" 25"));
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
    const QStringList lines = screen.lines(ctl::lstFunction);
    const QStringList controls = {ctl::txtAddr, ctl::cmdSet, ctl::cmdEnter, ctl::cmdSav,
                                  ctl::cmdNextCh};
    QList<bool> enabled;
    for (const QString& name : controls)
        enabled << screen.enabled(name);
    driver.calls.clear();

    host.channel.reset();
    logic.cmdNextCh_Click();
    EXPECT_TRUE(driver.calls.empty());
    EXPECT_EQ(screen.lines(ctl::lstFunction), lines);
    for (qsizetype k = 0; k < controls.size(); ++k)
        EXPECT_EQ(screen.enabled(controls[k]), enabled[k]) << controls[k].toStdString();
    EXPECT_TRUE(screen.visible(ctl::cmdNextCh));
    EXPECT_EQ(ctx.state.unit.DeviceAddress, 0x6B19);
}

} // namespace
