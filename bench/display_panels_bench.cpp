// What one refresh of the pressure, temperature and wind panels costs, with
// the wind chart's week read from a history of 1,000 rows and of ten years
// at five minutes (1,051,920 rows). The week is the newest one, as at every
// poll.
#include "HistoryStore.h"
#include "PressureView.h"
#include "SyntheticHistory.h"
#include "TemperatureView.h"
#include "WindView.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstdio>

using namespace nimbrel;

namespace {

const QDateTime kEnd(QDate(2026, 6, 21), QTime(12, 0), Qt::UTC);

std::unique_ptr<HistoryStore> generate(const QString &path, std::int64_t records)
{
    tool::SyntheticHistory h;
    h.end = kEnd;
    h.periodSeconds = 300;
    h.records = records;
    return tool::generatedHistoryFile(path, h);
}

void windChart(benchmark::State &state, const HistoryStore *store)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(windSpeedChart(store, kEnd, 0));
}

void threePanels(benchmark::State &state, const HistoryStore *store)
{
    Measurement m;
    m.Dat = kEnd;
    StationSummary s;
    UnitChoices units;
    units.temperature = 1;
    units.pressure = 2;
    for (auto _ : state) {
        benchmark::DoNotOptimize(pressureView(m, s, units));
        benchmark::DoNotOptimize(temperatureView(m, s, units));
        benchmark::DoNotOptimize(windView(m, s, store, units));
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
    std::vector<std::pair<std::int64_t, std::unique_ptr<HistoryStore>>> stores;
    for (std::int64_t records : {std::int64_t{1000}, tool::recordsInYears(10, 5)}) {
        auto store = generate(folder.filePath(QStringLiteral("datat-%1").arg(records)), records);
        if (!store) {
            std::fprintf(stderr, "generating %lld rows failed\n", static_cast<long long>(records));
            return 1;
        }
        stores.emplace_back(records, std::move(store));
    }
    for (const auto &[records, store] : stores) {
        const HistoryStore *s = store.get();
        const std::string rows = "/rows:" + std::to_string(records);
        benchmark::RegisterBenchmark(("WindChart" + rows).c_str(), [s](benchmark::State &st) { windChart(st, s); })
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("ThreePanels" + rows).c_str(), [s](benchmark::State &st) { threePanels(st, s); })
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
