// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QSet>
#include <QString>
#include <cstdint>

namespace gpibconfig {

// The unit being configured: where it sits, and the address word the run talks to it at (primary
// address in the low byte, 0x60 + secondary address in the high byte).
struct UnitAddress {
    std::int16_t primary = 0;
    std::int16_t secondary = 0;
    std::int16_t word = 0;
    double channel = 0; // 0 until the channel dialog stored a value

    // The address word of a primary address with a secondary one (0..31).
    static std::int16_t wordOf(std::int16_t primary, std::int16_t secondary)
    {
        return static_cast<std::int16_t>(primary + (0x60 + secondary) * 256);
    }
};

// What the windows share: the model chosen in the main window, the bus board of the run, and the
// unit the configuration window talks to (the channel dialog hands its channel back here). One
// instance, owned by the application and handed to each window by reference; later runs
// overwrite it and nothing of it is stored anywhere. A call's status is not kept here: each call
// returns its own, and a failure travels as a value to where it is reported.
struct ProgramState {
    std::int16_t board = 0;
    QString modelEntry;         // the list entry chosen, e.g. "7374A"
    std::int16_t modelCode = 0; // its model code, 7374 (0 for an entry that names none)

    UnitAddress unit;

    // The drivers' plain-words hints the operator has had in a message box in this run, so that
    // each cause is explained once and not at every press of a button.
    QSet<QString> hintsShown;
};

} // namespace gpibconfig
