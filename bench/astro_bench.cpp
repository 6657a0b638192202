// Everything the sun-and-moon box computes for one refresh (sunrise, sunset,
// moonrise, moonset, the phase and the Earth picture), for a place where
// both bodies rise and set, one in polar day, and the Moon's monthly day
// without a rise. Target: under 1 ms each.
#include "SkyLabels.h"

#include <benchmark/benchmark.h>

using namespace nimbrel::astro;

namespace {

void refresh(benchmark::State &state, Location location, CalendarMoment clock)
{
    for (auto _ : state) {
        SkyLabels labels = skyLabels(location, clock, clock);
        benchmark::DoNotOptimize(labels);
    }
}

}  // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    const struct {
        const char *name;
        Location location;
        CalendarMoment clock;
    } cases[] = {
        {"SkyLabels/Moscow", {55, 45, 37, 37, 1, 3, 8}, {2024, 6, 21, 12, 0, 0}},
        {"SkyLabels/MurmanskPolarDay", {68, 58, 33, 5, 1, 3, 8}, {2024, 6, 21, 12, 0, 0}},
        {"SkyLabels/NewYorkNoMoonrise", {40, 43, 74, 0, 0, -5, 14}, {2024, 1, 2, 12, 0, 0}},
    };
    for (const auto &c : cases) {
        benchmark::RegisterBenchmark(c.name, [c](benchmark::State &state) { refresh(state, c.location, c.clock); })
            ->Unit(benchmark::kMicrosecond);
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
