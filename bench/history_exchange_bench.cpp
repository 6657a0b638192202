// Moving ten years of five-minute records (about 1.05 million, as
// `nimbrel-tool gen-history --years 10 --period 5` writes them) out and back
// in: the CSV export, the weewx archive export, and the import of that
// archive and of that CSV into an empty history (goal: under 30 s each).
// The history is generated once per run, in a temporary folder.
#include "HistoryCsv.h"
#include "HistoryImport.h"
#include "HistoryStore.h"
#include "SyntheticHistory.h"
#include "WeewxArchive.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <unistd.h>

using namespace nimbrel;

namespace {

const QDateTime kFirst(QDate(1, 1, 1), QTime(0, 0), Qt::UTC);
const QDateTime kLast(QDate(9999, 12, 31), QTime(23, 59, 59), Qt::UTC);

QString folder;
std::unique_ptr<HistoryStore> history;
long long records = 0;

void exportCsv(benchmark::State &state)
{
    for (auto _ : state) {
        QString why;
        if (!exportHistoryCsv(*history, folder + QStringLiteral("/history.csv"), &why))
            state.SkipWithError(qPrintable(why));
    }
    state.counters["records"] = double(records);
}

void exportArchive(benchmark::State &state)
{
    for (auto _ : state) {
        QString why;
        if (!writeWeewxArchive(*history, kFirst, kLast, 1, folder + QStringLiteral("/archive.sdb"), &why))
            state.SkipWithError(qPrintable(why));
    }
    state.counters["records"] = double(records);
}

void importInto(benchmark::State &state, const QString &source)
{
    int run = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const QString target = QStringLiteral("%1/import-%2").arg(folder).arg(run++);
        HistoryStore::Opened opened = HistoryStore::open(target, QDateTime::currentDateTime());
        state.ResumeTiming();
        const ImportOutcome outcome = importHistory(*opened.store, source, 1, false);
        if (outcome.status != ImportOutcome::Status::Done || outcome.added != records)
            state.SkipWithError(qPrintable(outcome.why));
        state.PauseTiming();
        opened.store.reset();
        for (const char *suffix : {"", "-wal", "-shm"})
            QFile::remove(target + QLatin1String(suffix));
        state.ResumeTiming();
    }
    state.counters["records"] = double(records);
}

void importArchive(benchmark::State &state) { importInto(state, folder + QStringLiteral("/archive.sdb")); }
void importCsv(benchmark::State &state) { importInto(state, folder + QStringLiteral("/history.csv")); }

}  // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    QTemporaryDir temporary;
    if (!temporary.isValid())
        return 1;
    folder = temporary.path();
    tool::SyntheticHistory h;
    h.end = QDateTime(QDate(2026, 6, 21), QTime(12, 0), Qt::UTC);
    h.periodSeconds = 300;
    h.records = tool::recordsInYears(10, 5);
    history = tool::generatedHistoryFile(folder + QStringLiteral("/datat"), h);
    if (!history)
        return 1;
    records = history->count();
    ::sync();

    // In this order: each import reads what an export wrote.
    benchmark::RegisterBenchmark("ExportCsv/TenYears", exportCsv)->Iterations(1)->Unit(benchmark::kSecond);
    benchmark::RegisterBenchmark("ExportArchive/TenYears", exportArchive)->Iterations(1)->Unit(benchmark::kSecond);
    benchmark::RegisterBenchmark("ImportArchive/TenYears", importArchive)->Iterations(1)->Unit(benchmark::kSecond);
    benchmark::RegisterBenchmark("ImportCsv/TenYears", importCsv)->Iterations(1)->Unit(benchmark::kSecond);
    benchmark::RunSpecifiedBenchmarks();
    history.reset();
    benchmark::Shutdown();
    return 0;
}
