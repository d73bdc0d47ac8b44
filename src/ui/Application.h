// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "logic/AppContext.h"

#include <functional>

class QWidget;

namespace gpibconfig {

class MainWindow;

// The system beep.
class QtNotifier final : public Notifier {
public:
    void beep() override;
};

// Runs the program on the given driver and clock until the main window is closed: one program
// state, one access layer, the main window. `onShown` runs once the main window is visible (the
// bench uses it to open its own window beside it).
int runGpibConfig(Driver& driver, Clock& clock,
                  const std::function<void(MainWindow&)>& onShown = {});

} // namespace gpibconfig
