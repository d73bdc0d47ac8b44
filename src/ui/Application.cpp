#include "Application.h"

#include "MainWindow.h"

#include <QApplication>

namespace gpibconfig {

void QtNotifier::beep() { QApplication::beep(); }

int runGpibConfig(Driver& driver, Clock& clock, const std::function<void(MainWindow&)>& onShown)
{
    ProgramState state;
    GPIB32 gpib(driver, state.status);
    QtNotifier notifier;
    AppContext app{state, gpib, clock, notifier};

    MainWindow window(app);
    window.show();
    if (onShown)
        onShown(window);
    return QApplication::exec();
}

} // namespace gpibconfig
