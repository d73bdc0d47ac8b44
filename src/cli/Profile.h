// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Json.h"

#include <QByteArray>
#include <QString>
#include <optional>
#include <variant>
#include <vector>

namespace gpibconfig {
struct Model;
}

namespace gpibconfig::cli {

// What one function of a unit's menu held, as `show` gives it and a profile keeps it.
struct FunctionValue {
    int number = 0;  // in the menu, from 1
    QString header;  // as it goes on the bus, prefix included
    QString prompt;  // the menu's prompt
    QString value;   // the unit's reply without its line feed
    QString display; // what the configuration window's list shows for it
};

// The functions of one channel; `channel` is null for a unit without channels.
struct ChannelValues {
    std::optional<int> channel;
    std::vector<FunctionValue> functions;
};

// A unit's settings as `show` reads them: the document of `show --json`, and with the format,
// version, *IDN? answer and time added, a profile.
struct UnitValues {
    const Model* model = nullptr;
    int address = 0;              // primary address
    std::optional<int> secondary; // as typed in the address, if one was
    std::vector<ChannelValues> channels;
};

struct Profile {
    UnitValues unit;
    QString idn;   // the unit's answer to *IDN? when it was taken
    QString taken; // when, in ISO 8601 (UTC)
};

inline constexpr char kProfileFormat[] = "gpibconfig-profile";
inline constexpr int kProfileVersion = 1;
// A profile of the largest menu is a few kilobytes; anything near this is not one.
inline constexpr qsizetype kMaxProfileBytes = 1024 * 1024;
// A value is a reply the program received into its 18-character buffer.
inline constexpr qsizetype kMaxValueLength = 18;

Json unitDocument(const UnitValues& unit);
Json profileDocument(const Profile& profile);

// Reads a profile. On failure, says in plain words what makes it unusable: not JSON, another
// format or version, an unknown entry, channel or header, a value no unit can have given, or
// more than kMaxProfileBytes. The entry, prompts and function numbers are taken from the model
// table, not from the file.
std::variant<Profile, QString> readProfile(const QByteArray& bytes);

// The entry of the model list a text names, whatever its case ("7352a"); null for none.
const Model* findEntry(const QString& text);

// What the configuration window's list shows for a function's value (without its line feed).
QString displayOf(const Model& model, int number, const QString& value);

// The bus address a reply to the address function stands for, as a value the function takes:
// a unit on its switch address answers 32 + that address, which it is set to with 31. nullopt
// for a reply that is no address.
std::optional<int> addressSetting(const QString& reply);

} // namespace gpibconfig::cli
