// nimbrel-tool report on a crafted history whose summaries were worked out by
// hand: tied extremes take the earliest time, a channel that was not
// reporting (0 °C with 0 %) stays out of the temperatures, a rain counter
// going backwards adds nothing, a day or month without records is blank.
#include "HistoryCsv.h"
#include "HistoryStore.h"
#include "support/ProcessRun.h"

#include <QFile>
#include <QTemporaryDir>
#include <iterator>
#include <gtest/gtest.h>

using namespace nimbrel;

namespace {

struct Record {
    const char *dat;
    double temp;  // channel 1
    int hum;
    double speed, gust;  // mph
    int direction, rain;
};

// Feb 28 lies before March and gives March its first rain step.
const Record kHistory[] = {
    {"2026-02-28T23:00:00", 8.0, 60, 0, 0, 0, 100},
    {"2026-03-01T00:00:00", 10.0, 50, 0, 5, 2, 102},    // +2 tips
    {"2026-03-01T06:00:00", 4.0, 70, 10, 30, 4, 101},   // counter back: 0
    {"2026-03-01T12:00:00", 20.0, 40, 20, 30, 4, 105},  // +4; high and gust tie earlier ones
    {"2026-03-01T18:00:00", 20.0, 45, 6, 12, 8, 105},
    {"2026-03-03T09:00:00", 0.0, 0, 5, 8, 12, 105},     // channel 1 not reporting
    {"2026-03-03T15:00:00", -5.0, 80, 0, 0, 0, 110},    // +5
};

class ClimateReport : public ::testing::Test {
protected:
    void SetUp() override
    {
        auto opened = HistoryStore::open(dir.filePath(QStringLiteral("datat")), QDateTime::currentDateTime());
        ASSERT_TRUE(opened.store);
        for (const Record &r : kHistory) {
            HistoryRow row;
            row.Dat = HistoryStore::dateFromText(QString::fromLatin1(r.dat));
            row.TempCH[0] = r.temp;
            row.HumCH[0] = r.hum;
            row.WindSpeed = r.speed;
            row.WindGust = r.gust;
            row.WindDirection = r.direction;
            row.RainCount = r.rain;
            ASSERT_EQ(opened.store->appendRow(row), AppendResult::Appended);
        }
    }
    QStringList lines(const QStringList &arguments)
    {
        const test::ProcessRun run = test::runProcess(QStringLiteral(NIMBREL_TOOL),
                                                      QStringList{QStringLiteral("report")} + arguments, dir.path());
        EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
        return QString::fromUtf8(run.out).split(QLatin1Char('\n'));
    }
    QTemporaryDir dir;
};

// Day 1: mean (10+4+20+20)/4 = 13.5, heat 18.3-13.5 = 4.8, rain 6 tips x 0.6875 = 4.125 mm,
// wind (0+10+20+6)/4 = 9 mph = 14.49 km/h, gust 30 mph = 48.3 km/h first at 06:00 from E,
// dominant E (2 of 3 records with wind). Day 3: only -5.0 counts; 5 tips = 3.4375 mm;
// wind 2.5 mph = 4.025 km/h; gust 8 mph = 12.88 km/h from W.
// Month: mean of the daily means (13.5-5)/2 = 4.25; heat 28.1; 11 tips = 7.5625 mm;
// wind 41/6 mph = 11.0 km/h.
TEST_F(ClimateReport, MonthMetric)
{
    const QStringList out = lines({QStringLiteral("--month"), QStringLiteral("2026-03"), QStringLiteral("--db"),
                                   dir.filePath(QStringLiteral("datat"))});
    ASSERT_GE(out.size(), 39);
    EXPECT_EQ(out[0], QStringLiteral("Climate summary for March 2026"));
    EXPECT_EQ(out[6], QStringLiteral("    1   13.5   20.0 12:00    4.0 06:00    4.8    0.0     4.1   14.5   48.3 06:00    E    E"));
    EXPECT_EQ(out[7], QStringLiteral("    2"));
    EXPECT_EQ(out[8], QStringLiteral("    3   -5.0   -5.0 15:00   -5.0 15:00   23.3    0.0     3.4    4.0   12.9 09:00    W    W"));
    EXPECT_EQ(out[36], QStringLiteral("   31"));
    EXPECT_EQ(out[38], QStringLiteral("Month    4.3   20.0    01   -5.0    03   28.1    0.0     7.6   11.0   48.3    01    E    E"));
}

// Day 1 in US units: 56.3 F mean, 65 - 56.3 = 8.7 heating degree days, 6 tips x 0.0271 = 0.16 in.
// Year: February's one record has no wind (no dominant direction) and no rain step before it;
// mean of the three daily means 16.5/3 = 5.5 C = 41.9 F.
TEST_F(ClimateReport, UsUnitsAndYear)
{
    const QStringList month = lines({QStringLiteral("--month=2026-03"), QStringLiteral("--units"), QStringLiteral("us")});
    ASSERT_GE(month.size(), 7);
    EXPECT_EQ(month[6], QStringLiteral("    1   56.3   68.0 12:00   39.2 06:00    8.7    0.0    0.16    9.0   30.0 06:00    E    E"));

    const QStringList year = lines({QStringLiteral("--year"), QStringLiteral("2026")});
    ASSERT_GE(year.size(), 20);
    EXPECT_EQ(year[6], QStringLiteral("    1"));
    EXPECT_EQ(year[7], QStringLiteral("    2    8.0    8.0    28    8.0    28   10.3    0.0     0.0    0.0    0.0    28    N"));
    EXPECT_EQ(year[8], QStringLiteral("    3    4.3   20.0    01   -5.0    03   28.1    0.0     7.6   11.0   48.3    01    E    E"));
    EXPECT_EQ(year[19], QStringLiteral(" Year    5.5   20.0 03-01   -5.0 03-03   38.4    0.0     7.6    9.4   48.3 03-01    E    E"));
}

// The main window's "Export history…" writes the file the tool writes; a
// target it cannot write is refused with a reason.
TEST_F(ClimateReport, MenuExportWritesWhatTheToolWrites)
{
    const test::ProcessRun tool = test::runProcess(QStringLiteral(NIMBREL_TOOL),
                                                   {QStringLiteral("export"), QStringLiteral("-")}, dir.path());
    ASSERT_EQ(tool.exitCode, 0);
    const auto store = HistoryStore::openForReading(dir.filePath(QStringLiteral("datat")));
    ASSERT_TRUE(store);
    QString why;
    ASSERT_TRUE(exportHistoryCsv(*store, dir.filePath(QStringLiteral("menu.csv")), &why)) << why.toStdString();
    QFile menu(dir.filePath(QStringLiteral("menu.csv")));
    ASSERT_TRUE(menu.open(QIODevice::ReadOnly));
    EXPECT_EQ(menu.readAll(), tool.out);
    EXPECT_EQ(tool.out.count('\n'), 1 + int(std::size(kHistory)));
    EXPECT_FALSE(exportHistoryCsv(*store, dir.path(), &why));
    EXPECT_FALSE(why.isEmpty());
}

TEST_F(ClimateReport, RefusesBadArguments)
{
    const QStringList cases[] = {
        {},
        {QStringLiteral("--month"), QStringLiteral("2026-13")},
        {QStringLiteral("--month"), QStringLiteral("2026-3")},
        {QStringLiteral("--year"), QStringLiteral("26")},
        {QStringLiteral("--year"), QStringLiteral("2026"), QStringLiteral("--month"), QStringLiteral("2026-03")},
        {QStringLiteral("--year"), QStringLiteral("2026"), QStringLiteral("--units"), QStringLiteral("si")},
        {QStringLiteral("--year"), QStringLiteral("2026"), QStringLiteral("--db"), QStringLiteral("missing")},
    };
    for (const QStringList &arguments : cases) {
        const test::ProcessRun run = test::runProcess(QStringLiteral(NIMBREL_TOOL),
                                                      QStringList{QStringLiteral("report")} + arguments, dir.path());
        EXPECT_EQ(run.exitCode, 2) << arguments.join(' ').toStdString();
        EXPECT_TRUE(run.out.isEmpty()) << arguments.join(' ').toStdString();
    }
}

}  // namespace
