#include "Glyphs.h"

#include "Palette.h"

#include <QPainter>
#include <QRadialGradient>
#include <QLinearGradient>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace artgen {

QPainterPath cloudPath(const QRectF &box)
{
    const double w = box.width();
    const double h = box.height();
    const double x = box.left();
    const double y = box.top();
    auto circle = [&](double cx, double cy, double r) {
        QPainterPath c;
        c.addEllipse(QPointF(x + cx * w, y + cy * h), r * h, r * h);
        return c;
    };

    QPainterPath base;
    base.addRoundedRect(QRectF(x, y + 0.5 * h, w, 0.5 * h), 0.25 * h, 0.25 * h);
    return base.united(circle(0.31, 0.56, 0.30))
        .united(circle(0.55, 0.41, 0.41))
        .united(circle(0.77, 0.60, 0.27))
        .simplified();
}

void drawSun(QPainter &p, QPointF centre, double radius, bool rays)
{
    p.save();
    p.setPen(Qt::NoPen);

    // Halo: a wide, faint radial falloff so the disc sits in its own light.
    QRadialGradient halo(centre, radius * 3.2);
    QColor glow = palette::sunCore;
    glow.setAlpha(70);
    halo.setColorAt(0.0, glow);
    glow.setAlpha(22);
    halo.setColorAt(0.45, glow);
    glow.setAlpha(0);
    halo.setColorAt(1.0, glow);
    p.setBrush(halo);
    p.drawEllipse(centre, radius * 3.2, radius * 3.2);

    if (rays) {
        QPen rayPen(palette::sunCore, radius * 0.16, Qt::SolidLine, Qt::RoundCap);
        p.setPen(rayPen);
        for (int i = 0; i < 8; ++i) {
            const double a = i * std::numbers::pi / 4.0 + std::numbers::pi / 8.0;
            const QPointF dir(std::cos(a), -std::sin(a));
            p.drawLine(centre + dir * radius * 1.32, centre + dir * radius * 1.62);
        }
        p.setPen(Qt::NoPen);
    }

    QRadialGradient disc(centre - QPointF(radius * 0.3, radius * 0.3), radius * 1.3);
    disc.setColorAt(0.0, palette::sunCore.lighter(112));
    disc.setColorAt(0.6, palette::sunCore);
    disc.setColorAt(1.0, palette::sunEdge);
    p.setBrush(disc);
    p.drawEllipse(centre, radius, radius);
    p.restore();
}

void drawThermometer(QPainter &p, const QRectF &tube, double level, bool ticks)
{
    const double tw = tube.width();
    const double bulbR = tw * 0.8;
    const QPointF bulbC(tube.center().x(), tube.bottom() + bulbR * 0.55);

    QPainterPath glass;
    glass.addRoundedRect(tube.adjusted(0, 0, 0, bulbR * 0.5), tw / 2, tw / 2);
    QPainterPath bulb;
    bulb.addEllipse(bulbC, bulbR, bulbR);
    glass = glass.united(bulb).simplified();

    p.save();
    QLinearGradient shine(tube.left() - bulbR, 0, tube.right() + bulbR, 0);
    shine.setColorAt(0.0, palette::steel);
    shine.setColorAt(0.45, QColor(0xff, 0xff, 0xff));
    shine.setColorAt(1.0, palette::steel.darker(112));
    p.setBrush(shine);
    p.setPen(QPen(palette::steelDark, std::max(1.0, tw * 0.12)));
    p.drawPath(glass);

    // Mercury: a narrow column rising out of the inner bulb.
    const double cw = tw * 0.42;
    const double top = tube.bottom() - (tube.height() - tw * 0.5) * level;
    p.setPen(Qt::NoPen);
    p.setBrush(palette::mercury);
    p.drawRoundedRect(QRectF(bulbC.x() - cw / 2, top, cw, bulbC.y() - top), cw / 2, cw / 2);
    p.drawEllipse(bulbC, bulbR * 0.62, bulbR * 0.62);

    if (ticks) {
        p.setPen(QPen(palette::steel, std::max(1.0, tw * 0.1), Qt::SolidLine, Qt::RoundCap));
        const int count = 7;
        const double span = tube.height() - tw;
        for (int i = 0; i < count; ++i) {
            const double ty = tube.top() + tw * 0.6 + span * i / (count - 1);
            const double len = (i % 3 == 0) ? tw * 0.9 : tw * 0.5;
            p.drawLine(QPointF(tube.right() + tw * 0.45, ty), QPointF(tube.right() + tw * 0.45 + len, ty));
        }
    }
    p.restore();
}

} // namespace artgen
