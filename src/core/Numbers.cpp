// SPDX-License-Identifier: GPL-3.0-or-later
#include "Numbers.h"

#include <array>
#include <charconv>
#include <cmath>
#include <limits>

namespace gpibconfig {

namespace {

bool isSkipped(char16_t c) { return c == u' ' || c == u'\t' || c == u'\n'; }

bool isDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

int digitValue(char16_t c, int base)
{
    int v = -1;
    if (c >= u'0' && c <= u'9')
        v = c - u'0';
    else if (c >= u'a' && c <= u'f')
        v = c - u'a' + 10;
    else if (c >= u'A' && c <= u'F')
        v = c - u'A' + 10;
    return v < base ? v : -1;
}

// Hands out the characters of the text with the skipped ones already removed.
class Cursor {
public:
    explicit Cursor(std::u16string_view text)
        : m_text(text)
    {
        skip();
    }
    bool atEnd() const { return m_pos >= m_text.size(); }
    char16_t peek() const { return atEnd() ? u'\0' : m_text[m_pos]; }
    void next()
    {
        ++m_pos;
        skip();
    }

private:
    void skip()
    {
        while (m_pos < m_text.size() && isSkipped(m_text[m_pos]))
            ++m_pos;
    }
    std::u16string_view m_text;
    std::size_t m_pos = 0;
};

NumberScan readRadixInteger(Cursor& cur, int base)
{
    NumberScan scan;
    for (int d = digitValue(cur.peek(), base); !cur.atEnd() && d >= 0;
         d = digitValue(cur.peek(), base)) {
        scan.value = scan.value * base + d;
        scan.found = true;
        cur.next();
    }
    return scan;
}

// The power of ten of the first significant digit of a plain "ddd.ddde[+-]ddd" text: 0 for 1..9,
// 2 for 100..999, -1 for 0.1..0.9. Only its sign matters to the caller.
long decimalMagnitude(const std::string& number)
{
    const std::size_t ePos = number.find('e');
    const std::string mantissa = number.substr(0, ePos);
    long exponent = 0;
    if (ePos != std::string::npos) {
        const std::string e = number.substr(ePos + 1);
        std::from_chars(e.data() + (e[0] == '+' ? 1 : 0), e.data() + e.size(), exponent);
    }
    const std::size_t point = mantissa.find('.');
    const std::string whole = mantissa.substr(0, point);
    const std::size_t firstWhole = whole.find_first_not_of('0');
    if (firstWhole != std::string::npos)
        return static_cast<long>(whole.size() - firstWhole) - 1 + exponent;
    const std::string fraction =
        point == std::string::npos ? std::string() : mantissa.substr(point + 1);
    const std::size_t firstFraction = fraction.find_first_not_of('0');
    if (firstFraction == std::string::npos)
        return std::numeric_limits<long>::min(); // zero
    return -static_cast<long>(firstFraction) - 1 + exponent;
}

} // namespace

double readNumber(std::u16string_view text) { return scanNumber(text).value; }

NumberScan scanNumber(std::u16string_view text)
{
    Cursor cur(text);
    if (cur.peek() == u'&') {
        cur.next();
        const char16_t kind = cur.peek();
        if (kind == u'H' || kind == u'h') {
            cur.next();
            return readRadixInteger(cur, 16);
        }
        if (kind == u'O' || kind == u'o') {
            cur.next();
            return readRadixInteger(cur, 8);
        }
        return {};
    }

    // Collect a clean ASCII copy of the number and let from_chars do the correctly rounded,
    // locale-independent conversion.
    std::string number;
    bool negative = false;
    if (cur.peek() == u'+' || cur.peek() == u'-') {
        negative = cur.peek() == u'-';
        cur.next();
    }
    bool anyDigit = false;
    while (isDigit(cur.peek())) {
        number += static_cast<char>(cur.peek());
        anyDigit = true;
        cur.next();
    }
    if (cur.peek() == u'.') {
        cur.next();
        std::string fraction;
        while (isDigit(cur.peek())) {
            fraction += static_cast<char>(cur.peek());
            cur.next();
        }
        if (!fraction.empty()) {
            number += '.' + fraction;
            anyDigit = true;
        }
    }
    if (!anyDigit)
        return {};
    if (cur.peek() == u'E' || cur.peek() == u'e') {
        cur.next();
        std::string exponent = "e";
        if (cur.peek() == u'+' || cur.peek() == u'-') {
            exponent += static_cast<char>(cur.peek());
            cur.next();
        }
        bool expDigit = false;
        std::string digits;
        while (isDigit(cur.peek())) {
            // Leading zeros say nothing; beyond six digits every exponent saturates the result.
            if (!(digits.empty() && cur.peek() == u'0'))
                digits += static_cast<char>(cur.peek());
            expDigit = true;
            cur.next();
        }
        if (digits.size() > 6)
            digits = "999999";
        if (expDigit)
            number += exponent + (digits.empty() ? std::string("0") : digits);
    }

    double value = 0;
    const auto* first = number.data();
    const auto* last = number.data() + number.size();
    const auto [ptr, ec] = std::from_chars(first, last, value);
    if (ec == std::errc::result_out_of_range) {
        // from_chars leaves the value alone on overflow or underflow: tell which it was from the
        // number's decimal magnitude, since many digits can outweigh the exponent's sign.
        value = decimalMagnitude(number) > 0 ? std::numeric_limits<double>::infinity() : 0.0;
    } else if (ec != std::errc()) {
        value = 0;
    }
    (void)ptr;
    return {negative ? -value : value, true};
}

double roundHalfEven(double value)
{
    if (!std::isfinite(value))
        return value;
    const double floorValue = std::floor(value);
    const double diff = value - floorValue;
    if (diff < 0.5)
        return floorValue;
    if (diff > 0.5)
        return floorValue + 1;
    return std::fmod(floorValue, 2.0) == 0 ? floorValue : floorValue + 1;
}

std::optional<std::int16_t> toInt16(double value)
{
    if (std::isnan(value))
        return std::nullopt;
    const double rounded = roundHalfEven(value);
    if (rounded < -32768.0 || rounded > 32767.0)
        return std::nullopt;
    return static_cast<std::int16_t>(rounded);
}

std::u16string decimalForm(std::int64_t value)
{
    const std::string digits = std::to_string(value);
    std::u16string out;
    if (value >= 0)
        out += u' ';
    out.append(digits.begin(), digits.end());
    return out;
}

std::u16string decimalForm(double value)
{
    if (std::isnan(value))
        return u" NaN";
    if (std::isinf(value))
        return value > 0 ? u" Infinity" : u"-Infinity";
    if (value == 0)
        return u" 0";
    if (std::fabs(value) < 1e15 && value == std::trunc(value))
        return decimalForm(static_cast<std::int64_t>(value));

    std::array<char, 64> buf{};
    const auto res =
        std::to_chars(buf.data(), buf.data() + buf.size(), value, std::chars_format::general, 15);
    std::string text(buf.data(), res.ptr);
    // Write the exponent as the bench people know it: upper-case E, sign, no leading zeros.
    if (const auto e = text.find('e'); e != std::string::npos) {
        std::string mantissa = text.substr(0, e);
        const char sign = text[e + 1];
        std::string exp = text.substr(e + 2);
        exp.erase(0, std::min(exp.find_first_not_of('0'), exp.size() - 1));
        text = mantissa + 'E' + sign + exp;
    }
    std::u16string out;
    if (value > 0)
        out += u' ';
    out.append(text.begin(), text.end());
    return out;
}

std::u16string trimLeadingBlanks(std::u16string_view text)
{
    const auto first = text.find_first_not_of(u' ');
    return first == std::u16string_view::npos ? std::u16string()
                                              : std::u16string(text.substr(first));
}

} // namespace gpibconfig
