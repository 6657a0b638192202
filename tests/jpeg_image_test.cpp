#include "JpegImage.h"

#include <gtest/gtest.h>

#include <QColor>
#include <QFile>
#include <QImage>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ostream>
#include <string>

#include <jpeglib.h>

namespace {

// Four flat quadrants, so the decoded colour can be checked away from the
// edges where JPEG blurs.
struct Quadrants {
    QRgb topLeft, topRight, bottomLeft, bottomRight;
};

QRgb quadrantAt(const Quadrants &q, int x, int y, int w, int h)
{
    const bool right = x >= w / 2;
    const bool bottom = y >= h / 2;
    return bottom ? (right ? q.bottomRight : q.bottomLeft) : (right ? q.topRight : q.topLeft);
}

// Encodes with libjpeg's defaults (YCbCr with 2×2 chroma subsampling for
// colour), which is what cameras and editors produce.
QByteArray encode(int w, int h, bool gray, const Quadrants &q)
{
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr jerr{};
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&cinfo);
    unsigned char *buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = JDIMENSION(w);
    cinfo.image_height = JDIMENSION(h);
    cinfo.input_components = gray ? 1 : 3;
    cinfo.in_color_space = gray ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 95, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    std::basic_string<JSAMPLE> row(std::size_t(w) * cinfo.input_components, 0);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const QRgb c = quadrantAt(q, x, y, w, h);
            if (gray) {
                row[x] = JSAMPLE(qRed(c));
            } else {
                row[3 * x] = JSAMPLE(qRed(c));
                row[3 * x + 1] = JSAMPLE(qGreen(c));
                row[3 * x + 2] = JSAMPLE(qBlue(c));
            }
        }
        JSAMPROW ptr = row.data();
        jpeg_write_scanlines(&cinfo, &ptr, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    QByteArray out(reinterpret_cast<const char *>(buffer), qsizetype(size));
    std::free(buffer);
    return out;
}

const Quadrants kGrayLevels{qRgb(0, 0, 0), qRgb(85, 85, 85), qRgb(170, 170, 170), qRgb(255, 255, 255)};
const Quadrants kColours{qRgb(220, 40, 30), qRgb(30, 180, 60), qRgb(40, 60, 210), qRgb(250, 250, 250)};

struct EncodedCase {
    const char *name;
    int width, height;
    bool gray;
};

void PrintTo(const EncodedCase &c, std::ostream *os)
{
    *os << c.name;
}

class DecodesEncoded : public testing::TestWithParam<EncodedCase> {};

TEST_P(DecodesEncoded, SizeAndColours)
{
    const EncodedCase &c = GetParam();
    const Quadrants &q = c.gray ? kGrayLevels : kColours;
    QString error;
    const QImage image = decodeJpeg(encode(c.width, c.height, c.gray, q), &error);
    ASSERT_FALSE(image.isNull()) << error.toStdString();
    EXPECT_TRUE(error.isEmpty());
    ASSERT_EQ(image.width(), c.width);
    ASSERT_EQ(image.height(), c.height);

    const int tolerance = c.gray ? 4 : 24;
    for (int qy : {0, 1}) {
        for (int qx : {0, 1}) {
            const int x = (2 * qx + 1) * c.width / 4;
            const int y = (2 * qy + 1) * c.height / 4;
            const QRgb want = quadrantAt(q, x, y, c.width, c.height);
            const QRgb got = image.pixel(x, y);
            SCOPED_TRACE(testing::Message() << "pixel " << x << "," << y);
            EXPECT_NEAR(qRed(got), qRed(want), tolerance);
            EXPECT_NEAR(qGreen(got), qGreen(want), tolerance);
            EXPECT_NEAR(qBlue(got), qBlue(want), tolerance);
        }
    }
    if (c.gray) {
        // Every pixel of every row, including the last column, which the
        // in-place gray-to-RGB spread must reach.
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const QRgb p = image.pixel(x, y);
                ASSERT_TRUE(qRed(p) == qGreen(p) && qGreen(p) == qBlue(p)) << x << "," << y;
            }
    }
}

// Odd sizes leave partial 8×8 blocks and padded scan lines.
INSTANTIATE_TEST_SUITE_P(Jpeg, DecodesEncoded,
                         testing::Values(EncodedCase{"gray_16x16", 16, 16, true},
                                         EncodedCase{"gray_odd_27x13", 27, 13, true},
                                         EncodedCase{"colour_48x32", 48, 32, false},
                                         EncodedCase{"colour_odd_45x29", 45, 29, false}),
                         [](const auto &info) { return std::string(info.param.name); });

QByteArray validColourJpeg()
{
    return encode(32, 32, false, kColours);
}

QByteArray randomBytes(int n)
{
    QByteArray out(n, '\0');
    std::uint32_t seed = 12345;
    for (char &b : out) {
        seed = seed * 1664525u + 1013904223u;
        b = char(seed >> 24);
    }
    return out;
}

struct DamagedCase {
    const char *name;
    QByteArray (*make)();
};

void PrintTo(const DamagedCase &c, std::ostream *os)
{
    *os << c.name;
}

class RejectsDamaged : public testing::TestWithParam<DamagedCase> {};

TEST_P(RejectsDamaged, NullImageWithReason)
{
    QString error;
    const QImage image = decodeJpeg(GetParam().make(), &error);
    EXPECT_TRUE(image.isNull());
    EXPECT_FALSE(error.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Jpeg, RejectsDamaged,
    testing::Values(
        DamagedCase{"empty", [] { return QByteArray(); }},
        DamagedCase{"random", [] { return randomBytes(4096); }},
        DamagedCase{"start_marker_only", [] { return validColourJpeg().left(2); }},
        DamagedCase{"cut_in_headers", [] { return validColourJpeg().left(100); }},
        DamagedCase{"cut_in_scan", [] {
                        const QByteArray full = validColourJpeg();
                        return full.left(full.size() * 3 / 4);
                    }},
        DamagedCase{"start_marker_then_noise",
                    [] { return QByteArray("\xff\xd8", 2) + randomBytes(512); }}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(Jpeg, MissingFileNamesThePath)
{
    QString error;
    EXPECT_TRUE(loadJpegFile(QStringLiteral("/nonexistent/startup.jpg"), &error).isNull());
    EXPECT_TRUE(error.contains(QStringLiteral("/nonexistent/startup.jpg")));
}

// The marker byte of the first start-of-frame segment (0xc0 baseline, 0xc2
// progressive, ...), found by walking the segments from the start.
int frameMarker(const QByteArray &jpeg)
{
    auto byte = [&](qsizetype i) { return i < jpeg.size() ? int(uchar(jpeg[i])) : -1; };
    qsizetype pos = 2;
    while (byte(pos) == 0xff) {
        const int marker = byte(pos + 1);
        if (marker >= 0xc0 && marker <= 0xcf && marker != 0xc4 && marker != 0xc8 && marker != 0xcc)
            return marker;
        const int length = byte(pos + 2) * 256 + byte(pos + 3);
        if (length < 2)
            return -1;
        pos += 2 + length;
    }
    return -1;
}

// The start-up panel lays white text and a progress bar over the bottom of
// the picture; they need the full panel size, a baseline file and a dark
// band from y = 560 down.
TEST(Artwork, StartupPictureFitsThePanel)
{
    const QString path = QStringLiteral(NIMBREL_ART_DIR "/startup.jpg");
    QString error;
    const QImage image = loadJpegFile(path, &error);
    ASSERT_FALSE(image.isNull()) << error.toStdString();
    EXPECT_EQ(image.size(), QSize(873, 665));

    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(frameMarker(file.readAll()), 0xc0) << "not a baseline JPEG";

    int brightest = 0;
    for (int y = 562; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            brightest = std::max(brightest, qGray(image.pixel(x, y)));
    EXPECT_LT(brightest, 60);
}

TEST(Artwork, IconsHaveTheirSizes)
{
    for (int size : {256, 48, 32, 16}) {
        const QImage icon(QStringLiteral(NIMBREL_ART_DIR "/icon-%1.png").arg(size));
        EXPECT_EQ(icon.size(), QSize(size, size)) << size;
        EXPECT_TRUE(icon.hasAlphaChannel()) << size;
    }
}

} // namespace
