// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>

namespace gpibconfig::test {

// The name of one case of a parameterised test, made of what the case is about so that a failure
// says which case failed and the name stays the same from build to build. GoogleTest takes only
// letters, digits and underscores; other characters are spelt out. The case's position in front
// keeps cases apart whose texts spell the same.
inline std::string caseName(std::size_t index, std::string_view what)
{
    char position[16];
    std::snprintf(position, sizeof position, "%02zu", index);
    std::string name = position;
    if (!what.empty())
        name += '_';
    for (const char c : what) {
        const auto byte = static_cast<unsigned char>(c);
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) {
            name += c;
            continue;
        }
        switch (c) {
        case ' ':
            name += '_';
            break;
        case '-':
            name += "minus";
            break;
        case '+':
            name += "plus";
            break;
        case '.':
            name += "dot";
            break;
        case '&':
            name += "amp";
            break;
        case '\t':
            name += "tab";
            break;
        case '\n':
            name += "lf";
            break;
        default: {
            char hex[4];
            std::snprintf(hex, sizeof hex, "x%02X", byte);
            name += hex;
        }
        }
    }
    return name;
}

inline std::string caseName(std::size_t index, std::u16string_view what)
{
    std::string narrow;
    for (const char16_t c : what) {
        if (c < 0x80) {
            narrow += static_cast<char>(c);
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "u%04X", static_cast<unsigned>(c));
            narrow += hex;
        }
    }
    return caseName(index, std::string_view(narrow));
}

// A name generator for INSTANTIATE_TEST_SUITE_P from a function that says what a case is about.
template <typename Describe> auto namedBy(Describe describe)
{
    return [describe](const auto& info) { return caseName(info.index, describe(info.param)); };
}

} // namespace gpibconfig::test
