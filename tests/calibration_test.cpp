#include "Calibration.h"
#include "ClimateSummary.h"
#include "CurrentConditions.h"
#include "HistoryAggregates.h"
#include "HistoryCsv.h"
#include "HistoryQuery.h"
#include "HistorySource.h"
#include "PublishSettings.h"
#include "Units.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QUrlQuery>
#include <algorithm>
#include <map>
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
        // Every field, the rain counter included, as the export writes it.
        EXPECT_EQ(historyCsvLine(got, nullptr), historyCsvLine(want, nullptr));
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

namespace {

double largest(const std::vector<history::PlotPoint> &points)
{
    double most = -1e9;
    for (const history::PlotPoint &p : points)
        most = std::max(most, p.y);
    return most;
}

}  // namespace

// Ten hourly records, corrected: every face shows the corrected values, the
// stored rows stay as the station sent them, and the summaries agree with
// the corrected rows.
TEST(Calibration, EveryFaceShowsCorrectedValuesWhileTheRowsStayRaw)
{
    QTemporaryDir dir;
    const QDate day(2024, 5, 1);
    auto opened = HistoryStore::open(dir.filePath(QStringLiteral("datat")), QDateTime(day.addDays(2), QTime(0, 0)));
    ASSERT_TRUE(opened.store);
    HistoryStore &store = *opened.store;
    for (int i = 0; i < 10; ++i) {
        HistoryRow r;
        r.Dat = QDateTime(day, QTime(i + 1, 0));
        r.TempDoor = 20;
        r.HumDoor = 40;
        r.TempCH[0] = 10 + i;
        r.HumCH[0] = 50;
        r.PressLocal = 1000 + i;
        r.WindSpeed = 5 + i;
        r.WindGust = 10 + i;
        r.RainCount = 100 + 2 * i;
        r.WindDirection = 0;
        ASSERT_EQ(store.appendRow(r), AppendResult::Appended);
    }
    auto calibration = std::make_shared<Calibration>();
    calibration->temperature[0] = 1;
    calibration->humidity[0] = 5;
    calibration->pressure = 2;
    calibration->windSpeed = 1.5;
    calibration->rain = 2;
    calibration->windDirection = 90;
    store.setCalibration(calibration);
    const QDateTime after(day, QTime(0, 0));
    const QDateTime upTo(day, QTime(23, 0));

    // The history window.
    const history::HistorySource source(&store);
    const auto plainAfter = history::plainSeconds(after);
    const auto plainUpTo = history::plainSeconds(upTo);
    const auto series = source.read(plainAfter, plainUpTo, 1000,
                                    {history::channelTemperatureField(1, 0), history::channelHumidityField(1),
                                     history::pressureField(1), history::windSpeedField(1)});
    EXPECT_DOUBLE_EQ(largest(series[0]), 20.0);
    EXPECT_DOUBLE_EQ(largest(series[1]), 55.0);
    EXPECT_DOUBLE_EQ(largest(series[2]), 1011.0);
    EXPECT_DOUBLE_EQ(largest(series[3]), 21.0);
    EXPECT_DOUBLE_EQ(source.rainFactor(), 2.0);

    // The web's /api/history, in base units.
    const web::HistoryQuery query(&store);
    const web::HistoryAnswer answer = query.answer(
        QUrlQuery(QStringLiteral("from=2024-05-01&to=2024-05-02&series=channel1_temperature,pressure_sea_level,rain")),
        UnitChoices{});
    ASSERT_EQ(answer.status, 200) << answer.json.toStdString();
    double rainSum = 0;
    std::map<QString, double> most;
    for (const QJsonValue &s : QJsonDocument::fromJson(answer.json).object()[QStringLiteral("series")].toArray()) {
        const QString key = s[QStringLiteral("key")].toString();
        most[key] = -1e9;
        for (const QJsonValue &p : s[QStringLiteral("points")].toArray()) {
            most[key] = std::max(most[key], p[1].toDouble());
            rainSum += key == QLatin1String("rain") ? p[1].toDouble() : 0;
        }
    }
    EXPECT_DOUBLE_EQ(most[QStringLiteral("channel1_temperature")], 20.0);
    EXPECT_DOUBLE_EQ(most[QStringLiteral("pressure_sea_level")], 1011.0);
    // 18 tips of the rows after the first, doubled, in mm (each point rounded
    // to 0.1 mm; without the factor the sum is half).
    EXPECT_NEAR(rainSum, rainInUnit(36, unitCode(RainUnit::Mm)), 0.5);

    // The current conditions' rain windows read the history.
    Measurement newest;
    HistoryRow last;
    ASSERT_TRUE(store.newest(last));
    loadMeasurement(last, newest);
    newest.TempCHState[1] = 4;  // no sensor on channel 2: nothing to correct
    applyCalibration(*calibration, newest);
    const CurrentConditions c = currentConditions(newest, StationSummary{}, &store);
    EXPECT_EQ(c.rainLast24hTips, 36);
    EXPECT_DOUBLE_EQ(c.channels[0].temperatureC.value_or(0), 20.0);
    EXPECT_FALSE(c.channels[1].temperatureC);
    EXPECT_DOUBLE_EQ(c.pressureSeaLevelHpa.value_or(0), 1011.0);
    EXPECT_DOUBLE_EQ(c.windSpeedMph.value_or(0), 21.0);
    EXPECT_DOUBLE_EQ(c.windDirectionDeg.value_or(0), 90.0);

    // The export.
    QByteArray exported;
    ASSERT_TRUE(writeHistoryText(store, after, upTo, TextFormat::JsonLines, {}, [&](const QByteArray &b) {
        exported += b;
        return true;
    }));
    const QList<QByteArray> lines = exported.trimmed().split('\n');
    ASSERT_EQ(lines.size(), 10);
    const QJsonObject second = QJsonDocument::fromJson(lines[1]).object();
    EXPECT_EQ(second[QStringLiteral("channel1_temperature")].toVariant().toDouble(), 12.0) << lines[1].toStdString();
    EXPECT_EQ(second[QStringLiteral("rain_tips")].toVariant().toDouble(), 4.0) << lines[1].toStdString();
    EXPECT_EQ(second[QStringLiteral("wind_direction")].toVariant().toDouble(), 90.0) << lines[1].toStdString();

    // The stored rows, read back, are the station's.
    const std::vector<HistoryRow> rows = store.rowsBetween(after, upTo);
    ASSERT_EQ(rows.size(), 10u);
    std::vector<HistoryRow> corrected = rows;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        EXPECT_DOUBLE_EQ(rows[i].TempCH[0], 10.0 + double(i));
        EXPECT_EQ(rows[i].RainCount, 100 + 2 * int(i));
        EXPECT_EQ(rows[i].WindDirection, 0);
        applyCalibration(*calibration, corrected[i]);
    }

    // The summaries agree with the corrected rows.
    auto byTemperature = [](const HistoryRow &a, const HistoryRow &b) { return a.TempCH[0] < b.TempCH[0]; };
    const auto hottest = std::max_element(corrected.begin(), corrected.end(), byTemperature);
    const RecordedExtremes extremes = recordedExtremes(store);
    EXPECT_DOUBLE_EQ(extremes.TempCHMax[0].value, hottest->TempCH[0]);
    EXPECT_EQ(extremes.TempCHMax[0].Dat, hottest->Dat);
    EXPECT_DOUBLE_EQ(extremes.PressLocalMin.value, corrected.front().PressLocal);
    EXPECT_DOUBLE_EQ(extremes.WindGustMax.value, corrected.back().WindGust);
    const auto days = dailyClimate(store, day, day, 18.3);
    ASSERT_TRUE(days && days->size() == 1);
    const ClimateSummary &s = days->front().summary;
    double meanTemperature = 0;
    double meanWind = 0;
    for (const HistoryRow &r : corrected) {
        meanTemperature += r.TempCH[0] / 10;
        meanWind += r.WindSpeed / 10;
    }
    EXPECT_NEAR(*s.meanTemperature, meanTemperature, 1e-9);
    EXPECT_NEAR(s.heatingDegreeDays, 18.3 - meanTemperature, 1e-9);
    EXPECT_NEAR(s.meanWindSpeed, meanWind, 1e-9);
    EXPECT_DOUBLE_EQ(s.highTemperature->value, hottest->TempCH[0]);
    EXPECT_DOUBLE_EQ(s.rainTips, 36.0);
    EXPECT_EQ(s.dominantDirection(), 4);
}
