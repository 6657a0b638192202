// Tests of the painted picture lists: counts and sizes, no accidental
// duplicates, and that each index shows what the window expects of it
// (arrow directions, phase and day-night geometry, colours of the bands).
//
// Run with `--contact-sheet DIR [SCALE]` to write one PNG grid per list into
// DIR instead of testing, for looking at the artwork.
#include "Artwork.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <functional>
#include <numbers>

namespace art = nimbrel::artwork;

namespace {

QImage rgba(const QPixmap &pixmap)
{
    return pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
}

double luminance(QRgb c)
{
    return 0.299 * qRed(c) + 0.587 * qGreen(c) + 0.114 * qBlue(c);
}

// Counts the pixels of `area` for which `pick` holds.
int countPixels(const QImage &image, const QRect &area, const std::function<bool(QRgb)> &pick)
{
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            n += pick(image.pixel(x, y)) ? 1 : 0;
    return n;
}

bool isSunYellow(QRgb c)
{
    return qAlpha(c) > 200 && qRed(c) > 220 && qGreen(c) > 150 && qBlue(c) < 140;
}
bool isRainBlue(QRgb c)
{
    return qRed(c) < 120 && qBlue(c) - qRed(c) > 90;
}
bool isSnowWhite(QRgb c)
{
    return qRed(c) > 240 && qGreen(c) > 240 && qBlue(c) > 240;
}
bool isRed(QRgb c)
{
    return qAlpha(c) > 160 && qRed(c) > 150 && qRed(c) - qGreen(c) > 80 && qRed(c) - qBlue(c) > 80;
}
bool isGreen(QRgb c)
{
    return qAlpha(c) > 160 && qGreen(c) - qRed(c) > 30 && qGreen(c) - qBlue(c) > 30;
}

double angleGap(double a, double b)
{
    const double d = std::fmod(std::fabs(a - b), 360.0);
    return d > 180.0 ? 360.0 - d : d;
}

// ---- Every list: count, sizes, distinct pictures ---------------------------

struct ListCase {
    const char *name;
    QList<QPixmap> (*draw)();
    int count;
    QSize size;  // width 0: the width varies (checked separately)
    // Pictures that show the same thing by design share a group number;
    // every other picture must differ from all the rest.
    int (*sameGroup)(int index);
};

int noGroup(int)
{
    return -1;
}

// New moon pictures all look alike, and so do the full ones.
int moonGroup(int k)
{
    if (k <= 4 || k >= 34)
        return 0;
    if (k >= 16 && k <= 21)
        return 1;
    return -1;
}

const ListCase lists[] = {
    {"weatherStrips", art::weatherStrips, 8, {290, 121}, noGroup},
    {"trendArrows", art::trendArrows, 3, {16, 16}, noGroup},
    {"batteryPictures", art::batteryPictures, 3, {22, 22}, noGroup},
    {"alarmBells", art::alarmBells, 2, {16, 16}, noGroup},
    {"unitSigns", art::unitSigns, 2, {16, 16}, noGroup},
    {"unitSignsAlt", art::unitSignsAlt, 2, {16, 16}, noGroup},
    {"uvPictures", art::uvPictures, 11, {0, 77}, noGroup},
    {"compassRoses", art::compassRoses, 16, {146, 145}, noGroup},
    {"moonPhases", art::moonPhases, 36, {90, 81}, moonGroup},
    {"earthPictures", art::earthPictures, 12, {160, 70}, noGroup},
};

class EveryList : public ::testing::TestWithParam<ListCase> {};

TEST_P(EveryList, HasItsCountAndSizes)
{
    const ListCase &c = GetParam();
    const QList<QPixmap> pictures = c.draw();
    ASSERT_EQ(pictures.size(), c.count);
    for (int i = 0; i < pictures.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(pictures[i].devicePixelRatio(), 1.0);
        EXPECT_EQ(pictures[i].height(), c.size.height());
        if (c.size.width() > 0) {
            EXPECT_EQ(pictures[i].width(), c.size.width());
        }
    }
}

TEST_P(EveryList, PicturesDifferUnlessTheyShowTheSame)
{
    const ListCase &c = GetParam();
    QList<QImage> images;
    for (const QPixmap &p : c.draw())
        images.append(rgba(p));
    for (int i = 0; i < images.size(); ++i) {
        for (int j = i + 1; j < images.size(); ++j) {
            const bool alike = c.sameGroup(i) >= 0 && c.sameGroup(i) == c.sameGroup(j);
            EXPECT_EQ(images[i] == images[j], alike) << c.name << " " << i << " and " << j;
        }
    }
}

TEST_P(EveryList, PicturesAreNotBlank)
{
    const ListCase &c = GetParam();
    for (const QPixmap &p : c.draw()) {
        const QImage image = rgba(p);
        const int visible = countPixels(image, image.rect(), [](QRgb px) { return qAlpha(px) > 128; });
        EXPECT_GT(visible, image.width() * image.height() / 8) << c.name;
    }
}

INSTANTIATE_TEST_SUITE_P(Artwork, EveryList, ::testing::ValuesIn(lists),
                         [](const auto &info) { return std::string(info.param.name); });

// ---- Forecast strips --------------------------------------------------------

constexpr QRect leftFrame(0, 0, 145, 121);
constexpr QRect rightFrame(145, 0, 145, 121);
// Where rain and snow fall, below the clouds, in the left frame.
constexpr QRect fallBand(10, 72, 125, 46);

TEST(WeatherStrips, TheTwoFramesOfEveryStripDiffer)
{
    const QList<QPixmap> strips = art::weatherStrips();
    for (int i = 0; i < strips.size(); ++i) {
        const QImage image = rgba(strips[i]);
        const QImage a = image.copy(leftFrame), b = image.copy(rightFrame);
        EXPECT_NE(a, b) << "strip " << i;
        // ...but only a little: the same scene, slightly moved.
        int differing = 0;
        for (int y = 0; y < a.height(); ++y)
            for (int x = 0; x < a.width(); ++x)
                differing += a.pixel(x, y) != b.pixel(x, y) ? 1 : 0;
        EXPECT_LT(differing, a.width() * a.height() / 3) << "strip " << i;
    }
}

struct SunCase {
    int picture;
    double minShare, maxShare;  // share of the frame in sun yellow
};

class WeatherSun : public ::testing::TestWithParam<SunCase> {};

TEST_P(WeatherSun, OnlySunnyPicturesShowTheSun)
{
    const SunCase c = GetParam();
    const QImage frame = rgba(art::weatherStrips()[c.picture]).copy(leftFrame);
    const double share = countPixels(frame, frame.rect(), isSunYellow) / double(145 * 121);
    EXPECT_GE(share, c.minShare);
    EXPECT_LE(share, c.maxShare);
}

INSTANTIATE_TEST_SUITE_P(Artwork, WeatherSun,
                         ::testing::Values(SunCase{art::FewSnowflakes, 0, 0.001}, SunCase{art::Snow, 0, 0.001},
                                           SunCase{art::Rain, 0, 0.001}, SunCase{art::HeavyRain, 0, 0.001},
                                           SunCase{art::Cloudy, 0, 0.001}, SunCase{art::PartlySunny, 0.02, 0.12},
                                           SunCase{art::Sunny, 0.12, 0.5}, SunCase{art::NoForecast, 0, 0.001}));

TEST(WeatherStrips, PrecipitationMatchesTheForecast)
{
    const QList<QPixmap> strips = art::weatherStrips();
    auto band = [&](int picture, bool (*pick)(QRgb)) {
        return countPixels(rgba(strips[picture]).copy(leftFrame), fallBand, pick);
    };
    // Rain only where rain is forecast, and more of it for heavy rain.
    EXPECT_GT(band(art::Rain, isRainBlue), 60);
    EXPECT_GT(band(art::HeavyRain, isRainBlue), band(art::Rain, isRainBlue) * 4 / 3);
    for (int dry : {art::FewSnowflakes, art::Snow, art::Cloudy, art::NoForecast})
        EXPECT_LT(band(dry, isRainBlue), 3) << dry;
    // Snow for both snowy forecasts, more flakes for snow than for a few flakes.
    EXPECT_GT(band(art::FewSnowflakes, isSnowWhite), 20);
    EXPECT_GT(band(art::Snow, isSnowWhite), band(art::FewSnowflakes, isSnowWhite) * 3 / 2);
    for (int wet : {art::Rain, art::HeavyRain})
        EXPECT_LT(band(wet, isSnowWhite), 3) << wet;
}

TEST(WeatherStrips, NoForecastIsAnAlmostEmptySky)
{
    const QImage frame = rgba(art::weatherStrips()[art::NoForecast]).copy(leftFrame);
    int busy = 0;
    for (int y = 4; y < 117; ++y) {
        const QRgb sky = frame.pixel(6, y);
        for (int x = 6; x < 139; ++x)
            busy += std::abs(luminance(frame.pixel(x, y)) - luminance(sky)) > 30 ? 1 : 0;
    }
    EXPECT_LT(busy, 145 * 121 / 50);
}

TEST(WeatherStrips, CloudsDarkenTowardsHeavyRain)
{
    const QList<QPixmap> strips = art::weatherStrips();
    auto meanLuminance = [&](int picture) {
        const QImage frame = rgba(strips[picture]).copy(leftFrame);
        double sum = 0;
        for (int y = 0; y < frame.height(); ++y)
            for (int x = 0; x < frame.width(); ++x)
                sum += luminance(frame.pixel(x, y));
        return sum / (frame.width() * frame.height());
    };
    EXPECT_LT(meanLuminance(art::HeavyRain), meanLuminance(art::Rain));
    EXPECT_LT(meanLuminance(art::Rain), meanLuminance(art::Cloudy));
}

// ---- Small pictures ------------------------------------------------------------

// Ink (summed alpha) in the part of a picture that `side` picks.
double ink(const QImage &image, const std::function<bool(int x, int y)> &side)
{
    double sum = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (side(x, y))
                sum += qAlpha(image.pixel(x, y));
    return sum;
}

struct ArrowCase {
    int index;
    const char *points;
    bool (*ahead)(int x, int y);   // the half the head lies in
    bool (*behind)(int x, int y);  // the opposite half
    bool (*oneSide)(int x, int y); // a half beside the arrow's axis...
    bool (*otherSide)(int x, int y); // ...and the other one
};

class TrendArrow : public ::testing::TestWithParam<ArrowCase> {};

TEST_P(TrendArrow, PointsItsWay)
{
    const ArrowCase c = GetParam();
    const QImage image = rgba(art::trendArrows()[c.index]);
    // The head carries more ink than the shaft, and the arrow is symmetric
    // about its axis.
    EXPECT_GT(ink(image, c.ahead), 1.4 * ink(image, c.behind)) << c.points;
    EXPECT_NEAR(ink(image, c.oneSide), ink(image, c.otherSide), 0.05 * ink(image, c.oneSide)) << c.points;
}

bool top(int, int y) { return y < 8; }
bool bottom(int, int y) { return y >= 8; }
bool left(int x, int) { return x < 8; }
bool right(int x, int) { return x >= 8; }

INSTANTIATE_TEST_SUITE_P(Artwork, TrendArrow,
                         ::testing::Values(ArrowCase{0, "down", bottom, top, left, right},
                                           ArrowCase{1, "up", top, bottom, left, right},
                                           ArrowCase{2, "right", right, left, top, bottom}));

struct ColourCase {
    const char *what;
    QList<QPixmap> (*draw)();
    int index;
    bool (*colour)(QRgb);
    int minPixels, maxPixels;
};

class PictureColour : public ::testing::TestWithParam<ColourCase> {};

TEST_P(PictureColour, ShowsItsSignalColour)
{
    const ColourCase c = GetParam();
    const QImage image = rgba(c.draw()[c.index]);
    const int n = countPixels(image, image.rect(), c.colour);
    EXPECT_GE(n, c.minPixels);
    EXPECT_LE(n, c.maxPixels);
}

INSTANTIATE_TEST_SUITE_P(
    Artwork, PictureColour,
    ::testing::Values(ColourCase{"low battery is red", art::batteryPictures, 0, isRed, 8, 484},
                      ColourCase{"low battery is not green", art::batteryPictures, 0, isGreen, 0, 0},
                      ColourCase{"full battery is green", art::batteryPictures, 1, isGreen, 60, 484},
                      ColourCase{"full battery is not red", art::batteryPictures, 1, isRed, 0, 0},
                      ColourCase{"error sign is neither green", art::batteryPictures, 2, isGreen, 0, 0},
                      ColourCase{"bell on is yellow", art::alarmBells, 0, isSunYellow, 30, 256},
                      ColourCase{"bell off is not", art::alarmBells, 1, isSunYellow, 0, 0}),
    [](const auto &info) {
        std::string name;
        for (const char *s = info.param.what; *s; ++s)
            name += std::isalnum(static_cast<unsigned char>(*s)) ? *s : '_';
        return name;
    });

TEST(AlarmBells, TheOffBellIsAnOutline)
{
    const QList<QPixmap> bells = art::alarmBells();
    const auto opaque = [](QRgb c) { return qAlpha(c) > 128; };
    const QImage on = rgba(bells[0]), off = rgba(bells[1]);
    EXPECT_LT(countPixels(off, off.rect(), opaque) * 5, countPixels(on, on.rect(), opaque) * 3);
    // Its middle is empty.
    EXPECT_LT(qAlpha(off.pixel(8, 8)), 40);
}

// Mean luminance of the solid pixels of a picture.
double solidLuminance(const QImage &image)
{
    double sum = 0;
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) > 200) {
                sum += luminance(image.pixel(x, y));
                ++n;
            }
    return n > 0 ? sum / n : -1;
}

TEST(UnitSigns, DarkSignsForLightBackgroundsAndPaleOnesForDark)
{
    const QList<QPixmap> dark = art::unitSigns(), pale = art::unitSignsAlt();
    for (int unit = 0; unit < 2; ++unit) {
        SCOPED_TRACE(unit);
        EXPECT_LT(solidLuminance(rgba(dark[unit])), 90);
        EXPECT_GT(solidLuminance(rgba(pale[unit])), 180);
    }
}

TEST(UnitSigns, CelsiusAndFahrenheitDifferOnlyInTheLetter)
{
    // The degree ring stands in the same place in both signs.
    const QImage c = rgba(art::unitSigns()[0]), f = rgba(art::unitSigns()[1]);
    EXPECT_EQ(c.copy(0, 0, 6, 8), f.copy(0, 0, 6, 8));
    EXPECT_NE(c.copy(6, 0, 10, 16), f.copy(6, 0, 10, 16));
}

// ---- UV pictures ----------------------------------------------------------------

TEST(UvPictures, WidenFrom68To200)
{
    const QList<QPixmap> pictures = art::uvPictures();
    ASSERT_EQ(pictures.size(), 11);
    EXPECT_EQ(pictures.front().width(), 68);
    EXPECT_EQ(pictures.back().width(), 200);
    for (int k = 1; k < pictures.size(); ++k)
        EXPECT_GT(pictures[k].width(), pictures[k - 1].width()) << k;
    for (int k = 0; k < pictures.size(); ++k)
        EXPECT_EQ(pictures[k].width(), art::uvPictureWidth(k)) << k;
}

// The hue (0..359) that most strongly coloured pixels of the top part share,
// in buckets of 10 degrees.
int dominantHue(const QImage &image)
{
    int buckets[36] = {};
    for (int y = 0; y < 62; ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = QColor::fromRgba(image.pixel(x, y));
            if (c.alpha() > 200 && c.hsvSaturationF() > 0.45 && c.valueF() > 0.35)
                ++buckets[c.hsvHue() / 10];
        }
    return int(std::max_element(std::begin(buckets), std::end(buckets)) - std::begin(buckets)) * 10 + 5;
}

struct BandCase {
    int uv;           // the index shown
    int hue;          // the band's hue
};

class UvBands : public ::testing::TestWithParam<BandCase> {};

TEST_P(UvBands, BadgeTakesTheColourOfTheBand)
{
    const BandCase c = GetParam();
    const QImage image = rgba(art::uvPictures()[c.uv - 1]);
    EXPECT_LT(angleGap(dominantHue(image), c.hue), 16.0);
}

// Green 1-2, yellow 3-5, orange 6-7, red 8-10, violet 11 and above.
INSTANTIATE_TEST_SUITE_P(Artwork, UvBands,
                         ::testing::Values(BandCase{1, 128}, BandCase{2, 128}, BandCase{3, 45}, BandCase{5, 45},
                                           BandCase{6, 26}, BandCase{7, 26}, BandCase{8, 5}, BandCase{10, 5},
                                           BandCase{11, 275}));

TEST(UvPictures, ProtectionGrowsWithTheIndex)
{
    // Everything right of the badge is protection chips; it never shrinks,
    // is absent at the lowest indices and present at the highest.
    const QList<QPixmap> pictures = art::uvPictures();
    auto chipInk = [&](int k) {
        const QImage image = rgba(pictures[k]);
        const int w = image.width();
        // The badge is centred with its chips, so the chips are the ink
        // right of the leftmost 54 + margin pixels of the content.
        int firstInk = w;
        for (int x = 0; x < w && firstInk == w; ++x)
            for (int y = 0; y < 60; ++y)
                if (qAlpha(image.pixel(x, y)) > 128) {
                    firstInk = x;
                    break;
                }
        return countPixels(image, QRect(firstInk + 56, 0, std::max(0, w - firstInk - 56), 62),
                           [](QRgb c) { return qAlpha(c) > 128; });
    };
    EXPECT_EQ(chipInk(0), 0);
    EXPECT_EQ(chipInk(1), 0);
    EXPECT_GT(chipInk(2), 100);
    for (int k = 1; k < pictures.size(); ++k)
        EXPECT_GE(chipInk(k), chipInk(k - 1)) << k;
    EXPECT_GT(chipInk(10), 4 * chipInk(2));
}

// ---- Compass ----------------------------------------------------------------------

TEST(CompassRoses, RedArrowPointsToItsSector)
{
    const QList<QPixmap> roses = art::compassRoses();
    ASSERT_EQ(roses.size(), 16);
    for (int k = 0; k < 16; ++k) {
        const QImage image = rgba(roses[k]);
        double sx = 0, sy = 0;
        int n = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (isRed(image.pixel(x, y))) {
                    sx += x + 0.5 - 73.0;
                    sy += y + 0.5 - 72.5;
                    ++n;
                }
        ASSERT_GT(n, 50) << k;
        // Clockwise from north, screen y pointing down.
        const double bearing = std::fmod(std::atan2(sx, -sy) * 180.0 / std::numbers::pi + 360.0, 360.0);
        EXPECT_LT(angleGap(bearing, 22.5 * k), 11.25) << "sector " << k << " arrow at " << bearing;
    }
}

// ---- Moon -------------------------------------------------------------------------

struct MoonLight {
    int left = 0, right = 0;  // lit pixels in each half
    int total() const { return left + right; }
};

// Lit pixels of the moon, in the middle of the picture (the stars of the
// sky stay near the edges).
MoonLight measureMoon(const QImage &image)
{
    MoonLight m;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 10; x < image.width() - 10; ++x)
            if (luminance(image.pixel(x, y)) > 120)
                (x < image.width() / 2 ? m.left : m.right) += 1;
    return m;
}

TEST(MoonPhases, LitPartGrowsOnTheRightThenShrinksOnTheLeft)
{
    const QList<QPixmap> phases = art::moonPhases();
    ASSERT_EQ(phases.size(), 36);
    QList<MoonLight> light;
    for (const QPixmap &p : phases)
        light.append(measureMoon(rgba(p)));

    for (int k : {0, 1, 2, 3, 4, 34, 35})
        EXPECT_EQ(light[k].total(), 0) << "new moon " << k;
    for (int k = 5; k <= 16; ++k)
        EXPECT_GT(light[k].total(), light[k - 1].total()) << "waxing " << k;
    for (int k = 17; k <= 21; ++k)
        EXPECT_EQ(light[k].total(), light[16].total()) << "full " << k;
    for (int k = 22; k <= 34; ++k)
        EXPECT_LT(light[k].total(), light[k - 1].total()) << "waning " << k;

    for (int k = 5; k <= 15; ++k)
        EXPECT_GT(light[k].right, light[k].left) << "waxing is lit on the right " << k;
    for (int k = 22; k <= 33; ++k)
        EXPECT_GT(light[k].left, light[k].right) << "waning is lit on the left " << k;
    // A quarter is lit on one half only, roughly half the disc.
    EXPECT_LT(light[10].left, light[10].right / 20);
    EXPECT_LT(light[28].right, light[28].left / 20);
    EXPECT_NEAR(double(light[10].total()) / light[16].total(), 0.5, 0.08);
}

TEST(MoonPhases, NewMoonIsAFaintDiscOnADarkSky)
{
    const QImage image = rgba(art::moonPhases()[0]);
    const double sky = luminance(image.pixel(2, 2));
    const double disc = luminance(image.pixel(45, 40));
    EXPECT_LT(sky, 40);
    EXPECT_GT(disc, sky + 8);
    EXPECT_LT(disc, 120);
}

TEST(MoonPhases, WaxingAndWaningMirrorEachOther)
{
    // Pictures k and 38 - k stand for elongations e and 360 - e.
    const QList<QPixmap> phases = art::moonPhases();
    for (int k = 5; k <= 15; ++k) {
        const MoonLight waxing = measureMoon(rgba(phases[k]));
        const MoonLight waning = measureMoon(rgba(phases[38 - k]));
        EXPECT_NEAR(waxing.right, waning.left, 0.06 * waxing.total() + 12) << k;
    }
}

// ---- Earth ------------------------------------------------------------------------

// Longitude of the middle of the lit half: the circular mean of the columns
// brighter than the midpoint between the darkest and the brightest column.
double litLongitude(const QImage &image)
{
    QList<double> column(image.width(), 0.0);
    for (int x = 0; x < image.width(); ++x) {
        for (int y = 3; y < image.height() - 3; ++y)
            column[x] += luminance(image.pixel(x, y));
        column[x] /= image.height() - 6;
    }
    const auto [lo, hi] = std::minmax_element(column.begin(), column.end());
    const double middle = (*lo + *hi) / 2;
    double c = 0, s = 0;
    for (int x = 0; x < image.width(); ++x) {
        if (column[x] <= middle)
            continue;
        const double lon = ((x + 0.5) / image.width() * 360.0 - 180.0) * std::numbers::pi / 180.0;
        c += std::cos(lon);
        s += std::sin(lon);
    }
    return std::atan2(s, c) * 180.0 / std::numbers::pi;
}

TEST(EarthPictures, DayMovesWestTwoHoursAPicture)
{
    const QList<QPixmap> pictures = art::earthPictures();
    ASSERT_EQ(pictures.size(), 12);
    for (int k = 0; k < 12; ++k) {
        // Picture k: 2k to 2k + 2 hours after sunrise at longitude 0. At
        // sunrise the sun stands over 90 E and it moves 15 degrees west an
        // hour; take the middle of the two hours.
        const double expected = 90.0 - 15.0 * (2 * k + 1);
        const double lit = litLongitude(rgba(pictures[k]));
        EXPECT_LT(angleGap(lit, expected), 6.0) << "picture " << k << " lit around " << lit;
    }
}

TEST(EarthPictures, LongitudeZeroIsLitForTheFirstTwelveHours)
{
    // The Gulf of Guinea, just south of longitude 0 and the equator.
    const QList<QPixmap> pictures = art::earthPictures();
    for (int k = 0; k < 12; ++k) {
        const QImage image = rgba(pictures[k]);
        double sum = 0;
        for (int y = 36; y < 40; ++y)
            for (int x = 79; x < 81; ++x)
                sum += luminance(image.pixel(x, y));
        const double mean = sum / 8;
        if (k < 6) {
            EXPECT_GT(mean, 90) << "day at picture " << k;
        } else {
            EXPECT_LT(mean, 60) << "night at picture " << k;
        }
    }
}

// ---- All together -------------------------------------------------------------------

TEST(Artwork, DrawsEveryListAtStartUp)
{
    QElapsedTimer timer;
    timer.start();
    int pictures = 0;
    for (const ListCase &c : lists)
        pictures += int(c.draw().size());
    EXPECT_EQ(pictures, 8 + 3 + 3 + 2 + 2 + 2 + 11 + 16 + 36 + 12);
    ::testing::Test::RecordProperty("milliseconds", int(timer.elapsed()));
}

// ---- Contact sheets ------------------------------------------------------------------

void writeSheet(const QString &dir, const ListCase &c, int columns, int forcedScale)
{
    const QList<QPixmap> pictures = c.draw();
    int cellW = 0, cellH = 0;
    for (const QPixmap &p : pictures) {
        cellW = std::max(cellW, p.width());
        cellH = std::max(cellH, p.height());
    }
    const int scale = forcedScale > 0 ? forcedScale : (cellW <= 32 ? 4 : (cellW <= 160 ? 2 : 1));
    const int pad = 10, label = 14;
    const int cw = cellW * scale + pad, ch = cellH * scale + label + pad;
    const int rows = (int(pictures.size()) + columns - 1) / columns;
    // Small pictures are shown twice: on a light and on a dark ground, plus
    // once at their own size.
    const bool small = cellW <= 32;
    QImage sheet(columns * cw + pad, rows * ch * (small ? 2 : 1) + pad + (small ? cellH + pad : 0),
                 QImage::Format_ARGB32_Premultiplied);
    sheet.fill(QColor(0xe8, 0xec, 0xf0));
    QPainter p(&sheet);
    p.setFont(QFont(QStringLiteral("DejaVu Sans"), 8));
    for (int ground = 0; ground < (small ? 2 : 1); ++ground) {
        const int top = ground * rows * ch;
        if (ground == 1)
            p.fillRect(QRect(0, top, sheet.width(), rows * ch), QColor(0x1d, 0x2a, 0x3a));
        for (int i = 0; i < pictures.size(); ++i) {
            const int x = pad + (i % columns) * cw, y = top + pad + (i / columns) * ch;
            p.setPen(ground == 1 ? Qt::white : Qt::black);
            p.drawText(QRect(x, y, cw - pad, label), Qt::AlignLeft | Qt::AlignVCenter, QString::number(i));
            const QImage image = pictures[i].toImage();
            p.drawImage(QRect(x, y + label, image.width() * scale, image.height() * scale), image);
        }
    }
    if (small) {
        for (int i = 0; i < pictures.size(); ++i)
            p.drawPixmap(pad + i * (cellW + 6), sheet.height() - cellH - pad, pictures[i]);
    }
    p.end();
    sheet.save(dir + QLatin1Char('/') + QLatin1String(c.name) + QStringLiteral(".png"));
}

int writeContactSheets(const QString &dir, int scale)
{
    QDir().mkpath(dir);
    const int columns[] = {2, 3, 3, 2, 2, 2, 3, 4, 9, 3};
    for (std::size_t i = 0; i < std::size(lists); ++i)
        writeSheet(dir, lists[i], columns[i], scale);
    return 0;
}

}  // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    // --contact-sheet DIR [SCALE]: SCALE magnifies every sheet alike.
    for (int i = 1; i + 1 < argc; ++i)
        if (QString::fromLocal8Bit(argv[i]) == QLatin1String("--contact-sheet"))
            return writeContactSheets(QString::fromLocal8Bit(argv[i + 1]),
                                      i + 2 < argc ? QString::fromLocal8Bit(argv[i + 2]).toInt() : 0);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
