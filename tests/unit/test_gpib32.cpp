// SPDX-License-Identifier: GPL-3.0-or-later
#include "gpib/Gpib32.h"
#include "support/BusRecords.h"
#include "support/FakeDriver.h"

#include <functional>
#include <gtest/gtest.h>

using namespace gpibconfig;

namespace {

struct Fixture : ::testing::Test {
    test::FakeDriver driver;
    GPIB32 gpib{driver};
};

TEST_F(Fixture, PassesArgumentsAsTheDriverExpects)
{
    QString text = QStringLiteral("SYST:COMM:GPIB:ADDR?");
    (void)gpib.SendIFC(0);
    (void)gpib.DevClear(0, static_cast<std::int16_t>(0x6C05));
    (void)gpib.Send(0, 5, text, 1);
    (void)gpib.ibsre(0, 1);
    (void)gpib.ibtmo(0, 11);
    EXPECT_EQ(test::requests(driver.calls), (std::vector<BusCall>{
                                                BusCall::sendIfc(0),
                                                BusCall::devClear(0, 0x6C05),
                                                BusCall::send(0, 5, "SYST:COMM:GPIB:ADDR?", 1),
                                                BusCall::ibsre(0, 1),
                                                BusCall::ibtmo(0, 11),
                                            }));
}

TEST_F(Fixture, NegativeAddressesReachTheDriverAsTheSameSixteenBits)
{
    (void)gpib.DevClear(0, -5);
    EXPECT_EQ(driver.calls.back().request(), BusCall::devClear(0, 0xFFFB));
}

TEST_F(Fixture, NegativeBoardAndArgumentsAreSignExtended)
{
    (void)gpib.ibtmo(-1, -2);
    EXPECT_EQ(driver.calls.back().request(), BusCall::ibtmo(-1, -2));
}

TEST_F(Fixture, ReceiveOverwritesTheStartOfTheBufferAndKeepsItsLength)
{
    QString buffer(18, QLatin1Char(' '));
    driver.replies.push_back("5\r\n");
    const GpibStatus status = gpib.Receive(0, 5, buffer, 0);
    EXPECT_EQ(buffer, QStringLiteral("5\r\n") + QString(15, QLatin1Char(' ')));
    EXPECT_EQ(buffer.size(), 18);
    EXPECT_EQ(status.ibcntl, 3);
    EXPECT_EQ(driver.calls.back().request(), BusCall::receive(0, 5, 18, 0));
}

TEST_F(Fixture, ReceiveNeverWritesBeyondTheBuffer)
{
    QString buffer(4, QLatin1Char('.'));
    driver.replies.push_back(QByteArray(100, 'x'));
    (void)gpib.Receive(0, 5, buffer, 0);
    EXPECT_EQ(buffer, QStringLiteral("xxxx"));
}

TEST_F(Fixture, NonAsciiAndNulBytesComeBackAsLatin1Characters)
{
    QString buffer(6, QLatin1Char(' '));
    driver.replies.push_back(QByteArray("a\0\xE9\xFF", 4));
    (void)gpib.Receive(0, 5, buffer, 0);
    EXPECT_EQ(buffer.size(), 6);
    EXPECT_EQ(buffer.at(0), QLatin1Char('a'));
    EXPECT_EQ(buffer.at(1).unicode(), 0);
    EXPECT_EQ(buffer.at(2).unicode(), 0xE9);
    EXPECT_EQ(buffer.at(3).unicode(), 0xFF);
}

TEST_F(Fixture, CharactersWithoutAnEightBitFormBecomeQuestionMarksAndKeepTheCount)
{
    // é and ÿ (the last 8-bit character) stay, € and the emoji do not.
    QString text = QStringLiteral("A\u00E9\u00FF\u0100\u20AC\U0001F600Z");
    const QString before = text;
    (void)gpib.Send(0, 5, text, 1);
    EXPECT_EQ(driver.calls.back().bytes, std::string("A\xE9\xFF????Z"));
    EXPECT_EQ(driver.calls.back().count, before.size());
    EXPECT_EQ(text, before) << "a Send leaves the caller's text alone";
}

TEST_F(Fixture, EveryCallReturnsItsStatusCutToSixteenBits)
{
    driver.statusFor = [](const BusCall&) {
        return test::FakeDriver::Status{0x18100, 0x10007, 0x12345};
    };
    QString buffer(4, QLatin1Char(' '));
    const std::vector<std::pair<const char*, std::function<GpibStatus()>>> calls = {
        {"SendIFC", [&] { return gpib.SendIFC(0); }},
        {"DevClear", [&] { return gpib.DevClear(0, 5); }},
        {"Send", [&] { return gpib.Send(0, 5, QStringLiteral("*CLS"), 1); }},
        {"Receive", [&] { return gpib.Receive(0, 5, buffer, 0); }},
        {"SendCmds", [&] { return gpib.SendCmds(0, QStringLiteral("?")); }},
        {"ibonl", [&] { return gpib.ibonl(0, 0); }},
        {"ibsre", [&] { return gpib.ibsre(0, 1); }},
        {"ibtmo", [&] { return gpib.ibtmo(0, 11); }},
    };
    for (const auto& [name, call] : calls) {
        SCOPED_TRACE(name);
        const GpibStatus status = call();
        EXPECT_EQ(static_cast<std::uint16_t>(status.ibsta), 0x8100);
        EXPECT_TRUE(status.failed());
        EXPECT_EQ(status.iberr, 7);
        EXPECT_EQ(status.ibcntl, 0x12345);
    }
}

TEST_F(Fixture, AFailureBelongsToItsCallAlone)
{
    driver.statusFor = test::failing(BusCall::Kind::DevClear, err::ENOL);
    const GpibStatus cleared = gpib.DevClear(0, 5);
    EXPECT_TRUE(cleared.failed());
    EXPECT_EQ(cleared.iberr, err::ENOL);
    EXPECT_FALSE(gpib.SendIFC(0).failed());
}

TEST_F(Fixture, WithoutTheDriversSearchForListenersNothingIsCalledAndTheStatusSaysEcap)
{
    std::vector<std::int16_t> found{7};
    const std::int16_t primaries[] = {5, 6};
    const GpibStatus status = gpib.FindLstn(0, primaries, found, 4);
    EXPECT_TRUE(status.failed());
    EXPECT_EQ(status.iberr, err::ECAP);
    EXPECT_TRUE(found.empty());
    EXPECT_TRUE(driver.calls.empty());
}

TEST_F(Fixture, SendCmdsPassesTheBytes)
{
    QString cmds;
    cmds += QChar(0x3F);
    cmds += QChar(0x25);
    cmds += QChar(0x08);
    EXPECT_EQ(gpib.SendCmds(0, cmds).ibcntl, 3);
    EXPECT_EQ(driver.calls.back().request(), BusCall::sendCmds(0, "\x3F\x25\x08"));
}

} // namespace
