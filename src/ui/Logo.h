#pragma once

#include <QImage>
#include <QString>

namespace gpibconfig {

// The maker's logo, drawn by the program itself: 847 x 275 pixels, 24-bit colour.
QImage makeLogo();

// The letters the logo shows: what a sighted operator reads on it, so assistive tools read it too.
QString logoLettering();

// The program's window icon: the connector of the logo (the same drawing as the installed icon).
QImage makeIconImage(int size = 64);

} // namespace gpibconfig
