// SPDX-License-Identifier: GPL-3.0-or-later
// The bus record and its trace line: the line is what people read on standard output and in the
// bench window, so every kind of entry is pinned here character for character.
#include "gpib/BusCall.h"
#include "gpib/TracingDriver.h"
#include "support/BusRecords.h"
#include "support/FakeDriver.h"

#include <array>
#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace gpibconfig;

namespace {

BusCall with(BusCall call, long ibsta, long iberr, long ibcntl, std::string received = {})
{
    call.complete(ibsta, iberr, ibcntl);
    if (!received.empty())
        call.bytes = std::move(received);
    return call;
}

TEST(BusCallLine, EachKindRendersAsTheTraceWritesIt)
{
    struct Row {
        BusCall call;
        std::string line;
    };
    const Row rows[] = {
        {with(BusCall::sendIfc(0), 0x0130, 0, 0), "SendIFC(0) -> ibsta=0x0130 iberr=0 ibcntl=0"},
        {with(BusCall::ibsre(0, 1), 0x0130, 0, 0), "ibsre(0, 1) -> ibsta=0x0130 iberr=0 ibcntl=0"},
        {with(BusCall::ibtmo(-1, 11), 0x8100, err::EDVR, 0),
         "ibtmo(-1, 11) -> ibsta=0x8100 iberr=0 ibcntl=0"},
        {with(BusCall::ibonl(0, 0), 0x0100, 0, 0), "ibonl(0, 0) -> ibsta=0x0100 iberr=0 ibcntl=0"},
        {with(BusCall::devClear(0, 0x6B19), 0x0130, 0, 0),
         "DevClear(0, 0x6B19) -> ibsta=0x0130 iberr=0 ibcntl=0"},
        {with(BusCall::devClear(0, 0xFFFF), 0x8130, err::ENOL, 0),
         "DevClear(0, 0xFFFF) -> ibsta=0x8130 iberr=2 ibcntl=0"},
        {with(BusCall::send(0, 5, "SYST:COMM:GPIB:ADDR?", eot::NLend), 0x2128, 0, 21),
         "Send(0, 0x0005, \"SYST:COMM:GPIB:ADDR?\", 1) -> ibsta=0x2128 iberr=0 ibcntl=21"},
        {with(BusCall::send(0, 5, std::string("say \"\\\"\t\r\n\0\xB5", 12), eot::DABend), 0x2128,
              0, 12),
         "Send(0, 0x0005, \"say \\\"\\\\\\\"\\t\\r\\n\\x00\\xB5\", 2) -> ibsta=0x2128 iberr=0 "
         "ibcntl=12"},
        {with(BusCall::receive(0, 5, 18, 0), 0x2124, 0, 2, "5\n"),
         "Receive(0, 0x0005, 18, 0) -> ibsta=0x2124 iberr=0 ibcntl=2 data=\"5\\n\""},
        {with(BusCall::receive(0, 0x6D19, 18, 256), 0xC124, err::EABO, 0),
         "Receive(0, 0x6D19, 18, 256) -> ibsta=0xC124 iberr=6 ibcntl=0 data=\"\""},
        {with(BusCall::sendCmds(0, "\x3F\x25\x08"), 0x0130, 0, 3),
         "SendCmds(0, 3F 25 08) -> ibsta=0x0130 iberr=0 ibcntl=3"},
        {with(BusCall::sendCmds(0, ""), 0x0130, 0, 0),
         "SendCmds(0, ) -> ibsta=0x0130 iberr=0 ibcntl=0"},
        // Only the status word's 16 bits are shown, whatever a driver handed back.
        {with(BusCall::sendIfc(1), -1, 0x10007, -5),
         "SendIFC(1) -> ibsta=0xFFFF iberr=65543 ibcntl=-5"},
        {[] {
             const Addr4882 pads[] = {1, 25, 30, kNoAddress};
             const Addr4882 found[] = {1, 0x6B19, 0x6C19, 0xAAAA};
             BusCall call = BusCall::findLstn(0, pads, 3);
             call.completeFind(0x8130, err::ETAB, 3, found);
             return call;
         }(),
         "FindLstn(0, 0x0001 0x0019 0x001E, 3) -> ibsta=0x8130 iberr=20 ibcntl=3 "
         "found=0x0001 0x6B19 0x6C19"},
        {[] {
             const Addr4882 pads[] = {kNoAddress};
             BusCall call = BusCall::findLstn(0, pads, 31);
             call.completeFind(0x0130, 0, 0, nullptr);
             return call;
         }(),
         "FindLstn(0, , 31) -> ibsta=0x0130 iberr=0 ibcntl=0 found="},
        {BusCall::pause(0.2), "Pause(0.2)"},
        {BusCall::pause(1), "Pause(1)"},
        {BusCall::pause(0.001), "Pause(0.001)"},
        {BusCall::event("7311 at 1: power cycle"), "# 7311 at 1: power cycle"},
    };
    for (const Row& row : rows)
        EXPECT_EQ(row.call.traceLine(), row.line);
}

TEST(BusCallLine, EscapesBytesAsCStrings)
{
    struct Row {
        std::string bytes;
        std::string escaped;
    };
    const Row rows[] = {
        {"SYST:COMM:GPIB:ADDR?", "SYST:COMM:GPIB:ADDR?"},
        {"5\n", "5\\n"},
        {"a\rb\tc", "a\\rb\\tc"},
        {"say \"hi\" \\o/", "say \\\"hi\\\" \\\\o/"},
        {std::string("\0\x1F\x7F\x80\xFF", 5), "\\x00\\x1F\\x7F\\x80\\xFF"},
        {" ~", " ~"},
    };
    for (const Row& row : rows)
        EXPECT_EQ(BusCall::escape(row.bytes), row.escaped);
}

TEST(BusCallLine, WritesAddressWordsAndCommandBytesInUpperCaseHex)
{
    EXPECT_EQ(BusCall::hexWord(5), "0x0005");
    EXPECT_EQ(BusCall::hexWord(0x6D19), "0x6D19");
    EXPECT_EQ(BusCall::hexWord(0x1FFFF), "0xFFFF");
    EXPECT_EQ(BusCall::hexBytes("\x3F\x25\x08\xAB"), "3F 25 08 AB");
    EXPECT_EQ(BusCall::hexBytes(""), "");
}

// A Receive records what arrived in the caller's buffer: never more than the buffer holds,
// whatever count the driver reports, and nothing without a buffer.
TEST(BusCallRecord, ReceiveTakesAtMostTheBufferFromTheStart)
{
    const std::array<std::uint8_t, 4> buffer = {'a', 'b', 'c', 'd'};
    struct Row {
        long count;
        long reported;
        const std::uint8_t* buffer;
        std::string bytes;
    };
    const Row rows[] = {
        {4, 2, buffer.data(), "ab"}, {4, 4, buffer.data(), "abcd"}, {4, 100, buffer.data(), "abcd"},
        {4, -3, buffer.data(), ""},  {-1, 2, buffer.data(), ""},    {4, 2, nullptr, ""},
    };
    for (const Row& row : rows) {
        BusCall call = BusCall::receive(0, 5, row.count, 0);
        call.complete(sta::CMPL, 0, row.reported, row.buffer);
        EXPECT_EQ(call.bytes, row.bytes) << row.count << " " << row.reported;
        EXPECT_EQ(call.ibcntl, row.reported) << "the status stays as the driver gave it";
    }
}

TEST(BusCallRecord, DriverArgumentsWithoutBytesGiveNoneAndKeepTheCount)
{
    const std::uint8_t data[] = {'*', 'C', 'L', 'S'};
    EXPECT_EQ(BusCall::send(0, 5, data, 4, eot::NLend).bytes, "*CLS");
    EXPECT_EQ(BusCall::send(0, 5, data, -1, eot::NLend).bytes, "");
    EXPECT_EQ(BusCall::send(0, 5, data, -1, eot::NLend).count, -1);
    EXPECT_EQ(BusCall::send(0, 5, nullptr, 4, eot::NLend).bytes, "");
    EXPECT_EQ(BusCall::sendCmds(0, nullptr, 2).bytes, "");
}

// The decorator every driver can be wrapped in: the same calls reach the inner driver, the
// program reads the same status, and each call is recorded with the status it left.
TEST(TracingDriverTest, RecordsEveryCallWithItsStatusAndChangesNothing)
{
    test::FakeDriver inner;
    inner.replies = {"5\n"};
    inner.statusFor = [](const BusCall& call) {
        if (call.kind == BusCall::Kind::DevClear)
            return test::FakeDriver::Status{sta::ERR | sta::CMPL, err::ENOL, 0};
        if (call.kind == BusCall::Kind::Receive) // a driver that claims more than it had room for
            return test::FakeDriver::Status{sta::END | sta::CMPL, 0, 30};
        return test::FakeDriver::Status{sta::CMPL, 0, 7};
    };
    std::vector<BusCall> traced;
    TracingDriver driver(inner, [&](const BusCall& call) { traced.push_back(call); });

    const std::uint8_t message[] = {'*', 'E', 'S', 'R', '?'};
    const std::uint8_t commands[] = {0x3F, 0x25};
    std::array<std::uint8_t, 18> buffer{};
    driver.SendIFC(0);
    EXPECT_EQ(driver.ibsre(0, 1).ibsta, sta::CMPL);
    driver.ibtmo(0, 11);
    EXPECT_EQ(driver.DevClear(0, 0x0005).iberr, err::ENOL);
    driver.Send(0, 0x0005, message, 5, eot::NLend);
    const DriverStatus received = driver.Receive(0, 0x0005, buffer.data(), 18, 0);
    driver.SendCmds(0, commands, 2);
    const DriverStatus last = driver.ibonl(0, 0);

    EXPECT_EQ(traced, inner.calls) << "the same records as the driver underneath saw";
    EXPECT_EQ(test::requests(traced),
              (std::vector{BusCall::sendIfc(0), BusCall::ibsre(0, 1), BusCall::ibtmo(0, 11),
                           BusCall::devClear(0, 5), BusCall::send(0, 5, "*ESR?", eot::NLend),
                           BusCall::receive(0, 5, 18, 0), BusCall::sendCmds(0, "\x3F\x25"),
                           BusCall::ibonl(0, 0)}));
    ASSERT_EQ(traced.size(), 8u);
    EXPECT_TRUE(traced[3].failed());
    EXPECT_EQ(traced[3].iberr, err::ENOL);
    EXPECT_EQ(traced[5].bytes, std::string("5\n") + std::string(16, '\0'))
        << "never past the buffer";
    EXPECT_EQ(buffer[0], '5');
    EXPECT_EQ(received, (DriverStatus{sta::END | sta::CMPL, 0, 30}))
        << "the status goes back as the driver underneath returned it";
    EXPECT_EQ(last, (DriverStatus{sta::CMPL, 0, 7}));
}

} // namespace
