// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "time/Clock.h"

#include <chrono>

namespace gpibconfig::sim {

class Trace;

// The bench's time. Virtual by default: the program's pauses and the board's waits for a reply
// move the clock on at once, so tests of pauses and time-outs take no time and can check how
// much time passed. In real mode the same waits take wall-clock time through
// RealClock::waitWithoutInput, so the interactive program behaves as on a real bus (the window
// keeps painting, takes no input, and no processor time is burnt).
class BenchClock final : public Clock {
public:
    enum class Mode { Virtual, Real };

    explicit BenchClock(Trace& trace, Mode mode = Mode::Virtual);

    Mode mode() const { return m_mode; }

    // Seconds since the bench was built (virtual or wall-clock, depending on the mode).
    double now() const override;
    // The program's pause: recorded in the trace as "Pause(<seconds>)", then waited.
    void pause(double seconds) override;
    // Time passing on the bus (a Receive waiting for its reply); not traced.
    void elapse(double seconds);

private:
    Trace& m_trace;
    Mode m_mode;
    double m_virtualNow = 0.0;
    std::chrono::steady_clock::time_point m_start;
};

} // namespace gpibconfig::sim
