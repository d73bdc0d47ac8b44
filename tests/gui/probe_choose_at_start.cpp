// SPDX-License-Identifier: GPL-3.0-or-later
// gpibconfig's own main() with its command line, reporting once the window is up whether the
// controller dialog is open over it (as the desktop entry's action asks with --choose-controller),
// then ending.
#include "app/ProgramMain.h"
#include "ui/MainWindow.h"

#include <QCoreApplication>
#include <QDialog>
#include <QTimer>
#include <cstdio>

int main(int argc, char** argv)
{
    return gpibconfig::gpibconfigMain(argc, argv, [](gpibconfig::MainWindow& window) {
        QTimer::singleShot(0, &window, [&window] {
            const auto* dialog = window.findChild<QDialog*>(QStringLiteral("frmController"));
            std::printf("%s\n", dialog && dialog->isVisible() ? "controller dialog open"
                                                              : "no controller dialog");
            std::fflush(stdout);
            QCoreApplication::quit();
        });
    });
}
