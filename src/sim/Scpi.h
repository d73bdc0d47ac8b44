// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// The parts of a SCPI / IEEE 488.2 parser that every unit of the bench shares.
namespace gpibconfig::sim::scpi {

// Short form of a mnemonic written in SCPI notation: its upper-case letters and digits
// ("SYSTem" -> "SYST", "EOMchr" -> "EOM", "RS485" -> "RS485").
std::string shortForm(std::string_view mnemonic);

// Whether `given` names the mnemonic: its short or its long form, case-insensitively, and
// nothing in between ("VOLT" and "VOLTAGE" name "VOLTage", "VOLTA" does not).
bool namesMnemonic(std::string_view written, std::string_view given);

bool equalsIgnoreCase(std::string_view a, std::string_view b);
std::string toUpper(std::string_view text);
// Without leading and trailing blanks, tabs, carriage returns and line feeds.
std::string_view trim(std::string_view text);

// A unit's table of command headers, each written in SCPI notation with colons between the
// mnemonics ("SYSTem:COMMunicate:GPIB:ADDRess"). Built once per unit family; lookups do no
// allocation.
class HeaderTable {
public:
    HeaderTable() = default;
    explicit HeaderTable(std::span<const std::string_view> headers);

    // Index of the header that `header` names (no "?"; a leading colon is allowed), or nullopt
    // when none does or the header is not well formed.
    std::optional<std::size_t> find(std::string_view header) const;

private:
    struct Node {
        std::string shortForm;
        std::string longForm;
    };
    std::vector<std::vector<Node>> m_entries;
};

// Whether a header is well formed: mnemonics of letters, digits and underscores, each starting
// with a letter, separated by single colons, optionally led by one colon.
bool wellFormedHeader(std::string_view header);

// IEEE 488.2 decimal numeric program data: optional sign, digits with an optional point and
// fraction, optional exponent. The whole text must be the number (blanks around it are allowed).
std::optional<double> decimalNumber(std::string_view text);

} // namespace gpibconfig::sim::scpi
