// Compass roses: a dark bezel carrying the cardinal letters around a pale
// face with sixteen ticks and a faint eight-point star, and a needle whose
// red half points to the wind sector. The dial is painted once and each of
// the sixteen pictures adds only its needle.
#include "Artwork.h"
#include "Common.h"

#include <QLinearGradient>
#include <QRadialGradient>

namespace nimbrel::artwork {

using namespace detail;

namespace {

const QPointF centre(73.0, 72.5);
constexpr double bezelRadius = 70.0;
constexpr double faceRadius = 54.5;
constexpr double letterRadius = 62.5;

QPointF polar(double degrees, double radius)
{
    const double a = degrees * pi / 180.0;
    return centre + QPointF(std::sin(a), -std::cos(a)) * radius;
}

void paintStar(QPainter &p, double degrees, double length, double width, const QColor &light,
               const QColor &dark)
{
    const QPointF tip = polar(degrees, length);
    const QPointF left = polar(degrees - 90.0, width);
    const QPointF right = polar(degrees + 90.0, width);
    p.setPen(Qt::NoPen);
    p.setBrush(light);
    p.drawPolygon(QPolygonF({centre, left, tip}));
    p.setBrush(dark);
    p.drawPolygon(QPolygonF({centre, tip, right}));
}

QImage dial()
{
    QImage image = canvas(compassSize);
    QPainter p(&image);
    smooth(p);

    QRadialGradient bezel(centre - QPointF(0, 22), bezelRadius * 1.3);
    bezel.setColorAt(0.0, QColor(0x62, 0x77, 0x8d));
    bezel.setColorAt(1.0, QColor(0x26, 0x35, 0x46));
    p.setBrush(bezel);
    p.setPen(QPen(colour::ink, 1.0));
    p.drawEllipse(centre, bezelRadius, bezelRadius);

    QRadialGradient face(centre - QPointF(10, 16), faceRadius * 1.5);
    face.setColorAt(0.0, Qt::white);
    face.setColorAt(0.6, colour::paper);
    face.setColorAt(1.0, colour::steel);
    p.setBrush(face);
    p.setPen(QPen(QColor(0x15, 0x20, 0x2c), 1.2));
    p.drawEllipse(centre, faceRadius, faceRadius);

    // The faint star: long points on the cardinal directions, short ones between.
    const QColor starLight = withAlpha(colour::slateLight, 0.16);
    const QColor starDark = withAlpha(colour::slateLight, 0.32);
    for (int i = 0; i < 4; ++i)
        paintStar(p, 45.0 + 90.0 * i, 30.0, 6.0, starLight, starDark);
    for (int i = 0; i < 4; ++i)
        paintStar(p, 90.0 * i, 41.0, 7.5, starLight, starDark);

    for (int i = 0; i < 16; ++i) {
        const double a = 22.5 * i;
        if (i % 4 == 0)
            p.setPen(QPen(colour::ink, 2.2, Qt::SolidLine, Qt::FlatCap));
        else if (i % 2 == 0)
            p.setPen(QPen(colour::slate, 1.6, Qt::SolidLine, Qt::FlatCap));
        else
            p.setPen(QPen(colour::slateLight, 1.2, Qt::SolidLine, Qt::FlatCap));
        const double inner = i % 4 == 0 ? 43.5 : (i % 2 == 0 ? 46.5 : 49.0);
        p.drawLine(polar(a, inner), polar(a, faceRadius - 1.5));
    }

    const QFont f = font(13, true);
    const QString letters[4] = {QStringLiteral("N"), QStringLiteral("E"), QStringLiteral("S"),
                                QStringLiteral("W")};
    for (int i = 0; i < 4; ++i) {
        QPainterPath text;
        text.addText(0, 0, f, letters[i]);
        const QPointF at = polar(90.0 * i, letterRadius) - text.boundingRect().center();
        p.setPen(Qt::NoPen);
        p.setBrush(i == 0 ? colour::sunCore : colour::paper);
        p.drawPath(text.translated(at));
        p.setBrush(withAlpha(colour::steel, 0.7));
        p.drawEllipse(polar(45.0 + 90.0 * i, letterRadius), 1.6, 1.6);
    }
    return image;
}

void paintNeedle(QPainter &p, int sector)
{
    const double a = 22.5 * sector;
    const QPointF tip = polar(a, 46.0);
    const QPointF tail = polar(a + 180.0, 30.0);
    const QPointF left = polar(a - 90.0, 6.5);
    const QPointF right = polar(a + 90.0, 6.5);

    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x10, 0x1c, 0x2a, 46));
    p.drawPolygon(QPolygonF({tip, right, tail, left}).translated(1.5, 2.0));

    p.setBrush(colour::slateLight);
    p.drawPolygon(QPolygonF({centre, left, tail}));
    p.setBrush(colour::slate);
    p.drawPolygon(QPolygonF({centre, tail, right}));
    p.setBrush(QColor(0xe8, 0x66, 0x5a));
    p.drawPolygon(QPolygonF({centre, left, tip}));
    p.setBrush(QColor(0xb8, 0x3e, 0x36));
    p.drawPolygon(QPolygonF({centre, tip, right}));
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(withAlpha(colour::ink, 0.5), 0.8));
    p.drawPolygon(QPolygonF({tip, right, tail, left}));

    QRadialGradient hub(centre - QPointF(1.5, 1.5), 6.0);
    hub.setColorAt(0.0, Qt::white);
    hub.setColorAt(1.0, colour::slateLight);
    p.setBrush(hub);
    p.setPen(QPen(colour::ink, 1.0));
    p.drawEllipse(centre, 4.5, 4.5);
}

}  // namespace

QList<QPixmap> compassRoses()
{
    const QImage face = dial();
    QList<QPixmap> roses;
    for (int sector = 0; sector < 16; ++sector) {
        QImage image = face.copy();
        QPainter p(&image);
        smooth(p);
        paintNeedle(p, sector);
        p.end();
        roses.append(QPixmap::fromImage(image));
    }
    return roses;
}

}  // namespace nimbrel::artwork
