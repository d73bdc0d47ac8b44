// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Clock.h"

#include <QElapsedTimer>

namespace gpibconfig {

// Wall-clock time for the real program. A pause runs a local event loop that keeps timers and
// painting alive but leaves the operator's keyboard and mouse input queued until it ends, so the
// window takes no input and no processor time is burnt.
class RealClock final : public Clock {
public:
    RealClock();
    double now() const override;
    void pause(double seconds) override;

    // The same wait without being the engine's pause (for waits that only model time passing).
    static void waitWithoutInput(double seconds);

private:
    QElapsedTimer m_timer;
};

} // namespace gpibconfig
