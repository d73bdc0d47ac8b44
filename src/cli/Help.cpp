// SPDX-License-Identifier: GPL-3.0-or-later
// --help, made from the tables of options and commands and from the model table; help2man makes
// the manual page of it.
#include "Cli.h"
#include "Command.h"
#include "models/Models.h"

#include <QStringList>
#include <array>

namespace gpibconfig::cli {

namespace {

// Paragraphs run to this width; the tables keep the line breaks their texts have.
constexpr int kWidth = 85;
constexpr int kCommandColumn = 26;
constexpr int kOptionColumn = 21;
constexpr int kStatusColumn = 6;

struct ExitStatusHelp {
    int status;
    const char* help;
};

constexpr std::array<ExitStatusHelp, 5> kExitStatuses{{
    {kExitDone, "done"},
    {kExitRefused, "the unit refused a setting or the save, or diff found differences"},
    {kExitBusFailure, "a driver call failed (its status report on standard error)"},
    {kExitUsage, "a usage error: unknown command, entry or function, address out of range"},
    {kExitBadProfile,
     "a profile that cannot be used: not JSON, another format or version, another\n"
     "model than the unit at ADDRESS, unknown header, oversized; nothing is sent\n"
     "to the unit then"},
}};

// Lines of at most `width` columns, broken between words.
QString wrapped(const QString& text, int width)
{
    QString out;
    QString line;
    for (const QString& word : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (!line.isEmpty() && line.size() + 1 + word.size() > width) {
            out += line + QLatin1Char('\n');
            line.clear();
        }
        line += (line.isEmpty() ? QString() : QStringLiteral(" ")) + word;
    }
    return line.isEmpty() ? out : out + line + QLatin1Char('\n');
}

// One row of a table: the head, then the text from `column` on, its lines one under the other;
// a head too wide for the column has the text start on the next line.
QString row(const QString& head, const QString& text, int column)
{
    const QStringList lines = text.split(QLatin1Char('\n'));
    const QString indent(column, QLatin1Char(' '));
    QString out = head.size() + 2 <= column ? head.leftJustified(column)
                                            : head + QLatin1Char('\n') + indent;
    for (qsizetype i = 0; i < lines.size(); ++i)
        out += (i > 0 ? indent : QString()) + lines[i] + QLatin1Char('\n');
    return out;
}

// "{entries}" in a text stands for the number of entries of the model table.
QString withCounts(const char* text)
{
    return QString::fromLatin1(text).replace(QStringLiteral("{entries}"),
                                              QString::number(models().size()));
}

// The models switched off and on before they are configured, entries of one code together:
// "7314A/B, 7370A/B, 7374A/B, 7376".
QString powerCycleModels()
{
    QStringList groups;
    const Model* first = nullptr; // of the group being written
    for (const Model& m : models()) {
        if (!m.powerCycle)
            continue;
        if (first && first->code == m.code) {
            const QString entry = QLatin1String(m.entry);
            qsizetype same = 0;
            while (same < entry.size() && entry[same] == QLatin1Char(first->entry[same]))
                ++same;
            groups.last() += QLatin1Char('/') + entry.mid(same);
            continue;
        }
        first = &m;
        groups << QLatin1String(m.entry);
    }
    return groups.join(QStringLiteral(", "));
}

// Where a multi-channel unit's channel N answers: "N + 10".
QString channelSecondaries()
{
    QStringList rules;
    for (const Model& m : models()) {
        const QString rule = QStringLiteral("N + %1").arg(m.secondaryBase);
        if (m.multiChannel() && !rules.contains(rule))
            rules << rule;
    }
    return rules.join(QStringLiteral(" or "));
}

// The commands that list an option: "save, restore: ".
QString takenBy(const OptionDef& option)
{
    if (option.reach != Reach::Command)
        return {};
    QStringList names;
    for (const Command* c : commands())
        if (c->takes(option))
            names << QLatin1String(c->name);
    return names.join(QStringLiteral(", ")) + QStringLiteral(": ");
}

QString optionHead(const OptionDef& option)
{
    QString head = QStringLiteral("  ");
    if (option.shortName)
        head += QLatin1Char('-') + QLatin1String(option.shortName) + QStringLiteral(", ");
    head += QStringLiteral("--") + QLatin1String(option.name);
    if (option.valueName)
        head += QLatin1Char(' ') + QLatin1String(option.valueName);
    return head;
}

} // namespace

QString helpText()
{
    QString text = QStringLiteral("Usage: gpibconfig-cli");
    for (const OptionDef* o : options())
        if (o->reach == Reach::Program)
            text += QStringLiteral(" [") + optionHead(*o).trimmed() + QLatin1Char(']');
    text += QStringLiteral(" COMMAND ARGS\n\n");

    text += wrapped(withCounts("Shows, sets, saves, backs up, restores and compares the settings "
                               "of GPIB interface units of the {entries} models of gpibconfig, "
                               "and finds units on the bus. No display needed."),
                    kWidth);

    text += QStringLiteral("\nCommands:\n");
    for (const Command* c : commands()) {
        QString head = QStringLiteral("  ") + QLatin1String(c->name);
        if (*c->synopsis)
            head += QLatin1Char(' ') + QLatin1String(c->synopsis);
        text += row(head, withCounts(c->help), kCommandColumn);
    }

    text += QStringLiteral(
                "\n"
                "ENTRY is a model list entry such as 7352A or 7370b. ADDRESS is a primary address "
                "0 to\n"
                "30, or primary * 100 + secondary (512: primary 5, secondary 12); a multi-channel "
                "unit's\n"
                "channel N is at secondary %1. FUNC is a function's header as the menu sends it\n"
                "(SYST:COMM:SER:BAUD, any case) or its number in the menu. The unit's own bus "
                "address\n"
                "is not restored or compared unless --with-address is given.\n\n")
                .arg(channelSecondaries());

    text += wrapped(
        QStringLiteral(
            "Every command that talks to a unit does first what the configuration window does: "
            "the board's interface clear, remote enable and one-second time-out, the device "
            "clear, and the model's start actions (unlock and status clear, or the trigger "
            "sequence). Models that must be switched off and on first (%1) are asked for on a "
            "terminal; without one, give --power-cycled. The notice of the parallel models is "
            "printed once to standard error. restore and diff first ask the unit *IDN? and "
            "refuse a profile of another model.")
            .arg(powerCycleModels()),
        kWidth);

    text += QStringLiteral("\nOptions:\n");
    for (const OptionDef* o : options())
        text += row(optionHead(*o), takenBy(*o) + QLatin1String(o->help), kOptionColumn);

    text += QStringLiteral("\nOn a terminal, long commands show their progress on standard "
                           "error.\n\nExit status:\n");
    for (const ExitStatusHelp& s : kExitStatuses)
        text += row(QStringLiteral("  %1").arg(s.status), QLatin1String(s.help), kStatusColumn);
    return text;
}

} // namespace gpibconfig::cli
