// What the pressure, temperature and wind panels show for given records:
// sensor-state placeholders, the temperature-unit rule, the short-history
// chart fill, the wind chart over a real history file and the chart hints.
#include "DisplayRules.h"
#include "HistoryStore.h"
#include "Placeholders.h"
#include "PressureView.h"
#include "ShortHistoryChart.h"
#include "TemperatureView.h"
#include "WindView.h"

#include <QLocale>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>
#include <optional>

using namespace nimbrel;

namespace {

// Numbers read the same on every test machine.
const bool kCLocale = [] {
    QLocale::setDefault(QLocale::c());
    return true;
}();

constexpr int C = 0, F = 1;
constexpr int hPa = 0, mmHg = 2, inHg = 3;
constexpr int kmh = 0, mph = 1, ms = 2, knots = 3;

UnitChoices units(int temperature = C, int pressure = hPa, int speed = kmh, int channel = 0)
{
    return {.temperature = temperature, .pressure = pressure, .speed = speed, .channel = channel};
}

// ---- Placeholder table ----

TEST(Placeholders, EachQuantityShowsItsTextForEveryState)
{
    struct Row {
        Reading reading;
        int state;
        std::optional<const char *> text;  // nullopt: formatted as a number
    };
    const Row rows[] = {
        {Reading::IndoorTemperature, 0, std::nullopt}, {Reading::IndoorTemperature, 1, "LL"},
        {Reading::IndoorTemperature, 2, "HH"},         {Reading::IndoorTemperature, 3, "--,-"},
        {Reading::IndoorTemperature, 4, ""},           {Reading::IndoorTemperature, 9, ""},
        {Reading::ChannelTemperature, 3, "--,-"},      {Reading::ChannelTemperature, 4, "--,-"},
        {Reading::ChannelTemperature, 5, ""},          {Reading::WindChill, 1, "UU.UU"},
        {Reading::WindChill, 2, ""},                   {Reading::WindChill, 4, "--,-"},
        {Reading::WindSpeed, 1, "UU.UU"},              {Reading::WindSpeed, 2, "--,-"},
        {Reading::WindSpeed, 3, ""},                   {Reading::Pressure, 1, "----,-"},
        {Reading::Pressure, 0xFFFF, "----,-"},         {Reading::RainLastHour, 7, "0"},
    };
    for (const Row &r : rows) {
        const std::optional<QString> got = placeholderFor(r.reading, r.state);
        SCOPED_TRACE(testing::Message() << "reading " << int(r.reading) << " state " << r.state);
        ASSERT_EQ(got.has_value(), r.text.has_value());
        if (got) {
            EXPECT_EQ(got->toStdString(), *r.text);
        }
    }
    EXPECT_EQ(readingText(Reading::IndoorTemperature, 0, -0.04, 1), "0.0");  // never "-0.0"
}

TEST(Placeholders, HumidityTextsAndGauges)
{
    EXPECT_EQ(indoorHumidityText(105, 0), "105");  // indoor text shows 100 and more as they are
    EXPECT_EQ(indoorHumidityText(50, 1), "");
    EXPECT_EQ(channelHumidityText(99, 0), "99");
    EXPECT_EQ(channelHumidityText(100, 0), "--");
    EXPECT_EQ(channelHumidityText(50, 3), "--");
    EXPECT_EQ(humidityGaugeValue(100, 0), 0.0);
    EXPECT_EQ(humidityGaugeValue(50, 4), 0.0);
    EXPECT_EQ(humidityGaugeValue(50, 0), 50.0);
}

// ---- Pressure panel and the short-history chart fill ----

TEST(PressurePanel, TextsTrendAndForecast)
{
    struct Row {
        const char *situation;
        double pressure;
        int invalid, unit, altitude;
        double indoorC;
        const char *seaLevel, *station;
    };
    const Row rows[] = {
        {"1013.25 hPa in mmHg", 1013.25, 0, mmHg, 0, 20, "760.0", "760.0"},
        {"altitude 0 keeps the sea-level figure", 1013.0, 0, hPa, 0, 20, "1013.0", "1013.0"},
        {"200 m at 20 °C", 1013.0, 0, hPa, 200, 20, "1013.0", "989.2"},
        {"invalid pressure in both labels", 1013.0, 1, hPa, 200, 20, "----,-", "----,-"},
    };
    for (const Row &r : rows) {
        Measurement m;
        StationSummary s;
        m.PressLocal = r.pressure;
        m.PressLocalInvalid = r.invalid;
        m.TempDoor = r.indoorC;
        m.PressureUnit = hPa;  // left over from an earlier refresh: the choices win
        s.Altitude = r.altitude;
        const PressureView v = pressureView(m, s, units(C, r.unit));
        EXPECT_EQ(v.PressureLabel, r.seaLevel) << r.situation;
        EXPECT_EQ(v.PressureLocalL, r.station) << r.situation;
    }

    StationSummary s;
    const struct { double now, hourAgo; int arrow; } trends[] = {
        {1012.9, 1012.1, kTrendSteady}, {1011.9, 1012.1, kTrendFalling}, {1013.0, 1012.9, kTrendRising}};
    for (const auto &t : trends) {
        s.PressureHistory[0] = t.now;
        s.PressureHistory[1] = t.hourAgo;
        EXPECT_EQ(pressureTrendIndex(s), t.arrow) << t.now << " after " << t.hourAgo;
    }

    const struct { int code, state, picture; } forecasts[] = {
        {0, 0, 0}, {7, 0, 0}, {1, 0, 1}, {6, 0, 6}, {3, 2, kForecastNone}, {9, 0, 0}};
    for (const auto &f : forecasts) {
        Measurement m;
        m.Weather = f.code;
        m.WeatherInvalid = f.state;
        EXPECT_EQ(forecastImageIndex(m), f.picture) << "code " << f.code << " state " << f.state;
    }
}

TEST(ShortHistoryChart, AxisEndsOneWholeUnitBeyondTheTruncatedPoints)
{
    double allZero[kPressureHistoryCount] = {};
    for (int unit : {hPa, 1, mmHg, inHg, 7}) {
        const ChartView v = pressureChartView(allZero, unit);
        EXPECT_EQ(v.yMin, -1) << "unit " << unit;
        EXPECT_EQ(v.yMax, 1) << "unit " << unit;
        EXPECT_EQ(v.points.size(), kPressureHistoryCount);
    }

    double history[kPressureHistoryCount];
    for (int i = 0; i < kPressureHistoryCount; ++i)
        history[i] = 1000.0 + i * 0.5;  // newest first: falling towards now
    const ChartView hpa = pressureChartView(history, hPa);
    EXPECT_EQ(hpa.points.front(), QPointF(-24, 1012.0));  // 24 hours back
    EXPECT_EQ(hpa.points.back(), QPointF(0, 1000.0));
    EXPECT_EQ(hpa.yMin, 999);
    EXPECT_EQ(hpa.yMax, 1013);
    const ChartView inch = pressureChartView(history, inHg);  // 29.53 .. 29.88
    EXPECT_EQ(inch.yMin, 28);
    EXPECT_EQ(inch.yMax, 30);

    // UV: the lower bound never goes below 0; a flat 0 week gives 0..1.
    const double week[kUvDayCount] = {};
    const ChartView uv = fillShortHistoryChart(MainChart::Uv, week, 1.0, {0, 36}, true);
    EXPECT_EQ(uv.yMin, 0);
    EXPECT_EQ(uv.yMax, 1);
    EXPECT_EQ(uv.points.front().x(), -7);
    EXPECT_EQ(uv.seriesTitle, "UVI");
}

// ---- Temperature panel ----

TEST(TemperaturePanel, ComfortWordAtEveryBoundary)
{
    const struct { double t; int h; int word; } rows[] = {
        {20, 50, kComfortComfortable}, {30, 50, kComfortHot}, {22, 35, kComfortDry},
        {15, 80, kComfortHumid},       {15, 50, kComfortCold}, {25, 60, kComfortHot},
        {20, 60, kComfortComfortable}, {20, 61, kComfortHumid}, {18.9, 60, kComfortCold},
        {19, 39, kComfortDry},         {24.9, 40, kComfortComfortable},
    };
    for (const auto &r : rows)
        EXPECT_EQ(comfortIndex(r.t, r.h), r.word) << r.t << " °C, " << r.h << " %";
}

TEST(TemperaturePanel, ReadingsStatesAndUnits)
{
    struct Row {
        const char *situation;
        std::function<void(Measurement &, StationSummary &)> setup;
        UnitChoices choices;
        std::function<void(const TemperatureView &)> check;
    };
    const Row rows[] = {
        {"indoor 20 °C, 50 %", [](Measurement &m, StationSummary &) { m.TempDoor = 20; m.HumDoor = 50; },
         units(C),
         [](const TemperatureView &v) {
             EXPECT_EQ(v.indoor.TempDoorLabel, "20.0");
             EXPECT_EQ(v.indoor.TochkaRosDoorL, "9.3");
             EXPECT_EQ(v.indoor.ComfState, kComfortComfortable);
             EXPECT_EQ(v.indoor.Termo1.value, 20.0);
         }},
        {"indoor state 1 keeps the stored extremes on their labels",
         [](Measurement &m, StationSummary &s) {
             m.TempDoor = 20; m.HumDoor = 50; m.TempDoorState = 1;
             s.TempMax[0] = 28.5; s.TempMaxState[0] = 2;
         },
         units(C),
         [](const TemperatureView &v) {
             EXPECT_EQ(v.indoor.TempDoorLabel, "LL");
             EXPECT_EQ(v.indoor.TochkaRosDoorL, "LL");
             EXPECT_EQ(v.indoor.HumDoorLabel, "");
             EXPECT_EQ(v.indoor.HumMeter, 0.0);
             EXPECT_EQ(v.indoor.Termo1.value, 0.0);
             EXPECT_EQ(v.indoor.MaxTempDoorLabel, "28.5");
             EXPECT_EQ(v.indoor.Termo1.maxMarker, 0.0);
         }},
        {"-17.8 °C in Fahrenheit shows no minus sign", [](Measurement &m, StationSummary &) { m.TempDoor = -17.8; },
         units(F), [](const TemperatureView &v) { EXPECT_EQ(v.indoor.TempDoorLabel, "0.0"); }},
        {"Fahrenheit converts extremes and alarms",
         [](Measurement &, StationSummary &s) {
             s.TempMin[0] = -40; s.TempAlarmHigh = 30; s.TempAlarmLowState = 3;
         },
         units(F),
         [](const TemperatureView &v) {
             EXPECT_EQ(v.indoor.MinTempDoorLabel, "-40.0");
             EXPECT_EQ(v.indoor.UTAL, "Hi:86.0");
             EXPECT_EQ(v.indoor.LTAL, "Lo:--,-");
             EXPECT_EQ(v.indoor.Termo1.scale.minimum, 14);
             EXPECT_EQ(v.channel.Termo2.scale.maximum, 176);
             EXPECT_EQ(v.TemperatureUnitPicture, 1);
         }},
        {"channel state 3",
         [](Measurement &m, StationSummary &s) {
             m.TempCH[1] = 12; m.HumCH[1] = 70; m.TempCHState[1] = 3; s.BatteryFlag[1] = 1;
         },
         units(C, hPa, kmh, 1),
         [](const TemperatureView &v) {
             EXPECT_EQ(v.channel.TempCHLabel, "--,-");
             EXPECT_EQ(v.channel.TochkaRosCHL, "--,-");
             EXPECT_EQ(v.channel.HumCHLabel, "--");
             EXPECT_TRUE(v.channel.ComfState1LEmpty);
             EXPECT_EQ(v.channel.BatCH, kBatteryNoReading);
         }},
        {"all-zero channel (decoded as -0.0) stays 0.0 in Fahrenheit",
         [](Measurement &m, StationSummary &) { m.TempCH[0] = -0.0; m.HumCH[0] = 0; },
         units(F),
         [](const TemperatureView &v) {
             EXPECT_EQ(v.channel.TempCHLabel, "0.0");
             EXPECT_EQ(v.channel.TochkaRosCHL, "0.0");
             EXPECT_EQ(v.channel.Termo2.value, 0.0);
         }},
        {"0 °C with humidity is converted", [](Measurement &m, StationSummary &) { m.HumCH[0] = 40; },
         units(F), [](const TemperatureView &v) { EXPECT_EQ(v.channel.TempCHLabel, "32.0"); }},
        {"channel maximum with a state shows 32.0 in Fahrenheit",
         [](Measurement &m, StationSummary &s) {
             m.TempCH[2] = 10; m.HumCH[2] = 50; s.TempMax[3] = 25; s.TempMaxState[3] = 1; s.TempMin[3] = 5;
             s.Trend[6] = 2; s.Trend[7] = 0; s.BatteryFlag[2] = 0;
         },
         units(F, hPa, kmh, 2),
         [](const TemperatureView &v) {
             EXPECT_EQ(v.channel.MaxTempCHL, "32.0");
             EXPECT_EQ(v.channel.Termo2.maxMarker, 32.0);
             EXPECT_EQ(v.channel.MinTempCHL, "41.0");
             EXPECT_EQ(v.channel.TempCHTrend, kTrendRising);
             EXPECT_EQ(v.channel.HumCHTrend, -1);
             EXPECT_EQ(v.channel.BatCH, kBatteryLow);
             EXPECT_FALSE(v.channel.ComfState1LEmpty);
         }},
        {"a channel index outside CH1..CH5 shows nothing", [](Measurement &, StationSummary &) {},
         units(C, hPa, kmh, 5),
         [](const TemperatureView &v) {
             EXPECT_EQ(v.channel.TempCHLabel, "");
             EXPECT_EQ(v.channel.HumCHLabel, "--");
             EXPECT_EQ(v.channel.MaxTempCHL, "");
             EXPECT_EQ(v.channel.BatCH, kBatteryNoReading);
         }},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.situation);
        Measurement m;
        StationSummary s;
        r.setup(m, s);
        r.check(temperatureView(m, s, r.choices));
    }
}

// ---- Wind panel ----

TEST(WindPanel, SpeedsDirectionChillAndBattery)
{
    const struct { double mph; int state, unit; const char *text; } speeds[] = {
        {10, 0, kmh, "16.1"}, {10, 0, ms, "4.5"},    {250, 0, knots, "0.0"}, {10, 1, kmh, "UU.UU"},
        {10, 2, mph, "--,-"}, {10, 3, kmh, ""}, {10, 0, 9, "0.0"},
    };
    for (const auto &r : speeds) {
        Measurement m;
        m.WindGust = r.mph;
        m.WindGustState = r.state;
        EXPECT_EQ(formatWindGust(m, r.unit), r.text) << r.mph << " mph, state " << r.state << ", unit " << r.unit;
    }

    Measurement m;
    StationSummary s;
    m.WindDirection = 5;
    m.WindSpeedState = 2;
    m.WindChill = 120;  // implausible: counts as 0 °C
    s.WindSpeedMax = 10;
    s.WindGustAlarm = 250;
    s.BatteryFlag[kBatteryFlagWind] = 1;
    WindView v = windView(m, s, nullptr, units(F, hPa, kmh));
    EXPECT_EQ(v.WindDirectionLabel, "ESE");
    EXPECT_EQ(v.WindDirectionLabel1, "112,5");
    EXPECT_EQ(v.WindChillL, "32.0");
    EXPECT_EQ(v.WindSpeedL, "--,-");
    EXPECT_EQ(v.MaxWindSpeedL, "16.1");  // maxima show numbers under placeholder readings
    EXPECT_EQ(v.WGAL, "Hi:0.0");
    EXPECT_EQ(v.BatWind, kBatteryNoReading);
    m.WindSpeedState = 0;
    m.WindChillState = 4;
    m.WindDirection = 16;
    v = windView(m, s, nullptr, units(C, hPa, kmh));
    EXPECT_EQ(v.WindChillL, "--,-");
    EXPECT_EQ(v.WindDirectionLabel, "");
    EXPECT_EQ(v.WindDirectionLabel1, "");
    m.WindChillState = 0;
    EXPECT_EQ(windView(m, s, nullptr, units()).BatWind, kBatteryGood);
}

class WindChart : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        HistoryStore::Opened opened = HistoryStore::open(dir.filePath(QStringLiteral("datat")), kT);
        ASSERT_TRUE(opened.store) << qPrintable(opened.error);
        store = std::move(opened.store);
    }
    // A record `hoursBefore` hours before the readings' time stamp.
    void record(double hoursBefore, double mph)
    {
        Measurement m;
        m.Dat = kT.addSecs(static_cast<qint64>(-hoursBefore * 3600));
        m.WindSpeed = mph;
        ASSERT_EQ(store->append(m), AppendResult::Appended);
    }
    static std::vector<double> ys(const ChartView &v)
    {
        std::vector<double> out;
        for (const QPointF &p : v.points)
            out.push_back(p.y());
        return out;
    }

    const QDateTime kT{QDate(2026, 12, 7), QTime(10, 30)};
    QTemporaryDir dir;
    std::unique_ptr<HistoryStore> store;
};

TEST_F(WindChart, RunningMaximumOverTheWeekInKmh)
{
    record(6 * 24 + 3, 5);   // in the 24 hours ending 6 days back
    record(4 * 24, 12);      // exactly 4 days back: the end of that day's window
    record(1 * 24 + 10, 3);
    record(8 * 24, 90);      // exactly 8 days back: before the first window
    record(-1, 80);          // after the readings
    const ChartView v = windSpeedChart(store.get(), kT, kmh);
    const std::vector<double> expected = {0, 8.05, 8.05, 19.32, 19.32, 19.32, 19.32, 19.32};
    ASSERT_EQ(v.points.size(), 8);
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(v.points[i].x(), i - 7);
        EXPECT_NEAR(v.points[i].y(), expected[i], 1e-9) << "x = " << i - 7;
    }
    EXPECT_EQ(v.yMin, 0);
    EXPECT_EQ(v.yMax, 20);
    EXPECT_EQ(chartPointHint(MainChart::WindSpeed, v, 3), "-4 : 19.32");
}

TEST_F(WindChart, AboveTwoHundredIsDrawnAsZeroAndRestarts)
{
    record(5 * 24 + 2, 150);  // 241.5 km/h
    record(2 * 24 + 2, 40);
    const ChartView v = windSpeedChart(store.get(), kT, kmh);
    EXPECT_EQ(ys(v), (std::vector<double>{0, 0, 0, 0, 0, 40 * 1.61, 40 * 1.61, 40 * 1.61}));
    EXPECT_EQ(v.yMin, 0);
    EXPECT_EQ(v.yMax, 242);
}

TEST_F(WindChart, EmptyHistoryGivesEightZerosAndAxisZeroToOne)
{
    for (const HistoryStore *history : {static_cast<const HistoryStore *>(store.get()),
                                        static_cast<const HistoryStore *>(nullptr)}) {
        const ChartView v = windSpeedChart(history, kT, mph);
        EXPECT_EQ(ys(v), std::vector<double>(8, 0.0));
        EXPECT_EQ(v.yMin, 0);
        EXPECT_EQ(v.yMax, 1);
        EXPECT_EQ(v.seriesTitle, "Скорость ветра");
        EXPECT_EQ(v.hint, "Скорость ветра за последние 7 дней");
    }
}

// ---- Point hints of the three charts ----

TEST(ChartHints, PointUnderTheMouse)
{
    const struct { MainChart chart; QPointF point; const char *hint; } rows[] = {
        {MainChart::Pressure, {0, 1013.25}, "0 : 1013.3"},
        {MainChart::Uv, {-5, 2.118}, "-5 : 2.12"},
        {MainChart::WindSpeed, {-7, 0}, "-7 : 0.00"},
    };
    for (const auto &r : rows)
        EXPECT_EQ(chartPointHint(r.chart, r.point), r.hint);
    ChartView v;
    v.points = {{0, 1}};
    EXPECT_EQ(chartPointHint(MainChart::Pressure, v, -1), "");  // off every point
    EXPECT_EQ(chartPointHint(MainChart::Pressure, v, 1), "");
}

}  // namespace
