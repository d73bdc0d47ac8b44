// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>
#include <span>

namespace gpibconfig {

// One function of a unit's menu: the prompt the list shows and the command header the unit takes
// (without the model's header prefix).
struct MenuFunction {
    const char* prompt;
    const char* header;
};

// A prompt that differs from the menu it is based on at one function (models that share a menu
// but name their channel ranges differently).
struct PromptOverride {
    int function; // 1-based
    const char* prompt;
};

// A unit's menu: its functions in order, function 1 first, the prompts its model words
// differently, and which function moves the unit's own bus address.
struct Menu {
    std::span<const MenuFunction> functions;
    int addressFunction; // 1-based
    std::span<const PromptOverride> overrides = {};

    constexpr int count() const { return static_cast<int>(functions.size()); }
    // Function `number` (1-based) with the model's own prompt, or nullopt for a number outside
    // the menu: numbers come from the engine's position and from operators, so they are checked,
    // never used as an index blindly.
    std::optional<MenuFunction> function(int number) const;
};

// One entry of the model list and everything the program does differently for it. The table of
// these rows is the only place that knows models: the windows, the engine and the command-line
// tool read the row, none of them tests a model number.
struct Model {
    const char* entry;       // the list entry, e.g. "7374A"
    std::int16_t code;       // its leading number, shown in the window title
    const Menu* menu;        // the functions the configuration run walks
    bool powerCycle = false; // switched off and on before it can be configured
    bool lockable = false;   // unlocked and status-cleared before its menu; offers Lock Settings
                             // and the power-on status buttons at the end of it
    bool triggerAtStart = false;       // in its working mode until a group execute trigger
    const char* noticeModel = nullptr; // shows the notice (naming this model) before its menu
    int channelCount = 1;              // channels, each at its secondary address; 1: none
    std::int16_t secondaryBase = 10;   // channel N answers at secondary address secondaryBase + N
    const char* headerPrefix = "";     // put in front of every header of its menu
    // What its unit answers to *IDN?: the maker's field and the model's (null: the entry), each
    // compared without blanks around it and in any case: "ZEB,7352A,24015,2.05".
    const char* idnMaker = "ZEB";
    const char* idnModel = nullptr;

    constexpr bool hasNotice() const { return noticeModel != nullptr; }
    constexpr bool multiChannel() const { return channelCount > 1; }
    // The secondary address channel `channel` answers at; nullopt for a unit without channels and
    // a channel the unit does not have (not 0 < channel <= channelCount). The channel dialog reads
    // a number that may have a fraction: it is rounded as the bus takes whole addresses (3.5
    // addresses channel 4).
    std::optional<std::int16_t> secondaryOf(double channel) const;
    // Whether an *IDN? answer is one of this row's units.
    bool identifiedBy(const QString& idn) const;
    // The bus header of a menu function: prefix and header.
    QString busHeader(const MenuFunction& function) const;
    // The notice shown before the menu, six texts joined without anything between them.
    QString notice() const;
};

// Every entry, in the order of the model list.
std::span<const Model> models();

// The row of a list entry (exact text), or null.
const Model* modelForEntry(const QString& entry);

// The entries as the main window lists them.
QStringList modelEntries();

// The row whose units answer *IDN? with `idn`, or null (another maker's unit, an unknown model).
const Model* modelOfIdentification(const QString& idn);

} // namespace gpibconfig
