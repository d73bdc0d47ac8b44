#include "Application.h"

#include "Logo.h"
#include "MainWindow.h"

#include <QApplication>
#include <QIcon>

namespace gpibconfig {

void QtNotifier::beep() { QApplication::beep(); }

int runGpibConfig(Driver& driver, Clock& clock, const std::function<void(MainWindow&)>& onShown)
{
    ProgramState state;
    GPIB32 gpib(driver, state.status);
    QtNotifier notifier;
    AppContext app{state, gpib, clock, notifier};

    QIcon icon;
    for (const int size : {16, 32, 64})
        icon.addPixmap(QPixmap::fromImage(makeIconImage(size)));
    QApplication::setWindowIcon(icon);
    // The desktop entry is named after the program (gpibconfig, gpibconfig-sim).
    if (QGuiApplication::desktopFileName().isEmpty())
        QGuiApplication::setDesktopFileName(QCoreApplication::applicationName());

    MainWindow window(app);
    window.show();
    if (onShown)
        onShown(window);
    return QApplication::exec();
}

} // namespace gpibconfig
