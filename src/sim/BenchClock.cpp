// SPDX-License-Identifier: GPL-3.0-or-later
#include "BenchClock.h"

#include "Trace.h"
#include "time/RealClock.h"

namespace gpibconfig::sim {

BenchClock::BenchClock(Trace& trace, Mode mode)
    : m_trace(trace)
    , m_mode(mode)
    , m_start(std::chrono::steady_clock::now())
{
}

double BenchClock::now() const
{
    if (m_mode == Mode::Virtual)
        return m_virtualNow;
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - m_start).count();
}

void BenchClock::pause(double seconds)
{
    m_trace.add(BusCall::pause(seconds));
    elapse(seconds);
}

void BenchClock::elapse(double seconds)
{
    if (!(seconds > 0))
        return;
    if (m_mode == Mode::Virtual)
        m_virtualNow += seconds;
    else
        RealClock::waitWithoutInput(seconds);
}

} // namespace gpibconfig::sim
