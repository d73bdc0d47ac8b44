// SPDX-License-Identifier: GPL-3.0-or-later
// The board's side of the bench: status words, error codes, time-outs and byte counts of each
// driver call, as the program's access layer and error reports depend on them.
#include "BenchHarness.h"
#include "support/BusRecords.h"

#include <functional>
#include <utility>

namespace gpibconfig::sim::test {
namespace {

constexpr long kIdle = sta::CMPL | sta::CIC | sta::ATN; // 0x0130

TEST_F(BenchTest, ProgramSequenceGivesTheDocumentedStatusWordsAndTrace)
{
    driver().SendIFC(0);
    driver().ibsre(0, 1);
    driver().ibtmo(0, 11);
    driver().DevClear(0, at(5));
    send(at(5), "SYST:COMM:GPIB:ADDR?");
    receive(at(5));
    commands({0x3F, 0x25});
    driver().ibonl(0, 0);
    bench->clock().pause(0.2);
    bench->powerCycle(bench->unitId("7321"));

    const std::vector<std::string> expected = {
        "SendIFC(0) -> ibsta=0x0130 iberr=0 ibcntl=0",
        "ibsre(0, 1) -> ibsta=0x0130 iberr=0 ibcntl=0",
        "ibtmo(0, 11) -> ibsta=0x0130 iberr=0 ibcntl=0",
        "DevClear(0, 0x0005) -> ibsta=0x0130 iberr=0 ibcntl=0",
        "Send(0, 0x0005, \"SYST:COMM:GPIB:ADDR?\", 1) -> ibsta=0x2128 iberr=0 ibcntl=21",
        "Receive(0, 0x0005, 18, 0) -> ibsta=0x2124 iberr=0 ibcntl=2 data=\"5\\n\"",
        "SendCmds(0, 3F 25) -> ibsta=0x0130 iberr=0 ibcntl=2",
        "ibonl(0, 0) -> ibsta=0x0100 iberr=0 ibcntl=0",
        "Pause(0.2)",
        "# 7321 at 5: power cycle",
    };
    EXPECT_EQ(bench->trace().lines(), expected) << bench->trace().text();
}

TEST_F(BenchTest, CallsThatNeedControlFailWithEcicBeforeInterfaceClear)
{
    EXPECT_EQ(driver().ibsre(0, 1).ibsta, sta::CMPL);
    EXPECT_EQ(driver().ibtmo(0, 11).ibsta, sta::CMPL);

    const std::uint8_t get = 0x08;
    std::uint8_t buffer[18] = {};
    const std::vector<std::function<DriverStatus()>> calls = {
        [&] { return driver().DevClear(0, at(5)); },
        [&] { return sendCall(at(5), "*CLS"); },
        [&] { return driver().Receive(0, at(5), buffer, 18, 0); },
        [&] { return driver().SendCmds(0, &get, 1); },
    };
    for (const auto& call : calls) {
        const DriverStatus status = call();
        EXPECT_EQ(status.ibsta & (sta::ERR | sta::CIC), sta::ERR);
        EXPECT_EQ(status.iberr, err::ECIC);
    }
    // Nothing reached the unit: its power-on bit is still unread and nothing else is set.
    prepare();
    EXPECT_EQ(esr(at(5)), 128);
}

// A wrong address on a bus with units: the command bytes are taken by every unit, so the clear
// succeeds; only the data finds no listener, and the reply never comes.
TEST_F(BenchTest, AtAnAddressWithoutUnitCommandsPassDataFindsNoListenerAndReceiveTimesOut)
{
    prepare();
    const DriverStatus cleared = driver().DevClear(0, at(28));
    EXPECT_EQ(cleared.ibsta, kIdle);
    EXPECT_EQ(cleared.ibcntl, 0);
    const std::uint8_t trigger[] = {0x3F, 0x20 + 28, 0x08}; // a trigger no one hears
    const DriverStatus triggered = driver().SendCmds(0, trigger, 3);
    EXPECT_EQ(triggered.ibsta, kIdle);
    EXPECT_EQ(triggered.ibcntl, 3);

    const DriverStatus sent = sendCall(at(28), "*CLS");
    EXPECT_EQ(sent.ibsta, sta::ERR | sta::CMPL | sta::CIC | sta::TACS);
    EXPECT_EQ(sent.iberr, err::ENOL);
    EXPECT_EQ(sent.ibcntl, 0);

    const double before = bench->clock().now();
    const Received r = receive(at(28));
    EXPECT_EQ(r.ibsta, sta::ERR | sta::TIMO | sta::CMPL | sta::CIC | sta::LACS);
    EXPECT_EQ(r.iberr, err::EABO);
    EXPECT_EQ(r.ibcntl, 0);
    EXPECT_NEAR(bench->clock().now() - before, 1.0, 1e-9);
}

// With no unit on the bus the first command byte finds no acceptor: every call that sends command
// bytes fails with ENOL at once, having sent nothing. The interface clear needs no handshake.
TEST(EmptyBus, CommandBytesFailWithNoListenerWhenNoUnitIsOnTheBus)
{
    struct Case {
        const char* name;
        std::function<std::unique_ptr<Bench>()> make;
    };
    const Case cases[] = {
        {"no units", [] { return std::make_unique<Bench>(); }},
        {"every unit switched off",
         [] {
             auto bench = makeDefaultBench();
             for (Bench::UnitId id = 0; id < bench->unitCount(); ++id)
                 bench->setPower(id, false);
             return bench;
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto bench = c.make();
        Driver& driver = bench->driver();
        EXPECT_EQ(driver.SendIFC(0).ibsta, kIdle);
        driver.ibtmo(0, 11);

        const std::uint8_t unlisten = 0x3F;
        const std::string text = "*CLS";
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
        std::uint8_t buffer[18] = {};
        const std::vector<std::pair<const char*, std::function<DriverStatus()>>> calls = {
            {"DevClear 28", [&] { return driver.DevClear(0, at(28)); }},
            {"DevClear 5", [&] { return driver.DevClear(0, at(5)); }},
            {"DevClear NOADDR", [&] { return driver.DevClear(0, 0xFFFF); }},
            {"SendCmds UNL", [&] { return driver.SendCmds(0, &unlisten, 1); }},
            {"Send 5", [&] { return driver.Send(0, at(5), bytes, 4, eot::NLend); }},
            {"Receive 5", [&] { return driver.Receive(0, at(5), buffer, 18, 0); }},
        };
        for (const auto& [name, call] : calls) {
            SCOPED_TRACE(name);
            const double before = bench->clock().now();
            const DriverStatus status = call();
            EXPECT_EQ(status.ibsta, sta::ERR | kIdle);
            EXPECT_EQ(status.iberr, err::ENOL);
            EXPECT_EQ(status.ibcntl, 0);
            EXPECT_EQ(bench->clock().now(), before);
        }
        // No command byte, nothing to refuse.
        EXPECT_EQ(driver.SendCmds(0, &unlisten, 0).ibsta, kIdle);
    }
}

// A unit switched off leaves the bus: its address is as empty as a free one, while the other
// units keep the bus alive. Switched on again it is as after a power cycle.
TEST_F(BenchTest, ASwitchedOffUnitIsNotOnTheBus)
{
    prepare();
    const auto id = bench->unitId("7321");
    send(at(5), "*ESE 12");
    esr(at(5));
    send(at(5), "*ESE?"); // a reply left waiting
    bench->setPower(id, false);
    EXPECT_FALSE(bench->unit(id).poweredOn);

    EXPECT_FALSE(driver().DevClear(0, at(5)).failed());
    EXPECT_EQ(sendCall(at(5), "*ESE 1").iberr, err::ENOL);
    EXPECT_EQ(receive(at(5)).iberr, err::EABO);
    EXPECT_FALSE(driver().DevClear(0, 0xFFFF).failed());

    bench->setPower(id, false); // already off: nothing happens
    bench->setPower(id, true);
    EXPECT_TRUE(bench->unit(id).poweredOn);
    EXPECT_EQ(esr(at(5)), 128);
    EXPECT_EQ(query(at(5), "*ESE?"), "0\n");

    std::vector<BusCall> events;
    for (const BusCall& record : bench->trace().records()) {
        if (record.kind == BusCall::Kind::Event)
            events.push_back(record);
    }
    EXPECT_EQ(events, (std::vector{BusCall::event("7321 at 5: switched off"),
                                   BusCall::event("7321 at 5: switched on")}));

    // A power cycle of a unit that is off leaves it on.
    bench->setPower(id, false);
    bench->powerCycle(id);
    EXPECT_TRUE(bench->unit(id).poweredOn);
    EXPECT_EQ(esr(at(5)), 128);
}

TEST_F(BenchTest, ReceiveTimesOutAfterTheBoardTimeoutOnTheVirtualClock)
{
    struct Row {
        int code;
        double seconds;
    };
    const Row rows[] = {{13, 10.0}, {11, 1.0}, {9, 0.1}, {5, 0.001}, {17, 1000.0}};
    driver().SendIFC(0);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.code);
        if (row.code != 13) // 13 (10 s) is the board's default
            driver().ibtmo(0, row.code);
        const double before = bench->clock().now();
        const Received r = receive(at(29));
        EXPECT_EQ(r.ibsta, sta::ERR | sta::TIMO | sta::CMPL | sta::CIC | sta::LACS);
        EXPECT_EQ(r.iberr, err::EABO);
        EXPECT_EQ(r.ibcntl, 0);
        EXPECT_EQ(r.buffer, std::string(18, ' '));
        EXPECT_NEAR(bench->clock().now() - before, row.seconds, 1e-9);
    }
}

TEST_F(BenchTest, WithoutTimeoutAReceiveThatWouldHangIsAbortedAtOnce)
{
    prepare();
    driver().ibtmo(0, 0);
    const double before = bench->clock().now();
    const Received r = receive(at(29));
    EXPECT_EQ(r.ibsta & (sta::ERR | sta::TIMO), sta::ERR);
    EXPECT_EQ(r.iberr, err::EABO);
    EXPECT_EQ(bench->clock().now(), before);
}

TEST_F(BenchTest, InvalidArgumentsFailWithEarg)
{
    prepare();
    const Addr4882 badAddresses[] = {
        0x001F, // primary 31
        0x00FF, // primary 255
        0x5F05, // secondary byte below 0x60
        0x7F05, // secondary 31
        0x8005, // a "negative" address word
        0xFF05, 0x0105,
    };
    for (const Addr4882 address : badAddresses) {
        SCOPED_TRACE(address);
        const DriverStatus sent = sendCall(address, "*CLS");
        EXPECT_EQ(sent.iberr, err::EARG);
        EXPECT_TRUE(sent.failed());
        EXPECT_EQ(receive(address).iberr, err::EARG);
        EXPECT_EQ(driver().DevClear(0, address).iberr, err::EARG);
    }
    EXPECT_EQ(sendCall(at(5), "*CLS", 3).iberr, err::EARG);
    EXPECT_EQ(receive(at(5), 18, 0x0200).iberr, err::EARG);

    for (const int code : {-1, 18, 100}) {
        const DriverStatus status = driver().ibtmo(0, code);
        EXPECT_TRUE(status.failed());
        EXPECT_EQ(status.iberr, err::EARG);
    }
    EXPECT_EQ(bench->board().timeoutCode(), 11);
}

TEST_F(BenchTest, OtherBoardsAndDescriptorsDoNotExist)
{
    EXPECT_EQ(driver().SendIFC(1).iberr, err::ENEB);
    const DriverStatus timeout = driver().ibtmo(3, 11);
    EXPECT_TRUE(timeout.failed());
    EXPECT_EQ(timeout.iberr, err::EDVR);
    EXPECT_FALSE(bench->board().controllerInCharge());
}

TEST_F(BenchTest, OfflineBoardComesBackWithItsSettingsOnTheNextCall)
{
    prepare();
    driver().ibsre(0, 1);
    EXPECT_EQ(driver().ibonl(0, 0).ibsta, sta::CMPL);
    EXPECT_FALSE(bench->board().online());

    // Still controller in charge, still one second.
    EXPECT_EQ(send(at(5), "SYST:COMM:GPIB:ADDR?"), sta::END | sta::CMPL | sta::CIC | sta::TACS);
    EXPECT_TRUE(bench->board().online());
    EXPECT_TRUE(bench->board().remoteEnable());
    EXPECT_EQ(receive(at(5)).data, "5\n");
    const double before = bench->clock().now();
    receive(at(29));
    EXPECT_NEAR(bench->clock().now() - before, 1.0, 1e-9);
}

TEST_F(BenchTest, IberrKeepsTheLastErrorUntilTheNextFailure)
{
    prepare();
    EXPECT_EQ(sendCall(at(29), "*CLS").iberr, err::ENOL);
    const DriverStatus sent = sendCall(at(5), "*CLS");
    EXPECT_FALSE(sent.failed());
    EXPECT_EQ(sent.iberr, err::ENOL);
    EXPECT_EQ(receive(at(29)).iberr, err::EABO);
}

TEST_F(BenchTest, EndOfTransmissionModesDecideWhenTheUnitTakesTheMessage)
{
    prepare();
    esr(at(5)); // the power-on bit

    // Without END or line feed the unit keeps waiting for the rest of the message.
    const DriverStatus part = sendCall(at(5), "SYST:COMM:GPIB:ADDR", eot::NULLend);
    EXPECT_EQ(part.ibsta, sta::CMPL | sta::CIC | sta::TACS);
    EXPECT_EQ(part.ibcntl, 19);
    EXPECT_EQ(receive(at(5)).iberr, err::EABO);
    // END with the last byte ends it: the two parts form one query.
    const DriverStatus end = sendCall(at(5), "?", eot::DABend);
    EXPECT_EQ(end.ibsta, sta::END | sta::CMPL | sta::CIC | sta::TACS);
    EXPECT_EQ(end.ibcntl, 1);
    EXPECT_EQ(receive(at(5)).data, "5\n");
    // The time-out above was the unit being talked to with nothing to say.
    EXPECT_EQ(esr(at(5)), 4);

    // Mode 1 appends the line feed, counted in ibcntl.
    EXPECT_EQ(sendCall(at(5), "*ESE 12").ibcntl, 8);
    EXPECT_EQ(query(at(5), "*ESE?"), "12\n");
}

TEST_F(BenchTest, ReceiveHonoursCountAndTermination)
{
    prepare();
    const auto id = bench->unitId("7321");
    // A reply holding a NUL, a carriage return and no line feed.
    bench->setGarbage(id, std::string("AB\0CD\rEFGH", 10));

    struct Row {
        long count;
        int termination;
        std::string data;
        bool end;
    };
    const Row rows[] = {
        {18, 0, std::string("AB\0", 3), true}, // end-of-string byte 0 stops at the NUL
        {18, 0x0100, std::string("AB\0CD\rEFGH", 10), true}, // stop on END only
        {18, '\r', std::string("AB\0CD\r", 6), true},
        {4, 0x0100, std::string("AB\0C", 4), false},         // the buffer is full first
        {10, 0x0100, std::string("AB\0CD\rEFGH", 10), true}, // EOI with the last byte that fits
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.termination);
        send(at(5), "*ESE?");
        const Received r = receive(at(5), row.count, row.termination);
        EXPECT_EQ(r.data, row.data);
        EXPECT_EQ(r.ibcntl, static_cast<long>(row.data.size()));
        EXPECT_EQ((r.ibsta & sta::END) != 0, row.end);
        EXPECT_FALSE(r.ibsta & sta::ERR);
        // The rest of the caller's buffer is left as it was.
        EXPECT_EQ(r.buffer.substr(row.data.size()),
                  std::string(static_cast<std::size_t>(row.count) - row.data.size(), ' '));
    }
}

TEST_F(BenchTest, UnreadReplyBytesWaitForTheNextReceive)
{
    prepare();
    send(at(5), "*ESE 255");
    send(at(5), "*ESE?");
    EXPECT_EQ(receive(at(5), 2).data, "25");
    const Received rest = receive(at(5));
    EXPECT_EQ(rest.data, "5\n");
    EXPECT_TRUE(rest.ibsta & sta::END);
}

TEST_F(BenchTest, SendCmdsCountsBytesAndTracksTheBoardsOwnAddressing)
{
    prepare();
    const std::uint8_t ownListen[] = {0x3F, 0x20}; // the board's own listen address
    const DriverStatus listening = driver().SendCmds(0, ownListen, 2);
    EXPECT_EQ(listening.ibsta, kIdle | sta::LACS);
    EXPECT_EQ(listening.ibcntl, 2);
    EXPECT_EQ(commands({0x40}), kIdle | sta::LACS | sta::TACS);
    EXPECT_EQ(commands({0x3F, 0x5F}), kIdle);
    const DriverStatus none = driver().SendCmds(0, nullptr, 0);
    EXPECT_EQ(none.ibsta, kIdle);
    EXPECT_EQ(none.ibcntl, 0);
}

TEST_F(BenchTest, DeviceClearEmptiesTheUnitsOutputAndNoaddrClearsEveryUnit)
{
    prepare();
    send(at(5), "*ESE?");
    driver().DevClear(0, at(5));
    EXPECT_EQ(receive(at(5)).iberr, err::EABO);

    send(at(1), "*ESE?");
    send(at(2), "*ESE?");
    EXPECT_FALSE(driver().DevClear(0, 0xFFFF).failed());
    EXPECT_EQ(receive(at(1)).iberr, err::EABO);
    EXPECT_EQ(receive(at(2)).iberr, err::EABO);
}

TEST_F(BenchTest, AnAddressWithASecondaryReachesAUnitWithoutSecondaries)
{
    prepare();
    // 512 typed as an address: the device clear goes to 5 with secondary 12.
    EXPECT_FALSE(driver().DevClear(0, at(5, 12)).failed());
    EXPECT_EQ(query(at(5, 12), "SYST:COMM:GPIB:ADDR?"), "5\n");
}

// ----- finding listeners ------------------------------------------------------------------------

struct FindCase {
    const char* name;
    std::function<void(Bench&)> before; // what happens to the bench first
    std::vector<Addr4882> primaries;    // asked, without the end mark
    long limit;
    int board;
    std::vector<Addr4882> found;
    int iberr; // -1: success
};

std::vector<Addr4882> range(int from, int to)
{
    std::vector<Addr4882> out;
    for (int a = from; a <= to; ++a)
        out.push_back(static_cast<Addr4882>(a));
    return out;
}

// What the default bench's units answer to: 1..24, the 7379's channels at 25, 26, 27.
std::vector<Addr4882> defaultListeners()
{
    std::vector<Addr4882> out = range(1, 24);
    for (int s = 11; s <= 14; ++s)
        out.push_back(at(25, s));
    out.push_back(26);
    out.push_back(27);
    return out;
}

class FindListeners : public BenchTest, public ::testing::WithParamInterface<FindCase> {};

TEST_P(FindListeners, SeesWhoHoldsNdacAsABoardOnTheBusDoes)
{
    const FindCase c = GetParam();
    driver().SendIFC(0);
    if (c.before)
        c.before(*bench);
    std::vector<Addr4882> list = c.primaries;
    list.push_back(kNoAddress);
    std::vector<Addr4882> results(static_cast<std::size_t>(std::max(c.limit, 0L)), 0xAAAA);
    const DriverStatus status = driver().FindLstn(c.board, list.data(), results.data(), c.limit);
    const long count = status.ibcntl;
    if (c.iberr < 0) {
        EXPECT_EQ(status.ibsta, kIdle);
    } else {
        EXPECT_EQ(status.ibsta & sta::ERR, sta::ERR);
        EXPECT_EQ(status.iberr, c.iberr);
    }
    if (c.iberr < 0 || c.iberr == err::ETAB) {
        ASSERT_EQ(count, static_cast<long>(c.found.size()));
        EXPECT_EQ(std::vector<Addr4882>(results.begin(), results.begin() + count), c.found);
    }
    // Nobody was left addressed, and the trace shows what was found.
    const BusCall last = bench->trace().records().back();
    EXPECT_EQ(last.kind, BusCall::Kind::FindLstn);
    EXPECT_EQ(last.addresses, c.primaries);
    if (c.iberr < 0) {
        EXPECT_EQ(last.found, c.found);
        EXPECT_EQ(query(at(4), "*ESR?"), "128\n") << "a unit only found is not disturbed";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Buses, FindListeners,
    ::testing::Values(FindCase{"DefaultBench", {}, range(0, 30), 64, 0, defaultListeners(), -1},
                      FindCase{"SomeAddresses",
                               {},
                               {7, 25, 29},
                               64,
                               0,
                               {7, at(25, 11), at(25, 12), at(25, 13), at(25, 14)},
                               -1},
                      FindCase{"AUnitSwitchedOff",
                               [](Bench& b) { b.setPower(b.unitId("7321"), false); },
                               range(4, 6),
                               64,
                               0,
                               {4, 6},
                               -1},
                      FindCase{"AUnitMovedToAddressZero",
                               [](Bench& b) {
                                   const std::string move = "SYST:COMM:GPIB:ADDR 0";
                                   b.driver().Send(
                                       0, at(5), reinterpret_cast<const std::uint8_t*>(move.data()),
                                       static_cast<long>(move.size()), eot::NLend);
                               },
                               range(0, 5),
                               64,
                               0,
                               {0, 1, 2, 3, 4},
                               -1},
                      FindCase{"MoreThanTheLimit", {}, range(1, 10), 3, 0, {1, 2, 3}, err::ETAB},
                      FindCase{"AnAddressAbove30", {}, {5, 31}, 64, 0, {}, err::EARG},
                      FindCase{"NoUnitOnTheBus",
                               [](Bench& b) {
                                   for (Bench::UnitId id = 0; id < b.unitCount(); ++id)
                                       b.setPower(id, false);
                               },
                               range(0, 30),
                               64,
                               0,
                               {},
                               err::EBUS},
                      FindCase{"AnotherBoard", {}, range(0, 30), 64, 1, {}, err::ENEB}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(BenchTest, FindingListenersNeedsControlOfTheBus)
{
    const Addr4882 list[] = {5, kNoAddress};
    Addr4882 found[4] = {};
    const DriverStatus status = driver().FindLstn(0, list, found, 4);
    EXPECT_EQ(status.iberr, err::ECIC);
    EXPECT_EQ(status.ibsta & sta::ERR, sta::ERR);
}

} // namespace
} // namespace gpibconfig::sim::test
