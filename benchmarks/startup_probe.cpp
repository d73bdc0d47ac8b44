// SPDX-License-Identifier: GPL-3.0-or-later
// Start-up probe: prints "shown <maxrss-kB>" once its window is on the screen, then quits. Built
// three times: as gpibconfig's own main() (options, driver choice, settings file, libraries and
// all), as a bare Qt Widgets window and as a bare window with one label, so the runner can compare
// them in one run.
#include <QApplication>
#include <QLabel>
#include <QTimer>
#include <QWidget>
#include <cstdio>
#include <sys/resource.h>

#ifdef PROBE_PROGRAM
#include "app/ProgramMain.h"
#include "ui/MainWindow.h"
#endif

namespace {

void reportShown()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("shown %ld\n", usage.ru_maxrss);
    std::fflush(stdout);
}

// The window counts as shown once the event loop has painted it.
void whenShown(QWidget& window)
{
    QTimer::singleShot(0, &window, [] {
        reportShown();
        QCoreApplication::quit();
    });
}

} // namespace

int main(int argc, char** argv)
{
#ifdef PROBE_PROGRAM
    return gpibconfig::gpibconfigMain(argc, argv,
                                      [](gpibconfig::MainWindow& window) { whenShown(window); });
#else
    QApplication application(argc, argv);
    QWidget window;
    window.resize(515, 427);
#ifdef PROBE_LABEL
    // The floor for any window that shows text: the font system has to start up for it.
    QLabel label(QStringLiteral("Select a Model to configure"), &window);
    label.move(40, 60);
#endif
    window.show();
    whenShown(window);
    return QApplication::exec();
#endif
}
