// SPDX-License-Identifier: GPL-3.0-or-later
// A stream that takes everything and gives nothing (the Arduino library of that name, which
// AR488 0.51 includes for a port that is switched off).
#pragma once

#include "Arduino.h"

class DEVNULL : public Stream {
public:
    int available() override { return 0; }
    int peek() override { return -1; }
    int read() override { return -1; }
    using Print::write;
    std::size_t write(std::uint8_t) override { return 1; }
};
