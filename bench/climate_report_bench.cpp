// The climate summaries behind `nimbrel-tool report`: a year's and a month's
// daily figures from a history of one year at the station's shortest period
// (five minutes, about 105,000 rows), generated once per run as
// `nimbrel-tool gen-history` writes it. The year should take well under a
// second.
#include "ClimateSummary.h"
#include "HistoryStore.h"
#include "SyntheticHistory.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstdio>

using namespace nimbrel;

namespace {

std::unique_ptr<HistoryStore> history;

void summarise(benchmark::State &state, QDate first, QDate last)
{
    for (auto _ : state) {
        const auto days = dailyClimate(*history, first, last, 18.3);
        if (!days) {
            state.SkipWithError("the history could not be read");
            return;
        }
        benchmark::DoNotOptimize(combineDays(*days));
    }
}

}  // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    QTemporaryDir dir;
    tool::SyntheticHistory h;
    h.end = QDateTime(QDate(2026, 12, 31), QTime(23, 55), Qt::UTC);
    h.periodSeconds = 300;
    h.records = tool::recordsInYears(1, 5);
    history = tool::generatedHistoryFile(dir.filePath(QStringLiteral("datat")), h);
    if (!history)
        return 1;

    benchmark::RegisterBenchmark("Year", [](benchmark::State &s) { summarise(s, QDate(2026, 1, 1), QDate(2026, 12, 31)); })
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("Month", [](benchmark::State &s) { summarise(s, QDate(2026, 6, 1), QDate(2026, 6, 30)); })
        ->Unit(benchmark::kMillisecond);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    history.reset();
    return 0;
}
