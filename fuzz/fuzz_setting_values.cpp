// SPDX-License-Identifier: GPL-3.0-or-later
// How a unit judges the value of a setting. What it accepts it keeps in a canonical form and
// answers with that form; the program reads that answer into an 18-byte buffer and may send it
// back as the new value. So an accepted value's canonical form must be accepted again as itself,
// be printable, and fit the buffer with its line feed.
//
// Input: model (first byte), setting row (second byte), then the value text.
#include "FuzzSupport.h"
#include "sim/Catalogue.h"
#include "sim/Scpi.h"

#include <cmath>
#include <cstdlib>

namespace {

using namespace gpibconfig::sim;
using gpibconfig::fuzz::show;

// The program's reply buffer.
constexpr std::size_t kReplyBuffer = 18;

const char* verdictName(Verdict v)
{
    switch (v) {
    case Verdict::Accepted:
        return "accepted";
    case Verdict::CommandError:
        return "command error";
    case Verdict::ExecutionError:
        return "execution error";
    }
    return "?";
}

// What can be said of a canonical value from the kind of setting alone.
bool plausible(const ValueRule& rule, const std::string& value)
{
    switch (rule.kind) {
    case ValueKind::Switch:
    case ValueKind::Lock:
        return value == "0" || value == "1";
    case ValueKind::Address:
    case ValueKind::Integer:
    case ValueKind::Baud: {
        char* end = nullptr;
        const long n = std::strtol(value.c_str(), &end, 10);
        return *end == '\0' && !value.empty() && n >= rule.lo && n <= rule.hi &&
               std::fmod(n - rule.lo, rule.step) == 0 && std::to_string(n) == value;
    }
    case ValueKind::Fixed4: {
        const auto n = scpi::decimalNumber(value);
        const std::size_t point = value.find('.');
        return n && *n >= rule.lo - 1e-9 && *n <= rule.hi + 1e-9 && point != std::string::npos &&
               value.size() - point - 1 == 4 &&
               (value[0] == '+' || value[0] == '-') == rule.signedForm;
    }
    case ValueKind::Choice:
    case ValueKind::NumberChoice:
        for (const std::string_view choice : rule.choices) {
            if (value == choice || value == scpi::shortForm(choice))
                return true;
        }
        return false;
    case ValueKind::HexByte:
        return value.size() == 2 &&
               value.find_first_not_of("0123456789ABCDEF") == std::string::npos;
    case ValueKind::Date:
        return value.size() == 10 && value[2] == '/' && value[5] == '/';
    case ValueKind::Text16:
        return value.size() == 16;
    case ValueKind::ChannelList:
        return value.starts_with("(@") && value.ends_with(")");
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2)
        return 0;
    const auto models = allModels();
    const ModelSpec& model = models[data[0] % models.size()];
    const std::vector<SettingRow>& rows = model.family->rows;
    const SettingRow& row = rows[data[1] % rows.size()];
    const std::string_view text(reinterpret_cast<const char*>(data + 2), size - 2);

    const Checked checked = checkValue(row.rule, text, model.stringBytes);
    const std::string where = std::string(model.name) + " " + std::string(row.header);

    // Blanks around a value are the message's, not the value's.
    const Checked padded =
        checkValue(row.rule, " \t" + std::string(text) + "\r\n ", model.stringBytes);
    FUZZ_CHECK(padded.verdict == checked.verdict && padded.value == checked.value,
               "%s: %s is %s, with blanks around it %s", where.c_str(), show(text).c_str(),
               verdictName(checked.verdict), verdictName(padded.verdict));

    if (checked.verdict != Verdict::Accepted)
        return 0;
    const std::string& value = checked.value;
    bool printable = !value.empty() && value.front() != ' ' && value.back() != ' ';
    for (const char c : value)
        printable = printable && c >= 0x20 && c <= 0x7E;
    FUZZ_CHECK(printable && plausible(row.rule, value), "%s: %s accepted as %s", where.c_str(),
               show(text).c_str(), show(value).c_str());

    const Checked again = checkValue(row.rule, value, model.stringBytes);
    FUZZ_CHECK(again.verdict == Verdict::Accepted && again.value == value,
               "%s: %s accepted as %s, which is then %s as %s", where.c_str(), show(text).c_str(),
               show(value).c_str(), verdictName(again.verdict), show(again.value).c_str());

    FUZZ_CHECK(value.size() + 1 <= kReplyBuffer,
               "%s: %s accepted as %s, an answer of %zu bytes with its line feed, more than the "
               "program's %zu-byte buffer",
               where.c_str(), show(text).c_str(), show(value).c_str(), value.size() + 1,
               kReplyBuffer);
    return 0;
}
