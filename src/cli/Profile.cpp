// SPDX-License-Identifier: GPL-3.0-or-later
#include "Profile.h"

#include "logic/MenuLine.h"
#include "logic/UnitSession.h"
#include "models/Models.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QRegularExpression>
#include <QSet>
#include <algorithm>
#include <cmath>

namespace gpibconfig::cli {

namespace {

Json functionsDocument(const std::vector<FunctionValue>& functions)
{
    Json list = Json::array();
    for (const FunctionValue& f : functions) {
        Json& item = list.append(Json::object());
        item.insert(QStringLiteral("number"), f.number);
        item.insert(QStringLiteral("header"), f.header);
        item.insert(QStringLiteral("prompt"), f.prompt);
        item.insert(QStringLiteral("value"), f.value);
        item.insert(QStringLiteral("display"), f.display);
    }
    return list;
}

void addUnit(Json& doc, const UnitValues& unit)
{
    doc.insert(QStringLiteral("entry"), QString::fromLatin1(unit.model->entry));
    doc.insert(QStringLiteral("address"), unit.address);
    doc.insert(QStringLiteral("secondary"), Json::orNull(unit.secondary));
    Json& channels = doc.insert(QStringLiteral("channels"), Json::array());
    for (const ChannelValues& c : unit.channels) {
        Json& channel = channels.append(Json::object());
        channel.insert(QStringLiteral("channel"), Json::orNull(c.channel));
        channel.insert(QStringLiteral("functions"), functionsDocument(c.functions));
    }
}

// An integer given as a JSON number, within [lo, hi].
std::optional<int> integerIn(const QJsonValue& value, int lo, int hi)
{
    if (!value.isDouble())
        return std::nullopt;
    const double d = value.toDouble();
    if (!(d >= lo && d <= hi) || std::trunc(d) != d)
        return std::nullopt;
    return static_cast<int>(d);
}

// What keeps a text from being a reply the program could have received.
QString valueProblem(const QString& value)
{
    if (value.size() > kMaxValueLength)
        return QStringLiteral("longer than a reply (%1 characters)").arg(kMaxValueLength);
    for (const QChar c : value) {
        if (c == QLatin1Char('\n') || c == QLatin1Char('\r'))
            return QStringLiteral("holds a line break");
        if (c.unicode() > 0xFF)
            return QStringLiteral("holds a character no unit sends");
    }
    return {};
}

QString quoted(const QString& text) { return jsonString(text); }

} // namespace

Json unitDocument(const UnitValues& unit)
{
    Json doc = Json::object();
    addUnit(doc, unit);
    return doc;
}

Json profileDocument(const Profile& profile)
{
    Json doc = Json::object();
    doc.insert(QStringLiteral("format"), QString::fromLatin1(kProfileFormat));
    doc.insert(QStringLiteral("version"), kProfileVersion);
    addUnit(doc, profile.unit);
    // Placed after the unit's identity and before its settings would be nicer to read, but the
    // show document's members come first so a profile reads as "show" plus its provenance.
    doc.insert(QStringLiteral("idn"), profile.idn);
    doc.insert(QStringLiteral("taken"), profile.taken);
    return doc;
}

const Model* findEntry(const QString& text)
{
    for (const Model& m : models())
        if (text.compare(QLatin1String(m.entry), Qt::CaseInsensitive) == 0)
            return &m;
    return nullptr;
}

QString displayOf(const Model& model, int number, const QString& value)
{
    if (number != model.menu->addressFunction)
        return MenuLineValue(value);
    return MenuLineValue(UnitSession::queriedAddress(value + QLatin1Char('\n')));
}

std::optional<int> addressSetting(const QString& reply)
{
    static const QRegularExpression digits(QStringLiteral("^[ ]*([0-9]{1,2})[ ]*$"));
    const QRegularExpressionMatch match = digits.match(reply);
    if (!match.hasMatch())
        return std::nullopt;
    const int v = match.captured(1).toInt();
    if (v <= 30)
        return v;
    if (v >= 32 && v <= 62)
        return 31;
    return std::nullopt;
}

std::variant<Profile, QString> readProfile(const QByteArray& bytes)
{
    if (bytes.size() > kMaxProfileBytes)
        return QStringLiteral("larger than %1 bytes, no profile is").arg(kMaxProfileBytes);
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &parseError);
    if (parseError.error != QJsonParseError::NoError)
        return QStringLiteral("not JSON: %1 at byte %2")
            .arg(parseError.errorString())
            .arg(parseError.offset);
    if (!document.isObject())
        return QStringLiteral("not a profile: the document is not a JSON object");
    const QJsonObject root = document.object();
    if (root.value(QStringLiteral("format")).toString() != QLatin1String(kProfileFormat))
        return QStringLiteral("not a profile: \"format\" is not \"%1\"")
            .arg(QLatin1String(kProfileFormat));
    const QJsonValue version = root.value(QStringLiteral("version"));
    if (integerIn(version, kProfileVersion, kProfileVersion) != kProfileVersion)
        return QStringLiteral("profile version %1 is not one this program reads (%2)")
            .arg(version.isDouble() ? QString::number(version.toDouble())
                                    : QStringLiteral("missing"))
            .arg(kProfileVersion);

    Profile profile;
    const QJsonValue entry = root.value(QStringLiteral("entry"));
    profile.unit.model = entry.isString() ? findEntry(entry.toString()) : nullptr;
    if (!profile.unit.model)
        return QStringLiteral("unknown entry %1")
            .arg(entry.isString() ? quoted(entry.toString()) : QStringLiteral("(none)"));
    const Model& model = *profile.unit.model;

    for (const char* key : {"idn", "taken"}) {
        const QJsonValue v = root.value(QLatin1String(key));
        if (!v.isUndefined() && !v.isString())
            return QStringLiteral("\"%1\" is not a text").arg(QLatin1String(key));
    }
    profile.idn = root.value(QStringLiteral("idn")).toString();
    profile.taken = root.value(QStringLiteral("taken")).toString();
    // Where the unit was; informational, the address to restore to is given on the command line.
    profile.unit.address = integerIn(root.value(QStringLiteral("address")), 0, 30).value_or(0);
    profile.unit.secondary = integerIn(root.value(QStringLiteral("secondary")), 0, 31);

    const QJsonValue channels = root.value(QStringLiteral("channels"));
    if (!channels.isArray() || channels.toArray().isEmpty())
        return QStringLiteral("no channels with settings");
    QSet<int> channelsSeen;
    for (const QJsonValue& c : channels.toArray()) {
        if (!c.isObject())
            return QStringLiteral("a channel is not a JSON object");
        const QJsonObject channel = c.toObject();
        ChannelValues values;
        const QJsonValue number = channel.value(QStringLiteral("channel"));
        if (model.multiChannel()) {
            values.channel = integerIn(number, 1, model.channelCount);
            if (!values.channel)
                return QStringLiteral("a %1 has channels 1 to %2, the profile names another")
                    .arg(QLatin1String(model.entry))
                    .arg(model.channelCount);
        } else if (!number.isNull() && !number.isUndefined()) {
            return QStringLiteral("a %1 has no channels").arg(QLatin1String(model.entry));
        }
        const int key = values.channel.value_or(0);
        if (channelsSeen.contains(key))
            return QStringLiteral("channel %1 is given twice").arg(key);
        channelsSeen.insert(key);

        const QJsonValue functions = channel.value(QStringLiteral("functions"));
        if (!functions.isArray())
            return QStringLiteral("a channel without its functions");
        QSet<int> functionsSeen;
        for (const QJsonValue& f : functions.toArray()) {
            if (!f.isObject())
                return QStringLiteral("a function is not a JSON object");
            const QJsonObject function = f.toObject();
            const QJsonValue header = function.value(QStringLiteral("header"));
            if (!header.isString())
                return QStringLiteral("a function without its header");
            FunctionValue v;
            for (int n = 1; n <= model.menu->count(); ++n) {
                const auto menuFunction = model.menu->function(n);
                if (menuFunction && header.toString().compare(model.busHeader(*menuFunction),
                                                              Qt::CaseInsensitive) == 0) {
                    v.number = n;
                    v.header = model.busHeader(*menuFunction);
                    v.prompt = QLatin1String(menuFunction->prompt);
                }
            }
            if (v.number == 0)
                return QStringLiteral("a %1 has no function %2")
                    .arg(QLatin1String(model.entry), quoted(header.toString()));
            const QJsonValue given = function.value(QStringLiteral("number"));
            if (!given.isUndefined() && integerIn(given, v.number, v.number) != v.number)
                return QStringLiteral("%1 is function %2 of the %3's menu, not %4")
                    .arg(v.header)
                    .arg(v.number)
                    .arg(QLatin1String(model.entry), given.isDouble()
                                                         ? QString::number(given.toDouble())
                                                         : QStringLiteral("what \"number\" says"));
            if (functionsSeen.contains(v.number))
                return QStringLiteral("%1 is given twice").arg(v.header);
            functionsSeen.insert(v.number);
            const QJsonValue value = function.value(QStringLiteral("value"));
            if (!value.isString())
                return QStringLiteral("%1 has no value").arg(v.header);
            v.value = value.toString();
            if (const QString problem = valueProblem(v.value); !problem.isEmpty())
                return QStringLiteral("the value of %1 %2").arg(v.header, problem);
            if (v.number == model.menu->addressFunction && !addressSetting(v.value))
                return QStringLiteral("the value of %1, %2, is no bus address")
                    .arg(v.header, quoted(v.value));
            v.display = displayOf(model, v.number, v.value);
            values.functions.push_back(std::move(v));
        }
        std::sort(
            values.functions.begin(), values.functions.end(),
            [](const FunctionValue& a, const FunctionValue& b) { return a.number < b.number; });
        profile.unit.channels.push_back(std::move(values));
    }
    std::sort(profile.unit.channels.begin(), profile.unit.channels.end(),
              [](const ChannelValues& a, const ChannelValues& b) {
                  return a.channel.value_or(0) < b.channel.value_or(0);
              });
    return profile;
}

} // namespace gpibconfig::cli
