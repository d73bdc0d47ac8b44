#include "app/MainLogic.h"
#include "config/Controls.h"
#include "config/WindowLayouts.h"
#include "models/ModelList.h"
#include "support/BusRecords.h"
#include "support/ParamNames.h"
#include "support/TestContext.h"

#include <gtest/gtest.h>

using namespace gpibconfig;

namespace {

struct Host final : MainHost {
    int opened = 0;
    int closed = 0;
    QString modelWhenOpened;
    ProgramState* state = nullptr;
    void openConfigWindow() override
    {
        ++opened;
        modelWhenOpened = state->ModelNumber;
    }
    void closeMainWindow() override { ++closed; }
};

struct MainLogicTest : ::testing::Test {
    test::FakeDriver driver;
    test::TestContext ctx{driver};
    Screen screen{mainWindowDef()};
    Host host;
    MainLogic logic{ctx.app, screen, host};

    void SetUp() override
    {
        host.state = &ctx.state;
        logic.Form_Load();
    }
    void select(const QString& entry)
    {
        const int row = static_cast<int>(screen.lines(ctl::listUnit).indexOf(entry));
        ASSERT_GE(row, 0);
        screen.userSelectedLine(ctl::listUnit, row);
        logic.listUnit_Click();
    }
};

TEST_F(MainLogicTest, LoadListsTheModelsAndOffersNothingYet)
{
    EXPECT_EQ(screen.lines(ctl::listUnit).size(), 27);
    EXPECT_EQ(screen.lines(ctl::listUnit).front(), QStringLiteral("7311"));
    EXPECT_EQ(screen.lines(ctl::listUnit).back(), QStringLiteral("7385A"));
    EXPECT_EQ(screen.selectedLine(ctl::listUnit), -1);
    EXPECT_FALSE(screen.enabled(ctl::cmdConfig));
    EXPECT_FALSE(screen.enabled(ctl::cmdContinue));
    EXPECT_FALSE(screen.visible(ctl::txtGPIBErr));
    EXPECT_EQ(screen.text(ctl::labelRev), QStringLiteral("Revised  12-01-2008"));
    EXPECT_TRUE(driver.calls.empty()) << "no bus call at load";
}

TEST_F(MainLogicTest, ConfigurePreparesTheBoardAndOpensTheWindow)
{
    select(QStringLiteral("7352A"));
    EXPECT_TRUE(screen.enabled(ctl::cmdConfig));
    logic.cmdConfig_Click();
    EXPECT_EQ(test::requests(driver.calls),
              (std::vector{BusCall::sendIfc(0), BusCall::ibsre(0, 1), BusCall::ibtmo(0, 11)}));
    EXPECT_EQ(host.opened, 1);
    EXPECT_EQ(ctx.state.ModelNumber, QStringLiteral("7352A"));
    EXPECT_EQ(ctx.state.ModelCode, 7352);
}

class PowerCyclePath : public MainLogicTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(PowerCyclePath, AsksForAPowerCycleAndWaitsForContinue)
{
    select(QString::fromLatin1(GetParam()));
    logic.cmdConfig_Click();
    EXPECT_EQ(host.opened, 0);
    EXPECT_TRUE(screen.visible(ctl::txtGPIBErr));
    EXPECT_EQ(screen.text(ctl::txtGPIBErr),
              QStringLiteral("Turn unit off and back on\r\nPress Continue when RDY LED on."));
    EXPECT_TRUE(screen.enabled(ctl::cmdContinue));
    logic.cmdContinue_Click();
    EXPECT_FALSE(screen.enabled(ctl::cmdContinue));
    EXPECT_FALSE(screen.visible(ctl::txtGPIBErr));
    EXPECT_EQ(host.opened, 1);
    EXPECT_EQ(driver.calls.size(), 3u) << "Continue makes no bus call";
}

INSTANTIATE_TEST_SUITE_P(Models, PowerCyclePath,
                         ::testing::Values("7314A", "7314B", "7370A", "7370B", "7374A", "7374B",
                                           "7376"),
                         test::namedBy([](const char* model) { return std::string_view(model); }));

TEST_F(MainLogicTest, ContinueUsesTheModelOfTheLastConfigureNotTheNewSelection)
{
    select(QStringLiteral("7374A"));
    logic.cmdConfig_Click();
    select(QStringLiteral("7311"));
    logic.cmdContinue_Click();
    EXPECT_EQ(host.modelWhenOpened, QStringLiteral("7374A"));
    EXPECT_EQ(ctx.state.ModelCode, 7374);
}

TEST_F(MainLogicTest, EveryOtherEntryOpensTheWindowDirectly)
{
    for (const QString& entry : modelList()) {
        const auto code = modelCodeOf(entry);
        ASSERT_TRUE(code);
        EXPECT_GE(*code, 7301);
        EXPECT_LE(*code, 7385);
        if (needsPowerCycle(*code))
            continue;
        const int before = host.opened;
        select(entry);
        logic.cmdConfig_Click();
        EXPECT_EQ(host.opened, before + 1) << entry.toStdString();
        EXPECT_FALSE(screen.visible(ctl::txtGPIBErr));
    }
}

TEST_F(MainLogicTest, SendIfcFailureIsReportedAndTheWindowStaysShut)
{
    driver.statusFor = test::failing(BusCall::Kind::SendIFC, err::ENEB);
    select(QStringLiteral("7311"));
    logic.cmdConfig_Click();
    EXPECT_EQ(host.opened, 0);
    EXPECT_TRUE(screen.visible(ctl::txtGPIBErr));
    EXPECT_EQ(screen.text(ctl::txtGPIBErr),
              QStringLiteral("SendIFC Error ibsta = &H8100 <   ERR CMPL >iberr =  7 ENEB <No GPIB "
                             "board>ibcnt =  0"));
    EXPECT_EQ(test::requests(driver.calls),
              (std::vector{BusCall::sendIfc(0), BusCall::ibonl(0, 0)}));
    EXPECT_TRUE(screen.enabled(ctl::cmdConfig));

    // The next Configure hides the report first and starts again with SendIFC.
    driver.statusFor = nullptr;
    logic.cmdConfig_Click();
    EXPECT_FALSE(screen.visible(ctl::txtGPIBErr));
    EXPECT_EQ(host.opened, 1);
}

TEST_F(MainLogicTest, TimeoutSettingFailureIsReportedUnderTheSendIfcTitle)
{
    driver.statusFor = test::failing(BusCall::Kind::ibtmo, err::EARG);
    select(QStringLiteral("7321"));
    logic.cmdConfig_Click();
    EXPECT_EQ(host.opened, 0);
    EXPECT_TRUE(
        screen.text(ctl::txtGPIBErr).startsWith(QStringLiteral("SendIFC Error ibsta = &H8100")));
    EXPECT_EQ(driver.calls.back().request(), BusCall::ibonl(0, 0));
}

TEST_F(MainLogicTest, RemoteEnableFailureIsNotHiddenByASuccessfulTimeoutCall)
{
    driver.statusFor = test::failing(BusCall::Kind::ibsre, err::ESAC);
    select(QStringLiteral("7321"));
    logic.cmdConfig_Click();
    EXPECT_EQ(host.opened, 0);
    ASSERT_GE(driver.calls.size(), 3u);
    EXPECT_EQ(test::requests({driver.calls.begin(), driver.calls.begin() + 3}),
              (std::vector{BusCall::sendIfc(0), BusCall::ibsre(0, 1), BusCall::ibtmo(0, 11)}));
    EXPECT_TRUE(screen.text(ctl::txtGPIBErr).contains(QStringLiteral("ESAC <Not Sys Ctrlr>")));
}

TEST_F(MainLogicTest, ModelCodeOutsideTheRangeIsRefusedWithoutBusActivity)
{
    screen.setLines(ctl::listUnit, {QStringLiteral("7300"), QStringLiteral("7386"),
                                    QStringLiteral("X7311"), QStringLiteral("99999")});
    for (int row = 0; row < 4; ++row) {
        screen.userSelectedLine(ctl::listUnit, row);
        logic.cmdConfig_Click();
        const QString entry = screen.lines(ctl::listUnit).at(row);
        EXPECT_EQ(screen.text(ctl::txtGPIBErr), QStringLiteral("Model number") + entry +
                                                    QStringLiteral("wrong, reselect model number"));
        EXPECT_TRUE(screen.visible(ctl::txtGPIBErr));
    }
    EXPECT_TRUE(driver.calls.empty());
    EXPECT_EQ(host.opened, 0);
}

TEST_F(MainLogicTest, DoubleClickSelectsAndConfigures)
{
    screen.userSelectedLine(ctl::listUnit, 26);
    logic.listUnit_DblClick();
    EXPECT_TRUE(screen.enabled(ctl::cmdConfig));
    EXPECT_EQ(host.opened, 1);
    EXPECT_EQ(ctx.state.ModelNumber, QStringLiteral("7385A"));
}

TEST_F(MainLogicTest, ExitClosesWithoutBusCalls)
{
    logic.cmdExit_Click();
    EXPECT_EQ(host.closed, 1);
    EXPECT_TRUE(driver.calls.empty());
}

TEST(FunctionTable, SlotsOutsideOneToTwentyFiveAreRefused)
{
    FunctionTable t;
    EXPECT_TRUE(t.setFunction(1, QStringLiteral("a"), QStringLiteral("A")));
    EXPECT_TRUE(t.setFunction(25, QStringLiteral("z"), QStringLiteral("Z")));
    for (int bad : {0, -1, 26, 32767, -32768}) {
        EXPECT_FALSE(t.setFunction(bad, QStringLiteral("x"), QStringLiteral("X")));
        EXPECT_TRUE(t.FuncPrompt(bad).isEmpty());
        EXPECT_TRUE(t.FuncHeader(bad).isEmpty());
        EXPECT_FALSE(t.setFuncCount(bad));
    }
    EXPECT_EQ(t.FuncPrompt(25), QStringLiteral("z"));
    EXPECT_TRUE(t.setFuncCount(25));
}

TEST(Screen, ListPositionsThatDoNotExistAreRefused)
{
    Screen s(QStringList{QStringLiteral("list")});
    EXPECT_FALSE(s.removeLine(QStringLiteral("list"), 0));
    EXPECT_FALSE(s.insertLine(QStringLiteral("list"), 1, QStringLiteral("x")));
    EXPECT_TRUE(s.insertLine(QStringLiteral("list"), 0, QStringLiteral("a")));
    EXPECT_TRUE(s.insertLine(QStringLiteral("list"), 1, QStringLiteral("b")));
    EXPECT_FALSE(s.selectLine(QStringLiteral("list"), 2));
    EXPECT_TRUE(s.selectLine(QStringLiteral("list"), 1));
    EXPECT_TRUE(s.removeLine(QStringLiteral("list"), 0));
    EXPECT_EQ(s.selectedLine(QStringLiteral("list")), 0) << "selection follows its line";
    EXPECT_EQ(s.lines(QStringLiteral("list")), QStringList({"b"}));
}

} // namespace
