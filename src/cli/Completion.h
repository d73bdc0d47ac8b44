// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace gpibconfig::cli {

// The bash completion of gpibconfig-cli, made from the tables of commands, options and
// controller kinds, so a new command, option or driver form is offered without a second edit.
// The build writes it to a file; the package installs that file.
QString bashCompletion();

} // namespace gpibconfig::cli
