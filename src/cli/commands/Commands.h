// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli/Command.h"

// The commands of gpibconfig-cli, one file each; `commands()` lists them.
namespace gpibconfig::cli::command {

extern const Command models, scan, show, set, save, backup, restore, diff;

} // namespace gpibconfig::cli::command
