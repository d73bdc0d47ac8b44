// SPDX-License-Identifier: GPL-3.0-or-later
#include "EntryPlan.h"


namespace gpibconfig::test {

namespace {

struct SetFunction {
    const char* entries; // the list entries that share the menu, separated by blanks
    int row;
    const char* value;
    const char* shown;
};

// One setting per menu that the units take and read back in a known form.
constexpr SetFunction kSetFunctions[] = {
    {"7311", 3, "(@1:2)", "(@1:2)"},
    {"7355", 3, "(@1:2)", "(@1:2)"},
    {"7328", 10, "(@1:16)", "(@1:16)"},
    {"7337B", 3, "(@1:7)", "(@1:7)"},
    {"7352A", 3, "2.5", "+02.5000"},
    {"7357 7362 7321", 2, "16", "16"},
    {"7314A 7314B 7374A 7374B", 4, "19200", "19200"},
    {"7376", 4, "19200", "19200"},
    {"7379", 2, "", ""},
    {"7325 7325A 7340A", 9, "12/25/2025", "12/25/2025"},
    {"7334 7334A 7385 7385A", 8, "02/29/2024", "02/29/2024"},
    {"7317 7331 7360", 7, "2000", "2000"},
    {"7322", 9, "0D", "0D"},
    {"7370A", 1, "ZEB", "ZEB"},
    {"7370B", 1, "ZEB", "ZEB"},
};

const SetFunction* setFunctionFor(const QString& entry)
{
    for (const SetFunction& f : kSetFunctions)
        if (QString::fromLatin1(f.entries).split(QLatin1Char(' ')).contains(entry))
            return &f;
    return nullptr;
}

} // namespace

QString EntryPlan::busHeader(int row) const
{
    return QLatin1String(model->headerPrefix) +
           QLatin1String(rows[static_cast<std::size_t>(row - 1)].header);
}

QString EntryPlan::prompt(int row) const
{
    return QLatin1String(rows[static_cast<std::size_t>(row - 1)].prompt);
}

QString EntryPlan::valueFor(int channel) const
{
    if (fourChannels) // a different buffer size on each channel
        return QString::number(8 + 4 * channel);
    const SetFunction* f = setFunctionFor(entry);
    return f ? QLatin1String(f->value) : QString();
}

QString EntryPlan::shownFor(int channel) const
{
    if (fourChannels)
        return QString::number(8 + 4 * channel);
    const SetFunction* f = setFunctionFor(entry);
    return f ? QLatin1String(f->shown) : QString();
}

int EntryPlan::wordFor(int channel) const
{
    return fourChannels ? ((0x60 + 10 + channel) << 8) | address : address;
}

const QStringList& allEntries()
{
    static const QStringList entries = modelEntries();
    return entries;
}

std::optional<EntryPlan> planFor(const QString& entry)
{
    const qsizetype index = allEntries().indexOf(entry);
    if (index < 0)
        return std::nullopt;
    EntryPlan plan;
    plan.entry = entry;
    plan.unitModel = entry.toStdString();
    plan.address = static_cast<int>(index) + 1;
    plan.model = modelForEntry(entry);
    if (!plan.model)
        return std::nullopt;
    for (int n = 1; n <= plan.model->menu->count(); ++n)
        plan.rows.push_back(*plan.model->menu->function(n));
    plan.lock = plan.model->lockable;
    plan.fourChannels = plan.model->multiChannel();
    plan.channels = plan.model->channelCount;
    if (const SetFunction* f = setFunctionFor(entry))
        plan.setRow = f->row;
    return plan;
}

} // namespace gpibconfig::test
