// The small pictures (trend arrows, batteries, bells, unit signs) and the
// painting helpers shared by all lists. The larger lists live in artwork/.
#include "Artwork.h"

#include "artwork/Common.h"

#include <QLinearGradient>
#include <QRadialGradient>
#include <QTransform>

namespace nimbrel::artwork {

namespace detail {

QPainterPath smoothClosedPath(const QList<QPointF> &points)
{
    QPainterPath path;
    const qsizetype n = points.size();
    if (n < 3)
        return path;
    auto at = [&](qsizetype i) { return points[((i % n) + n) % n]; };
    path.moveTo(at(0));
    for (qsizetype i = 0; i < n; ++i) {
        const QPointF p0 = at(i - 1), p1 = at(i), p2 = at(i + 1), p3 = at(i + 2);
        path.cubicTo(p1 + (p2 - p0) / 6.0, p2 - (p3 - p1) / 6.0, p2);
    }
    path.closeSubpath();
    return path;
}

QPainterPath cloudPath(const QRectF &box)
{
    const double x = box.x(), y = box.y(), w = box.width(), h = box.height();
    QPainterPath body;
    body.addRoundedRect(QRectF(x + w * 0.05, y + h * 0.52, w * 0.90, h * 0.48), h * 0.24, h * 0.24);
    auto puff = [&](double cx, double cy, double r) {
        QPainterPath c;
        c.addEllipse(QPointF(x + w * cx, y + h * cy), h * r, h * r);
        body = body.united(c);
    };
    puff(0.25, 0.66, 0.30);
    puff(0.48, 0.45, 0.43);
    puff(0.74, 0.62, 0.32);
    return body.simplified();
}

void paintCloud(QPainter &p, const QRectF &box, double shade)
{
    const QPainterPath path = cloudPath(box);
    p.save();
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x10, 0x20, 0x34, 34));
    p.drawPath(path.translated(1.5, 3.0));

    QLinearGradient body(box.topLeft(), box.bottomLeft());
    body.setColorAt(0.0, mix(colour::cloud, QColor(0xa4, 0xb3, 0xc4), shade));
    body.setColorAt(0.55, mix(QColor(0xee, 0xf3, 0xf8), QColor(0x8b, 0x9c, 0xb0), shade));
    body.setColorAt(1.0, mix(colour::cloudShade, QColor(0x5e, 0x6f, 0x84), shade));
    p.setBrush(body);
    p.setPen(QPen(withAlpha(mix(colour::slateLight, colour::ink, shade), 0.55), 1.2));
    p.drawPath(path);
    p.restore();
}

void paintSun(QPainter &p, QPointF centre, double radius, int rays, double rayTurn)
{
    p.save();
    p.setPen(Qt::NoPen);
    QRadialGradient halo(centre, radius * 2.1);
    halo.setColorAt(0.0, withAlpha(colour::sunCore, 0.55));
    halo.setColorAt(0.5, withAlpha(colour::sunCore, 0.18));
    halo.setColorAt(1.0, withAlpha(colour::sunCore, 0.0));
    p.setBrush(halo);
    p.drawEllipse(centre, radius * 2.1, radius * 2.1);

    p.setPen(QPen(colour::sunRay, std::max(1.5, radius * 0.17), Qt::SolidLine, Qt::RoundCap));
    for (int i = 0; i < rays; ++i) {
        const double a = (rayTurn + i * 360.0 / rays) * pi / 180.0;
        const double inner = radius * 1.32;
        const double outer = inner + radius * (i % 2 == 0 ? 0.52 : 0.32);
        const QPointF dir(std::sin(a), -std::cos(a));
        p.drawLine(centre + dir * inner, centre + dir * outer);
    }

    QRadialGradient disc(centre - QPointF(radius * 0.35, radius * 0.35), radius * 1.45);
    disc.setColorAt(0.0, QColor(0xff, 0xe9, 0x9c));
    disc.setColorAt(0.45, colour::sunCore);
    disc.setColorAt(1.0, colour::sunEdge);
    p.setBrush(disc);
    p.setPen(QPen(QColor(0xd8, 0x84, 0x26, 150), 1.0));
    p.drawEllipse(centre, radius, radius);
    p.restore();
}

}  // namespace detail

using namespace detail;

namespace {

// An arrow pointing right inside a 16 x 16 box, turned by `degrees`
// (clockwise) about the box's centre.
QPixmap arrow(double degrees, const QColor &tone)
{
    QImage image = canvas({16, 16});
    QPainter p(&image);
    smooth(p);
    QPainterPath shape;
    shape.moveTo(1.5, 6.5);
    shape.lineTo(8.5, 6.5);
    shape.lineTo(8.5, 2.5);
    shape.lineTo(14.5, 8.0);
    shape.lineTo(8.5, 13.5);
    shape.lineTo(8.5, 9.5);
    shape.lineTo(1.5, 9.5);
    shape.closeSubpath();
    QTransform turn;
    turn.translate(8, 8);
    turn.rotate(degrees);
    turn.translate(-8, -8);
    const QPainterPath turned = turn.map(shape);

    QLinearGradient fill(0, 1, 0, 15);
    fill.setColorAt(0.0, tone.lighter(125));
    fill.setColorAt(1.0, tone);
    p.setBrush(fill);
    p.setPen(QPen(tone.darker(150), 1.0, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    p.drawPath(turned);
    return QPixmap::fromImage(image);
}

// The battery body outline and terminal, with `level` (0..1) of its inside
// filled in `charge`.
void paintBattery(QPainter &p, double level, const QColor &charge, const QColor &outline)
{
    const QRectF body(1.75, 5.75, 16.5, 10.5);
    p.setPen(Qt::NoPen);
    p.setBrush(outline);
    p.drawRoundedRect(QRectF(18.0, 8.5, 2.6, 5.0), 1.0, 1.0);

    p.setBrush(QColor(255, 255, 255, 200));
    p.setPen(QPen(outline, 1.5));
    p.drawRoundedRect(body, 2.2, 2.2);

    if (level > 0.0) {
        const QRectF inside(3.5, 7.5, 13.0 * level, 7.0);
        QLinearGradient g(inside.topLeft(), inside.bottomLeft());
        g.setColorAt(0.0, charge.lighter(130));
        g.setColorAt(1.0, charge);
        p.setPen(Qt::NoPen);
        p.setBrush(g);
        p.drawRoundedRect(inside, 1.0, 1.0);
    }
}

QPixmap lowBattery()
{
    QImage image = canvas({22, 22});
    QPainter p(&image);
    smooth(p);
    paintBattery(p, 0.22, colour::red, colour::redDark);
    return QPixmap::fromImage(image);
}

QPixmap fullBattery()
{
    QImage image = canvas({22, 22});
    QPainter p(&image);
    smooth(p);
    paintBattery(p, 1.0, colour::green, colour::slate);
    return QPixmap::fromImage(image);
}

QPixmap errorSign()
{
    QImage image = canvas({22, 22});
    QPainter p(&image);
    smooth(p);
    const QPointF c(11.0, 11.0);
    QRadialGradient g(c - QPointF(3, 3), 12);
    g.setColorAt(0.0, colour::slateLight);
    g.setColorAt(1.0, colour::slate);
    p.setBrush(g);
    p.setPen(QPen(colour::ink, 1.0));
    p.drawEllipse(c, 9.0, 9.0);
    p.setPen(QPen(Qt::white, 2.2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(c + QPointF(-3.6, -3.6), c + QPointF(3.6, 3.6));
    p.drawLine(c + QPointF(3.6, -3.6), c + QPointF(-3.6, 3.6));
    return QPixmap::fromImage(image);
}

QPainterPath bellPath()
{
    QPainterPath bell;
    bell.moveTo(8.0, 2.6);
    bell.cubicTo(5.3, 2.6, 4.2, 4.9, 4.2, 7.4);
    bell.lineTo(4.2, 9.4);
    bell.cubicTo(4.2, 10.7, 3.1, 11.5, 2.0, 12.1);
    bell.lineTo(2.0, 12.9);
    bell.lineTo(14.0, 12.9);
    bell.lineTo(14.0, 12.1);
    bell.cubicTo(12.9, 11.5, 11.8, 10.7, 11.8, 9.4);
    bell.lineTo(11.8, 7.4);
    bell.cubicTo(11.8, 4.9, 10.7, 2.6, 8.0, 2.6);
    bell.closeSubpath();
    return bell;
}

QPixmap bell(bool on)
{
    QImage image = canvas({16, 16});
    QPainter p(&image);
    smooth(p);
    const QColor line = on ? QColor(0x8a, 0x5a, 0x14) : colour::slate;
    p.setPen(QPen(line, 1.1));
    if (on) {
        QLinearGradient g(3, 2, 13, 13);
        g.setColorAt(0.0, QColor(0xff, 0xe4, 0x8a));
        g.setColorAt(0.5, colour::sunCore);
        g.setColorAt(1.0, colour::sunEdge);
        p.setBrush(g);
    } else {
        p.setBrush(Qt::NoBrush);
    }
    p.drawEllipse(QPointF(8.0, 14.0), 1.6, 1.4);
    p.drawPath(bellPath());
    p.drawEllipse(QPointF(8.0, 1.8), 1.0, 1.0);
    return QPixmap::fromImage(image);
}

QPixmap unitSign(QChar letter, const QColor &tone)
{
    QImage image = canvas({16, 16});
    QPainter p(&image);
    smooth(p);
    p.setPen(QPen(tone, 1.3));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(3.2, 4.2), 1.85, 1.85);
    p.setFont(font(12, true));
    p.setPen(tone);
    p.drawText(QRect(5, 0, 11, 16), Qt::AlignCenter, QString(letter));
    return QPixmap::fromImage(image);
}

}  // namespace

QList<QPixmap> trendArrows()
{
    return {arrow(90, colour::rain), arrow(-90, colour::red), arrow(0, colour::slate)};
}

QList<QPixmap> batteryPictures()
{
    return {lowBattery(), fullBattery(), errorSign()};
}

QList<QPixmap> alarmBells()
{
    return {bell(true), bell(false)};
}

QList<QPixmap> unitSigns()
{
    return {unitSign(QLatin1Char('C'), colour::ink), unitSign(QLatin1Char('F'), colour::ink)};
}

QList<QPixmap> unitSignsAlt()
{
    return {unitSign(QLatin1Char('C'), colour::paper), unitSign(QLatin1Char('F'), colour::paper)};
}

}  // namespace nimbrel::artwork
