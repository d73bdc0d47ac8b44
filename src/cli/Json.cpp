// SPDX-License-Identifier: GPL-3.0-or-later
#include "Json.h"

#include <stdexcept>

namespace gpibconfig::cli {

Json& Json::append(Json value)
{
    auto* array = std::get_if<Array>(&m_value);
    if (!array)
        throw std::logic_error("append to a JSON value that is not an array");
    array->push_back(std::move(value));
    return array->back();
}

Json& Json::insert(const QString& key, Json value)
{
    auto* object = std::get_if<Object>(&m_value);
    if (!object)
        throw std::logic_error("member of a JSON value that is not an object");
    object->emplace_back(key, std::move(value));
    return object->back().second;
}

QString jsonString(const QString& text)
{
    QString out;
    out.reserve(text.size() + 2);
    out += QLatin1Char('"');
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        switch (u) {
        case u'"':
            out += QLatin1String("\\\"");
            break;
        case u'\\':
            out += QLatin1String("\\\\");
            break;
        case u'\n':
            out += QLatin1String("\\n");
            break;
        case u'\r':
            out += QLatin1String("\\r");
            break;
        case u'\t':
            out += QLatin1String("\\t");
            break;
        default:
            // Control characters (a unit may answer anything) are escaped; so is DEL and the C1
            // range, which a terminal would act on, and every surrogate: a lone one (a file may
            // hold it as an escape) has no UTF-8 form and would not come back as it was.
            if (u < 0x20 || (u >= 0x7F && u < 0xA0) || QChar::isSurrogate(u))
                out +=
                    QStringLiteral("\\u%1").arg(static_cast<unsigned>(u), 4, 16, QLatin1Char('0'));
            else
                out += c;
        }
    }
    out += QLatin1Char('"');
    return out;
}

void Json::write(QString& out, int depth) const
{
    const QString indent(2 * (depth + 1), QLatin1Char(' '));
    const QString closing(2 * depth, QLatin1Char(' '));
    if (std::holds_alternative<std::monostate>(m_value)) {
        out += QLatin1String("null");
    } else if (const auto* b = std::get_if<bool>(&m_value)) {
        out += *b ? QLatin1String("true") : QLatin1String("false");
    } else if (const auto* n = std::get_if<std::int64_t>(&m_value)) {
        out += QString::number(*n);
    } else if (const auto* s = std::get_if<QString>(&m_value)) {
        out += jsonString(*s);
    } else if (const auto* a = std::get_if<Array>(&m_value)) {
        if (a->empty()) {
            out += QLatin1String("[]");
            return;
        }
        out += QLatin1String("[\n");
        for (std::size_t i = 0; i < a->size(); ++i) {
            out += indent;
            (*a)[i].write(out, depth + 1);
            out += i + 1 < a->size() ? QLatin1String(",\n") : QLatin1String("\n");
        }
        out += closing + QLatin1Char(']');
    } else if (const auto* o = std::get_if<Object>(&m_value)) {
        if (o->empty()) {
            out += QLatin1String("{}");
            return;
        }
        out += QLatin1String("{\n");
        for (std::size_t i = 0; i < o->size(); ++i) {
            out += indent + jsonString((*o)[i].first) + QLatin1String(": ");
            (*o)[i].second.write(out, depth + 1);
            out += i + 1 < o->size() ? QLatin1String(",\n") : QLatin1String("\n");
        }
        out += closing + QLatin1Char('}');
    }
}

QString Json::toText() const
{
    QString out;
    write(out, 0);
    out += QLatin1Char('\n');
    return out;
}

} // namespace gpibconfig::cli
