// SPDX-License-Identifier: GPL-3.0-or-later
#include "RealClock.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>
#include <QTimer>
#include <cmath>

namespace gpibconfig {

RealClock::RealClock() { m_timer.start(); }

double RealClock::now() const { return static_cast<double>(m_timer.nsecsElapsed()) / 1e9; }

void RealClock::pause(double seconds) { waitWithoutInput(seconds); }

void RealClock::waitWithoutInput(double seconds)
{
    if (!(seconds > 0))
        return;
    const auto ms = static_cast<int>(std::min(std::ceil(seconds * 1000.0), 24.0 * 3600 * 1000));
    // Without an application event loop (plain tools, other threads) a sleep is the honest wait.
    if (!QCoreApplication::instance() ||
        QThread::currentThread() != QCoreApplication::instance()->thread()) {
        QThread::msleep(static_cast<unsigned long>(ms));
        return;
    }
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
}

} // namespace gpibconfig
