// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Number handling shared by every place that turns operator or unit text into a number and back.
// Plain C++ on UTF-16 text so that it can be fuzzed and tested without Qt.
namespace gpibconfig {

// Reads the leading number of a text the way the program always has: blanks, tabs and line feeds
// are skipped wherever they stand; then an optional sign, digits, a "." with digits and an exponent
// (E or e, optional sign, digits). Reading stops at the first character that cannot continue the
// number. "&H" / "&O" start a hexadecimal / octal integer. A text without a number reads as 0.
// Values beyond the range of a double read as +/-infinity.
double readNumber(std::u16string_view text);

// The same, also telling whether the text held a number at all ("0" does, "abc" does not).
struct NumberScan {
    double value = 0;
    bool found = false;
};
NumberScan scanNumber(std::u16string_view text);

// Rounds to the nearest integer, a half going to the even neighbour, and refuses (nullopt) any
// result outside -32768..32767 and any NaN. Callers must handle the refusal: a 16-bit value is
// never produced by silent wrap-around.
std::optional<std::int16_t> toInt16(double value);

// Rounds half to even without a range limit (for values that only need to be whole numbers).
double roundHalfEven(double value);

// Decimal form of a number: a leading blank when zero or positive, a minus sign when negative.
// Whole numbers are written without a fraction; others with up to 15 significant digits, and very
// large or small magnitudes in E notation ("1E+20").
std::u16string decimalForm(double value);
std::u16string decimalForm(std::int64_t value);

// The same without the leading blank (for texts where leading blanks are removed).
std::u16string trimLeadingBlanks(std::u16string_view text);

} // namespace gpibconfig
