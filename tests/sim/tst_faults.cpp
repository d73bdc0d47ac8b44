// SPDX-License-Identifier: GPL-3.0-or-later
// The fault switches that tests of the program's error handling rely on.
#include "BenchHarness.h"
#include "support/BusRecords.h"

#include <limits>

namespace gpibconfig::sim::test {
namespace {

TEST_F(BenchTest, CallAtAPositionFailsWithTheChosenErrorAndDoesNothing)
{
    prepare(); // calls 1 and 2
    bench->resetCallCount();
    const std::size_t mark = bench->trace().size();
    bench->failCallAt(2, err::ENOL);
    send(at(5), "*ESE 1");                                 // 1
    const DriverStatus failed = sendCall(at(5), "*ESE 2"); // 2: fails, the unit never sees it
    EXPECT_EQ(failed.ibsta & (sta::ERR | sta::TIMO), sta::ERR);
    EXPECT_EQ(failed.iberr, err::ENOL);
    EXPECT_EQ(failed.ibcntl, 0);
    EXPECT_EQ(query(at(5), "*ESE?"), "1\n"); // 3 and 4 work again
    EXPECT_EQ(bench->callCount(), 4);
    const std::vector<BusCall> calls = bench->trace().records(mark);
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(calls[1].request(), BusCall::send(0, at(5), "*ESE 2", eot::NLend));
    EXPECT_TRUE(calls[1].failed());
}

TEST_F(BenchTest, NextCallOfAKindFailsOnceAndAbortsComeWithTimeout)
{
    prepare();
    bench->failNext(Call::Receive, err::EABO);
    send(at(5), "*ESE?");
    const Received failed = receive(at(5));
    EXPECT_EQ(failed.ibsta & (sta::ERR | sta::TIMO), sta::ERR | sta::TIMO);
    EXPECT_EQ(failed.iberr, err::EABO);
    EXPECT_EQ(failed.data, "");
    // The reply was not taken by the failed call.
    EXPECT_EQ(receive(at(5)).data, "0\n");

    bench->failNext(Call::Any, err::EBUS);
    EXPECT_EQ(driver().ibsre(0, 1).iberr, err::EBUS);
    EXPECT_FALSE(bench->board().remoteEnable());

    bench->failNext(Call::SendCmds, err::ENOL);
    bench->clearFaults();
    EXPECT_FALSE(commands({0x3F}) & sta::ERR);
}

TEST_F(BenchTest, SilentUnitListensButNeverAnswers)
{
    const auto id = bench->unitId("7321");
    bench->setSilent(id);
    prepare();
    EXPECT_FALSE(send(at(5), "*ESE 8") & sta::ERR);
    EXPECT_EQ(receive(at(5)).iberr, err::EABO);
    EXPECT_EQ(bench->unit(id).channels[0].ese, 8);

    bench->setSilent(id, false);
    EXPECT_EQ(esr(at(5)), 128); // silence set no query error
}

TEST_F(BenchTest, SlowUnitRepliesAfterItsDelayAndTheReplyOutlivesATimeout)
{
    const auto id = bench->unitId("7321");
    prepare(); // one-second time-out
    bench->setReplyDelay(id, 0.5);
    double start = bench->clock().now();
    EXPECT_EQ(query(at(5), "*ESE?"), "0\n");
    EXPECT_NEAR(bench->clock().now() - start, 0.5, 1e-9);

    // Later than the one-second time-out: the first read gives up, the reply is still coming.
    bench->setReplyDelay(id, 1.5);
    start = bench->clock().now();
    send(at(5), "*ESE?");
    const Received late = receive(at(5));
    EXPECT_EQ(late.iberr, err::EABO);
    EXPECT_NEAR(bench->clock().now() - start, 1.0, 1e-9);
    EXPECT_EQ(receive(at(5)).data, "0\n");
    EXPECT_NEAR(bench->clock().now() - start, 1.5, 1e-9);
}

TEST_F(BenchTest, DelaysThatAreNoNumberOrNegativeMeanNoDelayAndInfiniteNever)
{
    // Found by fuzzing: a NaN delay made a Receive wait for ever.
    const auto id = bench->unitId("7321");
    prepare();
    for (const double delay : {std::numeric_limits<double>::quiet_NaN(), -3.0}) {
        bench->setReplyDelay(id, delay);
        const double start = bench->clock().now();
        EXPECT_EQ(query(at(5), "*ESE?"), "0\n");
        EXPECT_EQ(bench->clock().now(), start);
    }
    bench->setReplyDelay(id, std::numeric_limits<double>::infinity());
    send(at(5), "*ESE?");
    EXPECT_EQ(receive(at(5)).iberr, err::EABO);
}

TEST_F(BenchTest, GarbageRepliesComeAsGivenAndLongOnesOverflowTheBuffer)
{
    const auto id = bench->unitId("7321");
    const std::string garbage = std::string("\x01\xFFXYZ", 5) + std::string(20, 'A');
    bench->setGarbage(id, garbage);
    prepare();
    send(at(5), "SYST:COMM:GPIB:ADDR?");
    const Received r = receive(at(5));
    EXPECT_EQ(r.data, garbage.substr(0, 18));
    EXPECT_FALSE(r.ibsta & sta::END);
    EXPECT_EQ(bench->trace().records().back().bytes, garbage.substr(0, 18));
    // *ESR? is garbled too unless it has its own answer; the register is read all the same.
    bench->setEsrReply(id, "32");
    EXPECT_EQ(query(at(5), "*ESR?"), "32\n");
    EXPECT_EQ(bench->unit(id).channels[0].esr, 0);
    bench->setFaults(id, {});
    EXPECT_EQ(esr(at(5)), 0);
}

} // namespace
} // namespace gpibconfig::sim::test
