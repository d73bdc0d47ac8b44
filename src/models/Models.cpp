// SPDX-License-Identifier: GPL-3.0-or-later
#include "Models.h"

#include "core/QtText.h"

#include <array>

namespace gpibconfig {

namespace {

// Parallel digital interface units: string data, polarities, handshakes, data formats.
constexpr std::array<MenuFunction, 21> kParallel7311{{
    {"Bus Address - 0 to 30", "SYST:COMM:GPIB:ADDR"},
    {"Bus Address Ext - 1=On/0=Off", "SYST:COMM:GPIB:ADDR:EXT"},
    {"Input String Bytes - (@1:5)", "CONF:INP"},
    {"Input Data Pol - 1/0 ", "CONF:INP:POL"},
    {"Input Handshake - 1=On/0=Off ", "CONF:INP:HAND"},
    {"EDR Signal Pol 0=Low, 1=Hi ", "CONF:EDR"},
    {"Inhibit Signal Pol 0=Low, 1=Hi", "CONF:INH"},
    {"Talk Format - Ascii/HEXL/HEX/Table", "FORM:TALK"},
    {"Talk Translate Table-16 chars", "FORM:TALK:TRANS"},
    {"Output String Bytes - (@1:5)", "CONF:OUT"},
    {"Output Data Polarity - 1/0", "CONF:OUT:POL"},
    {"Output Handshake - 1=On/0=Off", "CONF:OUT:HAND"},
    {"Output Strobe Pol 0=Low, 1=Hi", "CONF:STROBE"},
    {"List Format-ASCii/HEXL/Hex/7343/BIN", "FORM:LIST"},
    {"Remote Signal Pol 0=Low, 1=Hi", "CONF:REM"},
    {"Reset Pulse Pol 0=Low, 1=Hi", "CONF:RES"},
    {"Trigger Pulse Pol 0=Low, 1=Hi", "CONF:TRIG"},
    {"Status A Pol 0=Low, 1=Hi", "CONF:ASTATUS"},
    {"Status B Pol 0=Low, 1=Hi", "CONF:BSTATUS"},
    {"ESR Enable Bits - 0 to 255", "*ESE"},
    {"SRE Enable Bits - 0 to 255", "*SRE"},
}};

constexpr std::array<MenuFunction, 21> kParallel7355{{
    {"Bus Address - 0 to 30", "SYST:COMM:GPIB:ADDR"},
    {"Bus Address Ext - 1=On/0=Off", "SYST:COMM:GPIB:ADDR:EXT"},
    {"Input String Bytes - (@1:6)", "CONF:INP"},
    {"Input Data Polarity - 1/0 ", "CONF:INP:POL"},
    {"Input Handshake - 1=On/0=Off ", "CONF:INP:HAND"},
    {"EDR Signal Pol. 0=Low, 1=Hi ", "CONF:EDR"},
    {"Inhibit Sig Pol. 0=Low, 1=Hi", "CONF:INH"},
    {"Talk Format - ASCii/HEX/HEXL/Table", "FORM:TALK"},
    {"Talk Translate Table-16 chars", "FORM:TALK:TRANS"},
    {"Output String Bytes - (@1:6)", "CONF:OUT"},
    {"Output Data Pol. - 1/0", "CONF:OUT:POL"},
    {"Output Handshake - 1=On/0=Off", "CONF:OUT:HAND"},
    {"Output Strobe Pol. 0=Low, 1=Hi", "CONF:STROBE"},
    {"List Format-ASCii/HEXL/HEX/7343/BIN", "FORM:LIST"},
    {"Remote Sig Pol. 0=Low, 1=Hi", "CONF:REM"},
    {"Reset Pulse Pol. 0=Low, 1=Hi", "CONF:RES"},
    {"Trigger Pulse Pol. 0=Low, 1=Hi", "CONF:TRIG"},
    {"Status A Polarity 0=Low, 1=Hi", "CONF:ASTATUS"},
    {"Status B Polarity 0=Low, 1=Hi", "CONF:BSTATUS"},
    {"ESR Enable Bits - 0 to 255", "*ESE"},
    {"SRE Enable Bits - 0 to 255", "*SRE"},
}};

constexpr std::array<PromptOverride, 2> k7328Prompts{{
    {3, "Input String Bytes - (@1:16)"},
    {10, "Output String Bytes - (@1:16)"},
}};

constexpr std::array<PromptOverride, 2> k7337BPrompts{{
    {3, "Input String Bytes - (@1:7)"},
    {10, "Output String Bytes - (@1:7)"},
}};

// Analog unit: voltage output, digital output, voltage input.
constexpr std::array<MenuFunction, 15> kAnalog7352A{{
    {"Bus Address - 0 to 30 or 31", "SYST:COMM:GPIB:ADDR"},
    {"Bus Address Ext Sw - 1/0", "SYST:COMM:GPIB:ADDR:EXT"},
    {"V Out Offset +/-dd.dddd", "VOLT:OFFSET"},
    {"V Out Slope +/-dd.dddd", "VOLT:SLOPe"},
    {"V Out Limit dd.dddd", "VOLT:LIMit"},
    {"V Out Pol 1=Uni, 2=Bipolar", "VOLT:POL"},
    {"V Out pon value +/-dd.dddd", "VOLT"},
    {"Digital Out Polarity 0/1", "OUTP:POL"},
    {"Digital Out pon value 0/1", "OUTP:STATE"},
    {"V In Range - 10,1, or 0.1", "MEAS:RANGE"},
    {"V In Pol - 1=Uni, 2=Bipolar ", "MEAS:POL"},
    {"V In Average - 1-50", "MEAS:AVER"},
    {"Fault Output Enabled - 1/0", "CAL:FAULT"},
    {"ESR Enable Bits - 0 to 255", "*ESE"},
    {"SRE Enable Bits - 0 to 255", "*SRE"},
}};

// Units with only the bus address and the status-enable registers.
constexpr std::array<MenuFunction, 3> kBasic{{
    {"Bus Address - 0 to 30 or 31", "SYST:COMM:GPIB:ADDR"},
    {"ESR Enable Bits - 0 to 255", "*ESE"},
    {"SRE Enable Bits - 0 to 255", "*SRE"},
}};

// Serial units with more than one operating mode.
constexpr std::array<MenuFunction, 17> kSerial7374{{
    {"Mode - G/S", "SYST:MODE"},
    {"Emulation - ZEB/NI", "SYST:EMUL"},
    {"Bus Address - 0 to 30 or 31", "SYST:COMM:GPIB:ADDR"},
    {"Baud - enter rate 300-115200", "SYST:COMM:SER:BAUD"},
    {"Data bits - 7/8", "SYST:COMM:SER:BITS"},
    {"Parity - Odd/even/none", "SYST:COMM:SER:PAR"},
    {"Check parity - 0/1", "SYST:COMM:SER:PAR:CHECK"},
    {"Stop bits - 1/2", "SYST:COMM:SER:SBIT"},
    {"Pace - None/Xon", "SYST:COMM:SER:PACE"},
    {"Swap - Time/CR/LF/none", "SYST:COMM:GPIB:SWAP"},
    {"EOM char - LF = 10, CR = 13", "SYST:COMM:SER:EOM"},
    {"Add char after EOM char - 1/0", "SYST:COMM:SER:ADD:ENAB"},
    {"Added char - decimal value", "SYST:COMM:SER:ADD:CHAR"},
    {"EOI on last char - 1/0", "SYST:COMM:SER:EOI"},
    {"Tristate Xtmr btwn msgs - 1/0", "SYST:COMM:SER:RS485"},
    {"ESR Enable Bits - 0 to 255", "*ESE"},
    {"SRE Enable Bits - 0 to 255", "*SRE"},
}};

// Stored without the "SYST" prefix, which the engine puts in front.
constexpr std::array<MenuFunction, 13> kSerial7376{{
    {"Mode - G/S", ":MODE"},
    {"Emulation - ZEB/NI", ":EMUL"},
    {"Bus Address - 0 to 30 or 31", ":COMM:GPIB:ADDR"},
    {"Baud - enter rate 300-38400", ":COMM:SER:BAUD"},
    {"Data bits - 7/8", ":COMM:SER:BITS"},
    {"Parity - Odd/even/none", ":COMM:SER:PAR"},
    {"Check parity - 0/1", ":COMM:SER:PAR:CHECK"},
    {"Stop bits - 1/2", ":COMM:SER:SBIT"},
    {"Pace - None/Xon", ":COMM:SER:PACE"},
    {"EOM char - LF = 10, CR = 13", ":COMM:SER:EOM"},
    {"Add char after EOM char - 1/0", ":COMM:SER:ADD:ENAB"},
    {"Added char - decimal value", ":COMM:SER:ADD:CHAR"},
    {"EOI on last char - 1/0", ":COMM:SER:EOI"},
}};

// The four-channel unit: the same menu for every channel.
constexpr std::array<MenuFunction, 14> kSerial7379{{
    {"Bus Address - 0 to 30 or 31", "SYST:COMM:GPIB:ADDR"},
    {"GPIB Buffer - 8-52K in 4K inc", "SYST:COMM:GPIB:BUFS"},
    {"Baud - enter rate 300-115200", "SYST:COMM:SER:BAUD"},
    {"Data bits - 7/8", "SYST:COMM:SER:BITS"},
    {"Parity - Odd/even/none", "SYST:COMM:SER:PAR"},
    {"Check parity - 0/1", "SYST:COMM:SER:PAR:CHECK"},
    {"Stop bits - 1/2", "SYST:COMM:SER:SBIT"},
    {"Pace - None/Xon", "SYST:COMM:SER:PACE"},
    {"EOM char - LF = 10, CR = 13", "SYST:COMM:SER:EOM"},
    {"Add char after EOM char - 1/0", "SYST:COMM:SER:ADD:ENAB"},
    {"Added char - decimal value", "SYST:COMM:SER:ADD:CHAR"},
    {"EOI on last char - 1/0", "SYST:COMM:SER:EOI"},
    {"ESR Enable Bits - 0 to 255", "*ESE"},
    {"SRE Enable Bits - 0 to 255", "*SRE"},
}};

// Single-mode serial units with a calibration date and a settings lock.
constexpr std::array<MenuFunction, 9> kSerial7325{{
    {"Bus Address - 0 to 30 or 31", "SYST:COMM:GPIB:ADDR"},
    {"Ext Address Enable - 0/1", "SYST:COMM:GPIB:ADDR:EXT"},
    {"Baud - enter rate 300 to 38400", "SYST:COMM:SER:BAUD"},
    {"Data bits - 7/8", "SYST:COMM:SER:BITS"},
    {"Parity - Odd/even/none", "SYST:COMM:SER:PAR"},
    {"Stop Bits - 1/2", "SYST:COMM:SER:SBIT"},
    {"RS-485 half-duplex operation-1/0", "SYST:COMM:SER:RS485"},
    {"Talk Data - ASCii/HEXL", "FORM:TALK"},
    {"Cal Date - enter date mm/dd/yyyy", "CAL:DATE"},
}};

constexpr std::array<MenuFunction, 8> kSerial7385{{
    {"Bus Address - 0 to 30 or 31", "SYST:COMM:GPIB:ADDR"},
    {"Baud - enter rate 300 to 38400", "SYST:COMM:SER:BAUD"},
    {"Data bits - 7/8", "SYST:COMM:SER:BITS"},
    {"Parity - Odd/even/none", "SYST:COMM:SER:PAR"},
    {"Stop Bits - 1/2", "SYST:COMM:SER:SBIT"},
    {"Tristate xtmr btwn msgs - 1/0", "SYST:COMM:SER:RS485"},
    {"Talk Data - ASCii/HEXL", "FORM:TALK"},
    {"Cal Date - enter date mm/dd/yyyy", "CAL:DATE"},
}};

constexpr std::array<MenuFunction, 10> kSerial7317{{
    {"Bus Address - 0 to 30 or 31", "SYST:COMM:GPIB:ADDR"},
    {"Mode - Async/Standard/Smart", "SYST:MODE"},
    {"Baud - enter rate 300 to 38400", "SYST:COMM:SER:BAUD"},
    {"Data bits - 7/8", "SYST:COMM:SER:BITS"},
    {"Parity - Odd/even/none", "SYST:COMM:SER:PAR"},
    {"Stop Bits - 1/2", "SYST:COMM:SER:SBIT"},
    {"Timeout - 25 to 65535 ms\"", "SYST:COMM:SER:TIME"},
    {"GPIB Add Character - hex value", "SYST:COMM:GPIB:ADD:CHAR"},
    {"GPIB Add Char Enable - 0/1", "SYST:COMM:GPIB:ADD:ENAB"},
    {"Cal Date - enter date mm/dd/yyyy", "CAL:DATE"},
}};

constexpr std::array<MenuFunction, 12> kSerial7322{{
    {"Bus Address - 0 to 30 or 31", "SYST:COMM:GPIB:ADDR"},
    {"Mode - Async/Standard/Smart", "SYST:MODE"},
    {"Baud - enter rate 300 to 38400", "SYST:COMM:SER:BAUD"},
    {"Data bits - 7/8", "SYST:COMM:SER:BITS"},
    {"Parity - Odd/even/none", "SYST:COMM:SER:PAR"},
    {"Stop Bits - 1/2", "SYST:COMM:SER:SBIT"},
    {"Timeout - 25 to 65535 ms\"", "SYST:COMM:SER:TIME"},
    {"RS485 half-duplex operation - 0/1", "SYST:COMM:SER:RS485"},
    {"External serial EOMchar-hex value", "SYST:COMM:SER:EOMchr"},
    {"GPIB Add Character - hex value", "SYST:COMM:GPIB:ADD:CHAR"},
    {"GPIB Add Char Enable - 0/1", "SYST:COMM:GPIB:ADD:ENAB"},
    {"Cal Date - enter date mm/dd/yyyy", "CAL:DATE"},
}};

// Printer-port units; headers stored without the "SYST" prefix.
constexpr std::array<MenuFunction, 6> kPrinter7370A{{
    {"Emulation - ZEB/NI", ":EMUL"},
    {"Mode - G/P", ":MODE"},
    {"Bus Address - 0 to 30 or 31", ":COMM:GPIB:ADDR"},
    {"Send FormFeed Char - 0 or 1", ":COMM:GPIB:FORM"},
    {"Send PlotMode sequence - 0 or 1", ":COMM:GPIB:PLOT"},
    {"PMode - CONTROLLER/DEVICE/TALK ONLY", ":PMOD"},
}};

constexpr std::array<MenuFunction, 7> kPrinter7370B{{
    {"Emulation - ZEB/NI", ":EMUL"},
    {"Mode - G/P", ":MODE"},
    {"Bus Address - 0 to 30 or 31", ":COMM:GPIB:ADDR"},
    {"Send FormFeed Char - 0 or 1", ":COMM:GPIB:FORM"},
    {"Send PlotMode sequence - 0 or 1", ":COMM:GPIB:PLOT"},
    {"Enable spc-bkspc every 8s - 0 or 1", ":COMM:GPIB:IDLE"},
    {"PMode - CONTROLLER/DEVICE/TALK ONLY", ":PMOD"},
}};

// The menus with the function that moves the unit's bus address.
constexpr Menu kParallel7311Menu{.functions = kParallel7311, .addressFunction = 1};
constexpr Menu kParallel7355Menu{.functions = kParallel7355, .addressFunction = 1};
constexpr Menu kParallel7328Menu{
    .functions = kParallel7311, .addressFunction = 1, .overrides = k7328Prompts};
constexpr Menu kParallel7337BMenu{
    .functions = kParallel7311, .addressFunction = 1, .overrides = k7337BPrompts};
constexpr Menu kAnalog7352AMenu{.functions = kAnalog7352A, .addressFunction = 1};
constexpr Menu kBasicMenu{.functions = kBasic, .addressFunction = 1};
constexpr Menu kSerial7374Menu{.functions = kSerial7374, .addressFunction = 3};
constexpr Menu kSerial7376Menu{.functions = kSerial7376, .addressFunction = 3};
constexpr Menu kSerial7379Menu{.functions = kSerial7379, .addressFunction = 1};
constexpr Menu kSerial7325Menu{.functions = kSerial7325, .addressFunction = 1};
constexpr Menu kSerial7385Menu{.functions = kSerial7385, .addressFunction = 1};
constexpr Menu kSerial7317Menu{.functions = kSerial7317, .addressFunction = 1};
constexpr Menu kSerial7322Menu{.functions = kSerial7322, .addressFunction = 1};
constexpr Menu kPrinter7370AMenu{.functions = kPrinter7370A, .addressFunction = 3};
constexpr Menu kPrinter7370BMenu{.functions = kPrinter7370B, .addressFunction = 3};

// One row per list entry, in list order. Unlisted fields keep the defaults of Model: no power
// cycle, no lock, no trigger, no notice, one channel, no header prefix.
constexpr std::array<Model, 27> kModels{{
    {.entry = "7311",
     .code = 7311,
     .menu = &kParallel7311Menu,
     .lockable = true,
     .noticeModel = "7311"},
    {.entry = "7314A",
     .code = 7314,
     .menu = &kSerial7374Menu,
     .powerCycle = true,
     .triggerAtStart = true},
    {.entry = "7314B",
     .code = 7314,
     .menu = &kSerial7374Menu,
     .powerCycle = true,
     .triggerAtStart = true},
    {.entry = "7317", .code = 7317, .menu = &kSerial7317Menu, .lockable = true},
    {.entry = "7321", .code = 7321, .menu = &kBasicMenu, .lockable = true},
    {.entry = "7322", .code = 7322, .menu = &kSerial7322Menu, .lockable = true},
    {.entry = "7325", .code = 7325, .menu = &kSerial7325Menu, .lockable = true},
    {.entry = "7325A", .code = 7325, .menu = &kSerial7325Menu, .lockable = true},
    {.entry = "7328",
     .code = 7328,
     .menu = &kParallel7328Menu,
     .lockable = true,
     .noticeModel = "7328"},
    {.entry = "7331", .code = 7331, .menu = &kSerial7317Menu, .lockable = true},
    {.entry = "7334", .code = 7334, .menu = &kSerial7385Menu, .lockable = true},
    {.entry = "7334A", .code = 7334, .menu = &kSerial7385Menu, .lockable = true},
    {.entry = "7337B",
     .code = 7337,
     .menu = &kParallel7337BMenu,
     .lockable = true,
     .noticeModel = "7337B"},
    {.entry = "7340A", .code = 7340, .menu = &kSerial7325Menu, .lockable = true},
    {.entry = "7352A", .code = 7352, .menu = &kAnalog7352AMenu, .lockable = true},
    {.entry = "7355",
     .code = 7355,
     .menu = &kParallel7355Menu,
     .lockable = true,
     .noticeModel = "7355"},
    {.entry = "7357", .code = 7357, .menu = &kBasicMenu, .lockable = true},
    {.entry = "7360", .code = 7360, .menu = &kSerial7317Menu, .lockable = true},
    {.entry = "7362", .code = 7362, .menu = &kBasicMenu, .lockable = true},
    {.entry = "7370A",
     .code = 7370,
     .menu = &kPrinter7370AMenu,
     .powerCycle = true,
     .triggerAtStart = true,
     .headerPrefix = "SYST"},
    {.entry = "7370B",
     .code = 7370,
     .menu = &kPrinter7370BMenu,
     .powerCycle = true,
     .triggerAtStart = true,
     .headerPrefix = "SYST"},
    {.entry = "7374A",
     .code = 7374,
     .menu = &kSerial7374Menu,
     .powerCycle = true,
     .triggerAtStart = true},
    {.entry = "7374B",
     .code = 7374,
     .menu = &kSerial7374Menu,
     .powerCycle = true,
     .triggerAtStart = true},
    {.entry = "7376",
     .code = 7376,
     .menu = &kSerial7376Menu,
     .powerCycle = true,
     .triggerAtStart = true,
     .headerPrefix = "SYST"},
    {.entry = "7379", .code = 7379, .menu = &kSerial7379Menu, .channelCount = 4},
    {.entry = "7385", .code = 7385, .menu = &kSerial7385Menu, .lockable = true},
    {.entry = "7385A", .code = 7385, .menu = &kSerial7385Menu, .lockable = true},
}};

// The leading number of an entry ("7374" of "7374A"); -1 for none.
constexpr int leadingNumber(const char* entry)
{
    int n = -1;
    for (; *entry >= '0' && *entry <= '9' && n < 100000; ++entry)
        n = (n < 0 ? 0 : n * 10) + (*entry - '0');
    return n;
}

// Every row must be one the windows can show: a menu of 1..25 functions (the list holds no more),
// an address function inside it, at least one channel, and the channels of a multi-channel unit at
// secondary addresses 0..30. Its code, shown in the window title, is its entry's leading number,
// and its unit has an identification.
constexpr bool soundRows()
{
    for (const Model& m : kModels) {
        if (!m.menu || m.menu->count() < 1 || m.menu->count() > 25 || m.channelCount < 1 ||
            m.menu->addressFunction < 1 || m.menu->addressFunction > m.menu->count())
            return false;
        if (m.multiChannel() && (m.secondaryBase + 1 < 0 || m.secondaryBase + m.channelCount > 30))
            return false;
        if (leadingNumber(m.entry) != m.code || !m.idnMaker)
            return false;
    }
    return true;
}
static_assert(soundRows(), "a model row the windows cannot show");

} // namespace

std::optional<MenuFunction> Menu::function(int number) const
{
    if (number < 1 || number > count())
        return std::nullopt;
    MenuFunction f = functions[static_cast<std::size_t>(number - 1)];
    for (const PromptOverride& o : overrides)
        if (o.function == number)
            f.prompt = o.prompt;
    return f;
}

QString Model::busHeader(const MenuFunction& function) const
{
    return QLatin1String(headerPrefix) + QLatin1String(function.header);
}

std::optional<std::int16_t> Model::secondaryOf(double channel) const
{
    if (!multiChannel() || !(channel > 0) || channel > channelCount)
        return std::nullopt;
    return toInt16(channel + secondaryBase);
}

bool Model::identifiedBy(const QString& idn) const
{
    const QStringList fields = idn.split(QLatin1Char(','));
    return fields.size() >= 2 &&
           fields[0].trimmed().compare(QLatin1String(idnMaker), Qt::CaseInsensitive) == 0 &&
           fields[1].trimmed().compare(QLatin1String(idnModel ? idnModel : entry),
                                       Qt::CaseInsensitive) == 0;
}

QString Model::notice() const
{
    if (!noticeModel)
        return {};
    return QStringLiteral("    NOTE - This routine configures a ") + QLatin1String(noticeModel) +
           QStringLiteral(" for string data transfer") +
           QStringLiteral(" and does NOT configure the unit for byte transfer nor for") +
           QStringLiteral(" monitoring input data in the Questionable Register.") +
           QStringLiteral("    These functions require additional commands in the user's program") +
           QStringLiteral(" as they are too complex to implement in the configuration menu.") +
           QStringLiteral("    Press Cancel when ready to continue.");
}

std::span<const Model> models() { return kModels; }

const Model* modelForEntry(const QString& entry)
{
    for (const Model& m : kModels)
        if (entry == QLatin1String(m.entry))
            return &m;
    return nullptr;
}

QStringList modelEntries()
{
    QStringList out;
    out.reserve(static_cast<qsizetype>(kModels.size()));
    for (const Model& m : kModels)
        out << QLatin1String(m.entry);
    return out;
}

const Model* modelOfIdentification(const QString& idn)
{
    for (const Model& m : kModels)
        if (m.identifiedBy(idn))
            return &m;
    return nullptr;
}

} // namespace gpibconfig
