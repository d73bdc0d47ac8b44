// SPDX-License-Identifier: GPL-3.0-or-later
// The VXI-11 driver against the simulated gateway on its own thread: the calls as the program
// makes them, what reaches the bench's bus, and the status words and plain words of each failure
// a gateway shows.
#include "sim/Board.h"
#include "support/GatewayOnThread.h"
#include "vxi11/Vxi11Driver.h"

#include <QCoreApplication>
#include <functional>
#include <gtest/gtest.h>

using namespace gpibconfig;
using namespace gpibconfig::vxi11;
using gpibconfig::test::GatewayOnThread;

namespace {

constexpr long kDone = sta::CMPL | sta::CIC;
constexpr long kTimedOut = sta::ERR | sta::TIMO | sta::CMPL | sta::CIC;
constexpr DriverStatus kNoGateway{sta::ERR, err::EDVR, 0};

struct Rig {
    GatewayOnThread gateway;
    std::unique_ptr<Vxi11Driver> driver;

    explicit Rig(std::optional<quint16> corePort = std::nullopt,
                 QString interfaceName = QStringLiteral("gpib0"))
    {
        DriverTiming timing;
        timing.connectMs = 2000;
        timing.portmapperPort = gateway.portmapperPort();
        driver = std::make_unique<Vxi11Driver>(QStringLiteral("127.0.0.1"),
                                               corePort.value_or(gateway.corePort()),
                                               std::move(interfaceName), timing);
    }
    DriverStatus send(Addr4882 address, const QByteArray& text, int eotMode = eot::DABend)
    {
        return driver->Send(0, address, reinterpret_cast<const std::uint8_t*>(text.constData()),
                            static_cast<long>(text.size()), eotMode);
    }
    // The reply as far as the status's count says.
    std::pair<DriverStatus, QByteArray> receive(Addr4882 address, long count = 100,
                                                int termination = 0x0100)
    {
        QByteArray buffer(count, '\0');
        const DriverStatus s = driver->Receive(
            0, address, reinterpret_cast<std::uint8_t*>(buffer.data()), count, termination);
        return {s, buffer.left(std::clamp<long>(s.ibcntl, 0, count))};
    }
    QString words(const DriverStatus& s) const
    {
        return driver->explainFailure(static_cast<int>(s.ibsta), static_cast<int>(s.iberr),
                                      s.ibcntl);
    }
    // The bench's trace lines from `from` on, without their status part.
    QStringList calls(std::size_t from = 0)
    {
        QStringList out;
        gateway.withBench([&](sim::Bench& bench) {
            const auto lines = bench.trace().lines();
            for (std::size_t i = from; i < lines.size(); ++i)
                out << QString::fromStdString(lines[i]).section(QStringLiteral(" -> "), 0, 0);
        });
        return out;
    }
    int procedureCount(quint32 procedure)
    {
        int n = 0;
        gateway.withGateway([&](auto& g) { n = static_cast<int>(g.coreCalls().count(procedure)); });
        return n;
    }
    void expectIdentity(Addr4882 address, const char* model)
    {
        EXPECT_EQ(send(address, "*IDN?\n"), (DriverStatus{kDone, 0, 6}));
        const auto [status, reply] = receive(address);
        EXPECT_EQ(status.ibsta, kDone | sta::END);
        EXPECT_TRUE(reply.startsWith(QByteArray("ZEB,") + model)) << reply.constData();
    }
};

struct Case {
    const char* name;
    std::function<void(Rig&)> run;
};

const Case kCases[] = {
    {"query_at_a_primary_address", [](Rig& r) { r.expectIdentity(15, "7352A,"); }},
    {"query_at_a_secondary_address", [](Rig& r) { r.expectIdentity(0x6B19, "7379,"); }},
    {"core_port_from_the_portmapper",
     [](Rig&) {
         Rig viaPortmapper(quint16(0));
         viaPortmapper.expectIdentity(15, "7352A,");
     }},
    {"reply_up_to_the_termination_character",
     [](Rig& r) {
         r.send(15, "*IDN?\n");
         const auto [status, reply] = r.receive(15, 100, ',');
         EXPECT_EQ(status, (DriverStatus{kDone | sta::END, 0, 4}));
         EXPECT_EQ(reply, "ZEB,");
     }},
    {"reply_longer_than_the_buffer",
     [](Rig& r) {
         r.send(15, "*IDN?\n");
         EXPECT_EQ(r.receive(15, 3), std::make_pair(DriverStatus{kDone, 0, 3}, QByteArray("ZEB")));
     }},
    {"reply_handed_in_parts",
     [](Rig& r) {
         r.gateway.withGateway([](auto& g) { g.setReadLimit(4); });
         r.expectIdentity(15, "7352A,24015,");
         EXPECT_GE(r.procedureCount(proc::DeviceRead), 5);
     }},
    {"line_feed_appended_with_end",
     [](Rig& r) {
         EXPECT_EQ(r.send(15, "*IDN?", eot::NLend), (DriverStatus{kDone, 0, 6}));
         EXPECT_TRUE(r.receive(15).second.startsWith("ZEB,7352A,"));
     }},
    {"nobody_at_the_address_times_out_at_the_read",
     [](Rig& r) {
         EXPECT_EQ(r.send(29, "*IDN?\n"), (DriverStatus{kDone, 0, 6}));
         const auto [status, reply] = r.receive(29);
         EXPECT_EQ(status, (DriverStatus{kTimedOut, err::EABO, 0}));
         EXPECT_EQ(r.words(status), QString());
     }},
    {"time_out_code_is_the_gateways_io_timeout",
     [](Rig& r) {
         EXPECT_EQ(r.driver->ibtmo(0, 9), (DriverStatus{kDone, 0, 0}));
         r.receive(29);
         // The gateway waits its 100 ms in the board's largest step that fits.
         EXPECT_TRUE(r.calls().contains(QStringLiteral("ibtmo(0, 9)")));
     }},
    {"interface_clear_remote_enable_clear_and_trigger",
     [](Rig& r) {
         const std::uint8_t trigger[] = {0x3F, 0x22, 0x08}; // UNL, LAD 2, GET
         const std::size_t from = r.calls().size();
         EXPECT_EQ(r.driver->SendIFC(0), (DriverStatus{kDone, 0, 0}));
         EXPECT_EQ(r.driver->ibsre(0, 0), (DriverStatus{kDone, 0, 0}));
         EXPECT_EQ(r.driver->ibsre(0, 1), (DriverStatus{kDone, 0, 0}));
         EXPECT_EQ(r.driver->DevClear(0, 15), (DriverStatus{kDone, 0, 0}));
         EXPECT_EQ(r.driver->DevClear(0, kNoAddress), (DriverStatus{kDone, 0, 0}));
         EXPECT_EQ(r.driver->SendCmds(0, trigger, 3), (DriverStatus{kDone, 0, 3}));
         EXPECT_EQ(r.calls(from), (QStringList{"SendIFC(0)", "ibsre(0, 0)", "ibsre(0, 1)",
                                               "DevClear(0, 0x000F)", "DevClear(0, 0xFFFF)",
                                               "SendCmds(0, 3F 22 08)"}));
         r.gateway.withBench([](sim::Bench& b) { EXPECT_TRUE(b.unit(b.unitId("7314A")).triggered); });
     }},
    {"trigger_through_device_trigger_without_send_command",
     [](Rig& r) {
         r.gateway.withGateway([](auto& g) { g.refuseCommand(docmd::SendCommand); });
         // The bytes as the program triggers a unit, then the 7379's channel at 25,11 with a
         // talker in between, whose secondary address addresses no listener.
         const std::vector<std::vector<std::uint8_t>> sequence = {
             {0x3F}, {0x22}, {0x3F}, {0x22, 0x08}, {0x3F, 0x39, 0x6B, 0x45, 0x61, 0x08}};
         for (const auto& bytes : sequence)
             EXPECT_EQ(r.driver->SendCmds(0, bytes.data(), long(bytes.size())),
                       (DriverStatus{kDone, 0, long(bytes.size())}));
         EXPECT_EQ(r.procedureCount(proc::DeviceDocmd), 1); // asked once, then no more
         // 2, then 25,11 alone: the unlisten let 2 go.
         EXPECT_EQ(r.procedureCount(proc::DeviceTrigger), 2);
         EXPECT_EQ(r.calls().filter(QStringLiteral("SendCmds(")),
                   (QStringList{"SendCmds(0, 3F 22 08)", "SendCmds(0, 3F 39 6B 08)"}));
         const std::uint8_t clearAll = 0x14; // DCL has no call of its own on a device link
         const DriverStatus s = r.driver->SendCmds(0, &clearAll, 1);
         EXPECT_EQ(s, (DriverStatus{sta::ERR | kDone, err::ECAP, 0}));
         EXPECT_TRUE(r.words(s).contains(QStringLiteral("no send command")));
         EXPECT_TRUE(r.words(s).contains(QStringLiteral("0x14")));
     }},
    {"message_in_blocks_of_the_links_size",
     [](Rig& r) {
         r.gateway.withGateway([](auto& g) { g.setMaxRecvSize(1024); });
         const std::size_t from = r.calls().size();
         EXPECT_EQ(r.send(15, QByteArray(2500, 'A')), (DriverStatus{kDone, 0, 2500}));
         // The data's length and the end mode of each Send the bus saw: END with the last only.
         QStringList blocks;
         for (const QString& call : r.calls(from).filter(QStringLiteral("Send(0, 0x000F"))) {
             const qsizetype open = call.indexOf(QLatin1Char('"'));
             blocks << QStringLiteral("%1 %2").arg(call.lastIndexOf(QLatin1Char('"')) - open - 1)
                                              .arg(call.at(call.size() - 2));
         }
         EXPECT_EQ(blocks, (QStringList{"1024 0", "1024 0", "452 2"}));
     }},
    {"arguments_it_cannot_use_reach_no_gateway",
     [](Rig& r) {
         EXPECT_EQ(r.driver->SendIFC(1).iberr, err::ENEB);
         EXPECT_EQ(r.send(31, "*IDN?\n").iberr, err::EARG);
         EXPECT_EQ(r.send(0x7F05, "*IDN?\n").iberr, err::EARG);
         EXPECT_EQ(r.receive(15, 10, 0x0200).first.iberr, err::EARG);
         EXPECT_EQ(r.driver->ibtmo(0, 18).iberr, err::EARG);
         EXPECT_EQ(r.procedureCount(proc::CreateLink), 0);
     }},
    {"gateway_down_then_up",
     [](Rig& r) {
         r.gateway.withGateway([](auto& g) { g.setDown(true); });
         const DriverStatus down = r.driver->SendIFC(0);
         EXPECT_EQ(down, kNoGateway);
         EXPECT_TRUE(r.words(down).startsWith(QStringLiteral("No VXI-11 gateway answers at "
                                                             "127.0.0.1:")))
             << r.words(down).toStdString();
         r.gateway.withGateway([](auto& g) { g.setDown(false); });
         EXPECT_EQ(r.driver->SendIFC(0), (DriverStatus{kDone, 0, 0}));
     }},
    {"peer_that_is_no_gateway",
     [](Rig& r) {
         Rig portmapperOnly(r.gateway.portmapperPort());
         const DriverStatus s = portmapperOnly.driver->SendIFC(0);
         EXPECT_EQ(s, kNoGateway);
         EXPECT_TRUE(portmapperOnly.words(s).contains(
             QStringLiteral("is not a VXI-11 gateway this driver can use")));
     }},
    {"device_the_gateway_does_not_have",
     [](Rig& r) {
         r.gateway.withGateway([](auto& g) { g.refuseLinks(error::DeviceNotAccessible); });
         const DriverStatus s = r.send(15, "*IDN?\n");
         EXPECT_EQ(s, kNoGateway);
         EXPECT_TRUE(r.words(s).contains(QStringLiteral("has no device gpib0,15")));
     }},
    {"interface_of_another_name",
     [](Rig& r) {
         Rig other(r.gateway.corePort(), QStringLiteral("hpib7"));
         const DriverStatus s = other.driver->SendIFC(0);
         EXPECT_TRUE(other.words(s).contains(QStringLiteral("another name than hpib7")));
         const DriverStatus device = other.send(15, "*IDN?\n");
         EXPECT_TRUE(other.words(device).contains(QStringLiteral("no device hpib7,15")));
     }},
    {"gateway_out_of_links",
     [](Rig& r) {
         r.gateway.withGateway([](auto& g) { g.refuseLinks(error::OutOfResources); });
         const DriverStatus s = r.driver->SendIFC(0);
         EXPECT_EQ(s, kNoGateway);
         EXPECT_TRUE(r.words(s).contains(QStringLiteral("no link to spare")));
     }},
    {"unit_locked_by_another_program",
     [](Rig& r) {
         r.driver->ibtmo(0, 9);
         r.gateway.withGateway([](auto& g) { g.lockByAnotherLink("gpib0,15"); });
         const DriverStatus s = r.send(15, "*IDN?\n");
         EXPECT_EQ(s, kNoGateway);
         EXPECT_EQ(r.words(s), QStringLiteral("Another program holds gpib0,15 on the gateway at "
                                              "127.0.0.1:%1: it has locked the unit. That program "
                                              "must close or unlock it first.")
                                   .arg(r.gateway.corePort()));
         r.gateway.withGateway([](auto& g) { g.lockByAnotherLink("gpib0,15", false); });
         r.expectIdentity(15, "7352A,");
     }},
    {"connection_dropped_mid_query_then_made_again",
     [](Rig& r) {
         r.send(15, "*IDN?\n");
         r.gateway.withGateway([](auto& g) { g.dropOnProcedure(proc::DeviceRead); });
         const DriverStatus s = r.receive(15).first;
         EXPECT_EQ(s, kNoGateway);
         EXPECT_TRUE(r.words(s).contains(QStringLiteral("the next bus call connects again")));
         r.expectIdentity(15, "7352A,");
         EXPECT_EQ(r.procedureCount(proc::CreateLink), 2);
     }},
    {"link_the_gateway_no_longer_knows",
     [](Rig& r) {
         r.expectIdentity(15, "7352A,");
         // Another program ends it, as a gateway that restarted would have.
         RpcClient other;
         ASSERT_TRUE(other.connectTo(QStringLiteral("127.0.0.1"), r.gateway.corePort(), 2000).ok());
         EXPECT_EQ(CoreChannel(other).destroyLink(1).value, error::None);
         const DriverStatus s = r.send(15, "*IDN?\n");
         EXPECT_EQ(s, kNoGateway);
         EXPECT_TRUE(r.words(s).contains(QStringLiteral("no longer knows this program's link")));
         r.expectIdentity(15, "7352A,");
     }},
    {"links_kept_at_most_eight_and_ended_with_the_driver",
     [](Rig& r) {
         for (Addr4882 address = 1; address <= 12; ++address)
             EXPECT_FALSE(r.send(address, "*CLS\n").failed());
         // Kept: no new link for the last eight; one again for an address let go to make room,
         // which lets go of the one used longest ago (6, not 5).
         for (const Addr4882 address : {12, 5, 1, 5})
             EXPECT_FALSE(r.send(address, "*CLS\n").failed());
         EXPECT_EQ(r.procedureCount(proc::CreateLink), 13);
         EXPECT_EQ(r.driver->linkCount(), 8);
         r.driver.reset();
         r.gateway.withGateway([](auto& g) { EXPECT_EQ(g.linkCount(), 0); });
     }},
};

class Driver : public testing::TestWithParam<Case> {};

TEST_P(Driver, OverTheGateway)
{
    Rig rig;
    GetParam().run(rig);
}

INSTANTIATE_TEST_SUITE_P(vxi11, Driver, testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

// The rows of the error table in docs/architecture.md.
TEST(vxi11Errors, BecomeTheCodesTheArchitectureTableGives)
{
    const struct {
        Operation operation;
        qint32 error;
        int iberr;
    } rows[] = {
        {Operation::Read, error::IoTimeout, err::EABO},   {Operation::Read, error::Abort, err::EABO},
        {Operation::Command, error::NotSupported, err::ECAP},
        {Operation::Write, error::LockedByAnotherLink, err::EDVR},
        {Operation::Write, error::NoLockHeld, err::EDVR}, {Operation::Write, error::IoError, err::ENOL},
        {Operation::Command, error::IoError, err::EBUS},  {Operation::Read, error::IoError, err::EDVR},
        {Operation::Write, error::Parameter, err::EARG},  {Operation::Link, error::Syntax, err::EARG},
        {Operation::Link, error::InvalidAddress, err::EARG},
        {Operation::Link, error::DeviceNotAccessible, err::EDVR},
        {Operation::Link, error::OutOfResources, err::EDVR},
        {Operation::Read, error::InvalidLink, err::EDVR}, {Operation::Read, 99, err::EDVR},
    };
    for (const auto& row : rows)
        EXPECT_EQ(iberrForError(row.operation, row.error), row.iberr) << "error " << row.error;
}

} // namespace

int main(int argc, char** argv)
{
    // The gateway's thread runs an event loop, which wants an application object.
    QCoreApplication application(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
