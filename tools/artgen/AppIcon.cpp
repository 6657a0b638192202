#include "AppIcon.h"

#include "Glyphs.h"
#include "Palette.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace artgen {

QImage drawAppIcon(int size)
{
    const double s = size;
    const bool fine = size >= 48;   // rays, scale ticks, tile rim
    const bool tiny = size < 24;    // no thermometer: it would be a smudge

    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);

    // Tile.
    const double inset = tiny ? 0.0 : s * 0.02;
    const QRectF tile(inset, inset, s - 2 * inset, s - 2 * inset);
    const double corner = s * 0.22;
    QLinearGradient sky(tile.topLeft(), tile.bottomRight());
    sky.setColorAt(0.0, palette::skyMid.lighter(115));
    sky.setColorAt(1.0, palette::skyLow);
    p.setPen(Qt::NoPen);
    p.setBrush(sky);
    p.drawRoundedRect(tile, corner, corner);
    if (fine) {
        QColor rim = palette::horizonGlow;
        rim.setAlpha(90);
        p.setPen(QPen(rim, s * 0.008));
        p.setBrush(Qt::NoBrush);
        const double h = s * 0.004;
        p.drawRoundedRect(tile.adjusted(h, h, -h, -h), corner - h, corner - h);
    }

    // The glyph sits a little left of centre when the thermometer is there,
    // so the three shapes together are balanced on the tile.
    const double shift = tiny ? s * 0.05 : 0.0;
    drawSun(p, QPointF(s * 0.41 + shift, s * 0.38), s * (tiny ? 0.19 : 0.165), fine);

    const QRectF cloudBox(s * 0.13 + shift, s * 0.42, s * (tiny ? 0.74 : 0.62), s * (tiny ? 0.36 : 0.31));
    QPainterPath cloud = cloudPath(cloudBox);
    if (fine) {
        // Soft shadow under the cloud.
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0x03, 0x10, 0x22, 70));
        p.drawPath(cloud.translated(0, s * 0.025));
    }
    QLinearGradient cloudFill(0, cloudBox.top(), 0, cloudBox.bottom());
    cloudFill.setColorAt(0.0, QColor(0xff, 0xff, 0xff));
    cloudFill.setColorAt(1.0, palette::cloudShade);
    p.setPen(Qt::NoPen);
    p.setBrush(cloudFill);
    p.drawPath(cloud);

    if (!tiny) {
        const double tw = s * (fine ? 0.07 : 0.09);
        const QRectF tube(s * 0.75, s * 0.25, tw, s * 0.43);
        drawThermometer(p, tube, 0.62, fine);
    }
    p.end();
    return image;
}

} // namespace artgen
