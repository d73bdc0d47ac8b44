#pragma once

#include <QString>

#include <span>
#include <vector>

namespace gpibconfig {

struct MenuRow {
    const char* prompt;
    const char* header;
};

// A prompt that differs from the family's menu at one row (models that share a menu but name
// their channel ranges differently).
struct PromptOverride {
    int row; // 1-based
    const char* prompt;
};

// One model routine: everything it writes before it starts the engine. Routines hold no
// decisions; the configuration logic runs them all the same way.
struct ModelRoutine {
    const char* name;              // CONFIG11 ...
    std::span<const MenuRow> menu; // rows 1..n
    std::span<const PromptOverride> overrides;
    int addressFunc;
    int lockSupported;
    int triggerAtStart;
    const char* headerPrefix;
    const char* noticeModel; // model named in the notice; null: no notice and no second IFC
    int channelCount;        // 0: single channel; the four-channel unit keeps its channel address

    bool hasNotice() const { return noticeModel != nullptr; }
    bool multiChannel() const { return channelCount > 0; }
    // The menu with the routine's own prompts in place.
    std::vector<MenuRow> rows() const;
    // The notice shown before the menu, six texts joined without anything between them.
    QString notice() const;
};

// The routine that configures a model, chosen by model code (and, for 7370, the whole number);
// null for a code no routine serves.
const ModelRoutine* routineFor(int modelCode, const QString& modelNumber);

// Every routine, for tests and tools.
std::span<const ModelRoutine> allRoutines();

} // namespace gpibconfig
