// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ProgramState.h"
#include "gpib/Gpib32.h"
#include "gpib/StatusReport.h"
#include "time/Clock.h"

namespace gpibconfig {

// The system beep, behind an interface so tests can count beeps.
class Notifier {
public:
    virtual ~Notifier() = default;
    virtual void beep() = 0;
};

// A failed call as the operator learns of it.
struct FailureReport {
    // The usual one-line status report, for the window's txtGPIBErr box.
    QString report;
    // The driver's plain words about what such a failure usually means; empty when it has none.
    QString hint;
    // The hint has not been shown in this run yet: the window puts it in a message box now.
    bool newHint = false;
};

// The controller the bus goes through can be changed while gpibconfig runs (Choose Controller...
// in a driver's explanation, or the main window's keys for it). A new choice waits for the next
// Configure: a unit's run never changes controllers half-way.
class ControllerSwitch {
public:
    virtual ~ControllerSwitch() = default;
    // Puts the controller chosen since the last Configure on the bus; nothing when none was.
    virtual void takeChosenController() = 0;
};

// The keys of the main window that open the choice of controller.
inline constexpr char kChooseControllerKeys[] = "Ctrl+Shift+C";

// What the operator can do about any failure a driver explains, beside what its own words say:
// the ways around it that the program offers. `canChooseController`: the window offers the
// choice of controller.
inline QString hintNextSteps(bool canChooseController)
{
    const QString another =
        canChooseController
            ? QStringLiteral("To work through another controller, such as a Prologix or AR488 "
                             "one, press Choose Controller... (or %1 in the main window).")
                  .arg(QLatin1String(kChooseControllerKeys))
            : QStringLiteral("To work through another controller, such as a Prologix or AR488 "
                             "one, start gpibconfig with --driver (gpibconfig --driver list shows "
                             "the drivers and serial ports).");
    return QStringLiteral("Without GPIB hardware at hand, gpibconfig-sim runs this program on a "
                          "simulated bench of units.\n\n") +
           another +
           QStringLiteral("\n\nThe status report stays in the window; point at it to read this "
                          "explanation again.");
}

// What every window's logic works with: the shared state, the bus, time and the beep. Owned by
// the application; windows hold references.
struct AppContext {
    ProgramState& state;
    GPIB32& gpib;
    Clock& clock;
    Notifier& notifier;
    // Set where the operator can choose another controller (gpibconfig, not the bench).
    ControllerSwitch* controllers = nullptr;

    // How the window reports a failed call: the usual report, what the driver can add in plain
    // words and whether that is news to the operator in this run. Nothing goes on the bus; the
    // caller takes the board offline after it (UnitSession::takeBoardOffline).
    FailureReport reportFailure(const BusFailure& failed)
    {
        FailureReport failure;
        failure.report = statusReport(failed);
        const GpibStatus& s = failed.status;
        failure.hint = gpib.driver().explainFailure(s.ibsta, s.iberr, s.ibcntl);
        if (!failure.hint.isEmpty() && !state.hintsShown.contains(failure.hint)) {
            state.hintsShown.insert(failure.hint);
            failure.newHint = true;
        }
        return failure;
    }
};

} // namespace gpibconfig
