// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <cstdint>

namespace gpibconfig {

struct DriverStatus;

// The status of one call as the access layer hands it to the program: the driver's status word
// and error code cut to 16 bits (the size the status report shows), the count to 32.
struct GpibStatus {
    std::int16_t ibsta = 0;
    std::int16_t iberr = 0;
    std::int32_t ibcntl = 0;

    static GpibStatus of(const DriverStatus& status);

    // ERR is bit 15; as ibsta is signed, this is the same as ibsta < 0.
    bool failed() const { return ibsta < 0; }
};

// A driver call that failed: the title its status report carries and the status it left. This
// value is how a failure travels from the call to the operator; nothing keeps it elsewhere.
struct BusFailure {
    QString title;
    GpibStatus status;
    // Whether the window reports it. The window looks at the status of some calls only (the
    // device clear, a query's reply, each step of a finishing command); the others (the interface
    // clear before a device clear, a model's start actions, the calls of a setting) are made and
    // their failure lets the run go on there. The command line stops at either.
    bool windowReports = true;
};

} // namespace gpibconfig
