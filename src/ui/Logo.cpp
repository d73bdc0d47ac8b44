#include "Logo.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>

namespace gpibconfig {

QImage makeLogo()
{
    QImage image(847, 275, QImage::Format_RGB888);
    image.fill(Qt::white);
    QPainter p(&image);
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

    QFont big(QStringLiteral("Sans Serif"));
    big.setPixelSize(150);
    big.setBold(true);
    p.setFont(big);
    p.setPen(Qt::white);
    p.drawText(QRect(270, 10, 560, 190), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("ZEB"));
    QFont small(QStringLiteral("Sans Serif"));
    small.setPixelSize(42);
    p.setFont(small);
    p.drawText(QRect(275, 190, 560, 70), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("GPIB interfaces"));
    return image;
}

} // namespace gpibconfig
