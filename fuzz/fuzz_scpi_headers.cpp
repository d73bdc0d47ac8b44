// SPDX-License-Identifier: GPL-3.0-or-later
// The bench's SCPI header matching and numeric data, checked against a second, plainer reading of
// the same rules: a header names a table entry when it has as many mnemonics and each is the
// entry's short or long form in any case. The first input byte picks the unit family (through
// the model list); the rest is the header, and also the text read as decimal numeric data.
#include "FuzzSupport.h"
#include "sim/Catalogue.h"
#include "sim/Scpi.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <vector>

namespace {

using namespace gpibconfig::sim;
using gpibconfig::fuzz::show;

char upperOf(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; }
char lowerOf(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }
bool isLetter(char c) { return upperOf(c) >= 'A' && upperOf(c) <= 'Z'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

std::vector<std::string_view> split(std::string_view text)
{
    std::vector<std::string_view> parts;
    while (true) {
        const std::size_t colon = text.find(':');
        parts.push_back(text.substr(0, colon));
        if (colon == std::string_view::npos)
            return parts;
        text.remove_prefix(colon + 1);
    }
}

bool sameLetters(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (upperOf(a[i]) != upperOf(b[i]))
            return false;
    }
    return true;
}

bool expectedWellFormed(std::string_view header)
{
    if (header.starts_with(':'))
        header.remove_prefix(1);
    for (const std::string_view m : split(header)) {
        if (m.empty() || !isLetter(m[0]))
            return false;
        for (const char c : m) {
            if (!isLetter(c) && !isDigit(c) && c != '_')
                return false;
        }
    }
    return true;
}

bool expectedNames(std::string_view written, std::string_view given)
{
    std::string shortForm;
    for (const char c : written) {
        if ((c >= 'A' && c <= 'Z') || isDigit(c))
            shortForm += c;
    }
    return sameLetters(written, given) || sameLetters(shortForm, given);
}

std::optional<std::size_t> expectedFind(const Family& family, std::string_view header)
{
    if (!expectedWellFormed(header))
        return std::nullopt;
    if (header.starts_with(':'))
        header.remove_prefix(1);
    const std::vector<std::string_view> given = split(header);
    for (std::size_t row = 0; row < family.rows.size(); ++row) {
        const std::vector<std::string_view> written = split(family.rows[row].header);
        bool match = written.size() == given.size();
        for (std::size_t n = 0; match && n < given.size(); ++n)
            match = expectedNames(written[n], given[n]);
        if (match)
            return row;
    }
    return std::nullopt;
}

std::string withCase(std::string_view text, char (*convert)(char))
{
    std::string out(text);
    for (char& c : out)
        c = convert(c);
    return out;
}

void checkHeader(const Family& family, std::string_view header)
{
    FUZZ_CHECK(scpi::wellFormedHeader(header) == expectedWellFormed(header),
               "wellFormedHeader(%s) = %d", show(header).c_str(), scpi::wellFormedHeader(header));
    const auto found = family.headers.find(header);
    const auto expected = expectedFind(family, header);
    FUZZ_CHECK(found == expected, "%s family: find(%s) = %ld, expected %ld",
               std::string(family.name).c_str(), show(header).c_str(),
               found ? static_cast<long>(*found) : -1L,
               expected ? static_cast<long>(*expected) : -1L);
    FUZZ_CHECK(family.headers.find(withCase(header, upperOf)) == found &&
                   family.headers.find(withCase(header, lowerOf)) == found,
               "find(%s) depends on letter case", show(header).c_str());
}

// The header of a table entry in every form a controller may write it: each mnemonic short or
// long as bit n of `forms` says, with or without the leading colon.
void checkEveryForm(const Family& family, std::size_t row, unsigned forms)
{
    std::string header = forms & 0x8000 ? ":" : "";
    const std::vector<std::string_view> written = split(family.rows[row].header);
    for (std::size_t n = 0; n < written.size(); ++n) {
        if (n > 0)
            header += ':';
        header += (forms >> n) & 1 ? scpi::shortForm(written[n]) : std::string(written[n]);
    }
    // Any other row it found would make this one unreachable.
    const auto found = family.headers.find(header);
    FUZZ_CHECK(found == row, "%s family: %s finds row %ld, not its own row %zu",
               std::string(family.name).c_str(), show(header).c_str(),
               found ? static_cast<long>(*found) : -1L, row);
}

void checkTrim(std::string_view text)
{
    const std::string_view t = scpi::trim(text);
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    const bool inside =
        t.empty() || (t.data() >= text.data() && t.data() + t.size() <= text.data() + text.size());
    bool ok = inside && (t.empty() || (!blank(t.front()) && !blank(t.back())));
    if (ok) {
        const std::size_t before =
            t.empty() ? text.size() : static_cast<std::size_t>(t.data() - text.data());
        for (std::size_t i = 0; ok && i < before; ++i)
            ok = blank(text[i]);
        for (std::size_t i = before + t.size(); ok && i < text.size(); ++i)
            ok = blank(text[i]);
    }
    FUZZ_CHECK(ok, "trim(%s) = %s", show(text).c_str(), show(t).c_str());
}

// IEEE 488.2 decimal numeric program data, read by strtod once the grammar is checked here.
void checkDecimalNumber(std::string_view text)
{
    const std::optional<double> value = scpi::decimalNumber(text);
    const std::string_view t = scpi::trim(text);
    std::size_t i = 0;
    const auto digits = [&] {
        const std::size_t from = i;
        while (i < t.size() && isDigit(t[i]))
            ++i;
        return i - from;
    };
    if (i < t.size() && (t[i] == '+' || t[i] == '-'))
        ++i;
    std::size_t mantissa = digits();
    if (i < t.size() && t[i] == '.') {
        ++i;
        mantissa += digits();
    }
    bool grammar = mantissa > 0;
    if (grammar && i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
        ++i;
        if (i < t.size() && (t[i] == '+' || t[i] == '-'))
            ++i;
        grammar = digits() > 0;
    }
    grammar = grammar && i == t.size();
    if (!grammar) {
        FUZZ_CHECK(!value, "decimalNumber(%s) = %.17g for text that is no number",
                   show(text).c_str(), *value);
        return;
    }
    const std::string copy(t);
    errno = 0;
    const double expected = std::strtod(copy.c_str(), nullptr);
    if (errno == ERANGE)
        return; // refusing a number beyond the doubles is fine, and so is saturating
    FUZZ_CHECK(value && *value == expected, "decimalNumber(%s) = %s, expected %.17g",
               show(text).c_str(), value ? std::to_string(*value).c_str() : "nothing", expected);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    const auto models = allModels();
    const Family& family = *models[data[0] % models.size()].family;
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);

    checkHeader(family, text);
    checkTrim(text);
    checkDecimalNumber(text);

    const std::string_view mnemonic = text.substr(0, text.find(':'));
    const std::string shortForm = scpi::shortForm(mnemonic);
    FUZZ_CHECK(scpi::namesMnemonic(mnemonic, shortForm) &&
                   scpi::namesMnemonic(mnemonic, withCase(mnemonic, lowerOf)),
               "%s is not named by its own short or long form", show(mnemonic).c_str());
    if (const std::size_t colon = text.find(':'); colon != std::string_view::npos) {
        const std::string_view given = text.substr(colon + 1);
        FUZZ_CHECK(scpi::namesMnemonic(mnemonic, given) == expectedNames(mnemonic, given),
                   "namesMnemonic(%s, %s) = %d", show(mnemonic).c_str(), show(given).c_str(),
                   scpi::namesMnemonic(mnemonic, given));
    }

    if (!family.rows.empty() && size >= 3) {
        const std::size_t row = data[1] % family.rows.size();
        checkEveryForm(family, row, static_cast<unsigned>(data[1] | (data[2] << 8)));
    }
    return 0;
}
