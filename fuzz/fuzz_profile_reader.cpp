// SPDX-License-Identifier: GPL-3.0-or-later
// The profile reader of gpibconfig-cli, which takes files from anywhere: any bytes are refused or
// give a profile the program can use, whose every value is a reply a unit could have given, and
// which comes back the same when written and read again.
#include "FuzzSupport.h"
#include "cli/Profile.h"
#include "core/QtText.h"
#include "models/Models.h"

#include <QByteArray>
#include <QSet>

namespace {

using namespace gpibconfig;
using namespace gpibconfig::cli;

std::string show(const QString& text) { return fuzz::show(u16view(text)); }

void checkUsable(const Profile& p)
{
    const Model* model = p.unit.model;
    FUZZ_CHECK(model != nullptr, "a profile without its model");
    FUZZ_CHECK(!p.unit.channels.empty(), "a profile of %s without channels", model->entry);
    QSet<int> channels;
    for (const ChannelValues& c : p.unit.channels) {
        if (model->multiChannel()) {
            FUZZ_CHECK(c.channel && *c.channel >= 1 && *c.channel <= model->channelCount,
                       "a %s channel outside 1..%d", model->entry, model->channelCount);
        } else {
            FUZZ_CHECK(!c.channel, "a channel of a %s", model->entry);
        }
        FUZZ_CHECK(!channels.contains(c.channel.value_or(0)), "channel given twice");
        channels.insert(c.channel.value_or(0));
        int previous = 0;
        for (const FunctionValue& f : c.functions) {
            const auto menuFunction = model->menu->function(f.number);
            FUZZ_CHECK(menuFunction.has_value(), "function %d outside the %s menu", f.number,
                       model->entry);
            FUZZ_CHECK(f.number > previous, "functions out of menu order or twice");
            previous = f.number;
            FUZZ_CHECK(f.header == model->busHeader(*menuFunction), "header %s for function %d",
                       show(f.header).c_str(), f.number);
            FUZZ_CHECK(f.value.size() <= kMaxValueLength, "value %s longer than a reply",
                       show(f.value).c_str());
            for (const QChar ch : f.value)
                FUZZ_CHECK(ch.unicode() <= 0xFF && ch != QLatin1Char('\n') &&
                               ch != QLatin1Char('\r'),
                           "value %s no unit could send as one reply", show(f.value).c_str());
            if (f.number == model->menu->addressFunction)
                FUZZ_CHECK(addressSetting(f.value).has_value(), "address value %s",
                           show(f.value).c_str());
        }
    }
}

bool sameProfile(const Profile& a, const Profile& b)
{
    if (a.unit.model != b.unit.model || a.idn != b.idn || a.taken != b.taken ||
        a.unit.address != b.unit.address || a.unit.secondary != b.unit.secondary ||
        a.unit.channels.size() != b.unit.channels.size())
        return false;
    for (std::size_t i = 0; i < a.unit.channels.size(); ++i) {
        const ChannelValues& x = a.unit.channels[i];
        const ChannelValues& y = b.unit.channels[i];
        if (x.channel != y.channel || x.functions.size() != y.functions.size())
            return false;
        for (std::size_t k = 0; k < x.functions.size(); ++k) {
            const FunctionValue& f = x.functions[k];
            const FunctionValue& g = y.functions[k];
            if (f.number != g.number || f.header != g.header || f.prompt != g.prompt ||
                f.value != g.value || f.display != g.display)
                return false;
        }
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const auto read = readProfile(bytes);
    if (const auto* problem = std::get_if<QString>(&read)) {
        FUZZ_CHECK(!problem->isEmpty(), "a refusal without a reason");
        return 0;
    }
    const Profile& profile = std::get<Profile>(read);
    checkUsable(profile);

    const QByteArray written = profileDocument(profile).toText().toUtf8();
    const auto again = readProfile(written);
    FUZZ_CHECK(std::holds_alternative<Profile>(again), "a profile written back is refused: %s",
               show(std::get<QString>(again)).c_str());
    FUZZ_CHECK(sameProfile(profile, std::get<Profile>(again)),
               "a profile changed on its way through a file:\n%s", written.constData());
    return 0;
}
