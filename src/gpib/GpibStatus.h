// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

namespace gpibconfig {

// The driver status as the program keeps it after every call of the access layer.
struct GpibStatus {
    std::int16_t ibsta = 0;
    std::int16_t iberr = 0;
    std::int16_t ibcnt = 0;
    std::int32_t ibcntl = 0;

    // ERR is bit 15; as ibsta is signed, this is the same as ibsta < 0.
    bool failed() const { return ibsta < 0; }
};

} // namespace gpibconfig
