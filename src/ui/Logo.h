#pragma once

#include <QImage>

namespace gpibconfig {

// The maker's logo, drawn by the program itself: 847 x 275 pixels, 24-bit colour.
QImage makeLogo();

} // namespace gpibconfig
