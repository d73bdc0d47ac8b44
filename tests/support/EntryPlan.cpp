#include "EntryPlan.h"

#include "models/ModelList.h"

namespace gpibconfig::test {

namespace {

struct SetFunction {
    const char* routine;
    int row;
    const char* value;
    const char* shown;
};

// One setting per routine that the units take and read back in a known form.
constexpr SetFunction kSetFunctions[] = {
    {"CONFIG11", 3, "(@1:2)", "(@1:2)"},
    {"CONFIG55", 3, "(@1:2)", "(@1:2)"},
    {"CONFIG28", 10, "(@1:16)", "(@1:16)"},
    {"CONFIG37B", 3, "(@1:7)", "(@1:7)"},
    {"CONFIG52A", 3, "2.5", "+02.5000"},
    {"CONFIG57", 2, "16", "16"},
    {"CONFIG62", 2, "16", "16"},
    {"CONFIG21", 2, "16", "16"},
    {"CONFIG74A", 4, "19200", "19200"},
    {"CONFIG76", 4, "19200", "19200"},
    {"CONFIG79", 2, "", ""},
    {"CONFIG25", 9, "12/25/2025", "12/25/2025"},
    {"CONFIG85", 8, "02/29/2024", "02/29/2024"},
    {"CONFIG17", 7, "2000", "2000"},
    {"CONFIG22", 9, "0D", "0D"},
    {"CONFIG70A", 1, "ZEB", "ZEB"},
    {"CONFIG70B", 1, "ZEB", "ZEB"},
};

} // namespace

QString EntryPlan::busHeader(int row) const
{
    return QLatin1String(routine->headerPrefix) +
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
    for (const SetFunction& f : kSetFunctions) {
        if (qstrcmp(f.routine, routine->name) == 0)
            return QLatin1String(f.value);
    }
    return {};
}

QString EntryPlan::shownFor(int channel) const
{
    if (fourChannels)
        return QString::number(8 + 4 * channel);
    for (const SetFunction& f : kSetFunctions) {
        if (qstrcmp(f.routine, routine->name) == 0)
            return QLatin1String(f.shown);
    }
    return {};
}

int EntryPlan::wordFor(int channel) const
{
    return fourChannels ? ((0x60 + 10 + channel) << 8) | address : address;
}

const QStringList& allEntries()
{
    static const QStringList entries = modelList();
    return entries;
}

std::optional<EntryPlan> planFor(const QString& entry)
{
    const qsizetype index = allEntries().indexOf(entry);
    if (index < 0)
        return std::nullopt;
    EntryPlan plan;
    plan.entry = entry;
    plan.model = entry.toStdString();
    plan.address = static_cast<int>(index) + 1;
    plan.routine = routineFor(modelCodeOf(entry).value_or(0), entry);
    if (!plan.routine)
        return std::nullopt;
    plan.rows = plan.routine->rows();
    plan.lock = plan.routine->lockSupported == 1;
    plan.fourChannels = plan.routine->multiChannel();
    plan.channels = plan.fourChannels ? plan.routine->channelCount : 1;
    for (const SetFunction& f : kSetFunctions) {
        if (qstrcmp(f.routine, plan.routine->name) == 0)
            plan.setRow = f.row;
    }
    return plan;
}

} // namespace gpibconfig::test
