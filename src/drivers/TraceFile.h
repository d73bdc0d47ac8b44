// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "gpib/TracingDriver.h"

#include <QString>
#include <functional>
#include <optional>

namespace gpibconfig {

// Where --trace FILE sends the bus trace: a sink for a TracingDriver that writes each call's
// trace line to the file, flushed at once so a run that hangs or crashes leaves every call up to
// its last; "-" writes to `standardError` instead. The sink may be called on the bus thread.
// nullopt, with `error` set, when the file cannot be opened for writing.
std::optional<TracingDriver::Sink>
traceFileSink(const QString& path, const std::function<void(const QString&)>& standardError,
              QString* error);

} // namespace gpibconfig
