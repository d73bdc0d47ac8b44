// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What a whole run of one list entry does on the default bench: where its unit sits, its menu,
// the function given a new value and the finishing buttons it offers. Shared by the fault sweep
// and the hostile suites.

#include "models/Models.h"

#include <QString>
#include <QStringList>
#include <optional>
#include <string>
#include <vector>

namespace gpibconfig::test {

struct EntryPlan {
    QString entry;
    std::string unitModel; // the bench's name of the entry's unit
    int address = 0;       // primary address of the entry's unit on the default bench
    const Model* model = nullptr;
    std::vector<MenuFunction> rows;
    int setRow = 0;
    bool lock = false;
    bool fourChannels = false;
    int channels = 1;

    QString busHeader(int row) const;
    QString prompt(int row) const;
    // What is typed for the set function on `channel` (0 for a single-channel unit), and what the
    // list shows once the unit took it.
    QString valueFor(int channel) const;
    QString shownFor(int channel) const;
    // The address word the run talks to on `channel`.
    int wordFor(int channel) const;
};

// The 27 entries of the model list, in its order.
const QStringList& allEntries();
// nullopt for a text that is not an entry.
std::optional<EntryPlan> planFor(const QString& entry);

} // namespace gpibconfig::test
