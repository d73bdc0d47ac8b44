// SPDX-License-Identifier: GPL-3.0-or-later
// backup: every setting of a unit to a profile.
#include "Commands.h"
#include "cli/Invocation.h"
#include "cli/Json.h"
#include "models/Models.h"

#include <QSaveFile>
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
    // Opened before the bus, so a file that cannot be written costs no trip to the unit; the
    // profile replaces it only once it is whole.
    std::unique_ptr<QSaveFile> file;
    if (opt.output) {
        file = std::make_unique<QSaveFile>(*opt.output);
        if (!file->open(QIODevice::WriteOnly))
            return cli.usage(
                QStringLiteral("cannot write %1: %2").arg(*opt.output, file->errorString()));
    }

    auto values = cli.readUnit(model, address, std::nullopt);
    if (!values)
        return values.stop();
    Profile profile;
    profile.unit = std::move(*values);
    const auto idn = cli.identify();
    if (!idn)
        return idn.stop();
    profile.idn = *idn;
    profile.taken = cli.environment().now().toUTC().toString(Qt::ISODate);
    const QByteArray text = profileDocument(profile).toText().toUtf8();
    if (!file) {
        cli.out(QString::fromUtf8(text));
        return Outcome::Done;
    }
    if (file->write(text) != text.size() || !file->commit())
        return cli.usage(
            QStringLiteral("cannot write %1: %2").arg(*opt.output, file->errorString()));
    int settings = 0;
    for (const ChannelValues& c : profile.unit.channels)
        settings += static_cast<int>(c.functions.size());
    if (opt.json) {
        Json doc = Json::object();
        doc.insert(QStringLiteral("entry"), QString::fromLatin1(model.entry));
        doc.insert(QStringLiteral("address"), address.primary);
        doc.insert(QStringLiteral("secondary"), Json::orNull(address.secondary));
        doc.insert(QStringLiteral("file"), *opt.output);
        doc.insert(QStringLiteral("settings"), settings);
        cli.out(doc.toText());
    } else {
        cli.out(QStringLiteral("%1: %2 settings written to %3\n")
                    .arg(where(model, cli.unit(), std::nullopt))
                    .arg(settings)
                    .arg(*opt.output));
    }
    return Outcome::Done;
}

constexpr std::array<const OptionDef*, 1> kOptions{&option::output};

} // namespace

constexpr Command backup{
    .name = "backup",
    .synopsis = "ENTRY ADDRESS",
    .help = "every setting to a profile, on standard output or -o FILE\n"
            "(every channel of a multi-channel unit)",
    .options = kOptions,
    .talksToUnit = true,
    .run = run,
};

} // namespace gpibconfig::cli::command
