// SPDX-License-Identifier: GPL-3.0-or-later
// The client layer's calls against the simulated gateway, each written from the VXI-11 documents
// on its own: device I/O on the bench's units, links, the VXI-11.2 interface commands, locks
// between links, the RPC refusals and the faults a driver must report.
#include "support/GatewayOnThread.h"
#include "vxi11/RpcClient.h"

#include <QCoreApplication>
#include <QTcpServer>
#include <functional>
#include <future>
#include <gtest/gtest.h>

using namespace gpibconfig;
using namespace gpibconfig::vxi11;
using gpibconfig::test::GatewayOnThread;

namespace {

constexpr int kWaitMs = 5000;
const QString kHost = QStringLiteral("127.0.0.1");

// A connection to the gateway's core channel.
struct Session {
    RpcClient rpc;
    CoreChannel core{rpc};

    explicit Session(quint16 port) { EXPECT_TRUE(rpc.connectTo(kHost, port, kWaitMs).ok()); }

    // create_link's error and link id.
    std::pair<qint32, qint32> open(const QByteArray& device, bool lock = false,
                                   quint32 lockTimeout = 0)
    {
        const auto r = core.createLink({1, lock, lockTimeout, device});
        EXPECT_TRUE(r.ok()) << r.detail.toStdString();
        return {r.value.error, r.value.link};
    }
    qint32 link(const QByteArray& device)
    {
        const auto [error, id] = open(device);
        EXPECT_EQ(error, error::None) << device.constData();
        return id;
    }
    qint32 write(qint32 link, const QByteArray& data, qint32 flags = flag::End,
                 quint32 lockTimeout = 0)
    {
        const auto r = core.deviceWrite({link, 1000, lockTimeout, flags, data});
        EXPECT_TRUE(r.ok()) << r.detail.toStdString();
        return r.value.error;
    }
    DeviceReadResp read(qint32 link, quint32 size = 1000, qint32 flags = 0, char termChar = 0)
    {
        const auto r = core.deviceRead({link, size, 1000, 0, flags, termChar});
        EXPECT_TRUE(r.ok()) << r.detail.toStdString();
        return r.value;
    }
    qint32 lock(qint32 link, qint32 flags = 0, quint32 lockTimeout = 0)
    {
        const auto r = core.deviceLock({link, flags, lockTimeout});
        EXPECT_TRUE(r.ok()) << r.detail.toStdString();
        return r.value;
    }
    qint32 unlock(qint32 link) { return core.deviceUnlock(link).value; }
    DeviceDocmdResp docmd(qint32 link, qint32 cmd, bool networkOrder, qint32 size,
                          const QByteArray& data)
    {
        const auto r = core.deviceDocmd({link, 0, 1000, 0, cmd, networkOrder, size, data});
        EXPECT_TRUE(r.ok()) << r.detail.toStdString();
        return r.value;
    }
};

class Gateway : public testing::Test {
protected:
    GatewayOnThread gateway;
};

// --- Device I/O ------------------------------------------------------------------------------

struct IoCase {
    const char* name;
    QByteArray device;
    QList<QByteArray> writes;
    quint32 size;
    qint32 flags;
    char termChar;
    qint32 writeError;
    qint32 readError;
    qint32 reason;
    QByteArray data; // what the read brings, or its start when `prefix`
    bool prefix;
};

const IoCase kIoCases[] = {
    {"identity_of_the_7352A",
     "gpib0,15",
     {"*IDN?\n"},
     1000,
     0,
     0,
     0,
     0,
     reason::End,
     "ZEB,7352A,",
     true},
    {"identity_of_a_7379_channel",
     "gpib0,25,11",
     {"*IDN?\n"},
     1000,
     0,
     0,
     0,
     0,
     reason::End,
     "ZEB,7379,",
     true},
    {"setting_read_back",
     "GPIB0, 15",
     {"VOLT:OFFS 1.5\n", "VOLT:OFFS?\n"},
     1000,
     0,
     0,
     0,
     0,
     reason::End,
     "+01.5000\n",
     false},
    {"up_to_the_termination_character",
     "gpib0,15",
     {"*IDN?\n"},
     1000,
     flag::TermCharSet,
     ',',
     0,
     0,
     reason::Character,
     "ZEB,",
     false},
    {"up_to_the_count", "gpib0,15", {"*IDN?\n"}, 3, 0, 0, 0, 0, reason::RequestCount, "ZEB", false},
    {"nothing_asked", "gpib0,15", {}, 1000, 0, 0, 0, error::IoTimeout, 0, "", false},
    {"no_unit_at_the_address",
     "gpib0,29",
     {"*IDN?\n"},
     1000,
     0,
     0,
     0,
     error::IoTimeout,
     0,
     "",
     false},
    {"no_channel_at_the_secondary",
     "gpib0,25,20",
     {"*IDN?\n"},
     1000,
     0,
     0,
     0,
     error::IoTimeout,
     0,
     "",
     false},
    {"interface_has_no_data",
     "gpib0",
     {"*IDN?\n"},
     1000,
     0,
     0,
     error::NotSupported,
     error::NotSupported,
     0,
     "",
     false},
};

class DeviceIo : public Gateway, public testing::WithParamInterface<IoCase> {};

TEST_P(DeviceIo, ReachesTheUnits)
{
    const IoCase& c = GetParam();
    Session s(gateway.corePort());
    const qint32 link = s.link(c.device);
    for (const QByteArray& message : c.writes)
        EXPECT_EQ(s.write(link, message), c.writeError);
    const DeviceReadResp r = s.read(link, c.size, c.flags, c.termChar);
    EXPECT_EQ(r.error, c.readError);
    EXPECT_EQ(r.reason, c.reason);
    if (c.prefix)
        EXPECT_TRUE(r.data.startsWith(c.data)) << r.data.constData();
    else
        EXPECT_EQ(r.data, c.data);
}

INSTANTIATE_TEST_SUITE_P(Vxi11, DeviceIo, testing::ValuesIn(kIoCases),
                         [](const auto& info) { return std::string(info.param.name); });

// --- Links -----------------------------------------------------------------------------------

struct LinkCase {
    const char* name;
    QByteArray device;
    qint32 error;
};

const LinkCase kLinkCases[] = {
    {"interface", "gpib0", error::None},
    {"primary", "gpib0,5", error::None},
    {"primary_and_secondary", "gpib0,5,30", error::None},
    {"empty_address", "gpib0,30", error::None},
    {"instrument_name", "inst0", error::DeviceNotAccessible},
    {"another_interface", "gpib1,5", error::DeviceNotAccessible},
    {"primary_31", "gpib0,31", error::DeviceNotAccessible},
    {"secondary_31", "gpib0,5,31", error::DeviceNotAccessible},
    {"not_a_number", "gpib0,x", error::DeviceNotAccessible},
    {"three_numbers", "gpib0,1,2,3", error::DeviceNotAccessible},
    {"nothing", "", error::DeviceNotAccessible},
};

class Links : public Gateway, public testing::WithParamInterface<LinkCase> {};

TEST_P(Links, AreMadeForTheGatewaysDevicesOnly)
{
    Session s(gateway.corePort());
    EXPECT_EQ(s.open(GetParam().device).first, GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(Vxi11, Links, testing::ValuesIn(kLinkCases),
                         [](const auto& info) { return std::string(info.param.name); });

// --- VXI-11.2 interface commands ---------------------------------------------------------------

struct DocmdCase {
    const char* name;
    QByteArray device;
    qint32 cmd;
    bool networkOrder;
    qint32 size;
    const char* dataIn;
    qint32 error;
    const char* dataOut;
    quint16 thenStatus; // a bus status asked afterwards (0: none) and its expected value
    quint16 thenValue;
};

const DocmdCase kDocmdCases[] = {
    {"controller_in_charge", "gpib0", docmd::BusStatus, true, 2, "0005", 0, "0001", 0, 0},
    {"system_controller", "gpib0", docmd::BusStatus, true, 2, "0004", 0, "0001", 0, 0},
    {"remote_enable_at_power_on", "gpib0", docmd::BusStatus, true, 2, "0001", 0, "0001", 0, 0},
    {"no_service_request", "gpib0", docmd::BusStatus, true, 2, "0002", 0, "0000", 0, 0},
    {"status_in_the_callers_order", "gpib0", docmd::BusStatus, false, 2, "0500", 0, "0100", 0, 0},
    {"status_unknown", "gpib0", docmd::BusStatus, true, 2, "0009", error::Parameter, "", 0, 0},
    {"status_of_the_wrong_size", "gpib0", docmd::BusStatus, true, 4, "00000005", error::Parameter,
     "", 0, 0},
    {"command_bytes", "gpib0", docmd::SendCommand, true, 1, "3f2f04", 0, "3f2f04", 0, 0},
    {"command_bytes_sized_wrong", "gpib0", docmd::SendCommand, true, 2, "3f2f", error::Parameter,
     "", 0, 0},
    {"remote_enable_off", "gpib0", docmd::RenControl, true, 2, "0000", 0, "0000",
     docmd::status::Remote, 0},
    {"attention", "gpib0", docmd::AtnControl, true, 2, "0001", 0, "0001", 0, 0},
    {"pass_control", "gpib0", docmd::PassControl, true, 4, "0000000f", 0, "0000000f",
     docmd::status::ControllerInCharge, 1},
    {"pass_control_to_31", "gpib0", docmd::PassControl, true, 4, "0000001f", error::Parameter, "",
     0, 0},
    {"bus_address", "gpib0", docmd::BusAddress, true, 4, "00000007", 0, "00000007",
     docmd::status::BusAddress, 7},
    {"bus_address_little_end_first", "gpib0", docmd::BusAddress, false, 4, "09000000", 0,
     "09000000", docmd::status::BusAddress, 9},
    {"interface_clear", "gpib0", docmd::IfcControl, true, 0, "", 0, "",
     docmd::status::ControllerInCharge, 1},
    {"interface_clear_with_data", "gpib0", docmd::IfcControl, true, 1, "00", error::Parameter, "",
     0, 0},
    {"unknown_command", "gpib0", 0x020005, true, 0, "", error::NotSupported, "", 0, 0},
    {"on_a_device_link", "gpib0,15", docmd::BusStatus, true, 2, "0005", error::NotSupported, "", 0,
     0},
};

class InterfaceCommands : public Gateway, public testing::WithParamInterface<DocmdCase> {};

TEST_P(InterfaceCommands, FollowTheInterfaceDocument)
{
    const DocmdCase& c = GetParam();
    Session s(gateway.corePort());
    const qint32 link = s.link(c.device);
    const DeviceDocmdResp r =
        s.docmd(link, c.cmd, c.networkOrder, c.size, QByteArray::fromHex(c.dataIn));
    EXPECT_EQ(r.error, c.error);
    EXPECT_EQ(r.dataOut.toHex(), QByteArray(c.dataOut));
    if (c.thenStatus) {
        const QByteArray which(1, '\0');
        const DeviceDocmdResp status =
            s.docmd(link, docmd::BusStatus, true, 2, which + char(c.thenStatus));
        EXPECT_EQ(status.dataOut, QByteArray(1, char(c.thenValue >> 8)) + char(c.thenValue & 0xFF));
    }
}

INSTANTIATE_TEST_SUITE_P(Vxi11, InterfaceCommands, testing::ValuesIn(kDocmdCases),
                         [](const auto& info) { return std::string(info.param.name); });

// --- Conversations: locks, refusals, faults ----------------------------------------------------

struct Conversation {
    const char* name;
    std::function<void(GatewayOnThread&)> run;
};

const Conversation kConversations[] = {
    {"lock_keeps_other_links_out",
     [](GatewayOnThread& g) {
         Session a(g.corePort()), b(g.corePort());
         const qint32 la = a.link("gpib0,15"), lb = b.link("gpib0,15"), other = b.link("gpib0,16");
         EXPECT_EQ(a.lock(la), error::None);
         EXPECT_EQ(b.write(lb, "*IDN?\n"), error::LockedByAnotherLink);
         EXPECT_EQ(b.lock(lb), error::LockedByAnotherLink);
         EXPECT_EQ(b.write(other, "*IDN?\n"), error::None); // another device is free
         EXPECT_EQ(b.unlock(lb), error::NoLockHeld);
         EXPECT_EQ(a.unlock(la), error::None);
         EXPECT_EQ(b.write(lb, "*IDN?\n"), error::None);
         EXPECT_EQ(a.unlock(la), error::NoLockHeld);
     }},
    {"interface_lock_covers_the_bus",
     [](GatewayOnThread& g) {
         Session a(g.corePort()), b(g.corePort());
         EXPECT_EQ(a.lock(a.link("gpib0")), error::None);
         EXPECT_EQ(b.write(b.link("gpib0,25,11"), "*IDN?\n"), error::LockedByAnotherLink);
     }},
    {"locked_by_a_program_elsewhere",
     [](GatewayOnThread& g) {
         g.withGateway([](auto& gw) { gw.lockByAnotherLink("gpib0,15"); });
         Session s(g.corePort());
         const qint32 link = s.link("gpib0,15");
         EXPECT_EQ(s.write(link, "*IDN?\n"), error::LockedByAnotherLink);
         EXPECT_EQ(s.write(link, "*IDN?\n", flag::End | flag::WaitLock, 20),
                   error::LockedByAnotherLink);
         EXPECT_EQ(s.open("gpib0,15", true, 0).first, error::LockedByAnotherLink);
         g.withGateway([](auto& gw) { gw.lockByAnotherLink("gpib0,15", false); });
         EXPECT_EQ(s.write(link, "*IDN?\n"), error::None);
     }},
    {"a_waiting_lock_is_granted_at_unlock",
     [](GatewayOnThread& g) {
         Session a(g.corePort());
         const qint32 la = a.link("gpib0,15");
         EXPECT_EQ(a.lock(la), error::None);
         auto waiting = std::async(std::launch::async, [&g] {
             Session b(g.corePort());
             return b.lock(b.link("gpib0,15"), flag::WaitLock, 60000);
         });
         // The unlock may come before or after the other link starts waiting: either way it
         // gets the lock, never error 11.
         EXPECT_EQ(a.unlock(la), error::None);
         EXPECT_EQ(waiting.get(), error::None);
     }},
    {"abort_ends_a_wait",
     [](GatewayOnThread& g) {
         Session a(g.corePort());
         EXPECT_EQ(a.lock(a.link("gpib0,15")), error::None);
         // The waiting link lives on the thread that waits (a socket stays on its thread).
         std::promise<qint32> linked;
         auto waiting = std::async(std::launch::async, [&g, &linked] {
             Session b(g.corePort());
             const qint32 lb = b.link("gpib0,15");
             linked.set_value(lb);
             return b.lock(lb, flag::WaitLock, 60000);
         });
         const qint32 lb = linked.get_future().get();
         // Aborted once the wait is under way; before that the abort finds nothing to end.
         while (waiting.wait_for(std::chrono::milliseconds(20)) != std::future_status::ready) {
             const auto aborted = abortLink(kHost, g.abortPort(), lb, kWaitMs);
             EXPECT_TRUE(aborted.ok());
             EXPECT_EQ(aborted.value, error::None);
         }
         EXPECT_EQ(waiting.get(), error::Abort);
         EXPECT_EQ(abortLink(kHost, g.abortPort(), 999, kWaitMs).value, error::InvalidLink);
     }},
    {"a_link_and_its_lock_end_with_its_connection",
     [](GatewayOnThread& g) {
         Session b(g.corePort());
         const qint32 lb = b.link("gpib0,15");
         {
             Session a(g.corePort());
             EXPECT_EQ(a.lock(a.link("gpib0,15")), error::None);
         }
         EXPECT_EQ(b.write(lb, "*IDN?\n", flag::End | flag::WaitLock, 60000), error::None);
     }},
    {"destroyed_link_is_invalid",
     [](GatewayOnThread& g) {
         Session s(g.corePort());
         const qint32 link = s.link("gpib0,15");
         EXPECT_EQ(s.lock(link), error::None);
         EXPECT_EQ(s.core.destroyLink(link).value, error::None);
         EXPECT_EQ(s.write(link, "*IDN?\n"), error::InvalidLink);
         EXPECT_EQ(s.core.destroyLink(link).value, error::InvalidLink);
         Session other(g.corePort());
         EXPECT_EQ(other.write(other.link("gpib0,15"), "*IDN?\n"), error::None);
     }},
    {"bus_operations",
     [](GatewayOnThread& g) {
         Session s(g.corePort());
         for (const QByteArray& device : {QByteArray("gpib0,15"), QByteArray("gpib0"),
                                          QByteArray("gpib0,29"), QByteArray("gpib0,25,12")}) {
             const qint32 link = s.link(device);
             const DeviceGenericParms p{link, 0, 0, 1000};
             EXPECT_EQ(s.core.deviceClear(p).value, error::None) << device.constData();
             EXPECT_EQ(s.core.deviceTrigger(p).value, error::None);
             EXPECT_EQ(s.core.deviceRemote(p).value, error::None);
             EXPECT_EQ(s.core.deviceLocal(p).value, error::None);
             EXPECT_EQ(s.core.deviceReadStb(p).value.error, error::NotSupported);
             EXPECT_EQ(s.core.deviceEnableSrq({link, true, "h"}).value, error::None);
         }
         EXPECT_EQ(s.core.deviceClear({999, 0, 0, 0}).value, error::InvalidLink);
     }},
    {"interrupt_channel_once",
     [](GatewayOnThread& g) {
         Session s(g.corePort());
         EXPECT_EQ(s.core.destroyIntrChan().value, error::ChannelNotEstablished);
         EXPECT_EQ(s.core.createIntrChan({0x7F000001, 9, kInterruptProgram, 1, 0}).value,
                   error::None);
         EXPECT_EQ(s.core.createIntrChan({0x7F000001, 9, kInterruptProgram, 1, 0}).value,
                   error::ChannelAlreadyEstablished);
         EXPECT_EQ(s.core.destroyIntrChan().value, error::None);
     }},
    {"write_beyond_max_recv_size",
     [](GatewayOnThread& g) {
         g.withGateway([](auto& gw) { gw.setMaxRecvSize(8); });
         Session s(g.corePort());
         const auto made = s.core.createLink({1, false, 0, "gpib0,15"});
         EXPECT_EQ(made.value.maxRecvSize, 8u);
         EXPECT_EQ(s.write(made.value.link, "*IDN?\n"), error::None);
         EXPECT_EQ(s.write(made.value.link, "VOLT:OFFS 1\n"), error::Parameter);
     }},
    {"write_in_pieces_ends_with_end",
     [](GatewayOnThread& g) {
         Session s(g.corePort());
         const qint32 link = s.link("gpib0,15");
         EXPECT_EQ(s.write(link, "*ID", 0), error::None);
         EXPECT_EQ(s.write(link, "N?\n"), error::None);
         EXPECT_TRUE(s.read(link).data.startsWith("ZEB,7352A,"));
     }},
    {"portmapper_answers_the_channels_ports",
     [](GatewayOnThread& g) {
         const auto core = getPort(kHost, kCoreProgram, kCoreVersion, kWaitMs, g.portmapperPort());
         EXPECT_TRUE(core.ok());
         EXPECT_EQ(core.value, g.corePort());
         EXPECT_EQ(getPort(kHost, kAbortProgram, 1, kWaitMs, g.portmapperPort()).value,
                   g.abortPort());
         const auto none = getPort(kHost, 0x123456, 1, kWaitMs, g.portmapperPort());
         EXPECT_EQ(none.error, CallError::Rejected);
         EXPECT_EQ(none.rpcStatus, Reply::Status::ProgramUnavailable);
         RpcClient rpc;
         ASSERT_TRUE(rpc.connectTo(kHost, g.portmapperPort(), kWaitMs).ok());
         EXPECT_EQ(rpc.call(kPortmapProgram, 4, kPortmapGetPort, {}, kWaitMs).rpcStatus,
                   Reply::Status::ProgramMismatch);
     }},
    {"rpc_refusals",
     [](GatewayOnThread& g) {
         RpcClient rpc;
         ASSERT_TRUE(rpc.connectTo(kHost, g.corePort(), kWaitMs).ok());
         EXPECT_EQ(rpc.call(kCoreProgram, kCoreVersion, 0, {}, kWaitMs).error, CallError::None);
         EXPECT_EQ(rpc.call(0x0607B5, 1, 0, {}, kWaitMs).rpcStatus,
                   Reply::Status::ProgramUnavailable);
         EXPECT_EQ(rpc.call(kCoreProgram, 2, 0, {}, kWaitMs).rpcStatus,
                   Reply::Status::ProgramMismatch);
         EXPECT_EQ(rpc.call(kCoreProgram, kCoreVersion, 99, {}, kWaitMs).rpcStatus,
                   Reply::Status::ProcedureUnavailable);
         const auto garbage =
             rpc.call(kCoreProgram, kCoreVersion, proc::CreateLink, encodeLink(1), kWaitMs);
         EXPECT_EQ(garbage.error, CallError::Rejected);
         EXPECT_EQ(garbage.rpcStatus, Reply::Status::GarbageArguments);
         EXPECT_TRUE(rpc.isConnected());
     }},
    {"gateway_down_then_up",
     [](GatewayOnThread& g) {
         g.withGateway([](auto& gw) { gw.setDown(true); });
         RpcClient rpc;
         EXPECT_EQ(rpc.connectTo(kHost, g.corePort(), kWaitMs).error, CallError::ConnectFailed);
         EXPECT_EQ(CoreChannel(rpc).createLink({1, false, 0, "gpib0,15"}).error,
                   CallError::NotConnected);
         g.withGateway([](auto& gw) { gw.setDown(false); });
         Session s(g.corePort());
         EXPECT_EQ(s.open("gpib0,15").first, error::None);
     }},
    {"gateway_down_under_a_connection",
     [](GatewayOnThread& g) {
         Session s(g.corePort());
         const qint32 link = s.link("gpib0,15");
         g.withGateway([](auto& gw) { gw.setDown(true); });
         const auto r = s.core.deviceWrite({link, 1000, 0, flag::End, "*IDN?\n"});
         EXPECT_EQ(r.error, CallError::ConnectionLost);
         EXPECT_FALSE(s.rpc.isConnected());
     }},
    {"links_refused",
     [](GatewayOnThread& g) {
         g.withGateway([](auto& gw) { gw.refuseLinks(error::OutOfResources); });
         Session s(g.corePort());
         EXPECT_EQ(s.open("gpib0,15").first, error::OutOfResources);
     }},
    {"connection_dropped_mid_conversation",
     [](GatewayOnThread& g) {
         g.withGateway([](auto& gw) { gw.dropOnProcedure(proc::DeviceRead); });
         Session s(g.corePort());
         const qint32 link = s.link("gpib0,15");
         EXPECT_EQ(s.write(link, "*IDN?\n"), error::None);
         const auto lost = s.core.deviceRead({link, 1000, 1000, 0, 0, 0});
         EXPECT_EQ(lost.error, CallError::ConnectionLost);
         EXPECT_FALSE(lost.detail.isEmpty());
         // A new connection needs a new link; the unit still holds its reply.
         Session again(g.corePort());
         EXPECT_EQ(again.write(link, "*IDN?\n"), error::InvalidLink);
         EXPECT_TRUE(again.read(again.link("gpib0,15")).data.startsWith("ZEB,7352A,"));
     }},
    {"silent_peer_times_out",
     [](GatewayOnThread& g) {
         QTcpServer* silent = nullptr;
         quint16 port = 0;
         g.run([&] {
             silent = new QTcpServer;
             silent->listen(QHostAddress::LocalHost, 0);
             port = silent->serverPort();
         });
         RpcClient rpc;
         ASSERT_TRUE(rpc.connectTo(kHost, port, kWaitMs).ok());
         const auto r = rpc.call(kCoreProgram, kCoreVersion, 0, {}, 50);
         EXPECT_EQ(r.error, CallError::TimedOut);
         EXPECT_TRUE(rpc.isConnected());
         g.run([&] { delete silent; });
     }},
    {"reply_beyond_the_record_limit",
     [](GatewayOnThread& g) {
         // Room for create_link's and device_write's replies (40 and 32 bytes), not for the
         // identity a read brings.
         RpcClient small(48);
         ASSERT_TRUE(small.connectTo(kHost, g.corePort(), kWaitMs).ok());
         CoreChannel core(small);
         const qint32 mine = core.createLink({1, false, 0, "gpib0,15"}).value.link;
         EXPECT_EQ(core.deviceWrite({mine, 1000, 0, flag::End, "*IDN?\n"}).error, CallError::None);
         EXPECT_EQ(core.deviceRead({mine, 1000, 1000, 0, 0, 0}).error, CallError::RecordTooLarge);
         EXPECT_FALSE(small.isConnected());
     }},
};

class Conversations : public Gateway, public testing::WithParamInterface<Conversation> {};

TEST_P(Conversations, GoAsTheDocumentsSay) { GetParam().run(gateway); }

INSTANTIATE_TEST_SUITE_P(Vxi11, Conversations, testing::ValuesIn(kConversations),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace

int main(int argc, char** argv)
{
    // The gateway's thread runs an event loop, which wants an application object.
    QCoreApplication application(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
