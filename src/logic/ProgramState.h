// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "gpib/GpibStatus.h"

#include <QSet>
#include <QString>
#include <cstdint>

namespace gpibconfig {

// The unit being configured. DeviceAddress is the driver's address word: primary address in the
// low byte, 0x60 + secondary address in the high byte.
struct UnitAddress {
    std::int16_t PrimaryAddress = 0;
    std::int16_t SecondaryAddress = 0;
    std::int16_t DeviceAddress = 0;
    double ChannelNumber = 0; // 0 until the channel dialog stored a value

    // The address word of a primary address with a secondary one (0..31).
    static std::int16_t word(std::int16_t primary, std::int16_t secondary)
    {
        return static_cast<std::int16_t>(primary + (0x60 + secondary) * 256);
    }
};

// What the windows share: the model chosen in the main window, the bus board and its status, and
// the unit the configuration window talks to (the channel dialog hands its channel back here).
// One instance, owned by the application and handed to each window by reference; later runs
// overwrite it and nothing of it is stored anywhere.
struct ProgramState {
    std::int16_t BoardIndex = 0;
    QString ModelNumber;
    std::int16_t ModelCode = 0;

    GpibStatus status;
    UnitAddress unit;

    // The drivers' plain-words hints the operator has had in a message box in this run, so that
    // each cause is explained once and not at every press of a button.
    QSet<QString> hintsShown;
};

} // namespace gpibconfig
