// nimbrel-tool gen-history, export and restore-cleared, run as a user runs them: synthetic
// histories of the right length and plausible values, CSV that reads back as
// the stored values, date bounds, and refusals of bad arguments.
#include "DataFolderLock.h"
#include "HistoryStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

// Readable failure messages for Qt values.
QT_BEGIN_NAMESPACE
inline void PrintTo(const QString &s, std::ostream *os) { *os << '"' << s.toStdString() << '"'; }
inline void PrintTo(const QByteArray &b, std::ostream *os) { *os << '"' << b.toStdString() << '"'; }
inline void PrintTo(const QDateTime &d, std::ostream *os) { *os << d.toString(Qt::ISODate).toStdString(); }
QT_END_NAMESPACE

using namespace nimbrel;

namespace {

struct ToolRun {
    int exitCode = -1;
    QByteArray out;
    QString err;
};

ToolRun runTool(const QStringList &arguments, const QString &workingDirectory = {})
{
    QProcess p;
    if (!workingDirectory.isEmpty())
        p.setWorkingDirectory(workingDirectory);
    p.start(QStringLiteral(NIMBREL_TOOL), arguments);
    ToolRun r;
    if (!p.waitForFinished(120000)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput();
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

QDateTime at(const char *text)
{
    return HistoryStore::dateFromText(QString::fromLatin1(text));
}

QList<QByteArray> csvLines(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QList<QByteArray> lines = f.readAll().split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

const QByteArray kHeader =
    "time,day_of_week,indoor_temperature [C],indoor_humidity [%],channel1_temperature [C],channel1_humidity [%],"
    "channel2_temperature [C],channel2_humidity [%],channel3_temperature [C],channel3_humidity [%],"
    "channel4_temperature [C],channel4_humidity [%],channel5_temperature [C],channel5_humidity [%],uv [UVI],"
    "pressure_sea_level [hPa],forecast [code],wind_chill [C],wind_gust [m/s],wind_speed [m/s],wind_direction [deg],"
    "rain [mm],rain_counter [tips],rain_state [code]";

class Folder : public testing::Test {
protected:
    QString file(const char *name) const { return dir.filePath(QString::fromLatin1(name)); }
    QTemporaryDir dir;
};

// ---- gen-history --------------------------------------------------------------

struct SpanCase {
    const char *name;
    QStringList arguments;
    long long records;
    const char *oldest;
    const char *newest;
};

class GeneratedHistory : public Folder, public testing::WithParamInterface<SpanCase> {};

TEST_P(GeneratedHistory, HasOneRecordPerPeriodWithPlausibleValues)
{
    const SpanCase &c = GetParam();
    const ToolRun run = runTool(QStringList{"gen-history"} + c.arguments + QStringList{file("datat")});
    ASSERT_EQ(run.exitCode, 0) << qPrintable(run.err);

    const auto store = HistoryStore::openForReading(file("datat"));
    ASSERT_TRUE(store);
    ASSERT_EQ(store->count(), c.records);
    HistoryRow row;
    ASSERT_TRUE(store->oldest(row));
    EXPECT_EQ(row.Dat, at(c.oldest));
    ASSERT_TRUE(store->newest(row));
    EXPECT_EQ(row.Dat, at(c.newest));

    const std::vector<HistoryRow> rows = store->rowsBetween(at("2000-01-01T00:00:00"), at("2100-01-01T00:00:00"));
    ASSERT_EQ(static_cast<long long>(rows.size()), c.records);
    const qint64 period = rows.size() > 1 ? rows[0].Dat.secsTo(rows[1].Dat) : 0;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const HistoryRow &r = rows[i];
        SCOPED_TRACE(qPrintable(HistoryStore::dateText(r.Dat)));
        if (i > 0) {
            ASSERT_EQ(rows[i - 1].Dat.secsTo(r.Dat), period);
            ASSERT_GE(r.RainCount, rows[i - 1].RainCount) << "the rain counter only counts up";
        }
        ASSERT_EQ(r.DayWeek, r.Dat.date().dayOfWeek());
        ASSERT_TRUE(r.TempDoor > 15 && r.TempDoor < 30 && r.HumDoor >= 20 && r.HumDoor <= 75);
        for (int ch = 0; ch < 4; ++ch)
            ASSERT_TRUE(r.TempCH[ch] > -40 && r.TempCH[ch] < 50 && r.HumCH[ch] > 0 && r.HumCH[ch] <= 100) << ch;
        ASSERT_TRUE(r.TempCH[4] == 0 && r.HumCH[4] == 0) << "channel 5 has no sensor";
        ASSERT_TRUE(r.UV >= 0 && r.UV <= 12);
        ASSERT_TRUE(r.PressLocal >= 985 && r.PressLocal <= 1035);
        ASSERT_TRUE(r.Weather >= 1 && r.Weather <= 6);
        ASSERT_TRUE(r.WindSpeed >= 0 && r.WindSpeed <= r.WindGust && r.WindGust < 100);
        ASSERT_TRUE(r.WindChill <= r.TempCH[0]);
        ASSERT_TRUE(r.WindDirection >= 0 && r.WindDirection <= 15);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Spans, GeneratedHistory,
    testing::Values(
        SpanCase{"HundredthOfAYearHourly", {"--years", "0.01", "--period", "60"}, 87, "2026-06-17T22:00:00",
                 "2026-06-21T12:00:00"},
        SpanCase{"WinterEveningEveryFiveMinutes",
                 {"--years", "0.001", "--period", "5", "--end", "2025-12-31T23:30:00"}, 105, "2025-12-31T14:50:00",
                 "2025-12-31T23:30:00"},
        SpanCase{"HalfAYearDaily", {"--years=0.5", "--period=1440", "--end=2026-01-01"}, 182, "2025-07-04T00:00:00",
                 "2026-01-01T00:00:00"}),
    [](const testing::TestParamInfo<SpanCase> &info) { return std::string(info.param.name); });

TEST_F(Folder, TheSameSeedGivesTheSameHistoryAndAnotherSeedAnother)
{
    const QStringList span = {"--years", "0.002", "--period", "10"};
    for (const char *name : {"a", "b"})
        ASSERT_EQ(runTool(QStringList{"gen-history"} + span + QStringList{file(name)}).exitCode, 0);
    ASSERT_EQ(runTool(QStringList{"gen-history"} + span + QStringList{"--seed", "2", file("c")}).exitCode, 0);
    for (const char *name : {"a", "c"})
        ASSERT_EQ(runTool({"export", "--db", file(name), file(name) + ".csv"}).exitCode, 0);
    const QList<QByteArray> a = csvLines(file("a.csv"));
    EXPECT_EQ(a.size(), 106);
    EXPECT_EQ(a.join('\n') + '\n', runTool({"export", "--db", file("b"), "-"}).out) << "to standard output";
    EXPECT_NE(a, csvLines(file("c.csv")));
}

TEST_F(Folder, AnExistingFileIsReplacedOnlyWhenForced)
{
    const QString target = file("datat");
    QFile f(target);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("a history the user cares about");
    f.close();

    const ToolRun refused = runTool({"gen-history", "--years", "0.001", "--period", "60", target});
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_TRUE(refused.err.contains(QStringLiteral("--force"))) << qPrintable(refused.err);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("a history the user cares about"));
    f.close();

    const ToolRun forced = runTool({"gen-history", "--force", "--years", "0.001", "--period", "60", target});
    ASSERT_EQ(forced.exitCode, 0) << qPrintable(forced.err);
    {
        const auto store = HistoryStore::openForReading(target);
        ASSERT_TRUE(store);
        EXPECT_EQ(store->count(), 8);
    }
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).join(' '), QStringLiteral("datat"))
        << "nothing set aside or left over";
}

TEST_F(Folder, AHistoryIntoAMissingFolderSaysTheFolderIsMissing)
{
    const ToolRun run = runTool({"gen-history", "--years", "0.001", "--period", "60", file("no/such/datat")});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains(QStringLiteral("the folder %1 does not exist").arg(file("no/such"))))
        << qPrintable(run.err);
}

// ---- Bad arguments ----------------------------------------------------------

struct BadCase {
    const char *name;
    QStringList arguments;  // "OUT" stands for the file the command would write
};

class BadArguments : public Folder, public testing::WithParamInterface<BadCase> {};

TEST_P(BadArguments, AreRefusedWithAMessageAndNothingWritten)
{
    // A sound history to export from, so only the arguments are at fault.
    ASSERT_EQ(runTool({"gen-history", "--years", "0.001", "--period", "60", file("datat")}).exitCode, 0);
    QStringList arguments = GetParam().arguments;
    arguments.replaceInStrings(QStringLiteral("OUT"), file("out"));
    const ToolRun run = runTool(arguments, dir.path());
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_FALSE(run.err.trimmed().isEmpty());
    EXPECT_TRUE(run.out.isEmpty());
    EXPECT_FALSE(QFile::exists(file("out")));
}

INSTANTIATE_TEST_SUITE_P(
    Commands, BadArguments,
    testing::Values(
        BadCase{"GenWithoutYears", {"gen-history", "--period", "5", "OUT"}},
        BadCase{"GenWithoutPeriod", {"gen-history", "--years", "1", "OUT"}},
        BadCase{"GenWithoutFile", {"gen-history", "--years", "1", "--period", "5"}},
        BadCase{"GenZeroYears", {"gen-history", "--years", "0", "--period", "5", "OUT"}},
        BadCase{"GenYearsNotANumber", {"gen-history", "--years", "ten", "--period", "5", "OUT"}},
        BadCase{"GenTooShortForOneRecord", {"gen-history", "--years", "0.00001", "--period", "60", "OUT"}},
        BadCase{"GenPeriodZero", {"gen-history", "--years", "1", "--period", "0", "OUT"}},
        BadCase{"GenPeriodOverADay", {"gen-history", "--years", "1", "--period", "1441", "OUT"}},
        BadCase{"GenPeriodFractional", {"gen-history", "--years", "1", "--period", "2.5", "OUT"}},
        BadCase{"GenEndNoRealDate", {"gen-history", "--years", "1", "--period", "5", "--end", "2026-02-30", "OUT"}},
        BadCase{"GenUnknownOption", {"gen-history", "--years", "1", "--period", "5", "--fast", "OUT"}},
        BadCase{"GenTwoFiles", {"gen-history", "--years", "1", "--period", "5", "OUT", "OUT2"}},
        BadCase{"ExportWithoutFile", {"export"}},
        BadCase{"ExportFromWithoutValue", {"export", "OUT", "--from"}},
        BadCase{"ExportFromNotADate", {"export", "--from", "yesterday", "OUT"}},
        BadCase{"ExportToMonth13", {"export", "--to", "2026-13-01", "OUT"}},
        BadCase{"ExportTimeWithoutSeconds", {"export", "--to", "2026-06-21T10:00", "OUT"}},
        BadCase{"ExportFromAfterTo", {"export", "--from", "2026-06-21", "--to", "2026-06-20", "OUT"}},
        BadCase{"ExportUnknownOption", {"export", "--since", "2026-06-21", "OUT"}},
        BadCase{"ExportMissingHistory", {"export", "--db", "no-such-file", "OUT"}}),
    [](const testing::TestParamInfo<BadCase> &info) { return std::string(info.param.name); });

// ---- export -------------------------------------------------------------------

TEST_F(Folder, ExportWritesTheHeaderAndEachRowAsStored)
{
    {
        HistoryStore::Opened opened = HistoryStore::open(file("datat"), QDateTime::currentDateTime());
        ASSERT_TRUE(opened.store);
        Measurement m;
        m.Dat = at("2026-01-05T06:30:00");
        m.DayWeek = 1;
        m.TempDoor = 21.7;
        m.HumDoor = 38;
        m.TempCH[0] = -17.3;
        m.HumCH[0] = 91;
        m.TempCH[1] = 0.1;
        m.HumCH[1] = 80;
        m.TempCH[2] = 0.0;  // a real freezing reading
        m.HumCH[2] = 55;
        m.TempCH[3] = -2.5;
        m.TempCHState[3] = 1;  // too cold: stored as 0
        m.TempCHState[4] = 4;
        m.TempCH[4] = 12.5;  // no sensor: stored as 0
        m.HumCH[4] = 50;
        m.UV = 0.3;
        m.PressLocal = 1003.4375;
        m.Weather = 2;
        m.WindChill = -25.9;
        m.WindGust = 266.0;  // not a reading
        m.WindSpeed = 12.3;
        m.RainCount = 40123;
        m.WindDirection = 15;
        ASSERT_EQ(opened.store->append(m), AppendResult::Appended);
        m.Dat = at("2026-01-05T06:00:00");  // older, stored after
        m.WindGust = 14.1;
        ASSERT_EQ(opened.store->append(m), AppendResult::Appended);
    }
    // The history in the current folder by default. Channels without a
    // reading (4: too cold, 5: no sensor) are empty cells, not 0 °C and 0 %;
    // wind in m/s, direction point 15 as degrees, no rain for the first row.
    const ToolRun run = runTool({"export", "history.csv"}, dir.path());
    ASSERT_EQ(run.exitCode, 0) << qPrintable(run.err);
    EXPECT_EQ(csvLines(file("history.csv")),
              (QList<QByteArray>{kHeader,
                                 "2026-01-05T06:00:00,1,21.7,38,-17.3,91,0.1,80,0,55,,,,,0.3,1003.4375,2,-25.9,6.303,"
                                 "5.499,337.5,,40123,0",
                                 "2026-01-05T06:30:00,1,21.7,38,-17.3,91,0.1,80,0,55,,,,,0.3,1003.4375,2,-25.9,0.000,"
                                 "5.499,337.5,0,40123,0"}));
}

struct ExportRange {
    const char *name;
    QStringList bounds;
    int rows;
    const char *first;
    const char *last;
};

class ExportedRange : public Folder, public testing::WithParamInterface<ExportRange> {};

TEST_P(ExportedRange, FollowsTheStoresBounds)
{
    // Every 30 minutes from 2026-06-20T00:30:00 to 2026-06-22T12:00:00.
    ASSERT_EQ(runTool({"gen-history", "--years", "0.00685", "--period", "30", "--end", "2026-06-22T12:00:00",
                       file("datat")})
                  .exitCode,
              0);
    const ToolRun run = runTool(QStringList{"export", "--db", file("datat")} + GetParam().bounds +
                                QStringList{file("out.csv")});
    ASSERT_EQ(run.exitCode, 0) << qPrintable(run.err);
    const QList<QByteArray> lines = csvLines(file("out.csv"));
    ASSERT_EQ(lines.size(), GetParam().rows + 1);
    ASSERT_EQ(lines.first(), kHeader);
    if (GetParam().rows > 0) {
        EXPECT_TRUE(lines[1].startsWith(GetParam().first)) << lines[1].constData();
        EXPECT_TRUE(lines.last().startsWith(GetParam().last)) << lines.last().constData();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Bounds, ExportedRange,
    testing::Values(
        ExportRange{"Everything", {}, 120, "2026-06-20T00:30:00", "2026-06-22T12:00:00"},
        ExportRange{"TenToElevenTakesElevenNotTen", {"--from", "2026-06-21T10:00:00", "--to", "2026-06-21T11:00:00"}, 2,
                    "2026-06-21T10:30:00", "2026-06-21T11:00:00"},
        ExportRange{"DatesAloneMeanMidnight", {"--from", "2026-06-21", "--to", "2026-06-22"}, 48,
                    "2026-06-21T00:30:00", "2026-06-22T00:00:00"},
        ExportRange{"FromOnly", {"--from", "2026-06-22T11:00:00"}, 2, "2026-06-22T11:30:00", "2026-06-22T12:00:00"},
        ExportRange{"ToOnly", {"--to=2026-06-20T01:00:00"}, 2, "2026-06-20T00:30:00", "2026-06-20T01:00:00"},
        ExportRange{"AfterTheNewest", {"--from", "2026-06-23"}, 0, "", ""}),
    [](const testing::TestParamInfo<ExportRange> &info) { return std::string(info.param.name); });

TEST_F(Folder, ExportWithoutAHistoryInTheFolderSaysSo)
{
    const ToolRun run = runTool({"export", "out.csv"}, dir.path());
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(run.err.contains(QStringLiteral("datat"))) << qPrintable(run.err);
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files).isEmpty()) << "neither a history nor a CSV is created";
}

// A write that fails (here the file size limit, EFBIG) keeps the CSV that
// was there and fails loudly; a FIFO in the CSV's place is not opened.
TEST_F(Folder, AFailedExportKeepsTheOldCsvAndSaysWhy)
{
    ASSERT_EQ(runTool({"gen-history", "--years", "0.05", "--period", "5", file("datat")}).exitCode, 0);
    QFile old(file("out.csv"));
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("the old export\n");
    old.close();

    QProcess limited;
    limited.start(QStringLiteral("bash"), {"-c", "trap '' XFSZ; ulimit -f 128; exec \"$0\" export --db \"$1\" \"$2\"",
                                           QStringLiteral(NIMBREL_TOOL), file("datat"), file("out.csv")});
    ASSERT_TRUE(limited.waitForFinished(60000));
    EXPECT_EQ(limited.exitCode(), 1);
    EXPECT_TRUE(limited.readAllStandardError().contains("write failed"));
    EXPECT_EQ(csvLines(file("out.csv")), QList<QByteArray>{"the old export"});
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).join(' '), QStringLiteral("datat out.csv"));

    ASSERT_EQ(::mkfifo(qPrintable(file("fifo.csv")), 0600), 0);
    const ToolRun run = runTool({"export", "--db", file("datat"), file("fifo.csv")});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains(QStringLiteral("not a regular file"))) << qPrintable(run.err);
    EXPECT_TRUE(QFileInfo(file("fifo.csv")).exists() && !QFileInfo(file("fifo.csv")).isFile());
}

}  // namespace

// ---- restore-cleared ------------------------------------------------------------

// A cleared history comes back into the folder's datat beside what was
// recorded since; a date stored since keeps its stored row; the copy stays.
// Refused while Nimbrel owns the folder, and when there is no copy.
TEST_F(Folder, RestoreClearedMergesTheNewestCopyBack)
{
    auto store = [&](const char *name, std::initializer_list<std::pair<const char *, double>> rows) {
        auto opened = HistoryStore::open(file(name), QDateTime::currentDateTime());
        ASSERT_TRUE(opened.store);
        for (const auto &[date, temperature] : rows) {
            Measurement m;
            m.Dat = at(date);
            m.TempDoor = temperature;
            ASSERT_EQ(opened.store->append(m), AppendResult::Appended);
        }
    };
    store("datat.cleared-20260101-120000", {{"2025-06-01T00:00:00", 1}});  // an older clearing
    store("datat.cleared-20260301-120000",
          {{"2026-02-01T00:00:00", 10}, {"2026-02-02T00:00:00", 11}, {"2026-03-01T12:00:00", 12}});
    store("datat", {{"2026-03-01T12:00:00", 20}, {"2026-03-02T00:00:00", 21}});

    const ToolRun noCopy = runTool({"restore-cleared", "--data-dir", dir.filePath("missing")});
    EXPECT_EQ(noCopy.exitCode, 2) << qPrintable(noCopy.err);
    {
        DataFolderLock owner(dir.path());
        ASSERT_EQ(owner.tryLock(), DataFolderLock::State::Held);
        const ToolRun running = runTool({"restore-cleared", "--data-dir", dir.path()});
        EXPECT_EQ(running.exitCode, 1);
        EXPECT_TRUE(running.err.contains(QStringLiteral("close it first"))) << qPrintable(running.err);
    }

    const ToolRun run = runTool({"restore-cleared", "--data-dir", dir.path()});
    ASSERT_EQ(run.exitCode, 0) << qPrintable(run.err);
    EXPECT_TRUE(run.out.contains("restored 2 records")) << run.out.constData();
    const auto history = HistoryStore::openForReading(file("datat"));
    ASSERT_TRUE(history);
    std::vector<std::pair<QDateTime, double>> rows;
    for (const HistoryRow &r : history->rowsBetween(at("2000-01-01T00:00:00"), at("2100-01-01T00:00:00")))
        rows.emplace_back(r.Dat, r.TempDoor);
    const std::vector<std::pair<QDateTime, double>> expected = {{at("2026-02-01T00:00:00"), 10},
                                                                {at("2026-02-02T00:00:00"), 11},
                                                                {at("2026-03-01T12:00:00"), 20},
                                                                {at("2026-03-02T00:00:00"), 21}};
    EXPECT_EQ(rows, expected);
    EXPECT_TRUE(QFileInfo::exists(file("datat.cleared-20260301-120000")));
}
