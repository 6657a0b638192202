// The program's own cost of a full read: all 256 blocks of the station's
// memory and every slot of the ring decoded, against a simulated station that
// answers at once. Any real link is slower; the program must never be the
// limit.
#include "Recorder.h"
#include "support/SimLink.h"

#include <QCoreApplication>
#include <QTimer>
#include <benchmark/benchmark.h>

using namespace nimbrel;

namespace {

// The recorder as the program runs it, without a history file (decoding and
// the ring walk are measured, storing has its own benchmark).
void BM_FullRead(benchmark::State &state)
{
    test::SimLink link;
    LinkApi api = link.api();
    USBHandle device = api.open(nullptr, kStationVendorId, kStationProductId, 2048, 2048, 0);
    Recorder recorder;
    recorder.setLink(&api, device);
    recorder.linkCheck();

    int slots = 0;
    for (auto _ : state) {
        const int before = recorder.slotsTakenOver();
        if (recorder.fullRead() != FullReadResult::Completed)
            state.SkipWithError("full read failed");
        slots = recorder.slotsTakenOver() - before;
        benchmark::DoNotOptimize(recorder.measurement());
    }
    state.counters["blocks"] = static_cast<double>(link.readAddresses().size()) / static_cast<double>(state.iterations());
    state.counters["slots"] = slots;
}
BENCHMARK(BM_FullRead)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
