// SPDX-License-Identifier: GPL-3.0-or-later
// Writes gpibconfig-cli's bash completion to the file named by its argument; the build runs it
// and the package installs what it writes.
#include "cli/Completion.h"

#include <QFile>
#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fputs("usage: gpibconfig-cli-completion FILE\n", stderr);
        return 2;
    }
    QFile out(QFile::decodeName(argv[1]));
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        out.write(gpibconfig::cli::bashCompletion().toUtf8()) < 0 || !out.flush()) {
        std::fprintf(stderr, "gpibconfig-cli-completion: %s: %s\n", argv[1],
                     qPrintable(out.errorString()));
        return 1;
    }
    return 0;
}
