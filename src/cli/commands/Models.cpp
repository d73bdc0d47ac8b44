// SPDX-License-Identifier: GPL-3.0-or-later
// models: the model table as the window and the engine read it.
#include "Commands.h"
#include "cli/Invocation.h"
#include "cli/Json.h"
#include "models/Models.h"

namespace gpibconfig::cli::command {

namespace {

Result run(Invocation& cli)
{
    const auto yesNo = [](bool b) { return b ? QStringLiteral("yes") : QStringLiteral("no"); };
    if (cli.options().json) {
        Json list = Json::array();
        for (const Model& m : gpibconfig::models()) {
            Json& item = list.append(Json::object());
            item.insert(QStringLiteral("entry"), QString::fromLatin1(m.entry));
            item.insert(QStringLiteral("code"), static_cast<int>(m.code));
            Json& functions = item.insert(QStringLiteral("functions"), Json::array());
            for (int n = 1; n <= m.menu->count(); ++n) {
                const auto f = m.menu->function(n);
                Json& fn = functions.append(Json::object());
                fn.insert(QStringLiteral("number"), n);
                fn.insert(QStringLiteral("header"), m.busHeader(*f));
                fn.insert(QStringLiteral("prompt"), QString::fromLatin1(f->prompt));
            }
            item.insert(QStringLiteral("addressFunction"), m.menu->addressFunction);
            item.insert(QStringLiteral("lockable"), m.lockable);
            item.insert(QStringLiteral("triggerAtStart"), m.triggerAtStart);
            item.insert(QStringLiteral("notice"), m.hasNotice());
            item.insert(QStringLiteral("channels"), m.channelCount);
            item.insert(QStringLiteral("powerCycle"), m.powerCycle);
        }
        Json doc = Json::object();
        doc.insert(QStringLiteral("models"), std::move(list));
        cli.out(doc.toText());
        return Outcome::Done;
    }
    QString text = QStringLiteral("entry  code  functions  lock  trigger  notice  channels  "
                                  "power cycle\n");
    for (const Model& m : gpibconfig::models())
        text += QStringLiteral("%1  %2  %3  %4  %5  %6  %7  %8\n")
                    .arg(QLatin1String(m.entry), -5)
                    .arg(m.code, -4)
                    .arg(m.menu->count(), -9)
                    .arg(yesNo(m.lockable), -4)
                    .arg(yesNo(m.triggerAtStart), -7)
                    .arg(yesNo(m.hasNotice()), -6)
                    .arg(m.channelCount, -8)
                    .arg(yesNo(m.powerCycle));
    cli.out(text);
    return Outcome::Done;
}

} // namespace

constexpr Command models{
    .name = "models",
    .synopsis = "",
    .help = "the {entries} entries: entry, model code, functions, lock support,\n"
            "trigger start, notice, channels, power cycle",
    .options = {},
    .talksToUnit = false,
    .run = run,
};

} // namespace gpibconfig::cli::command
