// SPDX-License-Identifier: GPL-3.0-or-later
#include "Catalogue.h"

#include <array>
#include <cmath>
#include <cstdio>

namespace gpibconfig::sim {

namespace {

// ---------------------------------------------------------------------------------------------
// Value rules

constexpr ValueRule rule(ValueKind kind, double lo = 0, double hi = 0, double step = 1,
                         std::span<const std::string_view> choices = {}, bool signedForm = true)
{
    return ValueRule{kind, lo, hi, step, choices, signedForm};
}

constexpr ValueRule onOff() { return rule(ValueKind::Switch, 0, 1); }
constexpr ValueRule integer(double lo, double hi, double step = 1)
{
    return rule(ValueKind::Integer, lo, hi, step);
}
constexpr ValueRule oneOf(std::span<const std::string_view> choices)
{
    return rule(ValueKind::Choice, 0, 0, 1, choices);
}
constexpr ValueRule baud(double hi) { return rule(ValueKind::Baud, 300, hi); }
constexpr ValueRule volts(double lo, double hi, bool signedForm = true)
{
    return rule(ValueKind::Fixed4, lo, hi, 1, {}, signedForm);
}

constexpr std::string_view kTalkFormats[] = {"ASCii", "HEXL", "HEX", "TABLe"};
constexpr std::string_view kListFormats[] = {"ASCii", "HEXL", "HEX", "7343", "BINary"};
constexpr std::string_view kTalkData[] = {"ASCii", "HEXL"};
constexpr std::string_view kParities[] = {"ODD", "EVEN", "NONE"};
constexpr std::string_view kPacing[] = {"NONE", "XON"};
constexpr std::string_view kSwaps[] = {"TIME", "CR", "LF", "NONE"};
constexpr std::string_view kSerialModes[] = {"G", "S"};
constexpr std::string_view kPrinterModes[] = {"G", "P"};
constexpr std::string_view kPortModes[] = {"ASYNc", "STANdard", "SMARt"};
constexpr std::string_view kEmulations[] = {"ZEB", "NI"};
constexpr std::string_view kPrinterRoles[] = {"CONTroller", "DEVice", "TALK ONLY"};
constexpr std::string_view kInputRanges[] = {"10", "1", "0.1"};

constexpr int kStandardBauds[] = {300, 600, 1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};

// ---------------------------------------------------------------------------------------------
// Families

constexpr std::string_view kAddress = "SYSTem:COMMunicate:GPIB:ADDRess";
constexpr std::string_view kLock = "CALibration:LOCK";

const SettingRow kAddressRow{kAddress, rule(ValueKind::Address, 0, 31), ""};

// The serial line settings that every serial unit of one kind writes the same way.
std::vector<SettingRow> serialLine(double maxBaud)
{
    return {
        {"SYSTem:COMMunicate:SERial:BAUD", baud(maxBaud), "9600"},
        {"SYSTem:COMMunicate:SERial:BITS", integer(7, 8), "8"},
        {"SYSTem:COMMunicate:SERial:PARity", oneOf(kParities), "NONE"},
    };
}

// Serial units with an end-of-message character given in decimal (the multi-mode units).
std::vector<SettingRow> serialFraming()
{
    return {
        {"SYSTem:COMMunicate:SERial:PARity:CHECk", onOff(), "0"},
        {"SYSTem:COMMunicate:SERial:SBITs", integer(1, 2), "1"},
        {"SYSTem:COMMunicate:SERial:PACE", oneOf(kPacing), "NONE"},
    };
}

std::vector<SettingRow> endOfMessage()
{
    return {
        {"SYSTem:COMMunicate:SERial:EOMchr", integer(0, 255), "10"},
        {"SYSTem:COMMunicate:SERial:ADD:ENABle", onOff(), "0"},
        {"SYSTem:COMMunicate:SERial:ADD:CHARacter", integer(0, 255), "13"},
        {"SYSTem:COMMunicate:SERial:EOI", onOff(), "1"},
    };
}

std::vector<SettingRow> join(std::initializer_list<std::vector<SettingRow>> parts)
{
    std::vector<SettingRow> rows;
    for (const auto& part : parts)
        rows.insert(rows.end(), part.begin(), part.end());
    return rows;
}

Family makeFamily(std::string_view name, std::vector<SettingRow> rows, bool lockable,
                  bool needsTrigger = false, int channels = 1)
{
    if (lockable)
        rows.push_back({kLock, rule(ValueKind::Lock, 0, 1), "0"});
    Family family;
    family.name = name;
    family.rows = std::move(rows);
    std::vector<std::string_view> headers;
    for (std::size_t i = 0; i < family.rows.size(); ++i) {
        headers.push_back(family.rows[i].header);
        if (family.rows[i].rule.kind == ValueKind::Address)
            family.addressRow = i;
        if (family.rows[i].rule.kind == ValueKind::Lock)
            family.lockRow = i;
    }
    family.headers = scpi::HeaderTable(headers);
    family.lockable = lockable;
    family.needsTrigger = needsTrigger;
    family.channels = channels;
    return family;
}

struct Families {
    Family parallel, basic, analog, serial74, serial76, serial79, serial25, serial85, serial17,
        serial22, printer70A, printer70B;
};

Families buildFamilies()
{
    Families f;
    f.parallel =
        makeFamily("parallel",
                   {
                       kAddressRow,
                       {"SYSTem:COMMunicate:GPIB:ADDRess:EXTended", onOff(), "0"},
                       {"CONFigure:INPut", rule(ValueKind::ChannelList), "(@1:4)"},
                       {"CONFigure:INPut:POLarity", onOff(), "1"},
                       {"CONFigure:INPut:HANDshake", onOff(), "1"},
                       {"CONFigure:EDR", onOff(), "1"},
                       {"CONFigure:INHibit", onOff(), "0"},
                       {"FORMat:TALK", oneOf(kTalkFormats), "ASC"},
                       {"FORMat:TALK:TRANSlate", rule(ValueKind::Text16), "0123456789ABCDEF"},
                       {"CONFigure:OUTput", rule(ValueKind::ChannelList), "(@1:4)"},
                       {"CONFigure:OUTput:POLarity", onOff(), "1"},
                       {"CONFigure:OUTput:HANDshake", onOff(), "1"},
                       {"CONFigure:STRobe", onOff(), "0"},
                       {"FORMat:LIST", oneOf(kListFormats), "ASC"},
                       {"CONFigure:REMote", onOff(), "0"},
                       {"CONFigure:RESet", onOff(), "0"},
                       {"CONFigure:TRIGger", onOff(), "0"},
                       {"CONFigure:ASTatus", onOff(), "1"},
                       {"CONFigure:BSTatus", onOff(), "1"},
                   },
                   true);
    f.basic = makeFamily("basic", {kAddressRow}, true);
    f.analog = makeFamily(
        "analog",
        {
            kAddressRow,
            {"SYSTem:COMMunicate:GPIB:ADDRess:EXTended", onOff(), "0"},
            {"VOLTage:OFFSet", volts(-10, 10), "+00.0000"},
            {"VOLTage:SLOPe", volts(-99.9999, 99.9999), "+01.0000"},
            {"VOLTage:LIMit", volts(0, 10, false), "10.0000"},
            {"VOLTage:POLarity", integer(1, 2), "2"},
            {"VOLTage", volts(-10, 10), "+00.0000"},
            {"OUTPut:POLarity", onOff(), "0"},
            {"OUTPut:STATe", onOff(), "0"},
            {"MEASure:RANGe", rule(ValueKind::NumberChoice, 0, 0, 1, kInputRanges), "10"},
            {"MEASure:POLarity", integer(1, 2), "2"},
            {"MEASure:AVERage", integer(1, 50), "1"},
            {"CALibration:FAULt", onOff(), "0"},
        },
        true);
    f.serial74 = makeFamily("serial, multi-mode",
                            join({{{"SYSTem:MODE", oneOf(kSerialModes), "G"},
                                   {"SYSTem:EMULation", oneOf(kEmulations), "NI"},
                                   kAddressRow},
                                  serialLine(115200),
                                  serialFraming(),
                                  {{"SYSTem:COMMunicate:GPIB:SWAP", oneOf(kSwaps), "NONE"}},
                                  endOfMessage(),
                                  {{"SYSTem:COMMunicate:SERial:RS485", onOff(), "0"}}}),
                            false, true);
    f.serial76 = makeFamily("serial, multi-mode, 38400",
                            join({{{"SYSTem:MODE", oneOf(kSerialModes), "G"},
                                   {"SYSTem:EMULation", oneOf(kEmulations), "NI"},
                                   kAddressRow},
                                  serialLine(38400),
                                  serialFraming(),
                                  endOfMessage()}),
                            false, true);
    f.serial79 =
        makeFamily("serial, four channels",
                   join({{kAddressRow, {"SYSTem:COMMunicate:GPIB:BUFSize", integer(8, 52, 4), "8"}},
                         serialLine(115200),
                         serialFraming(),
                         endOfMessage()}),
                   false, false, 4);
    const std::vector<SettingRow> serialSingle =
        join({serialLine(38400), {{"SYSTem:COMMunicate:SERial:SBITs", integer(1, 2), "1"}}});
    const SettingRow rs485{"SYSTem:COMMunicate:SERial:RS485", onOff(), "0"};
    const SettingRow talkData{"FORMat:TALK", oneOf(kTalkData), "ASC"};
    const SettingRow calDate{"CALibration:DATE", rule(ValueKind::Date), "01/01/2000"};
    f.serial25 =
        makeFamily("serial, extended addressing",
                   join({{kAddressRow, {"SYSTem:COMMunicate:GPIB:ADDRess:EXTended", onOff(), "0"}},
                         serialSingle,
                         {rs485, talkData, calDate}}),
                   true);
    f.serial85 = makeFamily("serial, tristate",
                            join({{kAddressRow}, serialSingle, {rs485, talkData, calDate}}), true);
    const std::vector<SettingRow> portHead = {kAddressRow,
                                              {"SYSTem:MODE", oneOf(kPortModes), "STAN"}};
    const SettingRow timeout{"SYSTem:COMMunicate:SERial:TIMEout", integer(25, 65535), "1000"};
    const std::vector<SettingRow> gpibAdd = {
        {"SYSTem:COMMunicate:GPIB:ADD:CHARacter", rule(ValueKind::HexByte), "0D"},
        {"SYSTem:COMMunicate:GPIB:ADD:ENABle", onOff(), "0"},
    };
    f.serial17 = makeFamily("serial, port modes",
                            join({portHead, serialSingle, {timeout}, gpibAdd, {calDate}}), true);
    f.serial22 = makeFamily(
        "serial, port modes, RS-485",
        join(
            {portHead,
             serialSingle,
             {timeout, rs485, {"SYSTem:COMMunicate:SERial:EOMchr", rule(ValueKind::HexByte), "0A"}},
             gpibAdd,
             {calDate}}),
        true);
    const std::vector<SettingRow> printerHead = {
        {"SYSTem:EMULation", oneOf(kEmulations), "NI"},
        {"SYSTem:MODE", oneOf(kPrinterModes), "G"},
        kAddressRow,
        {"SYSTem:COMMunicate:GPIB:FORMfeed", onOff(), "1"},
        {"SYSTem:COMMunicate:GPIB:PLOT", onOff(), "0"},
    };
    const SettingRow printerRole{"SYSTem:PMODe", oneOf(kPrinterRoles), "DEV"};
    f.printer70A = makeFamily("printer", join({printerHead, {printerRole}}), false, true);
    f.printer70B = makeFamily(
        "printer, idle",
        join({printerHead, {{"SYSTem:COMMunicate:GPIB:IDLE", onOff(), "0"}, printerRole}}), false,
        true);
    // Firmware levels of the bench's units, as their *IDN? answers give them.
    for (auto [family, level] : {std::pair{&f.parallel, "3.12"},
                                 {&f.basic, "1.40"},
                                 {&f.analog, "2.05"},
                                 {&f.serial74, "4.21"},
                                 {&f.serial76, "4.03"},
                                 {&f.serial79, "2.30"},
                                 {&f.serial25, "1.72"},
                                 {&f.serial85, "1.65"},
                                 {&f.serial17, "2.11"},
                                 {&f.serial22, "2.14"},
                                 {&f.printer70A, "1.08"},
                                 {&f.printer70B, "1.10"}})
        family->firmware = level;
    return f;
}

const Families& families()
{
    static const Families all = buildFamilies();
    return all;
}

std::vector<ModelSpec> buildModels()
{
    const Families& f = families();
    return {
        {"7311", &f.parallel, 5},  {"7314A", &f.serial74, 0},   {"7314B", &f.serial74, 0},
        {"7317", &f.serial17, 0},  {"7321", &f.basic, 0},       {"7322", &f.serial22, 0},
        {"7325", &f.serial25, 0},  {"7325A", &f.serial25, 0},   {"7328", &f.parallel, 16},
        {"7331", &f.serial17, 0},  {"7334", &f.serial85, 0},    {"7334A", &f.serial85, 0},
        {"7337B", &f.parallel, 7}, {"7340A", &f.serial25, 0},   {"7352A", &f.analog, 0},
        {"7355", &f.parallel, 6},  {"7357", &f.basic, 0},       {"7360", &f.serial17, 0},
        {"7362", &f.basic, 0},     {"7370A", &f.printer70A, 0}, {"7370B", &f.printer70B, 0},
        {"7374A", &f.serial74, 0}, {"7374B", &f.serial74, 0},   {"7376", &f.serial76, 0},
        {"7379", &f.serial79, 0},  {"7385", &f.serial85, 0},    {"7385A", &f.serial85, 0},
    };
}

// ---------------------------------------------------------------------------------------------
// Value checks

Checked accepted(std::string value) { return {Verdict::Accepted, std::move(value)}; }
Checked commandError() { return {Verdict::CommandError, {}}; }
Checked executionError() { return {Verdict::ExecutionError, {}}; }

std::string wholeNumber(double value) { return std::to_string(static_cast<long long>(value)); }

// A number the unit rounds to a whole number (IEEE 488.2 rounds decimal data given for an
// integer setting).
std::optional<double> roundedNumber(std::string_view text)
{
    const auto number = scpi::decimalNumber(text);
    if (!number || !std::isfinite(*number))
        return std::nullopt;
    return std::nearbyint(*number);
}

Checked checkSwitch(std::string_view text)
{
    if (scpi::equalsIgnoreCase(text, "ON"))
        return accepted("1");
    if (scpi::equalsIgnoreCase(text, "OFF"))
        return accepted("0");
    const auto number = roundedNumber(text);
    if (!number)
        return commandError();
    if (*number == 0 || *number == 1)
        return accepted(wholeNumber(*number));
    return executionError();
}

std::string collapseBlanks(std::string_view text)
{
    std::string out;
    bool blank = false;
    for (const char c : text) {
        if (c == ' ' || c == '\t') {
            blank = true;
            continue;
        }
        if (blank && !out.empty())
            out += ' ';
        blank = false;
        out += c;
    }
    return out;
}

Checked checkChoice(std::span<const std::string_view> choices, std::string_view text)
{
    const std::string given = collapseBlanks(text);
    for (const std::string_view choice : choices) {
        // A choice of several words ("TALK ONLY") is written out; single words are mnemonics.
        if (choice.find(' ') != std::string_view::npos) {
            if (scpi::equalsIgnoreCase(choice, given))
                return accepted(std::string(choice));
        } else if (scpi::namesMnemonic(choice, given)) {
            return accepted(scpi::shortForm(choice));
        }
    }
    return executionError();
}

// Digits only, at least one and at most `maxDigits`.
std::optional<int> smallNumber(std::string_view text, std::size_t maxDigits)
{
    if (text.empty() || text.size() > maxDigits)
        return std::nullopt;
    int value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return value;
}

Checked checkChannelList(std::string_view text, int bound)
{
    if (text.size() < 4 || text.substr(0, 2) != "(@" || text.back() != ')')
        return executionError();
    std::string_view items = text.substr(2, text.size() - 3);
    // The unit keeps the list as a set of channels and answers it in its shortest form.
    std::array<bool, 32> chosen{};
    while (true) {
        const std::size_t comma = items.find(',');
        const std::string_view item = scpi::trim(items.substr(0, comma));
        const std::size_t colon = item.find(':');
        const auto first = smallNumber(scpi::trim(item.substr(0, colon)), 3);
        const auto last = colon == std::string_view::npos
                              ? first
                              : smallNumber(scpi::trim(item.substr(colon + 1)), 3);
        if (!first || !last || *first < 1 || *last > bound || *last >= int(chosen.size()) ||
            *first > *last)
            return executionError();
        for (int c = *first; c <= *last; ++c)
            chosen.at(static_cast<std::size_t>(c)) = true;
        if (comma == std::string_view::npos)
            break;
        items.remove_prefix(comma + 1);
    }
    std::string canonical = "(@";
    for (int c = 1; c < int(chosen.size()); ++c) {
        if (!chosen.at(static_cast<std::size_t>(c)))
            continue;
        int end = c;
        while (end + 1 < int(chosen.size()) && chosen.at(static_cast<std::size_t>(end + 1)))
            ++end;
        if (canonical.size() > 2)
            canonical += ',';
        canonical += std::to_string(c);
        if (end > c)
            canonical += ':' + std::to_string(end);
        c = end;
    }
    canonical += ')';
    // A list whose answer would not fit a reply (17 characters before the line feed) is more
    // than the unit can hold.
    if (canonical.size() > 17)
        return executionError();
    return accepted(canonical);
}

bool leapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

Checked checkDate(std::string_view text)
{
    const std::size_t slash1 = text.find('/');
    const std::size_t slash2 =
        slash1 == std::string_view::npos ? std::string_view::npos : text.find('/', slash1 + 1);
    if (slash2 == std::string_view::npos)
        return executionError();
    const auto month = smallNumber(text.substr(0, slash1), 2);
    const auto day = smallNumber(text.substr(slash1 + 1, slash2 - slash1 - 1), 2);
    const std::string_view yearText = text.substr(slash2 + 1);
    if (!month || !day || yearText.size() != 4)
        return executionError();
    const int year = smallNumber(yearText, 4).value_or(0);
    if (*month < 1 || *month > 12 || year < 1900 || year > 2099)
        return executionError();
    constexpr std::array<int, 12> kDays = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const int daysInMonth =
        kDays.at(static_cast<std::size_t>(*month - 1)) + (*month == 2 && leapYear(year) ? 1 : 0);
    if (*day < 1 || *day > daysInMonth)
        return executionError();
    char buffer[48];
    std::snprintf(buffer, sizeof buffer, "%02d/%02d/%04d", *month, *day, year);
    return accepted(buffer);
}

Checked checkFixed4(const ValueRule& rule, std::string_view text)
{
    const auto number = scpi::decimalNumber(text);
    if (!number || !std::isfinite(*number))
        return commandError();
    // The unit keeps four decimals; the range applies to what it keeps.
    const double kept = std::nearbyint(*number * 10000.0) / 10000.0;
    if (kept < rule.lo - 1e-9 || kept > rule.hi + 1e-9)
        return executionError();
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, rule.signedForm ? "%+08.4f" : "%07.4f",
                  kept == 0 ? 0.0 : kept);
    return accepted(buffer);
}

Checked checkNumberChoice(std::span<const std::string_view> choices, std::string_view text)
{
    const auto number = scpi::decimalNumber(text);
    if (!number)
        return commandError();
    for (const std::string_view choice : choices) {
        const auto value = scpi::decimalNumber(choice);
        if (value && std::fabs(*value - *number) <= 1e-9 * std::fabs(*value))
            return accepted(std::string(choice));
    }
    return executionError();
}

Checked checkHexByte(std::string_view text)
{
    for (const std::string_view prefix : {"#H", "0X", "&H"}) {
        if (text.size() > prefix.size() && scpi::equalsIgnoreCase(text.substr(0, 2), prefix)) {
            text.remove_prefix(2);
            break;
        }
    }
    if (text.empty() || text.size() > 2)
        return executionError();
    int value = 0;
    for (const char c : text) {
        int digit = 0;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else if (c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else
            return executionError();
        value = value * 16 + digit;
    }
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%02X", value);
    return accepted(buffer);
}

Checked checkText16(std::string_view text)
{
    if (text.size() >= 2 && (text.front() == '"' || text.front() == '\'') &&
        text.back() == text.front())
        text = text.substr(1, text.size() - 2);
    // The table is answered unquoted, so blanks or quotes at its ends would not come back as they
    // went.
    const auto awkward = [](char c) { return c == ' ' || c == '"' || c == '\''; };
    if (text.size() != 16 || awkward(text.front()) || awkward(text.back()))
        return executionError();
    for (const char c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7E)
            return executionError();
    }
    return accepted(std::string(text));
}

} // namespace

std::span<const ModelSpec> allModels()
{
    static const std::vector<ModelSpec> models = buildModels();
    return models;
}

const ModelSpec* findModel(std::string_view name)
{
    for (const ModelSpec& model : allModels()) {
        if (model.name == name)
            return &model;
    }
    return nullptr;
}

Checked checkValue(const ValueRule& rule, std::string_view text, int stringBytes)
{
    text = scpi::trim(text);
    if (text.empty())
        return commandError(); // a setting without its value
    switch (rule.kind) {
    case ValueKind::Switch:
    case ValueKind::Lock:
        return checkSwitch(text);
    case ValueKind::Choice:
        return checkChoice(rule.choices, text);
    case ValueKind::ChannelList:
        return checkChannelList(text, stringBytes);
    case ValueKind::Date:
        return checkDate(text);
    case ValueKind::Fixed4:
        return checkFixed4(rule, text);
    case ValueKind::NumberChoice:
        return checkNumberChoice(rule.choices, text);
    case ValueKind::HexByte:
        return checkHexByte(text);
    case ValueKind::Text16:
        return checkText16(text);
    case ValueKind::Address:
    case ValueKind::Integer:
    case ValueKind::Baud:
        break;
    }
    const auto number = roundedNumber(text);
    if (!number)
        return commandError();
    if (*number < rule.lo || *number > rule.hi)
        return executionError();
    if (rule.kind == ValueKind::Integer && std::fmod(*number - rule.lo, rule.step) != 0)
        return executionError();
    if (rule.kind == ValueKind::Baud) {
        bool standard = false;
        for (const int rate : kStandardBauds)
            standard = standard || rate == *number;
        if (!standard)
            return executionError();
    }
    return accepted(wholeNumber(*number));
}

} // namespace gpibconfig::sim
