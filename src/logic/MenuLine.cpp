#include "MenuLine.h"

namespace gpibconfig {

QString FormatMenuLine(const QString& prompt, const QString& value)
{
    const qsizetype length = prompt.size();
    const qsizetype fill = length < 34 ? 35 - length : 1;
    QString line = prompt + QString(fill, QLatin1Char(' ')) + value;
    if (!value.isEmpty() && (value.back() == QLatin1Char('\n') || value.back() == QLatin1Char(' ')))
        line.chop(1);
    return line;
}

} // namespace gpibconfig
