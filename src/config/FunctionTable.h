#pragma once

#include <QString>

#include <array>
#include <cstdint>

namespace gpibconfig {

// A model's menu as the engine walks it: up to 25 functions, slot 1 first, plus the per-model
// switches. Slot numbers come from model records and the engine; one outside 1..25 is a program
// fault, so it is refused here instead of being used as an index.
class FunctionTable {
public:
    static constexpr int kSlots = 25;

    static bool validSlot(int slot) { return slot >= 1 && slot <= kSlots; }

    // Refuses (returns false) a count outside 1..25.
    bool setFuncCount(int count);
    int FuncCount() const { return m_funcCount; }

    bool setFunction(int slot, const QString& prompt, const QString& header);
    // Empty text for a slot outside 1..25.
    QString FuncPrompt(int slot) const;
    QString FuncHeader(int slot) const;

    QString HeaderPrefix;
    std::int16_t AddressFunc = 0;
    std::int16_t LockSupported = 0;
    std::int16_t TriggerAtStart = 0;
    std::int16_t ChannelCount = 0;

private:
    int m_funcCount = 0;
    std::array<QString, kSlots> m_prompt;
    std::array<QString, kSlots> m_header;
};

} // namespace gpibconfig
