// SPDX-License-Identifier: GPL-3.0-or-later
// Which failed call each step of a unit's conversation hands back, and whether the window reports
// it: the window lets some calls fail unreported, the command line stops at any.
#include "logic/UnitSession.h"
#include "models/Models.h"
#include "support/BusRecords.h"
#include "support/ParamNames.h"
#include "support/TestContext.h"

#include <gtest/gtest.h>

using namespace gpibconfig;

namespace {

using Step = std::function<UnitSession::Failure(UnitSession&, GPIB32&)>;

struct Fault {
    test::CallFilter which;
    int iberr;
};

struct Expected {
    const char* title;
    bool windowReports;
    int iberr; // tells which of the failed calls it is
};

struct StepCase {
    const char* name;
    const char* entry;
    Step step;
    std::vector<Fault> faults;
    std::optional<Expected> failure;
    // The driver calls the step makes: it goes on past a call the window lets fail, and stops at
    // one it reports where the window stops.
    std::size_t calls;
};

UnitSession::Failure prepare(UnitSession&, GPIB32& gpib)
{
    return UnitSession::prepareBoard(gpib, 0);
}
UnitSession::Failure clearDevice(UnitSession& s, GPIB32&) { return s.clearDevice(); }
UnitSession::Failure clearBus(UnitSession& s, GPIB32&) { return s.clearBus(); }
UnitSession::Failure startActions(UnitSession& s, GPIB32&) { return s.startActions(); }
UnitSession::Failure query(UnitSession& s, GPIB32&) { return s.query(1)->failure; }
UnitSession::Failure set(UnitSession& s, GPIB32&) { return s.set(1, QStringLiteral("1"))->failure; }
UnitSession::Failure save(UnitSession& s, GPIB32&) { return s.save().failure; }

const test::CallFilter kIfc = test::callsOf(BusCall::Kind::SendIFC);
const test::CallFilter kClear = test::callsOf(BusCall::Kind::DevClear);
const test::CallFilter kSend = test::callsOf(BusCall::Kind::Send);
const test::CallFilter kReceive = test::callsOf(BusCall::Kind::Receive);

class Steps : public ::testing::TestWithParam<StepCase> {};

TEST_P(Steps, HandBackTheCallTheWindowReportsElseTheFirstThatFailed)
{
    const StepCase& c = GetParam();
    test::FakeDriver driver;
    const std::vector<Fault> faults = c.faults;
    driver.statusFor = [faults](const BusCall& call) {
        for (const Fault& f : faults)
            if (f.which(call))
                return test::FakeDriver::Status{sta::ERR | sta::CMPL, f.iberr, 0};
        return test::FakeDriver::Status{};
    };
    // The unit confirms a setting and reads it back.
    driver.replies = {"0\n", "1\n"};
    test::TestContext ctx(driver);
    const Model* model = modelForEntry(QString::fromLatin1(c.entry));
    ASSERT_NE(model, nullptr);
    ctx.state.unit.word = 5;
    UnitSession session(ctx.gpib, ctx.clock, *model, 0, ctx.state.unit);

    const UnitSession::Failure failure = c.step(session, ctx.gpib);
    EXPECT_EQ(driver.calls.size(), c.calls);
    ASSERT_EQ(failure.has_value(), c.failure.has_value())
        << (failure ? failure->title.toStdString() : std::string("no failure"));
    if (!failure)
        return;
    EXPECT_EQ(failure->title, QLatin1String(c.failure->title));
    EXPECT_EQ(failure->windowReports, c.failure->windowReports);
    EXPECT_EQ(failure->status.iberr, c.failure->iberr);
    EXPECT_TRUE(failure->status.failed());
}

INSTANTIATE_TEST_SUITE_P(
    UnitSession, Steps,
    ::testing::Values(
        StepCase{"board interface clear",
                 "7321",
                 prepare,
                 {{kIfc, err::ENEB}},
                 Expected{"SendIFC Error", true, err::ENEB},
                 1},
        StepCase{"board remote enable refused",
                 "7321",
                 prepare,
                 {{test::callsOf(BusCall::Kind::ibsre), err::ECAP}},
                 Expected{"SendIFC Error", true, err::ECAP},
                 3},
        StepCase{"board settings both refused",
                 "7321",
                 prepare,
                 {{test::callsOf(BusCall::Kind::ibsre), err::ECAP},
                  {test::callsOf(BusCall::Kind::ibtmo), err::EARG}},
                 Expected{"SendIFC Error", true, err::EARG},
                 3},
        StepCase{"board prepared", "7321", prepare, {}, std::nullopt, 3},
        StepCase{"device clear after a failed interface clear",
                 "7321",
                 clearDevice,
                 {{kIfc, err::ENEB}},
                 Expected{"SendIFC Error", false, err::ENEB},
                 2},
        StepCase{"device clear failed too",
                 "7321",
                 clearDevice,
                 {{kIfc, err::ENEB}, {kClear, err::ENOL}},
                 Expected{"DevClear Error", true, err::ENOL},
                 2},
        StepCase{"interface clear after the notice",
                 "7311",
                 clearBus,
                 {{kIfc, err::EBUS}},
                 Expected{"SendIFC Error", false, err::EBUS},
                 1},
        StepCase{"trigger sequence",
                 "7314A",
                 startActions,
                 {{test::callsOf(BusCall::Kind::SendCmds), err::ENOL}},
                 Expected{"SendCmds Error", false, err::ENOL},
                 4},
        StepCase{"unlock and status clear",
                 "7317",
                 startActions,
                 {{test::sendOf("CAL:LOCK 0"), err::EABO}, {test::sendOf("*CLS"), err::ENOL}},
                 Expected{"Send LOCK Error", false, err::EABO},
                 2},
        StepCase{"query message",
                 "7321",
                 query,
                 {{kSend, err::ENOL}},
                 Expected{"Send Error", false, err::ENOL},
                 2},
        StepCase{"query reply after a failed message",
                 "7321",
                 query,
                 {{kSend, err::ENOL}, {kReceive, err::EABO}},
                 Expected{"Receive Error", true, err::EABO},
                 2},
        StepCase{"query answered", "7321", query, {}, std::nullopt, 2},
        StepCase{"setting's ESR reply",
                 "7321",
                 set,
                 {{kReceive, err::EABO}},
                 Expected{"Receive ESR Error", false, err::EABO},
                 5},
        StepCase{
            "setting read back",
            "7321",
            set,
            {{[](const BusCall& call) { return call.isSend("SYST:COMM:GPIB:ADDR?"); }, err::ENOL}},
            Expected{"Send Error", false, err::ENOL},
            5},
        StepCase{"save refused by the driver",
                 "7321",
                 save,
                 {{test::sendOf("*SAV 0"), err::ENOL}},
                 Expected{"Send SAV Error", true, err::ENOL},
                 2},
        StepCase{"save's ESR reply",
                 "7321",
                 save,
                 {{kReceive, err::EABO}},
                 Expected{"Receive ESR Error", true, err::EABO},
                 4}),
    test::namedBy([](const StepCase& c) { return std::string(c.name); }));

TEST(UnitSession, TakesTheBoardItIsGivenOfflineAndNothingElse)
{
    for (const std::int16_t board : {std::int16_t{0}, std::int16_t{3}}) {
        test::FakeDriver driver;
        test::TestContext ctx(driver);
        UnitSession::takeBoardOffline(ctx.gpib, board);
        EXPECT_EQ(test::requests(driver.calls), std::vector{BusCall::ibonl(board, 0)});
    }
}

} // namespace
