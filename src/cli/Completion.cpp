// SPDX-License-Identifier: GPL-3.0-or-later
#include "Completion.h"

#include "Command.h"
#include "drivers/ControllerLogic.h"

#include <QStringList>

namespace gpibconfig::cli {

namespace {

QStringList optionNames(bool (*which)(const OptionDef&), bool withShortNames)
{
    QStringList names;
    for (const OptionDef* o : options()) {
        if (!which(*o))
            continue;
        names << QStringLiteral("--") + QLatin1String(o->name);
        if (withShortNames && o->shortName)
            names << QStringLiteral("-") + QLatin1String(o->shortName);
    }
    return names;
}

bool takesValue(const OptionDef& o)
{
    return o.valueName != nullptr;
}

bool valueIs(const OptionDef& o, const char* name)
{
    return o.valueName && QLatin1String(o.valueName) == QLatin1String(name);
}

// Commands whose first argument is `what` ("ENTRY", "FILE"), as a case pattern.
QString commandsTaking(const char* what)
{
    QStringList names;
    for (const Command* c : commands()) {
        const QString first = QString::fromLatin1(c->synopsis).section(QLatin1Char(' '), 0, 0);
        if (first == QLatin1String(what))
            names << QLatin1String(c->name);
    }
    return names.join(QStringLiteral(" | "));
}

// The arm of the `case $prev` for one set of options; none when no option is in the set.
QString prevArm(const QStringList& names, const QString& body)
{
    if (names.isEmpty())
        return {};
    return QStringLiteral("        %1)\n%2            return\n            ;;\n")
        .arg(names.join(QStringLiteral(" | ")), body);
}

} // namespace

QString bashCompletion()
{
    QStringList commandNames;
    for (const Command* c : commands())
        commandNames << QLatin1String(c->name);

    // The driver forms: the kinds alone, or with ":" for a kind that needs a host or a port,
    // the serial ports found on this machine completed in full.
    QStringList driverWords{QStringLiteral("sim"), QStringLiteral("list")};
    QString serialWords;
    for (const ControllerKind& kind : controllerKinds()) {
        switch (kind.takes) {
        case ControllerKind::Takes::Nothing:
            driverWords.prepend(kind.prefix);
            break;
        case ControllerKind::Takes::Host:
            driverWords << kind.prefix + QLatin1Char(':');
            break;
        case ControllerKind::Takes::SerialPort:
            driverWords << kind.prefix + QLatin1Char(':');
            serialWords += QStringLiteral(" ${ports//\\/dev\\//%1:\\/dev\\/}").arg(kind.prefix);
            break;
        }
    }

    const auto isDriver = [](const OptionDef& o) { return &o == &option::driver; };
    const auto isFile = [](const OptionDef& o) { return valueIs(o, "FILE"); };
    const auto isSwitch = [](const OptionDef& o) { return valueIs(o, "0|1"); };
    // Values nothing can be offered for (numbers): the command line waits for them.
    const auto isOtherValue = [](const OptionDef& o) {
        return takesValue(o) && &o != &option::driver && !valueIs(o, "FILE") &&
               !valueIs(o, "0|1");
    };

    QString prevArms;
    prevArms += prevArm(optionNames(isDriver, true),
                        QStringLiteral("            local drivers=\"%1\"\n"
                                       "            local ports\n"
                                       "            ports=$(compgen -G '/dev/ttyUSB*'; compgen -G "
                                       "'/dev/ttyACM*')\n"
                                       "            COMPREPLY=($(compgen -W \"$drivers%2\" -- "
                                       "\"$cur\"))\n"
                                       "            [[ ${COMPREPLY[0]} == *: ]] && compopt -o "
                                       "nospace\n")
                            .arg(driverWords.join(QLatin1Char(' ')), serialWords));
    prevArms += prevArm(optionNames(isFile, true), QStringLiteral("            _filedir\n"));
    prevArms += prevArm(optionNames(isSwitch, true),
                        QStringLiteral("            COMPREPLY=($(compgen -W \"0 1\" -- "
                                       "\"$cur\"))\n"));
    prevArms += prevArm(optionNames(isOtherValue, true), QString());

    QString script = QStringLiteral(
        "# SPDX-License-Identifier: GPL-3.0-or-later\n"
        "# bash completion for gpibconfig-cli (made by the build from the program's tables)\n"
        "_gpibconfig_cli()\n"
        "{\n"
        "    local cur prev words cword\n"
        "    _init_completion || return\n"
        "\n"
        "    local commands=\"@COMMANDS@\"\n"
        "    local options=\"@OPTIONS@\"\n"
        "\n"
        "    case $prev in\n"
        "@PREV@"
        "    esac\n"
        "\n"
        "    if [[ $cur == -* ]]; then\n"
        "        COMPREPLY=($(compgen -W \"$options\" -- \"$cur\"))\n"
        "        return\n"
        "    fi\n"
        "\n"
        "    # The command is the first word that is neither an option nor an option's value.\n"
        "    local i command=\"\" position=0\n"
        "    for ((i = 1; i < cword; i++)); do\n"
        "        case ${words[i]} in\n"
        "            @VALUED@) ((i++)) ;;\n"
        "            -*) ;;\n"
        "            *)\n"
        "                if [[ -z $command ]]; then\n"
        "                    command=${words[i]}\n"
        "                else\n"
        "                    ((position++))\n"
        "                fi\n"
        "                ;;\n"
        "        esac\n"
        "    done\n"
        "\n"
        "    if [[ -z $command ]]; then\n"
        "        COMPREPLY=($(compgen -W \"$commands\" -- \"$cur\"))\n"
        "        return\n"
        "    fi\n"
        "    case $command in\n"
        "        @ENTRY_COMMANDS@)\n"
        "            # ENTRY first: the list entries, as the program itself lists them.\n"
        "            if ((position == 0)); then\n"
        "                local entries\n"
        "                entries=$(\"${words[0]}\" models 2>/dev/null | awk 'NR > 1 { print $1 "
        "}')\n"
        "                COMPREPLY=($(compgen -W \"$entries\" -- \"${cur^^}\"))\n"
        "            fi\n"
        "            ;;\n"
        "        @FILE_COMMANDS@)\n"
        "            ((position == 0)) && _filedir json\n"
        "            ;;\n"
        "    esac\n"
        "} &&\n"
        "    complete -F _gpibconfig_cli gpibconfig-cli\n");
    script.replace(QStringLiteral("@COMMANDS@"), commandNames.join(QLatin1Char(' ')));
    script.replace(QStringLiteral("@OPTIONS@"),
                   optionNames([](const OptionDef&) { return true; }, false)
                       .join(QLatin1Char(' ')));
    script.replace(QStringLiteral("@PREV@"), prevArms);
    script.replace(QStringLiteral("@VALUED@"),
                   optionNames(takesValue, true).join(QStringLiteral(" | ")));
    script.replace(QStringLiteral("@ENTRY_COMMANDS@"), commandsTaking("ENTRY"));
    script.replace(QStringLiteral("@FILE_COMMANDS@"), commandsTaking("FILE"));
    return script;
}

} // namespace gpibconfig::cli
