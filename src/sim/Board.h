// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Acceptors.h"
#include "BenchTypes.h"
#include "gpib/BusCall.h"
#include "gpib/Driver.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace gpibconfig::sim {

class BenchClock;
class Trace;
class Unit;

// The bench's GPIB board: board index 0, primary address 0, system controller. It answers the
// twelve driver calls the way an NI-488.2 board does, over a bus of virtual units:
//
// - Status: CMPL after every call, CIC once SendIFC made it controller in charge (DevClear,
//   Send, Receive and SendCmds fail with ECIC before), ATN while it last sent command bytes, TACS
//   or LACS while it is addressed to talk or listen, END when the data of the call ended with
//   EOI or the end-of-string byte.
// - iberr keeps the code of the last failure until the next failure, as NI-488.2 does; it is
//   meaningful only when ERR is set. ibcntl gives the byte count of the call.
// - Errors: ENEB for a board other than 0, EDVR for ibonl/ibsre/ibtmo on a descriptor other
//   than 0, EARG for a bad address word (primary above 30, high byte neither 0 nor 0x60-0x7E),
//   a negative count, an unknown end-of-transmission mode or termination, an ibtmo code outside
//   0-17; ENOL for the data of a Send when no unit listens at its address; ERR+TIMO with EABO
//   for a Receive that gets no complete reply within the time-out (ibcntl = the bytes that did
//   arrive), whether or not a unit sits at its address. With time-out code 0 (none) a Receive
//   that would wait for ever fails at once with EABO alone.
// - Command bytes and an empty bus: every device on the bus takes part in the handshake of
//   command bytes (ATN asserted), whatever address the bytes name, so DevClear and SendCmds
//   succeed at an address where no unit listens (SDC or GET then reach no one). They fail only
//   when no device at all is on the bus: the first command byte finds no acceptor. NI's table
//   of GPIB error codes gives ENOL (2, "no Listeners") for two cases: a data write such as
//   ibwrt with no addressed listeners, and a command byte operation such as ibcmd or SendCmds
//   with no devices connected. linux-gpib's iberr page words it as "write data or command
//   bytes, but there are no listeners". The bench follows NI: when no unit is switched on,
//   DevClear (also NOADDR), SendCmds with at least one byte and the addressing that Send and
//   Receive begin with fail with ENOL and ibcntl 0 before any byte is sent. A switched-off unit
//   is not on the bus. SendIFC pulses the IFC line without a handshake and succeeds on an empty
//   bus too.
// - ibonl(0, 0) takes the board offline (ibsta shows only CMPL). The next call brings it back
//   online with the time-out, remote enable and controller role it had.
// - Command bytes (SendCmds, and the addressing inside Send, Receive and DevClear) are
//   interpreted: UNL, UNT, LAD, TAD, secondary addresses, GET, SDC, DCL; others are ignored. A
//   unit without secondary addresses listens to its primary address whatever secondary follows;
//   the channels of a multi-channel unit listen only at their own secondary address.
// - Units may share a primary address (a unit can be moved onto another's): all of them listen;
//   the first in bench order talks, except that a channel named by its secondary address takes
//   the talk from a unit without secondaries.
// - DevClear(0, 0xFFFF) (NOADDR) sends DCL to every unit.
// - FindLstn finds listeners the way a board does on a real bus: it addresses itself to talk and
//   each primary address to listen, releases ATN and looks whether a device holds NDAC, which
//   only a device that took the listen address does; where none does, it tries each secondary
//   address of that primary. A unit without secondary addresses is thus found at its primary
//   address, the channels of a multi-channel unit at their secondary addresses. An address in the
//   list above 30 fails with EARG (ibcntl: its index), more devices than the limit with ETAB (the
//   first `limit` are kept), a bus with no device switched on with EBUS, as NI-488.2 lists for its
//   routines that address every device of a list.
class Board final : public Driver {
public:
    using Units = std::vector<std::unique_ptr<Unit>>;

    // `afterCall` runs after every driver call, once its trace line is written.
    Board(const Units& units, BenchClock& clock, Trace& trace, std::function<void()> afterCall);

    DriverStatus SendIFC(int board) override;
    DriverStatus DevClear(int board, Addr4882 address) override;
    DriverStatus Send(int board, Addr4882 address, const std::uint8_t* data, long count,
                      int eotMode) override;
    DriverStatus Receive(int board, Addr4882 address, std::uint8_t* buffer, long count,
                         int termination) override;
    DriverStatus SendCmds(int board, const std::uint8_t* commands, long count) override;
    DriverStatus ibonl(int ud, int v) override;
    DriverStatus ibsre(int ud, int v) override;
    DriverStatus ibtmo(int ud, int v) override;
    bool canFindListeners() const override { return true; }
    DriverStatus FindLstn(int board, const Addr4882* primaries, Addr4882* found,
                          long limit) override;

    // Injected failures: the call does nothing but fail with `iberr` (plus TIMO for EABO).
    // Positions count driver calls from 1 since the last resetCallCount().
    void failCallAt(long position, int iberr);
    void failNext(Call kind, int iberr);
    void clearCallFailures();
    long callCount() const { return m_calls; }
    void resetCallCount() { m_calls = 0; }

    // State for tests and the bench window.
    bool online() const { return m_online; }
    bool controllerInCharge() const { return m_cic; }
    bool remoteEnable() const { return m_ren; }
    int timeoutCode() const { return m_timeoutCode; }
    // Addressed to talk or to listen (TACS, LACS of the status word).
    bool talkerActive() const { return (stateBits() & sta::TACS) != 0; }
    bool listenerActive() const { return (stateBits() & sta::LACS) != 0; }
    // Seconds of a time-out code 0-17 (0: none); 0 for codes outside.
    static double timeoutSeconds(int code);

    // The unit was switched off (and maybe on again): it is no longer addressed.
    void forget(const Unit& unit);

private:
    using DeviceRef = Acceptors::Device;
    struct BusAddress {
        int primary;
        int secondary; // -1: none
    };
    enum class Addressed { Listener, Talker };

    bool begin(Call kind, int board);
    void finish(long extraStatus, long count);
    void fail(int iberr, long count = 0);
    // Writes the call with the status it left and returns that status; a Receive's bytes are the
    // start of `buffer`.
    DriverStatus record(BusCall call, const std::uint8_t* buffer = nullptr);
    long stateBits() const;
    static std::optional<BusAddress> decode(Addr4882 address);

    bool anyDeviceOnBus() const { return m_devices.anyDeviceOnBus(); }
    // The units take the byte; the board notes whether it addressed the board itself.
    void command(std::uint8_t byte);
    void address(Addressed role, BusAddress where);

    void doReceive(Addr4882 address, std::uint8_t* buffer, long count, int termination);
    void findListeners(const Addr4882* primaries, Addr4882* found, long limit);
    // After the listen address (and secondary) just sent, with ATN released: does a device hold
    // NDAC?
    bool listenerHoldsNdac() const { return !m_devices.listeners().empty(); }

    const Units& m_units;
    BenchClock& m_clock;
    Trace& m_trace;
    std::function<void()> m_afterCall;

    bool m_online = true;
    bool m_cic = false;
    bool m_atn = false;
    bool m_tacs = false;
    bool m_lacs = false;
    bool m_ren = false;
    int m_timeoutCode = 13;
    long m_ibsta = 0;
    long m_iberr = 0;
    long m_ibcntl = 0;

    Acceptors m_devices;

    long m_calls = 0;
    std::map<long, int> m_failAt;
    std::deque<std::pair<Call, int>> m_failNext;
};

} // namespace gpibconfig::sim
