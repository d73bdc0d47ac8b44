// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/Cli.h"

#include <QCoreApplication>

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("gpibconfig-cli"));
    gpibconfig::cli::Environment env = gpibconfig::cli::processEnvironment();
    return gpibconfig::cli::run(QCoreApplication::arguments().mid(1), env);
}
