// Moon phases, painted per pixel: a grey disc with a few soft maria, lit
// from the side the sun stands on. The lit part is bounded by the
// terminator, which on the disc is the half-ellipse x = cos(e) * sqrt(1 - y^2)
// (disc radius 1, x to the right): waxing, everything right of it is lit;
// waning, its mirror image on the left. The dark part keeps a faint
// earthshine, so a new moon is still a dim disc against the sky.
#include "Artwork.h"
#include "Common.h"

#include <QLinearGradient>
#include <QRadialGradient>

#include <array>
#include <vector>

namespace nimbrel::artwork {

using namespace detail;

namespace {

constexpr double discX = 45.0;
constexpr double discY = 40.5;
constexpr double discRadius = 33.0;

struct Mare {
    double u, v;     // centre on the disc, radius 1, v downwards
    double radius;   // in disc radii
    double depth;    // darkening at the centre; negative brightens (a ray crater)
};

// A few soft, overlapping patches placed by eye: the large dark plains of the
// upper left and the middle, a chain towards the lower left and a small oval
// plain near the right limb. Their edges are roughened by the noise below.
constexpr Mare maria[] = {
    {-0.36, -0.34, 0.30, 0.21}, {-0.10, -0.46, 0.16, 0.14}, {0.12, -0.36, 0.19, 0.19},
    {0.30, -0.06, 0.22, 0.18},  {0.62, -0.30, 0.11, 0.19},  {-0.60, 0.06, 0.36, 0.15},
    {-0.22, 0.38, 0.22, 0.13},  {0.50, 0.18, 0.14, 0.14},   {-0.40, 0.58, 0.14, 0.10},
};

// Smooth value noise on a coarse lattice, a faint mottling of the surface.
double lattice(int x, int y)
{
    quint32 h = quint32(x) * 374761393u + quint32(y) * 668265263u;
    h = (h ^ (h >> 13)) * 1274126177u;
    return double((h ^ (h >> 16)) & 0xffff) / 65535.0;
}

double noise(double x, double y)
{
    const int ix = int(std::floor(x)), iy = int(std::floor(y));
    const double fx = smoothstep(0, 1, x - ix), fy = smoothstep(0, 1, y - iy);
    const double a = lattice(ix, iy), b = lattice(ix + 1, iy);
    const double c = lattice(ix, iy + 1), d = lattice(ix + 1, iy + 1);
    return (a + (b - a) * fx) * (1 - fy) + (c + (d - c) * fx) * fy;
}

double albedo(double u, double v)
{
    // Warp the plane a little so the plains come out irregular, not round.
    const double wu = u + 0.16 * (noise(u * 3.0 + 11.0, v * 3.0 + 2.0) - 0.5);
    const double wv = v + 0.16 * (noise(u * 3.0 + 4.0, v * 3.0 + 13.0) - 0.5);
    double a = 1.0;
    for (const Mare &m : maria) {
        const double d = std::hypot(wu - m.u, wv - m.v) / m.radius;
        a -= m.depth * (1.0 - smoothstep(0.3, 1.1, d));
    }
    a += 0.08 * (noise(u * 4.0 + 7.0, v * 4.0 + 3.0) - 0.5);
    a += 0.04 * (noise(u * 7.0 + 1.0, v * 7.0 + 5.0) - 0.5);
    return std::clamp(a, 0.5, 1.1);
}

QImage skyBackground()
{
    QImage image = canvas(moonSize);
    QPainter p(&image);
    smooth(p);
    QLinearGradient g(0, 0, 0, moonSize.height());
    g.setColorAt(0.0, colour::nightSky);
    g.setColorAt(1.0, colour::nightSkyLow);
    p.fillRect(image.rect(), g);
    const std::array<QPointF, 6> stars = {QPointF(6.5, 9.5), QPointF(83.5, 13.5), QPointF(8.5, 66.5),
                                          QPointF(81.5, 71.5), QPointF(4.5, 37.5), QPointF(86.5, 46.5)};
    p.setPen(Qt::NoPen);
    for (std::size_t i = 0; i < stars.size(); ++i) {
        p.setBrush(QColor(0xdc, 0xe8, 0xf6, i % 2 == 0 ? 170 : 110));
        p.drawEllipse(stars[i], 0.75, 0.75);
    }
    return image;
}

}  // namespace

double moonPictureElongation(int k)
{
    if (k <= 4 || k >= 34)
        return 0.0;
    if (k >= 16 && k <= 21)
        return 180.0;
    return (k - 1) * 10.0;
}

QList<QPixmap> moonPhases()
{
    const QImage sky = skyBackground();
    const int w = moonSize.width(), h = moonSize.height();

    // The surface once for all phases: albedo per pixel, limb shading and
    // edge coverage.
    struct Texel {
        double u, v, albedo, coverage;
    };
    std::vector<Texel> surface(std::size_t(w) * h);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const double u = (x + 0.5 - discX) / discRadius, v = (y + 0.5 - discY) / discRadius;
            const double d = std::hypot(u, v);
            const double coverage = std::clamp(discRadius * (1.0 - d) + 0.5, 0.0, 1.0);
            surface[std::size_t(y) * w + x] = {u, v, coverage > 0 ? albedo(u, v) : 0.0, coverage};
        }
    }

    const QColor lit(0xee, 0xec, 0xe6);
    const QColor shine(0x29, 0x35, 0x4a);

    QList<QPixmap> phases;
    for (int k = 0; k < moonPictureCount; ++k) {
        const double e = moonPictureElongation(k) * pi / 180.0;
        const bool isNew = moonPictureElongation(k) == 0.0;
        const bool isFull = moonPictureElongation(k) == 180.0;
        const double side = std::sin(e) >= 0 ? 1.0 : -1.0;
        const double litShare = isNew ? 0.0 : (1.0 - std::cos(e)) / 2.0;

        QImage image = sky.copy();
        {
            // A soft glow around the moon, as bright as the moon is full.
            QPainter p(&image);
            smooth(p);
            QRadialGradient glow(QPointF(discX, discY), discRadius * 1.35);
            glow.setColorAt(0.7, withAlpha(QColor(0xc8, 0xd8, 0xee), 0.16 * litShare));
            glow.setColorAt(1.0, withAlpha(QColor(0xc8, 0xd8, 0xee), 0.0));
            p.setPen(Qt::NoPen);
            p.setBrush(glow);
            p.drawEllipse(QPointF(discX, discY), discRadius * 1.35, discRadius * 1.35);
        }

        for (int y = 0; y < h; ++y) {
            auto *row = reinterpret_cast<QRgb *>(image.scanLine(y));
            for (int x = 0; x < w; ++x) {
                const Texel &t = surface[std::size_t(y) * w + x];
                if (t.coverage <= 0)
                    continue;
                const double rowHalf = std::sqrt(std::max(0.0, 1.0 - t.v * t.v));
                const double z = std::sqrt(std::max(0.0, 1.0 - t.u * t.u - t.v * t.v));
                double light = 0.0;
                double terminatorShade = 1.0;
                if (isFull) {
                    light = 1.0;
                } else if (!isNew) {
                    // Signed distance in pixels from the terminator into the lit side.
                    const double inside = (side * t.u - rowHalf * std::cos(e)) * discRadius;
                    light = smoothstep(-1.2, 1.6, inside);
                    terminatorShade = 0.80 + 0.20 * smoothstep(0.0, 7.0, inside);
                }
                const double limb = 0.84 + 0.16 * z;
                const double bright = t.albedo * limb * terminatorShade;
                const double dim = 0.55 + 0.45 * t.albedo;
                auto channel = [&](double litC, double shineC) {
                    return (litC * bright) * light + (shineC * dim) * (1.0 - light);
                };
                const QColor under = QColor::fromRgba(row[x]);
                const double r = channel(lit.redF(), shine.redF());
                const double g = channel(lit.greenF(), shine.greenF());
                const double b = channel(lit.blueF(), shine.blueF());
                const double c = t.coverage;
                row[x] = qRgba(int(std::lround(255.0 * std::clamp(r * c + under.redF() * (1 - c), 0.0, 1.0))),
                               int(std::lround(255.0 * std::clamp(g * c + under.greenF() * (1 - c), 0.0, 1.0))),
                               int(std::lround(255.0 * std::clamp(b * c + under.blueF() * (1 - c), 0.0, 1.0))),
                               255);
            }
        }
        phases.append(QPixmap::fromImage(image));
    }
    return phases;
}

}  // namespace nimbrel::artwork
