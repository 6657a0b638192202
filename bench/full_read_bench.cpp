// The program's own cost of a full read: all 256 blocks of the station's
// memory and every slot of the ring decoded, against a simulated station that
// answers at once. Any real link is slower; the program must never be the
// limit.
#include "Acquisition.h"
#include "Decoding.h"
#include "support/SimLink.h"

#include <QCoreApplication>
#include <QTimer>
#include <benchmark/benchmark.h>

using namespace nimbrel;

namespace {

struct DecodingHost : AcquisitionHost {
    StationImage *image = nullptr;
    Measurement m;
    StationSummary s;
    int slots = 0;
    void showStage(ReadStage) override {}
    void setProgress(int) override {}
    void repaintWindow() override {}
    void showStoredData() override {}
    void saveHeaderCopy() override {}
    bool takeOverSlot(int p) override
    {
        slots += decodeSlot(*image, p, m) ? 1 : 0;
        QCoreApplication::processEvents();
        return true;
    }
    bool takeOverNewest(int p) override
    {
        decodeHeader(*image, m.Dat, s);
        return decodeSlot(*image, p, m);
    }
    void newRecordTaken() override {}
};

void BM_FullRead(benchmark::State &state)
{
    test::SimLink link;
    LinkApi api = link.api();
    USBHandle device = api.open(nullptr, kStationVendorId, kStationProductId, 2048, 2048, 0);
    StationImage image;
    QTimer readTimeout, writeTimeout, poll;
    readTimeout.setInterval(10000);
    writeTimeout.setInterval(10000);
    // The program pumps events after every byte copied: measured as it runs.
    StationExchange exchange(image, &readTimeout, &writeTimeout, [] { QCoreApplication::processEvents(); });
    exchange.setLink(&api, device);
    DecodingHost host;
    host.image = &image;
    Acquisition acquisition(host, image, exchange, &poll);
    acquisition.connected = true;

    for (auto _ : state) {
        host.slots = 0;
        if (acquisition.fullRead() != FullReadResult::Completed)
            state.SkipWithError("full read failed");
        benchmark::DoNotOptimize(host.m);
    }
    state.counters["blocks"] = 256 + 1 + 8 + 2;
    state.counters["slots"] = host.slots;
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
