// Shared palette and painting helpers of the picture lists. One palette for
// all lists keeps the window's pictures in one family with the icon and the
// start-up picture: slate and ink for outlines, sky blues, a warm amber sun,
// muted reds and greens.
#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QList>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPointF>
#include <QSize>

#include <algorithm>
#include <cmath>

namespace nimbrel::artwork::detail {

namespace colour {
inline const QColor ink{0x1f, 0x2d, 0x3d};
inline const QColor slate{0x4a, 0x5d, 0x70};
inline const QColor slateLight{0x8a, 0xa2, 0xb8};
inline const QColor steel{0xd6, 0xe0, 0xea};
inline const QColor paper{0xf4, 0xf8, 0xfc};
inline const QColor rain{0x2f, 0x7f, 0xcf};

inline const QColor sunCore{0xff, 0xd2, 0x6a};
inline const QColor sunEdge{0xf2, 0x9e, 0x38};
inline const QColor sunRay{0xf6, 0xb3, 0x3e};

inline const QColor cloud{0xfa, 0xfc, 0xfe};
inline const QColor cloudShade{0xc4, 0xd6, 0xe6};

inline const QColor red{0xd9, 0x4f, 0x45};
inline const QColor redDark{0xa8, 0x35, 0x2e};
inline const QColor green{0x5a, 0xa6, 0x5c};

inline const QColor nightSky{0x0b, 0x18, 0x30};
inline const QColor nightSkyLow{0x16, 0x2b, 0x4c};
}  // namespace colour

// A transparent ARGB canvas of the given size.
inline QImage canvas(QSize size)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

inline void smooth(QPainter &p)
{
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.setRenderHint(QPainter::TextAntialiasing);
}

// The one typeface of the artwork.
inline QFont font(int pixelSize, bool bold = true)
{
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(pixelSize);
    f.setBold(bold);
    f.setHintingPreference(QFont::PreferFullHinting);
    f.setStyleStrategy(QFont::PreferAntialias);
    return f;
}

inline double smoothstep(double edge0, double edge1, double x)
{
    const double t = std::clamp((x - edge0) / (edge1 - edge0), 0.0, 1.0);
    return t * t * (3.0 - 2.0 * t);
}

inline QColor mix(const QColor &a, const QColor &b, double t)
{
    return QColor::fromRgbF(float(a.redF() + (b.redF() - a.redF()) * t),
                            float(a.greenF() + (b.greenF() - a.greenF()) * t),
                            float(a.blueF() + (b.blueF() - a.blueF()) * t),
                            float(a.alphaF() + (b.alphaF() - a.alphaF()) * t));
}

inline QColor withAlpha(QColor c, double alpha)
{
    c.setAlphaF(float(alpha));
    return c;
}

inline constexpr double pi = 3.14159265358979323846;

// A closed curve through the points (Catmull-Rom turned into cubic Bezier
// pieces), for soft hand-placed outlines.
QPainterPath smoothClosedPath(const QList<QPointF> &points);

// A puffy cloud filling roughly the given box.
QPainterPath cloudPath(const QRectF &box);

// Paints a cloud: a faint shadow below, a top-lit body and a soft rim.
// `shade` darkens the body from 0 (white) to 1 (rain-laden slate).
void paintCloud(QPainter &p, const QRectF &box, double shade);

// The sun: a warm halo, `rays` rays turned by `rayTurn` degrees, and the
// disc. No rays when `rays` is 0.
void paintSun(QPainter &p, QPointF centre, double radius, int rays, double rayTurn);

}  // namespace nimbrel::artwork::detail
