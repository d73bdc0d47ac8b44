// SPDX-License-Identifier: GPL-3.0-or-later
// restore: the settings of a profile that differ from the unit's, each checked and read back,
// then the save; diff shares the walk.
#include "Restore.h"

#include "Commands.h"
#include "cli/Invocation.h"
#include "cli/Json.h"
#include "logic/MenuLine.h"
#include "models/Models.h"

#include <array>

namespace gpibconfig::cli::command {

Result restoreOrCompare(Invocation& cli, bool compareOnly)
{
    const Options& opt = cli.options();
    const QString file = cli.arguments()[0];
    const auto typed = cli.addressOf(cli.arguments()[1]);
    if (!typed)
        return typed.stop();
    const TypedAddress& address = *typed;
    if (opt.lock && opt.noSave)
        return cli.usage(
            QStringLiteral("--lock saves the settings; it does not go with --no-save"));

    const auto bytes = cli.readProfileFile(file);
    if (!bytes)
        return bytes.stop();
    const auto parsed = readProfile(*bytes);
    if (const auto* problem = std::get_if<QString>(&parsed))
        return cli.badProfile(file, *problem);
    const Profile& profile = std::get<Profile>(parsed);
    const Model& model = *profile.unit.model;
    if (opt.lock && !model.lockable)
        return cli.usage(
            QStringLiteral("the %1 has no settings lock").arg(QLatin1String(model.entry)));

    if (const auto opened = cli.openUnit(model, address); !opened)
        return opened.stop();
    UnitSession unit = cli.session(model);
    const bool dryRun = compareOnly || opt.dryRun;

    struct Change {
        std::optional<int> channel;
        FunctionValue unit;
        FunctionValue profile;
        QString sent;
        std::optional<UnitSession::Setting> setting;
    };
    std::vector<Change> changes;
    bool refused = false;
    bool identified = false;
    for (const ChannelValues& channel : profile.unit.channels) {
        const auto begun = cli.beginChannel(unit, channel.channel, [&]() -> Step<> {
            if (identified)
                return {};
            identified = true;
            return cli.checkIdentity(model, file);
        });
        if (!begun)
            return begun.stop();
        int k = 0;
        for (const FunctionValue& wanted : channel.functions) {
            cli.progress(where(model, cli.unit(), channel.channel) + QStringLiteral(", function"),
                         ++k, static_cast<int>(channel.functions.size()));
            const auto queried = cli.read(unit, wanted.number);
            if (!queried)
                return queried.stop();
            const FunctionValue& current = *queried;
            Change change{channel.channel, current, wanted, wanted.value, std::nullopt};
            if (wanted.number == model.menu->addressFunction) {
                // Where a unit sits is not one of its settings, unless asked: compared by the
                // address it stands for, as two units on their switches answer differently.
                if (!opt.withAddress)
                    continue;
                const auto want = addressSetting(wanted.value);
                if (addressSetting(current.value) == want)
                    continue;
                change.sent = QString::number(want.value_or(31));
            } else if (current.value == wanted.value) {
                continue;
            }
            if (!dryRun && change.sent.trimmed().isEmpty()) {
                // As in the window, where an empty entry moves on: there is nothing to send.
                refused = true;
                cli.warn(QStringLiteral("%1: %2 cannot be set to the profile's empty value")
                             .arg(where(model, cli.unit(), channel.channel), wanted.header));
            } else if (!dryRun) {
                change.setting = unit.set(wanted.number, change.sent);
                if (const auto checked = cli.check(change.setting->failure); !checked)
                    return checked.stop();
                if (change.setting->outcome != UnitSession::Setting::Outcome::Taken) {
                    refused = true;
                    cli.warn(QStringLiteral("%1: %2 %3 %4")
                                 .arg(where(model, cli.unit(), channel.channel), wanted.header,
                                      printable(change.sent),
                                      refusedByTheUnit(*change.setting)
                                          ? QStringLiteral("refused by the unit: ESR = %1")
                                                .arg(change.setting->status.value)
                                          : QStringLiteral("not confirmed by the unit")));
                }
            }
            changes.push_back(change);
        }
        cli.clearProgress();
    }

    std::optional<UnitSession::Verdict> verdict;
    if (!dryRun && !refused && !opt.noSave) {
        verdict = opt.lock ? unit.lock() : unit.save();
        if (const auto checked = cli.check(verdict->failure); !checked)
            return checked.stop();
    }

    const QString place = where(model, cli.unit(), std::nullopt);
    if (opt.json) {
        Json doc = Json::object();
        doc.insert(QStringLiteral("entry"), QString::fromLatin1(model.entry));
        doc.insert(QStringLiteral("address"), address.primary);
        doc.insert(QStringLiteral("secondary"), Json::orNull(address.secondary));
        Json& list = doc.insert(
            compareOnly ? QStringLiteral("differences") : QStringLiteral("changes"), Json::array());
        for (const Change& c : changes) {
            Json& item = list.append(Json::object());
            item.insert(QStringLiteral("channel"), Json::orNull(c.channel));
            item.insert(QStringLiteral("number"), c.profile.number);
            item.insert(QStringLiteral("header"), c.profile.header);
            item.insert(QStringLiteral("prompt"), c.profile.prompt);
            item.insert(QStringLiteral("unit"), c.unit.value);
            item.insert(QStringLiteral("profile"), c.profile.value);
            if (compareOnly)
                continue;
            item.insert(QStringLiteral("sent"), opt.dryRun ? Json() : Json(c.sent));
            if (!opt.dryRun && !c.setting)
                item.insert(QStringLiteral("outcome"), QStringLiteral("not sent"));
            if (c.setting) {
                const bool taken = c.setting->outcome == UnitSession::Setting::Outcome::Taken;
                item.insert(QStringLiteral("outcome"), taken ? QStringLiteral("taken")
                                                       : refusedByTheUnit(*c.setting)
                                                           ? QStringLiteral("refused")
                                                           : QStringLiteral("not confirmed"));
                item.insert(QStringLiteral("esr"),
                            c.setting->status.kind == EventStatus::Kind::Value
                                ? Json(c.setting->status.value)
                                : Json());
            }
        }
        if (!compareOnly) {
            doc.insert(QStringLiteral("dryRun"), opt.dryRun);
            doc.insert(QStringLiteral("saved"), verdict && verdict->confirmed());
            doc.insert(QStringLiteral("locked"), verdict && verdict->confirmed() && opt.lock);
        }
        cli.out(doc.toText());
    } else {
        QString text;
        for (const Change& c : changes) {
            const QString header =
                c.channel ? QStringLiteral("channel %1  %2").arg(*c.channel).arg(c.profile.header)
                          : c.profile.header;
            if (compareOnly) {
                text += QStringLiteral("%1  unit: %2  profile: %3\n")
                            .arg(header, printable(c.unit.value), printable(c.profile.value));
            } else if (opt.dryRun) {
                text += QStringLiteral("%1  %2 -> %3 (not sent)\n")
                            .arg(header, printable(c.unit.value), printable(c.sent));
            } else {
                const bool taken =
                    c.setting && c.setting->outcome == UnitSession::Setting::Outcome::Taken;
                text += QStringLiteral("%1  %2 -> %3\n")
                            .arg(header, printable(c.unit.value),
                                 taken        ? printable(MenuLineValue(c.setting->shown))
                                 : !c.setting ? QStringLiteral("not sent")
                                 : refusedByTheUnit(*c.setting) ? QStringLiteral("refused")
                                                                : QStringLiteral("not confirmed"));
            }
        }
        if (changes.empty())
            text += compareOnly ? QStringLiteral("%1: no differences\n").arg(place)
                                : QStringLiteral("%1: nothing to change\n").arg(place);
        if (verdict && verdict->confirmed())
            text += place + (opt.lock ? QStringLiteral(": locked and saved\n")
                                      : QStringLiteral(": saved\n"));
        cli.out(text);
    }

    if (compareOnly)
        return changes.empty() ? Outcome::Done : Outcome::Refused;
    if (refused) {
        cli.warn(place + QStringLiteral(": not saved, the unit did not take every setting"));
        return Outcome::Refused;
    }
    if (verdict && !verdict->confirmed()) {
        cli.warn(place + QStringLiteral(": ") + verdict->refusal);
        return Outcome::Refused;
    }
    return Outcome::Done;
}

namespace {

constexpr std::array<const OptionDef*, 4> kOptions{&option::dryRun, &option::withAddress,
                                                   &option::noSave, &option::lock};

} // namespace

constexpr Command restore{
    .name = "restore",
    .synopsis = "FILE ADDRESS",
    .help = "the settings of a profile that differ from the unit's, in menu\n"
            "order, each checked and read back, then *SAV 0 and its check",
    .options = kOptions,
    .talksToUnit = true,
    .run = [](Invocation& cli) { return restoreOrCompare(cli, false); },
};

} // namespace gpibconfig::cli::command
