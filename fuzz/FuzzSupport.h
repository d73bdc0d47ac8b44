// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

// What the fuzz targets share: a failed property ends the run like a crash, so libFuzzer keeps the
// input and minimises it, and the message says which promise was broken and for what value.
#define FUZZ_CHECK(cond, ...)                                                                      \
    do {                                                                                           \
        if (!(cond)) {                                                                             \
            std::fprintf(stderr, "\nproperty failed: %s\n  at %s:%d\n  ", #cond, __FILE__,         \
                         __LINE__);                                                                \
            std::fprintf(stderr, __VA_ARGS__);                                                     \
            std::fputc('\n', stderr);                                                              \
            std::abort();                                                                          \
        }                                                                                          \
    } while (0)

namespace gpibconfig::fuzz {

// Printable form of any text for a failure message: C escapes, \uXXXX beyond Latin-1.
inline std::string show(std::u16string_view text)
{
    std::string out = "\"";
    for (const char16_t c : text) {
        char buf[8];
        if (c == u'"' || c == u'\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
        } else if (c <= 0xFF) {
            std::snprintf(buf, sizeof buf, "\\x%02X", static_cast<unsigned>(c));
            out += buf;
        } else {
            std::snprintf(buf, sizeof buf, "\\u%04X", static_cast<unsigned>(c));
            out += buf;
        }
    }
    return out + '"';
}

inline std::string show(std::string_view bytes)
{
    std::u16string wide;
    for (const char c : bytes)
        wide += static_cast<char16_t>(static_cast<unsigned char>(c));
    return show(std::u16string_view(wide));
}

// Turns fuzz bytes into UTF-16 text: each byte is its Latin-1 character, except that 0x01 takes
// the next two bytes (little end first) as one raw code unit, so that text beyond Latin-1, lone
// surrogates included, is reachable without making every ASCII input twice as long.
inline std::u16string textFrom(const std::uint8_t* data, std::size_t size)
{
    std::u16string text;
    text.reserve(size);
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0x01 && i + 2 < size) {
            text += static_cast<char16_t>(data[i + 1] | (data[i + 2] << 8));
            i += 2;
        } else {
            text += static_cast<char16_t>(data[i]);
        }
    }
    return text;
}

} // namespace gpibconfig::fuzz
