// The history-backed values of the main window on real temporary files: rain
// of a window and since the newest mark, window bounds, counters that went
// backwards, the kept extremes against a scan of every row (ties, values
// stored as 0, rows arriving out of order, clearing), the upgrade of a
// schema-1 file in place, and the rain, UV and extremes views.
#include "ExtremesView.h"
#include "HistoryAggregates.h"
#include "RainView.h"
#include "UvView.h"

#include <QLocale>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <random>

using namespace nimbrel;

namespace {

const QDateTime kNow(QDate(2026, 6, 21), QTime(12, 0));

struct PointDecimals : testing::Environment {
    void SetUp() override { QLocale::setDefault(QLocale::c()); }
};
const auto *const kLocale = testing::AddGlobalTestEnvironment(new PointDecimals);

struct TempHistory {
    QTemporaryDir dir;
    std::unique_ptr<HistoryStore> store = HistoryStore::open(dir.filePath(QStringLiteral("datat")), kNow).store;
};

// One stored rain row: minutes before kNow, gauge count, rain state.
struct RainRow {
    int minutesBefore;
    int count;
    int state = 0;
};

void appendRain(HistoryStore &store, const std::vector<RainRow> &rows)
{
    for (const RainRow &r : rows) {
        Measurement m;
        m.Dat = kNow.addSecs(-60 * r.minutesBefore);
        m.RainCount = r.count;
        m.RainState = static_cast<std::uint16_t>(r.state);
        ASSERT_EQ(store.append(m), AppendResult::Appended);
    }
}

struct RainCase {
    const char *name;
    std::vector<RainRow> rows;
    int rainUnit;
    int currentState;
    const char *hour, *day, *total, *from;
};

void PrintTo(const RainCase &c, std::ostream *os) { *os << c.name; }

class RainPanel : public testing::TestWithParam<RainCase> {};

TEST_P(RainPanel, ShowsWindowsAndTotalFromTheCounter)
{
    const RainCase &c = GetParam();
    TempHistory h;
    appendRain(*h.store, c.rows);
    Measurement m;
    m.Dat = kNow;
    m.RainUnit = c.rainUnit;
    m.RainState = static_cast<std::uint16_t>(c.currentState);
    const RainView v = rainView(m, StationSummary{}, h.store.get(), 0);
    EXPECT_EQ(v.RainLHL.toStdString(), c.hour);
    EXPECT_EQ(v.RainLDL.toStdString(), c.day);
    EXPECT_EQ(v.AllRainL.toStdString(), c.total);
    EXPECT_EQ(v.FromRainL.toStdString(), c.from);
}

INSTANTIATE_TEST_SUITE_P(
    Gauge, RainPanel,
    testing::Values(
        RainCase{"TenTipsInInches", {{59, 1000}, {0, 1010}}, 0, 0, "0.27", "0.27", "0.27", "21.06.2026 11:01"},
        RainCase{"TenTipsInMillimetres", {{59, 1000}, {0, 1010}}, 1, 0, "6.9", "6.9", "6.9", "21.06.2026 11:01"},
        RainCase{"MarkInsideTheHour", {{50, 1000}, {30, 1005, 2}, {0, 1010}}, 0, 0, "0.14", "0.14", "0.14",
                 "21.06.2026 11:30"},
        RainCase{"NewestRecordMarked", {{50, 1000}, {0, 1010, 1}}, 0, 0, "0.00", "0.00", "0.00", "21.06.2026 12:00"},
        RainCase{"StateThreeIsNoMark", {{50, 1000}, {30, 1005, 3}, {0, 1010}}, 0, 0, "0.27", "0.27", "0.27",
                 "21.06.2026 11:10"},
        // A row exactly one hour back is outside the hour, one a minute later inside.
        RainCase{"HourStartExcluded", {{120, 900}, {60, 1000}, {59, 1004}, {0, 1010}}, 0, 0, "0.16", "2.98",
                 "2.98", "21.06.2026 10:00"},
        RainCase{"OnlyOlderThanADay", {{1441, 900}, {1500, 800}}, 0, 0, "0.00", "0.00", "2.71", "20.06.2026 11:00"},
        RainCase{"CounterWentBackwards", {{30, 65530}, {0, 4}}, 0, 0, "0.00", "0.00", "0.00", "21.06.2026 11:30"},
        RainCase{"GaugeWithoutReading", {{30, 1000}, {0, 1010}}, 0, 3, "0", "0.27", "0.27", "21.06.2026 11:30"},
        RainCase{"EmptyHistory", {}, 1, 0, "0.0", "0.0", "0.0", "С :"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(RainPanel, CountsAndGaugesForTheRefresh)
{
    TempHistory h;
    appendRain(*h.store, {{3000, 10, 2}, {30, 1000}, {0, 1010}});
    Measurement m;
    m.Dat = kNow;
    StationSummary s;
    s.RainMonth = 100;
    s.RainWeek = 2001;
    s.RainAlarm = 40;
    s.BatteryFlag[7] = 1;
    const RainView v = rainView(m, s, h.store.get(), int(RainPeriod::Month));
    EXPECT_DOUBLE_EQ(v.RainLHV, 10 * 0.0271);
    EXPECT_EQ(v.period.RainLL, QStringLiteral("2.71"));
    EXPECT_EQ(rainPeriodView(s, 1, int(RainPeriod::Month)).RainLL, QStringLiteral("68.75"));
    EXPECT_EQ(rainPeriodView(s, 1, int(RainPeriod::Week)).RainLL, QStringLiteral("0.00"));
    EXPECT_FALSE(rainPeriodView(s, 1, 3).shown);
    EXPECT_EQ(v.RAL, QStringLiteral("Hi:1.08"));
    EXPECT_EQ(v.BatRain, 1);
    keepRainResults(v, m);
    EXPECT_DOUBLE_EQ(m.RainLast24h, 1000 * 0.0271);  // the total, from the mark 50 hours back
}

TEST(HistoryWindow, ExcludesItsStartAndIncludesItsEnd)
{
    TempHistory h;
    for (int minutes : {120, 60, 0}) {
        Measurement m;
        m.Dat = kNow.addSecs(-60 * minutes);
        m.RainCount = 1000 - minutes;
        m.WindSpeed = 10 + minutes;
        h.store->append(m);
    }
    const RainCounts c = rainCountsBetween(*h.store, kNow.addSecs(-3600), kNow);
    EXPECT_EQ(c.base, 1000);
    EXPECT_EQ(c.last, 1000);
    EXPECT_EQ(maxWindSpeedBetween(*h.store, kNow.addSecs(-7200), kNow), 70.0);
    EXPECT_FALSE(maxWindSpeedBetween(*h.store, kNow, kNow.addDays(1)).has_value());
}

// ---- Kept extremes -----------------------------------------------------------

// Every kept extreme, in one order, for comparing two sets.
std::vector<const Extreme *> all(const RecordedExtremes &e)
{
    std::vector<const Extreme *> x{&e.TempDoorMax, &e.TempDoorMin, &e.WindSpeedMax, &e.WindGustMax,
                                   &e.PressLocalMax, &e.PressLocalMin};
    for (int c = 0; c < kChannelCount; ++c)
        x.insert(x.end(), {&e.TempCHMax[c], &e.TempCHMin[c]});
    return x;
}

void expectSame(const RecordedExtremes &kept, const RecordedExtremes &scanned)
{
    ASSERT_EQ(kept.empty, scanned.empty);
    const auto k = all(kept), s = all(scanned);
    for (std::size_t i = 0; i < k.size(); ++i) {
        EXPECT_EQ(k[i]->value, s[i]->value) << "extreme " << i;
        EXPECT_EQ(k[i]->Dat, s[i]->Dat) << "extreme " << i;
    }
}

// The scan the display always did: every row in date order, strict
// comparisons, starting from the first row.
RecordedExtremes naiveScan(const HistoryStore &store)
{
    RecordedExtremes e;
    const auto take = [](Extreme &x, double v, const QDateTime &when, bool first, bool beats) {
        if (first || beats)
            x = Extreme{v, when};
    };
    for (const HistoryRow &r : store.rowsBetween(QDateTime(QDate(1900, 1, 1), QTime(0, 0)), kNow.addYears(10))) {
        const bool first = e.empty;
        take(e.TempDoorMax, r.TempDoor, r.Dat, first, r.TempDoor > e.TempDoorMax.value);
        take(e.TempDoorMin, r.TempDoor, r.Dat, first, r.TempDoor < e.TempDoorMin.value);
        for (int c = 0; c < kChannelCount; ++c) {
            take(e.TempCHMax[c], r.TempCH[c], r.Dat, first, r.TempCH[c] > e.TempCHMax[c].value);
            take(e.TempCHMin[c], r.TempCH[c], r.Dat, first, r.TempCH[c] < e.TempCHMin[c].value);
        }
        take(e.WindSpeedMax, r.WindSpeed, r.Dat, first, r.WindSpeed > e.WindSpeedMax.value);
        take(e.WindGustMax, r.WindGust, r.Dat, first, r.WindGust > e.WindGustMax.value);
        take(e.PressLocalMax, r.PressLocal, r.Dat, first, r.PressLocal > e.PressLocalMax.value);
        take(e.PressLocalMin, r.PressLocal, r.Dat, first, r.PressLocal < e.PressLocalMin.value);
        if (first)
            e.oldestDat = r.Dat;
        e.empty = false;
    }
    return e;
}

// Few distinct values, so ties are common; sensors without a reading are
// stored as 0; dates in random order, some repeated.
void appendRandom(HistoryStore &store, std::mt19937 &rng, int count)
{
    std::uniform_int_distribution<int> minute(0, 5000), level(-3, 3), coin(0, 9);
    HistoryStore::Batch batch(store);
    for (int i = 0; i < count; ++i) {
        Measurement m;
        m.Dat = kNow.addSecs(-60 * minute(rng));
        m.TempDoor = 20 + level(rng) * 0.5;
        m.TempDoorState = coin(rng) == 0 ? 3 : 0;
        for (int c = 0; c < kChannelCount; ++c) {
            m.TempCH[c] = -5 + level(rng);
            m.TempCHState[c] = coin(rng) == 0 ? 4 : 0;
        }
        m.WindSpeed = 10 + level(rng);
        m.WindSpeedState = coin(rng) == 0 ? 2 : 0;
        m.WindGust = coin(rng) == 0 ? 300 : 12 + level(rng);
        m.PressLocal = 1000 + level(rng);
        m.PressLocalInvalid = coin(rng) == 0 ? 1 : 0;
        ASSERT_NE(store.append(m), AppendResult::Failed);
    }
}

TEST(KeptExtremes, MatchTheScanOfEveryRowThroughAppendsAndClearing)
{
    TempHistory h;
    std::mt19937 rng(7);
    expectSame(recordedExtremes(*h.store), naiveScan(*h.store));
    for (int round = 0; round < 4; ++round) {
        appendRandom(*h.store, rng, 150);
        SCOPED_TRACE(round);
        expectSame(recordedExtremes(*h.store), naiveScan(*h.store));
    }
    // Emptied by hand: appends leave them missing and the next read rebuilds.
    QSqlQuery(h.store->database()).exec(QStringLiteral("DELETE FROM Extremes"));
    appendRandom(*h.store, rng, 30);
    expectSame(recordedExtremes(*h.store), naiveScan(*h.store));
    ASSERT_TRUE(h.store->clear());
    EXPECT_TRUE(recordedExtremes(*h.store).empty);
    appendRandom(*h.store, rng, 40);
    expectSame(recordedExtremes(*h.store), naiveScan(*h.store));
}

TEST(KeptExtremes, EarlierRowWithAnEqualValueTakesTheTime)
{
    TempHistory h;
    Measurement m;
    m.TempDoor = 30;
    for (int minutes : {10, 30, 20}) {
        m.Dat = kNow.addSecs(-60 * minutes);
        h.store->append(m);
    }
    EXPECT_EQ(recordedExtremes(*h.store).TempDoorMax.Dat, kNow.addSecs(-1800));
}

// A file of schema 1: the history without kept extremes or the mark index.
void makeSchemaOne(const QString &path, std::mt19937 &rng, long long &rows)
{
    {
        auto store = HistoryStore::open(path, kNow).store;
        appendRandom(*store, rng, 300);
        rows = store->count();
    }
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("schema-one"));
    db.setDatabaseName(path);
    ASSERT_TRUE(db.open());
    QSqlQuery q(db);
    for (const char *sql : {"DROP TRIGGER MainSetKeepExtremes", "DROP TABLE Extremes", "DROP INDEX MainSetRainMarks",
                            "PRAGMA user_version = 1"})
        ASSERT_TRUE(q.exec(QString::fromLatin1(sql))) << sql;
    q.finish();
    db.close();
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase(QStringLiteral("schema-one"));
}

TEST(SchemaUpgrade, FromOneIsDoneInPlaceWithExtremesBuiltOnce)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("datat"));
    std::mt19937 rng(11);
    long long rows = 0;
    makeSchemaOne(path, rng, rows);
    {
        // Read-only users of an old file get the scanned extremes.
        auto reader = HistoryStore::openForReading(path);
        ASSERT_TRUE(reader);
        expectSame(recordedExtremes(*reader), naiveScan(*reader));
    }
    HistoryStore::Opened opened = HistoryStore::open(path, kNow);
    ASSERT_TRUE(opened.store);
    EXPECT_TRUE(opened.setAside.isEmpty());
    EXPECT_EQ(opened.store->count(), rows);
    QSqlQuery q(opened.store->database());
    ASSERT_TRUE(q.exec(QStringLiteral("PRAGMA user_version")) && q.next());
    EXPECT_EQ(q.value(0).toInt(), HistoryStore::kSchemaVersion);
    ASSERT_TRUE(q.exec(QStringLiteral("SELECT COUNT(*) FROM Extremes")) && q.next());
    EXPECT_EQ(q.value(0).toInt(), 16);
    appendRandom(*opened.store, rng, 50);
    expectSame(recordedExtremes(*opened.store), naiveScan(*opened.store));
    appendRain(*opened.store, {{-10, 7, 1}, {-20, 9}});
    EXPECT_EQ(rainCountsTotal(*opened.store).base, 7);
}

// ---- Views -----------------------------------------------------------------

TEST(ExtremesPanel, EmptyHistoryShowsTheDesignedCaptions)
{
    TempHistory h;
    Measurement m;
    const ExtremesView v = extremesView(m, h.store.get());
    for (const QString &label : {v.FromTempDoorLM, v.FromTempDoorLN, v.FromTempCHLM, v.FromTempCHLN,
                                 v.FromWindSpeedL, v.FromWindGustL, v.FromPressureLM, v.FromPressureLN})
        EXPECT_EQ(label, QStringLiteral("С :")) << "no made-up date";
    EXPECT_EQ(v.MaxPressureL, QStringLiteral("0.0"));
}

TEST(ExtremesPanel, ChannelAndPressureFollowTheMeasurement)
{
    RecordedExtremes e;
    e.empty = false;
    e.oldestDat = kNow.addDays(-9);
    e.TempCHMax[2].Dat = kNow.addDays(-2);
    e.PressLocalMax = Extreme{1013.25, kNow};
    Measurement m;
    m.SelectedChannel = 2;
    m.PressureUnit = 2;
    ExtremesView v = extremesView(m, e);
    EXPECT_EQ(v.FromTempCHLM, QStringLiteral("19.06.2026 12:00"));
    EXPECT_EQ(v.MaxPressureL, QStringLiteral("760.0"));
    m.SelectedChannel = 5;
    m.PressLocalInvalid = 1;
    v = extremesView(m, e);
    EXPECT_EQ(v.FromTempCHLM, QStringLiteral("12.06.2026 12:00"));
    EXPECT_EQ(v.MaxPressureL, QStringLiteral("----,-"));
    EXPECT_EQ(v.FromPressureLM, QStringLiteral("21.06.2026 12:00"));
}

struct UvCase {
    double uv;
    int unit;
    const char *text;
    int picture;
};

void PrintTo(const UvCase &c, std::ostream *os) { *os << c.uv << " in unit " << c.unit; }

class UvPanel : public testing::TestWithParam<UvCase> {};

TEST_P(UvPanel, PictureFollowsTheShownValue)
{
    Measurement m;
    m.UV = GetParam().uv;
    m.UvUnit = GetParam().unit;
    const UvView v = uvView(m, StationSummary{});
    EXPECT_EQ(v.UVLabel.toStdString(), GetParam().text);
    EXPECT_EQ(v.UVIImage, GetParam().picture);
}

INSTANTIATE_TEST_SUITE_P(ExposureScale, UvPanel,
                         testing::Values(UvCase{5.7, 0, "5.7", 4}, UvCase{5.7, 1, "2.4", 1}, UvCase{1.9, 0, "1.9", 0},
                                         UvCase{0.0, 0, "0.0", 0}, UvCase{11.0, 0, "11.0", 10},
                                         UvCase{15.0, 0, "15.0", 10}, UvCase{28.0, 1, "11.9", 10}));

TEST(UvPanel, ChartAxisAroundTheDailyMaxima)
{
    StationSummary s;
    EXPECT_EQ(uvChartView(s, 0).yMin, 0);
    EXPECT_EQ(uvChartView(s, 0).yMax, 1);
    for (int d = 0; d < kUvDayCount; ++d)
        s.UvDailyMax[d] = 4.5 + d;  // newest first
    const UvChartView c = uvChartView(s, 0);
    ASSERT_EQ(c.points.size(), 8);
    EXPECT_EQ(c.points.first(), QPointF(-7, 11.5));
    EXPECT_EQ(c.points.last(), QPointF(0, 4.5));
    EXPECT_EQ(c.yMin, 3);
    EXPECT_EQ(c.yMax, 12);
}

}  // namespace
