#include "ModelFamily.h"

#include <array>

namespace gpibconfig {

namespace {

// Parallel digital interface units: string data, polarities, handshakes, data formats.
constexpr std::array<MenuRow, 21> kParallel7311{{
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

constexpr std::array<MenuRow, 21> kParallel7355{{
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
constexpr std::array<MenuRow, 15> kAnalog7352A{{
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
constexpr std::array<MenuRow, 3> kBasic{{
    {"Bus Address - 0 to 30 or 31", "SYST:COMM:GPIB:ADDR"},
    {"ESR Enable Bits - 0 to 255", "*ESE"},
    {"SRE Enable Bits - 0 to 255", "*SRE"},
}};

// Serial units with more than one operating mode.
constexpr std::array<MenuRow, 17> kSerial7374{{
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
constexpr std::array<MenuRow, 13> kSerial7376{{
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
constexpr std::array<MenuRow, 14> kSerial7379{{
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
constexpr std::array<MenuRow, 9> kSerial7325{{
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

constexpr std::array<MenuRow, 8> kSerial7385{{
    {"Bus Address - 0 to 30 or 31", "SYST:COMM:GPIB:ADDR"},
    {"Baud - enter rate 300 to 38400", "SYST:COMM:SER:BAUD"},
    {"Data bits - 7/8", "SYST:COMM:SER:BITS"},
    {"Parity - Odd/even/none", "SYST:COMM:SER:PAR"},
    {"Stop Bits - 1/2", "SYST:COMM:SER:SBIT"},
    {"Tristate xtmr btwn msgs - 1/0", "SYST:COMM:SER:RS485"},
    {"Talk Data - ASCii/HEXL", "FORM:TALK"},
    {"Cal Date - enter date mm/dd/yyyy", "CAL:DATE"},
}};

constexpr std::array<MenuRow, 10> kSerial7317{{
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

constexpr std::array<MenuRow, 12> kSerial7322{{
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
constexpr std::array<MenuRow, 6> kPrinter7370A{{
    {"Emulation - ZEB/NI", ":EMUL"},
    {"Mode - G/P", ":MODE"},
    {"Bus Address - 0 to 30 or 31", ":COMM:GPIB:ADDR"},
    {"Send FormFeed Char - 0 or 1", ":COMM:GPIB:FORM"},
    {"Send PlotMode sequence - 0 or 1", ":COMM:GPIB:PLOT"},
    {"PMode - CONTROLLER/DEVICE/TALK ONLY", ":PMOD"},
}};

constexpr std::array<MenuRow, 7> kPrinter7370B{{
    {"Emulation - ZEB/NI", ":EMUL"},
    {"Mode - G/P", ":MODE"},
    {"Bus Address - 0 to 30 or 31", ":COMM:GPIB:ADDR"},
    {"Send FormFeed Char - 0 or 1", ":COMM:GPIB:FORM"},
    {"Send PlotMode sequence - 0 or 1", ":COMM:GPIB:PLOT"},
    {"Enable spc-bkspc every 8s - 0 or 1", ":COMM:GPIB:IDLE"},
    {"PMode - CONTROLLER/DEVICE/TALK ONLY", ":PMOD"},
}};

constexpr std::span<const PromptOverride> kNone{};

//                      name         menu            overrides      addr lock trig prefix  notice   channels
constexpr std::array<ModelRoutine, 17> kRoutines{{
    {"CONFIG11", kParallel7311, kNone, 1, 1, 0, "", "7311", 0},
    {"CONFIG55", kParallel7355, kNone, 1, 1, 0, "", "7355", 0},
    {"CONFIG28", kParallel7311, k7328Prompts, 1, 1, 0, "", "7328", 0},
    {"CONFIG37B", kParallel7311, k7337BPrompts, 1, 1, 0, "", "7337B", 0},
    {"CONFIG52A", kAnalog7352A, kNone, 1, 1, 0, "", nullptr, 0},
    {"CONFIG57", kBasic, kNone, 1, 1, 0, "", nullptr, 0},
    {"CONFIG62", kBasic, kNone, 1, 1, 0, "", nullptr, 0},
    {"CONFIG21", kBasic, kNone, 1, 1, 0, "", nullptr, 0},
    {"CONFIG74A", kSerial7374, kNone, 3, 0, 1, "", nullptr, 0},
    {"CONFIG76", kSerial7376, kNone, 3, 0, 1, "SYST", nullptr, 0},
    {"CONFIG79", kSerial7379, kNone, 1, 0, 0, "", nullptr, 4},
    {"CONFIG25", kSerial7325, kNone, 1, 1, 0, "", nullptr, 0},
    {"CONFIG85", kSerial7385, kNone, 1, 1, 0, "", nullptr, 0},
    {"CONFIG17", kSerial7317, kNone, 1, 1, 0, "", nullptr, 0},
    {"CONFIG22", kSerial7322, kNone, 1, 1, 0, "", nullptr, 0},
    {"CONFIG70A", kPrinter7370A, kNone, 3, 0, 1, "SYST", nullptr, 0},
    {"CONFIG70B", kPrinter7370B, kNone, 3, 0, 1, "SYST", nullptr, 0},
}};

const ModelRoutine* named(const char* name)
{
    for (const ModelRoutine& r : kRoutines)
        if (QLatin1String(r.name) == QLatin1String(name))
            return &r;
    return nullptr;
}

struct Dispatch {
    int code;
    const char* routine;
};

constexpr std::array<Dispatch, 21> kDispatch{{
    {7311, "CONFIG11"}, {7314, "CONFIG74A"}, {7374, "CONFIG74A"}, {7317, "CONFIG17"},
    {7331, "CONFIG17"}, {7360, "CONFIG17"},  {7321, "CONFIG21"},  {7322, "CONFIG22"},
    {7325, "CONFIG25"}, {7340, "CONFIG25"},  {7328, "CONFIG28"},  {7334, "CONFIG85"},
    {7385, "CONFIG85"}, {7337, "CONFIG37B"}, {7352, "CONFIG52A"}, {7355, "CONFIG55"},
    {7357, "CONFIG57"}, {7362, "CONFIG62"},  {7370, "CONFIG70A"}, {7376, "CONFIG76"},
    {7379, "CONFIG79"},
}};

} // namespace

std::vector<MenuRow> ModelRoutine::rows() const
{
    std::vector<MenuRow> out(menu.begin(), menu.end());
    for (const PromptOverride& o : overrides)
        if (o.row >= 1 && static_cast<std::size_t>(o.row) <= out.size())
            out[static_cast<std::size_t>(o.row - 1)].prompt = o.prompt;
    return out;
}

QString ModelRoutine::notice() const
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

const ModelRoutine* routineFor(int modelCode, const QString& modelNumber)
{
    if (modelCode == 7370 && modelNumber == QStringLiteral("7370B"))
        return named("CONFIG70B");
    for (const Dispatch& d : kDispatch)
        if (d.code == modelCode)
            return named(d.routine);
    return nullptr;
}

std::span<const ModelRoutine> allRoutines() { return kRoutines; }

} // namespace gpibconfig
