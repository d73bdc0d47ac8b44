// SPDX-License-Identifier: GPL-3.0-or-later
// diff: a unit compared with a profile; restore's walk with nothing sent.
#include "Commands.h"
#include "Restore.h"

#include <array>

namespace gpibconfig::cli::command {

namespace {

constexpr std::array<const OptionDef*, 1> kOptions{&option::withAddress};

} // namespace

constexpr Command diff{
    .name = "diff",
    .synopsis = "FILE ADDRESS",
    .help = "compare a unit with a profile",
    .options = kOptions,
    .talksToUnit = true,
    .run = [](Invocation& cli) { return restoreOrCompare(cli, true); },
};

} // namespace gpibconfig::cli::command
