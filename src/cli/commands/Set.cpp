// SPDX-License-Identifier: GPL-3.0-or-later
// set: values sent as the configuration window sends them, each checked and read back.
#include "Commands.h"
#include "cli/Invocation.h"
#include "cli/Json.h"
#include "logic/MenuLine.h"
#include "models/Models.h"

#include <array>

namespace gpibconfig::cli::command {

namespace {

// One function assignment of `set`.
struct Assignment {
    int number = 0;
    QString value;
};

Result run(Invocation& cli)
{
    const auto target = cli.target();
    if (!target)
        return target.stop();
    const Model& model = *target->model;
    const TypedAddress& address = target->address;
    const std::optional<int> channel = target->channel;
    if (model.multiChannel() && !channel)
        return cli.usage(QStringLiteral("the %1 has %2 channels: say which with --channel")
                             .arg(QLatin1String(model.entry))
                             .arg(model.channelCount));

    std::vector<Assignment> assignments;
    for (const QString& arg : cli.arguments().mid(2)) {
        const qsizetype eq = arg.indexOf(QLatin1Char('='));
        if (eq < 0)
            return cli.usage(QStringLiteral("\"%1\" is not FUNC=VALUE").arg(arg));
        const QString name = arg.left(eq).trimmed();
        Assignment a;
        a.value = UnitSession::oneMessage(arg.mid(eq + 1));
        bool isNumber = false;
        const int number = name.toInt(&isNumber);
        for (int n = 1; n <= model.menu->count(); ++n) {
            const auto f = model.menu->function(n);
            if ((isNumber && number == n) ||
                (!isNumber && name.compare(model.busHeader(*f), Qt::CaseInsensitive) == 0))
                a.number = n;
        }
        if (a.number == 0)
            return cli.usage(QStringLiteral("the %1 has no function \"%2\"; '%3 models --json' "
                                            "lists its menu")
                                 .arg(QLatin1String(model.entry), name, kProgram));
        if (a.value.trimmed().isEmpty())
            return cli.usage(QStringLiteral("no value given for %1").arg(name));
        assignments.push_back(a);
    }

    if (const auto opened = cli.openUnit(model, address); !opened)
        return opened.stop();
    UnitSession unit = cli.session(model);
    if (const auto begun = cli.beginChannel(unit, channel); !begun)
        return begun.stop();

    const bool json = cli.options().json;
    bool refused = false;
    Json settings = Json::array();
    int k = 0;
    for (const Assignment& a : assignments) {
        cli.progress(where(model, cli.unit(), channel) + QStringLiteral(", setting"), ++k,
                     static_cast<int>(assignments.size()));
        const auto queried = cli.read(unit, a.number);
        if (!queried)
            return queried.stop();
        const FunctionValue& before = *queried;
        const std::int16_t primaryBefore = cli.unit().primary;
        const auto setting = unit.set(a.number, a.value);
        if (const auto checked = cli.check(setting->failure); !checked)
            return checked.stop();
        Json& item = settings.append(Json::object());
        item.insert(QStringLiteral("number"), a.number);
        item.insert(QStringLiteral("header"), before.header);
        item.insert(QStringLiteral("prompt"), before.prompt);
        item.insert(QStringLiteral("sent"), a.value);
        item.insert(QStringLiteral("old"), before.display);
        QString result;
        switch (setting->outcome) {
        case UnitSession::Setting::Outcome::Taken:
            item.insert(QStringLiteral("outcome"), QStringLiteral("taken"));
            item.insert(QStringLiteral("new"), MenuLineValue(setting->shown));
            result = MenuLineValue(setting->shown);
            break;
        case UnitSession::Setting::Outcome::NoResponse:
            item.insert(QStringLiteral("outcome"), QStringLiteral("no answer to *ESR?"));
            result = QStringLiteral("not confirmed: no answer to *ESR?");
            refused = true;
            break;
        case UnitSession::Setting::Outcome::NotConfirmed:
            if (setting->status.kind == EventStatus::Kind::Value) {
                item.insert(QStringLiteral("outcome"), QStringLiteral("refused"));
                result = QStringLiteral("refused by the unit: ESR = %1").arg(setting->status.value);
            } else {
                item.insert(QStringLiteral("outcome"), QStringLiteral("no number in *ESR?"));
                result = QStringLiteral("not confirmed: no number in its answer to *ESR?");
            }
            refused = true;
            break;
        }
        item.insert(QStringLiteral("esr"), setting->status.kind == EventStatus::Kind::Value
                                               ? Json(setting->status.value)
                                               : Json());
        QString moved;
        if (cli.unit().primary != primaryBefore) {
            moved = QStringLiteral(" (the unit now answers at %1)").arg(cli.unit().primary);
            item.insert(QStringLiteral("address"), static_cast<int>(cli.unit().primary));
        }
        if (!json)
            cli.out(QStringLiteral("%1  %2 -> %3%4\n")
                        .arg(before.header, printable(before.display), printable(result), moved));
        if (setting->outcome != UnitSession::Setting::Outcome::Taken)
            cli.warn(QStringLiteral("%1: %2 %3 %4")
                         .arg(where(model, cli.unit(), channel), before.header,
                              printable(a.value), result));
    }
    if (json) {
        Json doc = Json::object();
        doc.insert(QStringLiteral("entry"), QString::fromLatin1(model.entry));
        doc.insert(QStringLiteral("address"), address.primary);
        doc.insert(QStringLiteral("secondary"), Json::orNull(address.secondary));
        doc.insert(QStringLiteral("channel"), Json::orNull(channel));
        doc.insert(QStringLiteral("settings"), std::move(settings));
        cli.out(doc.toText());
    }
    // Switching such a unit off and on, which its save asks for, brings back what it had saved:
    // the technician must know before that save.
    if (model.powerCycle)
        cli.warn(QStringLiteral("%1: not saved yet; switching it off brings back its saved "
                                "settings, so save it now with '%2 save %3 %4 --power-cycled'")
                     .arg(where(model, cli.unit(), channel), kProgram, QLatin1String(model.entry))
                     .arg(cli.unit().primary));
    return refused ? Outcome::Refused : Outcome::Done;
}

constexpr std::array<const OptionDef*, 1> kOptions{&option::channel};

} // namespace

constexpr Command set{
    .name = "set",
    .synopsis = "ENTRY ADDRESS FUNC=VALUE...",
    .help = "send each value, check *ESR?, read it back; prints the old\n"
            "and the new value (a multi-channel unit needs --channel N)",
    .options = kOptions,
    .talksToUnit = true,
    .run = run,
};

} // namespace gpibconfig::cli::command
