// SPDX-License-Identifier: GPL-3.0-or-later
// show: every function of the entry's menu with the unit's value.
#include "Commands.h"
#include "cli/Invocation.h"
#include "logic/MenuLine.h"
#include "models/Models.h"

#include <algorithm>
#include <array>

namespace gpibconfig::cli::command {

namespace {

// The lines of the configuration window's list, a block per channel, headers aligned.
QString table(const UnitValues& values)
{
    QString text;
    int width = 0;
    for (const ChannelValues& c : values.channels)
        for (const FunctionValue& f : c.functions)
            width = std::max(width, static_cast<int>(f.header.size()));
    for (const ChannelValues& c : values.channels) {
        if (!text.isEmpty())
            text += QLatin1Char('\n');
        text += QLatin1String(values.model->entry) + QStringLiteral(" at ") +
                QString::number(values.address);
        if (c.channel)
            text += QStringLiteral(", channel %1 (secondary %2)")
                        .arg(*c.channel)
                        .arg(values.model->secondaryOf(*c.channel).value());
        text += QLatin1Char('\n');
        for (const FunctionValue& f : c.functions)
            text += QStringLiteral("%1  %2  %3\n")
                        .arg(f.number, 2)
                        .arg(f.header, -width)
                        .arg(printable(FormatMenuLine(f.prompt, f.display)));
    }
    return text;
}

Result run(Invocation& cli)
{
    const auto target = cli.target();
    if (!target)
        return target.stop();
    const auto values = cli.readUnit(*target->model, target->address, target->channel);
    if (!values)
        return values.stop();
    cli.out(cli.options().json ? unitDocument(*values).toText() : table(*values));
    return Outcome::Done;
}

constexpr std::array<const OptionDef*, 1> kOptions{&option::channel};

} // namespace

constexpr Command show{
    .name = "show",
    .synopsis = "ENTRY ADDRESS",
    .help = "every function of the entry's menu with the unit's value\n"
            "(all channels of a multi-channel unit, or --channel N)",
    .options = kOptions,
    .talksToUnit = true,
    .run = run,
};

} // namespace gpibconfig::cli::command
