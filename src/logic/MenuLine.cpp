// SPDX-License-Identifier: GPL-3.0-or-later
#include "MenuLine.h"

namespace gpibconfig {

QString FormatMenuLine(const QString& prompt, const QString& value)
{
    const qsizetype length = prompt.size();
    const qsizetype fill = length < 34 ? 35 - length : 1;
    return prompt + QString(fill, QLatin1Char(' ')) + MenuLineValue(value);
}

QString MenuLineValue(const QString& value)
{
    if (!value.isEmpty() && (value.back() == QLatin1Char('\n') || value.back() == QLatin1Char(' ')))
        return value.chopped(1);
    return value;
}

} // namespace gpibconfig
