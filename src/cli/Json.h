// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <cstdint>
#include <utility>
#include <variant>
#include <vector>

namespace gpibconfig::cli {

// A JSON value that keeps its object members in the order they were added, so documents read
// in the order a person expects (Qt's JSON objects sort their keys).
class Json {
public:
    using Array = std::vector<Json>;
    using Object = std::vector<std::pair<QString, Json>>;

    Json() = default; // null
    Json(bool value)
        : m_value(value)
    {
    }
    Json(int value)
        : m_value(static_cast<std::int64_t>(value))
    {
    }
    Json(std::int64_t value)
        : m_value(value)
    {
    }
    Json(const QString& value)
        : m_value(value)
    {
    }
    Json(const char*) = delete; // say QStringLiteral: a char* would quietly become a bool

    static Json array() { return Json(Array{}); }
    static Json object() { return Json(Object{}); }
    // null when the optional is empty.
    template <typename T> static Json orNull(const T& optional)
    {
        return optional ? Json(*optional) : Json();
    }

    // Appends to an array, or adds a member to an object; returns the value added.
    Json& append(Json value);
    Json& insert(const QString& key, Json value);

    // The document: two blanks of indentation per level, members one a line, a line feed at the
    // end. Text is written as UTF-8 with control characters escaped.
    QString toText() const;

private:
    explicit Json(Array value)
        : m_value(std::move(value))
    {
    }
    explicit Json(Object value)
        : m_value(std::move(value))
    {
    }
    void write(QString& out, int depth) const;

    std::variant<std::monostate, bool, std::int64_t, QString, Array, Object> m_value;
};

// A JSON string literal for `text`, quotes included.
QString jsonString(const QString& text);

} // namespace gpibconfig::cli
