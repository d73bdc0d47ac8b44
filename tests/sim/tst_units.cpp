// SPDX-License-Identifier: GPL-3.0-or-later
// The units' firmware: what each family understands, how it judges values, and the IEEE 488.2
// behaviour the program relies on (event status, save and power-on, lock, address moves,
// trigger, secondary addresses).
#include "BenchHarness.h"
#include "sim/Catalogue.h"
#include "support/BusRecords.h"

#include <algorithm>

namespace gpibconfig::sim::test {
namespace {

struct MenuGroup {
    std::vector<std::string_view> models;
    std::vector<std::string_view> headers; // as they go on the bus
};

// The headers of every menu as the program puts them on the bus (prefix included, mixed case
// kept), written out here rather than taken from either side's tables.
const std::vector<MenuGroup>& menus()
{
    static const std::vector<MenuGroup> groups = {
        {{"7311", "7355", "7328", "7337B"},
         {"SYST:COMM:GPIB:ADDR",
          "SYST:COMM:GPIB:ADDR:EXT",
          "CONF:INP",
          "CONF:INP:POL",
          "CONF:INP:HAND",
          "CONF:EDR",
          "CONF:INH",
          "FORM:TALK",
          "FORM:TALK:TRANS",
          "CONF:OUT",
          "CONF:OUT:POL",
          "CONF:OUT:HAND",
          "CONF:STROBE",
          "FORM:LIST",
          "CONF:REM",
          "CONF:RES",
          "CONF:TRIG",
          "CONF:ASTATUS",
          "CONF:BSTATUS",
          "*ESE",
          "*SRE",
          "CAL:LOCK"}},
        {{"7352A"},
         {"SYST:COMM:GPIB:ADDR", "SYST:COMM:GPIB:ADDR:EXT", "VOLT:OFFSET", "VOLT:SLOPe",
          "VOLT:LIMit", "VOLT:POL", "VOLT", "OUTP:POL", "OUTP:STATE", "MEAS:RANGE", "MEAS:POL",
          "MEAS:AVER", "CAL:FAULT", "*ESE", "*SRE", "CAL:LOCK"}},
        {{"7357", "7362", "7321"}, {"SYST:COMM:GPIB:ADDR", "*ESE", "*SRE", "CAL:LOCK"}},
        {{"7314A", "7314B", "7374A", "7374B"},
         {"SYST:MODE", "SYST:EMUL", "SYST:COMM:GPIB:ADDR", "SYST:COMM:SER:BAUD",
          "SYST:COMM:SER:BITS", "SYST:COMM:SER:PAR", "SYST:COMM:SER:PAR:CHECK",
          "SYST:COMM:SER:SBIT", "SYST:COMM:SER:PACE", "SYST:COMM:GPIB:SWAP", "SYST:COMM:SER:EOM",
          "SYST:COMM:SER:ADD:ENAB", "SYST:COMM:SER:ADD:CHAR", "SYST:COMM:SER:EOI",
          "SYST:COMM:SER:RS485", "*ESE", "*SRE"}},
        {{"7376"},
         {"SYST:MODE", "SYST:EMUL", "SYST:COMM:GPIB:ADDR", "SYST:COMM:SER:BAUD",
          "SYST:COMM:SER:BITS", "SYST:COMM:SER:PAR", "SYST:COMM:SER:PAR:CHECK",
          "SYST:COMM:SER:SBIT", "SYST:COMM:SER:PACE", "SYST:COMM:SER:EOM", "SYST:COMM:SER:ADD:ENAB",
          "SYST:COMM:SER:ADD:CHAR", "SYST:COMM:SER:EOI"}},
        {{"7379"},
         {"SYST:COMM:GPIB:ADDR", "SYST:COMM:GPIB:BUFS", "SYST:COMM:SER:BAUD", "SYST:COMM:SER:BITS",
          "SYST:COMM:SER:PAR", "SYST:COMM:SER:PAR:CHECK", "SYST:COMM:SER:SBIT",
          "SYST:COMM:SER:PACE", "SYST:COMM:SER:EOM", "SYST:COMM:SER:ADD:ENAB",
          "SYST:COMM:SER:ADD:CHAR", "SYST:COMM:SER:EOI", "*ESE", "*SRE"}},
        {{"7325", "7325A", "7340A"},
         {"SYST:COMM:GPIB:ADDR", "SYST:COMM:GPIB:ADDR:EXT", "SYST:COMM:SER:BAUD",
          "SYST:COMM:SER:BITS", "SYST:COMM:SER:PAR", "SYST:COMM:SER:SBIT", "SYST:COMM:SER:RS485",
          "FORM:TALK", "CAL:DATE", "CAL:LOCK"}},
        {{"7334", "7334A", "7385", "7385A"},
         {"SYST:COMM:GPIB:ADDR", "SYST:COMM:SER:BAUD", "SYST:COMM:SER:BITS", "SYST:COMM:SER:PAR",
          "SYST:COMM:SER:SBIT", "SYST:COMM:SER:RS485", "FORM:TALK", "CAL:DATE", "CAL:LOCK"}},
        {{"7317", "7331", "7360"},
         {"SYST:COMM:GPIB:ADDR", "SYST:MODE", "SYST:COMM:SER:BAUD", "SYST:COMM:SER:BITS",
          "SYST:COMM:SER:PAR", "SYST:COMM:SER:SBIT", "SYST:COMM:SER:TIME",
          "SYST:COMM:GPIB:ADD:CHAR", "SYST:COMM:GPIB:ADD:ENAB", "CAL:DATE", "CAL:LOCK"}},
        {{"7322"},
         {"SYST:COMM:GPIB:ADDR", "SYST:MODE", "SYST:COMM:SER:BAUD", "SYST:COMM:SER:BITS",
          "SYST:COMM:SER:PAR", "SYST:COMM:SER:SBIT", "SYST:COMM:SER:TIME", "SYST:COMM:SER:RS485",
          "SYST:COMM:SER:EOMchr", "SYST:COMM:GPIB:ADD:CHAR", "SYST:COMM:GPIB:ADD:ENAB", "CAL:DATE",
          "CAL:LOCK"}},
        {{"7370A"},
         {"SYST:EMUL", "SYST:MODE", "SYST:COMM:GPIB:ADDR", "SYST:COMM:GPIB:FORM",
          "SYST:COMM:GPIB:PLOT", "SYST:PMOD"}},
        {{"7370B"},
         {"SYST:EMUL", "SYST:MODE", "SYST:COMM:GPIB:ADDR", "SYST:COMM:GPIB:FORM",
          "SYST:COMM:GPIB:PLOT", "SYST:COMM:GPIB:IDLE", "SYST:PMOD"}},
    };
    return groups;
}

TEST(BenchModels, TheDefaultBenchHoldsTheTwentySevenModelsInListOrder)
{
    const auto bench = makeDefaultBench();
    const std::vector<std::string> models = benchModels();
    ASSERT_EQ(models.size(), 27u);
    std::size_t inMenus = 0;
    for (const MenuGroup& group : menus())
        inMenus += group.models.size();
    EXPECT_EQ(inMenus, 27u);
    for (std::size_t n = 0; n < models.size(); ++n) {
        const UnitView unit = bench->unit(n);
        EXPECT_EQ(unit.model, models[n]);
        EXPECT_EQ(unit.primary, static_cast<int>(n + 1));
    }
    EXPECT_EQ(bench->unit(bench->unitId("7379")).primary, 25);
}

// Every header of every menu is understood, answered within the program's 18-byte buffer, and
// the unit takes its own answer back as a setting.
TEST_F(BenchTest, EveryUnitUnderstandsItsMenuAndAcceptsItsOwnAnswers)
{
    for (const MenuGroup& group : menus()) {
        for (const std::string_view model : group.models) {
            bench = makeDefaultBench();
            const Addr4882 address = ready(model);
            for (const std::string_view header : group.headers) {
                SCOPED_TRACE(std::string(model) + " " + std::string(header));
                const std::string reply = query(address, std::string(header) + "?");
                ASSERT_FALSE(reply.empty());
                EXPECT_EQ(reply.back(), '\n');
                EXPECT_LE(reply.size(), 18u);
                send(address, std::string(header) + " " + reply.substr(0, reply.size() - 1));
                EXPECT_EQ(esr(address), 0);
                EXPECT_EQ(query(address, std::string(header) + "?"), reply);
            }
        }
    }
}

struct ValueCase {
    std::string_view model;
    std::string_view command;
    int esr;                   // after the command
    std::string_view readBack; // query header, or empty
    std::string_view reply;    // expected answer without the line feed
};

TEST_F(BenchTest, UnitsMatchHeadersAndJudgeValuesAsTheirFamilyDoes)
{
    const ValueCase cases[] = {
        // Header forms: long, short, any case; nothing in between.
        {"7321", "syst:comm:gpib:addr?", 0, "", ""},
        {"7352A", "VOLTAGE:SLOPE 2.5", 0, "VOLT:SLOP", "+02.5000"},
        {"7352A", "VOLTA:SLOP 1", 32, "VOLT:SLOP", "+01.0000"},
        {"7352A", ":VOLT:OFFS 1.25", 0, "VOLT:OFFSET", "+01.2500"},
        {"7352A", "VOLT:OFFS", 32, "", ""},
        {"7321", "SYST:COMM:GPIB:ADDR:EXT 1", 32, "", ""},
        {"7321", "SYST::COMM:GPIB:ADDR 3", 32, "SYST:COMM:GPIB:ADDR", "5"},
        {"7321", "SYST:COMM:GPIB:ADDR? 5", 32, "", ""},
        {"7379", "CAL:LOCK 1", 32, "", ""},
        // Ranges and number forms.
        {"7352A", "VOLT:SLOPE 100", 16, "VOLT:SLOP", "+01.0000"},
        {"7352A", "VOLT:OFFSET -10.5", 16, "VOLT:OFFS", "+00.0000"},
        {"7352A", "VOLT:LIM 5", 0, "VOLT:LIM", "05.0000"},
        {"7352A", "VOLT:LIM -1", 16, "VOLT:LIM", "10.0000"},
        {"7352A", "VOLT -9.99999", 0, "VOLT", "-10.0000"},
        {"7352A", "VOLT:POL 3", 16, "VOLT:POL", "2"},
        {"7352A", "MEAS:RANGE 0.1", 0, "MEAS:RANG", "0.1"},
        {"7352A", "MEAS:RANGE 1E1", 0, "MEAS:RANG", "10"},
        {"7352A", "MEAS:RANGE 5", 16, "MEAS:RANG", "10"},
        {"7352A", "MEAS:RANGE abc", 32, "MEAS:RANG", "10"},
        {"7352A", "MEAS:AVER 51", 16, "MEAS:AVER", "1"},
        {"7352A", "OUTP:STATE ON", 0, "OUTP:STAT", "1"},
        {"7352A", "OUTP:STATE 2", 16, "OUTP:STAT", "0"},
        {"7321", "*ESE 256", 16, "*ESE", "0"},
        {"7321", "*ESE abc", 32, "*ESE", "0"},
        {"7321", "*XYZ", 32, "", ""},
        // Channel lists with the model's bound.
        {"7311", "CONF:INP (@1:5)", 0, "CONF:INP", "(@1:5)"},
        {"7311", "CONF:INP (@1:6)", 16, "CONF:INP", "(@1:4)"},
        {"7355", "CONF:INP (@1:6)", 0, "CONF:INP", "(@1:6)"},
        {"7328", "CONF:OUT (@1:16)", 0, "CONF:OUT", "(@1:16)"},
        {"7337B", "CONF:OUT (@1:8)", 16, "CONF:OUT", "(@1:4)"},
        {"7337B", "CONF:OUT (@1, 3,5)", 0, "CONF:OUT", "(@1,3,5)"},
        {"7311", "CONF:INP 1:5", 16, "CONF:INP", "(@1:4)"},
        // Choices, answered in short form.
        {"7311", "FORM:TALK Table", 0, "FORM:TALK", "TABL"},
        {"7311", "FORM:TALK hexl", 0, "FORM:TALK", "HEXL"},
        {"7311", "FORM:TALK hex", 0, "FORM:TALK", "HEX"},
        {"7311", "FORM:TALK bin", 16, "FORM:TALK", "ASC"},
        {"7355", "FORM:LIST 7343", 0, "FORM:LIST", "7343"},
        {"7311", "FORM:TALK:TRANS 0123456789abcdef", 0, "FORM:TALK:TRANS", "0123456789abcdef"},
        {"7311", "FORM:TALK:TRANS ABC", 16, "FORM:TALK:TRANS", "0123456789ABCDEF"},
        {"7311", "CONF:STR 1", 0, "CONF:STROBE", "1"},
        {"7374A", "SYST:COMM:SER:PAR even", 0, "SYST:COMM:SER:PAR", "EVEN"},
        {"7374A", "SYST:COMM:SER:PAR mark", 16, "SYST:COMM:SER:PAR", "NONE"},
        {"7374A", "SYST:MODE s", 0, "SYST:MODE", "S"},
        {"7374A", "SYST:MODE P", 16, "SYST:MODE", "G"},
        {"7370A", "SYST:MODE P", 0, "SYST:MODE", "P"},
        {"7376", "SYST:EMUL zeb", 0, "SYST:EMUL", "ZEB"},
        {"7317", "SYST:MODE smart", 0, "SYST:MODE", "SMAR"},
        {"7317", "SYST:MODE fast", 16, "SYST:MODE", "STAN"},
        {"7370B", "SYST:PMOD talk  only", 0, "SYST:PMOD", "TALK ONLY"},
        {"7370A", "SYST:PMOD printer", 16, "SYST:PMOD", "DEV"},
        // Serial rates: standard ones within the model's range.
        {"7374A", "SYST:COMM:SER:BAUD 115200", 0, "SYST:COMM:SER:BAUD", "115200"},
        {"7374A", "SYST:COMM:SER:BAUD 1000", 16, "SYST:COMM:SER:BAUD", "9600"},
        {"7376", "SYST:COMM:SER:BAUD 57600", 16, "SYST:COMM:SER:BAUD", "9600"},
        {"7325", "SYST:COMM:SER:BAUD 38400", 0, "SYST:COMM:SER:BAUD", "38400"},
        {"7374A", "SYST:COMM:SER:BITS 6", 16, "SYST:COMM:SER:BITS", "8"},
        {"7374A", "SYST:COMM:SER:EOMCHR 13", 0, "SYST:COMM:SER:EOM", "13"},
        {"7374A", "SYST:COMM:SER:EOM 256", 16, "SYST:COMM:SER:EOM", "10"},
        {"7379", "SYST:COMM:GPIB:BUFS 12", 0, "SYST:COMM:GPIB:BUFS", "12"},
        {"7379", "SYST:COMM:GPIB:BUFS 14", 16, "SYST:COMM:GPIB:BUFS", "8"},
        {"7317", "SYST:COMM:SER:TIME 24", 16, "SYST:COMM:SER:TIME", "1000"},
        // Hexadecimal values.
        {"7322", "SYST:COMM:SER:EOMchr 0d", 0, "SYST:COMM:SER:EOM", "0D"},
        {"7322", "SYST:COMM:SER:EOMchr #H1F", 0, "SYST:COMM:SER:EOM", "1F"},
        {"7322", "SYST:COMM:SER:EOMchr GG", 16, "SYST:COMM:SER:EOM", "0A"},
        {"7360", "SYST:COMM:GPIB:ADD:CHAR 100", 16, "SYST:COMM:GPIB:ADD:CHAR", "0D"},
        // Dates that exist.
        {"7325", "CAL:DATE 02/29/2024", 0, "CAL:DATE", "02/29/2024"},
        {"7325", "CAL:DATE 02/29/2023", 16, "CAL:DATE", "01/01/2000"},
        {"7331", "CAL:DATE 2/3/2024", 0, "CAL:DATE", "02/03/2024"},
        {"7322", "CAL:DATE 04/31/2024", 16, "CAL:DATE", "01/01/2000"},
        {"7340A", "CAL:DATE", 32, "CAL:DATE", "01/01/2000"},
    };
    for (const ValueCase& c : cases) {
        SCOPED_TRACE(std::string(c.model) + ": " + std::string(c.command));
        bench = makeDefaultBench();
        const Addr4882 address = ready(c.model);
        send(address, c.command);
        // A query among the cases leaves its answer to be read first.
        if (c.command.ends_with('?')) {
            EXPECT_FALSE(receive(address).data.empty());
        }
        EXPECT_EQ(esr(address), c.esr);
        if (!c.readBack.empty()) {
            EXPECT_EQ(query(address, std::string(c.readBack) + "?"), std::string(c.reply) + "\n");
        }
    }
}

TEST_F(BenchTest, EventStatusIsReadAndClearedAndCollectsErrors)
{
    prepare();
    EXPECT_EQ(esr(at(5)), 128); // power on
    EXPECT_EQ(esr(at(5)), 0);
    send(at(5), "NO:SUCH:HEADER 1");
    send(at(5), "*ESE 999");
    EXPECT_EQ(esr(at(5)), 32 + 16);
    EXPECT_EQ(esr(at(5)), 0);
    send(at(5), "BAD");
    send(at(5), "*CLS");
    EXPECT_EQ(esr(at(5)), 0);

    // A new message before the reply was read discards it (query error) ...
    send(at(5), "*ESE?");
    send(at(5), "*SRE?");
    EXPECT_EQ(receive(at(5)).data, "0\n");
    EXPECT_EQ(esr(at(5)), 4);
    // ... and so does being made to talk with nothing to say.
    EXPECT_EQ(receive(at(5)).iberr, err::EABO);
    EXPECT_EQ(esr(at(5)), 4);
}

TEST_F(BenchTest, AddressSettingMovesTheUnitAtOnceAnd31ReturnsToTheSwitches)
{
    prepare();
    esr(at(5));
    send(at(5), "SYST:COMM:GPIB:ADDR 7");
    EXPECT_EQ(query(at(7), "*ESR?"), "0\n");
    EXPECT_EQ(query(at(7), "SYST:COMM:GPIB:ADDR?"), "7\n");
    EXPECT_EQ(sendCall(at(5), "*CLS").iberr, err::ENOL);

    send(at(7), "SYST:COMM:GPIB:ADDR 31");
    EXPECT_EQ(query(at(5), "SYST:COMM:GPIB:ADDR?"), "37\n");
    EXPECT_EQ(esr(at(5)), 0);

    // Out of range: stays where it is.
    send(at(5), "SYST:COMM:GPIB:ADDR 32");
    EXPECT_EQ(esr(at(5)), 16);
    EXPECT_EQ(bench->unit(bench->unitId("7321")).primary, 5);

    // A move that is not saved is undone by a power cycle.
    send(at(5), "SYST:COMM:GPIB:ADDR 9");
    bench->powerCycle(bench->unitId("7321"));
    EXPECT_EQ(query(at(5), "SYST:COMM:GPIB:ADDR?"), "5\n");
}

TEST_F(BenchTest, LockedUnitsRefuseSettingsButNotTheLockOrCommonCommands)
{
    prepare();
    const Addr4882 unit = at(15); // 7352A
    esr(unit);
    send(unit, "CAL:LOCK ON");
    EXPECT_EQ(query(unit, "CAL:LOCK?"), "1\n");
    send(unit, "MEAS:AVER 10");
    send(unit, "SYST:COMM:GPIB:ADDR 7");
    EXPECT_EQ(esr(unit), 16);
    EXPECT_EQ(query(unit, "MEAS:AVER?"), "1\n");
    send(unit, "*ESE 4");
    EXPECT_EQ(esr(unit), 0);
    EXPECT_EQ(query(unit, "*ESE?"), "4\n");
    EXPECT_TRUE(bench->unit(bench->unitId("7352A")).locked);

    send(unit, "CAL:LOCK 0");
    send(unit, "MEAS:AVER 10");
    EXPECT_EQ(esr(unit), 0);
    EXPECT_EQ(query(unit, "MEAS:AVER?"), "10\n");
}

TEST_F(BenchTest, SavedSettingsAndLockSurviveAPowerCycleAndPscDecidesTheEnableRegisters)
{
    prepare();
    const auto id = bench->unitId("7325");
    const Addr4882 unit = at(7);
    send(unit, "SYST:COMM:SER:BAUD 19200");
    send(unit, "*SAV 0");
    send(unit, "SYST:COMM:SER:BAUD 2400");
    send(unit, "*ESE 36");
    send(unit, "*SRE 32");
    bench->powerCycle(id);
    EXPECT_EQ(query(unit, "SYST:COMM:SER:BAUD?"), "19200\n");
    EXPECT_EQ(query(unit, "*ESE?"), "0\n"); // *PSC 1 is the factory setting
    EXPECT_EQ(esr(unit), 128);

    send(unit, "*PSC 0");
    send(unit, "*ESE 36");
    send(unit, "CAL:LOCK ON");
    send(unit, "*SAV 0");
    bench->powerCycle(id);
    EXPECT_EQ(query(unit, "*ESE?"), "36\n");
    EXPECT_EQ(query(unit, "*PSC?"), "0\n");
    EXPECT_EQ(query(unit, "CAL:LOCK?"), "1\n");

    send(unit, "*SAV 1"); // only location 0 exists
    EXPECT_EQ(esr(unit), 128 + 16);
    const UnitView view = bench->unit(id);
    EXPECT_TRUE(view.everSaved);
    EXPECT_EQ(bench->savedSetting(id, "syst:comm:ser:baud"), "19200");
    const auto records = bench->trace().records();
    EXPECT_NE(std::find(records.begin(), records.end(), BusCall::event("7325 at 7: power cycle")),
              records.end());
}

TEST_F(BenchTest, TriggerModeUnitsAnswerConfigurationQueriesOnlyAfterATrigger)
{
    for (const std::string_view model :
         {"7314A", "7314B", "7370A", "7370B", "7374A", "7374B", "7376"}) {
        SCOPED_TRACE(model);
        bench = makeDefaultBench();
        prepare();
        const int primary = bench->unit(bench->unitId(model)).primary;
        EXPECT_EQ(query(at(primary), "SYST:MODE?"), "");
        EXPECT_EQ(esr(at(primary)), 128); // common commands always work
        trigger(primary == 1 ? 2 : 1);    // a trigger for another address
        EXPECT_EQ(query(at(primary), "SYST:MODE?"), "");

        // The program's start sequence, one command string at a time.
        commands({0x3F, static_cast<std::uint8_t>(0x20 + primary)});
        commands({0x3F});
        commands({static_cast<std::uint8_t>(0x20 + primary), 0x08});
        EXPECT_TRUE(bench->unit(bench->unitId(model)).triggered);
        EXPECT_FALSE(query(at(primary), "SYST:MODE?").empty());

        bench->powerCycle(bench->unitId(model));
        EXPECT_EQ(query(at(primary), "SYST:MODE?"), "");
    }
}

TEST_F(BenchTest, FourChannelUnitAnswersPerChannelAtItsSecondaryAddresses)
{
    prepare();
    const auto id = bench->unitId("7379");
    send(at(25, 13), "SYST:COMM:SER:BAUD 4800");
    EXPECT_EQ(esr(at(25, 13)), 128);
    EXPECT_EQ(query(at(25, 13), "SYST:COMM:SER:BAUD?"), "4800\n");
    EXPECT_EQ(query(at(25, 11), "SYST:COMM:SER:BAUD?"), "9600\n");
    EXPECT_EQ(bench->setting(id, "SYST:COMM:SER:BAUD", 2), "4800");

    // Neither the primary alone nor a fifth channel answers.
    EXPECT_EQ(sendCall(at(25), "*ESR?").iberr, err::ENOL);
    EXPECT_EQ(receive(at(25)).iberr, err::EABO);
    EXPECT_EQ(sendCall(at(25, 15), "*ESR?").iberr, err::ENOL);

    // The bus address belongs to the whole unit.
    send(at(25, 12), "SYST:COMM:GPIB:ADDR 29");
    EXPECT_EQ(query(at(29, 14), "SYST:COMM:GPIB:ADDR?"), "29\n");
    // One *SAV 0 (from channel 4, as the program sends it) keeps every channel.
    send(at(29, 14), "*SAV 0");
    bench->powerCycle(id);
    EXPECT_EQ(query(at(29, 13), "SYST:COMM:SER:BAUD?"), "4800\n");
    EXPECT_EQ(bench->unit(id).channels.size(), 4u);

    // Moved onto the 7328's address, a channel named by its secondary still answers itself.
    send(at(29, 11), "SYST:COMM:GPIB:ADDR 9");
    EXPECT_EQ(query(at(9, 13), "SYST:COMM:SER:BAUD?"), "4800\n");
    EXPECT_EQ(query(at(9), "CONF:INP?"), "(@1:4)\n");
    EXPECT_EQ(bench->unit(id).channels[2].secondary, 13);
}

TEST_F(BenchTest, ChangeListenersHearAboutUnitChanges)
{
    prepare();
    int notified = 0;
    const int listener = bench->addChangeListener([&] { ++notified; });
    esr(at(5)); // clears the power-on bit
    EXPECT_GT(notified, 0);
    notified = 0;
    query(at(5), "*ESE?");
    EXPECT_EQ(notified, 0);
    send(at(5), "*ESE 1");
    EXPECT_EQ(notified, 1);
    bench->powerCycle(bench->unitId("7321"));
    EXPECT_EQ(notified, 2);
    bench->removeChangeListener(listener);
    send(at(5), "*ESE 2");
    EXPECT_EQ(notified, 2);
}

} // namespace
} // namespace gpibconfig::sim::test

namespace {

// Found by fuzzing: answers the unit could not give back within a reply, or not as they went.
TEST(UnitFirmwareRegressions, ChannelListsAnswerInTheirShortestFormOrAreRefused)
{
    using namespace gpibconfig::sim;
    const ValueRule rule{ValueKind::ChannelList};
    EXPECT_EQ(checkValue(rule, "(@1,2,3,4,5,6,7,8)", 16).value, "(@1:8)");
    EXPECT_EQ(checkValue(rule, "(@5,1:3,2)", 16).value, "(@1:3,5)");
    EXPECT_EQ(checkValue(rule, "(@1,3,5,7,9,11,13,15)", 16).verdict, Verdict::ExecutionError);
}

TEST(UnitFirmwareRegressions, TranslationTablesWithBlanksAtTheirEndsAreRefused)
{
    using namespace gpibconfig::sim;
    const ValueRule rule{ValueKind::Text16};
    EXPECT_EQ(checkValue(rule, "\" 123456789ABCDE\"", 0).verdict, Verdict::ExecutionError);
    EXPECT_EQ(checkValue(rule, "\"0123456789ABCDE \"", 0).verdict, Verdict::ExecutionError);
    EXPECT_EQ(checkValue(rule, "\"'0123456789ABCD'\"", 0).verdict, Verdict::ExecutionError);
    EXPECT_EQ(checkValue(rule, "\"0123456 89ABCDEF\"", 0).value, "0123456 89ABCDEF");
}

} // namespace

namespace gpibconfig::sim::test {
namespace {

TEST_F(BenchTest, EveryUnitSaysWhoItIsAtEachOfItsAddressesEvenBeforeItsTrigger)
{
    prepare();
    for (const UnitView& unit : bench->units()) {
        SCOPED_TRACE(unit.model);
        for (const auto& channel : unit.channels) {
            const Addr4882 address = at(unit.primary, channel.secondary);
            send(address, "*IDN?");
            const std::string answer = receive(address, 100).data;
            // IEEE 488.2: maker, model, serial number, firmware level; no channel of its own.
            ASSERT_EQ(answer.substr(0, 4 + unit.model.size() + 1 + unit.serialNumber.size() + 1),
                      "ZEB," + unit.model + "," + unit.serialNumber + ",");
            EXPECT_TRUE(answer.ends_with("\n"));
            EXPECT_GT(answer.size(), 18u) << "longer than a menu reply, as a real answer is";
        }
    }
    // Each unit has its own serial number, also a second one of a model.
    const auto second = bench->addUnit("7352A", 28);
    EXPECT_NE(bench->unit(second).serialNumber, bench->unit(bench->unitId("7352A")).serialNumber);
    // A query with a value is no query.
    send(at(5), "*IDN? 1");
    EXPECT_EQ(esr(at(5)) & 32, 32) << "command error";
}

} // namespace
} // namespace gpibconfig::sim::test
