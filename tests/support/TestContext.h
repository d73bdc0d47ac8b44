// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "logic/AppContext.h"

#include <QList>
#include "support/FakeDriver.h"

#include <ostream>

namespace gpibconfig::test {

class CountingNotifier final : public Notifier {
public:
    int beeps = 0;
    void beep() override { ++beeps; }
};

// Virtual time: pauses only add up.
class ManualClock final : public Clock {
public:
    double time = 0;
    QList<double> pauses;
    double now() const override { return time; }
    void pause(double seconds) override
    {
        pauses << seconds;
        time += seconds;
    }
};

// A program context around any driver, for logic tests without widgets.
struct TestContext {
    explicit TestContext(Driver& driver) : gpib(driver) {}
    ProgramState state;
    GPIB32 gpib;
    ManualClock clock;
    CountingNotifier notifier;
    AppContext app{state, gpib, clock, notifier};
};

} // namespace gpibconfig::test

// GoogleTest prints Qt's texts as text, not as arrays of 2-byte objects.
inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }
