// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Numbers.h"

#include <QString>
#include <optional>

// Bridges between the plain number helpers and Qt's texts.
namespace gpibconfig {

inline std::u16string_view u16view(const QString& text)
{
    return {reinterpret_cast<const char16_t*>(text.utf16()), static_cast<std::size_t>(text.size())};
}

inline double readNumber(const QString& text) { return readNumber(u16view(text)); }

inline NumberScan scanNumber(const QString& text) { return scanNumber(u16view(text)); }

inline std::optional<std::int16_t> textToInt16(const QString& text)
{
    return toInt16(readNumber(u16view(text)));
}

inline QString decimalText(double value) { return QString::fromStdU16String(decimalForm(value)); }
inline QString decimalText(std::int64_t value)
{
    return QString::fromStdU16String(decimalForm(value));
}
inline QString decimalText(int value) { return decimalText(static_cast<std::int64_t>(value)); }

inline QString withoutLeadingBlanks(const QString& text)
{
    return QString::fromStdU16String(trimLeadingBlanks(u16view(text)));
}

} // namespace gpibconfig
