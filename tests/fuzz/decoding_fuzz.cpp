// A history slot at any position of any image, and the header of that image.
//
// Input: a 4-byte little-endian position, one flag byte (bit 0: decode the
// header with a user's city; bit 1: the slot is of the year before), then up
// to 9000 image bytes; the rest of the image keeps its 0x30 fill. The image
// lives on the heap with nothing after it, so a read past its end is caught
// by the address sanitizer.
#include "Decoding.h"
#include "FuzzSupport.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

using namespace nimbrel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    fuzz::InputBytes in(data, size);
    const int position = in.int32();
    const std::uint8_t flags = in.byte();
    const bool userCity = (flags & 1) != 0;

    auto image = std::make_unique<StationImage>();
    std::memcpy(image->data(), in.rest(), std::min(in.restSize(), static_cast<std::size_t>(kImageSize)));

    Measurement m;
    const QDateTime before(QDate(2026, 6, 21), QTime(12, 0));
    m.Dat = before;
    // Bit 1: the slot belongs to the year before the station's (a December
    // record read in January).
    const bool accepted = (flags & 2) ? decodeSlot(*image, position, m, stationYear(*image) - 1)
                                      : decodeSlot(*image, position, m);
    // Without the sanitizers (the replay in the ordinary build) a read past
    // the image goes unseen: a slot outside it must be refused.
    if (position < 0 || position > kImageSize - kSlotSize)
        NIMBREL_FUZZ_CHECK(!accepted);
    if (accepted) {
        NIMBREL_FUZZ_CHECK(m.Dat.isValid());
        NIMBREL_FUZZ_CHECK(m.UV >= 0 && m.UV <= 99);
        NIMBREL_FUZZ_CHECK(m.HistoryPeriodMs > 0);
    } else {
        NIMBREL_FUZZ_CHECK(m.Dat == before);
    }

    StationSummary s;
    std::optional<LocationOverride> city;
    if (userCity)
        city = LocationOverride{12, 34, 56, 7, 1, -3.5};
    decodeHeader(*image, m.Dat, s, city);
    NIMBREL_FUZZ_CHECK(std::abs(s.TimeZone) <= 15.5);
    for (double uv : s.UvDailyMax)
        NIMBREL_FUZZ_CHECK(uv >= 0 && uv < 100);
    return 0;
}
