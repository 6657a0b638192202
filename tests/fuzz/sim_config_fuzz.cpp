// stationsim.ini as anyone may write it: the input is the file, read by the
// simulated station's own loader, and the station it describes is then built
// and asked for its memory through the block protocol.
#include "FuzzSupport.h"
#include "SimulatedStation.h"

#include <array>

using namespace nimbrel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    fuzz::startQuietQt();
    static fuzz::ScratchFolder folder;
    const QString ini = folder.put(QStringLiteral("stationsim.ini"), data, size);

    std::string error;
    sim::SimConfig config = sim::loadSimConfig(ini.toStdString(), &error);
    NIMBREL_FUZZ_CHECK(config.slots >= 1 && config.slots <= sim::kSlotCount);
    NIMBREL_FUZZ_CHECK(config.periodCode >= 1 && config.periodCode <= 11);

    // The image is only saved after a write, and none is sent here; a saved
    // image must never land where a fuzzed path points.
    config.saveImagePath.clear();
    sim::SimulatedStation station(config);
    station.advanceTo(1.0);
    // The header blocks and the block of the newest slot, as the program reads
    // them first. An image may name a slot past the ring: that is the program's
    // problem to meet, so the address is only kept inside the memory.
    const int newest = (sim::kFirstSlot + station.newestSlotIndex() * sim::kSlotSize) & ~31;
    for (const int address : {0, 224, newest % sim::kMemorySize}) {
        const std::uint8_t lo = static_cast<std::uint8_t>(address & 0xFF);
        const std::uint8_t hi = static_cast<std::uint8_t>(address >> 8);
        const std::uint8_t command[4] = {0xAF, lo, hi, static_cast<std::uint8_t>(0xAF ^ lo ^ hi)};
        station.receive(command, 4);
        std::array<std::uint8_t, 64> answer{};
        NIMBREL_FUZZ_CHECK(station.send(answer.data(), static_cast<int>(answer.size())) <= 34);
    }
    return 0;
}
