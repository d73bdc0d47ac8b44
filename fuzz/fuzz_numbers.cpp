// SPDX-License-Identifier: GPL-3.0-or-later
// Every operator entry and every unit reply becomes a number through readNumber, and every number
// the program shows or sends is written by decimalForm; a 16-bit setting goes through toInt16.
// The input is read as text (see textFrom) and, when long enough, its first eight bytes also as a
// raw double and a raw 64-bit integer, so NaNs, infinities and subnormals are reached directly.
#include "FuzzSupport.h"
#include "core/Numbers.h"

#include <cerrno>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

using namespace gpibconfig;
using fuzz::show;

std::string showDouble(double v)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.17g (%a)", v, v);
    return buf;
}

struct Expected {
    double value = 0;
    bool found = false;
    // False when the reference cannot say which double is right (long radix numbers, where the
    // digit-by-digit reading rounds at every step by design), only roughly where it lies.
    bool exact = true;
    // The decimal reading under- or overflowed: C says ERANGE.
    bool outOfRange = false;
};

// An independent reading of the same grammar: blanks, tabs and line feeds go first, then the
// longest number at the start, handed whole to strtod (the C library's correctly rounded
// conversion, unlimited exponent digits).
Expected expectedReading(std::u16string_view text)
{
    std::string s;
    for (const char16_t c : text) {
        if (c != u' ' && c != u'\t' && c != u'\n')
            s += c < 0x80 ? static_cast<char>(c) : '\x80';
    }
    std::size_t i = 0;
    const auto digitRun = [&](int base) {
        const std::size_t from = i;
        while (i < s.size()) {
            const char c = s[i];
            const int d = c >= '0' && c <= '9'   ? c - '0'
                          : c >= 'a' && c <= 'f' ? c - 'a' + 10
                          : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                 : 99;
            if (d >= base)
                break;
            ++i;
        }
        return s.substr(from, i - from);
    };

    Expected e;
    if (!s.empty() && s[0] == '&') {
        const char kind = s.size() > 1 ? s[1] : '\0';
        const int base = (kind == 'H' || kind == 'h') ? 16 : (kind == 'O' || kind == 'o') ? 8 : 0;
        if (base == 0)
            return e;
        i = 2;
        const std::string digits = digitRun(base);
        e.found = !digits.empty();
        const std::size_t firstSignificant = std::min(digits.find_first_not_of('0'), digits.size());
        const std::size_t significant = digits.size() - firstSignificant;
        // 13 hexadecimal or 17 octal digits fit the 53-bit significand: the sum is then exact.
        e.exact = significant <= (base == 16 ? 13u : 17u);
        long double v = 0;
        for (const char c : digits)
            v = v * base + (c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10);
        e.value = static_cast<double>(v);
        return e;
    }

    std::string number;
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
        number += s[i++];
    const std::string whole = digitRun(10);
    std::string fraction;
    if (i < s.size() && s[i] == '.') {
        ++i;
        fraction = digitRun(10);
    }
    if (whole.empty() && fraction.empty())
        return e;
    number += whole;
    if (!fraction.empty())
        number += '.' + fraction;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        std::size_t j = i + 1;
        std::string exponent = "e";
        if (j < s.size() && (s[j] == '+' || s[j] == '-'))
            exponent += s[j++];
        i = j;
        const std::string expDigits = digitRun(10);
        if (!expDigits.empty())
            number += exponent + expDigits;
    }
    errno = 0;
    e.value = std::strtod(number.c_str(), nullptr);
    e.outOfRange = errno == ERANGE;
    e.found = true;
    return e;
}

void checkReading(std::u16string_view text)
{
    const NumberScan scan = scanNumber(text);
    const double read = readNumber(text);
    FUZZ_CHECK(std::memcmp(&read, &scan.value, sizeof read) == 0,
               "readNumber and scanNumber disagree on %s", show(text).c_str());
    FUZZ_CHECK(!std::isnan(read), "reading %s gave NaN", show(text).c_str());
    FUZZ_CHECK(scan.found || read == 0, "no number in %s, yet it reads as %s", show(text).c_str(),
               showDouble(read).c_str());

    const Expected e = expectedReading(text);
    FUZZ_CHECK(scan.found == e.found, "%s: found=%d, expected %d", show(text).c_str(), scan.found,
               e.found);
    if (e.exact && !e.outOfRange) {
        FUZZ_CHECK(read == e.value, "%s reads as %s, expected %s", show(text).c_str(),
                   showDouble(read).c_str(), showDouble(e.value).c_str());
    } else if (e.outOfRange) {
        // Beyond the doubles: infinity keeps its sign; below the normal range 0 is as good as the
        // subnormal C gives, as no setting tells them apart.
        const bool tiny = std::fabs(e.value) < DBL_MIN;
        FUZZ_CHECK(tiny ? (read == 0 || read == e.value) : read == e.value,
                   "%s reads as %s, expected %s (out of range)", show(text).c_str(),
                   showDouble(read).c_str(), showDouble(e.value).c_str());
    } else {
        FUZZ_CHECK(read == e.value || std::fabs(read - e.value) <= std::fabs(e.value) * 1e-12,
                   "%s reads as %s, expected about %s", show(text).c_str(),
                   showDouble(read).c_str(), showDouble(e.value).c_str());
    }
}

void checkRounding(double x)
{
    const double r = roundHalfEven(x);
    if (!std::isfinite(x)) {
        FUZZ_CHECK(std::isnan(x) ? std::isnan(r) : r == x, "roundHalfEven(%s) = %s",
                   showDouble(x).c_str(), showDouble(r).c_str());
    } else {
        const double away = std::fabs(x - r);
        FUZZ_CHECK(r == std::trunc(r) && away <= 0.5, "roundHalfEven(%s) = %s",
                   showDouble(x).c_str(), showDouble(r).c_str());
        FUZZ_CHECK(away < 0.5 || std::fmod(r, 2.0) == 0, "roundHalfEven(%s) = %s is not even",
                   showDouble(x).c_str(), showDouble(r).c_str());
    }

    const std::optional<std::int16_t> v = toInt16(x);
    const bool fits = !std::isnan(r) && r >= -32768.0 && r <= 32767.0;
    FUZZ_CHECK(v.has_value() == fits, "toInt16(%s) %s, rounded %s", showDouble(x).c_str(),
               v ? "gave a value" : "refused", showDouble(r).c_str());
    if (v) {
        FUZZ_CHECK(*v == r, "toInt16(%s) = %d, rounded %s", showDouble(x).c_str(), *v,
                   showDouble(r).c_str());
    }
}

bool onlyNumberCharacters(std::u16string_view t)
{
    for (const char16_t c : t) {
        if (!((c >= u'0' && c <= u'9') || c == u'.' || c == u'E' || c == u'+' || c == u'-' ||
              c == u' '))
            return false;
    }
    return true;
}

void checkDecimalForm(double x)
{
    const std::u16string t = decimalForm(x);
    if (std::isnan(x)) {
        FUZZ_CHECK(t == u" NaN", "decimalForm(NaN) = %s", show(t).c_str());
        return;
    }
    if (std::isinf(x)) {
        FUZZ_CHECK(t == (x > 0 ? u" Infinity" : u"-Infinity"), "decimalForm(%s) = %s",
                   showDouble(x).c_str(), show(t).c_str());
        return;
    }
    FUZZ_CHECK(t.size() >= 2 && t[0] == (x < 0 ? u'-' : u' ') && t[1] != u' ' &&
                   onlyNumberCharacters(std::u16string_view(t).substr(1)) &&
                   t.find(u' ', 1) == std::u16string::npos,
               "decimalForm(%s) = %s", showDouble(x).c_str(), show(t).c_str());
    if (x == std::trunc(x) && std::fabs(x) < 1e15) {
        FUZZ_CHECK(t.find_first_of(u".E") == std::u16string::npos,
                   "decimalForm(%s) = %s writes a whole number with a fraction or exponent",
                   showDouble(x).c_str(), show(t).c_str());
    }
    if (const auto e = t.find(u'E'); e != std::u16string::npos) {
        FUZZ_CHECK(e + 2 < t.size() && (t[e + 1] == u'+' || t[e + 1] == u'-') &&
                       (t[e + 2] != u'0' || e + 3 == t.size()),
                   "decimalForm(%s) = %s: exponent not as E, sign, digits without leading zeros",
                   showDouble(x).c_str(), show(t).c_str());
    }

    // The text holds x to 15 significant digits: it reads back as x so rounded, and writing that
    // again gives the same text.
    char rounded15[64];
    std::snprintf(rounded15, sizeof rounded15, "%.14e", x);
    const double expected = std::strtod(rounded15, nullptr);
    const double back = readNumber(t);
    FUZZ_CHECK(back == expected, "decimalForm(%s) = %s reads back as %s, expected %s",
               showDouble(x).c_str(), show(t).c_str(), showDouble(back).c_str(),
               showDouble(expected).c_str());
    // Only the very largest doubles round up to beyond the range at 15 digits; their text
    // reads as infinity, which is written differently.
    FUZZ_CHECK(std::isinf(back) || decimalForm(back) == t,
               "decimalForm(%s) = %s, but decimalForm(%s) = %s", showDouble(x).c_str(),
               show(t).c_str(), showDouble(back).c_str(), show(decimalForm(back)).c_str());
}

void checkWholeDecimalForm(std::int64_t i)
{
    const std::u16string t = decimalForm(i);
    const std::string digits = std::to_string(i);
    const std::u16string expected =
        (i >= 0 ? u" " : u"") + std::u16string(digits.begin(), digits.end());
    FUZZ_CHECK(t == expected, "decimalForm(%lld) = %s", static_cast<long long>(i), show(t).c_str());
    FUZZ_CHECK(readNumber(t) == static_cast<double>(i), "decimalForm(%lld) = %s reads back as %s",
               static_cast<long long>(i), show(t).c_str(), showDouble(readNumber(t)).c_str());
}

void checkTrim(std::u16string_view text)
{
    const std::u16string t = trimLeadingBlanks(text);
    FUZZ_CHECK((t.empty() || t[0] != u' ') && text.ends_with(t) &&
                   text.substr(0, text.size() - t.size()).find_first_not_of(u' ') ==
                       std::u16string_view::npos,
               "trimLeadingBlanks(%s) = %s", show(text).c_str(), show(t).c_str());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::u16string text = fuzz::textFrom(data, size);
    checkReading(text);
    checkTrim(text);

    const double read = readNumber(text);
    checkRounding(read);
    checkDecimalForm(read);

    if (size >= sizeof(double)) {
        double raw = 0;
        std::memcpy(&raw, data, sizeof raw);
        checkRounding(raw);
        checkDecimalForm(raw);
        std::int64_t whole = 0;
        std::memcpy(&whole, data, sizeof whole);
        checkWholeDecimalForm(whole);
    }
    return 0;
}
