// SPDX-License-Identifier: GPL-3.0-or-later
// The trace's memory bound and listeners, and the bench clock.
#include "BenchHarness.h"
#include "sim/Trace.h"
#include "support/BusRecords.h"

namespace gpibconfig::sim::test {
namespace {

TEST(TraceMemory, KeepsTheNewestLinesButListenersSeeEveryOne)
{
    Trace trace(3);
    std::vector<BusCall> heard;
    const int listener = trace.addListener([&](const BusCall& record) { heard.push_back(record); });
    for (const char* text : {"a", "b", "c", "d", "e"})
        trace.addEvent(text);
    EXPECT_EQ(trace.records(),
              (std::vector{BusCall::event("c"), BusCall::event("d"), BusCall::event("e")}));
    EXPECT_EQ(trace.records(1), (std::vector{BusCall::event("d"), BusCall::event("e")}));
    EXPECT_TRUE(trace.records(3).empty());
    EXPECT_EQ(heard.size(), 5u);
    EXPECT_EQ(trace.totalAdded(), 5u);

    trace.clear();
    EXPECT_EQ(trace.size(), 0u);
    trace.removeListener(listener);
    trace.addEvent("gone");
    EXPECT_EQ(heard.size(), 5u);
    EXPECT_EQ(trace.lines(), std::vector<std::string>{"# gone"});
}

TEST(TraceMemory, AListenerMayRemoveItselfWhileBeingCalled)
{
    Trace trace;
    int calls = 0;
    int id = 0;
    id = trace.addListener([&](const BusCall&) {
        ++calls;
        trace.removeListener(id);
    });
    trace.addEvent("one");
    trace.addEvent("two");
    EXPECT_EQ(calls, 1);
}

TEST_F(BenchTest, TraceShowsCommandBytesSecondariesAndRawReplies)
{
    prepare();
    bench->trace().clear();
    commands({0x3F, 0x39, 0x6D, 0x08});
    send(at(25, 13), "*ESE?");
    receive(at(25, 13), 18, 0x0100);
    bench->setGarbage(bench->unitId("7321"), std::string("\"q\"\0", 4));
    send(at(5), "*ESE?");
    receive(at(5), 2, 0);
    const std::vector<std::string> expected = {
        "SendCmds(0, 3F 39 6D 08) -> ibsta=0x0130 iberr=0 ibcntl=4",
        "Send(0, 0x6D19, \"*ESE?\", 1) -> ibsta=0x2128 iberr=0 ibcntl=6",
        "Receive(0, 0x6D19, 18, 256) -> ibsta=0x2124 iberr=0 ibcntl=2 data=\"0\\n\"",
        "Send(0, 0x0005, \"*ESE?\", 1) -> ibsta=0x2128 iberr=0 ibcntl=6",
        "Receive(0, 0x0005, 2, 0) -> ibsta=0x0124 iberr=0 ibcntl=2 data=\"\\\"q\"",
    };
    EXPECT_EQ(bench->trace().lines(), expected);
}

TEST_F(BenchTest, PausesAreTracedAndMoveOnlyTheVirtualClock)
{
    BenchClock& clock = bench->clock();
    EXPECT_EQ(clock.mode(), BenchClock::Mode::Virtual);
    const double before = clock.now();
    clock.pause(0.2);
    clock.pause(0.2);
    EXPECT_NEAR(clock.now() - before, 0.4, 1e-9);
    EXPECT_EQ(bench->trace().lines(), (std::vector<std::string>{"Pause(0.2)", "Pause(0.2)"}));
}

TEST(BenchClockReal, PausesAreTracedInRealMode)
{
    Bench bench(Bench::Timing::Real);
    const double before = bench.clock().now();
    bench.clock().pause(0.001);
    EXPECT_GE(bench.clock().now(), before);
    EXPECT_EQ(bench.trace().lines(), std::vector<std::string>{"Pause(0.001)"});
}

} // namespace
} // namespace gpibconfig::sim::test
