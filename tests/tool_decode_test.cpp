// nimbrel-tool decode, run as a process on memory images written with the
// simulated station's encoders.
#include "MemoryEncoding.h"
#include "support/ProcessRun.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <functional>
#include <sys/stat.h>

using namespace nimbrel::sim;

namespace {

using Result = nimbrel::test::ProcessRun;

Result runTool(const QStringList &arguments)
{
    const Result r =
        nimbrel::test::runProcess(QStringLiteral(NIMBREL_TOOL), QStringList{QStringLiteral("decode")} + arguments, {}, {}, 20000);
    if (r.exitCode == -1)
        ADD_FAILURE() << "nimbrel-tool did not finish";
    return r;
}

QStringList sortedKeys(const QJsonObject &o)
{
    QStringList keys = o.keys();
    keys.sort();
    return keys;
}

QStringList sorted(QStringList keys)
{
    keys.sort();
    return keys;
}

const QStringList kMeasurementKeys = sorted({
    "DayWeek",      "Dat",          "TempDoor",     "TempDoorState", "HumDoor",        "TempCH1",
    "TempCH2",      "TempCH3",      "TempCH4",      "TempCH5",       "TempCH1State",   "TempCH2State",
    "TempCH3State", "TempCH4State", "TempCH5State", "HumCH1",        "HumCH2",         "HumCH3",
    "HumCH4",       "HumCH5",       "UV",           "PressLocal",    "PressLocalInvalid", "Weather",
    "WeatherInvalid", "WindChill",  "WindChillState", "WindGust",    "WindGustState",  "WindSpeed",
    "WindSpeedState", "RainCount",  "RainState",    "WindDirection", "HistoryPeriodMs",
});

const QStringList kSummaryKeys = sorted({
    "RecordTime",    "LatMin",        "LatSec",        "LongMin",       "LongSec",          "Hemispheres",
    "TimeZone",      "DstCode",       "CityCode",      "TempAlarmHigh", "TempAlarmHighState", "TempAlarmLow",
    "TempAlarmLowState", "TempMin",   "TempMinState",  "TempMax",       "TempMaxState",     "Trend",
    "BatteryFlag",   "UvDailyMax",    "Altitude",      "PressureHistory", "RainAlarmFlag",  "WindSpeedAlarmFlag",
    "WindGustAlarmFlag", "RainAlarm", "WindSpeedAlarm", "WindGustAlarm", "WindSpeedMax",    "WindGustMax",
    "RainYesterday", "RainWeek",      "RainMonth",
});

// A station in Moscow on 21 June 2026 logging every 10 minutes. Slot 5 is
// the newest; slot 6 an older record left from the ring's previous round;
// slot 7 was never written; slot 8 holds a 31st of June.
constexpr int kNewest = 5;
constexpr int kOlder = 6;
constexpr int kUnused = 7;
constexpr int kThirtyFirstOfJune = 8;

Memory stationMemory()
{
    Memory memory{};
    HeaderValues h;
    h.year = 2026;
    h.location = {55, 45, false, 37, 37, true, 3.0, 0, 0x3A};
    h.trends = {1, 2, 3, 0, 0, 0, 0, 0, 0, 0, 0, 2};
    h.uvDailyMaxima = {5.3, 7.2, 0, 0, 0, 0, 0, 8.8};
    h.altitude = 150;
    for (std::size_t i = 0; i < h.pressureHistory.size(); ++i)
        h.pressureHistory[i] = 1000.0625 + static_cast<double>(i);
    h.minimum[5] = {0, kTemperatureError};
    h.periodCode = 2;
    h.newestSlot = kNewest;
    writeHeader(memory, h);

    SlotValues newest;
    newest.dayOfWeek = 7;
    newest.month = 6;
    newest.day = 21;
    newest.hour = 15;
    newest.minute = 40;
    newest.indoor = {23.4, kTemperatureOk, 41};
    newest.channels[0] = {-3.7, kTemperatureOk, 88};
    newest.channels[4] = {0, kTemperatureNoSensor, 0};
    newest.uv = 7.3;
    newest.pressure = 1013.25;
    newest.windGust = 123.4;
    newest.windSpeedState = kWindCodeE;
    newest.rainState = 1;
    newest.windDirection = 11;
    newest.rainCounter = 4660;
    writeSlot(memory, slotPosition(kNewest), newest);

    SlotValues older = newest;
    older.dayOfWeek = 2;
    older.month = 5;
    older.day = 12;
    older.hour = 8;
    older.minute = 5;
    writeSlot(memory, slotPosition(kOlder), older);

    SlotValues thirtyFirst = newest;
    thirtyFirst.day = 31;
    writeSlot(memory, slotPosition(kThirtyFirstOfJune), thirtyFirst);
    return memory;
}

class ToolDecode : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        const Memory memory = stationMemory();
        write("station.bin", QByteArray(reinterpret_cast<const char *>(memory.data()), kMemorySize));
        write("header-only.bin", QByteArray(reinterpret_cast<const char *>(memory.data()), 256));
        write("short.bin", QByteArray(reinterpret_cast<const char *>(memory.data()), 255));
        Memory pastTheRing = memory;
        pastTheRing[address::kNewestSlot] = 209;
        write("index-past-the-ring.bin", QByteArray(reinterpret_cast<const char *>(pastTheRing.data()), kMemorySize));
        ASSERT_EQ(::mkfifo(qPrintable(path("fifo.bin")), 0600), 0);
    }

    void write(const char *name, const QByteArray &bytes)
    {
        QFile f(path(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_EQ(f.write(bytes), bytes.size());
    }

    QString path(const char *name) const { return dir.filePath(QLatin1String(name)); }

    QTemporaryDir dir;
};

TEST_F(ToolDecode, PrintsTheSlotAndHeaderAsJson)
{
    using Check = std::function<void(const QJsonObject &m, const QJsonObject &s, const QByteArray &out)>;
    struct Case {
        const char *situation;
        const char *image;
        QStringList arguments;
        bool accepted;
        Check check;
    };
    const QString now = QStringLiteral("2026-03-04T05:06:07");
    const Case cases[] = {
        {"newest slot from byte 255", "station.bin", {}, true,
         [](const QJsonObject &m, const QJsonObject &s, const QByteArray &out) {
             EXPECT_EQ(m["Dat"].toString(), "2026-06-21T15:40:00");
             EXPECT_EQ(s["RecordTime"].toString(), "2026-06-21T15:40:00");
             EXPECT_EQ(m["DayWeek"].toInt(), 7);
             EXPECT_NEAR(m["TempDoor"].toDouble(), 23.4, 1e-9);
             EXPECT_NEAR(m["TempCH1"].toDouble(), -3.7, 1e-9);
             EXPECT_EQ(m["HumCH1"].toInt(), 88);
             EXPECT_EQ(m["TempCH5State"].toInt(), 4);
             EXPECT_NEAR(m["UV"].toDouble(), 7.3, 1e-9);
             EXPECT_DOUBLE_EQ(m["PressLocal"].toDouble(), 1013.25);
             EXPECT_NEAR(m["WindGust"].toDouble(), 123.4, 1e-9);
             EXPECT_EQ(m["WindSpeedState"].toInt(), 2);
             EXPECT_EQ(m["RainCount"].toInt(), 4660);
             EXPECT_EQ(m["RainState"].toInt(), 1);
             EXPECT_EQ(m["WindDirection"].toInt(), 11);
             EXPECT_EQ(m["HistoryPeriodMs"].toInt(), 600000);

             EXPECT_EQ(s["LatMin"].toInt(), 55);
             EXPECT_EQ(s["LongSec"].toInt(), 37);
             EXPECT_EQ(s["Hemispheres"].toInt(), 1);
             EXPECT_DOUBLE_EQ(s["TimeZone"].toDouble(), 3.0);
             EXPECT_EQ(s["CityCode"].toInt(), 0x3A);
             EXPECT_EQ(s["Altitude"].toInt(), 150);
             EXPECT_EQ(s["TempMinState"].toArray().size(), 6);
             EXPECT_EQ(s["TempMinState"].toArray()[5].toInt(), 3);
             EXPECT_EQ(s["Trend"].toArray(), QJsonArray({1, 2, 3, 0, 0, 0, 0, 0, 0, 0, 0, 2}));
             EXPECT_EQ(s["BatteryFlag"].toArray(), QJsonArray({1, 1, 1, 1, 1, 1, 1, 1}));
             const double uv[] = {5.3, 7.2, 0, 0, 0, 0, 0, 8.8};
             ASSERT_EQ(s["UvDailyMax"].toArray().size(), 8);
             for (int i = 0; i < 8; ++i)
                 EXPECT_NEAR(s["UvDailyMax"].toArray()[i].toDouble(), uv[i], 1e-9) << "day " << i;
             EXPECT_EQ(s["PressureHistory"].toArray().size(), 25);
             EXPECT_DOUBLE_EQ(s["PressureHistory"].toArray()[11].toDouble(), 1011.0625);
             // Reals are printed in full, not to a fixed number of places.
             EXPECT_TRUE(out.contains("1024.0625")) << out.constData();
         }},
        {"--slot picks an older record", "station.bin", {"--slot", QString::number(slotPosition(kOlder))}, true,
         [](const QJsonObject &m, const QJsonObject &s, const QByteArray &) {
             EXPECT_EQ(m["Dat"].toString(), "2026-05-12T08:05:00");
             EXPECT_EQ(m["DayWeek"].toInt(), 2);
             EXPECT_EQ(s["RecordTime"].toString(), "2026-05-12T08:05:00");
         }},
        {"--now stands in for an unused slot's date", "station.bin",
         {"--now", now, "--slot", QString::number(slotPosition(kUnused))}, true,
         [&](const QJsonObject &m, const QJsonObject &s, const QByteArray &) {
             EXPECT_EQ(m["Dat"].toString(), now);
             EXPECT_EQ(s["RecordTime"].toString(), now);
             EXPECT_EQ(m["DayWeek"].toInt(), 0);
         }},
        {"without --now an unused slot keeps the current time", "station.bin",
         {"--slot", QString::number(slotPosition(kUnused))}, true,
         [](const QJsonObject &m, const QJsonObject &, const QByteArray &) {
             const QDateTime dat = QDateTime::fromString(m["Dat"].toString(), Qt::ISODate);
             ASSERT_TRUE(dat.isValid()) << m["Dat"].toString().toStdString();
             EXPECT_LT(std::abs(dat.secsTo(QDateTime::currentDateTime())), 120);
         }},
        {"a 31st of June is rejected and the record stays as it started", "station.bin",
         {"--slot", QString::number(slotPosition(kThirtyFirstOfJune)), "--now", now}, false,
         [&](const QJsonObject &m, const QJsonObject &s, const QByteArray &) {
             EXPECT_EQ(m["Dat"].toString(), now);
             EXPECT_EQ(m["DayWeek"].toInt(), 0);
             EXPECT_EQ(m["TempDoor"].toDouble(), 0.0);
             EXPECT_EQ(m["HistoryPeriodMs"].toInt(), 3600000);
             EXPECT_EQ(s["RecordTime"].toString(), now);
             EXPECT_EQ(s["LatMin"].toInt(), 55) << "the header is still decoded";
         }},
        {"a file of just the header: the rest reads as 0x30", "header-only.bin", {"--slot", "1000", "--now", now},
         true,
         [&](const QJsonObject &m, const QJsonObject &, const QByteArray &) {
             EXPECT_EQ(m["Dat"].toString(), now) << "month nibble 0";
             EXPECT_DOUBLE_EQ(m["TempDoor"].toDouble(), -3.0);
             EXPECT_EQ(m["HumDoor"].toInt(), 30);
         }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.situation);
        const Result r = runTool(QStringList{path(c.image)} + c.arguments);
        ASSERT_EQ(r.exitCode, 0) << r.err.constData();
        EXPECT_TRUE(r.err.isEmpty()) << r.err.constData();
        EXPECT_EQ(sortedKeys(r.json), sorted({"accepted", "measurement", "summary"})) << r.out.constData();
        const QJsonObject m = r.json["measurement"].toObject();
        const QJsonObject s = r.json["summary"].toObject();
        EXPECT_EQ(sortedKeys(m), kMeasurementKeys);
        EXPECT_EQ(sortedKeys(s), kSummaryKeys);
        EXPECT_EQ(r.json["accepted"].toBool(!c.accepted), c.accepted);
        c.check(m, s, r.out);
    }
}

TEST_F(ToolDecode, RefusesBadInputWithOneLineAndExitCode2)
{
    struct Case {
        const char *situation;
        QStringList arguments;  // "@name" is a file in the test folder
    };
    const Case cases[] = {
        {"file shorter than the header", {"@short.bin"}},
        {"missing file", {"@no-such.bin"}},
        {"a folder instead of a file", {"@"}},
        {"a FIFO, which would never end", {"@fifo.bin"}},
        {"no image", {}},
        {"two images", {"@station.bin", "@station.bin"}},
        {"unknown option", {"@station.bin", "--verbose"}},
        {"slot that is not a number", {"@station.bin", "--slot", "12x"}},
        {"slot below the image", {"@station.bin", "--slot", "-1"}},
        {"slot past the last ring position", {"@station.bin", "--slot", "8124"}},
        {"slot without a value", {"@station.bin", "--slot"}},
        {"a date that does not exist", {"@station.bin", "--now", "2026-02-30T10:00:00"}},
        {"a date without its time", {"@station.bin", "--now", "2026-02-03"}},
        {"newest-slot index past the ring", {"@index-past-the-ring.bin"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.situation);
        QStringList arguments;
        for (const QString &a : c.arguments)
            arguments << (a.startsWith('@') ? path(qPrintable(a.mid(1))) : a);
        const Result r = runTool(arguments);
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_TRUE(r.out.isEmpty()) << r.out.constData();
        EXPECT_EQ(r.err.count('\n'), 1) << r.err.constData();
        EXPECT_TRUE(r.err.endsWith('\n') && r.err.size() > 20) << r.err.constData();
    }

    // The highest ring position itself is a slot.
    EXPECT_EQ(runTool({path("station.bin"), "--slot", "8123"}).exitCode, 0);
}

}  // namespace
