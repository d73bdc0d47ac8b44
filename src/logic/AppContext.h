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

// What every window's logic works with: the shared state, the bus, time and the beep. Owned by
// the application; windows hold references.
struct AppContext {
    ProgramState& state;
    GPIB32& gpib;
    Clock& clock;
    Notifier& notifier;

    // Reports the failed call whose status is current under `title` the usual way and returns the
    // text for the window's txtGPIBErr box: the report, plus a plain-words line when the driver
    // knows what such a failure usually means.
    QString reportFailure(const QString& title)
    {
        const GpibStatus failed = state.status;
        const QString report = ReportGpibError(gpib, title);
        const QString hint =
            gpib.driver().explainFailure(failed.ibsta, failed.iberr, failed.ibcntl);
        return hint.isEmpty() ? report : report + QStringLiteral("\r\n") + hint;
    }
};

} // namespace gpibconfig
