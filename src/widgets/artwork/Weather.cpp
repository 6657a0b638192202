// Forecast strips: each weather on a rounded sky tile, in two frames that
// differ only a little (sun rays turned half a step, clouds drifting a few
// pixels, drops and flakes fallen a bit further), so the alternating
// animation feels alive without flicker.
#include "Artwork.h"
#include "Common.h"

#include <QLinearGradient>
#include <QRadialGradient>

namespace nimbrel::artwork {

using namespace detail;

namespace {

struct Sky {
    QColor top;
    QColor bottom;
};

Sky skyFor(int picture)
{
    switch (picture) {
    case Sunny:
    case PartlySunny:
        return {QColor(0x4a, 0x97, 0xde), QColor(0xb4, 0xd9, 0xf6)};
    case Cloudy:
        return {QColor(0x7c, 0x9d, 0xbf), QColor(0xca, 0xd9, 0xe8)};
    case Rain:
        return {QColor(0x68, 0x83, 0x9e), QColor(0xb3, 0xc2, 0xd1)};
    case HeavyRain:
        return {QColor(0x48, 0x5b, 0x71), QColor(0x8c, 0x9d, 0xb0)};
    case Snow:
    case FewSnowflakes:
        return {QColor(0x8d, 0xa8, 0xc3), QColor(0xdd, 0xe7, 0xf1)};
    default:
        return {QColor(0xc6, 0xd7, 0xe7), QColor(0xef, 0xf4, 0xf9)};
    }
}

void paintTile(QPainter &p, int picture)
{
    const QRectF tile(0.5, 0.5, weatherFrameSize.width() - 1.0, weatherFrameSize.height() - 1.0);
    const Sky sky = skyFor(picture);
    QLinearGradient g(tile.topLeft(), tile.bottomLeft());
    g.setColorAt(0.0, sky.top);
    g.setColorAt(1.0, sky.bottom);
    p.setBrush(g);
    p.setPen(QPen(withAlpha(colour::ink, 0.22), 1.0));
    p.drawRoundedRect(tile, 12, 12);
}

// Precipitation falls inside this band below the clouds; what leaves the
// bottom in the second frame comes back in at the top, so both frames hold
// the same number of drops or flakes.
constexpr double bandTop = 70.0;
constexpr double bandBottom = 118.0;

double inBand(double y)
{
    const double h = bandBottom - bandTop;
    return bandTop + std::fmod(std::fmod(y - bandTop, h) + h, h);
}

void paintDrop(QPainter &p, QPointF at)
{
    QPainterPath drop;
    drop.moveTo(0, -5.8);
    drop.cubicTo(1.2, -3.4, 2.9, -1.3, 2.9, 0.9);
    drop.cubicTo(2.9, 2.6, 1.6, 3.8, 0, 3.8);
    drop.cubicTo(-1.6, 3.8, -2.9, 2.6, -2.9, 0.9);
    drop.cubicTo(-2.9, -1.3, -1.2, -3.4, 0, -5.8);
    p.save();
    p.translate(at);
    p.rotate(14);
    p.scale(0.9, 0.9);
    QLinearGradient g(0, -6, 0, 4);
    g.setColorAt(0.0, QColor(0x9c, 0xcc, 0xf4));
    g.setColorAt(1.0, colour::rain);
    p.setBrush(g);
    p.setPen(QPen(colour::rain.darker(135), 0.9));
    p.drawPath(drop);
    p.restore();
}

void paintStreak(QPainter &p, QPointF at)
{
    const QPointF along(-3.4, 12.5);
    p.setPen(QPen(QColor(0x1f, 0x5f, 0xa8), 3.4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(at - along / 2, at + along / 2);
    p.setPen(QPen(QColor(0x8c, 0xc2, 0xf0), 1.6, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(at - along / 2, at + along / 2);
}

void paintFlake(QPainter &p, QPointF at, double radius, double turn)
{
    p.save();
    p.translate(at);
    p.rotate(turn);
    auto arms = [&](const QPen &pen) {
        p.setPen(pen);
        for (int i = 0; i < 3; ++i) {
            p.drawLine(QPointF(0, -radius), QPointF(0, radius));
            p.rotate(60);
        }
        // Small twigs near each arm's end.
        for (int i = 0; i < 6; ++i) {
            const double r = radius * 0.6, t = radius * 0.3;
            p.drawLine(QPointF(0, -r), QPointF(-t, -r - t));
            p.drawLine(QPointF(0, -r), QPointF(t, -r - t));
            p.rotate(60);
        }
    };
    arms(QPen(withAlpha(colour::slate, 0.55), 3.2, Qt::SolidLine, Qt::RoundCap));
    arms(QPen(Qt::white, 1.6, Qt::SolidLine, Qt::RoundCap));
    p.restore();
}

struct Fall {
    double x, y;
};

// Hand-placed positions in the first frame, staggered so no two drops line up.
constexpr Fall lightRain[] = {{40, 80}, {62, 98}, {84, 82}, {106, 100}, {51, 114}, {95, 115}};
constexpr Fall heavyRain[] = {{28, 77}, {47, 75}, {66, 78}, {85, 76}, {104, 78}, {123, 75},
                              {37, 93}, {56, 91}, {75, 94}, {94, 92}, {113, 93},
                              {28, 109}, {47, 107}, {66, 110}, {85, 108}, {104, 109}, {123, 107}};
constexpr Fall snow[] = {{36, 80}, {58, 97}, {81, 78}, {104, 93}, {42, 106}, {90, 106}, {69, 86}};
constexpr Fall fewFlakes[] = {{45, 84}, {75, 103}, {101, 81}};

void paintFrame(QPainter &p, int picture, int frame)
{
    paintTile(p, picture);
    const double f = frame;
    switch (picture) {
    case Sunny:
        paintSun(p, {72.5, 60.5}, 24.0, 12, 15.0 * f);
        break;
    case PartlySunny:
        paintSun(p, {54.0, 45.0}, 19.0, 12, 15.0 * f);
        paintCloud(p, {46.0 + 2.5 * f, 52.0, 86.0, 50.0}, 0.0);
        break;
    case Cloudy:
        paintCloud(p, {14.0 - 1.5 * f, 20.0, 72.0, 40.0}, 0.28);
        paintCloud(p, {42.0 + 2.0 * f, 44.0, 90.0, 52.0}, 0.04);
        break;
    case Rain:
        for (const Fall &d : lightRain)
            paintDrop(p, {d.x - 2.0 * f, inBand(d.y + 9.0 * f)});
        paintCloud(p, {19.0 + 1.5 * f, 10.0, 108.0, 60.0}, 0.38);
        break;
    case HeavyRain:
        for (const Fall &d : heavyRain)
            paintStreak(p, {d.x - 2.5 * f, inBand(d.y + 8.0 * f)});
        paintCloud(p, {8.0 - 1.0 * f, 8.0, 80.0, 44.0}, 0.85);
        paintCloud(p, {38.0 + 1.5 * f, 16.0, 100.0, 58.0}, 0.62);
        break;
    case Snow:
    case FewSnowflakes: {
        const bool many = picture == Snow;
        const Fall *begin = many ? std::begin(snow) : std::begin(fewFlakes);
        const Fall *end = many ? std::end(snow) : std::end(fewFlakes);
        int i = 0;
        for (const Fall *s = begin; s != end; ++s, ++i) {
            const double sway = (i % 2 == 0 ? 2.0 : -2.0) * f;
            paintFlake(p, {s->x + sway, inBand(s->y + 5.0 * f)}, many ? 5.2 : 6.0, 12.0 * i + 20.0 * f);
        }
        paintCloud(p, {19.0 + 1.5 * f, 10.0, 108.0, 60.0}, many ? 0.18 : 0.1);
        break;
    }
    default: {
        // No forecast: an empty sky, only two faint veils of haze drifting by.
        auto veil = [&](QPointF centre, double width, double height, double alpha) {
            QRadialGradient g(QPointF(0, 0), 1.0);
            g.setColorAt(0.0, QColor::fromRgbF(1, 1, 1, float(alpha)));
            g.setColorAt(1.0, QColor::fromRgbF(1, 1, 1, 0));
            p.save();
            p.translate(centre);
            p.scale(width, height);
            p.setPen(Qt::NoPen);
            p.setBrush(g);
            p.drawEllipse(QPointF(0, 0), 1.0, 1.0);
            p.restore();
        };
        veil({50 + 3 * f, 40}, 34, 6, 0.75);
        veil({96 - 2 * f, 74}, 28, 5, 0.6);
        break;
    }
    }
}

}  // namespace

QList<QPixmap> weatherStrips()
{
    QList<QPixmap> strips;
    for (int picture = 0; picture < ForecastPictureCount; ++picture) {
        QImage image = canvas(weatherStripSize);
        QPainter p(&image);
        smooth(p);
        for (int frame = 0; frame < 2; ++frame) {
            p.save();
            p.translate(frame * weatherFrameSize.width(), 0);
            QPainterPath tile;
            tile.addRoundedRect(QRectF(QPointF(0, 0), weatherFrameSize), 12, 12);
            p.setClipPath(tile);
            paintFrame(p, picture, frame);
            p.restore();
        }
        p.end();
        strips.append(QPixmap::fromImage(image));
    }
    return strips;
}

}  // namespace nimbrel::artwork
