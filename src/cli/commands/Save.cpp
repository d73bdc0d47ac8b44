// SPDX-License-Identifier: GPL-3.0-or-later
// save: *SAV 0 with the configuration window's check, or its Lock Settings.
#include "Commands.h"
#include "cli/Invocation.h"
#include "cli/Json.h"
#include "models/Models.h"

#include <array>

namespace gpibconfig::cli::command {

namespace {

Result run(Invocation& cli)
{
    const Options& opt = cli.options();
    const auto target = cli.target();
    if (!target)
        return target.stop();
    const Model& model = *target->model;
    const TypedAddress& address = target->address;
    std::optional<int> channel = target->channel;
    if ((opt.lock || opt.psc) && !model.lockable)
        return cli.usage(QStringLiteral("the %1 has no settings lock and no power-on status "
                                        "setting")
                             .arg(QLatin1String(model.entry)));
    // The window saves a multi-channel unit from its last channel's address.
    if (model.multiChannel() && !channel)
        channel = model.channelCount;

    if (const auto opened = cli.openUnit(model, address); !opened)
        return opened.stop();
    UnitSession unit = cli.session(model);
    if (const auto begun = cli.beginChannel(unit, channel); !begun)
        return begun.stop();
    if (opt.psc) {
        if (const auto checked = cli.check(unit.powerOnStatus(*opt.psc == 0).failure); !checked)
            return checked.stop();
    }
    const auto verdict = opt.lock ? unit.lock() : unit.save();
    if (const auto checked = cli.check(verdict.failure); !checked)
        return checked.stop();
    const QString place = where(model, cli.unit(), channel);
    if (opt.json) {
        Json doc = Json::object();
        doc.insert(QStringLiteral("entry"), QString::fromLatin1(model.entry));
        doc.insert(QStringLiteral("address"), address.primary);
        doc.insert(QStringLiteral("secondary"), Json::orNull(address.secondary));
        doc.insert(QStringLiteral("psc"), Json::orNull(opt.psc));
        doc.insert(QStringLiteral("locked"), opt.lock && verdict.confirmed());
        doc.insert(QStringLiteral("saved"), verdict.confirmed());
        doc.insert(QStringLiteral("esr"), verdict.status.kind == EventStatus::Kind::Value
                                              ? Json(verdict.status.value)
                                              : Json());
        cli.out(doc.toText());
    }
    if (!verdict.confirmed()) {
        cli.warn(place + QStringLiteral(": ") + verdict.refusal);
        return Outcome::Refused;
    }
    if (!opt.json)
        cli.out(place +
                (opt.lock ? QStringLiteral(": locked and saved\n") : QStringLiteral(": saved\n")));
    return Outcome::Done;
}

constexpr std::array<const OptionDef*, 3> kOptions{&option::channel, &option::lock, &option::psc};

} // namespace

constexpr Command save{
    .name = "save",
    .synopsis = "ENTRY ADDRESS",
    .help = "*SAV 0 with the configuration window's check; --lock locks\n"
            "the settings and saves, --psc 0|1 sends *PSC first",
    .options = kOptions,
    .talksToUnit = true,
    .run = run,
};

} // namespace gpibconfig::cli::command
