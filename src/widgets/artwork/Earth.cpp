// Earth pictures: a small world map (longitude -180..180 across, latitude
// about 79 N to 79 S down) in a day and a night colouring, blended per pixel
// by the height of the sun, so the terminator is a soft twilight band rather
// than a hard line. The continents are rough hand-placed outlines, smoothed
// into soft shapes; at 2.25 degrees a pixel nothing finer would show.
//
// The sun is taken over the equator (no season), so the lit half is a band
// of 180 degrees of longitude centred on subsolarLongitude(k).
#include "Artwork.h"
#include "Common.h"

#include <QLinearGradient>

#include <vector>

namespace nimbrel::artwork {

using namespace detail;

namespace {

constexpr double topLatitude = 78.75;
constexpr double latitudeSpan = 157.5;  // 70 pixels at 2.25 degrees each

struct LonLat {
    double lon, lat;
};

using Outline = std::vector<LonLat>;

// Land, as (longitude, latitude) outlines.
const std::vector<Outline> land = {
    // North America with Central America
    {{-166, 66}, {-162, 70}, {-152, 71}, {-140, 69.5}, {-128, 70}, {-115, 68}, {-100, 68.5},
     {-88, 69}, {-82, 66}, {-78, 60}, {-70, 59}, {-64, 60}, {-59, 55}, {-56, 51.5}, {-60, 47},
     {-66, 44}, {-70, 42}, {-74, 40}, {-76, 36}, {-80, 32}, {-80.5, 26}, {-82.5, 27.5},
     {-84, 30}, {-89, 30}, {-94, 29.5}, {-97, 27}, {-97.5, 22}, {-95, 18.5}, {-91, 19},
     {-90, 21}, {-87, 21.5}, {-88, 16}, {-84, 15}, {-83, 11}, {-79, 9}, {-77.5, 8},
     {-80, 7.5}, {-83, 8.5}, {-86, 11}, {-92, 14.5}, {-97, 16}, {-105, 20}, {-106, 23},
     {-110, 27}, {-112.5, 30}, {-113, 27.5}, {-110, 23}, {-112, 24.5}, {-115, 28},
     {-117, 32.5}, {-120.5, 34.5}, {-124, 40}, {-124.5, 46}, {-124, 49}, {-127, 51},
     {-133, 55}, {-138, 59}, {-146, 61}, {-152, 59}, {-158, 57}, {-164, 55}, {-160, 58},
     {-163, 60}, {-166, 62}, {-164, 64}},
    // Arctic islands of Canada
    {{-125, 71}, {-118, 76}, {-100, 78}, {-85, 79}, {-75, 77}, {-66, 73}, {-62, 67},
     {-68, 63}, {-76, 64.5}, {-82, 69}, {-95, 71}, {-110, 70.5}},
    // Greenland
    {{-73, 78}, {-68, 80}, {-50, 82}, {-30, 83}, {-20, 81}, {-18, 77}, {-22, 72}, {-24, 69},
     {-32, 68}, {-40, 65}, {-43, 60}, {-48, 61}, {-52, 65}, {-54, 69}, {-58, 75}, {-68, 76.5}},
    // Iceland
    {{-24, 65.5}, {-22, 66.4}, {-15, 66.5}, {-13.5, 65}, {-18, 63.4}, {-22, 63.8}},
    // Cuba and Hispaniola
    {{-85, 22}, {-82, 23.2}, {-77, 22}, {-74.2, 20.2}, {-77.5, 19.9}, {-80, 21.8}},
    {{-74.5, 19.8}, {-72, 19.9}, {-68.5, 18.7}, {-70, 18.2}, {-74.3, 18.3}},
    // South America
    {{-77, 8}, {-72, 12}, {-64, 10.5}, {-60, 8}, {-52, 5}, {-50, 0}, {-44, -2}, {-35, -5},
     {-35, -9}, {-39, -15}, {-41, -22}, {-48, -26}, {-53, -33}, {-57, -36}, {-58, -39},
     {-63, -41}, {-65, -45}, {-68, -50}, {-69, -53}, {-71, -55}, {-74, -52}, {-75, -46},
     {-73, -40}, {-71.5, -30}, {-70.5, -20}, {-75, -15}, {-78, -10}, {-81, -5}, {-80, -1},
     {-78, 2}, {-77.5, 6}},
    // Eurasia, from Portugal round the north and east coasts to the Bosporus
    // and back along the Mediterranean
    {{-9, 37}, {-9, 43}, {-2, 43.5}, {-1.5, 46.5}, {-4.5, 48}, {-1, 49.5}, {2, 51}, {5, 53},
     {8, 54}, {8.5, 57}, {10.5, 57.5}, {10.5, 59}, {7, 58}, {5, 59}, {5, 62}, {10, 64},
     {14, 67.5}, {18, 69.5}, {24, 71}, {30, 70}, {40, 67.5}, {44, 68}, {55, 69}, {60, 70},
     {70, 73}, {80, 73}, {90, 75}, {100, 77}, {112, 74}, {125, 73}, {140, 72}, {150, 71},
     {160, 70}, {170, 70}, {180, 68}, {190, 66}, {180, 65}, {172, 61}, {163, 60}, {157, 51},
     {156, 57}, {150, 59}, {142, 59}, {138, 54}, {141, 48}, {135, 43}, {130, 42},
     {128, 38}, {126.5, 34.5}, {126, 38}, {122, 40}, {121, 37}, {120, 34}, {122, 30},
     {120, 26}, {117, 23.5}, {110, 21}, {108, 21.5}, {106, 18}, {109, 12}, {106, 9},
     {104, 10.5}, {100, 13}, {100, 8}, {101, 4}, {103.5, 1.5}, {104, 2.5}, {101, 7},
     {99, 10}, {98.5, 16}, {94, 18}, {92, 22}, {88, 21.5}, {86, 20}, {80, 15.5}, {80, 10},
     {77, 8}, {76, 10}, {73, 17}, {72.5, 21}, {70, 22}, {67, 24.5}, {61, 25}, {57, 26},
     {56, 27}, {51, 27}, {48, 30}, {50, 26}, {51.5, 24}, {56, 24.5}, {59.5, 22.5}, {56, 18},
     {52, 16}, {45, 13}, {43, 13.5}, {39, 21}, {35, 28}, {34.5, 31}, {35, 33}, {36, 36},
     {30, 36.5}, {27, 37}, {26, 40}, {23, 40.5}, {22, 37}, {21, 39.5}, {19, 41.5},
     {16, 43}, {13.5, 45.7}, {12.4, 44.2}, {14.2, 42}, {15.8, 40}, {16.3, 38.2}, {13, 41},
     {11, 42.5}, {8.8, 44.2}, {6, 43.2}, {3.2, 43.3}, {3, 42}, {0.5, 40.5}, {-0.5, 38.5},
     {-2, 36.8}, {-5.5, 36}, {-7, 37}},
    // Great Britain and Ireland
    {{-5.5, 50}, {1.5, 51}, {1.7, 53}, {-0.5, 54.5}, {-1.8, 57.5}, {-3.3, 58.6}, {-5, 58.6},
     {-6, 56.5}, {-5, 55}, {-3, 54}, {-4.5, 53.3}, {-3, 51.5}},
    {{-10, 51.7}, {-6, 52}, {-6, 54}, {-8, 55.3}, {-10, 54}},
    // Arctic islands of Europe and Asia
    {{11, 78}, {18, 80}, {27, 80}, {22, 77}, {16, 76.5}},
    {{52, 71}, {56, 74.5}, {63, 76.5}, {68, 76.5}, {60, 74}, {55, 71.5}},
    // Africa
    {{-17, 15}, {-17, 21}, {-13, 27.5}, {-9.8, 30}, {-9.5, 33}, {-6, 35.8}, {-2, 35.2},
     {3, 36.8}, {10, 37.2}, {11, 35}, {10, 33.8}, {15, 32.3}, {20, 31}, {22, 32.8},
     {29, 30.9}, {32.5, 31.3}, {34.5, 28}, {35.5, 24}, {37.5, 19}, {39.5, 15.5},
     {43.3, 12.5}, {45, 10.5}, {51.2, 11.8}, {51, 9.5}, {48, 5}, {44, 0}, {41, -2},
     {39.5, -6}, {39.5, -10}, {40.5, -15}, {35.5, -22}, {35.5, -24}, {33, -26}, {32.5, -29},
     {28, -33}, {25, -34}, {20, -34.8}, {18.4, -34}, {17, -29}, {15, -26}, {11.8, -17},
     {13.5, -12}, {13, -6}, {9.5, -2}, {9.5, 3.5}, {8, 4.5}, {4.5, 6.3}, {1, 6}, {-4, 5.2},
     {-7.5, 4.4}, {-11.5, 6.8}, {-13.5, 9.5}, {-16.8, 12.5}},
    // Madagascar
    {{47.5, -13}, {50.3, -15.5}, {49, -20}, {47, -25}, {45, -25.5}, {43.5, -22}, {44.4, -17}},
    // Japan, Sri Lanka, the Philippines
    {{130, 31}, {132, 33.5}, {135, 34}, {140, 35}, {141, 38.5}, {141.5, 41.5}, {140, 40.5},
     {138, 37.5}, {136, 36}, {133, 35.5}, {130.5, 33.5}},
    {{140, 42}, {141.5, 45.5}, {145.5, 43.5}, {143, 42}},
    {{80, 6}, {81.8, 7}, {80, 9.8}, {79.8, 8}},
    {{120, 18.5}, {122, 18.5}, {122.5, 14}, {124, 12.5}, {126, 9}, {126, 6.5}, {122, 7},
     {124, 10}, {121, 12}, {120, 15}},
    // The islands of South-East Asia
    {{109, 1.5}, {111, -3}, {116, -4}, {118, 1}, {119, 5}, {117, 7}, {115, 5}, {110, 2}},
    {{95, 5.5}, {98, 4}, {104, -2}, {106, -6}, {104, -5.5}, {101, -2.5}, {98, 1}},
    {{105, -6.5}, {110, -6.8}, {114.5, -7.8}, {114, -8.8}, {108, -8}, {105, -7.2}},
    {{119, -5}, {120, 0}, {121, 1}, {125, 1.5}, {122, -1}, {123, -5}},
    {{131, -1}, {138, -1.5}, {145, -4}, {150, -10.5}, {146, -8.5}, {141, -9}, {138, -8},
     {134, -4}, {132, -2.5}},
    // Australia, Tasmania, New Zealand
    {{114, -22}, {114, -26}, {115, -34}, {118, -35}, {123, -34}, {129, -31.5}, {134, -32.8},
     {137.5, -35.5}, {140, -38}, {146, -39}, {150, -37.5}, {153.3, -31}, {153, -25},
     {150.5, -22}, {146, -18.7}, {145.5, -15}, {142.5, -10.7}, {141.5, -13}, {141.5, -17},
     {137.5, -15.5}, {136.5, -12}, {132, -11.2}, {129.5, -15}, {126, -14}, {122, -17.5},
     {118.5, -20}},
    {{145, -41}, {148, -41}, {147.5, -43.5}, {145.5, -42.5}},
    {{173, -35}, {175.5, -37}, {178.3, -37.7}, {176.8, -39.5}, {175, -41.5}, {174.5, -39.5},
     {173.5, -36}},
    {{172.5, -40.5}, {174, -41.5}, {172.5, -43.8}, {171, -45.7}, {168, -46.6}, {166.5, -45.5},
     {170, -42.5}},
};

// Inland seas and bays, painted back in ocean colour over the land.
const std::vector<Outline> water = {
    // Hudson Bay
    {{-94, 59}, {-92, 64}, {-86, 65}, {-80, 62}, {-79, 56}, {-82, 52}, {-88, 55}},
    // Baltic Sea
    {{12, 54.3}, {19, 54.5}, {21.5, 57}, {24, 57.5}, {24, 59.3}, {29.5, 60}, {23, 60.2},
     {21.5, 61}, {21.5, 63.5}, {25, 65}, {24, 66}, {21.5, 65.5}, {17.5, 62.5}, {18.5, 60},
     {16.5, 57}, {16, 56}, {12.5, 55.8}, {11, 55}},
    // Black Sea and Caspian Sea
    {{28, 41.5}, {28.5, 45}, {31, 46.6}, {34, 45.5}, {36.5, 45.3}, {39, 46.5}, {41.5, 42},
     {36, 41.5}, {31, 41}},
    {{47, 45}, {50, 46.8}, {53, 46}, {53, 42}, {54, 38}, {51, 36.8}, {49.5, 38}, {48.5, 41.5},
     {50, 44.5}},
};

// Antarctica: a band along the bottom edge with the peninsula reaching north.
const Outline antarctica = {
    {-180, -95}, {-180, -78}, {-160, -77}, {-140, -75}, {-120, -73.5}, {-100, -73}, {-80, -73},
    {-68, -70}, {-62, -64}, {-58, -63.5}, {-60, -67}, {-60, -74}, {-45, -78}, {-30, -76},
    {-15, -72}, {0, -70}, {20, -70}, {40, -69}, {60, -67}, {80, -67}, {100, -66}, {120, -66.5},
    {140, -66.5}, {160, -70}, {170, -77}, {180, -78}, {180, -95}};

QPointF toPixel(const LonLat &p)
{
    return {(p.lon + 180.0) / 360.0 * earthSize.width(),
            (topLatitude - p.lat) / latitudeSpan * earthSize.height()};
}

QPainterPath outlinePath(const Outline &outline, bool smoothed)
{
    QList<QPointF> points;
    for (const LonLat &p : outline)
        points.append(toPixel(p));
    if (smoothed)
        return smoothClosedPath(points);
    QPainterPath path;
    path.addPolygon(QPolygonF(points));
    path.closeSubpath();
    return path;
}

struct MapColours {
    QColor oceanPole, oceanEquator, land, landHigh, ice, coast;
};

// The map in one colouring; every shape is also drawn one world-width to
// each side, so outlines crossing the date line wrap round.
QImage paintMap(const MapColours &c)
{
    QImage image = canvas(earthSize);
    QPainter p(&image);
    smooth(p);
    const double h = earthSize.height();
    QLinearGradient ocean(0, 0, 0, h);
    ocean.setColorAt(0.0, c.oceanPole);
    ocean.setColorAt(0.5, c.oceanEquator);
    ocean.setColorAt(1.0, c.oceanPole);
    p.fillRect(image.rect(), ocean);

    QLinearGradient ground(0, 0, 0, h);
    ground.setColorAt(0.0, c.landHigh);
    ground.setColorAt(0.45, c.land);
    ground.setColorAt(0.55, c.land);
    ground.setColorAt(1.0, c.landHigh);

    const double worldWidth = earthSize.width();
    for (const double shift : {-worldWidth, 0.0, worldWidth}) {
        p.save();
        p.translate(shift, 0);
        p.setPen(QPen(c.coast, 0.8));
        p.setBrush(ground);
        for (const Outline &outline : land)
            p.drawPath(outlinePath(outline, true));
        p.setBrush(ocean);
        for (const Outline &outline : water)
            p.drawPath(outlinePath(outline, true));
        p.setBrush(c.ice);
        p.drawPath(outlinePath(antarctica, false));
        p.restore();
    }
    // Greenland's ice cap and Antarctica in white.
    p.setPen(Qt::NoPen);
    p.setBrush(c.ice);
    p.drawPath(outlinePath(land[2], true));
    return image;
}

}  // namespace

double subsolarLongitude(int k)
{
    // Sunrise at longitude 0 puts the sun over 90 E; it then moves west
    // 15 degrees an hour, and picture k is drawn 2k + 1 hours later.
    return 90.0 - 15.0 * (2 * k + 1);
}

QList<QPixmap> earthPictures()
{
    const QImage day = paintMap({QColor(0x3d, 0x7d, 0xbe), QColor(0x5c, 0xa4, 0xe0),
                                 QColor(0x8c, 0xba, 0x6e), QColor(0xa8, 0xb8, 0x8a),
                                 QColor(0xf2, 0xf6, 0xfa), QColor(0x4d, 0x74, 0x4a, 150)});
    const QImage night = paintMap({QColor(0x0a, 0x16, 0x2c), QColor(0x10, 0x22, 0x40),
                                   QColor(0x2a, 0x3b, 0x50), QColor(0x2e, 0x3c, 0x4e),
                                   QColor(0x4a, 0x58, 0x6c), QColor(0x3a, 0x4c, 0x62, 150)});
    const int w = earthSize.width(), h = earthSize.height();

    QPainterPath frame;
    frame.addRoundedRect(QRectF(0.5, 0.5, w - 1.0, h - 1.0), 7, 7);

    QList<QPixmap> pictures;
    for (int k = 0; k < earthPictureCount; ++k) {
        const double sunLon = subsolarLongitude(k) * pi / 180.0;
        QImage image = canvas(earthSize);
        for (int y = 0; y < h; ++y) {
            const double lat = (topLatitude - (y + 0.5) / h * latitudeSpan) * pi / 180.0;
            const auto *d = reinterpret_cast<const QRgb *>(day.constScanLine(y));
            const auto *n = reinterpret_cast<const QRgb *>(night.constScanLine(y));
            auto *out = reinterpret_cast<QRgb *>(image.scanLine(y));
            for (int x = 0; x < w; ++x) {
                const double lon = ((x + 0.5) / w * 360.0 - 180.0) * pi / 180.0;
                // Sine of the sun's height: day above the horizon, fading
                // through twilight to about 8 degrees below it.
                const double height = std::cos(lat) * std::cos(lon - sunLon);
                const double t = smoothstep(-0.14, 0.06, height);
                // A gentle brightening where the sun stands high.
                const double glare = 1.0 + 0.10 * smoothstep(0.75, 1.0, height);
                auto blend = [&](int dc, int nc) {
                    return std::clamp(int(std::lround((dc * glare) * t + nc * (1.0 - t))), 0, 255);
                };
                out[x] = qRgba(blend(qRed(d[x]), qRed(n[x])), blend(qGreen(d[x]), qGreen(n[x])),
                               blend(qBlue(d[x]), qBlue(n[x])), 255);
            }
        }
        // Rounded corners and a thin rim.
        QPainter p(&image);
        smooth(p);
        QImage mask = canvas(earthSize);
        {
            QPainter m(&mask);
            smooth(m);
            m.fillPath(frame, Qt::black);
        }
        p.setCompositionMode(QPainter::CompositionMode_DestinationIn);
        p.drawImage(0, 0, mask);
        p.setCompositionMode(QPainter::CompositionMode_SourceOver);
        p.setPen(QPen(withAlpha(colour::ink, 0.55), 1.0));
        p.setBrush(Qt::NoBrush);
        p.drawPath(frame);
        p.end();
        pictures.append(QPixmap::fromImage(image));
    }
    return pictures;
}

}  // namespace nimbrel::artwork
