// SPDX-License-Identifier: GPL-3.0-or-later
#include "Cli.h"

#include "Command.h"
#include "Invocation.h"

#include <QCommandLineParser>
#include <QRegularExpression>
#include <vector>

namespace gpibconfig::cli {

namespace {

// The exit status of a command's result.
int exitStatus(const Result& result)
{
    if (!result)
        return result.status();
    return *result == Outcome::Done ? kExitDone : kExitRefused;
}

// A number option's value: digits only, within the option's range.
std::optional<int> numberOf(const OptionDef& option, const QString& text)
{
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,5}$"));
    if (!digits.match(text).hasMatch())
        return std::nullopt;
    const int n = text.toInt();
    return n >= option.lowest && n <= option.highest ? std::optional(n) : std::nullopt;
}

} // namespace

int run(const QStringList& arguments, Environment& env)
{
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    std::vector<QCommandLineOption> parserOptions;
    for (const OptionDef* o : options()) {
        QStringList names;
        if (o->shortName)
            names << QLatin1String(o->shortName);
        names << QLatin1String(o->name);
        parserOptions.emplace_back(names, QString(),
                                   o->valueName ? QLatin1String(o->valueName) : QString());
        parser.addOption(parserOptions.back());
    }

    const auto usage = [&env](const QString& message) {
        env.err(kProgram + QStringLiteral(": ") + message + QStringLiteral("\nTry '") + kProgram +
                QStringLiteral(" --help'.\n"));
        return kExitUsage;
    };
    if (!parser.parse(QStringList{kProgram} + arguments))
        return usage(parser.errorText());

    // Switches and texts first: they cannot be wrong. Numbers are checked once the program knows
    // it is to run a command.
    Options options;
    for (std::size_t i = 0; i < parserOptions.size(); ++i) {
        const QCommandLineOption& given = parserOptions[i];
        if (!parser.isSet(given))
            continue;
        const auto& field = cli::options()[i]->field;
        if (const auto* flag = std::get_if<bool Options::*>(&field))
            options.**flag = true;
        else if (const auto* text = std::get_if<std::optional<QString> Options::*>(&field))
            options.**text = parser.value(given);
    }
    if (options.help) {
        env.out(helpText());
        return kExitDone;
    }
    if (options.version) {
        env.out(kProgram + QStringLiteral(" ") + QStringLiteral(GPIBCONFIG_VERSION) +
                QLatin1Char('\n'));
        return kExitDone;
    }

    const auto chosen =
        chooseDriver(options.driver, env.driverFromEnvironment, env.driverFromSettings);
    if (const auto* error = std::get_if<QString>(&chosen))
        return usage(*error);
    const DriverSpec driver = std::get<DriverChoice>(chosen).spec;
    if (driver.kind == DriverSpec::Kind::List) {
        QString problem;
        env.out(driverListText(&problem));
        if (problem.isEmpty())
            return kExitDone;
        env.err(QStringLiteral("gpibconfig-cli: %1\n").arg(problem));
        return kExitBusFailure;
    }

    for (std::size_t i = 0; i < parserOptions.size(); ++i) {
        const OptionDef& option = *cli::options()[i];
        const auto* number = std::get_if<std::optional<int> Options::*>(&option.field);
        if (!number || !parser.isSet(parserOptions[i]))
            continue;
        const QString text = parser.value(parserOptions[i]);
        options.**number = numberOf(option, text);
        if (!(options.**number))
            return usage(QStringLiteral("--%1 takes %2, not \"%3\"")
                             .arg(QLatin1String(option.name), QLatin1String(option.takes), text));
    }

    const QStringList positional = parser.positionalArguments();
    const QString name = positional.value(0);
    const Command* command = findCommand(name);
    if (!command)
        return usage(name.isEmpty() ? QStringLiteral("no command given")
                                    : QStringLiteral("unknown command \"%1\"").arg(name));
    Invocation invocation(env, *command, std::move(options), driver, positional.mid(1));
    if (const auto checked = invocation.checkCommandLine(); !checked)
        return checked.status();
    return exitStatus(command->run(invocation));
}

} // namespace gpibconfig::cli
