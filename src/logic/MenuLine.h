// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace gpibconfig {

// One line of the function list: the prompt padded to 35 columns (at least one blank), then the
// value less a final line feed or blank.
QString FormatMenuLine(const QString& prompt, const QString& value);

// The value as that line shows it: less a final line feed or blank.
QString MenuLineValue(const QString& value);

} // namespace gpibconfig
