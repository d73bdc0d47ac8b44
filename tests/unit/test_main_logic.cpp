// SPDX-License-Identifier: GPL-3.0-or-later
#include "logic/Controls.h"
#include "logic/MainLogic.h"
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
        modelWhenOpened = state->modelEntry;
    }
    void closeMainWindow() override { ++closed; }
    QStringList hints;
    QString nextSteps;
    void showHint(const QString& hint, const QString& steps) override
    {
        hints << hint;
        nextSteps = steps;
    }
};

struct MainLogicTest : ::testing::Test {
    test::FakeDriver driver;
    test::TestContext ctx{driver};
    MainScreen screen;
    Host host;
    MainLogic logic{ctx.app, screen, host};

    void SetUp() override
    {
        host.state = &ctx.state;
        logic.reset();
    }
    void select(const QString& entry)
    {
        const int row = static_cast<int>(screen.listUnit.lines().indexOf(entry));
        ASSERT_GE(row, 0);
        screen.listUnit.userSelectedLine(row);
        logic.modelPicked();
    }
};

TEST_F(MainLogicTest, LoadListsTheModelsAndOffersNothingYet)
{
    EXPECT_EQ(screen.listUnit.lines().size(), 27);
    EXPECT_EQ(screen.listUnit.lines().front(), QStringLiteral("7311"));
    EXPECT_EQ(screen.listUnit.lines().back(), QStringLiteral("7385A"));
    EXPECT_EQ(screen.listUnit.selectedLine(), -1);
    EXPECT_FALSE(screen.cmdConfig.enabled());
    EXPECT_FALSE(screen.cmdContinue.enabled());
    EXPECT_FALSE(screen.txtGPIBErr.visible());
    EXPECT_EQ(screen.labelRev.text(), QStringLiteral("Revised  12-01-2008"));
    EXPECT_TRUE(driver.calls.empty()) << "no bus call at load";
}

TEST_F(MainLogicTest, ConfigurePreparesTheBoardAndOpensTheWindow)
{
    select(QStringLiteral("7352A"));
    EXPECT_TRUE(screen.cmdConfig.enabled());
    logic.configure();
    EXPECT_EQ(test::requests(driver.calls),
              (std::vector{BusCall::sendIfc(0), BusCall::ibsre(0, 1), BusCall::ibtmo(0, 11)}));
    EXPECT_EQ(host.opened, 1);
    EXPECT_EQ(ctx.state.modelEntry, QStringLiteral("7352A"));
    EXPECT_EQ(ctx.state.modelCode, 7352);
}

class PowerCyclePath : public MainLogicTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(PowerCyclePath, AsksForAPowerCycleAndWaitsForContinue)
{
    select(QString::fromLatin1(GetParam()));
    logic.configure();
    EXPECT_EQ(host.opened, 0);
    EXPECT_TRUE(screen.txtGPIBErr.visible());
    EXPECT_EQ(screen.txtGPIBErr.text(),
              QStringLiteral("Turn unit off and back on\r\nPress Continue when RDY LED on."));
    EXPECT_TRUE(screen.cmdContinue.enabled());
    logic.continueAfterPowerCycle();
    EXPECT_FALSE(screen.cmdContinue.enabled());
    EXPECT_FALSE(screen.txtGPIBErr.visible());
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
    logic.configure();
    select(QStringLiteral("7311"));
    logic.continueAfterPowerCycle();
    EXPECT_EQ(host.modelWhenOpened, QStringLiteral("7374A"));
    EXPECT_EQ(ctx.state.modelCode, 7374);
}

TEST_F(MainLogicTest, EveryOtherEntryOpensTheWindowDirectly)
{
    // Written out here rather than taken from the model table, so a wrong flag there fails.
    const QStringList direct = {"7311", "7317", "7321",  "7322",  "7325",  "7325A", "7328",
                                "7331", "7334", "7334A", "7337B", "7340A", "7352A", "7355",
                                "7357", "7360", "7362",  "7379",  "7385",  "7385A"};
    EXPECT_EQ(screen.listUnit.lines().size(), direct.size() + 7) << "and seven that power cycle";
    for (const QString& entry : direct) {
        const int before = host.opened;
        select(entry);
        logic.configure();
        EXPECT_EQ(host.opened, before + 1) << entry.toStdString();
        EXPECT_FALSE(screen.txtGPIBErr.visible());
    }
}

TEST_F(MainLogicTest, SendIfcFailureIsReportedAndTheWindowStaysShut)
{
    driver.statusFor = test::failing(BusCall::Kind::SendIFC, err::ENEB);
    select(QStringLiteral("7311"));
    logic.configure();
    EXPECT_EQ(host.opened, 0);
    EXPECT_TRUE(screen.txtGPIBErr.visible());
    EXPECT_EQ(screen.txtGPIBErr.text(),
              QStringLiteral("SendIFC Error ibsta = &H8100 <   ERR CMPL >iberr =  7 ENEB <No GPIB "
                             "board>ibcnt =  0"));
    EXPECT_EQ(test::requests(driver.calls),
              (std::vector{BusCall::sendIfc(0), BusCall::ibonl(0, 0)}));
    EXPECT_TRUE(screen.cmdConfig.enabled());

    // The next Configure hides the report first and starts again with SendIFC.
    driver.statusFor = nullptr;
    logic.configure();
    EXPECT_FALSE(screen.txtGPIBErr.visible());
    EXPECT_EQ(host.opened, 1);
}

// A driver whose plain words describe its state, which taking the board offline changes.
struct ForgettingDriver final : test::FakeDriver {
    DriverStatus ibonl(int ud, int v) override
    {
        explanation.clear();
        return FakeDriver::ibonl(ud, v);
    }
};

// The report is made of the failed call alone: the driver explains that call before the run's
// board (whichever it is) is taken offline.
TEST(MainLogicReport, TakesTheRunsBoardOfflineAfterTheDriverExplainedTheFailure)
{
    for (const std::int16_t board : {std::int16_t{0}, std::int16_t{2}}) {
        SCOPED_TRACE(board);
        ForgettingDriver driver;
        driver.explanation = QStringLiteral("No GPIB board is configured for the driver.");
        driver.statusFor = test::failing(BusCall::Kind::SendIFC, err::EARG);
        test::TestContext ctx(driver);
        MainScreen screen;
        Host host;
        host.state = &ctx.state;
        MainLogic logic(ctx.app, screen, host);
        logic.reset();
        ctx.state.board = board;
        screen.listUnit.userSelectedLine(
            static_cast<int>(screen.listUnit.lines().indexOf(QStringLiteral("7321"))));
        logic.configure();
        EXPECT_EQ(test::requests(driver.calls),
                  (std::vector{BusCall::sendIfc(board), BusCall::ibonl(board, 0)}));
        EXPECT_EQ(host.hints,
                  QStringList{QStringLiteral("No GPIB board is configured for the driver.")});
        EXPECT_TRUE(
            screen.txtGPIBErr.text().startsWith(QStringLiteral("SendIFC Error ibsta = &H8100")));
    }
}

TEST_F(MainLogicTest, EachExplainedCauseComesUpInABoxOnceAndStaysInTheToolTip)
{
    const QString noLibrary = QStringLiteral("No GPIB driver library was found.");
    const QString noBoard = QStringLiteral("No GPIB board is configured for the driver.");
    struct Press {
        QString explanation;
        bool fails;
        bool boxShown;
    };
    const Press presses[] = {
        {noLibrary, true, true},  {noLibrary, true, false}, // pressed again: nothing new to read
        {noBoard, true, true},    {noLibrary, true, false},
        {QString(), true, false}, // a failure the driver cannot explain
        {noBoard, false, false},  // no failure, no words
    };
    select(QStringLiteral("7321"));
    for (const Press& press : presses) {
        SCOPED_TRACE(press.explanation.toStdString());
        driver.explanation = press.explanation;
        driver.statusFor =
            press.fails ? test::failing(BusCall::Kind::SendIFC, err::EDVR, sta::ERR) : nullptr;
        const qsizetype before = host.hints.size();
        logic.configure();
        EXPECT_EQ(host.hints.size() - before, press.boxShown ? 1 : 0);
        if (press.boxShown) {
            EXPECT_EQ(host.hints.back(), press.explanation);
        }
        if (!press.fails)
            continue;
        // The box holds the report alone, on the one line it always had.
        EXPECT_EQ(screen.txtGPIBErr.text(),
                  QStringLiteral("SendIFC Error ibsta = &H8000 <   ERR >iberr =  0 EDVR <DOS "
                                 "Error>ibcnt =  0"));
        EXPECT_EQ(screen.txtGPIBErr.toolTip(), press.explanation);
    }
    EXPECT_EQ(host.opened, 1);
    for (const char* way : {"gpibconfig-sim", "--driver"})
        EXPECT_TRUE(host.nextSteps.contains(QLatin1String(way))) << way;

    // A message that is no failure does not keep the last failure's explanation.
    driver.statusFor = test::failing(BusCall::Kind::SendIFC, err::EDVR, sta::ERR);
    logic.configure();
    driver.statusFor = nullptr;
    select(QStringLiteral("7374A"));
    logic.configure();
    EXPECT_TRUE(screen.txtGPIBErr.text().startsWith(QStringLiteral("Turn unit off")));
    EXPECT_TRUE(screen.txtGPIBErr.toolTip().isEmpty());
}

TEST_F(MainLogicTest, TimeoutSettingFailureIsReportedUnderTheSendIfcTitle)
{
    driver.statusFor = test::failing(BusCall::Kind::ibtmo, err::EARG);
    select(QStringLiteral("7321"));
    logic.configure();
    EXPECT_EQ(host.opened, 0);
    EXPECT_TRUE(
        screen.txtGPIBErr.text().startsWith(QStringLiteral("SendIFC Error ibsta = &H8100")));
    EXPECT_EQ(driver.calls.back().request(), BusCall::ibonl(0, 0));
}

TEST_F(MainLogicTest, RemoteEnableFailureIsNotHiddenByASuccessfulTimeoutCall)
{
    driver.statusFor = test::failing(BusCall::Kind::ibsre, err::ESAC);
    select(QStringLiteral("7321"));
    logic.configure();
    EXPECT_EQ(host.opened, 0);
    ASSERT_GE(driver.calls.size(), 3u);
    EXPECT_EQ(test::requests({driver.calls.begin(), driver.calls.begin() + 3}),
              (std::vector{BusCall::sendIfc(0), BusCall::ibsre(0, 1), BusCall::ibtmo(0, 11)}));
    EXPECT_TRUE(screen.txtGPIBErr.text().contains(QStringLiteral("ESAC <Not Sys Ctrlr>")));
}

TEST_F(MainLogicTest, ModelCodeOutsideTheRangeIsRefusedWithoutBusActivity)
{
    screen.listUnit.setLines({QStringLiteral("7300"), QStringLiteral("7386"),
                              QStringLiteral("X7311"), QStringLiteral("99999")});
    for (int row = 0; row < 4; ++row) {
        screen.listUnit.userSelectedLine(row);
        logic.configure();
        const QString entry = screen.listUnit.lines().at(row);
        EXPECT_EQ(screen.txtGPIBErr.text(), QStringLiteral("Model number") + entry +
                                                QStringLiteral("wrong, reselect model number"));
        EXPECT_TRUE(screen.txtGPIBErr.visible());
    }
    EXPECT_TRUE(driver.calls.empty());
    EXPECT_EQ(host.opened, 0);
}

TEST_F(MainLogicTest, DoubleClickSelectsAndConfigures)
{
    screen.listUnit.userSelectedLine(26);
    logic.pickAndConfigure();
    EXPECT_TRUE(screen.cmdConfig.enabled());
    EXPECT_EQ(host.opened, 1);
    EXPECT_EQ(ctx.state.modelEntry, QStringLiteral("7385A"));
}

TEST_F(MainLogicTest, ExitClosesWithoutBusCalls)
{
    logic.exit();
    EXPECT_EQ(host.closed, 1);
    EXPECT_TRUE(driver.calls.empty());
}

TEST(Screen, ListPositionsThatDoNotExistAreRefused)
{
    ConfigScreen s;
    Control& list = s.lstFunction;
    EXPECT_FALSE(list.removeLine(0));
    EXPECT_FALSE(list.insertLine(1, QStringLiteral("x")));
    EXPECT_TRUE(list.insertLine(0, QStringLiteral("a")));
    EXPECT_TRUE(list.insertLine(1, QStringLiteral("b")));
    EXPECT_FALSE(list.selectLine(2));
    EXPECT_TRUE(list.selectLine(1));
    EXPECT_TRUE(list.removeLine(0));
    EXPECT_EQ(list.selectedLine(), 0) << "selection follows its line";
    EXPECT_EQ(list.lines(), QStringList({"b"}));
}

} // namespace

TEST_F(MainLogicTest, AControllerChosenMeanwhileTakesOverAtConfigureBeforeItsFirstCall)
{
    // Records how many calls the bus had seen each time the chosen controller was taken.
    struct Switch final : ControllerSwitch {
        const test::FakeDriver* bus = nullptr;
        std::vector<std::size_t> takenAfter;
        void takeChosenController() override { takenAfter.push_back(bus->calls.size()); }
    } controllers;
    controllers.bus = &driver;
    ctx.app.controllers = &controllers;
    select(QStringLiteral("7374A"));
    logic.configure();               // 3 calls, then the power cycle
    logic.continueAfterPowerCycle(); // still the unit's run: no change of controller
    screen.listUnit.userSelectedLine(-1);
    logic.configure(); // no model: nothing goes to the bus
    select(QStringLiteral("7311"));
    driver.explanation = QStringLiteral("No Prologix-compatible controller answered.");
    driver.statusFor = test::failing(BusCall::Kind::SendIFC, err::EDVR, sta::ERR);
    logic.configure();
    EXPECT_EQ(controllers.takenAfter, (std::vector<std::size_t>{0, 3}));
    // Where the window offers the choice, the explanation points at it instead of --driver.
    EXPECT_TRUE(host.nextSteps.contains(QLatin1String("press Choose Controller... (or "
                                                      "Ctrl+Shift+C in the main window)")));
    EXPECT_FALSE(host.nextSteps.contains(QLatin1String("--driver")));
}
