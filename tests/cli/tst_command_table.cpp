// SPDX-License-Identifier: GPL-3.0-or-later
// The promises --help makes, held to what the program does, and the bash completion held to the
// tables of commands and options. --help is read as a technician reads it, not from the tables.
#include "cli/Command.h"
#include "models/Models.h"
#include "support/CliRig.h"

#include <QFile>
#include <QRegularExpression>
#include <gtest/gtest.h>
#include <map>

using namespace gpibconfig;
using namespace gpibconfig::test;

namespace {

QString helpText()
{
    BenchCli r;
    EXPECT_EQ(r.run({QStringLiteral("--help")}), 0);
    return r.cli.out;
}

// The lines of one section of --help ("Commands:", "Options:"), up to the blank line after it.
QStringList section(const QString& help, const QString& title)
{
    const QStringList lines = help.split(QLatin1Char('\n'));
    const qsizetype start = lines.indexOf(title);
    QStringList out;
    for (qsizetype i = start + 1; start >= 0 && i < lines.size() && !lines[i].isEmpty(); ++i)
        out << lines[i];
    return out;
}

struct HelpCommand {
    QString name;
    QStringList synopsis;
};

// The commands --help lists: "  show ENTRY ADDRESS      every function...".
std::vector<HelpCommand> helpCommands(const QString& help)
{
    std::vector<HelpCommand> out;
    for (const QString& line : section(help, QStringLiteral("Commands:"))) {
        static const QRegularExpression head(QStringLiteral("^  (\\S+(?: \\S+)*)(?:  |$)"));
        const auto m = head.match(line);
        if (!m.hasMatch())
            continue; // a line of a command's text
        QStringList words = m.captured(1).split(QLatin1Char(' '));
        out.push_back({words.takeFirst(), words});
    }
    return out;
}

struct HelpOption {
    QString name;           // the long name, without dashes
    bool takesValue = false;
    QStringList commands;   // those named in front of its text; empty: none named
};

// The options --help lists: "  --lock             save, restore: lock the settings ...".
std::vector<HelpOption> helpOptions(const QString& help, const QStringList& commandNames)
{
    static const QRegularExpression line(
        QStringLiteral("^  (?:-\\w, )?--([a-z-]+)( \\S+)?\\s+(?:([a-z, ]+): )?"));
    std::vector<HelpOption> out;
    for (const QString& text : section(help, QStringLiteral("Options:"))) {
        const auto m = line.match(text);
        if (!m.hasMatch())
            continue;
        HelpOption option{m.captured(1), !m.captured(2).isEmpty(), {}};
        for (const QString& word : m.captured(3).split(QStringLiteral(", "), Qt::SkipEmptyParts))
            if (commandNames.contains(word))
                option.commands << word;
        out.push_back(option);
    }
    return out;
}

// ----- --help and the option checks ---------------------------------------------------------

// Each option is refused by exactly the commands --help does not name for it; an option that
// names none belongs to every command that talks to a unit (those with an ADDRESS), or to all.
// The command lines miss an argument (or have one too many), so none reaches the bus, and the
// usage error names the arguments as --help does.
TEST(HelpPromises, EveryOptionAppliesToTheCommandsTheHelpNames)
{
    const QString help = helpText();
    const std::vector<HelpCommand> commands = helpCommands(help);
    QStringList names;
    for (const HelpCommand& c : commands)
        names << c.name;
    ASSERT_EQ(names, (QStringList{"models", "scan", "show", "set", "save", "backup", "restore",
                                  "diff"}));
    const std::vector<HelpOption> options = helpOptions(help, names);
    ASSERT_EQ(options.size(), 14u);

    const QStringList withoutCommand{"driver", "board", "trace", "json", "help", "version"};
    for (const HelpOption& option : options) {
        if (withoutCommand.contains(option.name))
            continue;
        for (const HelpCommand& command : commands) {
            SCOPED_TRACE(qPrintable(QStringLiteral("--%1 with %2").arg(option.name, command.name)));
            const bool talksToUnit = command.synopsis.contains(QStringLiteral("ADDRESS"));
            const bool applies = option.commands.isEmpty() ? talksToUnit
                                                           : option.commands.contains(command.name);
            QStringList line{command.name};
            if (command.synopsis.isEmpty())
                line << QStringLiteral("extra");
            line << QStringLiteral("--") + option.name;
            if (option.takesValue)
                line << QStringLiteral("1");
            BenchCli r;
            EXPECT_EQ(r.run(line), 64);
            const QString expected =
                applies ? QStringLiteral("gpibconfig-cli: %1 takes %2\n")
                              .arg(command.name, command.synopsis.isEmpty()
                                                     ? QStringLiteral("no arguments")
                                                     : command.synopsis.join(QLatin1Char(' ')))
                        : QStringLiteral("gpibconfig-cli: --%1 does not apply to %2\n")
                              .arg(option.name, command.name);
            EXPECT_TRUE(r.cli.err.startsWith(expected)) << r.cli.err.toStdString();
            EXPECT_EQ(r.bench->trace().size(), 0u);
        }
    }
}

// The models --help says must be switched off and on ("7314A/B, 7376": entries of one code
// joined) are exactly those the program asks to be, and so exactly the rows that say so.
TEST(HelpPromises, ThePowerCycleModelsAreThoseThatAreAskedFor)
{
    const QString help = helpText().simplified();
    static const QRegularExpression list(
        QStringLiteral("switched off and on first \\(([^)]*)\\)"));
    const auto m = list.match(help);
    ASSERT_TRUE(m.hasMatch()) << help.toStdString();
    QStringList listed;
    for (const QString& group : m.captured(1).split(QStringLiteral(", "))) {
        const QStringList parts = group.split(QLatin1Char('/'));
        listed << parts[0];
        for (const QString& suffix : parts.mid(1))
            listed << parts[0].left(parts[0].size() - suffix.size()) + suffix;
    }
    QStringList asked;
    QStringList rows;
    for (const Model& model : models()) {
        const QString entry = QLatin1String(model.entry);
        BenchCli r;
        // The trace file cannot be opened: the run stops at the bus, after the power cycle's
        // question and before any call.
        EXPECT_EQ(r.run({QStringLiteral("--trace"), QStringLiteral("/nonexistent/trace"),
                         QStringLiteral("show"), entry, QStringLiteral("5")}),
                  64);
        if (r.cli.err.contains(QStringLiteral("must be switched off and on")))
            asked << entry;
        if (model.powerCycle)
            rows << entry;
    }
    EXPECT_EQ(listed, asked);
    EXPECT_EQ(listed, rows);
}

// The channel rule --help gives is where show finds each channel.
TEST(HelpPromises, EachChannelIsAtTheSecondaryTheHelpGives)
{
    static const QRegularExpression rule(QStringLiteral("channel N is at secondary N \\+ (\\d+)"));
    const auto m = rule.match(helpText().simplified());
    ASSERT_TRUE(m.hasMatch());
    const int base = m.captured(1).toInt();
    BenchCli r;
    ASSERT_EQ(r.run({QStringLiteral("show"), QStringLiteral("7379"), QStringLiteral("25")}), 0)
        << r.cli.err.toStdString();
    static const QRegularExpression heading(QStringLiteral("channel (\\d) \\(secondary (\\d+)\\)"));
    int channels = 0;
    for (auto it = heading.globalMatch(r.cli.out); it.hasNext(); ++channels) {
        const auto h = it.next();
        EXPECT_EQ(h.captured(2).toInt(), h.captured(1).toInt() + base) << h.captured(0).toStdString();
    }
    EXPECT_EQ(channels, 4);
}

} // namespace
