#include "StartupScene.h"

#include "Glyphs.h"
#include "Palette.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>

namespace artgen {
namespace {

namespace pal = palette;

constexpr double W = kStartupWidth;
constexpr double H = kStartupHeight;

// The sun-and-moon dial: a half circle standing on the hill, with the
// station under its apex.
const QPointF kDialCentre(590, 528);
constexpr double kDialRadius = 262;
constexpr double kStationScale = 1.25;
constexpr double kMastX = 590;
constexpr double kCrestY = 517;
constexpr double kHubY = 352; // anemometer hub, before the station's scale

QColor withAlpha(QColor c, int alpha)
{
    c.setAlpha(alpha);
    return c;
}

QPointF onDial(double degrees, double radius = kDialRadius)
{
    const double a = degrees * std::numbers::pi / 180.0;
    return kDialCentre + QPointF(std::cos(a) * radius, -std::sin(a) * radius);
}

// Height of the hill line at x: a long, low swell peaking under the mast.
double hillY(double x)
{
    const double d = (x - kMastX) / 520.0;
    return kCrestY + 26.0 * d * d;
}

void drawSky(QPainter &p)
{
    QLinearGradient sky(0, 0, 0, kCrestY + 20);
    sky.setColorAt(0.0, pal::skyTop);
    sky.setColorAt(0.55, pal::skyMid);
    sky.setColorAt(1.0, pal::skyLow);
    p.fillRect(QRectF(0, 0, W, H), sky);

    // Afterglow along the horizon, brightest behind the station: a unit
    // radial gradient stretched into a wide ellipse.
    p.save();
    p.translate(kMastX - 60, kCrestY + 30);
    p.scale(480, 150);
    QRadialGradient g(QPointF(0, 0), 1.0);
    g.setColorAt(0.0, withAlpha(pal::horizonGlow, 90));
    g.setColorAt(0.5, withAlpha(pal::horizonGlow, 30));
    g.setColorAt(1.0, withAlpha(pal::horizonGlow, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawEllipse(QPointF(0, 0), 1.0, 1.0);
    p.restore();
}

void drawStars(QPainter &p)
{
    // A fixed linear congruential sequence keeps the output identical from
    // run to run.
    std::uint32_t seed = 0x5eed1234u;
    auto next = [&seed]() {
        seed = seed * 1664525u + 1013904223u;
        return (seed >> 8) / double(1u << 24);
    };
    p.save();
    p.setPen(Qt::NoPen);
    for (int i = 0; i < 70; ++i) {
        const double x = next() * W;
        const double y = 8 + next() * next() * 330;
        const double size = 0.5 + next() * 0.9;
        const double fade = 1.0 - y / 340.0;
        const int alpha = int((50 + next() * 140) * fade);
        // Keep the title area clean.
        if (x < 520 && y > 70 && y < 270)
            continue;
        p.setBrush(withAlpha(QColor(0xe8, 0xf0, 0xff), alpha));
        p.drawEllipse(QPointF(x, y), size, size);
    }
    p.restore();
}

// Clouds are painted into their own layer and blurred by a down/up scale, so
// their edges are soft like mist rather than cut out.
void drawSoftCloud(QPainter &p, const QRectF &box, int topAlpha, int bottomAlpha, int blur)
{
    const QRect area = box.adjusted(-3 * blur, -3 * blur, 3 * blur, 3 * blur).toAlignedRect();
    QImage layer(area.size(), QImage::Format_ARGB32_Premultiplied);
    layer.fill(Qt::transparent);
    {
        QPainter lp(&layer);
        lp.setRenderHint(QPainter::Antialiasing);
        lp.translate(-area.topLeft());
        QLinearGradient shade(0, box.top(), 0, box.bottom());
        shade.setColorAt(0.0, withAlpha(pal::cloud, topAlpha));
        shade.setColorAt(1.0, withAlpha(pal::cloudShade, bottomAlpha));
        lp.setPen(Qt::NoPen);
        lp.setBrush(shade);
        lp.drawPath(cloudPath(box));
    }
    if (blur > 1) {
        const QSize small(std::max(1, area.width() / blur), std::max(1, area.height() / blur));
        layer = layer.scaled(small, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                    .scaled(area.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    p.drawImage(area.topLeft(), layer);
}

// Where the sun and the moon stand on the dial, in degrees from the east
// end, and how much of the dotted path each one blanks out around itself.
struct Body {
    double degrees;
    double radius;
};
constexpr Body kSun{150, 27};
constexpr Body kMoon{34, 16};

double gapDegrees(const Body &b)
{
    return std::asin(std::min(1.0, b.radius * 1.6 / kDialRadius)) * 180.0 / std::numbers::pi;
}

void drawDial(QPainter &p)
{
    p.save();
    // Dotted path of the sun and the moon across the sky, broken where each
    // body sits so neither looks threaded on a string.
    QPen path(withAlpha(pal::steel, 120), 1.6, Qt::CustomDashLine, Qt::RoundCap);
    path.setDashPattern({0.01, 4.0});
    p.setPen(path);
    p.setBrush(Qt::NoBrush);
    const QRectF r(kDialCentre.x() - kDialRadius, kDialCentre.y() - kDialRadius, 2 * kDialRadius,
                   2 * kDialRadius);
    auto arc = [&](double from, double to) {
        p.drawArc(r, int(from * 16), int((to - from) * 16));
    };
    const double moonGap = gapDegrees(kMoon);
    const double sunGap = gapDegrees(kSun);
    arc(0, kMoon.degrees - moonGap);
    arc(kMoon.degrees + moonGap, kSun.degrees - sunGap);
    arc(kSun.degrees + sunGap, 180);

    // Instrument-style graduation outside the path: fine every 10°, longer
    // every 30°; ticks under a body are left out.
    for (int deg = 0; deg <= 180; deg += 10) {
        if (std::abs(deg - kSun.degrees) < sunGap || std::abs(deg - kMoon.degrees) < moonGap)
            continue;
        const bool major = deg % 30 == 0;
        p.setPen(QPen(withAlpha(pal::steel, major ? 150 : 80), major ? 1.6 : 1.2, Qt::SolidLine,
                      Qt::RoundCap));
        p.drawLine(onDial(deg, kDialRadius + 7), onDial(deg, kDialRadius + (major ? 19 : 13)));
    }
    p.restore();
}

void drawMoon(QPainter &p, QPointF c, double r)
{
    p.save();
    p.setPen(Qt::NoPen);
    QRadialGradient halo(c, r * 3.0);
    halo.setColorAt(0.0, withAlpha(pal::moon, 55));
    halo.setColorAt(1.0, withAlpha(pal::moon, 0));
    p.setBrush(halo);
    p.drawEllipse(c, r * 3.0, r * 3.0);

    QPainterPath disc;
    disc.addEllipse(c, r, r);
    QPainterPath bite;
    bite.addEllipse(c + QPointF(r * 0.55, -r * 0.35), r * 0.92, r * 0.92);
    p.setBrush(pal::moon);
    p.drawPath(disc.subtracted(bite));
    p.restore();
}

void drawHills(QPainter &p)
{
    // A far ridge for depth, then the near swell the station stands on.
    QPainterPath far;
    far.moveTo(0, 498);
    far.cubicTo(150, 478, 260, 506, 400, 494);
    far.cubicTo(560, 480, 700, 470, W, 492);
    far.lineTo(W, H);
    far.lineTo(0, H);
    far.closeSubpath();
    p.setPen(Qt::NoPen);
    QLinearGradient farFill(0, 470, 0, 540);
    farFill.setColorAt(0.0, QColor(0x15, 0x44, 0x58));
    farFill.setColorAt(1.0, pal::groundTop);
    p.setBrush(farFill);
    p.drawPath(far);

    QPainterPath near;
    near.moveTo(0, hillY(0));
    for (int x = 8; x <= int(W); x += 8)
        near.lineTo(x, hillY(x));
    near.lineTo(W, hillY(W));
    near.lineTo(W, H);
    near.lineTo(0, H);
    near.closeSubpath();
    QLinearGradient ground(0, kCrestY, 0, kOverlayTop + 30);
    ground.setColorAt(0.0, pal::groundTop);
    ground.setColorAt(1.0, pal::groundLow);
    p.setBrush(ground);
    p.drawPath(near);

    // Rim light on the crest.
    QPainterPath rim;
    rim.moveTo(0, hillY(0));
    for (int x = 8; x <= int(W); x += 8)
        rim.lineTo(x, hillY(x));
    QLinearGradient rimFade(0, 0, W, 0);
    rimFade.setColorAt(0.0, withAlpha(pal::horizonGlow, 0));
    rimFade.setColorAt(0.62, withAlpha(pal::horizonGlow, 110));
    rimFade.setColorAt(1.0, withAlpha(pal::horizonGlow, 10));
    p.setPen(QPen(QBrush(rimFade), 1.4));
    p.setBrush(Qt::NoBrush);
    p.drawPath(rim);
}

void drawAnemometer(QPainter &p, QPointF hub)
{
    p.save();
    const QPen outline(pal::steelDark, 1.4);
    // Cross arm.
    p.setPen(QPen(pal::steel, 3.0, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(hub + QPointF(-42, 0), hub + QPointF(42, 0));

    // Back cup: seen face-on behind the hub.
    p.setPen(outline);
    p.setBrush(pal::steel.darker(118));
    p.drawEllipse(hub + QPointF(0, -6), 10, 9);
    p.setBrush(pal::steelDark.darker(150));
    p.drawEllipse(hub + QPointF(0, -6), 6, 5.4);

    // Left cup shows its rounded back, right cup its opening.
    QPainterPath leftCup;
    leftCup.moveTo(hub + QPointF(-40, -12));
    leftCup.arcTo(QRectF(hub.x() - 40 - 13, hub.y() - 12, 26, 24), 90, 180);
    leftCup.closeSubpath();
    QLinearGradient cupShade(hub.x() - 53, 0, hub.x() - 40, 0);
    cupShade.setColorAt(0.0, pal::steel.darker(115));
    cupShade.setColorAt(1.0, QColor(0xff, 0xff, 0xff));
    p.setBrush(cupShade);
    p.drawPath(leftCup);

    p.setBrush(pal::steel);
    p.drawEllipse(hub + QPointF(46, 0), 7, 12);
    p.setBrush(pal::steelDark.darker(150));
    p.drawEllipse(hub + QPointF(46, 0), 4, 8.5);

    // Hub cap.
    p.setBrush(QColor(0xff, 0xff, 0xff));
    p.drawEllipse(hub, 5, 5);
    p.restore();
}

void drawVane(QPainter &p, QPointF pivot)
{
    p.save();
    p.setPen(QPen(pal::steel, 2.2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(pivot + QPointF(-34, 0), pivot + QPointF(30, 0));
    // Arrow head pointing into the wind.
    QPainterPath head;
    head.moveTo(pivot + QPointF(-44, 0));
    head.lineTo(pivot + QPointF(-31, -6));
    head.lineTo(pivot + QPointF(-31, 6));
    head.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(pal::steel);
    p.drawPath(head);
    // Tail fin.
    QPainterPath fin;
    fin.moveTo(pivot + QPointF(22, -2));
    fin.lineTo(pivot + QPointF(40, -14));
    fin.lineTo(pivot + QPointF(44, -14));
    fin.lineTo(pivot + QPointF(44, 6));
    fin.lineTo(pivot + QPointF(24, 2));
    fin.closeSubpath();
    p.setBrush(pal::steel.darker(108));
    p.drawPath(fin);
    p.setBrush(QColor(0xff, 0xff, 0xff));
    p.drawEllipse(pivot, 3.2, 3.2);
    p.restore();
}

// The louvred screen that shelters the hygro-thermometer.
void drawScreen(QPainter &p, const QRectF &box)
{
    p.save();
    QLinearGradient body(box.left(), 0, box.right(), 0);
    body.setColorAt(0.0, QColor(0xf6, 0xf9, 0xfc));
    body.setColorAt(1.0, pal::steel.darker(108));
    p.setPen(QPen(pal::steelDark, 1.2));
    p.setBrush(body);
    p.drawRoundedRect(box, 2.5, 2.5);

    // Roof overhang.
    QPainterPath roof;
    roof.moveTo(box.left() - 6, box.top() + 1);
    roof.lineTo(box.center().x(), box.top() - 10);
    roof.lineTo(box.right() + 6, box.top() + 1);
    roof.closeSubpath();
    p.setBrush(QColor(0xfa, 0xfc, 0xfe));
    p.drawPath(roof);

    // Louvres: short slanted slats.
    p.setPen(QPen(pal::steelDark, 1.1, Qt::SolidLine, Qt::RoundCap));
    for (double y = box.top() + 7; y < box.bottom() - 4; y += 6.5)
        p.drawLine(QPointF(box.left() + 5, y), QPointF(box.right() - 5, y + 2.5));
    p.restore();
}

void drawRainGauge(QPainter &p, QPointF baseCentre)
{
    p.save();
    const double w = 30;
    const double h = 46;
    const QRectF body(baseCentre.x() - w / 2, baseCentre.y() - h, w, h);

    QLinearGradient metal(body.left(), 0, body.right(), 0);
    metal.setColorAt(0.0, pal::steel.darker(110));
    metal.setColorAt(0.4, QColor(0xfa, 0xfc, 0xfe));
    metal.setColorAt(1.0, pal::steel.darker(125));
    p.setPen(QPen(pal::steelDark, 1.2));
    p.setBrush(metal);
    p.drawRect(body);
    p.drawEllipse(QPointF(baseCentre.x(), baseCentre.y()), w / 2, 3.5);

    // Collecting funnel on top, a little wider than the body.
    QPainterPath funnel;
    funnel.moveTo(body.left() - 5, body.top() - 8);
    funnel.lineTo(body.right() + 5, body.top() - 8);
    funnel.lineTo(body.right(), body.top());
    funnel.lineTo(body.left(), body.top());
    funnel.closeSubpath();
    p.drawPath(funnel);
    p.setBrush(pal::steelDark.darker(160));
    p.drawEllipse(QPointF(baseCentre.x(), body.top() - 8), w / 2 + 5, 3.5);

    // Sight glass with the collected water.
    const QRectF glass(body.center().x() - 4, body.top() + 8, 8, h - 16);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x23, 0x3d, 0x52));
    p.drawRoundedRect(glass, 3, 3);
    p.setBrush(QColor(0x5c, 0xc4, 0xe0));
    p.drawRoundedRect(glass.adjusted(0, glass.height() * 0.45, 0, 0), 3, 3);
    p.restore();
}

void drawStation(QPainter &p)
{
    const double groundY = hillY(kMastX);
    // Soft shadow pool under the station.
    p.save();
    p.setPen(Qt::NoPen);
    QRadialGradient pool(QPointF(kMastX + 20, groundY + 4), 90);
    pool.setColorAt(0.0, QColor(0, 0, 0, 90));
    pool.setColorAt(1.0, QColor(0, 0, 0, 0));
    p.setBrush(pool);
    p.drawEllipse(QPointF(kMastX + 20, groundY + 4), 140, 14);
    p.restore();

    // The instruments are laid out at unit scale around the mast foot and
    // enlarged as a group.
    p.save();
    p.translate(kMastX, groundY);
    p.scale(kStationScale, kStationScale);
    p.translate(-kMastX, -groundY);

    // Mast with a tripod foot.
    p.save();
    QLinearGradient mastShade(kMastX - 3, 0, kMastX + 3, 0);
    mastShade.setColorAt(0.0, QColor(0xf4, 0xf8, 0xfc));
    mastShade.setColorAt(1.0, pal::steelDark);
    p.setPen(Qt::NoPen);
    p.setBrush(mastShade);
    p.drawRoundedRect(QRectF(kMastX - 3, kHubY, 6, groundY - kHubY), 2, 2);
    p.setPen(QPen(pal::steelDark, 2.4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(kMastX, groundY - 34), QPointF(kMastX - 26, groundY + 2));
    p.drawLine(QPointF(kMastX, groundY - 34), QPointF(kMastX + 26, groundY + 2));
    // Bracket holding the screen.
    p.setPen(QPen(pal::steel, 2.4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(kMastX, 432), QPointF(kMastX + 26, 432));
    p.restore();

    drawAnemometer(p, QPointF(kMastX, kHubY));
    drawVane(p, QPointF(kMastX, kHubY + 38));
    drawScreen(p, QRectF(kMastX + 24, 414, 48, 50));
    drawRainGauge(p, QPointF(kMastX + 102, hillY(kMastX + 102) + 2));
    drawThermometer(p, QRectF(kMastX - 92, 398, 12, 92), 0.55, true);
    // Post under the thermometer.
    p.save();
    p.setPen(QPen(pal::steelDark, 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(kMastX - 86, 510), QPointF(kMastX - 86, hillY(kMastX - 86) + 1));
    p.restore();
    p.restore();
}

void drawTitle(QPainter &p)
{
    p.save();
    QFont titleFont(QStringLiteral("DejaVu Sans"));
    titleFont.setPixelSize(96);
    titleFont.setWeight(QFont::Bold);
    titleFont.setLetterSpacing(QFont::AbsoluteSpacing, -1.5);
    titleFont.setHintingPreference(QFont::PreferNoHinting);

    const QPointF origin(62, 176);
    QPainterPath text;
    text.addText(origin, titleFont, QStringLiteral("Nimbrel"));

    // A faint drop shadow lifts the name off the sky.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 70));
    p.drawPath(text.translated(0, 3));
    QLinearGradient fill(0, origin.y() - 72, 0, origin.y());
    fill.setColorAt(0.0, QColor(0xff, 0xff, 0xff));
    fill.setColorAt(1.0, QColor(0xcf, 0xe8, 0xf0));
    p.setBrush(fill);
    p.drawPath(text);

    QFont subFont(QStringLiteral("DejaVu Sans"));
    subFont.setPixelSize(25);
    subFont.setLetterSpacing(QFont::AbsoluteSpacing, 1.6);
    p.setFont(subFont);
    p.setPen(pal::subtitle);
    p.drawText(QPointF(origin.x() + 4, origin.y() + 48), QStringLiteral("Home weather station"));

    // Amber accent rule, echoing the sun.
    p.setPen(QPen(pal::sunEdge, 3.0, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(origin.x() + 6, origin.y() + 76), QPointF(origin.x() + 62, origin.y() + 76));
    p.restore();
}

void drawOverlayBand(QPainter &p)
{
    // A slightly darker, even band below the landscape so white status text
    // and the progress bar read well; a hairline marks its top edge.
    QLinearGradient band(0, kOverlayTop, 0, H);
    band.setColorAt(0.0, QColor(0x05, 0x0e, 0x17, 120));
    band.setColorAt(1.0, QColor(0x03, 0x08, 0x0f, 200));
    p.fillRect(QRectF(0, kOverlayTop, W, H - kOverlayTop), band);
    QLinearGradient line(0, 0, W, 0);
    line.setColorAt(0.0, withAlpha(pal::horizonGlow, 0));
    line.setColorAt(0.5, withAlpha(pal::horizonGlow, 60));
    line.setColorAt(1.0, withAlpha(pal::horizonGlow, 0));
    p.fillRect(QRectF(0, kOverlayTop, W, 1), line);
}

// Long, slow gradients on an 8-bit image step visibly every few dozen rows;
// a ±1 grain (same for all channels, so it adds no colour noise) breaks the
// steps up. Seeded, so the picture is reproducible.
void addGrain(QImage &image)
{
    std::uint32_t seed = 0x9e3779b9u;
    for (int y = 0; y < image.height(); ++y) {
        auto *row = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            seed = seed * 1664525u + 1013904223u;
            static constexpr int kStep[4] = {-1, 0, 0, 1};
            const int n = kStep[seed >> 30];
            const QRgb c = row[x];
            row[x] = qRgb(std::clamp(qRed(c) + n, 0, 255), std::clamp(qGreen(c) + n, 0, 255),
                          std::clamp(qBlue(c) + n, 0, 255));
        }
    }
}

} // namespace

QImage drawStartupScene()
{
    QImage image(kStartupWidth, kStartupHeight, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);

    drawSky(p);
    drawStars(p);
    drawSoftCloud(p, QRectF(628, 92, 210, 96), 60, 40, 5);
    drawSoftCloud(p, QRectF(48, 304, 196, 82), 40, 26, 6);
    drawDial(p);
    drawMoon(p, onDial(kMoon.degrees), kMoon.radius);
    drawSun(p, onDial(kSun.degrees), kSun.radius, false);
    // The sun half behind a cloud, as on the icon.
    drawSoftCloud(p, QRectF(318, 402, 122, 52), 252, 240, 3);
    drawHills(p);
    drawStation(p);
    drawTitle(p);
    drawOverlayBand(p);
    p.end();
    addGrain(image);
    return image;
}

} // namespace artgen
