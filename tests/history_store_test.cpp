// The history table on real files: what a record is stored as, duplicates,
// date order and ranges, clearing, reopening, damaged files found at start-up
// and appends that must survive the program being killed.
#include "HeaderCopy.h"
#include "HistoryStore.h"
#include "SafeFile.h"

#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <iterator>
#include <QTemporaryDir>
#include <QThread>
#include <functional>
#include <gtest/gtest.h>
#include <random>
#include <set>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// Readable failure messages for Qt values.
QT_BEGIN_NAMESPACE
inline void PrintTo(const QString &s, std::ostream *os) { *os << '"' << s.toStdString() << '"'; }
inline void PrintTo(const QByteArray &b, std::ostream *os) { *os << '"' << b.toStdString() << '"'; }
inline void PrintTo(const QDateTime &d, std::ostream *os) { *os << d.toString(Qt::ISODate).toStdString(); }
QT_END_NAMESPACE

using namespace nimbrel;

namespace {

const QDateTime kNow(QDate(2026, 6, 21), QTime(12, 0, 0));

QDateTime at(const char *text)
{
    return HistoryStore::dateFromText(QString::fromLatin1(text));
}

// A reading with a different value in every field, so that a value stored in
// the wrong field shows.
Measurement reading(const QDateTime &when)
{
    Measurement m;
    m.Dat = when;
    m.DayWeek = static_cast<std::uint16_t>(when.date().dayOfWeek());
    m.TempDoor = 22.5;
    m.HumDoor = 41;
    for (int c = 0; c < kChannelCount; ++c) {
        m.TempCH[c] = 10.1 + c;
        m.HumCH[c] = 61 + c;
    }
    m.TempCH[2] = -12.3;
    m.UV = 3.4;
    m.PressLocal = 1003.4375;
    m.Weather = 4;
    m.WindChill = 8.2;
    m.WindGust = 12.7;
    m.WindSpeed = 7.9;
    m.RainCount = 1234;
    m.WindDirection = 11;
    return m;
}

// The measurement's values copied as they are, no storing rule applied.
HistoryRow unchanged(const Measurement &m)
{
    HistoryRow r;
    r.Dat = m.Dat;
    r.DayWeek = m.DayWeek;
    r.TempDoor = m.TempDoor;
    r.HumDoor = m.HumDoor;
    for (int c = 0; c < kChannelCount; ++c) {
        r.TempCH[c] = m.TempCH[c];
        r.HumCH[c] = m.HumCH[c];
    }
    r.UV = m.UV;
    r.PressLocal = m.PressLocal;
    r.Weather = m.Weather;
    r.WindChill = m.WindChill;
    r.WindGust = m.WindGust;
    r.WindSpeed = m.WindSpeed;
    r.RainCount = m.RainCount;
    r.RainState = m.RainState;
    r.WindDirection = m.WindDirection;
    return r;
}

void expectSameRow(const HistoryRow &actual, const HistoryRow &expected)
{
    EXPECT_EQ(actual.Dat, expected.Dat);
    EXPECT_EQ(actual.DayWeek, expected.DayWeek);
    EXPECT_EQ(actual.TempDoor, expected.TempDoor);
    EXPECT_EQ(actual.HumDoor, expected.HumDoor);
    for (int c = 0; c < kChannelCount; ++c) {
        EXPECT_EQ(actual.TempCH[c], expected.TempCH[c]) << "channel " << c + 1;
        EXPECT_EQ(actual.HumCH[c], expected.HumCH[c]) << "channel " << c + 1;
    }
    EXPECT_EQ(actual.UV, expected.UV);
    EXPECT_EQ(actual.PressLocal, expected.PressLocal);
    EXPECT_EQ(actual.Weather, expected.Weather);
    EXPECT_EQ(actual.WindChill, expected.WindChill);
    EXPECT_EQ(actual.WindGust, expected.WindGust);
    EXPECT_EQ(actual.WindSpeed, expected.WindSpeed);
    EXPECT_EQ(actual.RainCount, expected.RainCount);
    EXPECT_EQ(actual.RainState, expected.RainState);
    EXPECT_EQ(actual.WindDirection, expected.WindDirection);
}

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

// Runs statements on the file through a connection of its own, as another
// program would.
void runSql(const QString &path, const QStringList &statements)
{
    const QString name = QStringLiteral("raw-sql");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        ASSERT_TRUE(db.open());
        QSqlQuery q(db);
        for (const QString &s : statements)
            ASSERT_TRUE(q.exec(s)) << qPrintable(s);
    }
    QSqlDatabase::removeDatabase(name);
}

QString scalar(const HistoryStore &store, const QString &sql)
{
    QSqlQuery q(store.database());
    return q.exec(sql) && q.next() ? q.value(0).toString() : QStringLiteral("<failed>");
}

class HistoryFile : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        path = dir.filePath(QStringLiteral("datat"));
        reopen();
    }
    void reopen()
    {
        store.reset();
        HistoryStore::Opened opened = HistoryStore::open(path, kNow);
        ASSERT_TRUE(opened.store) << qPrintable(opened.error);
        EXPECT_TRUE(opened.setAside.isEmpty()) << qPrintable(opened.error);
        store = std::move(opened.store);
    }
    // Readings every five minutes from `first` through `last`.
    void fillEveryFiveMinutes(const char *first, const char *last)
    {
        HistoryStore::Batch batch(*store);
        for (QDateTime t = at(first); t <= at(last); t = t.addSecs(300))
            ASSERT_EQ(store->append(reading(t)), AppendResult::Appended);
    }
    std::vector<QString> datesBetween(const char *after, const char *upTo, RowOrder order) const
    {
        std::vector<QString> out;
        for (const HistoryRow &r : store->rowsBetween(at(after), at(upTo), order))
            out.push_back(HistoryStore::dateText(r.Dat).mid(11, 5));
        return out;
    }

    QTemporaryDir dir;
    QString path;
    std::unique_ptr<HistoryStore> store;
};

// ---- What a reading is stored as -------------------------------------------

struct StoringCase {
    std::string name;
    std::function<void(Measurement &)> reading;
    std::function<void(HistoryRow &)> stored;  // null: stored as read
};

std::vector<StoringCase> storingCases()
{
    std::vector<StoringCase> cases = {
        {"AllReadingsValid", [](Measurement &) {}, nullptr},
        {"IndoorBelowRange", [](Measurement &m) { m.TempDoorState = 1; },
         [](HistoryRow &r) { r.TempDoor = 0, r.HumDoor = 0; }},
        {"IndoorSensorError", [](Measurement &m) { m.TempDoorState = 3; },
         [](HistoryRow &r) { r.TempDoor = 0, r.HumDoor = 0; }},
        {"Channel3AboveRange", [](Measurement &m) { m.TempCHState[2] = 2; },
         [](HistoryRow &r) { r.TempCH[2] = 0, r.HumCH[2] = 0; }},
        {"PressureInvalid", [](Measurement &m) { m.PressLocalInvalid = 1; }, [](HistoryRow &r) { r.PressLocal = 0; }},
        {"ForecastInvalid", [](Measurement &m) { m.WeatherInvalid = 1; }, [](HistoryRow &r) { r.Weather = 0; }},
        {"WindChillSensorNotHeard", [](Measurement &m) { m.WindChillState = 1; },
         [](HistoryRow &r) { r.WindChill = 0; }},
        {"WindChillAt167", [](Measurement &m) { m.WindChill = 167.0; }, [](HistoryRow &r) { r.WindChill = 0; }},
        {"WindChillJustBelow167", [](Measurement &m) { m.WindChill = 166.9; }, nullptr},
        {"WindChillDeepFrost", [](Measurement &m) { m.WindChill = -41.7; }, nullptr},
        {"GustAt266", [](Measurement &m) { m.WindGust = 266.0; }, [](HistoryRow &r) { r.WindGust = 0; }},
        {"GustJustBelow266", [](Measurement &m) { m.WindGust = 265.9; }, nullptr},
        {"GustCodeB", [](Measurement &m) { m.WindGustState = 1; }, [](HistoryRow &r) { r.WindGust = 0; }},
        {"SpeedAt266", [](Measurement &m) { m.WindSpeed = 266.0; }, [](HistoryRow &r) { r.WindSpeed = 0; }},
        {"SpeedJustBelow266", [](Measurement &m) { m.WindSpeed = 265.9; }, nullptr},
        {"SpeedCodeE", [](Measurement &m) { m.WindSpeedState = 2; }, [](HistoryRow &r) { r.WindSpeed = 0; }},
        {"RainGaugeStateKeptWithCount", [](Measurement &m) { m.RainState = 1, m.RainCount = 65535; }, nullptr},
    };
    for (int c = 0; c < kChannelCount; ++c)
        cases.push_back({"Channel" + std::to_string(c + 1) + "NoSensor",
                         [c](Measurement &m) { m.TempCHState[c] = 4; },
                         [c](HistoryRow &r) { r.TempCH[c] = 0, r.HumCH[c] = 0; }});
    return cases;
}

class StoringRule : public HistoryFile, public testing::WithParamInterface<StoringCase> {};

TEST_P(StoringRule, ReadBackAsStored)
{
    Measurement m = reading(at("2026-06-21T10:00:00"));
    GetParam().reading(m);
    HistoryRow expected = unchanged(m);
    if (GetParam().stored)
        GetParam().stored(expected);

    ASSERT_EQ(store->append(m), AppendResult::Appended);
    reopen();
    HistoryRow row;
    ASSERT_TRUE(store->newest(row));
    expectSameRow(row, expected);
}

INSTANTIATE_TEST_SUITE_P(Readings, StoringRule, testing::ValuesIn(storingCases()),
                         [](const testing::TestParamInfo<StoringCase> &info) { return info.param.name; });

// Another program reading `datat` finds each value under its own field name,
// in the table's field order.
TEST_F(HistoryFile, EachValueLandsInItsNamedField)
{
    ASSERT_EQ(store->append(reading(at("2026-06-21T10:00:00"))), AppendResult::Appended);
    const std::pair<const char *, const char *> expected[] = {
        {"Dat", "2026-06-21T10:00:00"}, {"DayWeek", "7"},     {"TempDoor", "22.5"},    {"HumDoor", "41"},
        {"TempCH1", "10.1"},            {"HumCH1", "61"},     {"TempCH2", "11.1"},     {"HumCH2", "62"},
        {"TempCH3", "-12.3"},           {"HumCH3", "63"},     {"TempCH4", "13.1"},     {"HumCH4", "64"},
        {"TempCH5", "14.1"},            {"HumCH5", "65"},     {"UV", "3.4"},           {"PressLocal", "1003.4375"},
        {"Weather", "4"},               {"WindChill", "8.2"}, {"WindGust", "12.7"},    {"WindSpeed", "7.9"},
        {"RainCount", "1234"},          {"RainState", "0"},   {"WindDirection", "11"}};
    QSqlQuery q(store->database());
    ASSERT_TRUE(q.exec(QStringLiteral("SELECT * FROM MainSet")) && q.next());
    ASSERT_EQ(q.record().count(), std::size(expected));
    for (int i = 0; i < q.record().count(); ++i) {
        EXPECT_EQ(q.record().fieldName(i), QLatin1String(expected[i].first)) << "field " << i;
        EXPECT_EQ(q.value(i).toString(), QLatin1String(expected[i].second)) << expected[i].first;
    }
}

TEST_F(HistoryFile, LoadingARowKeepsTheReadingsStatesAndFlags)
{
    ASSERT_EQ(store->append(reading(at("2026-06-21T10:00:00"))), AppendResult::Appended);
    Measurement current;
    current.TempDoorState = 3;
    current.TempCHState[4] = 4;
    current.PressLocalInvalid = 1;
    current.WeatherInvalid = 1;
    current.WindGustState = 2;
    current.PressureUnit = 2;
    current.HistoryPeriodMs = 300000;
    HistoryRow row;
    ASSERT_TRUE(store->newest(row));
    loadMeasurement(row, current);

    expectSameRow(unchanged(current), row);
    EXPECT_EQ(current.TempDoorState, 3);
    EXPECT_EQ(current.TempCHState[4], 4);
    EXPECT_EQ(current.PressLocalInvalid, 1);
    EXPECT_EQ(current.WeatherInvalid, 1);
    EXPECT_EQ(current.WindGustState, 2);
    EXPECT_EQ(current.PressureUnit, 2);
    EXPECT_EQ(current.HistoryPeriodMs, 300000);
}

// Stored dates are text; anything but a real date-time in the one form
// reads back as no date.
TEST(StoredDateText, ReadsBackOnlyRealDatesInTheStoredForm)
{
    const QDateTime t(QDate(2026, 2, 28), QTime(23, 5, 9));
    EXPECT_EQ(HistoryStore::dateText(t), QStringLiteral("2026-02-28T23:05:09"));
    EXPECT_EQ(HistoryStore::dateFromText(HistoryStore::dateText(t)), t);
    EXPECT_EQ(HistoryStore::dateFromText(QStringLiteral("2024-02-29T00:00:00")),
              QDateTime(QDate(2024, 2, 29), QTime(0, 0)));
    for (const char *bad : {"", "2026-02-29T00:00:00", "2026-06-21T24:00:00", "2026-06-21T10:60:00",
                            "2026-06-21 10:05:00", "2026-6-21T10:05:00", "2026-06-21T10:05", "2026-06-21T10:05:00Z",
                            "2026-0a-21T10:05:00", "2026-13-01T00:00:00"})
        EXPECT_FALSE(HistoryStore::dateFromText(QString::fromLatin1(bad)).isValid()) << bad;
}

// ---- Duplicates and date order ----------------------------------------------

TEST_F(HistoryFile, TheSameReadingTwiceIsOneRow)
{
    const Measurement m = reading(at("2026-06-21T10:00:00"));
    EXPECT_EQ(store->append(m), AppendResult::Appended);
    EXPECT_EQ(store->append(m), AppendResult::Duplicate);
    {
        HistoryStore::Batch batch(*store);  // a full read taking the ring over again
        EXPECT_EQ(store->append(m), AppendResult::Duplicate);
    }
    EXPECT_EQ(store->count(), 1);
}

// A slot with an unreadable month carries the previous slot's date: it must
// not replace the row already stored for that date.
TEST_F(HistoryFile, ASlotRepeatingThePreviousDateKeepsTheFirstRow)
{
    const Measurement first = reading(at("2026-06-21T10:00:00"));
    Measurement repeat = first;
    repeat.TempDoor = 35.0;
    repeat.RainCount = 9999;
    ASSERT_EQ(store->append(first), AppendResult::Appended);
    EXPECT_EQ(store->append(repeat), AppendResult::Duplicate);
    HistoryRow row;
    ASSERT_TRUE(store->newest(row));
    expectSameRow(row, unchanged(first));
}

TEST_F(HistoryFile, AnOlderReadingTakesItsPlaceInDateOrder)
{
    HistoryRow row;
    EXPECT_FALSE(store->newest(row));
    EXPECT_FALSE(store->oldest(row));
    for (const char *t : {"2026-06-21T11:00:00", "2026-06-21T12:00:00", "2026-06-21T10:30:00", "2026-06-20T23:55:00"})
        ASSERT_EQ(store->append(reading(at(t))), AppendResult::Appended) << t;

    ASSERT_TRUE(store->newest(row));
    EXPECT_EQ(row.Dat, at("2026-06-21T12:00:00"));
    ASSERT_TRUE(store->oldest(row));
    EXPECT_EQ(row.Dat, at("2026-06-20T23:55:00"));
    EXPECT_EQ(datesBetween("2026-06-20T00:00:00", "2026-06-22T00:00:00", RowOrder::OldestFirst),
              (std::vector<QString>{"23:55", "10:30", "11:00", "12:00"}));
}

// ---- Date ranges: after < Dat <= upTo ---------------------------------------

struct RangeCase {
    const char *name;
    const char *after;
    const char *upTo;
    std::vector<QString> oldestFirst;  // times of day
};

class DateRange : public HistoryFile, public testing::WithParamInterface<RangeCase> {};

TEST_P(DateRange, HoldsTheRowsAfterTheLowerBoundUpToTheUpper)
{
    fillEveryFiveMinutes("2026-06-30T09:50:00", "2026-06-30T11:10:00");
    fillEveryFiveMinutes("2026-06-30T23:50:00", "2026-07-01T00:10:00");
    const RangeCase &c = GetParam();
    EXPECT_EQ(datesBetween(c.after, c.upTo, RowOrder::OldestFirst), c.oldestFirst);
    const std::vector<QString> newestFirst(c.oldestFirst.rbegin(), c.oldestFirst.rend());
    EXPECT_EQ(datesBetween(c.after, c.upTo, RowOrder::NewestFirst), newestFirst);
}

INSTANTIATE_TEST_SUITE_P(
    Bounds, DateRange,
    testing::Values(
        RangeCase{"TenToElevenTakesElevenNotTen", "2026-06-30T10:00:00", "2026-06-30T11:00:00",
                  {"10:05", "10:10", "10:15", "10:20", "10:25", "10:30", "10:35", "10:40", "10:45", "10:50", "10:55",
                   "11:00"}},
        RangeCase{"BoundsBetweenRows", "2026-06-30T10:02:00", "2026-06-30T10:13:00", {"10:05", "10:10"}},
        RangeCase{"OneRecordWide", "2026-06-30T10:55:00", "2026-06-30T11:00:00", {"11:00"}},
        RangeCase{"EqualBoundsHoldNothing", "2026-06-30T11:00:00", "2026-06-30T11:00:00", {}},
        RangeCase{"ReversedBoundsHoldNothing", "2026-06-30T11:00:00", "2026-06-30T10:00:00", {}},
        RangeCase{"AcrossTheMonthEnd", "2026-06-30T23:55:00", "2026-07-01T00:05:00", {"00:00", "00:05"}},
        RangeCase{"BeforeTheFirstRow", "2026-06-29T00:00:00", "2026-06-30T09:55:00", {"09:50", "09:55"}}),
    [](const testing::TestParamInfo<RangeCase> &info) { return std::string(info.param.name); });

TEST_F(HistoryFile, AWalkStopsWhenTheVisitorSaysSo)
{
    fillEveryFiveMinutes("2026-06-21T10:00:00", "2026-06-21T11:00:00");
    std::vector<QDateTime> seen;
    store->forEachBetween(at("2026-06-21T00:00:00"), at("2026-06-22T00:00:00"), RowOrder::NewestFirst,
                          [&](const HistoryRow &r) {
                              seen.push_back(r.Dat);
                              return seen.size() < 3;
                          });
    EXPECT_EQ(seen, (std::vector<QDateTime>{at("2026-06-21T11:00:00"), at("2026-06-21T10:55:00"),
                                            at("2026-06-21T10:50:00")}));
}

// ---- Clearing and reopening -------------------------------------------------

TEST_F(HistoryFile, ClearingEmptiesTheFileAndTheStationRingFillsItAgain)
{
    fillEveryFiveMinutes("2026-06-21T10:00:00", "2026-06-21T11:00:00");
    ASSERT_TRUE(store->clear());
    EXPECT_EQ(store->count(), 0);
    HistoryRow row;
    EXPECT_FALSE(store->newest(row));

    reopen();  // the file is still a sound, empty history
    EXPECT_EQ(store->count(), 0);
    EXPECT_EQ(scalar(*store, QStringLiteral("PRAGMA integrity_check")), QStringLiteral("ok"));
    // The next full read stores the ring's records again, old dates included.
    fillEveryFiveMinutes("2026-06-21T10:30:00", "2026-06-21T11:30:00");
    EXPECT_EQ(store->count(), 13);
}

TEST_F(HistoryFile, ReopeningKeepsEveryRowAndTheFileFormat)
{
    fillEveryFiveMinutes("2026-06-21T00:00:00", "2026-06-21T23:55:00");
    Measurement odd = reading(at("2026-06-22T00:00:00"));
    odd.TempCHState[4] = 4;
    odd.WindGust = 266.0;
    ASSERT_EQ(store->append(odd), AppendResult::Appended);
    const std::vector<HistoryRow> before =
        store->rowsBetween(at("2026-06-20T00:00:00"), at("2026-06-23T00:00:00"));

    reopen();
    ASSERT_EQ(store->count(), 289);
    const std::vector<HistoryRow> after =
        store->rowsBetween(at("2026-06-20T00:00:00"), at("2026-06-23T00:00:00"));
    ASSERT_EQ(after.size(), before.size());
    for (std::size_t i = 0; i < after.size(); ++i)
        expectSameRow(after[i], before[i]);
    EXPECT_EQ(scalar(*store, QStringLiteral("PRAGMA user_version")).toInt(), HistoryStore::kSchemaVersion);
    EXPECT_EQ(scalar(*store, QStringLiteral("PRAGMA journal_mode")), QStringLiteral("wal"));
    EXPECT_EQ(scalar(*store, QStringLiteral("SELECT \"unique\" FROM pragma_index_list('MainSet') "
                                            "WHERE name = 'MainSetIndex1'")),
              QStringLiteral("1"));
}

// ---- Files found at start-up ------------------------------------------------

struct FoundFile {
    const char *name;
    std::function<void(const QString &path)> make;
    bool setAside;
    bool reportedEmpty = false;
};

void historyOf(const QString &path, int rows)
{
    HistoryStore::Opened opened = HistoryStore::open(path, kNow);
    ASSERT_TRUE(opened.store);
    HistoryStore::Batch batch(*opened.store);
    for (int i = 0; i < rows; ++i)
        opened.store->append(reading(at("2026-01-01T00:00:00").addSecs(300 * i)));
}

class FileFoundAtStartUp : public testing::TestWithParam<FoundFile> {};

TEST_P(FileFoundAtStartUp, IsKeptAsideOrUsedAndANewHistoryWorks)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("datat"));
    GetParam().make(path);
    const QByteArray original = fileBytes(path);

    HistoryStore::Opened opened = HistoryStore::open(path, kNow);
    ASSERT_TRUE(opened.store) << qPrintable(opened.error);
    if (GetParam().setAside) {
        EXPECT_EQ(opened.setAside, path + QStringLiteral(".damaged-20260621-120000"));
        EXPECT_FALSE(opened.error.isEmpty());
        EXPECT_EQ(fileBytes(opened.setAside), original) << "the old file must be kept as it was";
    } else {
        EXPECT_TRUE(opened.setAside.isEmpty()) << qPrintable(opened.error);
    }
    EXPECT_EQ(opened.problem == TableProblem::Empty, GetParam().reportedEmpty);
    EXPECT_EQ(opened.store->count(), 0);
    EXPECT_EQ(opened.store->append(reading(kNow)), AppendResult::Appended);
    opened.store.reset();

    HistoryStore::Opened again = HistoryStore::open(path, kNow.addSecs(60));
    ASSERT_TRUE(again.store);
    EXPECT_TRUE(again.setAside.isEmpty()) << qPrintable(again.error);
    EXPECT_EQ(again.store->count(), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, FileFoundAtStartUp,
    testing::Values(
        FoundFile{"RandomBytes",
                  [](const QString &p) {
                      std::mt19937 random(7);
                      QByteArray bytes(8192, '\0');
                      for (char &b : bytes)
                          b = static_cast<char>(random());
                      writeFile(p, bytes);
                  },
                  true},
        FoundFile{"HistoryCutShort",
                  [](const QString &p) {
                      historyOf(p, 2000);
                      QFile f(p);
                      ASSERT_TRUE(f.resize(f.size() / 2));
                  },
                  true},
        FoundFile{"AnotherProgramsTable",
                  [](const QString &p) {
                      runSql(p, {"CREATE TABLE Contacts (Name TEXT)", "INSERT INTO Contacts VALUES ('Ivan')"});
                  },
                  true},
        FoundFile{"HistoryTableOfAnotherShape",
                  [](const QString &p) { runSql(p, {"CREATE TABLE MainSet (Dat TEXT, Temperature REAL)"}); }, true},
        FoundFile{"HistoryFromANewerVersion",
                  [](const QString &p) {
                      historyOf(p, 3);
                      runSql(p, {QStringLiteral("PRAGMA user_version = %1").arg(HistoryStore::kSchemaVersion + 1)});
                  },
                  true},
        FoundFile{"TextFile", [](const QString &p) { writeFile(p, "Dat;TempDoor\n2026-06-21;22.5\n"); }, true},
        FoundFile{"ZeroLength", [](const QString &p) { writeFile(p, {}); }, false, true},
        // Too large for the full check at every start: the header's page
        // count finds the cut.
        FoundFile{"LargeHistoryCutShort",
                  [](const QString &p) {
                      historyOf(p, 12000);
                      QFile f(p);
                      ASSERT_GT(f.size(), kFullCheckLimit);
                      ASSERT_TRUE(f.resize(f.size() - 8192));
                  },
                  true}),
    // Damage inside a large file after a shut-down that was not clean is
    // found by the full check that then runs in the background, and the file
    // is rebuilt from its readable records (history_check_test).
    [](const testing::TestParamInfo<FoundFile> &info) { return std::string(info.param.name); });

// ---- Files that are not damaged but cannot be used as they are ---------------

// Runs the rest of the scope as an ordinary user when the tests run as root,
// so that file permissions apply.
class AsOrdinaryUser {
public:
    explicit AsOrdinaryUser(bool wanted) : root_(wanted && ::geteuid() == 0)
    {
        if (root_) {
            EXPECT_EQ(::seteuid(65534), 0);
        }
    }
    ~AsOrdinaryUser()
    {
        if (root_) {
            EXPECT_EQ(::seteuid(0), 0);
        }
    }

private:
    bool root_;
};

struct LeftAlone {
    const char *name;
    // Prepares the file; what it returns is held while the file is opened.
    std::function<std::shared_ptr<void>(const QString &dir, const QString &path)> make;
    TableProblem problem;
    bool readable;  // the rows can be read, but not written
};

class FileLeftAlone : public testing::TestWithParam<LeftAlone> {};

TEST_P(FileLeftAlone, StaysWhereItIsAndTheResultSaysWhy)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("datat"));
    const std::shared_ptr<void> held = GetParam().make(dir.path(), path);
    const QStringList before = QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    const QByteArray bytes = QFileInfo(path).isFile() ? fileBytes(path) : QByteArray();
    {
        AsOrdinaryUser user(GetParam().problem == TableProblem::ReadOnly ||
                            GetParam().problem == TableProblem::Unreadable);
        HistoryStore::Opened opened = HistoryStore::open(path, kNow);
        EXPECT_EQ(opened.problem, GetParam().problem) << qPrintable(opened.error);
        EXPECT_TRUE(opened.setAside.isEmpty());
        EXPECT_FALSE(tableProblemSentence(QStringLiteral("datat"), opened.problem).isEmpty());
        ASSERT_EQ(bool(opened.store), GetParam().readable) << qPrintable(opened.error);
        if (opened.store) {
            EXPECT_EQ(opened.store->count(), 3);
            EXPECT_EQ(opened.store->append(reading(kNow)), AppendResult::Failed);
        }
    }
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), before);
    if (!bytes.isEmpty()) {
        EXPECT_EQ(fileBytes(path), bytes);
    }
}

const QFile::Permissions kEveryoneReads = QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther;
const QFile::Permissions kEveryoneEnters = kEveryoneReads | QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther;

INSTANTIATE_TEST_SUITE_P(
    Kinds, FileLeftAlone,
    testing::Values(
        LeftAlone{"Fifo",
                  [](const QString &, const QString &p) {
                      EXPECT_EQ(::mkfifo(qPrintable(p), 0666), 0);
                      return std::shared_ptr<void>();
                  },
                  TableProblem::NotAFile, false},
        LeftAlone{"Folder",
                  [](const QString &, const QString &p) {
                      EXPECT_TRUE(QDir().mkdir(p));
                      return std::shared_ptr<void>();
                  },
                  TableProblem::NotAFile, false},
        LeftAlone{"ReadOnly",
                  [](const QString &d, const QString &p) {
                      historyOf(p, 3);
                      QFile::setPermissions(p, kEveryoneReads);
                      QFile::setPermissions(d, kEveryoneEnters);
                      return std::shared_ptr<void>();
                  },
                  TableProblem::ReadOnly, true},
        // SQLite would leave its -wal and -shm behind, which a reader cannot remove.
        LeftAlone{"ReadOnlyInAWritableFolder",
                  [](const QString &d, const QString &p) {
                      historyOf(p, 3);
                      QFile::setPermissions(p, kEveryoneReads);
                      QFile::setPermissions(d, kEveryoneEnters | QFile::WriteOwner | QFile::WriteGroup |
                                                   QFile::WriteOther);
                      return std::shared_ptr<void>();
                  },
                  TableProblem::ReadOnly, true},
        // SQLite would write through it into whatever it names.
        LeftAlone{"SymbolicLink",
                  [](const QString &d, const QString &p) {
                      historyOf(QDir(d).filePath(QStringLiteral("elsewhere")), 3);
                      EXPECT_TRUE(QFile::link(QDir(d).filePath(QStringLiteral("elsewhere")), p));
                      return std::shared_ptr<void>();
                  },
                  TableProblem::NotAFile, false},
        LeftAlone{"Unreadable",
                  [](const QString &d, const QString &p) {
                      historyOf(p, 3);
                      QFile::setPermissions(p, {});
                      QFile::setPermissions(d, kEveryoneEnters);
                      return std::shared_ptr<void>();
                  },
                  TableProblem::Unreadable, false},
        LeftAlone{"LockedByAnotherProgram",
                  [](const QString &, const QString &p) {
                      historyOf(p, 3);
                      auto db = std::make_shared<QSqlDatabase>(
                          QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("holder")));
                      db->setDatabaseName(p);
                      EXPECT_TRUE(db->open());
                      QSqlQuery q(*db);
                      EXPECT_TRUE(q.exec(QStringLiteral("PRAGMA locking_mode = EXCLUSIVE")));
                      EXPECT_TRUE(q.exec(QStringLiteral("BEGIN EXCLUSIVE")));
                      EXPECT_TRUE(q.exec(QStringLiteral("DELETE FROM MainSet WHERE 0")));
                      return std::shared_ptr<void>(nullptr, [db](void *) {
                          db->close();
                          *db = QSqlDatabase();
                          QSqlDatabase::removeDatabase(QStringLiteral("holder"));
                      });
                  },
                  TableProblem::Locked, false}),
    [](const testing::TestParamInfo<LeftAlone> &info) { return std::string(info.param.name); });

// ---- Writing a whole file ------------------------------------------------------

TEST(WholeFileWrite, AFailingWriteKeepsTheOldFileAndSaysWhy)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("sumlocal.bin"));
    writeFile(path, "the previous copy");
    const int full = ::open("/dev/full", O_WRONLY);
    ASSERT_GE(full, 0);
    SafeFile file(path);
    file.setWriter([full](int, const void *data, std::size_t size) { return ::write(full, data, size); });
    EXPECT_FALSE(file.open() && file.write(QByteArray(255, 'x')) && file.commit());
    ::close(full);
    EXPECT_TRUE(file.errorString().contains(QString::fromLocal8Bit(std::strerror(ENOSPC))))
        << qPrintable(file.errorString());
    EXPECT_EQ(fileBytes(path), QByteArray("the previous copy"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"sumlocal.bin"});

    StationImage image;
    image[0] = 0x42;
    QString error;
    ASSERT_TRUE(saveHeaderCopy(path, image, &error)) << qPrintable(error);
    EXPECT_EQ(fileBytes(path).size(), kHeaderCopySize);
    EXPECT_EQ(fileBytes(path).at(0), 0x42);
}

TEST(WholeFileWrite, AFifoInThePlaceOfTheHeaderCopyIsNeitherOpenedNorReplaced)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("sumlocal.bin"));
    ASSERT_EQ(::mkfifo(qPrintable(path), 0600), 0);
    StationImage image;
    QString error;
    EXPECT_FALSE(saveHeaderCopy(path, image, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("not a regular file"))) << qPrintable(error);
    EXPECT_EQ(loadHeaderCopy(path, image), HeaderCopyResult::Failed);
    EXPECT_TRUE(QFileInfo(path).exists() && !QFileInfo(path).isFile());
}

TEST(WholeFileWrite, ALinkInThePlaceOfTheHeaderCopyIsReplacedNotFollowed)
{
    QTemporaryDir dir;
    const QString victim = dir.filePath(QStringLiteral("precious"));
    const QString path = dir.filePath(QStringLiteral("sumlocal.bin"));
    writeFile(victim, "someone's file");
    ASSERT_TRUE(QFile::link(victim, path));
    StationImage image;
    EXPECT_EQ(loadHeaderCopy(path, image), HeaderCopyResult::Failed) << "a link is reported, not read";
    ASSERT_TRUE(saveHeaderCopy(path, image));
    EXPECT_EQ(fileBytes(victim), QByteArray("someone's file"));
    EXPECT_FALSE(QFileInfo(path).isSymLink());
    EXPECT_EQ(fileBytes(path).size(), kHeaderCopySize);
}

TEST(HistoryFileFoundDamaged, ASecondDamagedFileInTheSameSecondDoesNotReplaceTheFirst)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("datat"));
    writeFile(path, "first");
    ASSERT_TRUE(HistoryStore::open(path, kNow).store);
    // The new store must be closed before its file can be damaged again.
    writeFile(path, "second");
    const HistoryStore::Opened opened = HistoryStore::open(path, kNow);
    EXPECT_EQ(opened.setAside, path + QStringLiteral(".damaged-20260621-120000-2"));
    EXPECT_EQ(fileBytes(path + QStringLiteral(".damaged-20260621-120000")), QByteArray("first"));
    EXPECT_EQ(fileBytes(opened.setAside), QByteArray("second"));
}

// ---- Reading without writing (export, a second program) --------------------

TEST(HistoryFileForReading, RefusesWhatIsNoHistoryAndChangesNothing)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("datat"));
    QString error;
    EXPECT_FALSE(HistoryStore::openForReading(path, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(QFile::exists(path)) << "reading must not create the file";

    for (const QByteArray &bytes : {QByteArray(), QByteArray("not a history at all, just some text")}) {
        writeFile(path, bytes);
        error.clear();
        EXPECT_FALSE(HistoryStore::openForReading(path, &error));
        EXPECT_FALSE(error.isEmpty());
        EXPECT_EQ(fileBytes(path), bytes);
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).join(' '), QStringLiteral("datat"));
    }
}

TEST(HistoryFileForReading, ReadsWhileTheProgramAppendsAndLeavesNoFilesBehind)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("datat"));
    HistoryStore::Opened writer = HistoryStore::open(path, kNow);
    ASSERT_TRUE(writer.store);
    ASSERT_EQ(writer.store->append(reading(at("2026-06-21T10:00:00"))), AppendResult::Appended);
    {
        const std::unique_ptr<HistoryStore> reader = HistoryStore::openForReading(path);
        ASSERT_TRUE(reader);
        EXPECT_EQ(reader->count(), 1);
        ASSERT_EQ(writer.store->append(reading(at("2026-06-21T10:05:00"))), AppendResult::Appended);
        EXPECT_EQ(reader->count(), 2);
        EXPECT_EQ(reader->append(reading(at("2026-06-21T10:10:00"))), AppendResult::Failed);
        EXPECT_FALSE(reader->clear());
    }
    writer.store.reset();
    {
        const std::unique_ptr<HistoryStore> reader = HistoryStore::openForReading(path);
        ASSERT_TRUE(reader);
        EXPECT_EQ(reader->count(), 2);
    }
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).join(' '), QStringLiteral("datat"));
}

// ---- A killed program loses no record it had appended -----------------------

TEST(HistoryFileAfterAKill, HoldsEveryRecordAppendedBeforeTheKill)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("datat"));
    const unsigned seed = std::random_device()();
    SCOPED_TRACE(testing::Message() << "random seed " << seed);
    std::mt19937 random(seed);
    std::set<QString> printed;
    int runs = 0;
    for (; runs < 5; ++runs) {
        QProcess child;
        child.start(QStringLiteral(CRASH_APPENDER), {path});
        ASSERT_TRUE(child.waitForStarted(5000));
        ASSERT_TRUE(child.waitForReadyRead(5000)) << child.readAllStandardError().constData();
        QThread::msleep(std::uniform_int_distribution<unsigned>(100, 600)(random));
        child.kill();
        ASSERT_TRUE(child.waitForFinished(5000));
        ASSERT_EQ(child.exitStatus(), QProcess::CrashExit) << child.readAllStandardError().constData();
        // Only whole lines: the kill may cut one short.
        const QList<QByteArray> lines = child.readAllStandardOutput().split('\n');
        for (qsizetype i = 0; i + 1 < lines.size(); ++i)
            printed.insert(QString::fromLatin1(lines[i]));
    }

    HistoryStore::Opened opened = HistoryStore::open(path, kNow);
    ASSERT_TRUE(opened.store);
    EXPECT_TRUE(opened.setAside.isEmpty()) << qPrintable(opened.error);
    EXPECT_EQ(scalar(*opened.store, QStringLiteral("PRAGMA integrity_check")), QStringLiteral("ok"));
    std::set<QString> stored;
    opened.store->forEachBetween(at("2000-01-01T00:00:00"), at("2100-01-01T00:00:00"), RowOrder::OldestFirst,
                                 [&](const HistoryRow &r) {
                                     stored.insert(HistoryStore::dateText(r.Dat));
                                     return true;
                                 });
    ASSERT_FALSE(printed.empty());
    for (const QString &dat : printed)
        EXPECT_TRUE(stored.count(dat)) << qPrintable(dat) << " was appended but is gone";
    // Each run may have committed one record it had no time to print.
    EXPECT_LE(stored.size(), printed.size() + static_cast<std::size_t>(runs));
}

}  // namespace
