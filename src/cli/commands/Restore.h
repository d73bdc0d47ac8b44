// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli/Step.h"

namespace gpibconfig::cli {
class Invocation;
}

namespace gpibconfig::cli::command {

// restore (compareOnly false) and diff (true): the unit's settings walked against a profile's,
// those that differ set (restore) or listed (diff).
Result restoreOrCompare(Invocation& cli, bool compareOnly);

} // namespace gpibconfig::cli::command
