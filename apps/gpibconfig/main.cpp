// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ProgramMain.h"

int main(int argc, char** argv) { return gpibconfig::gpibconfigMain(argc, argv); }
