// SPDX-License-Identifier: GPL-3.0-or-later
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
    GPIB32 gpib(driver);
    QtNotifier notifier;
    AppContext app{state, gpib, clock, notifier};

    // One size is drawn; the icon scales it down where a smaller one is asked for.
    QApplication::setWindowIcon(QIcon(QPixmap::fromImage(makeIconImage(64))));
    // The desktop entry is named after the program, behind the project's reverse-DNS prefix
    // (org.gpibconfig.gpibconfig-sim.desktop), as packaging/CMakeLists.txt installs it.
    if (QGuiApplication::desktopFileName().isEmpty())
        QGuiApplication::setDesktopFileName(QStringLiteral(GPIBCONFIG_DESKTOP_ID_PREFIX) +
                                            QCoreApplication::applicationName());

    MainWindow window(app);
    window.show();
    if (onShown)
        onShown(window);
    return QApplication::exec();
}

} // namespace gpibconfig
