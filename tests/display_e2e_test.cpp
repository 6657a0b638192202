// The current conditions as the user sees them: a station memory made by
// hand (seven records, a header with every summary set), unit choices stored
// as a previous session left them, the program run against the simulated
// station with --dump-ui, and each panel checked for what those readings
// must show: texts, pictures, gauges, thermometers and charts, also after the
// user picks another unit, channel or rain period.
#include "MemoryEncoding.h"
#include "SettingsStore.h"
#include "support/ProcessRun.h"

#include <QDate>
#include <QFile>
#include <QJsonArray>
#include <QLocale>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using namespace nimbrel;
using nimbrel::test::runProcess;

// One history record of the crafted station, in 2026.
sim::SlotValues record(int month, int day, int hour, int minute, double indoor, int rain)
{
    sim::SlotValues s;
    s.month = month;
    s.day = day;
    s.hour = hour;
    s.minute = minute;
    s.dayOfWeek = QDate(2026, month, day).dayOfWeek();
    s.indoor = {indoor, sim::kTemperatureOk, 44};
    s.channels[0] = {4.0, sim::kTemperatureOk, 85};
    s.channels[1] = {-5.0, sim::kTemperatureOk, 70};
    s.channels[2] = {0.0, sim::kTemperatureNoSensor, 0};
    s.channels[3] = {0.0, sim::kTemperatureOk, 0};  // paired, reading exactly zero
    s.channels[4] = {0.0, sim::kTemperatureNoSensor, 0};
    s.pressure = 1010.0;
    s.windSpeed = 6.0;
    s.windGust = 9.0;
    s.rainCounter = rain;
    return s;
}

// The station's memory: records from 27 February 12:00 to 1 March 09:55
// with a rain mark on 28 February 08:00, ties among the extremes, and a
// header whose every summary the panels show.
sim::Memory craftedMemory()
{
    std::vector<sim::SlotValues> records;
    records.push_back(record(2, 27, 12, 0, 18.0, 1000));  // lowest indoor
    records.push_back(record(2, 28, 8, 0, 19.0, 1004));
    records.back().rainState = 2;  // the newest marked record: the total counts from here
    records.back().pressure = 1005.0;
    records.push_back(record(2, 28, 10, 30, 20.0, 1011));  // the 24 hours start after 09:55
    records.back().windSpeed = 14.0;
    records.back().windGust = 22.0;
    records.push_back(record(3, 1, 6, 0, 23.5, 1016));
    records.back().channels[0].temperature = 9.5;
    records.push_back(record(3, 1, 8, 55, 21.0, 1020));  // on the hour's start: not in it
    records.back().channels[0].temperature = -1.5;
    records.back().pressure = 1016.5;
    records.back().windSpeed = 14.0;  // ties the earlier maximum, which keeps its time
    records.push_back(record(3, 1, 9, 10, 23.5, 1021));  // ties the indoor maximum
    sim::SlotValues now = record(3, 1, 9, 55, 21.3, 1030);
    now.indoor.humidity = 45;
    now.channels[0] = {5.5, sim::kTemperatureOk, 80};
    now.channels[1] = {-3.2, sim::kTemperatureOk, 60};
    now.uv = 5.7;
    now.pressure = 1013.25;
    now.forecast = 3;
    now.windChill = 4.5;
    now.windSpeed = 10.0;
    now.windGust = 16.0;
    now.windDirection = 5;
    records.push_back(now);

    sim::HeaderValues h;
    h.year = 2026;
    h.temperatureAlarmHigh = {30.0};
    h.temperatureAlarmLow = {5.0};
    h.maximum[0] = {28.4};
    h.minimum[0] = {12.0};
    h.maximum[1] = {9.0};
    h.minimum[1] = {-2.0};
    h.trends = {2, 3, 1, 3};
    h.batteries = {1, 1, 1, 1, 1, 1, 0, 1};  // the wind sensor's battery is low
    h.uvDailyMaxima = {5.7, 4.0, 3.2, 6.1, 2.0, 0.5, 1.5, 7.3};
    h.altitude = 200;
    for (int i = 0; i < 25; ++i)
        h.pressureHistory[i] = 1013.0 - 0.5 * i;
    h.rainAlarmFlag = 0;
    h.windSpeedAlarmFlag = 1;
    h.windGustAlarmFlag = 0;
    h.rainAlarm = 32;
    h.windSpeedAlarm = 20;
    h.windGustAlarm = 40;
    h.windSpeedMax = {24.0};
    h.windGustMax = {30.0};
    h.rainYesterday = 12;
    h.rainWeek = 40;
    h.rainMonth = 100;
    h.periodCode = 1;
    h.newestSlot = static_cast<int>(records.size());

    sim::Memory memory{};
    sim::writeHeader(memory, h);
    for (std::size_t k = 0; k < records.size(); ++k)
        sim::writeSlot(memory, sim::slotPosition(static_cast<int>(k) + 1), records[k]);
    return memory;
}

// A working folder with the simulated station serving the crafted memory
// and the unit choices of the last session: Russian, Celsius, mmHg, m/s,
// mm, UVI.
struct Station {
    Station()
    {
        QFile::copy(QStringLiteral(SIM_LINK_DIR "/libUSB.so"), dir.filePath(QStringLiteral("libUSB.so")));
        const sim::Memory memory = craftedMemory();
        QFile image(dir.filePath(QStringLiteral("station.bin")));
        image.open(QIODevice::WriteOnly);
        image.write(reinterpret_cast<const char *>(memory.data()), memory.size());
        QFile ini(dir.filePath(QStringLiteral("stationsim.ini")));
        ini.open(QIODevice::WriteOnly);
        ini.write("[station]\nattached=true\nimage=station.bin\n");
        Settings units;
        units.Lang = 0;
        units.Temp = 0;
        units.Press = 2;
        units.Speed = 2;
        units.Rain = 1;
        units.UVI = 0;
        auto opened = SettingsStore::open(dir.filePath(QStringLiteral("datsum")), QDateTime());
        stored = opened.store && opened.store->save(units);
    }

    // The dump after the given actions; empty when the run failed.
    QJsonObject dump(const QStringList &actions, QString *why, const QStringList &options = {})
    {
        const QString out = dir.filePath(QStringLiteral("ui.json"));
        QFile::remove(out);
        QStringList arguments{QStringLiteral("--dump-ui"), out, QStringLiteral("--clock"),
                              QStringLiteral("2026-03-01T10:00:00")};
        for (const QString &action : actions)
            arguments << QStringLiteral("--action") << action;
        arguments << options;
        const test::ProcessRun run = runProcess(QStringLiteral(NIMBREL_BINARY), arguments, dir.path(),
                                                {{QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen")}}, 90000);
        *why = QStringLiteral("exit %1: %2").arg(run.exitCode).arg(QString::fromUtf8(run.err));
        QFile file(out);
        if (run.exitCode != 0 || !file.open(QIODevice::ReadOnly))
            return {};
        return QJsonDocument::fromJson(file.readAll()).object();
    }

    QTemporaryDir dir;
    bool stored = false;
};

// Numbers agree to well below the last digit shown; arrays element by element.
bool same(const QJsonValue &actual, const QJsonValue &expected)
{
    if (expected.isDouble())
        return actual.isDouble() && std::abs(actual.toDouble() - expected.toDouble()) < 1e-4;
    if (expected.isArray()) {
        const QJsonArray a = actual.toArray(), e = expected.toArray();
        if (!actual.isArray() || a.size() != e.size())
            return false;
        for (qsizetype i = 0; i < e.size(); ++i)
            if (!same(a[i], e[i]))
                return false;
        return true;
    }
    return actual == expected;
}

struct Shows {
    const char *component;
    const char *key;
    QJsonValue value;
};

QJsonArray points(std::initializer_list<std::pair<double, double>> xy)
{
    QJsonArray all;
    for (const auto &[x, y] : xy)
        all.append(QJsonArray{x, y});
    return all;
}

QString text(const char *utf8) { return QString::fromUtf8(utf8); }

void expectShows(const QJsonObject &form, const std::vector<Shows> &shows, const char *situation)
{
    for (const Shows &s : shows) {
        const QJsonValue actual = form[QLatin1String(s.component)][QLatin1String(s.key)];
        EXPECT_TRUE(same(actual, s.value))
            << situation << ": " << s.component << "." << s.key << " is "
            << qPrintable(QJsonDocument(QJsonArray{actual}).toJson(QJsonDocument::Compact)) << ", expected "
            << qPrintable(QJsonDocument(QJsonArray{s.value}).toJson(QJsonDocument::Compact));
    }
}

}  // namespace

TEST(DisplayEndToEnd, EveryPanelShowsTheStationsReadingsInTheChosenUnits)
{
    struct Run {
        const char *situation;
        QStringList actions;
        std::vector<Shows> shows;
    };
    // The stored language is Russian: so is the date's form.
    const QString statusTime =
        QLocale(QLocale::Russian).toString(QDate(2026, 3, 1), QLocale::ShortFormat) + QStringLiteral(" 9:55");
    // 25 hourly values, 1001 hPa a day ago up to 1013 hPa now, in mmHg.
    QJsonArray pressure;
    for (int x = -24; x <= 0; ++x)
        pressure.append(QJsonArray{x, (1013.0 + 0.5 * x) * 0.75006});
    const Run runs[] = {
        {"as stored: Celsius, mmHg, m/s, mm, UVI; channel 1",
         {},
         {
             // Pressure: 1013.25 hPa in mmHg, reduced to 200 m at 21.3 °C.
             {"PressureLabel", "text", "760.0"},
             {"PressureLocalL", "text", "742.2"},
             {"PressLevel", "text", "200"},
             {"PressureTrend", "image", 1},
             {"WeatherImage", "image", 3},
             {"MaxPressureL", "text", "762.4"},
             {"MinPressureL", "text", "753.8"},
             {"FromPressureLN", "text", "28.02.2026 08:00"},
             {"PressureChart", "points", pressure},
             {"PressureChart", "yMin", 749},
             {"PressureChart", "yMax", 760},
             // Indoor and channel 1.
             {"TempDoorLabel", "text", "21.3"},
             {"HumDoorLabel", "text", "45"},
             {"HumMeter", "value", 45},
             {"TochkaRosDoorL", "text", "8.9"},
             {"ComfStateL", "text", text("Комфортно")},
             {"Termo1", "value", 21.3},
             {"Termo1", "max", 28.4},
             {"Termo1", "min", 12.0},
             {"UTAL", "text", "Hi:30.0"},
             {"TempDoorTrend", "image", 1},
             {"FromTempDoorLM", "text", "01.03.2026 06:00"},
             {"FromTempDoorLN", "text", "27.02.2026 12:00"},
             {"TempCHLabel", "text", "5.5"},
             {"HumCHLabel", "text", "80"},
             {"TochkaRosCHL", "text", "2.3"},
             {"ComfState1L", "text", text("Влажно")},
             {"Termo2", "value", 5.5},
             {"MinTempCHL", "text", "-2.0"},
             {"TempCHTrend", "image", 0},
             {"FromTempCHLN", "text", "01.03.2026 08:55"},
             {"BatCH", "image", 1},
             // Wind in m/s.
             {"WindSpeedL", "text", "4.5"},
             {"WindGustL", "text", "7.2"},
             {"MaxWindSpeedL", "text", "10.8"},
             {"WSAL", "text", "Hi:9.0"},
             {"WSAS", "image", 1},
             {"WindDirectionLabel", "text", "ESE"},
             {"WindDirectionLabel1", "text", "112,5"},
             {"Compass", "image", 5},
             {"WindChillL", "text", "4.5"},
             {"BatWind", "image", 0},
             {"FromWindSpeedL", "text", "28.02.2026 10:30"},
             // Rain in mm: 9 tips in the hour, 19 in the day, 26 since the mark.
             {"RainLHL", "text", "6.2"},
             {"RainLHV", "value", 6.1875},
             {"RainLDL", "text", "13.1"},
             {"RainLDV", "value", 13.0625},
             {"RainLL", "text", "8.25"},
             {"RainLV", "value", 8.25},
             {"AllRainL", "text", "17.9"},
             {"FromRainL", "text", "28.02.2026 08:00"},
             {"RAL", "text", "Hi:22.00"},
             {"RAS", "image", 0},
             {"BatRain", "image", 1},
             // UV.
             {"UVLabel", "text", "5.7"},
             {"UVIImage", "image", 4},
             {"UVIChart", "yMin", 0},
             {"UVIChart", "yMax", 8},
             {"UVIChart", "points", points({{-7, 7.3}, {-6, 1.5}, {-5, 0.5}, {-4, 2.0}, {-3, 6.1}, {-2, 3.2},
                                            {-1, 4.0}, {0, 5.7}})},
         }},
        {"Fahrenheit chosen, then channel 4, which reads exactly zero",
         {QStringLiteral("select TempEdBox 1"), QStringLiteral("select CHBox 3")},
         {
             {"TempEdBox", "index", 1},
             {"TempDoorLabel", "text", "70.3"},
             {"TochkaRosDoorL", "text", "48.0"},
             {"Termo1", "value", 70.34},
             {"Termo1", "max", 83.12},
             {"Termo1", "min", 53.6},
             {"Termo1", "scaleMin", 14},
             {"Termo1", "scaleMax", 140},
             {"MaxTempDoorLabel", "text", "83.1"},
             {"MinTempDoorLabel", "text", "53.6"},
             {"UTAL", "text", "Hi:86.0"},
             {"LTAL", "text", "Lo:41.0"},
             {"WindChillL", "text", "40.1"},
             // The whole channel side follows the channel at once: channel 4
             // reads exactly zero and its stored extremes are 0 °C.
             {"Termo2", "value", 0},
             {"Termo2", "max", 32},
             {"Termo2", "min", 32},
             {"Termo2", "scaleMin", -40},
             {"Termo2", "scaleMax", 176},
             {"MaxTempCHL", "text", "32.0"},
             {"MinTempCHL", "text", "32.0"},
             // An all-zero channel is not converted.
             {"CHBox", "index", 3},
             {"TempCHLabel", "text", "0.0"},
             {"HumCHLabel", "text", "0"},
         }},
        {"channel 3 without its sensor, and the month's rain",
         {QStringLiteral("select CHBox 2"), QStringLiteral("select RainBox 2")},
         {
             {"CHBox", "index", 2},
             {"TempCHLabel", "text", "--,-"},
             {"HumCHLabel", "text", "--"},
             {"BatCH", "image", 2},
             // Nothing of channel 1 stays beside it.
             {"TochkaRosCHL", "text", "--,-"},
             {"ComfState1L", "text", ""},
             {"HumMeter1", "value", 0},
             {"FromTempCHLM", "text", "27.02.2026 12:00"},
             {"TempCHTrend", "image", -1},
             {"RainBox", "index", 2},
             {"RainLL", "text", "68.75"},
             {"RainLV", "value", 68.75},
             {"TempDoorLabel", "text", "21.3"},
         }},
    };
    for (const Run &r : runs) {
        Station station;
        ASSERT_TRUE(station.stored);
        QString why;
        const QJsonObject ui = station.dump(r.actions, &why);
        ASSERT_FALSE(ui.isEmpty()) << r.situation << ": " << qPrintable(why);
        const QJsonObject form = ui[QStringLiteral("TForm1")].toObject();
        expectShows(form, r.shows, r.situation);
        if (r.actions.isEmpty()) {
            // The status bar carries the newest record's time, not the clock's.
            EXPECT_EQ(form[QStringLiteral("sStatusBar1")][QStringLiteral("panels")][2].toString(), statusTime);
            EXPECT_TRUE(ui[QStringLiteral("timings")][QStringLiteral("refreshDisplayMs")].isDouble());
        }
    }
}

TEST(DisplayEndToEnd, TheSameReadingsGiveTheSameScreenAgain)
{
    // The second run finds the first run's history and settings and reads
    // the same station again: nothing on screen may differ but the timings.
    Station station;
    ASSERT_TRUE(station.stored);
    QString why;
    QJsonObject first = station.dump({}, &why);
    ASSERT_FALSE(first.isEmpty()) << qPrintable(why);
    QJsonObject second = station.dump({}, &why);
    ASSERT_FALSE(second.isEmpty()) << qPrintable(why);
    for (QJsonObject *dump : {&first, &second}) {
        EXPECT_GE((*dump)[QStringLiteral("timings")][QStringLiteral("refreshDisplayMs")].toDouble(-1), 0.0);
        dump->remove(QStringLiteral("timings"));
    }
    for (const QString &window : first.keys()) {
        const QJsonObject a = first[window].toObject(), b = second[window].toObject();
        for (const QString &name : a.keys())
            EXPECT_EQ(a[name], b[name]) << qPrintable(window) << "." << qPrintable(name);
    }
    EXPECT_EQ(first, second);
}

// Without a station and its header copy nothing decoded from the memory's
// filler (every byte 0x30) shows as a value; a copy's unknown interval code
// chooses no interval. With no record either (nothing in the history), header
// copy or not, the empty record's zeros show as missing readings.
TEST(DisplayEndToEnd, BeforeAnyHeaderIsReadNothingShowsAsAReading)
{
    const QString from = text("С :");
    const std::vector<Shows> noRecord = {
        {"TempDoorLabel", "text", "--,-"}, {"HumDoorLabel", "text", "--"}, {"TochkaRosCHL", "text", "--,-"},
        {"ComfStateL", "text", ""}, {"ComfState1L", "text", ""}, {"Termo1", "value", -10}, {"HumMeter1", "value", 0},
        {"PressureLabel", "text", "----,-"}, {"MinPressureL", "text", "----,-"}, {"WeatherImage", "image", 7},
        {"WindGustL", "text", "--,-"}, {"WindChillL", "text", "--,-"}, {"WindDirectionLabel", "text", ""},
        {"Compass", "image", -1}, {"UVLabel", "text", "--,-"}, {"UVIImage", "image", -1},
        {"RainLHL", "text", "--,-"}, {"AllRainL", "text", "--,-"}};
    const struct {
        const char *situation;
        int headerCopyPeriod;  // byte 254 of sumlocal.bin; 0: no copy
        std::vector<Shows> shows;
    } runs[] = {
        {"first start, no station and no header copy", 0,
         {{"PressLevel", "text", ""}, {"PeriodBox", "index", -1}, {"PressureLocalL", "text", "----,-"},
          {"PressureChart", "points", QJsonArray()}, {"UVIChart", "points", QJsonArray()},
          {"MaxTempDoorLabel", "text", "--,-"}, {"UTAL", "text", "Hi:--,-"}, {"MaxTempCHL", "text", "--,-"},
          {"MaxWindGustL", "text", "--,-"}, {"WSAS", "image", 1}, {"RainLL", "text", "--,-"},
          {"BatUVI", "image", 2}, {"FromTempDoorLM", "text", from}, {"FromRainL", "text", from}}},
        {"a header copy with an interval code past the list", 12, {{"PeriodBox", "index", -1}}},
        {"a header copy with the 2-hour interval", 7, {{"PeriodBox", "index", 6}}},
    };
    // No record yet: both windows' last update is the computer's time.
    const QString clock =
        QLocale(QLocale::Russian).toString(QDate(2026, 3, 1), QLocale::ShortFormat) + QStringLiteral(" 10:00");
    for (const auto &r : runs) {
        Station station;
        QFile ini(station.dir.filePath(QStringLiteral("stationsim.ini")));
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly) && ini.write("[station]\nattached=false\n") > 0);
        ini.close();
        sim::Memory memory{};
        sim::HeaderValues h;
        h.periodCode = r.headerCopyPeriod;
        sim::writeHeader(memory, h);
        QFile copy(station.dir.filePath(QStringLiteral("sumlocal.bin")));
        if (r.headerCopyPeriod)
            ASSERT_TRUE(copy.open(QIODevice::WriteOnly) &&
                        copy.write(reinterpret_cast<const char *>(memory.data()), 255) == 255);
        copy.close();
        QString why;
        const QJsonObject ui = station.dump({}, &why, {QStringLiteral("--open-history")});
        ASSERT_FALSE(ui.isEmpty()) << r.situation << ": " << qPrintable(why);
        expectShows(ui[QStringLiteral("TForm1")].toObject(), r.shows, r.situation);
        expectShows(ui[QStringLiteral("TForm1")].toObject(), noRecord, r.situation);
        auto panel = [&](const char *form, int i) {
            return ui[QLatin1String(form)][QStringLiteral("sStatusBar1")][QStringLiteral("panels")][i];
        };
        EXPECT_EQ(panel("TForm1", 2).toString(), clock) << r.situation;
        EXPECT_EQ(panel("TForm3", 1).toString(), clock) << r.situation;
    }
}
