// The history store at the size of a few days and of ten years at the
// station's shortest period (five minutes, about 1.05 million rows): what a
// poll costs (append a new record, each commit on disk; append a record
// already stored), what start-up without a station costs (load the newest
// row, open the file after a clean shut-down and after a crash) and what a chart costs (one day's rows from the middle).
//
// Both stores are generated once per run, with the same generator as
// `nimbrel-tool gen-history`, in a temporary folder.
#include "HistoryStore.h"
#include "SyntheticHistory.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <unistd.h>

using namespace nimbrel;

namespace {

const QDateTime kEnd(QDate(2026, 6, 21), QTime(12, 0), Qt::UTC);
constexpr std::int64_t kPeriod = 300;

struct SizedStore {
    std::int64_t records = 0;
    QString path;
    std::unique_ptr<HistoryStore> store;
    QDateTime nextNew;   // after the newest row, moves on with each new append
    QDateTime middle;    // a stored date in the middle of the history
    QDateTime dayStart;  // a day in the middle: (dayStart, dayStart + 1 day] holds 288 rows
};

std::vector<SizedStore> stores;

Measurement record(const QDateTime &when)
{
    Measurement m;
    m.Dat = when;
    m.DayWeek = static_cast<std::uint16_t>(when.date().dayOfWeek());
    m.TempDoor = 22.4;
    m.HumDoor = 44;
    for (int c = 0; c < kChannelCount; ++c) {
        m.TempCH[c] = 12.5 + c;
        m.HumCH[c] = 70 - c;
    }
    m.TempCHState[4] = 4;
    m.UV = 2.1;
    m.PressLocal = 1011.5625;
    m.Weather = 5;
    m.WindChill = 12.5;
    m.WindGust = 9.8;
    m.WindSpeed = 6.1;
    m.RainCount = 2048;
    m.WindDirection = 9;
    return m;
}

bool prepare(SizedStore &s, const QString &folder)
{
    s.path = QStringLiteral("%1/datat-%2").arg(folder).arg(s.records);
    tool::SyntheticHistory h;
    h.end = kEnd;
    h.periodSeconds = kPeriod;
    h.records = s.records;
    QElapsedTimer timer;
    timer.start();
    s.store = tool::generatedHistoryFile(s.path, h);
    if (!s.store)
        return false;
    std::fprintf(stderr, "%lld rows generated in %.1f s\n", s.store->count(), timer.elapsed() / 1000.0);
    s.nextNew = kEnd.addSecs(kPeriod);
    const std::int64_t half = s.records / 2;
    s.middle = kEnd.addSecs(-half * kPeriod);
    s.dayStart = QDateTime(s.middle.date(), QTime(0, 0), Qt::UTC);
    return true;
}

void appendNew(benchmark::State &state, SizedStore &s)
{
    for (auto _ : state) {
        const Measurement m = record(s.nextNew);
        s.nextNew = s.nextNew.addSecs(kPeriod);
        if (s.store->append(m) != AppendResult::Appended) {
            state.SkipWithError("append failed");
            break;
        }
    }
    // Back to the size being measured, untimed.
    QSqlQuery q(s.store->database());
    q.exec(QStringLiteral("DELETE FROM MainSet WHERE Dat > '%1'").arg(HistoryStore::dateText(kEnd)));
    s.nextNew = kEnd.addSecs(kPeriod);
}

void appendNewSynchronousNormal(benchmark::State &state, SizedStore &s)
{
    // Only for comparison: the store itself always runs with FULL.
    QSqlQuery q(s.store->database());
    q.exec(QStringLiteral("PRAGMA synchronous = NORMAL"));
    appendNew(state, s);
    q.exec(QStringLiteral("PRAGMA synchronous = FULL"));
}

void appendDuplicate(benchmark::State &state, SizedStore &s)
{
    const Measurement m = record(s.middle);
    for (auto _ : state) {
        if (s.store->append(m) != AppendResult::Duplicate) {
            state.SkipWithError("the record was not recognised as stored");
            break;
        }
    }
}

void loadNewest(benchmark::State &state, SizedStore &s)
{
    Measurement m;
    HistoryRow row;
    for (auto _ : state) {
        if (!s.store->newest(row)) {
            state.SkipWithError("no newest row");
            break;
        }
        loadMeasurement(row, m);
        benchmark::DoNotOptimize(m);
    }
}

void oneDayRange(benchmark::State &state, SizedStore &s)
{
    const QDateTime dayEnd = s.dayStart.addDays(1);
    for (auto _ : state) {
        const std::vector<HistoryRow> rows = s.store->rowsBetween(s.dayStart, dayEnd);
        if (rows.size() != 288) {
            state.SkipWithError("the day does not hold 288 rows");
            break;
        }
        benchmark::DoNotOptimize(rows.data());
    }
}

// Opening at start-up after a clean shut-down: no connection holds the file,
// so its journal is gone and only the header and the schema are checked.
void openAtStartUp(benchmark::State &state, SizedStore &s)
{
    s.store.reset();
    for (auto _ : state) {
        HistoryStore::Opened opened = HistoryStore::open(s.path, QDateTime::currentDateTime());
        if (!opened.store || opened.problem != TableProblem::None) {
            state.SkipWithError("the store did not open cleanly");
            break;
        }
        state.PauseTiming();
        opened.store.reset();
        state.ResumeTiming();
    }
    s.store = HistoryStore::open(s.path, QDateTime::currentDateTime()).store;
}

// Opening while the journal is beside the file, as after a crash (here the
// bench's own connection keeps it): the whole file is checked.
void openWithTheJournalLeft(benchmark::State &state, SizedStore &s)
{
    // One append puts pages into the journal, as a running program does.
    s.store->append(record(s.nextNew));
    s.nextNew = s.nextNew.addSecs(kPeriod);
    for (auto _ : state) {
        HistoryStore::Opened opened = HistoryStore::open(s.path, QDateTime::currentDateTime());
        if (!opened.store || opened.problem != TableProblem::None) {
            state.SkipWithError("the store did not open cleanly");
            break;
        }
    }
}

}  // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;

    QTemporaryDir folder;
    if (!folder.isValid())
        return 1;
    stores.resize(2);
    stores[0].records = 1000;
    stores[1].records = tool::recordsInYears(10, 5);
    for (SizedStore &s : stores)
        if (!prepare(s, folder.path()))
            return 1;
    // Let the system write the generated files out first, or the first
    // commits measured wait behind it.
    ::sync();

    using Body = void (*)(benchmark::State &, SizedStore &);
    const std::pair<const char *, Body> benches[] = {
        {"AppendNew", appendNew},
        {"AppendNewSynchronousNormal", appendNewSynchronousNormal},
        {"AppendDuplicate", appendDuplicate},
        {"LoadNewest", loadNewest},
        {"OneDayRange", oneDayRange},
        {"OpenAtStartUp", openAtStartUp},
        {"OpenWithTheJournalLeft", openWithTheJournalLeft},
    };
    for (const auto &[name, body] : benches) {
        for (SizedStore &s : stores) {
            auto *b = benchmark::RegisterBenchmark((std::string(name) + "/rows:" + std::to_string(s.records)).c_str(),
                                                   [body, &s](benchmark::State &state) { body(state, s); });
            b->Unit(benchmark::kMicrosecond);
            if (body == openAtStartUp || body == openWithTheJournalLeft)
                b->Iterations(3);
        }
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    for (SizedStore &s : stores)
        s.store.reset();
    return 0;
}
