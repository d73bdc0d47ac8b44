#include "app/ProgramMain.h"

int main(int argc, char** argv) { return gpibconfig::gpibconfigMain(argc, argv); }
