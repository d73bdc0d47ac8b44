// SPDX-License-Identifier: GPL-3.0-or-later
// The firmware's sketch as a C++ translation unit; the include path picks the release. The
// Arduino IDE declares a sketch's functions before compiling it; ar488_prototypes.h (made by
// CMake from the sketch, see CMakeLists.txt) does the same, after the headers that give the
// types they use, so the order below matters.
// clang-format off
#include "AR488_ComPorts.h"
#include "AR488_Config.h"
#include "AR488_Eeprom.h"
#include "AR488_GPIBbus.h"
#include "ar488_prototypes.h"
#include "AR488.ino"
// clang-format on
