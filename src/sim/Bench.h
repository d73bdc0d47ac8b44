// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "BenchClock.h"
#include "BenchTypes.h"
#include "Trace.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace gpibconfig {
class Driver;
}

namespace gpibconfig::sim {

class Board;
class BusDevices;
class Unit;

// The simulated bench: one GPIB board (board 0, address 0, system controller) and the virtual
// units on its bus, a clock, a trace of every driver call, and switches for faults.
//
// Typical use:
//
//   auto bench = makeDefaultBench();              // the 27 units, entry n at address n
//   GPIB32 gpib(bench->driver());                 // the program talks to the board
//   ... run the program with bench->clock() as its clock ...
//   bench->trace().records();                     // what went over the bus
//   bench->unit(bench->unitId("7321")).channels[0].settings;
//
// Units are named by a UnitId, their position in the bench (the order of addUnit); unitId()
// finds one by model. Everything runs on the caller's thread; nothing here is thread-safe.
//
// Behaviour worth knowing when writing expectations (details in Board.h and Unit.h):
// - A new bench is as if just switched on: every event status register reads 128 (power on).
// - iberr keeps the last failure's code through successful calls, as NI-488.2 does.
// - A reply longer than the caller's buffer stays queued for the next Receive; any new message
//   to the unit discards an unread (or partly read) reply and sets the query error bit (4), and
//   so does a Receive from a unit with nothing queued (it also times out).
// - Query answers end with a line feed and fit the program's 18-byte buffer; choices are
//   answered in SCPI short form ("ASC", "EVEN"), voltages as +dd.dddd, dates as mm/dd/yyyy.
//   *IDN? is answered as IEEE 488.2 asks, longer: "ZEB,<model>,<serial>,<firmware>", serial
//   numbers 24001, 24002, ... in the order the units were installed.
// - Judging values: text where a number belongs, a missing value or an unknown header sets the
//   command error bit (32); a number out of range, an unknown choice, a malformed channel list,
//   date or hex value, or a setting while locked sets the execution error bit (16). *SAV 0 is
//   taken while locked (it stores the lock with the settings); a unit with the refuseSave fault
//   stores nothing and sets the device-dependent error bit (8).
// - Units that need a trigger ignore everything but common commands ("*...") until a GET
//   reaches them, without error bits.
// - Default addresses 28-30 are free: a device clear or command bytes there succeed (every unit
//   takes part in the handshake), a Send fails with ENOL, a Receive times out. Moving a unit onto
//   an occupied address makes both listen.
class Bench {
public:
    using Timing = BenchClock::Mode;
    using UnitId = std::size_t;

    explicit Bench(Timing timing = Timing::Virtual);
    ~Bench();
    Bench(const Bench&) = delete;
    Bench& operator=(const Bench&) = delete;

    // The board, for the program's access layer. The concrete board (board()) also offers its
    // state and the injected failures; include "sim/Board.h" for those.
    Driver& driver();
    Board& board();
    BenchClock& clock() { return *m_clock; }
    // The units as the devices of a bus whose controller is not the board (BusDevices.h): a
    // controller's firmware in front of the bench. Use one or the other, not both at once.
    BusDevices& devices();
    Trace& trace() { return m_trace; }

    // --- Units -------------------------------------------------------------------------------
    // Installs a unit of `model` (one of allModels()) with its address switches at
    // `switchAddress` (1-30). Throws std::invalid_argument for an unknown model or address.
    UnitId addUnit(std::string_view model, int switchAddress);
    std::size_t unitCount() const { return m_units.size(); }
    // The first unit of that model; throws std::out_of_range when there is none.
    UnitId unitId(std::string_view model) const;

    // Snapshots for display and tests.
    UnitView unit(UnitId id) const;
    std::vector<UnitView> units() const;
    // A setting of one channel (0 for single-channel units) by its header in any form the unit
    // accepts ("SYST:COMM:GPIB:ADDR"); nullopt for a header the unit does not know. The bus
    // address is given as set: "31" while the unit sits on its switch address.
    std::optional<std::string> setting(UnitId id, std::string_view header,
                                       std::size_t channel = 0) const;
    std::optional<std::string> savedSetting(UnitId id, std::string_view header,
                                            std::size_t channel = 0) const;

    // The unit a program talking to `address` (the driver's address word: primary address in
    // the low byte, 0x60 + secondary in the high byte) works with, and which of its channels: the
    // unit that talks there (a channel named by its secondary address before a unit without
    // secondaries, else the first in bench order), else the first unit at that primary address
    // that is switched off or has no channel at that secondary. nullopt when no unit is at that
    // primary address and for words that name no device (NOADDR).
    struct Addressed {
        UnitId unit = 0;
        std::size_t channel = 0;
        bool operator==(const Addressed&) const = default;
    };
    std::optional<Addressed> addressedBy(Addr4882 address) const;

    // Switches the unit off and on: saved settings (or factory values) come back, the event
    // status register reads 128 (power on), ESE and SRE are cleared when *PSC is 1, a unit that
    // needs a trigger waits for one again. Recorded as "# <model> at <address>: power cycle",
    // with the address it had before.
    void powerCycle(UnitId id);
    // Switches the unit off (it leaves the bus: it takes no message, answers nothing and takes
    // no part in the handshake of command bytes, so with every unit off DevClear and SendCmds
    // fail with ENOL) or on again, which works as a power cycle. Recorded as "# <model> at
    // <address>: switched off" or "...: switched on"; switching it to the state it is in does
    // nothing. A power cycle of a unit that is off leaves it on.
    void setPower(UnitId id, bool on);

    // --- Faults ------------------------------------------------------------------------------
    void setFaults(UnitId id, const UnitFaults& faults);
    void setSilent(UnitId id, bool silent = true);
    void setReplyDelay(UnitId id, double seconds);
    void setGarbage(UnitId id, std::optional<std::string> bytes);
    void setEsrReply(UnitId id, std::optional<std::string> text);
    // The driver call at `position` (counted from 1 since resetCallCount()) fails with `iberr`
    // and does nothing else. EABO comes with TIMO.
    void failCallAt(long position, int iberr);
    // The next driver call of that kind (Call::Any: the next call) fails the same way. Several
    // may be queued; each is used once.
    void failNext(Call kind, int iberr);
    long callCount() const;
    void resetCallCount();
    // Removes every injected call failure and every unit fault.
    void clearFaults();

    // --- Change notification -------------------------------------------------------------------
    // Called (on the caller's thread) after any driver call or bench action that changed what a
    // UnitView shows; look at units() again then.
    int addChangeListener(std::function<void()> listener);
    void removeChangeListener(int id);

private:
    Unit& at(UnitId id) const;
    void notifyIfChanged();

    Trace m_trace;
    std::unique_ptr<BenchClock> m_clock;
    std::vector<std::unique_ptr<Unit>> m_units;
    std::unique_ptr<Board> m_board;
    std::unique_ptr<BusDevices> m_devices;
    bool m_changed = false;
    std::vector<std::pair<int, std::function<void()>>> m_changeListeners;
    int m_nextListenerId = 1;
};

// The models of the program's list, in its order; the n-th is installed at address n by
// makeDefaultBench.
std::vector<std::string> benchModels();

// A bench with one unit of each of the 27 models, the n-th model at primary address n
// ("7311" at 1 ... "7385A" at 27); the four-channel 7379 (at 25) answers at its secondary
// addresses 11 to 14.
std::unique_ptr<Bench> makeDefaultBench(Bench::Timing timing = Bench::Timing::Virtual);

} // namespace gpibconfig::sim
