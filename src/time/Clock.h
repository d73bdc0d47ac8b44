// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace gpibconfig {

// Time as the program sees it. The real clock waits without burning the processor and without
// taking the operator's input; the bench's clock is virtual, so tests of pauses take no time.
class Clock {
public:
    virtual ~Clock() = default;
    // Seconds on a monotonic scale (no midnight wrap, no jumps when the wall clock is set).
    virtual double now() const = 0;
    // The engine's pause: returns once `seconds` have passed; the window takes no input meanwhile.
    virtual void pause(double seconds) = 0;
};

} // namespace gpibconfig
