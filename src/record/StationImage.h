// The program's mirror of the station's 8192-byte memory.
//
// The buffer has room past the station's last address (9000 bytes) and starts
// filled with '0' (0x30), so a header that was never read decodes from those
// bytes rather than from uninitialised memory.
#pragma once

#include <array>
#include <cstdint>

namespace nimbrel {

constexpr int kStationMemorySize = 8192;
constexpr int kImageSize = 9000;
constexpr std::uint8_t kImageFill = 0x30;

constexpr int kBlockSize = 32;
constexpr int kBlockCount = kStationMemorySize / kBlockSize;  // 256

constexpr int kHeaderSize = 256;
constexpr int kHeaderCopySize = 255;   // header without the slot index byte
constexpr int kPeriodByte = 254;       // history period code 1..11
constexpr int kSlotIndexByte = 255;    // index of the newest history slot
constexpr int kIndexBlock = 224;       // the block holding bytes 254 and 255

// History ring: 209 slots of 38 bytes from 219; slot 208 starts at 8123 and
// ends at 8160. Slot 0 overlaps the header and is used only while the index
// byte is 0.
constexpr int kFirstSlotPosition = 219;
constexpr int kSlotSize = 38;
constexpr int kSlotCount = 209;
constexpr int kLastSlotPosition = kFirstSlotPosition + (kSlotCount - 1) * kSlotSize;  // 8123

struct StationImage {
    std::array<std::uint8_t, kImageSize> bytes;

    StationImage() { clear(); }
    void clear() { bytes.fill(kImageFill); }

    std::uint8_t &operator[](int i) { return bytes[static_cast<std::size_t>(i)]; }
    std::uint8_t operator[](int i) const { return bytes[static_cast<std::size_t>(i)]; }
    std::uint8_t *data() { return bytes.data(); }
    const std::uint8_t *data() const { return bytes.data(); }

    // Image position of the newest history slot, from the index byte.
    int newestSlotPosition() const { return bytes[kSlotIndexByte] * kSlotSize + kFirstSlotPosition; }
};

}  // namespace nimbrel
