// SPDX-License-Identifier: GPL-3.0-or-later
#include "Logo.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace gpibconfig {

namespace {

// Block letters drawn as polygons on a 5 x 7 grid: the logo needs no font, so it looks the same
// on every machine and costs nothing to draw at start-up.
void drawBlockLetter(QPainter& p, char letter, QPointF origin, double cell)
{
    static const char* const kZ[7] = {"#####", "    #", "   # ", "  #  ",
                                      " #   ", "#    ", "#####"};
    static const char* const kE[7] = {"#####", "#    ", "#    ", "#### ",
                                      "#    ", "#    ", "#####"};
    static const char* const kB[7] = {"#### ", "#   #", "#   #", "#### ",
                                      "#   #", "#   #", "#### "};
    const char* const* rows = letter == 'Z'   ? kZ
                              : letter == 'E' ? kE
                              : letter == 'B' ? kB
                                              : nullptr;
    if (!rows)
        return;
    QPainterPath path;
    for (int r = 0; r < 7; ++r)
        for (int c = 0; c < 5; ++c)
            if (rows[r][c] == '#')
                path.addRect(QRectF(origin.x() + c * cell, origin.y() + r * cell, cell, cell));
    p.fillPath(path, Qt::white);
}

} // namespace

QString logoLettering() { return QStringLiteral("ZEB"); }

QPicture makeLogo()
{
    QPicture picture;
    picture.setBoundingRect(QRect(0, 0, 847, 275));
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing);

    QLinearGradient band(0, 0, 847, 0);
    band.setColorAt(0, QColor(0, 0, 128));
    band.setColorAt(1, QColor(40, 90, 200));
    p.fillRect(QRect(0, 0, 847, 275), band);

    // A stylised bus connector: two rows of pins.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(230, 230, 240));
    p.drawRoundedRect(QRectF(40, 70, 200, 135), 18, 18);
    p.setBrush(QColor(0, 0, 90));
    for (int row = 0; row < 2; ++row)
        for (int pin = 0; pin < 6; ++pin)
            p.drawEllipse(QPointF(70 + pin * 28 + row * 14, 115 + row * 45), 8, 8);

    const double cell = 25;
    double x = 300;
    for (const QChar letter : logoLettering()) {
        drawBlockLetter(p, letter.toLatin1(), QPointF(x, 50), cell);
        x += 6 * cell + 15;
    }
    p.end();
    return picture;
}

QImage makeIconImage(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 64.0, size / 64.0);
    QLinearGradient band(0, 0, 64, 64);
    band.setColorAt(0, QColor(0, 0, 128));
    band.setColorAt(1, QColor(40, 90, 200));
    p.setPen(Qt::NoPen);
    p.setBrush(band);
    p.drawRoundedRect(QRectF(2, 2, 60, 60), 10, 10);
    p.setBrush(QColor(230, 230, 240));
    p.drawRoundedRect(QRectF(8, 20, 48, 24), 6, 6);
    p.setBrush(QColor(0, 0, 90));
    for (int pin = 0; pin < 6; ++pin)
        p.drawEllipse(QPointF(15 + pin * 7, 27), 2.6, 2.6);
    for (int pin = 0; pin < 5; ++pin)
        p.drawEllipse(QPointF(18.5 + pin * 7, 37), 2.6, 2.6);
    return image;
}

} // namespace gpibconfig
