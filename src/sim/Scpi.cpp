// SPDX-License-Identifier: GPL-3.0-or-later
#include "Scpi.h"

#include <charconv>

namespace gpibconfig::sim::scpi {

namespace {

constexpr char upper(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}
constexpr bool isUpper(char c) { return c >= 'A' && c <= 'Z'; }
constexpr bool isLetter(char c) { return isUpper(c) || (c >= 'a' && c <= 'z'); }
constexpr bool isDigit(char c) { return c >= '0' && c <= '9'; }
constexpr bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool equalsUpper(std::string_view given, std::string_view upperForm)
{
    if (given.size() != upperForm.size())
        return false;
    for (std::size_t i = 0; i < given.size(); ++i) {
        if (upper(given[i]) != upperForm[i])
            return false;
    }
    return true;
}

std::string_view stripLeadingColon(std::string_view header)
{
    if (!header.empty() && header.front() == ':')
        header.remove_prefix(1);
    return header;
}

} // namespace

std::string shortForm(std::string_view mnemonic)
{
    std::string out;
    for (const char c : mnemonic) {
        if (isUpper(c) || isDigit(c))
            out += c;
    }
    return out;
}

std::string toUpper(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        c = upper(c);
    return out;
}

bool equalsIgnoreCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (upper(a[i]) != upper(b[i]))
            return false;
    }
    return true;
}

bool namesMnemonic(std::string_view written, std::string_view given)
{
    return equalsIgnoreCase(written, given) || equalsUpper(given, shortForm(written));
}

std::string_view trim(std::string_view text)
{
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

bool wellFormedHeader(std::string_view header)
{
    header = stripLeadingColon(header);
    if (header.empty())
        return false;
    bool atNodeStart = true;
    for (const char c : header) {
        if (c == ':') {
            if (atNodeStart)
                return false;
            atNodeStart = true;
        } else if (atNodeStart) {
            if (!isLetter(c))
                return false;
            atNodeStart = false;
        } else if (!isLetter(c) && !isDigit(c) && c != '_') {
            return false;
        }
    }
    return !atNodeStart;
}

HeaderTable::HeaderTable(std::span<const std::string_view> headers)
{
    m_entries.reserve(headers.size());
    for (const std::string_view header : headers) {
        std::vector<Node> nodes;
        std::size_t start = 0;
        while (start <= header.size()) {
            const std::size_t colon = header.find(':', start);
            const std::string_view mnemonic = header.substr(
                start, colon == std::string_view::npos ? std::string_view::npos : colon - start);
            nodes.push_back({shortForm(mnemonic), toUpper(mnemonic)});
            if (colon == std::string_view::npos)
                break;
            start = colon + 1;
        }
        m_entries.push_back(std::move(nodes));
    }
}

std::optional<std::size_t> HeaderTable::find(std::string_view header) const
{
    if (!wellFormedHeader(header))
        return std::nullopt;
    header = stripLeadingColon(header);
    for (std::size_t index = 0; index < m_entries.size(); ++index) {
        const std::vector<Node>& nodes = m_entries[index];
        std::string_view rest = header;
        bool matches = true;
        for (std::size_t n = 0; n < nodes.size() && matches; ++n) {
            const std::size_t colon = rest.find(':');
            const std::string_view given = rest.substr(0, colon);
            matches =
                equalsUpper(given, nodes[n].shortForm) || equalsUpper(given, nodes[n].longForm);
            const bool last = n + 1 == nodes.size();
            // The given header must end exactly where the table's does.
            if (matches && last != (colon == std::string_view::npos))
                matches = false;
            if (matches && !last)
                rest.remove_prefix(colon + 1);
        }
        if (matches)
            return index;
    }
    return std::nullopt;
}

std::optional<double> decimalNumber(std::string_view text)
{
    text = trim(text);
    std::size_t i = 0;
    const auto digitsFrom = [&](std::size_t& pos) {
        const std::size_t begin = pos;
        while (pos < text.size() && isDigit(text[pos]))
            ++pos;
        return pos - begin;
    };
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        ++i;
    std::size_t mantissaDigits = digitsFrom(i);
    if (i < text.size() && text[i] == '.') {
        ++i;
        mantissaDigits += digitsFrom(i);
    }
    if (mantissaDigits == 0)
        return std::nullopt;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-'))
            ++i;
        if (digitsFrom(i) == 0)
            return std::nullopt;
    }
    if (i != text.size())
        return std::nullopt;
    // from_chars takes no plus sign and no bare leading point; the grammar is already checked.
    std::string number(text.front() == '+' ? text.substr(1) : text);
    double value = 0;
    const auto result = std::from_chars(number.data(), number.data() + number.size(), value);
    if (result.ec != std::errc() || result.ptr != number.data() + number.size())
        return std::nullopt;
    return value;
}

} // namespace gpibconfig::sim::scpi
