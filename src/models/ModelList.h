#pragma once

#include <QStringList>

#include <optional>

namespace gpibconfig {

// The supported units as the main window lists them, in ascending order.
QStringList modelList();

// Lowest and highest model code the program accepts.
inline constexpr int kLowestModelCode = 7301;
inline constexpr int kHighestModelCode = 7385;

// The model code of a list entry: its leading number (read like every number the program reads)
// as a 16-bit integer. nullopt when the number does not fit 16 bits at all.
std::optional<std::int16_t> modelCodeOf(const QString& entry);

// Units of these codes must be power cycled before they can be configured.
bool needsPowerCycle(int modelCode);

} // namespace gpibconfig
