// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The menu of every list entry written out a second time, from the units' documentation, apart
// from the program's model table: a test that compares the two fails on a wrong prompt or header
// in the table, which a test reading the table itself cannot.

#include <QString>
#include <vector>

namespace gpibconfig::test {

struct DocumentedRow {
    const char* prompt;
    const char* busHeader; // as it goes on the bus, prefix included
};

using DocumentedMenu = std::vector<DocumentedRow>;

inline DocumentedMenu parallel(const char* in, const char* out)
{
    return {{"Bus Address - 0 to 30", "SYST:COMM:GPIB:ADDR"},
            {"Bus Address Ext - 1=On/0=Off", "SYST:COMM:GPIB:ADDR:EXT"},
            {in, "CONF:INP"},
            {"Input Data Pol - 1/0 ", "CONF:INP:POL"},
            {"Input Handshake - 1=On/0=Off ", "CONF:INP:HAND"},
            {"EDR Signal Pol 0=Low, 1=Hi ", "CONF:EDR"},
            {"Inhibit Signal Pol 0=Low, 1=Hi", "CONF:INH"},
            {"Talk Format - Ascii/HEXL/HEX/Table", "FORM:TALK"},
            {"Talk Translate Table-16 chars", "FORM:TALK:TRANS"},
            {out, "CONF:OUT"},
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
            {"SRE Enable Bits - 0 to 255", "*SRE"}};
}

inline const DocumentedMenu k7355 = {{"Bus Address - 0 to 30", "SYST:COMM:GPIB:ADDR"},
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
                                     {"SRE Enable Bits - 0 to 255", "*SRE"}};

inline const DocumentedMenu k7352A = {{"Bus Address - 0 to 30 or 31", "SYST:COMM:GPIB:ADDR"},
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
                                      {"SRE Enable Bits - 0 to 255", "*SRE"}};

inline const DocumentedMenu kBasic = {{"Bus Address - 0 to 30 or 31", "SYST:COMM:GPIB:ADDR"},
                                      {"ESR Enable Bits - 0 to 255", "*ESE"},
                                      {"SRE Enable Bits - 0 to 255", "*SRE"}};

inline const DocumentedMenu k7374 = {{"Mode - G/S", "SYST:MODE"},
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
                                     {"SRE Enable Bits - 0 to 255", "*SRE"}};

inline const DocumentedMenu k7376 = {{"Mode - G/S", "SYST:MODE"},
                                     {"Emulation - ZEB/NI", "SYST:EMUL"},
                                     {"Bus Address - 0 to 30 or 31", "SYST:COMM:GPIB:ADDR"},
                                     {"Baud - enter rate 300-38400", "SYST:COMM:SER:BAUD"},
                                     {"Data bits - 7/8", "SYST:COMM:SER:BITS"},
                                     {"Parity - Odd/even/none", "SYST:COMM:SER:PAR"},
                                     {"Check parity - 0/1", "SYST:COMM:SER:PAR:CHECK"},
                                     {"Stop bits - 1/2", "SYST:COMM:SER:SBIT"},
                                     {"Pace - None/Xon", "SYST:COMM:SER:PACE"},
                                     {"EOM char - LF = 10, CR = 13", "SYST:COMM:SER:EOM"},
                                     {"Add char after EOM char - 1/0", "SYST:COMM:SER:ADD:ENAB"},
                                     {"Added char - decimal value", "SYST:COMM:SER:ADD:CHAR"},
                                     {"EOI on last char - 1/0", "SYST:COMM:SER:EOI"}};

inline const DocumentedMenu k7379 = {{"Bus Address - 0 to 30 or 31", "SYST:COMM:GPIB:ADDR"},
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
                                     {"SRE Enable Bits - 0 to 255", "*SRE"}};

inline const DocumentedMenu k7325 = {{"Bus Address - 0 to 30 or 31", "SYST:COMM:GPIB:ADDR"},
                                     {"Ext Address Enable - 0/1", "SYST:COMM:GPIB:ADDR:EXT"},
                                     {"Baud - enter rate 300 to 38400", "SYST:COMM:SER:BAUD"},
                                     {"Data bits - 7/8", "SYST:COMM:SER:BITS"},
                                     {"Parity - Odd/even/none", "SYST:COMM:SER:PAR"},
                                     {"Stop Bits - 1/2", "SYST:COMM:SER:SBIT"},
                                     {"RS-485 half-duplex operation-1/0", "SYST:COMM:SER:RS485"},
                                     {"Talk Data - ASCii/HEXL", "FORM:TALK"},
                                     {"Cal Date - enter date mm/dd/yyyy", "CAL:DATE"}};

inline const DocumentedMenu k7385 = {{"Bus Address - 0 to 30 or 31", "SYST:COMM:GPIB:ADDR"},
                                     {"Baud - enter rate 300 to 38400", "SYST:COMM:SER:BAUD"},
                                     {"Data bits - 7/8", "SYST:COMM:SER:BITS"},
                                     {"Parity - Odd/even/none", "SYST:COMM:SER:PAR"},
                                     {"Stop Bits - 1/2", "SYST:COMM:SER:SBIT"},
                                     {"Tristate xtmr btwn msgs - 1/0", "SYST:COMM:SER:RS485"},
                                     {"Talk Data - ASCii/HEXL", "FORM:TALK"},
                                     {"Cal Date - enter date mm/dd/yyyy", "CAL:DATE"}};

inline const DocumentedMenu k7317 = {{"Bus Address - 0 to 30 or 31", "SYST:COMM:GPIB:ADDR"},
                                     {"Mode - Async/Standard/Smart", "SYST:MODE"},
                                     {"Baud - enter rate 300 to 38400", "SYST:COMM:SER:BAUD"},
                                     {"Data bits - 7/8", "SYST:COMM:SER:BITS"},
                                     {"Parity - Odd/even/none", "SYST:COMM:SER:PAR"},
                                     {"Stop Bits - 1/2", "SYST:COMM:SER:SBIT"},
                                     {"Timeout - 25 to 65535 ms\"", "SYST:COMM:SER:TIME"},
                                     {"GPIB Add Character - hex value", "SYST:COMM:GPIB:ADD:CHAR"},
                                     {"GPIB Add Char Enable - 0/1", "SYST:COMM:GPIB:ADD:ENAB"},
                                     {"Cal Date - enter date mm/dd/yyyy", "CAL:DATE"}};

inline const DocumentedMenu k7322 = {{"Bus Address - 0 to 30 or 31", "SYST:COMM:GPIB:ADDR"},
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
                                     {"Cal Date - enter date mm/dd/yyyy", "CAL:DATE"}};

inline DocumentedMenu printer(bool idle)
{
    DocumentedMenu m = {{"Emulation - ZEB/NI", "SYST:EMUL"},
                        {"Mode - G/P", "SYST:MODE"},
                        {"Bus Address - 0 to 30 or 31", "SYST:COMM:GPIB:ADDR"},
                        {"Send FormFeed Char - 0 or 1", "SYST:COMM:GPIB:FORM"},
                        {"Send PlotMode sequence - 0 or 1", "SYST:COMM:GPIB:PLOT"}};
    if (idle)
        m.push_back({"Enable spc-bkspc every 8s - 0 or 1", "SYST:COMM:GPIB:IDLE"});
    m.push_back({"PMode - CONTROLLER/DEVICE/TALK ONLY", "SYST:PMOD"});
    return m;
}

// The documented menu of a list entry, function 1 first; empty for a text that is not an entry.
inline DocumentedMenu documentedMenu(const QString& entry)
{
    const auto is = [&](std::initializer_list<const char*> names) {
        for (const char* n : names)
            if (entry == QLatin1String(n))
                return true;
        return false;
    };
    if (is({"7311"}))
        return parallel("Input String Bytes - (@1:5)", "Output String Bytes - (@1:5)");
    if (is({"7328"}))
        return parallel("Input String Bytes - (@1:16)", "Output String Bytes - (@1:16)");
    if (is({"7337B"}))
        return parallel("Input String Bytes - (@1:7)", "Output String Bytes - (@1:7)");
    if (is({"7355"}))
        return k7355;
    if (is({"7352A"}))
        return k7352A;
    if (is({"7321", "7357", "7362"}))
        return kBasic;
    if (is({"7314A", "7314B", "7374A", "7374B"}))
        return k7374;
    if (is({"7376"}))
        return k7376;
    if (is({"7379"}))
        return k7379;
    if (is({"7325", "7325A", "7340A"}))
        return k7325;
    if (is({"7334", "7334A", "7385", "7385A"}))
        return k7385;
    if (is({"7317", "7331", "7360"}))
        return k7317;
    if (is({"7322"}))
        return k7322;
    if (is({"7370A"}))
        return printer(false);
    if (is({"7370B"}))
        return printer(true);
    return {};
}

} // namespace gpibconfig::test
