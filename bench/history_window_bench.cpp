// The history window at the size of a few days and of ten years at the
// station's shortest period (five minutes, 1,051,920 records): opening it
// (summaries present, and once after an upgrade that has to build them),
// switching the interval, a unit and the channel, and the parts of a switch
// on their own (one read of the charts' points, the rain bars).
//
// Both histories are generated once per run, with the same generator as
// `nimbrel-tool gen-history`, in a temporary folder.
#include "Calibration.h"
#include "HistoryStore.h"
#include "HistorySource.h"
#include "SyntheticHistory.h"
#include "TForm3.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstdio>

using namespace nimbrel;
using namespace nimbrel::history;

namespace {

const QDateTime kEnd(QDate(2026, 6, 21), QTime(12, 0), Qt::UTC);

struct Sized {
    std::int64_t records = 0;
    QString path;
    std::unique_ptr<HistoryStore> store;
};

std::vector<Sized> stores;
QTemporaryDir *folder = nullptr;

Sized &sized(std::int64_t records)
{
    for (Sized &s : stores) {
        if (s.records == records)
            return s;
    }
    Sized s;
    s.records = records;
    s.path = folder->filePath(QStringLiteral("datat-%1").arg(records));
    tool::SyntheticHistory synthetic;
    synthetic.end = kEnd;
    synthetic.records = records;
    // Written, closed, then opened again as the program opens it.
    tool::generatedHistoryFile(s.path, synthetic).reset();
    s.store = HistoryStore::open(s.path, kEnd).store;
    // The summaries exist from the first opening on; measure the openings after it.
    HistorySource(s.store.get()).prepare();
    stores.push_back(std::move(s));
    return stores.back();
}

Measurement readingsOf(const Sized &s)
{
    Measurement m;
    HistoryRow newest;
    if (s.store->newest(newest))
        loadMeasurement(newest, m);
    return m;
}

// A window like the user's: maximised on a 1920 x 1080 screen.
std::unique_ptr<TForm3> openWindow(const Sized &s)
{
    auto form = std::make_unique<TForm3>();
    const HistoryStore *store = s.store.get();
    const Measurement readings = readingsOf(s);
    form->setHistory([store] { return store; });
    form->setReadings([readings] { return readings; });
    form->setFixedSize(1920, 1040);
    form->HistoryTempClick();
    return form;
}

void BM_OpenWindow(benchmark::State &state)
{
    Sized &s = sized(state.range(0));
    for (auto _ : state) {
        auto form = openWindow(s);
        state.SetIterationTime(form->openMs() / 1000.0);
    }
}
BENCHMARK(BM_OpenWindow)->Arg(1000)->Arg(1051920)->UseManualTime()->Unit(benchmark::kMillisecond);

// After an upgrade the history has no summaries: the opening does not wait
// for them, the first switch to "все" builds them, once.
void BM_FirstAllBuildingSummaries(benchmark::State &state)
{
    Sized &s = sized(state.range(0));
    for (auto _ : state) {
        QSqlQuery(s.store->database()).exec(QStringLiteral("DROP TABLE HistorySummary"));
        auto form = openWindow(s);
        QElapsedTimer timer;
        timer.start();
        form->IntervalBox->setCurrentIndex(4);
        form->IntervalBoxChange();
        state.SetIterationTime(static_cast<double>(timer.nsecsElapsed()) / 1e9);
        state.counters["openMs"] = form->openMs();
    }
}
BENCHMARK(BM_FirstAllBuildingSummaries)->Arg(1000)->Arg(1051920)->UseManualTime()->Iterations(1)->Unit(
    benchmark::kMillisecond);

// Each interval item in turn, as --dump-ui reports it.
void BM_IntervalSwitch(benchmark::State &state)
{
    Sized &s = sized(state.range(0));
    auto form = openWindow(s);
    const int item = static_cast<int>(state.range(1));
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        form->IntervalBox->setCurrentIndex(item);
        form->IntervalBoxChange();
        state.SetIterationTime(static_cast<double>(timer.nsecsElapsed()) / 1e9);
        form->IntervalBox->setCurrentIndex(1);
        form->IntervalBoxChange();
    }
    state.SetLabel(intervalItems().at(item).toStdString());
}
BENCHMARK(BM_IntervalSwitch)
    ->ArgsProduct({{1000, 1051920}, {0, 1, 2, 3, 4}})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// A unit (pressure hPa <-> mmHg) and the channel (CH1 <-> CH3) at "все".
void BM_SelectorSwitchAll(benchmark::State &state)
{
    Sized &s = sized(state.range(0));
    auto form = openWindow(s);
    form->IntervalBox->setCurrentIndex(4);
    form->IntervalBoxChange();
    int flip = 0;
    for (auto _ : state) {
        flip ^= 1;
        if (state.range(1) == 0) {
            form->PressureEdBox->setCurrentIndex(flip ? 2 : 0);
            form->PressureEdBoxChange();
        } else {
            form->CH1Box->setCurrentIndex(flip ? 2 : 0);
            form->CH1BoxChange();
        }
    }
    state.SetLabel(state.range(1) == 0 ? "pressure unit" : "channel");
}
BENCHMARK(BM_SelectorSwitchAll)->ArgsProduct({{1000, 1051920}, {0, 1}})->Unit(benchmark::kMillisecond);

// The parts: the points of all seven series for a window, and its rain.
void BM_ReadSeries(benchmark::State &state)
{
    Sized &s = sized(state.range(0));
    HistorySource source(s.store.get());
    source.prepare();
    const PlainSeconds end = windowEndOf(kEnd.date());
    const PlainSeconds start = windowStart(static_cast<Interval>(state.range(1)), end, source.oldest());
    const std::vector<PlotField> fields{pressureField(0),        indoorTemperatureField(0), channelTemperatureField(1, 0),
                                        indoorHumidityField(),   channelHumidityField(1),   windSpeedField(0),
                                        uvField(0)};
    for (auto _ : state)
        benchmark::DoNotOptimize(source.read(start, end, 1850, fields));
    state.SetLabel(intervalItems().at(static_cast<int>(state.range(1))).toStdString());
}
BENCHMARK(BM_ReadSeries)->ArgsProduct({{1051920}, {0, 1, 2, 3, 4}})->Unit(benchmark::kMillisecond);

// The same read with the user's corrections: none, all zero (what a
// [calibration] section of zeros gives) and one of every kind.
void BM_ReadSeriesCalibrated(benchmark::State &state)
{
    Sized &s = sized(state.range(0));
    auto calibration = std::make_shared<Calibration>();
    if (state.range(2) == 2) {
        calibration->indoorTemperature = 0.5;
        calibration->temperature[0] = -0.4;
        calibration->indoorHumidity = 2;
        calibration->humidity[0] = 3;
        calibration->pressure = 1.2;
        calibration->windSpeed = 1.1;
    }
    if (state.range(2) > 0)
        s.store->setCalibration(calibration);
    HistorySource source(s.store.get());
    source.prepare();
    const PlainSeconds end = windowEndOf(kEnd.date());
    const PlainSeconds start = windowStart(static_cast<Interval>(state.range(1)), end, source.oldest());
    const std::vector<PlotField> fields{pressureField(0),        indoorTemperatureField(0), channelTemperatureField(1, 0),
                                        indoorHumidityField(),   channelHumidityField(1),   windSpeedField(0),
                                        uvField(0)};
    for (auto _ : state)
        benchmark::DoNotOptimize(source.read(start, end, 1850, fields));
    s.store->setCalibration(nullptr);
    static const char *const kinds[] = {"none", "all zero", "corrections"};
    state.SetLabel(intervalItems().at(static_cast<int>(state.range(1))).toStdString() + ", " + kinds[state.range(2)]);
}
BENCHMARK(BM_ReadSeriesCalibrated)->ArgsProduct({{1051920}, {0, 1, 4}, {0, 1, 2}})->Unit(benchmark::kMillisecond);

void BM_RainAll(benchmark::State &state)
{
    Sized &s = sized(state.range(0));
    HistorySource source(s.store.get());
    source.prepare();
    const PlainSeconds end = windowEndOf(kEnd.date());
    const PlainSeconds start = windowStart(Interval::All, end, source.oldest());
    for (auto _ : state)
        benchmark::DoNotOptimize(
            aggregateRain(start, end, RainSumPeriod::Day, 0.0271, source.rainSamples(start, end)));
}
BENCHMARK(BM_RainAll)->Arg(1051920)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    folder = &dir;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    stores.clear();
    return 0;
}
