// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace gpibconfig::sim {

// Ways a unit can misbehave, for tests of the program's failure handling. A default-constructed
// value is a healthy unit. Precedence: a silent unit sends nothing at all; otherwise *ESR? is
// answered with `esrReply` when set, every other reply (and *ESR? without `esrReply`) with
// `garbage` when set; `replyDelay` applies to whatever is sent.
struct UnitFaults {
    // Takes every message but never answers (a Receive from it times out).
    bool silent = false;
    // Seconds between the end of a query and the moment its reply can be read; a Receive whose
    // time-out is shorter times out, and the reply stays queued for a later read.
    double replyDelay = 0.0;
    // Raw bytes sent instead of each reply, exactly as given (no line feed added; may hold NUL and
    // non-ASCII bytes, may be longer than the program's buffer). EOI comes with the last byte.
    std::optional<std::string> garbage;
    // Text answered to *ESR? instead of the register, followed by a line feed. The register is
    // still read and cleared as usual.
    std::optional<std::string> esrReply;
    // *SAV 0 fails as a worn-out settings memory would: nothing is stored and the
    // device-dependent error bit (8) is set.
    bool refuseSave = false;
};

// Snapshot of one unit for display and for tests (see Bench::units()).
struct UnitView {
    struct Channel {
        int secondary = -1; // -1: the unit has no secondary addresses
        int esr = 0;        // standard event status register
        int ese = 0;        // event status enable
        int sre = 0;        // service request enable
        // (header in the unit's SCPI notation, value as the unit answers it) in table order;
        // the bus address shows the value set, so 31 while on the switch address.
        std::vector<std::pair<std::string, std::string>> settings;
        // What a power cycle brings back: the settings of the last *SAV 0, or factory values.
        std::vector<std::pair<std::string, std::string>> saved;
    };

    std::string model;
    std::string serialNumber;
    int switchAddress = 0;        // where the unit was installed; 31 brings it back here
    int primary = 0;              // where it answers now
    bool onSwitchAddress = false; // its address setting is 31 (the query answers 32 + switch)
    bool needsTrigger = false;    // configuration only after a group execute trigger
    bool triggered = false;       // ... and has had one since its last power-on
    bool lockable = false;
    bool locked = false;
    bool powerOnClear = true; // *PSC: clear ESE and SRE at power-on
    bool everSaved = false;   // *SAV 0 was received at least once
    bool poweredOn = true;    // switched off, it is not on the bus
    UnitFaults faults;
    std::vector<Channel> channels; // one, or four for the 7379
};

// The kinds of driver call, for injected failures (Bench::failNext).
enum class Call { Any, SendIFC, DevClear, Send, Receive, SendCmds, ibonl, ibsre, ibtmo, FindLstn };

} // namespace gpibconfig::sim
