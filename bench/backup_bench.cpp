// A backup of ten years at the station's shortest period (five minutes,
// about 1.05 million rows, as `nimbrel-tool gen-history --years 10
// --period 5` writes) while the recorder polls, i.e. appends a record with
// its commit on disk:
//
// - InRecorderThread: the automatic backup, whose steps share the
//   recorder's thread; a poll due during a step waits for it, so the
//   largest delay of a poll is the longest step plus the append itself
//   (counter max_poll_delay_ms, goal <= 100 ms).
// - BesideTheRecorder: `nimbrel-tool backup`, which copies from connections
//   of its own (here a thread) while the recorder appends; the largest
//   append time (max_poll_delay_ms) shows whether the copy holds the
//   writer up.
#include "FolderBackup.h"
#include "HistoryStore.h"
#include "SyntheticHistory.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <atomic>
#include <benchmark/benchmark.h>
#include <thread>
#include <unistd.h>

using namespace nimbrel;

namespace {

const QDateTime kEnd(QDate(2026, 6, 21), QTime(12, 0), Qt::UTC);
constexpr std::int64_t kPeriod = 300;

QString dataFolder;
std::unique_ptr<HistoryStore> history;
QDateTime nextNew;
int backups = 0;

double appendMs()
{
    HistoryRow row;
    row.Dat = nextNew;
    nextNew = nextNew.addSecs(kPeriod);
    QElapsedTimer t;
    t.start();
    history->appendRow(row);
    return t.nsecsElapsed() / 1e6;
}

QString newTarget()
{
    return QDir(dataFolder).filePath(QStringLiteral("../backup-%1").arg(++backups));
}

void inRecorderThread(benchmark::State &state)
{
    double worst = 0;
    double longestStep = 0;
    int longestAt = 0;
    int steps = 0;
    for (auto _ : state) {
        FolderBackup backup(dataFolder, newTarget(), kEnd);
        for (;;) {
            QElapsedTimer t;
            t.start();
            const FolderBackup::Step s = backup.step();
            const double stepMs = t.nsecsElapsed() / 1e6;
            ++steps;
            if (stepMs > longestStep) {
                longestStep = stepMs;
                longestAt = steps;
            }
            if (s == FolderBackup::Step::Failed) {
                state.SkipWithError(qPrintable(backup.error()));
                return;
            }
            // A poll due during the step starts after it.
            worst = std::max(worst, stepMs + appendMs());
            if (s == FolderBackup::Step::Done)
                break;
        }
    }
    state.counters["max_poll_delay_ms"] = worst;
    state.counters["steps"] = steps;
    state.counters["longest_step_ms"] = longestStep;
    state.counters["longest_step_no"] = longestAt;
}

void besideTheRecorder(benchmark::State &state)
{
    double worst = 0;
    int appends = 0;
    for (auto _ : state) {
        std::atomic<bool> done{false};
        bool ok = false;
        QString error;
        const QString target = newTarget();
        std::thread copier([&] {
            FolderBackup backup(dataFolder, target, kEnd);
            ok = backup.runToEnd();
            error = backup.error();
            done = true;
        });
        while (!done) {
            worst = std::max(worst, appendMs());
            ++appends;
        }
        copier.join();
        if (!ok) {
            state.SkipWithError(qPrintable(error));
            return;
        }
    }
    state.counters["max_poll_delay_ms"] = worst;
    state.counters["appends"] = appends;
}

}  // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    QTemporaryDir root;
    if (!root.isValid() || !QDir().mkpath(root.filePath(QStringLiteral("data"))))
        return 1;
    dataFolder = root.filePath(QStringLiteral("data"));
    tool::SyntheticHistory h;
    h.end = kEnd;
    h.periodSeconds = kPeriod;
    h.records = tool::recordsInYears(10, 5);
    history = tool::generatedHistoryFile(QDir(dataFolder).filePath(QStringLiteral("datat")), h);
    if (!history)
        return 1;
    nextNew = kEnd.addSecs(kPeriod);
    ::sync();
    benchmark::RegisterBenchmark("BackupTenYears/InRecorderThread", inRecorderThread)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(1);
    benchmark::RegisterBenchmark("BackupTenYears/BesideTheRecorder", besideTheRecorder)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(1);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    history.reset();
    return 0;
}
