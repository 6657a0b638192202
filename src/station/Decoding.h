// Turns the station memory image into records: a history slot into a
// Measurement, the header into a StationSummary. Plain functions of the image
// and a position; nothing here touches a window, a file or the clock.
#pragma once

#include "Measurement.h"
#include "StationImage.h"
#include "StationSummary.h"

#include <cstdint>
#include <optional>

namespace nimbrel {

// Digit conventions of the station's memory.
inline int lowNibble(std::uint8_t b) { return b & 0x0F; }
inline int highNibble(std::uint8_t b) { return b >> 4; }
// Binary-coded decimal, tens in the high nibble.
inline int bcd(std::uint8_t b) { return highNibble(b) * 10 + lowNibble(b); }
// The header's settings keep the tens in the low nibble.
inline int reversedBcd(std::uint8_t b) { return lowNibble(b) * 10 + highNibble(b); }

struct TemperatureReading {
    double value = 0;
    std::uint16_t state = 0;  // 0 reading, 1 low, 2 high, 3 error
};

// A signed temperature in two bytes a, b: tens in b's low nibble, units and
// tenths in a; bit 7 of b set means positive. A tenths nibble above 9 is a
// state code: 0xC low, 0xB high, anything else an error.
TemperatureReading decodeTemperature(std::uint8_t a, std::uint8_t b);

struct WindReading {
    double value = 0;          // mph, 0..199.9
    std::uint16_t state = 0;   // 0 reading, 1 code 0xBBB, 2 code 0xEEE
    int code = 0;              // the 13-bit raw code
};

WindReading decodeWind(std::uint8_t a, std::uint8_t b);

// Milliseconds of a history period code 1..11; 0 for any other code.
std::int32_t historyPeriodMs(int code);

// Decodes the slot at position into m. The slot's year comes from header
// byte 4. False when the slot's date does not exist (a 31st of a 30-day
// month, hour 24, minute 60) or the slot does not lie wholly inside the
// image; m is then left as it was. A slot whose month,
// day, hour or minute is outside its range keeps m's previous date and is
// still decoded: unused slots thus repeat the previous slot's date.
bool decodeSlot(const StationImage &image, int position, Measurement &m);
// The same with the slot's year given: a record written in December and read
// in January belongs to the year before the station's current one.
bool decodeSlot(const StationImage &image, int position, Measurement &m, int year);

// The station's current year, header byte 4 in binary-coded decimal (0x26 is
// 2026). The slots carry no year of their own.
int stationYear(const StationImage &image);

// A location from the user's choice of city, which replaces the station's.
struct LocationOverride {
    int LatMin = 0;
    int LatSec = 0;
    int LongMin = 0;
    int LongSec = 0;
    int Hemispheres = 0;
    double TimeZone = 0;
};

// Decodes the header into s; recordTime is the Dat of the record decoded
// with it. Never fails.
void decodeHeader(const StationImage &image, const QDateTime &recordTime, StationSummary &s,
                  const std::optional<LocationOverride> &userCity = std::nullopt);

}  // namespace nimbrel
