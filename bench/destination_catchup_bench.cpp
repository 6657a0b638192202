// A destination catching up on 10,000 stored records (35 days at five
// minutes) through its outbox: into a real InfluxDB 1.x (Debian's influxd)
// and over MQTT into a real mosquitto, each made from its nimbrel.ini
// section by the factory. Each record is converted as the program converts
// it (rain windows read from the history). Counters:
//
// - catchup_s: from the first hand-out until the cursor reaches the newest
//   record (the goal: at most 10 s);
// - tick_delay_max_ms: the largest lateness of a 10 ms repeating timer on
//   the same thread meanwhile, which stands for the recorder's poll (the
//   goal: at most 50 ms).
//
// A server that is not installed skips its case.
#include "CurrentConditions.h"
#include "Destinations.h"
#include "HistoryStore.h"
#include "Outbox.h"
#include "StationSummary.h"
#include "SyntheticHistory.h"
#include "networks/InfluxLine.h"
#include "support/InfluxServer.h"
#include "support/MqttBroker.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

using namespace nimbrel;

namespace {

constexpr std::int64_t kRecords = 10000;
const QDateTime kEnd(QDate(2026, 12, 7), QTime(12, 0));
QTemporaryDir *folder = nullptr;
std::unique_ptr<HistoryStore> history;

HistoryStore *storedHistory()
{
    if (!history) {
        tool::SyntheticHistory synthetic;
        synthetic.end = kEnd;
        synthetic.records = kRecords;
        history = tool::generatedHistoryFile(folder->filePath(QStringLiteral("datat")), synthetic);
    }
    return history.get();
}

enum Kind { Influx = 0, Mqtt = 1 };
// How a stored row becomes a record: as the program does it (rain windows
// read from the history for every row), or from the row alone, which shows
// the destination's own share.
enum Conversion { AsTheProgram = 0, RowOnly = 1 };

void BM_CatchUp(benchmark::State &state)
{
    const Kind kind = static_cast<Kind>(state.range(0));
    const Conversion conversion = static_cast<Conversion>(state.range(1));
    std::unique_ptr<test::InfluxServer> influx;
    std::unique_ptr<test::Broker> broker;
    if (kind == Influx) {
        if (test::InfluxServer::binary().isEmpty())
            return state.SkipWithError("influxd is not installed");
        influx = std::make_unique<test::InfluxServer>();
        if (!influx->start())
            return state.SkipWithError("influxd did not start");
    } else {
        if (test::Broker::binary().isEmpty())
            return state.SkipWithError("mosquitto is not installed");
        broker = std::make_unique<test::Broker>();
        if (!broker->start())
            return state.SkipWithError("mosquitto did not start");
    }
    HistoryStore *store = storedHistory();
    HistoryRow oldest;
    HistoryRow newest;
    if (!store || !store->newest(newest))
        return state.SkipWithError("no history");
    store->forEachBetween(QDateTime(QDate(1900, 1, 1), QTime(0, 0)), newest.Dat, RowOrder::OldestFirst,
                          [&](const HistoryRow &row) {
                              oldest = row;
                              return false;
                          });

    double slowestTickMs = 0;
    int run = 0;
    for (auto _ : state) {
        QTemporaryDir dataDir;
        PublishSettings settings;
        const QString database = QStringLiteral("nimbrel%1").arg(run);
        if (kind == Influx) {
            influx->query(QStringLiteral("CREATE DATABASE %1").arg(database));
            settings.sections.push_back(
                {QStringLiteral("influxdb"),
                 1,
                 {{QStringLiteral("enabled"), QStringLiteral("true"), 2},
                  {QStringLiteral("url"), influx->url().toString(), 3},
                  {QStringLiteral("database"), database, 4}}});
        } else {
            settings.mqtt.enabled = true;
            settings.mqtt.host = QStringLiteral("127.0.0.1");
            settings.mqtt.port = broker->port;
            settings.mqtt.topicPrefix = QStringLiteral("bench%1").arg(run);
        }
        auto made = makeDestinations(settings, {dataDir.path(), QStringLiteral("bench"), {}});
        if (made.size() != 1)
            return state.SkipWithError("the destination was not made");
        // The cursor just before the oldest record: the whole history is due.
        const QString cursorPath = dataDir.filePath(QStringLiteral("outbox/cursor"));
        QDir().mkpath(dataDir.filePath(QStringLiteral("outbox")));
        QFile cursor(cursorPath);
        cursor.open(QIODevice::WriteOnly);
        cursor.write(HistoryStore::dateText(oldest.Dat.addSecs(-1)).toLatin1() + '\n');
        cursor.close();
        Outbox outbox(std::move(made.front()), cursorPath);
        outbox.setHistory(store, [store, conversion](const HistoryRow &row) {
            Measurement m;
            loadMeasurement(row, m);
            return currentConditions(m, StationSummary{}, conversion == AsTheProgram ? store : nullptr);
        });
        if (!test::waitUntil([&] { return outbox.destination().ready(); }, 30000))
            return state.SkipWithError("the destination never became ready");

        QEventLoop loop;
        QObject::connect(&outbox, &Outbox::statusChanged, &loop, [&] {
            if (outbox.cursor() == newest.Dat)
                loop.quit();
        });
        QTimer net;  // only a stalled machine ends here
        net.setSingleShot(true);
        QObject::connect(&net, &QTimer::timeout, &loop, &QEventLoop::quit);
        QTimer tick;
        QElapsedTimer sinceTick;
        qint64 largestGapNs = 0;
        QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
            largestGapNs = std::max(largestGapNs, sinceTick.nsecsElapsed());
            sinceTick.restart();
        });
        QElapsedTimer clock;
        clock.start();
        tick.start(10);
        sinceTick.start();
        net.start(300000);
        outbox.pump();
        if (outbox.cursor() != newest.Dat)
            loop.exec();
        const double seconds = static_cast<double>(clock.nsecsElapsed()) * 1e-9;
        tick.stop();
        if (outbox.cursor() != newest.Dat)
            return state.SkipWithError("the catch-up did not end");
        state.SetIterationTime(seconds);
        state.counters["catchup_s"] = seconds;
        if (kind == Influx)
            state.counters["points_stored"] = static_cast<double>(influx->count(
                database, QStringLiteral("weather"), QStringLiteral("indoor_temperature_c")));
        ++run;
        slowestTickMs = std::max(slowestTickMs, static_cast<double>(largestGapNs) * 1e-6 - 10.0);
    }
    state.counters["records"] = static_cast<double>(kRecords);
    state.counters["tick_delay_max_ms"] = slowestTickMs;
}
BENCHMARK(BM_CatchUp)
    ->ArgNames({"mqtt", "row_only"})
    ->ArgsProduct({{Influx, Mqtt}, {AsTheProgram, RowOnly}})
    ->Iterations(3)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// One record as an InfluxDB point: the destination's own work per record.
void BM_InfluxLine(benchmark::State &state)
{
    HistoryStore *store = storedHistory();
    HistoryRow row;
    if (!store || !store->newest(row))
        return state.SkipWithError("no history");
    Measurement m;
    loadMeasurement(row, m);
    const CurrentConditions c = currentConditions(m, StationSummary{}, store);
    const InfluxNaming naming{QStringLiteral("weather"), QStringLiteral("home")};
    for (auto _ : state)
        benchmark::DoNotOptimize(influxLine(c, naming));
}
BENCHMARK(BM_InfluxLine)->Unit(benchmark::kMicrosecond);

// A stored row as the program converts it for the destinations.
void BM_ConvertRow(benchmark::State &state)
{
    HistoryStore *store = storedHistory();
    HistoryRow row;
    if (!store || !store->newest(row))
        return state.SkipWithError("no history");
    for (auto _ : state) {
        Measurement m;
        loadMeasurement(row, m);
        benchmark::DoNotOptimize(currentConditions(m, StationSummary{}, state.range(0) ? nullptr : store));
    }
}
BENCHMARK(BM_ConvertRow)->ArgName("row_only")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    folder = &dir;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    history.reset();
    return 0;
}
