// What the history keeps so that the engine's reads per record stay cheap,
// at the size of a few days and of ten years at the station's shortest
// period (five minutes, 1,051,920 rows): the kept extremes against the full
// scan of every row they replace, what a poll's append costs with them kept,
// and the one-off upgrade of a file written before they were kept. The
// engine's reads per record themselves are measured with the display
// refresh (refresh_display_bench).
//
// Both stores are generated once per run, with the same generator as
// `nimbrel-tool gen-history`, in a temporary folder.
#include "HistoryAggregates.h"
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
    QDateTime nextNew;  // after the newest row, moves on with each new append
};

std::vector<SizedStore> stores;

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
    return true;
}

void keptExtremes(benchmark::State &state, SizedStore &s)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(recordedExtremes(*s.store).PressLocalMin.value);
}

// What keeping the extremes replaces: a scan of every row.
void scanExtremes(benchmark::State &state, SizedStore &s)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(scanRecordedExtremes(*s.store).PressLocalMin.value);
}

// Back to the size being measured, untimed. Rows appended here may have set
// an extreme; those are then rebuilt from what stays.
void removeAppended(SizedStore &s)
{
    QSqlQuery q(s.store->database());
    q.exec(QStringLiteral("DELETE FROM MainSet WHERE Dat > '%1'").arg(HistoryStore::dateText(kEnd)));
    s.nextNew = kEnd.addSecs(kPeriod);
    const RecordedExtremes e = recordedExtremes(*s.store);
    for (const Extreme *x : {&e.TempDoorMax, &e.TempDoorMin, &e.TempCHMax[0], &e.TempCHMin[0], &e.TempCHMax[1],
                             &e.TempCHMin[1], &e.TempCHMax[2], &e.TempCHMin[2], &e.TempCHMax[3], &e.TempCHMin[3],
                             &e.TempCHMax[4], &e.TempCHMin[4], &e.WindSpeedMax, &e.WindGustMax, &e.PressLocalMax,
                             &e.PressLocalMin}) {
        if (x->Dat > kEnd) {
            rebuildRecordedExtremes(*s.store);
            return;
        }
    }
}

// A poll: one new record, its commit on disk, the extremes kept by the same
// statement.
void appendNew(benchmark::State &state, SizedStore &s)
{
    const sim::WeatherGenerator weather(3);
    for (auto _ : state) {
        const Measurement m = tool::syntheticMeasurement(weather, s.nextNew.toSecsSinceEpoch(), 2048);
        s.nextNew = s.nextNew.addSecs(kPeriod);
        if (s.store->append(m) != AppendResult::Appended) {
            state.SkipWithError("append failed");
            break;
        }
    }
    removeAppended(s);
}

// The same inside one transaction, so the disk's flush does not hide the
// work of the append itself; with and without the extremes' trigger.
void appendInBatch(benchmark::State &state, SizedStore &s, bool keepExtremes)
{
    QSqlQuery q(s.store->database());
    if (!keepExtremes)
        q.exec(QStringLiteral("DROP TRIGGER MainSetKeepExtremes"));
    {
        HistoryStore::Batch batch(*s.store);
        appendNew(state, s);
    }
    if (!keepExtremes) {
        QSqlDatabase db = s.store->database();
        QString why;
        prepareHistoryAggregates(db, why);
    }
}

// Once per file: opening a history written before the extremes were kept
// builds them (and the rain-mark index) in place.
void upgradeFromSchemaOne(benchmark::State &state, SizedStore &s)
{
    for (auto _ : state) {
        state.PauseTiming();
        {
            QSqlQuery q(s.store->database());
            for (const char *sql : {"DROP TRIGGER MainSetKeepExtremes", "DROP TABLE Extremes",
                                    "DROP INDEX MainSetRainMarks", "PRAGMA user_version = 1"})
                q.exec(QString::fromLatin1(sql));
        }
        s.store.reset();
        state.ResumeTiming();
        HistoryStore::Opened opened = HistoryStore::open(s.path, QDateTime::currentDateTime());
        if (!opened.store || !opened.setAside.isEmpty()) {
            state.SkipWithError("the old file was not upgraded in place");
            break;
        }
        s.store = std::move(opened.store);
    }
}

// Opening a file of the current schema, for comparison.
void openCurrent(benchmark::State &state, SizedStore &s)
{
    for (auto _ : state) {
        HistoryStore::Opened opened = HistoryStore::open(s.path, QDateTime::currentDateTime());
        benchmark::DoNotOptimize(opened.store.get());
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
    ::sync();

    using Body = std::function<void(benchmark::State &, SizedStore &)>;
    const std::pair<const char *, Body> benches[] = {
        {"KeptExtremes", keptExtremes},
        {"ScanExtremes", scanExtremes},
        {"AppendNew", appendNew},
        {"AppendInBatch", [](benchmark::State &st, SizedStore &s) { appendInBatch(st, s, true); }},
        {"AppendInBatchWithoutExtremes", [](benchmark::State &st, SizedStore &s) { appendInBatch(st, s, false); }},
        {"Open", openCurrent},
        {"UpgradeFromSchemaOne", upgradeFromSchemaOne},
    };
    for (const auto &[name, body] : benches) {
        for (SizedStore &s : stores) {
            auto *b = benchmark::RegisterBenchmark((std::string(name) + "/rows:" + std::to_string(s.records)).c_str(),
                                                   [body, &s](benchmark::State &state) { body(state, s); });
            b->Unit(benchmark::kMicrosecond);
            const std::string n = name;
            if (n == "ScanExtremes" || n == "Open" || n == "UpgradeFromSchemaOne")
                b->Iterations(s.records > 100000 ? 2 : 20);
        }
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    for (SizedStore &s : stores)
        s.store.reset();
    return 0;
}
