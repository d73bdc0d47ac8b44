// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Scpi.h"

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// What the units of each family understand, written from the unit's side: the command headers in
// SCPI long/short notation, the value each setting accepts and its factory value. Deliberately
// independent of the program's menus, so that a header wrong on either side shows up in a test.
namespace gpibconfig::sim {

enum class ValueKind {
    Address,      // bus address 0-30, or 31 for "back to the switches"
    Integer,      // whole number lo..hi in steps of `step` from lo
    Switch,       // 0/1/ON/OFF, answered 0 or 1
    Lock,         // like Switch; the settings lock itself
    Choice,       // one of `choices` (SCPI mnemonics), answered in short form
    Baud,         // a standard serial rate within lo..hi
    ChannelList,  // (@a:b) or (@a,b,...) with channels 1..the model's string-byte bound
    Date,         // mm/dd/yyyy, a day that exists
    Fixed4,       // voltage +/-dd.dddd within lo..hi
    NumberChoice, // one of the numbers in `choices`
    HexByte,      // 00..FF in hexadecimal
    Text16,       // exactly 16 characters, optionally quoted
};

struct ValueRule {
    ValueKind kind;
    double lo = 0;
    double hi = 0;
    double step = 1;
    std::span<const std::string_view> choices = {};
    bool signedForm = true; // Fixed4: answer with a sign
};

struct SettingRow {
    std::string_view header; // SCPI notation, e.g. "VOLTage:SLOPe"
    ValueRule rule;
    std::string_view factory; // the answer of a new unit; empty for the bus address
};

struct Family {
    std::string_view name;
    std::vector<SettingRow> rows;
    scpi::HeaderTable headers;
    bool lockable = false;     // understands CAL:LOCK and refuses settings while locked
    bool needsTrigger = false; // configuration only after a group execute trigger
    int channels = 1;          // > 1: one device per channel at secondary 11, 12, ...
    std::string_view firmware; // the firmware level its units give in their *IDN? answer
    std::optional<std::size_t> addressRow;
    std::optional<std::size_t> lockRow;
};

struct ModelSpec {
    std::string_view name;
    const Family* family;
    int stringBytes; // upper bound of the channel lists (parallel units); 0 otherwise
};

// The 27 models, in the order of the program's model list.
std::span<const ModelSpec> allModels();
// nullptr when the bench has no such model.
const ModelSpec* findModel(std::string_view name);

// The maker's name as the units give it in their *IDN? answer.
inline constexpr std::string_view kMaker = "ZEB";

// The secondary address of a multi-channel unit's first channel.
inline constexpr int kFirstChannelSecondary = 11;

enum class Verdict {
    Accepted,
    CommandError,   // not a value of the right type at all (e.g. text where a number belongs)
    ExecutionError, // the right type but not allowed (out of range, unknown choice, no such date)
};

struct Checked {
    Verdict verdict;
    std::string value; // canonical form, as the unit will answer it (when accepted)
};

// Judges a setting's value as the unit does. `stringBytes` is the model's channel-list bound.
Checked checkValue(const ValueRule& rule, std::string_view text, int stringBytes);

} // namespace gpibconfig::sim
