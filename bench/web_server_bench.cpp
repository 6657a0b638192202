// The web interface at the size of 1,000 records and of ten years at the
// station's shortest period (five minutes, 1,051,920 records):
//
// - one /api/history request over the whole ten years against one over a
//   day of the small history (the goal: at most twice as long, under
//   100 ms), measured as the time the request held the server's thread and,
//   separately, without HTTP;
// - 2,000 requests, 50 at a time, against the ten-year history: the slowest
//   request's time on the server's thread (the goal: one frame, 16 ms) and
//   the process's memory before and after;
// - reading a browser's request head (the goal: under 20 us, so that even
//   a flood of requests at the connection cap costs the thread little).
//
// Histories are generated once per run with the generator of
// `nimbrel-tool gen-history`, in a temporary folder.
#include "CurrentConditions.h"
#include "HistoryQuery.h"
#include "HistoryStore.h"
#include "HttpRequestParser.h"
#include "StationSummary.h"
#include "SyntheticHistory.h"
#include "WebServer.h"
#include "support/LoopbackHttp.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QUrlQuery>
#include <benchmark/benchmark.h>

using namespace nimbrel;
using namespace nimbrel::web;

namespace {

const QDateTime kEnd(QDate(2026, 6, 21), QTime(12, 0), Qt::UTC);
constexpr std::int64_t kSmall = 1000;
constexpr std::int64_t kTenYears = 1051920;
const QByteArray kOneDay = "/api/history?from=2026-06-20T12:00:00&to=2026-06-21T12:00:00";
const QByteArray kEverything = "/api/history?from=1900-01-01";

struct Served {
    std::unique_ptr<HistoryStore> store;
    std::unique_ptr<WebServer> server;
};
std::map<std::int64_t, Served> served;
QTemporaryDir *folder = nullptr;

Served &servedWith(std::int64_t records)
{
    auto found = served.find(records);
    if (found != served.end())
        return found->second;
    Served s;
    const QString path = folder->filePath(QStringLiteral("datat-%1").arg(records));
    tool::SyntheticHistory synthetic;
    synthetic.end = kEnd;
    synthetic.records = records;
    tool::generatedHistoryFile(path, synthetic).reset();
    s.store = HistoryStore::open(path, kEnd).store;
    WebSettings settings;
    settings.port = 0;
    s.server = std::make_unique<WebServer>(settings, s.store.get());
    QString why;
    if (!s.server->start(&why))
        std::fprintf(stderr, "%s\n", qPrintable(why));
    HistoryRow row;
    Measurement m;
    if (s.store->newest(row))
        loadMeasurement(row, m);
    WebSnapshot snapshot;
    snapshot.hasConditions = true;
    snapshot.conditions = currentConditions(m, StationSummary{}, s.store.get());
    s.server->update(snapshot);
    return served.emplace(records, std::move(s)).first->second;
}

// Seconds the server's thread spent on one request to `target`.
double handlingSeconds(Served &s, const QByteArray &target, qint64 *bytes = nullptr)
{
    const qint64 before = s.server->stats().totalNs;
    const testing::HttpAnswer a = testing::fetch(s.server->port(), "GET", target);
    if (bytes)
        *bytes = a.body.size();
    return static_cast<double>(s.server->stats().totalNs - before) * 1e-9;
}

void BM_HistoryRequest(benchmark::State &state)
{
    const bool tenYears = state.range(0) == kTenYears;
    Served &s = servedWith(state.range(0));
    const QByteArray target = tenYears ? kEverything : kOneDay;
    qint64 bytes = 0;
    for (auto _ : state)
        state.SetIterationTime(handlingSeconds(s, target, &bytes));
    state.counters["bytes"] = static_cast<double>(bytes);
    if (tenYears) {
        // Against the day of the small history, measured the same way now.
        Served &small = servedWith(kSmall);
        double day = 0;
        double all = 0;
        constexpr int kRounds = 20;
        for (int i = 0; i < kRounds; ++i) {
            day += handlingSeconds(small, kOneDay);
            all += handlingSeconds(s, target);
        }
        state.counters["ratio_to_one_day"] = all / day;
    }
}
BENCHMARK(BM_HistoryRequest)->Arg(kSmall)->Arg(kTenYears)->UseManualTime()->Unit(benchmark::kMillisecond);

// The same reading without HTTP: the summaries, the reduction and the JSON.
void BM_HistoryAnswer(benchmark::State &state)
{
    Served &s = servedWith(state.range(0));
    HistoryQuery query(s.store.get());
    query.prepare();
    const QUrlQuery q(QUrl(QString::fromLatin1(state.range(0) == kTenYears ? kEverything : kOneDay)).query());
    for (auto _ : state)
        benchmark::DoNotOptimize(query.answer(q, UnitChoices{}));
}
BENCHMARK(BM_HistoryAnswer)->Arg(kSmall)->Arg(kTenYears)->Unit(benchmark::kMillisecond);

double memoryMb(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(qstrlen(field)).trimmed().split(' ').value(0).toDouble() / 1024.0;
    }
    return 0;
}

// What pages and scripts ask for.
const QByteArray kTargets[] = {"/api/current", kOneDay, kEverything, "/api/display", "/",
                               "/api/history?from=2026-05-21&units=display"};

// Each of them alone against ten years, as the time it held the thread.
void BM_Endpoint(benchmark::State &state)
{
    Served &s = servedWith(kTenYears);
    const QByteArray &target = kTargets[state.range(0)];
    state.SetLabel(target.toStdString());
    for (auto _ : state)
        state.SetIterationTime(handlingSeconds(s, target));
}
BENCHMARK(BM_Endpoint)->DenseRange(0, 5)->UseManualTime()->Unit(benchmark::kMillisecond);

// The head a desktop browser sends for /api/current, arriving in one piece.
void BM_RequestHead(benchmark::State &state)
{
    const QByteArray head =
        "GET /api/current HTTP/1.1\r\nHost: 192.168.1.20:8377\r\nConnection: keep-alive\r\n"
        "User-Agent: Mozilla/5.0 (X11; Linux x86_64) AppleWebKit/537.36 (KHTML, like Gecko) Chrome/120.0 Safari/537.36\r\n"
        "Accept: */*\r\nReferer: http://192.168.1.20:8377/\r\nAccept-Encoding: gzip, deflate\r\n"
        "Accept-Language: de-DE,de;q=0.9,en;q=0.8\r\n\r\n";
    HttpRequestParser parser;
    for (auto _ : state) {
        parser.reset();
        benchmark::DoNotOptimize(parser.feed(head.constData(), head.size()));
        if (parser.state() != HttpRequestParser::State::Complete)
            state.SkipWithError("the head was not read");
    }
    state.SetBytesProcessed(state.iterations() * head.size());
}
BENCHMARK(BM_RequestHead)->Unit(benchmark::kMicrosecond);

// 2,000 requests, 50 at a time, over the same mix.
void BM_Load(benchmark::State &state)
{
    Served &s = servedWith(kTenYears);
    const auto &targets = kTargets;
    const double before = memoryMb("VmRSS:");
    int answered = 0;
    WebServer::Stats start;
    WebServer::Stats end;
    for (auto _ : state) {
        s.server->resetStats();
        start = s.server->stats();
        answered = testing::loadRun(s.server->port(), 2000, 50, [&](int i) { return targets[i % std::size(targets)]; });
        end = s.server->stats();
    }
    state.counters["answered"] = answered;
    state.counters["slowest_ms"] = static_cast<double>(end.slowestNs) * 1e-6;
    state.counters["slowest_cpu_ms"] = static_cast<double>(end.slowestCpuNs) * 1e-6;
    state.counters["over_16ms"] = static_cast<double>(end.overOneFrame - start.overOneFrame);
    state.counters["mean_ms"] = static_cast<double>(end.totalNs - start.totalNs) * 1e-6 / 2000;
    state.counters["rss_before_MB"] = before;
    state.counters["rss_after_MB"] = memoryMb("VmRSS:");
    state.counters["rss_peak_MB"] = memoryMb("VmHWM:");
}
BENCHMARK(BM_Load)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    folder = &dir;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    served.clear();
    return 0;
}
