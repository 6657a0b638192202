// Moving the history out and back in: a weewx archive and the CSV give the
// stored records back, the archive's three unit systems land on the same
// stored values, a damaged file is refused at its line with nothing stored,
// and a Cumulus log's records are refused, skipped or added as counted.
#include "HistoryCsv.h"
#include "HistoryImport.h"
#include "HistoryStore.h"
#include "WeewxArchive.h"
#include "support/ProcessRun.h"

#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace nimbrel;

namespace {

QDateTime at(const char *text)
{
    return HistoryStore::dateFromText(QString::fromLatin1(text));
}

// Five records five minutes apart: channel 5 never reports, channel 3 reads
// a real 0.0 °C, the pressure is missing once, the rain counter is reset.
std::vector<HistoryRow> sampleRows()
{
    std::vector<HistoryRow> rows;
    const int counters[] = {100, 102, 50, 53, 53};
    for (int i = 0; i < 5; ++i) {
        HistoryRow r;
        r.Dat = at("2026-01-05T06:00:00").addSecs(300 * i);
        r.DayWeek = 1;
        r.TempDoor = 21.7 - 0.1 * i;
        r.HumDoor = 38 + i;
        r.TempCH[0] = -17.3;
        r.HumCH[0] = 91;
        r.TempCH[1] = 4.5 + i;
        r.HumCH[1] = 60;
        r.TempCH[2] = 0.0;
        r.HumCH[2] = 55;
        r.TempCH[3] = 12.1;
        r.HumCH[3] = 70 - i;
        r.UV = 0.3 * i;
        r.PressLocal = i == 1 ? 0.0 : 1003.4375 + i / 16.0;
        r.Weather = 2;
        r.WindChill = -25.9 + i;
        r.WindGust = 14.1 + i;
        r.WindSpeed = 12.3 * i;
        r.RainCount = counters[i];
        r.RainState = i == 4 ? 1 : 0;
        r.WindDirection = (15 + 3 * i) % 16;
        rows.push_back(r);
    }
    return rows;
}

std::unique_ptr<HistoryStore> storeWith(const QString &path, const std::vector<HistoryRow> &rows)
{
    HistoryStore::Opened opened = HistoryStore::open(path, QDateTime::currentDateTime());
    EXPECT_TRUE(opened.store);
    for (const HistoryRow &r : rows)
        EXPECT_EQ(opened.store->appendRow(r), AppendResult::Appended);
    return std::move(opened.store);
}

std::vector<HistoryRow> allRows(const HistoryStore &store)
{
    return store.rowsBetween(QDateTime(QDate(1, 1, 1), QTime(0, 0)), QDateTime(QDate(9999, 1, 1), QTime(0, 0)));
}

// The station's own fields compare exactly (up to the last bit of a
// decimal); the archive carries no forecast code, rain state or counter:
// there the rain of each record is compared.
void expectSameRecords(const std::vector<HistoryRow> &expected, const std::vector<HistoryRow> &actual, bool archive)
{
    ASSERT_EQ(actual.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const HistoryRow &e = expected[i];
        const HistoryRow &a = actual[i];
        SCOPED_TRACE(HistoryStore::dateText(e.Dat).toStdString());
        EXPECT_EQ(HistoryStore::dateText(a.Dat), HistoryStore::dateText(e.Dat));
        EXPECT_EQ(a.DayWeek, e.DayWeek);
        EXPECT_NEAR(a.TempDoor, e.TempDoor, 1e-9);
        EXPECT_EQ(a.HumDoor, e.HumDoor);
        for (int c = 0; c < kChannelCount; ++c) {
            EXPECT_NEAR(a.TempCH[c], e.TempCH[c], 1e-9) << "channel " << c + 1;
            EXPECT_EQ(a.HumCH[c], e.HumCH[c]) << "channel " << c + 1;
        }
        EXPECT_NEAR(a.UV, e.UV, 1e-9);
        EXPECT_EQ(a.PressLocal, e.PressLocal);
        EXPECT_NEAR(a.WindChill, e.WindChill, 1e-9);
        EXPECT_NEAR(a.WindGust, e.WindGust, 1e-9);
        EXPECT_NEAR(a.WindSpeed, e.WindSpeed, 1e-9);
        EXPECT_EQ(a.WindDirection, e.WindDirection);
        if (!archive) {
            EXPECT_EQ(a.Weather, e.Weather);
            EXPECT_EQ(a.RainCount, e.RainCount);
            EXPECT_EQ(a.RainState, e.RainState);
        } else if (i > 0) {
            const int rise = e.RainCount - expected[i - 1].RainCount;
            EXPECT_EQ(a.RainCount - actual[i - 1].RainCount, rise < 0 ? 0 : rise);
        }
    }
}

class Exchange : public ::testing::Test {
protected:
    QString file(const QString &name) const { return dir.filePath(name); }
    void write(const QString &name, const QByteArray &text)
    {
        QFile f(file(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    }
    // A raw archive: columns as named, rows of values (QVariant() for NULL).
    void writeArchive(const QString &name, const QStringList &columns, const QList<QVariantList> &rows)
    {
        const QString connection = QStringLiteral("raw-archive");
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
            db.setDatabaseName(file(name));
            ASSERT_TRUE(db.open());
            QSqlQuery q(db);
            ASSERT_TRUE(q.exec(QStringLiteral("CREATE TABLE archive (%1)").arg(columns.join(','))));
            for (const QVariantList &row : rows) {
                QStringList marks;
                for (int i = 0; i < row.size(); ++i)
                    marks << QStringLiteral("?");
                q.prepare(QStringLiteral("INSERT INTO archive VALUES (%1)").arg(marks.join(',')));
                for (const QVariant &v : row)
                    q.addBindValue(v);
                ASSERT_TRUE(q.exec());
            }
        }
        QSqlDatabase::removeDatabase(connection);
    }
    QTemporaryDir dir;
};

TEST_F(Exchange, ArchiveRoundTripGivesTheRecordsBack)
{
    const std::vector<HistoryRow> rows = sampleRows();
    auto source = storeWith(file("a"), rows);
    QString why;
    // Channel 2 outdoors: 1, 3, 4 and 5 go to the extra columns and back.
    ASSERT_TRUE(writeWeewxArchive(*source, QDateTime(QDate(1, 1, 1), QTime(0, 0), Qt::UTC),
                                  QDateTime(QDate(9999, 1, 1), QTime(0, 0), Qt::UTC), 2, file("archive.sdb"), &why))
        << why.toStdString();
    auto target = storeWith(file("b"), {});
    const ImportOutcome outcome = importHistory(*target, file("archive.sdb"), 2, false);
    ASSERT_EQ(outcome.status, ImportOutcome::Status::Done) << outcome.why.toStdString();
    EXPECT_EQ(outcome.added, 5);
    std::vector<HistoryRow> expected = rows;
    expectSameRecords(expected, allRows(*target), true);

    // Read again: every date is stored, nothing changes.
    const ImportOutcome again = importHistory(*target, file("archive.sdb"), 2, false);
    EXPECT_EQ(again.added, 0);
    EXPECT_EQ(again.skipped, 5);
}

// Export and import as a user runs them; the CSV carries every field.
TEST_F(Exchange, CsvRoundTripThroughTheTool)
{
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("from")) && QDir(dir.path()).mkdir(QStringLiteral("to")));
    const std::vector<HistoryRow> rows = sampleRows();
    storeWith(file("from/datat"), rows);
    // Named channels name their columns and the file still reads back.
    write(QStringLiteral("from/nimbrel.ini"), "[channels]\nname1=Garden\nname3=Pond, \"north\"\n");
    const test::ProcessRun exported = test::runProcess(
        QStringLiteral(NIMBREL_TOOL), {"export", "--data-dir", file("from"), file("out.csv")});
    ASSERT_EQ(exported.exitCode, 0) << exported.err.toStdString();
    QFile out(file("out.csv"));
    ASSERT_TRUE(out.open(QIODevice::ReadOnly));
    EXPECT_EQ(out.readLine().split(',').mid(4, 8).join(','),
              "Garden temperature [C],Garden humidity [%],channel2_temperature [C],channel2_humidity [%],"
              "\"Pond, \"\"north\"\" temperature [C]\",\"Pond, \"\"north\"\" humidity [%]\"");
    const test::ProcessRun imported =
        test::runProcess(QStringLiteral(NIMBREL_TOOL), {"import", "--data-dir", file("to"), file("out.csv")});
    ASSERT_EQ(imported.exitCode, 0) << imported.err.toStdString();
    EXPECT_EQ(imported.out, "Nimbrel CSV: 5 added, 0 skipped (already stored), 0 refused\n");
    const auto target = HistoryStore::openForReading(file("to/datat"));
    ASSERT_TRUE(target);
    expectSameRecords(rows, allRows(*target), false);
    QSqlQuery summary(target->database());
    ASSERT_TRUE(summary.exec(QStringLiteral("SELECT SUM(N) FROM HistorySummary WHERE Level = 1")) && summary.next());
    EXPECT_EQ(summary.value(0).toInt(), 5) << "the daily summaries count the imported records";

    // A range's first record has its rain from the record before it: 53 - 50 tips.
    const test::ProcessRun range = test::runProcess(
        QStringLiteral(NIMBREL_TOOL), {"export", "--data-dir", file("from"), "--from", "2026-01-05T06:10:00", "-"});
    ASSERT_EQ(range.exitCode, 0) << range.err.toStdString();
    const QList<QByteArray> lines = range.out.split('\n');
    ASSERT_GE(lines.size(), 2);
    EXPECT_EQ(lines[1].split(',').value(21), "2.0625");
}

struct UnitSystem {
    const char *name;
    int usUnits;
    double temp, pressure, speed, gust, rain;
};

// 20 °C, 1013.25 hPa, 10 mph, 22.4 mph and two tips (1.375 mm) in each system.
class ArchiveUnits : public Exchange, public ::testing::WithParamInterface<UnitSystem> {};

TEST_P(ArchiveUnits, LandOnTheSameStoredValues)
{
    const UnitSystem &u = GetParam();
    const qint64 t = QDateTime(QDate(2025, 3, 1), QTime(12, 0)).toSecsSinceEpoch();
    writeArchive(QStringLiteral("units.sdb"),
                 {"dateTime INTEGER PRIMARY KEY", "usUnits", "interval", "outTemp", "outHumidity", "barometer",
                  "windSpeed", "windGust", "windDir", "rain"},
                 {{t, u.usUnits, 5, u.temp, 50.4, u.pressure, u.speed, u.gust, 92.0, QVariant()},
                  {t + 300, u.usUnits, 5, u.temp, 50.4, u.pressure, u.speed, u.gust, 92.0, u.rain}});
    auto store = storeWith(file("datat"), {});
    const ImportOutcome outcome = importHistory(*store, file("units.sdb"), 1, false);
    ASSERT_EQ(outcome.status, ImportOutcome::Status::Done) << outcome.why.toStdString();
    const std::vector<HistoryRow> rows = allRows(*store);
    ASSERT_EQ(rows.size(), 2u);
    for (const HistoryRow &r : rows) {
        EXPECT_NEAR(r.TempCH[0], 20.0, 1e-9);
        EXPECT_EQ(r.HumCH[0], 50);
        EXPECT_EQ(r.PressLocal, 1013.25);
        EXPECT_NEAR(r.WindSpeed, 10.0, 1e-9);
        EXPECT_NEAR(r.WindGust, 22.4, 1e-9);
        EXPECT_EQ(r.WindDirection, 4);
        EXPECT_EQ(r.TempDoor, 0.0) << "a column the archive lacks is missing";
    }
    EXPECT_EQ(rows[1].RainCount - rows[0].RainCount, 2);
}

INSTANTIATE_TEST_SUITE_P(
    Systems, ArchiveUnits,
    ::testing::Values(UnitSystem{"Us", 1, 68.0, 29.9213, 10.0, 22.4, 0.0541},
                      UnitSystem{"Metric", 16, 20.0, 1013.25, 16.09, 36.05, 0.1375},
                      UnitSystem{"MetricWx", 17, 20.0, 1013.25, 4.47, 10.01, 1.375}),
    [](const ::testing::TestParamInfo<UnitSystem> &info) { return std::string(info.param.name); });

struct DamagedFile {
    const char *name;
    QByteArray text;  // empty: an archive whose second row has an unknown unit system
    const char *line;
};

const QByteArray kCsvHeader = historyCsvHeader();
const QByteArray kCsvRow = "2026-01-05T06:00:00,1,21.7,38,-17.3,91,,,,,,,,,0,1003.4375,2,-25.9,6.303,5.499,337.5,,40123,0\n";

class Damaged : public Exchange, public ::testing::WithParamInterface<DamagedFile> {};

TEST_P(Damaged, IsRefusedAtItsLineWithNothingStored)
{
    const DamagedFile &d = GetParam();
    if (d.text.isEmpty()) {
        writeArchive(QStringLiteral("in"), {"dateTime INTEGER PRIMARY KEY", "usUnits", "interval", "outTemp"},
                     {{1700000000, 16, 5, 3.0}, {1700000300, 99, 5, 3.1}});
    } else {
        write(QStringLiteral("in"), d.text);
    }
    HistoryRow stored;
    stored.Dat = at("2020-01-01T00:00:00");
    auto store = storeWith(file("datat"), {stored});
    const ImportOutcome outcome = importHistory(*store, file("in"), 1, false);
    EXPECT_EQ(outcome.status, ImportOutcome::Status::FileRefused);
    EXPECT_TRUE(outcome.why.startsWith(QLatin1String(d.line))) << outcome.why.toStdString();
    EXPECT_EQ(store->count(), 1) << "the sound lines before the damage are not kept either";
}

INSTANTIATE_TEST_SUITE_P(
    Files, Damaged,
    ::testing::Values(
        DamagedFile{"CsvNumber", kCsvHeader + kCsvRow + QByteArray(kCsvRow).replace("21.7", "2l.7"), "line 3:"},
        DamagedFile{"CsvFieldMissing", kCsvHeader + QByteArray(kCsvRow).replace(",337.5", ""), "line 2:"},
        DamagedFile{"CsvDate", kCsvHeader + QByteArray(kCsvRow).replace("01-05T", "01-32T"), "line 2:"},
        DamagedFile{"CsvInUserUnits", "time,day_of_week,indoor_temperature [F]\n", "line 1:"},
        DamagedFile{"CumulusDate",
                    "15/03/24,10:00,12.5,80,9.1,10.0,20.0,180,0.0,1.0,1012.0,100.0,21.0,45\n"
                    "32/03/24,10:05,12.5,80,9.1,10.0,20.0,180,0.0,1.0,1012.0,100.0,21.0,45\n",
                    "line 2:"},
        DamagedFile{"NoKnownFormat", "hello\n", "line 1:"}, DamagedFile{"ArchiveUnitSystem", {}, "line 2:"}),
    [](const ::testing::TestParamInfo<DamagedFile> &info) { return std::string(info.param.name); });

// A Cumulus log with a humidity no sensor reads, a date twice and a line in
// the decimal-comma style: counted first in a dry run, then stored; its rain
// continues the counter of the stored record before it.
TEST_F(Exchange, CumulusLogIsCountedThenMerged)
{
    write(QStringLiteral("Mar24log.txt"),
          "15/03/24,10:00,12.5,80,9.1,10.0,20.0,180,0.0,1.0,1012.0,100.0,21.0,45\n"
          "15/03/24,10:05,12.5,150,9.1,10.0,20.0,180,0.0,1.0,1012.0,100.0,21.0,45\n"
          "15/03/24,10:00,12.9,80,9.1,10.0,20.0,180,0.0,1.0,1012.0,100.0,21.0,45\n"
          "15/03/24;10:10;12,3;81;9,0;16,09;32,19;270;0,0;2,375;1011,5;101,4;21,2;44\r\n");
    HistoryRow before;
    before.Dat = at("2024-03-14T00:00:00");
    before.RainCount = 500;
    auto store = storeWith(file("datat"), {before});

    const ImportOutcome dry = importHistory(*store, file("Mar24log.txt"), 1, true);
    ASSERT_EQ(dry.status, ImportOutcome::Status::Done) << dry.why.toStdString();
    EXPECT_EQ(dry.format, QStringLiteral("Cumulus log"));
    EXPECT_EQ(std::make_tuple(dry.added, dry.skipped, dry.refused), std::make_tuple(2LL, 1LL, 1LL));
    ASSERT_EQ(dry.reasons.size(), 1);
    EXPECT_TRUE(dry.reasons[0].startsWith(QLatin1String("line 2: channel 1 humidity 150"))) << dry.reasons[0].toStdString();
    EXPECT_EQ(store->count(), 1) << "a dry run stores nothing";

    const ImportOutcome done = importHistory(*store, file("Mar24log.txt"), 1, false);
    EXPECT_EQ(done.added, 2);
    const std::vector<HistoryRow> rows = allRows(*store);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_NEAR(rows[1].TempCH[0], 12.5, 1e-9) << "the first of two lines with one date is kept";
    EXPECT_EQ(rows[1].RainCount, 500);
    const HistoryRow &comma = rows[2];
    EXPECT_NEAR(comma.TempCH[0], 12.3, 1e-9);
    EXPECT_EQ(comma.PressLocal, 1011.5);
    EXPECT_NEAR(comma.WindSpeed, 10.0, 1e-9);
    EXPECT_NEAR(comma.WindGust, 20.0, 1e-9);
    EXPECT_EQ(comma.WindDirection, 12);
    EXPECT_NEAR(comma.TempDoor, 21.2, 1e-9);
    EXPECT_EQ(comma.RainCount, 502) << "1.375 mm more today: two tips";
}

// The tool refuses a damaged file with exit 2 and its line, and leaves the
// history as it was.
TEST_F(Exchange, ToolRefusesADamagedFile)
{
    storeWith(file("datat"), sampleRows());
    write(QStringLiteral("bad.csv"), kCsvHeader + QByteArray(kCsvRow).replace("2026-01-05T06:00:00", "2026-01-06T06:00:00") +
                                         "2026-01-07T06:00:00,1\n");
    const test::ProcessRun run =
        test::runProcess(QStringLiteral(NIMBREL_TOOL), {"import", "--data-dir", dir.path(), file("bad.csv")});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(run.err.contains("line 3:")) << run.err.toStdString();
    EXPECT_TRUE(run.out.isEmpty());
    const auto store = HistoryStore::openForReading(file("datat"));
    ASSERT_TRUE(store);
    EXPECT_EQ(store->count(), 5);
}

}  // namespace
