// UV exposure pictures: a badge in the colour of the UV band with the index
// number, beside it the protection the index calls for as small round
// chips, and below both the whole UV colour scale, filled up to the index
// and marked there. The pictures widen with the index as chips are added.
#include "Artwork.h"
#include "Common.h"

#include <QLinearGradient>

namespace nimbrel::artwork {

using namespace detail;

namespace {

constexpr int chipSize = 22;
constexpr int chipGap = 3;
constexpr double badgeWidth = 54.0;
constexpr double badgeTop = 4.0;
constexpr double badgeHeight = 56.0;

// The colour of the band a UV index (1..11, 11 meaning 11 and above) lies in.
QColor bandColour(int uv)
{
    if (uv <= 2)
        return {0x4f, 0xa5, 0x5a};
    if (uv <= 5)
        return {0xf2, 0xc9, 0x4c};
    if (uv <= 7)
        return {0xef, 0x8b, 0x3a};
    if (uv <= 10)
        return {0xd9, 0x4f, 0x45};
    return {0x8e, 0x5a, 0xb5};
}

enum Protection { Hat, Sunglasses, Sunscreen, Shade, StayInside };

// How many protections, in the order above, an index asks for.
int protectionCount(int uv)
{
    if (uv <= 2)
        return 0;
    if (uv <= 4)
        return 1;
    if (uv == 5)
        return 2;
    if (uv <= 7)
        return 3;
    if (uv <= 10)
        return 4;
    return 5;
}

void paintHat(QPainter &p)
{
    const QColor straw(0xe2, 0xb9, 0x72), strawDark(0x8a, 0x64, 0x2c);
    p.setPen(QPen(strawDark, 1.0));
    p.setBrush(straw.darker(108));
    p.drawEllipse(QPointF(11, 14.2), 8.6, 2.7);
    QPainterPath crown;
    crown.moveTo(6.6, 14.2);
    crown.cubicTo(6.6, 8.6, 8.5, 6.2, 11, 6.2);
    crown.cubicTo(13.5, 6.2, 15.4, 8.6, 15.4, 14.2);
    crown.closeSubpath();
    QLinearGradient g(0, 6, 0, 14);
    g.setColorAt(0, straw.lighter(115));
    g.setColorAt(1, straw);
    p.setBrush(g);
    p.drawPath(crown);
    p.setPen(Qt::NoPen);
    p.setBrush(colour::red);
    p.drawRect(QRectF(6.9, 11.2, 8.2, 1.9));
}

void paintSunglasses(QPainter &p)
{
    p.setPen(QPen(colour::ink, 1.2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(4.2, 10.6), QPointF(2.6, 8.6));
    p.drawLine(QPointF(17.8, 10.6), QPointF(19.4, 8.6));
    QPainterPath bridge;
    bridge.moveTo(9.9, 10.9);
    bridge.quadTo(11, 9.6, 12.1, 10.9);
    p.setBrush(Qt::NoBrush);
    p.drawPath(bridge);
    QLinearGradient g(0, 9, 0, 15);
    g.setColorAt(0, colour::slate);
    g.setColorAt(1, colour::ink);
    p.setBrush(g);
    p.setPen(QPen(colour::ink, 1.0));
    p.drawRoundedRect(QRectF(4.0, 9.6, 6.2, 5.2), 2.4, 2.4);
    p.drawRoundedRect(QRectF(11.8, 9.6, 6.2, 5.2), 2.4, 2.4);
    p.setPen(QPen(QColor(255, 255, 255, 170), 1.0, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(5.6, 11.2), QPointF(6.8, 10.6));
    p.drawLine(QPointF(13.4, 11.2), QPointF(14.6, 10.6));
}

void paintSunscreen(QPainter &p)
{
    p.setPen(QPen(colour::slate, 1.0));
    p.setBrush(colour::sunEdge);
    p.drawRoundedRect(QRectF(8.6, 3.4, 4.8, 3.8), 1.0, 1.0);
    QLinearGradient g(7, 0, 15, 0);
    g.setColorAt(0, Qt::white);
    g.setColorAt(1, colour::steel);
    p.setBrush(g);
    p.drawRoundedRect(QRectF(6.8, 6.8, 8.4, 12.2), 2.2, 2.2);
    p.setPen(Qt::NoPen);
    p.setBrush(colour::sunEdge);
    p.drawEllipse(QPointF(11, 12.9), 2.3, 2.3);
}

void paintShade(QPainter &p)
{
    QPainterPath canopy;
    canopy.moveTo(2.8, 11);
    canopy.arcTo(QRectF(2.8, 3.2, 16.4, 15.6), 180, -180);
    for (int i = 0; i < 4; ++i) {
        const double x0 = 19.2 - 4.1 * i;
        canopy.quadTo(x0 - 2.05, 9.3, x0 - 4.1, 11);
    }
    canopy.closeSubpath();
    p.setPen(QPen(colour::slate, 1.3, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    QPainterPath pole;
    pole.moveTo(11, 10);
    pole.lineTo(11, 17.2);
    pole.quadTo(11, 19.2, 12.8, 19.2);
    pole.quadTo(14.4, 19.2, 14.4, 17.6);
    p.drawPath(pole);
    QLinearGradient g(0, 3, 0, 11);
    g.setColorAt(0, colour::red.lighter(120));
    g.setColorAt(1, colour::red);
    p.setBrush(g);
    p.setPen(QPen(colour::redDark, 1.0));
    p.drawPath(canopy);
}

void paintHouse(QPainter &p)
{
    p.setPen(QPen(colour::slate, 1.0));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(5.6, 10.2, 10.8, 8.6));
    p.setBrush(colour::slate);
    p.drawPolygon(QPolygonF({QPointF(3.2, 11.2), QPointF(11, 4.0), QPointF(18.8, 11.2)}));
    p.setPen(Qt::NoPen);
    p.drawRect(QRectF(8.4, 13.4, 3.2, 5.4));
    p.setBrush(colour::sunEdge);
    p.drawRect(QRectF(13.0, 12.6, 2.4, 2.4));
}

void paintChip(QPainter &p, QPointF topLeft, Protection what)
{
    p.save();
    p.translate(topLeft);
    p.setPen(QPen(colour::slateLight, 1.0));
    p.setBrush(QColor(255, 255, 255, 235));
    p.drawEllipse(QPointF(11, 11), 10.5, 10.5);
    switch (what) {
    case Hat: paintHat(p); break;
    case Sunglasses: paintSunglasses(p); break;
    case Sunscreen: paintSunscreen(p); break;
    case Shade: paintShade(p); break;
    case StayInside: paintHouse(p); break;
    }
    p.restore();
}

void paintScale(QPainter &p, int width, int uv)
{
    const double left = 4.0, right = width - 4.0, top = 66.0, height = 7.0;
    const double step = (right - left) / 11.0;
    p.setPen(Qt::NoPen);
    for (int i = 1; i <= 11; ++i) {
        const QRectF cell(left + (i - 1) * step + 0.5, top, step - 1.0, height);
        p.setBrush(withAlpha(bandColour(i), i <= uv ? 1.0 : 0.30));
        p.drawRoundedRect(cell, 1.5, 1.5);
    }
    const double x = left + (uv - 0.5) * step;
    p.setBrush(colour::ink);
    p.drawPolygon(QPolygonF({QPointF(x - 3.0, top - 4.0), QPointF(x + 3.0, top - 4.0), QPointF(x, top - 0.8)}));
}

QPixmap uvPicture(int k)
{
    const int uv = k + 1;
    const int width = uvPictureWidth(k);
    QImage image = canvas({width, uvPictureHeight});
    QPainter p(&image);
    smooth(p);

    const int chips = protectionCount(uv);
    const double content = badgeWidth + chips * (chipGap + chipSize);
    const double x0 = std::round((width - content) / 2.0) + 0.5;
    const QRectF badge(x0, badgeTop + 0.5, badgeWidth - 1.0, badgeHeight - 1.0);
    const QColor band = bandColour(uv);
    QLinearGradient g(badge.topLeft(), badge.bottomLeft());
    g.setColorAt(0, band.lighter(118));
    g.setColorAt(1, band);
    p.setBrush(g);
    p.setPen(QPen(band.darker(140), 1.0));
    p.drawRoundedRect(badge, 9, 9);

    const bool lightBand = band.lightnessF() > 0.55 && band.hue() >= 20 && band.hue() <= 60;
    const QColor text = lightBand ? colour::ink : QColor(Qt::white);
    p.setFont(font(10, true));
    p.setPen(withAlpha(text, 0.8));
    p.drawText(QRectF(badge.left(), badge.top() + 3, badge.width(), 12), Qt::AlignCenter,
               QStringLiteral("UV"));

    const QString number = uv >= 11 ? QStringLiteral("11+") : QString::number(uv);
    QPainterPath digits;
    digits.addText(0, 0, font(uv >= 11 ? 22 : 30, true), number);
    const QPointF centre(badge.center().x(), badge.top() + 34.0);
    digits.translate(centre - digits.boundingRect().center());
    p.setPen(Qt::NoPen);
    p.setBrush(withAlpha(colour::ink, lightBand ? 0.0 : 0.25));
    p.drawPath(digits.translated(0.8, 1.2));
    p.setBrush(text);
    p.drawPath(digits);

    for (int i = 0; i < chips; ++i) {
        const QPointF at(x0 + badgeWidth + chipGap + i * (chipSize + chipGap) - 0.5,
                         badgeTop + badgeHeight / 2.0 - chipSize / 2.0);
        paintChip(p, at, Protection(i));
    }
    paintScale(p, width, uv);
    p.end();
    return QPixmap::fromImage(image);
}

}  // namespace

int uvPictureWidth(int k)
{
    return int(std::lround(68.0 + (200.0 - 68.0) * std::clamp(k, 0, uvPictureCount - 1) / 10.0));
}

QList<QPixmap> uvPictures()
{
    QList<QPixmap> pictures;
    for (int k = 0; k < uvPictureCount; ++k)
        pictures.append(uvPicture(k));
    return pictures;
}

}  // namespace nimbrel::artwork
