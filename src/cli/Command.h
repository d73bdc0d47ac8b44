// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Step.h"

#include <QString>
#include <optional>
#include <span>
#include <variant>

// The command line as tables: one description per option and per command. The --help text (and
// so the manual page), the option checks, the bash completion and the dispatch are made from
// them.
namespace gpibconfig::cli {

class Invocation;

// The options of one command line, as read.
struct Options {
    bool help = false;
    bool version = false;
    std::optional<QString> driver;
    std::optional<int> board;
    std::optional<QString> trace;
    bool json = false;
    std::optional<int> channel;
    std::optional<QString> output;
    bool dryRun = false;
    bool withAddress = false;
    bool noSave = false;
    bool lock = false;
    std::optional<int> psc;
    bool powerCycled = false;
};

// Which command lines an option belongs on.
enum class Reach {
    Instead,     // instead of a command: --help, --version
    Program,     // with any command
    UnitCommand, // with every command that talks to a unit
    Command,     // with the commands that list it
};

// One option.
struct OptionDef {
    const char* name;                 // the long name
    const char* shortName = nullptr;  // a one-letter name beside it
    const char* valueName = nullptr;  // what its value is called in --help; null: it takes none
    Reach reach = Reach::Command;
    // Where the command line's option goes: a switch's flag, or the slot of a number or a text.
    std::variant<bool Options::*, std::optional<int> Options::*, std::optional<QString> Options::*>
        field = {};
    // A number's range, and what its usage error says it takes: "--psc takes 0 or 1, not ...".
    int lowest = 0;
    int highest = 0;
    const char* takes = nullptr;
    // --help's text, broken into lines where --help breaks it; the commands that take the option
    // are put in front.
    const char* help = "";
};

// Every option, in the order --help lists them and their values are checked.
std::span<const OptionDef* const> options();

namespace option {
extern const OptionDef help, version, driver, board, trace, json, channel, output, dryRun,
    withAddress, noSave, lock, psc, powerCycled;
} // namespace option

// One command.
struct Command {
    const char* name;
    // Its arguments as --help shows them and usage errors name them; "..." after the last: one or
    // more of it. The arguments are counted from it before the command runs.
    const char* synopsis;
    // --help's text, broken into lines where --help breaks it.
    const char* help;
    // Its options beside the program's; a command that talks to a unit also takes the options
    // of every such command.
    std::span<const OptionDef* const> options;
    bool talksToUnit;
    Result (*run)(Invocation& invocation);

    // Whether the command takes an option.
    bool takes(const OptionDef& option) const;
    // Whether `count` arguments are what the synopsis asks for.
    bool takesArguments(qsizetype count) const;
};

// Every command, in the order --help lists them.
std::span<const Command* const> commands();
// The command of a name, or null.
const Command* findCommand(const QString& name);

} // namespace gpibconfig::cli
