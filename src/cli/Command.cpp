// SPDX-License-Identifier: GPL-3.0-or-later
#include "Command.h"

#include "commands/Commands.h"

#include <QStringList>
#include <algorithm>
#include <array>

namespace gpibconfig::cli {

namespace option {

constexpr OptionDef help{.name = "help",
                         .shortName = "h",
                         .reach = Reach::Instead,
                         .field = &Options::help,
                         .help = "this text"};
constexpr OptionDef version{.name = "version",
                            .reach = Reach::Instead,
                            .field = &Options::version,
                            .help = "the program's version"};
constexpr OptionDef driver{
    .name = "driver",
    .valueName = "SPEC",
    .reach = Reach::Program,
    .field = &Options::driver,
    .help = "system (the NI-488.2 compatible library, the default),\n"
            "prologix:PORT, prologix-tcp:HOST[:PORT],\n"
            "vxi11:HOST[:PORT][,INTERFACE] (a LAN/GPIB gateway), sim (the\n"
            "simulated bench of gpibconfig-sim in virtual time), or list.\n"
            "Without it: GPIBCONFIG_DRIVER, then the settings file, then\n"
            "system."};
constexpr OptionDef board{.name = "board",
                          .valueName = "N",
                          .reach = Reach::Program,
                          .field = &Options::board,
                          .lowest = 0,
                          .highest = 32767,
                          .takes = "a board index 0 to 32767",
                          .help = "the GPIB board index (default 0)"};
constexpr OptionDef trace{.name = "trace",
                          .valueName = "FILE",
                          .reach = Reach::Program,
                          .field = &Options::trace,
                          .help = "write every driver call in the bench's trace format to FILE\n"
                                  "(- for standard error)"};
constexpr OptionDef json{.name = "json",
                         .reach = Reach::Program,
                         .field = &Options::json,
                         .help = "one JSON document on standard output instead of a table"};
constexpr OptionDef channel{.name = "channel",
                            .valueName = "N",
                            .field = &Options::channel,
                            .lowest = 0,
                            .highest = 99,
                            .takes = "a channel number",
                            .help = "the channel of a multi-channel unit"};
constexpr OptionDef output{.name = "output",
                           .shortName = "o",
                           .valueName = "FILE",
                           .field = &Options::output,
                           .help = "write the profile to FILE"};
constexpr OptionDef dryRun{.name = "dry-run",
                           .field = &Options::dryRun,
                           .help = "print what would change, send no setting"};
constexpr OptionDef withAddress{.name = "with-address",
                                .field = &Options::withAddress,
                                .help = "include the unit's bus address function"};
constexpr OptionDef noSave{.name = "no-save",
                           .field = &Options::noSave,
                           .help = "do not send *SAV 0 at the end"};
constexpr OptionDef lock{.name = "lock",
                         .field = &Options::lock,
                         .help = "lock the settings (CAL:LOCK ON) as they are saved"};
constexpr OptionDef psc{.name = "psc",
                        .valueName = "0|1",
                        .field = &Options::psc,
                        .lowest = 0,
                        .highest = 1,
                        .takes = "0 or 1",
                        .help = "*PSC 0 keeps the status enable registers at power-on,\n"
                                "*PSC 1 clears them"};
constexpr OptionDef powerCycled{.name = "power-cycled",
                                .reach = Reach::UnitCommand,
                                .field = &Options::powerCycled,
                                .help =
                                    "the unit has just been switched off and on: do not ask"};

} // namespace option

std::span<const OptionDef* const> options()
{
    using namespace option;
    static constexpr std::array<const OptionDef*, 14> kOptions{
        &driver,      &board,  &trace, &json, &channel, &output,      &dryRun,
        &withAddress, &noSave, &lock,  &psc,  &powerCycled, &help, &version};
    return kOptions;
}

bool Command::takes(const OptionDef& option) const
{
    switch (option.reach) {
    case Reach::Instead:
    case Reach::Program:
        return true;
    case Reach::UnitCommand:
        return talksToUnit;
    case Reach::Command:
        break;
    }
    return std::find(options.begin(), options.end(), &option) != options.end();
}

bool Command::takesArguments(qsizetype count) const
{
    const QStringList words =
        QString::fromLatin1(synopsis).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (!words.isEmpty() && words.constLast().endsWith(QLatin1String("...")))
        return count >= words.size();
    return count == words.size();
}

std::span<const Command* const> commands()
{
    static constexpr std::array<const Command*, 8> kCommands{
        &command::models, &command::scan,   &command::show,    &command::set,
        &command::save,   &command::backup, &command::restore, &command::diff};
    return kCommands;
}

const Command* findCommand(const QString& name)
{
    for (const Command* c : commands())
        if (name == QLatin1String(c->name))
            return c;
    return nullptr;
}

} // namespace gpibconfig::cli
