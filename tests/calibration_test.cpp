#include "Calibration.h"
#include "PublishSettings.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace nimbrel;

namespace {

HistoryRow rawRow()
{
    HistoryRow r;
    r.Dat = QDateTime(QDate(2024, 5, 1), QTime(12, 0));
    r.TempDoor = 21.0;
    r.HumDoor = 40;
    r.TempCH[0] = 10.0;
    r.HumCH[0] = 97;
    r.TempCH[2] = 5.0;
    r.HumCH[2] = 3;
    r.PressLocal = 1000.0;
    r.WindSpeed = 10.0;
    r.WindGust = 20.0;
    r.WindChill = 8.0;
    r.RainCount = 123;
    r.WindDirection = 15;
    return r;
}

}  // namespace

// Each key read from [calibration] and applied to one row; the expected row
// is the raw one with the named fields changed.
TEST(Calibration, EachKeyCorrectsItsFieldsAndNothingElse)
{
    struct Case {
        const char *line;
        void (*expect)(HistoryRow &);
    };
    const Case cases[] = {
        {"indoorTemperature=-1.5", [](HistoryRow &r) { r.TempDoor = 19.5; }},
        {"indoorHumidity=5", [](HistoryRow &r) { r.HumDoor = 45; }},
        {"temperature1=0.5", [](HistoryRow &r) { r.TempCH[0] = 10.5; r.WindChill = 8.5; }},
        // Humidity stays within the station's 1..99 %.
        {"humidity1=4", [](HistoryRow &r) { r.HumCH[0] = 99; }},
        {"humidity3=-10", [](HistoryRow &r) { r.HumCH[2] = 1; }},
        // Channel 2 did not report (0 °C, 0 %): it stays missing.
        {"temperature2=3", [](HistoryRow &) {}},
        {"pressure=2.5", [](HistoryRow &r) { r.PressLocal = 1002.5; }},
        {"windSpeed=1.5", [](HistoryRow &r) { r.WindSpeed = 15; r.WindGust = 30; }},
        // The counter stays as stored; the factor is on amounts.
        {"rain=2", [](HistoryRow &) {}},
        // Sector 15 (NNW) turned by 45° wraps to 1 (NNE); -180 turns it to SSE.
        {"windDirection=45", [](HistoryRow &r) { r.WindDirection = 1; }},
        {"windDirection=-180", [](HistoryRow &r) { r.WindDirection = 7; }},
        // Less than half a point does not turn the vane.
        {"windDirection=11", [](HistoryRow &) {}},
    };
    QTemporaryDir dir;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.line);
        const QString path = dir.filePath(QStringLiteral("nimbrel.ini"));
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(QByteArray("[calibration]\n") + c.line + "\n");
        f.close();
        const PublishSettings s = loadPublishSettings(path);
        ASSERT_TRUE(s.problems.isEmpty()) << s.problems.join(u'\n').toStdString();
        HistoryRow got = rawRow();
        applyCalibration(s.calibration, got);
        HistoryRow want = rawRow();
        c.expect(want);
        EXPECT_DOUBLE_EQ(got.TempDoor, want.TempDoor);
        EXPECT_EQ(got.HumDoor, want.HumDoor);
        for (int ch = 0; ch < kChannelCount; ++ch) {
            EXPECT_DOUBLE_EQ(got.TempCH[ch], want.TempCH[ch]) << ch;
            EXPECT_EQ(got.HumCH[ch], want.HumCH[ch]) << ch;
        }
        EXPECT_DOUBLE_EQ(got.PressLocal, want.PressLocal);
        EXPECT_DOUBLE_EQ(got.WindSpeed, want.WindSpeed);
        EXPECT_DOUBLE_EQ(got.WindGust, want.WindGust);
        EXPECT_DOUBLE_EQ(got.WindChill, want.WindChill);
        EXPECT_EQ(got.RainCount, want.RainCount);
        EXPECT_EQ(got.WindDirection, want.WindDirection);
    }
    Calibration c;
    c.rain = 1.25;
    EXPECT_DOUBLE_EQ(c.rainAmount(8), 10.0);
}

TEST(Calibration, ABadValueIsNamedByItsLineAndOnlyThatKeyIsLeftOut)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("nimbrel.ini"));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("[calibration]\npressure=1.5\nwindSpeed=3\nrain=abc\ntemperature6=1\nhumidity2=-2\n");
    f.close();
    const PublishSettings s = loadPublishSettings(path);
    ASSERT_EQ(s.problems.size(), 3) << s.problems.join(u'\n').toStdString();
    EXPECT_TRUE(s.problems[0].startsWith(QStringLiteral("nimbrel.ini:3: windSpeed must be a number from 0.5 to 2")));
    EXPECT_TRUE(s.problems[1].startsWith(QStringLiteral("nimbrel.ini:4: rain")));
    EXPECT_TRUE(s.problems[2].contains(QStringLiteral("temperature6")));
    EXPECT_DOUBLE_EQ(s.calibration.pressure, 1.5);
    EXPECT_DOUBLE_EQ(s.calibration.windSpeed, 1.0);
    EXPECT_DOUBLE_EQ(s.calibration.rain, 1.0);
    EXPECT_DOUBLE_EQ(s.calibration.humidity[1], -2.0);
}
