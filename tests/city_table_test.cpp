// The city table: the shipped CSV checked against the machine's time-zone
// rules and zone coordinates, the strict CSV reader, the table file (round
// trip, order, lookups, the user's coordinates, damaged files) and the build
// step that turns the CSV into the table file.
#include "CityTable.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTimeZone>
#include <cctype>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <numbers>
#include <set>

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString &s, std::ostream *os) { *os << '"' << s.toStdString() << '"'; }
inline void PrintTo(const QByteArray &b, std::ostream *os) { *os << '"' << b.toStdString() << '"'; }
QT_END_NAMESPACE

namespace nimbrel {
inline void PrintTo(const CityRow &r, std::ostream *os)
{
    *os << r.Code << ',' << r.Name.toStdString() << ',' << r.LongMin << ',' << r.LongSec << ',' << r.LatMin << ','
        << r.LatSec << ',' << r.IsLon << ',' << r.IsLat << ',' << r.IsRus << ',' << r.TimeZone << ',' << r.DST;
}
}  // namespace nimbrel

using namespace nimbrel;

namespace {

const QDateTime kNow(QDate(2026, 3, 1), QTime(9, 30, 0));
const char *const kHeader = "Code,Name,LongMin,LongSec,LatMin,LatSec,IsLon,IsLat,IsRus,TimeZone,DST";

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeAll(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

QByteArray csvOf(std::initializer_list<const char *> lines)
{
    QByteArray text = QByteArray(kHeader) + '\n';
    for (const char *l : lines)
        text += QByteArray(l) + '\n';
    return text;
}

std::vector<CityRow> shippedRows()
{
    return parseCityCsv(readAll(QStringLiteral(CITY_CSV))).rows;
}

// Each shipped code's zone and country, written by scripts/make-citycodes.
struct ZoneOfCity {
    QString zone;
    QString country;
};
std::map<int, ZoneOfCity> shippedZones()
{
    std::map<int, ZoneOfCity> zones;
    const QList<QByteArray> lines = readAll(QStringLiteral(CITY_ZONES_CSV)).split('\n');
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QList<QByteArray> f = lines[i].split(',');
        if (f.size() == 4)
            zones[f[0].toInt()] = {QString::fromLatin1(f[1]), QString::fromLatin1(f[2])};
    }
    return zones;
}

bool isUserDefined(const CityRow &r)
{
    return r.Name == userDefinedCityName();
}

double signedLatitude(const CityRow &r)
{
    return (r.LatMin + r.LatSec / 60.0) * (r.IsLat ? -1 : 1);
}

double signedLongitude(const CityRow &r)
{
    return (r.LongMin + r.LongSec / 60.0) * (r.IsLon ? 1 : -1);
}

// zone.tab: each zone's principal city, ISO 6709 coordinates.
std::map<QString, std::pair<double, double>> zoneTabCoordinates()
{
    auto part = [](const QString &s, int degreeDigits) {
        const double sign = s.startsWith(QLatin1Char('-')) ? -1 : 1;
        const QString d = s.mid(1);
        const double minutes = d.mid(degreeDigits, 2).toDouble() + d.mid(degreeDigits + 2).toDouble() / 60.0;
        return sign * (d.left(degreeDigits).toDouble() + minutes / 60.0);
    };
    std::map<QString, std::pair<double, double>> out;
    for (const QByteArray &line : readAll(QStringLiteral("/usr/share/zoneinfo/zone.tab")).split('\n')) {
        if (line.startsWith('#') || line.isEmpty())
            continue;
        const QList<QByteArray> f = line.split('\t');
        const QString c = QString::fromLatin1(f[1]);
        const qsizetype split = std::max(c.lastIndexOf(QLatin1Char('+')), c.lastIndexOf(QLatin1Char('-')));
        out[QString::fromLatin1(f[2])] = {part(c.left(split), 2), part(c.mid(split), 3)};
    }
    return out;
}

double kilometresBetween(double lat1, double lon1, double lat2, double lon2)
{
    constexpr double rad = std::numbers::pi / 180;
    const double a = std::sin((lat2 - lat1) * rad / 2);
    const double b = std::sin((lon2 - lon1) * rad / 2);
    const double h = a * a + std::cos(lat1 * rad) * std::cos(lat2 * rad) * b * b;
    return 2 * 6371 * std::asin(std::sqrt(h));
}

// The zone's offset changes in one year: (instant, old offset, new offset).
struct OffsetChange {
    QDateTime atUtc;
    int from;
    int to;
};
std::vector<OffsetChange> offsetChanges(const QTimeZone &zone, int year)
{
    const QDateTime from(QDate(year, 1, 1), QTime(0, 0), Qt::UTC);
    const QDateTime to(QDate(year + 1, 1, 1), QTime(0, 0), Qt::UTC);
    std::vector<OffsetChange> changes;
    int previous = zone.offsetFromUtc(from);
    for (const QTimeZone::OffsetData &t : zone.transitions(from, to)) {
        if (t.atUtc >= to)
            break;
        if (t.offsetFromUtc != previous)
            changes.push_back({t.atUtc, previous, t.offsetFromUtc});
        previous = t.offsetFromUtc;
    }
    return changes;
}

int smallestOffset(const QTimeZone &zone, int year)
{
    int smallest = zone.offsetFromUtc(QDateTime(QDate(year, 1, 1), QTime(0, 0), Qt::UTC));
    for (const OffsetChange &c : offsetChanges(zone, year))
        smallest = std::min(smallest, c.to);
    return smallest;
}

// Zones whose clocks change by a law that no rule code names; their cities
// carry code 0.
const std::map<QString, const char *> kLawsWithoutCode = {
    {QStringLiteral("Asia/Jerusalem"), "starts on the Friday before the last Sunday of March"},
    {QStringLiteral("Africa/Casablanca"), "falls back one hour for Ramadan only"},
    {QStringLiteral("Australia/Lord_Howe"), "moves the clock by half an hour"},
};

// Morocco keeps UTC+1 all year but for Ramadan, so its standard time is not
// the smaller offset of the year.
const std::map<QString, double> kStandardTimeExceptions = {{QStringLiteral("Africa/Casablanca"), 1.0}};

// The 2025 clock changes of each rule code in force, as local clock times of
// the current laws: start (clocks forward) and end (clocks back).
struct RuleDates {
    QDateTime start;
    QDateTime end;
};
QDateTime local(int month, int day, int hour)
{
    return QDateTime(QDate(2025, month, day), QTime(hour, 0), Qt::UTC);
}
const std::map<int, RuleDates> kRules2025 = {
    {1, {local(10, 5, 2), local(4, 6, 3)}},    // first Sunday of October / April
    {3, {local(9, 7, 0), local(4, 6, 0)}},     // first Saturday of September / April, 24:00
    {4, {local(3, 30, 2), local(10, 26, 3)}},  // last Sunday of March / October
    {5, {local(4, 25, 0), local(10, 31, 0)}},  // last Friday of April / last Thursday of October, 24:00
    {6, {local(3, 9, 0), local(11, 2, 1)}},    // second Sunday of March / first Sunday of November
    {13, {local(10, 5, 2), local(4, 6, 3)}},   // as the Australian rule since 2008
    {14, {local(3, 9, 2), local(11, 2, 2)}},   // second Sunday of March / first Sunday of November
    {15, {local(9, 28, 2), local(4, 6, 3)}},   // last Sunday of September / first Sunday of April
};

// --- the shipped CSV --------------------------------------------------------

TEST(ShippedCsv, ReadsWithoutErrors)
{
    const CityCsv csv = parseCityCsv(readAll(QStringLiteral(CITY_CSV)));
    ASSERT_TRUE(csv.ok()) << "line " << csv.errorLine << ": " << csv.error.toStdString();
    EXPECT_GE(csv.rows.size(), 200u);
    EXPECT_LE(csv.rows.size(), 256u);
}

TEST(ShippedCsv, CodesAreOnesTheStationCanName)
{
    std::set<int> codes;
    for (const CityRow &r : shippedRows()) {
        EXPECT_GE(r.Code, 0) << r.Name.toStdString();
        EXPECT_LE(r.Code, 255) << r.Name.toStdString();
        EXPECT_TRUE(codes.insert(r.Code).second) << "code " << r.Code << " twice";
    }
}

TEST(ShippedCsv, NamesAreShortDistinctEnglishAscii)
{
    std::set<QString> names;
    for (const CityRow &r : shippedRows()) {
        EXPECT_LE(r.Name.size(), kCityNameLength) << r.Name.toStdString();
        for (QChar c : r.Name)
            EXPECT_TRUE(c.unicode() >= 0x20 && c.unicode() < 0x7f) << r.Name.toStdString();
        if (!isUserDefined(r)) {
            EXPECT_TRUE(names.insert(r.Name.toLower()).second) << r.Name.toStdString() << " twice";
        }
    }
}

TEST(ShippedCsv, UserDefinedRowsStartEmpty)
{
    int count = 0;
    for (const CityRow &r : shippedRows()) {
        if (!isUserDefined(r))
            continue;
        ++count;
        EXPECT_EQ(r.LatMin + r.LatSec + r.LongMin + r.LongSec + r.IsLat + r.IsLon + r.DST, 0) << r.Code;
        EXPECT_EQ(r.TimeZone, 0.0) << r.Code;
    }
    EXPECT_GE(count, 4);
}

TEST(ShippedCsv, EveryCityHasItsZoneRecorded)
{
    const std::map<int, ZoneOfCity> zones = shippedZones();
    for (const CityRow &r : shippedRows()) {
        const auto z = zones.find(r.Code);
        ASSERT_NE(z, zones.end()) << r.Name.toStdString();
        if (isUserDefined(r)) {
            EXPECT_TRUE(z->second.zone.isEmpty());
            continue;
        }
        EXPECT_TRUE(QTimeZone(z->second.zone.toLatin1()).isValid()) << z->second.zone.toStdString();
        EXPECT_EQ(r.IsRus, z->second.country == QLatin1String("RU") ? 1 : 0) << r.Name.toStdString();
    }
}

// Catches a swapped hemisphere or a mistyped degree: every city lies near its
// zone's principal city, and its longitude roughly matches its clock.
TEST(ShippedCsv, CoordinatesAgreeWithTheZone)
{
    const std::map<int, ZoneOfCity> zones = shippedZones();
    const auto principal = zoneTabCoordinates();
    for (const CityRow &r : shippedRows()) {
        if (isUserDefined(r))
            continue;
        const QString zone = zones.at(r.Code).zone;
        const auto p = principal.find(zone);
        ASSERT_NE(p, principal.end()) << zone.toStdString();
        EXPECT_LT(kilometresBetween(signedLatitude(r), signedLongitude(r), p->second.first, p->second.second), 2000)
            << r.Name.toStdString() << " is far from the principal city of " << zone.toStdString();

        double apart = std::fmod(std::abs(signedLongitude(r) / 15 - r.TimeZone), 24.0);
        apart = std::min(apart, 24 - apart);
        EXPECT_LT(apart, 3.5) << r.Name.toStdString() << ": longitude and time zone disagree";
    }
}

TEST(ShippedCsv, TimeZoneIsTheZonesStandardTime)
{
    const std::map<int, ZoneOfCity> zones = shippedZones();
    for (const CityRow &r : shippedRows()) {
        if (isUserDefined(r))
            continue;
        const QString zone = zones.at(r.Code).zone;
        const auto exception = kStandardTimeExceptions.find(zone);
        const double expected = exception != kStandardTimeExceptions.end()
                                    ? exception->second
                                    : smallestOffset(QTimeZone(zone.toLatin1()), 2025) / 3600.0;
        EXPECT_EQ(r.TimeZone, expected) << r.Name.toStdString() << " (" << zone.toStdString() << ")";
    }
}

// The rule code of every city puts the start and end of summer time on the
// days its zone changes the clocks in 2025; code 0 only for zones that keep
// one time all year or follow a law without a code.
TEST(ShippedCsv, DaylightSavingCodeIsTheZonesRuleIn2025)
{
    constexpr qint64 kSlack = 6 * 3600;  // the listed hour may differ from the zone's
    const std::map<int, ZoneOfCity> zones = shippedZones();
    std::set<QString> exceptionsSeen;
    for (const CityRow &r : shippedRows()) {
        if (isUserDefined(r))
            continue;
        const QString zone = zones.at(r.Code).zone;
        const QTimeZone tz(zone.toLatin1());
        const std::vector<OffsetChange> changes = offsetChanges(tz, 2025);
        const std::string what = r.Name.toStdString() + " (" + zone.toStdString() + ")";

        if (kLawsWithoutCode.count(zone)) {
            exceptionsSeen.insert(zone);
            EXPECT_EQ(r.DST, 0) << what;
            EXPECT_FALSE(changes.empty()) << what << " no longer changes its clocks";
            continue;
        }
        if (r.DST == 0) {
            EXPECT_TRUE(changes.empty()) << what << " changes its clocks but has no rule code";
            continue;
        }
        const auto rule = kRules2025.find(r.DST);
        if (rule == kRules2025.end()) {
            ADD_FAILURE() << what << ": rule " << r.DST << " is in force nowhere in 2025";
            continue;
        }
        if (changes.size() != 2) {
            ADD_FAILURE() << what << ": " << changes.size() << " clock changes in 2025, rule " << r.DST << " has 2";
            continue;
        }
        const qint64 standard = smallestOffset(tz, 2025);
        for (const OffsetChange &c : changes) {
            EXPECT_EQ(std::abs(c.to - c.from), 3600) << what;
            const QDateTime &expectedLocal = c.to > c.from ? rule->second.start : rule->second.end;
            const qint64 expectedUtc = expectedLocal.toSecsSinceEpoch() - standard;
            EXPECT_LE(std::abs(c.atUtc.toSecsSinceEpoch() - expectedUtc), kSlack)
                << what << ": clocks change at " << c.atUtc.toString(Qt::ISODate).toStdString() << " UTC, rule "
                << r.DST << " says " << expectedLocal.toString(QStringLiteral("yyyy-MM-dd HH:mm")).toStdString() << " local";
        }
    }
    EXPECT_EQ(exceptionsSeen.size(), kLawsWithoutCode.size()) << "an exception names no shipped city";
}

// --- the CSV reader ---------------------------------------------------------

struct BadCsv {
    const char *what;
    QByteArray text;
    int line;
    const char *mentions;
};

class CsvRejects : public ::testing::TestWithParam<BadCsv> {};

TEST_P(CsvRejects, NamingTheLine)
{
    const CityCsv csv = parseCityCsv(GetParam().text);
    EXPECT_FALSE(csv.ok());
    EXPECT_EQ(csv.errorLine, GetParam().line);
    EXPECT_TRUE(csv.error.contains(QLatin1String(GetParam().mentions))) << csv.error.toStdString();
    EXPECT_TRUE(csv.rows.empty());
}

const char *const kGood = "1,Moscow,37,37,55,45,1,0,1,3,0";

INSTANTIATE_TEST_SUITE_P(
    Lines, CsvRejects,
    ::testing::Values(
        BadCsv{"empty file", QByteArray(), 1, "header"},
        BadCsv{"fields in another order", "Name,Code,LongMin,LongSec,LatMin,LatSec,IsLon,IsLat,IsRus,TimeZone,DST\n", 1,
               "header"},
        BadCsv{"a field short", csvOf({kGood, "2,Oslo,10,45,59,55,1,0,0,1"}), 3, "10 fields"},
        BadCsv{"a field too many", csvOf({"2,Oslo,10,45,59,55,1,0,0,1,4,x"}), 2, "12 fields"},
        BadCsv{"code not a number", csvOf({"x2,Oslo,10,45,59,55,1,0,0,1,4"}), 2, "Code"},
        BadCsv{"negative code", csvOf({"-1,Oslo,10,45,59,55,1,0,0,1,4"}), 2, "Code -1"},
        BadCsv{"decimal degrees", csvOf({"2,Oslo,10.5,45,59,55,1,0,0,1,4"}), 2, "LongMin"},
        BadCsv{"padded number", csvOf({"2,Oslo, 10,45,59,55,1,0,0,1,4"}), 2, "LongMin"},
        BadCsv{"longitude 180", csvOf({"2,Oslo,180,0,59,55,1,0,0,1,4"}), 2, "LongMin 180"},
        BadCsv{"60 minutes", csvOf({"2,Oslo,10,60,59,55,1,0,0,1,4"}), 2, "LongSec 60"},
        BadCsv{"latitude 91", csvOf({"2,Oslo,10,45,91,0,1,0,0,1,4"}), 2, "LatMin 91"},
        BadCsv{"past the pole", csvOf({"2,Pole,0,0,90,1,1,0,0,0,0"}), 2, "beyond 90"},
        BadCsv{"hemisphere 2", csvOf({"2,Oslo,10,45,59,55,2,0,0,1,4"}), 2, "IsLon 2"},
        BadCsv{"IsRus -1", csvOf({"2,Oslo,10,45,59,55,1,0,-1,1,4"}), 2, "IsRus"},
        BadCsv{"zone not a quarter hour", csvOf({"2,Oslo,10,45,59,55,1,0,0,1.3,4"}), 2, "TimeZone 1.3"},
        BadCsv{"zone beyond 14", csvOf({"2,Oslo,10,45,59,55,1,0,0,15,4"}), 2, "TimeZone 15"},
        BadCsv{"zone as text", csvOf({"2,Oslo,10,45,59,55,1,0,0,CET,4"}), 2, "TimeZone \"CET\""},
        BadCsv{"zone with a trailing dot", csvOf({"2,Oslo,10,45,59,55,1,0,0,1.,4"}), 2, "TimeZone"},
        BadCsv{"rule 16", csvOf({"2,Oslo,10,45,59,55,1,0,0,1,16"}), 2, "DST 16"},
        BadCsv{"empty name", csvOf({"2,,10,45,59,55,1,0,0,1,4"}), 2, "Name"},
        BadCsv{"31 characters", csvOf({"2,Llanfairpwllgwyngyllgogerychwyr,4,12,53,13,0,0,0,0,4"}), 2, "1..30"},
        BadCsv{"name with a trailing space", csvOf({"2,Oslo ,10,45,59,55,1,0,0,1,4"}), 2, "space"},
        BadCsv{"code twice", csvOf({kGood, "2,Oslo,10,45,59,55,1,0,0,1,4", "1,Kyiv,30,31,50,26,1,0,0,2,4"}), 4,
               "already used on line 2"},
        BadCsv{"quote left open", csvOf({"2,\"Oslo,10,45,59,55,1,0,0,1,4"}), 2, "not closed"},
        BadCsv{"stray quote", csvOf({"2,Os\"lo,10,45,59,55,1,0,0,1,4"}), 2, "quote"},
        BadCsv{"blank line between rows", csvOf({kGood, "", "2,Oslo,10,45,59,55,1,0,0,1,4"}), 3, "empty line"},
        BadCsv{"not UTF-8", csvOf({kGood, "2,S\xe3o Paulo,46,37,23,32,0,1,0,-3,0"}), 3, "UTF-8"}),
    [](const ::testing::TestParamInfo<BadCsv> &info) {
        std::string name;
        for (const char *c = info.param.what; *c; ++c)
            name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
        return name;
    });

TEST(CsvReader, AcceptsQuotingLineEndingsAndTheWholeRangeOfValues)
{
    const QByteArray text = "\xEF\xBB\xBF" + QByteArray(kHeader) +
                            "\r\n"
                            "7,\"Washington, D.C.\",77,2,38,54,0,0,0,-5,14\r\n"
                            "8,\"The \"\"Old\"\" Town\",0,0,0,0,0,0,0,-12,0\r\n"
                            "9,Chatham Islands,176,33,43,57,0,1,0,12.75,15\r\n"
                            "10,Llanfairpwllgwyngyllgogerychwy,179,59,90,0,1,1,1,14,15\r\n"
                            "2147483647,Far,0,0,0,0,0,0,0,-3.5,0\r\n"
                            "\r\n\r\n";
    const CityCsv csv = parseCityCsv(text);
    ASSERT_TRUE(csv.ok()) << csv.errorLine << ": " << csv.error.toStdString();
    ASSERT_EQ(csv.rows.size(), 5u);
    EXPECT_EQ(csv.rows[0].Name, QStringLiteral("Washington, D.C."));
    EXPECT_EQ(csv.rows[0].TimeZone, -5.0);
    EXPECT_EQ(csv.rows[1].Name, QStringLiteral("The \"Old\" Town"));
    EXPECT_EQ(csv.rows[2].TimeZone, 12.75);
    EXPECT_EQ(csv.rows[3].LongMin, 179);
    EXPECT_EQ(csv.rows[4].Code, 2147483647);
    EXPECT_EQ(csv.rows[4].TimeZone, -3.5);

    // And what is written reads back the same.
    EXPECT_EQ(parseCityCsv(formatCityCsv(csv.rows)).rows, csv.rows);
}

// --- the table file ---------------------------------------------------------

class CityTableFile : public ::testing::Test {
protected:
    QString path(const char *name = "citycodes") const { return QDir(dir.path()).filePath(QLatin1String(name)); }

    std::unique_ptr<CityTable> openTable(const QString &file)
    {
        CityTable::Opened opened = CityTable::open(file, kNow);
        EXPECT_TRUE(opened.setAside.isEmpty()) << opened.error.toStdString();
        return std::move(opened.table);
    }

    QString writeCsv(const QByteArray &text)
    {
        const QString csv = path("cities.csv");
        EXPECT_TRUE(writeAll(csv, text));
        return csv;
    }

    QTemporaryDir dir;
};

TEST_F(CityTableFile, ShippedCsvSurvivesTheTableUnchanged)
{
    {
        auto table = openTable(path());
        ASSERT_TRUE(table);
        ASSERT_TRUE(table->importCsv(QStringLiteral(CITY_CSV))) << table->lastError().toStdString();
        EXPECT_EQ(table->rows(), shippedRows());
    }
    auto reopened = openTable(path());
    ASSERT_TRUE(reopened);
    EXPECT_EQ(reopened->rows(), shippedRows());
    ASSERT_TRUE(reopened->exportCsv(path("out.csv")));
    EXPECT_EQ(readAll(path("out.csv")), readAll(QStringLiteral(CITY_CSV)));
}

TEST_F(CityTableFile, BuiltTableHoldsTheShippedRows)
{
    // A copy, so the build's own file is never touched.
    ASSERT_TRUE(QFile::copy(QStringLiteral(BUILT_CITY_TABLE), path()));
    auto table = openTable(path());
    ASSERT_TRUE(table);
    EXPECT_EQ(table->rows(), shippedRows());
}

TEST_F(CityTableFile, RowsComeInCodeOrderAndFindTakesTheExactCode)
{
    auto table = openTable(path());
    ASSERT_TRUE(table);
    ASSERT_TRUE(table->importCsv(writeCsv(csvOf({"30,Oslo,10,45,59,55,1,0,0,1,4", "4,Perth,115,51,31,57,1,1,0,8,0",
                                                 "17,Lima,77,3,12,3,0,1,0,-5,0"}))));
    std::vector<int> codes;
    for (const CityRow &r : table->rows())
        codes.push_back(r.Code);
    EXPECT_EQ(codes, (std::vector<int>{4, 17, 30}));

    const std::optional<CityRow> lima = table->find(17);
    ASSERT_TRUE(lima);
    EXPECT_EQ(lima->Name, QStringLiteral("Lima"));
    EXPECT_EQ(lima->TimeZone, -5.0);
    EXPECT_EQ(lima->IsLat, 1);
    EXPECT_FALSE(table->find(5));
    EXPECT_FALSE(table->find(-4));
    EXPECT_FALSE(table->find(255));
}

TEST_F(CityTableFile, EmptyTableFindsNothing)
{
    auto table = openTable(path());
    ASSERT_TRUE(table);
    EXPECT_TRUE(table->rows().empty());
    EXPECT_FALSE(table->find(0));
}

TEST_F(CityTableFile, UserCoordinatesPersistAfterReopening)
{
    {
        auto table = openTable(path());
        ASSERT_TRUE(table);
        ASSERT_TRUE(table->importCsv(writeCsv(
            csvOf({"12,Oslo,10,45,59,55,1,0,0,1,4", "250,User Defined,0,0,0,0,0,0,0,0,0",
                   "251,User Defined,0,0,0,0,0,0,0,0,0"}))));
        ASSERT_TRUE(table->updateUserDefined(251, 55, 9, 37, 12, 1, 0, -3.5));
        EXPECT_FALSE(table->updateUserDefined(249, 1, 2, 3, 4, 0, 1, 2)) << "no such row";
    }
    auto table = openTable(path());
    ASSERT_TRUE(table);
    const std::optional<CityRow> user = table->find(251);
    ASSERT_TRUE(user);
    const CityRow expected{251, userDefinedCityName(), 37, 12, 55, 9, 0, 1, 0, -3.5, 0};
    EXPECT_EQ(*user, expected);
    EXPECT_EQ(table->find(250)->LatMin, 0) << "the other User Defined row is untouched";
    EXPECT_EQ(table->find(12)->LongMin, 10);
    EXPECT_EQ(table->rows().size(), 3u);
}

TEST_F(CityTableFile, FailedImportKeepsTheRowsAndNamesFileAndLine)
{
    auto table = openTable(path());
    ASSERT_TRUE(table);
    ASSERT_TRUE(table->importCsv(writeCsv(csvOf({kGood}))));
    const QString bad = writeCsv(csvOf({"2,Oslo,10,45,59,55,1,0,0,1,4", "3,Kyiv,30,31,50,26,1,0,0,2,4,9"}));
    EXPECT_FALSE(table->importCsv(bad));
    EXPECT_TRUE(table->lastError().startsWith(bad + QStringLiteral(":3: "))) << table->lastError().toStdString();
    ASSERT_EQ(table->rows().size(), 1u);
    EXPECT_EQ(table->rows()[0].Name, QStringLiteral("Moscow"));

    EXPECT_FALSE(table->importCsv(path("missing.csv")));
    EXPECT_EQ(table->rows().size(), 1u);
}

struct Damage {
    const char *what;
    std::function<void(const QString &path)> make;
};

class DamagedCityTable : public ::testing::TestWithParam<Damage> {};

TEST_P(DamagedCityTable, IsKeptAsideAndAnEmptyTableTakesItsPlace)
{
    QTemporaryDir dir;
    const QString file = QDir(dir.path()).filePath(QStringLiteral("citycodes"));
    GetParam().make(file);
    const QByteArray before = readAll(file);

    CityTable::Opened opened = CityTable::open(file, kNow);
    ASSERT_TRUE(opened.table);
    EXPECT_FALSE(opened.error.isEmpty());
    EXPECT_EQ(opened.setAside, file + QStringLiteral(".damaged-20260301-093000"));
    EXPECT_EQ(readAll(opened.setAside), before);
    EXPECT_TRUE(opened.table->rows().empty());
    EXPECT_FALSE(opened.table->find(1));

    // The new table is a working one.
    const QString csv = QDir(dir.path()).filePath(QStringLiteral("c.csv"));
    ASSERT_TRUE(writeAll(csv, csvOf({kGood})));
    EXPECT_TRUE(opened.table->importCsv(csv)) << opened.table->lastError().toStdString();
    EXPECT_EQ(opened.table->rows().size(), 1u);
}

void makeSqlite(const QString &file, const char *sql)
{
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("damage"));
        db.setDatabaseName(file);
        ASSERT_TRUE(db.open());
        QSqlQuery q(db);
        ASSERT_TRUE(q.exec(QLatin1String(sql)));
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("damage"));
}

INSTANTIATE_TEST_SUITE_P(
    Files, DamagedCityTable,
    ::testing::Values(
        Damage{"not_a_database", [](const QString &f) { writeAll(f, QByteArray(4096, 'x')); }},
        Damage{"cut_short",
               [](const QString &f) {
                   QTemporaryDir d;
                   const QString whole = QDir(d.path()).filePath(QStringLiteral("whole"));
                   makeSqlite(whole, "CREATE TABLE CityCodes (Code INTEGER)");
                   writeAll(f, readAll(whole).left(100));
               }},
        Damage{"another_programs_table",
               [](const QString &f) { makeSqlite(f, "CREATE TABLE Cities (Id INTEGER, Title TEXT)"); }},
        Damage{"city_table_without_time_zone",
               [](const QString &f) {
                   makeSqlite(f, "CREATE TABLE CityCodes (Code INTEGER, Name TEXT, LongMin INTEGER, "
                                 "LongSec INTEGER, LatMin INTEGER, LatSec INTEGER, IsLon INTEGER, IsLat INTEGER, "
                                 "IsRus INTEGER, DST INTEGER)");
               }}),
    [](const ::testing::TestParamInfo<Damage> &info) { return std::string(info.param.what); });

// --- installing the shipped table ------------------------------------------

TEST(DamagedCityTable, IsReplacedByTheShippedTableWhenOneIsGiven)
{
    QTemporaryDir dir;
    const QString file = QDir(dir.path()).filePath(QStringLiteral("citycodes"));
    ASSERT_TRUE(writeAll(file, QByteArray(4096, 'x')));
    CityTable::Opened opened = CityTable::open(file, kNow, QStringLiteral(BUILT_CITY_TABLE));
    ASSERT_TRUE(opened.table);
    EXPECT_EQ(opened.problem, TableProblem::Damaged);
    EXPECT_EQ(readAll(opened.setAside), QByteArray(4096, 'x'));
    EXPECT_EQ(opened.table->rows(), shippedRows());
    EXPECT_TRUE(opened.table->updateUserDefined(250, 1, 2, 3, 4, 0, 1, 2)) << opened.table->lastError().toStdString();
}

TEST(DefaultCityTable, IsCopiedOnlyWhenNoneIsThere)
{
    QTemporaryDir dir;
    const QString built = QDir(dir.path()).filePath(QStringLiteral("built"));
    const QString target = QDir(dir.path()).filePath(QStringLiteral("work/citycodes"));
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("work")));

    EXPECT_FALSE(installDefaultCityTable(built, target)) << "nothing to copy";
    EXPECT_FALSE(QFile::exists(target));

    ASSERT_TRUE(QFile::copy(QStringLiteral(BUILT_CITY_TABLE), built));
    QFile::setPermissions(built, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
    ASSERT_TRUE(installDefaultCityTable(built, target));
    EXPECT_EQ(readAll(target), readAll(built));
    EXPECT_FALSE(QFile::exists(target + QStringLiteral(".installing")));
    {
        // A read-only copy would lose the user's coordinates at shut-down.
        CityTable::Opened opened = CityTable::open(target, kNow);
        ASSERT_TRUE(opened.table);
        EXPECT_TRUE(opened.table->updateUserDefined(250, 1, 2, 3, 4, 0, 1, 2)) << opened.table->lastError().toStdString();
    }
    const QByteArray edited = readAll(target);
    ASSERT_NE(edited, readAll(built));
    EXPECT_TRUE(installDefaultCityTable(built, target));
    EXPECT_EQ(readAll(target), edited) << "an existing table is the user's and stays";
}

// --- the build step ----------------------------------------------------------

int runTool(const QStringList &args, QString *errors = nullptr)
{
    QProcess p;
    p.start(QStringLiteral(CITY_TOOL), args);
    if (!p.waitForFinished(30000))
        return -1;
    if (errors)
        *errors = QString::fromLocal8Bit(p.readAllStandardError());
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

TEST(CityTableBuild, MalformedCsvFailsWithoutLeavingATable)
{
    QTemporaryDir dir;
    const QString csv = QDir(dir.path()).filePath(QStringLiteral("bad.csv"));
    const QString out = QDir(dir.path()).filePath(QStringLiteral("citycodes"));
    ASSERT_TRUE(writeAll(csv, csvOf({kGood, "2,Oslo,10,45,59,75,1,0,0,1,4"})));
    QString errors;
    EXPECT_EQ(runTool({csv, out}, &errors), 1);
    EXPECT_TRUE(errors.contains(csv + QStringLiteral(":3: LatSec 75"))) << errors.toStdString();
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("bad.csv")});
}

TEST(CityTableBuild, ReplacesAnEarlierTableWhole)
{
    QTemporaryDir dir;
    const QString csv = QDir(dir.path()).filePath(QStringLiteral("cities.csv"));
    const QString out = QDir(dir.path()).filePath(QStringLiteral("citycodes"));
    ASSERT_TRUE(writeAll(csv, csvOf({kGood, "2,Oslo,10,45,59,55,1,0,0,1,4"})));
    ASSERT_EQ(runTool({csv, out}), 0);
    ASSERT_TRUE(writeAll(csv, csvOf({"9,Lima,77,3,12,3,0,1,0,-5,0"})));
    ASSERT_EQ(runTool({csv, out}), 0);

    CityTable::Opened opened = CityTable::open(out, kNow);
    ASSERT_TRUE(opened.table);
    ASSERT_EQ(opened.table->rows().size(), 1u);
    EXPECT_EQ(opened.table->rows()[0].Name, QStringLiteral("Lima"));
}

}  // namespace
