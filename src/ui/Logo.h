// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QPicture>
#include <QString>

namespace gpibconfig {

// The maker's logo, drawn by the program itself on an 847 x 275 canvas. Kept as drawing commands
// rather than pixels: it is painted at whatever size its control has, costs next to no memory,
// and nothing is drawn before the window is.
QPicture makeLogo();

// The letters the logo shows: what a sighted operator reads on it, so assistive tools read it too.
QString logoLettering();

// The program's window icon: the connector of the logo (the same drawing as the installed icon).
QImage makeIconImage(int size = 64);

} // namespace gpibconfig
