// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>

namespace gpibconfig {

class MainWindow;

// The whole of gpibconfig's main(): options, the driver chosen by option, environment or
// settings file, the trace, then the main window until it is closed. `onShown` runs once the
// window is visible; the start-up benchmark uses it to time the program's real start-up path.
int gpibconfigMain(int argc, char** argv, const std::function<void(MainWindow&)>& onShown = {});

} // namespace gpibconfig
