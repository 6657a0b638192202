// How the station stores its readings and settings in its 8192-byte memory.
//
// The base unit packs everything in nibbles: most numbers are decimal digits
// (BCD, and in the settings area "reversed" BCD with the tens in the low
// nibble), temperatures carry a sign bit and a "sensor heard" bit in the byte
// holding the tens digit, and special nibble values stand for readings the
// station could not take (0xC below range, 0xB above range, 0xA error; wind
// codes 0xBBB and 0xEEE). The functions here produce those bytes from plain
// values, including every special state, so a test or tool can build any
// memory content the program may meet.
//
// Values are rounded to the station's resolution (0.1 for temperatures, wind
// and UV, 1/16 hPa for pressure) and clamped to what the bytes can hold.
#pragma once

#include "SimulatedStation.h"

#include <array>
#include <cstdint>

namespace nimbrel::sim {

using Memory = std::array<std::uint8_t, kMemorySize>;
using BytePair = std::array<std::uint8_t, 2>;  // in memory order: first byte at the lower address

// ---- Header addresses -------------------------------------------------------
namespace address {
constexpr int kYear = 4;
constexpr int kLatitudeDegrees = 6;
constexpr int kLatitudeMinutes = 7;
constexpr int kLongitudeDegrees = 8;
constexpr int kLongitudeMinutes = 9;
constexpr int kZoneFlags = 10;    // hemispheres, half-hour and negative time zone bits
constexpr int kDstAndLong100 = 11;
constexpr int kCityHigh = 12;
constexpr int kZoneHoursCityLow = 13;
constexpr int kTempAlarmHigh = 31;
constexpr int kTempAlarmLow = 33;
constexpr int kTrends = 73;       // 73..75
constexpr int kBatteries = 76;
constexpr int kUvDailyMaxima = 77;  // 77..88
constexpr int kAltitude = 90;     // 90..92
constexpr int kAlarmFlags = 160;
constexpr int kRainAlarm = 161;
constexpr int kWindSpeedAlarm = 164;
constexpr int kWindGustAlarm = 167;
constexpr int kWindSpeedMax = 170;
constexpr int kWindGustMax = 172;
constexpr int kRainYesterday = 174;
constexpr int kRainWeek = 176;
constexpr int kRainMonth = 178;
constexpr int kPeriod = 254;
constexpr int kNewestSlot = 255;
}  // namespace address

// Addresses of the low and high byte of a minimum or maximum (sensor 0 is
// indoor, 1..5 the channels). Channel 4's maximum skips byte 63.
struct PairAddress {
    int first;
    int second;
};
PairAddress minimumAddress(int sensor);
PairAddress maximumAddress(int sensor);

// Low and high byte of hourly pressure i (0 = now, 24 = a day ago). The
// station leaves byte 123 out, so value 11 is split over bytes 122 and 124.
PairAddress pressureHistoryAddress(int index);

constexpr int slotPosition(int index) { return kFirstSlot + kSlotSize * index; }

// ---- Single values ----------------------------------------------------------

// 0..159: tens in the high nibble (hex digits A..F stand for 10..15 tens).
std::uint8_t encodeBcd(int value);
// 0..159: tens in the low nibble, units in the high nibble.
std::uint8_t encodeReversedBcd(int value);
// Two-digit year of the station clock, tens digit high: 2026 -> 0x26.
std::uint8_t encodeYear(int year);

// Temperature states as the station signals them in the tenths nibble.
enum TemperatureState {
    kTemperatureOk = 0,
    kTemperatureLow = 1,      // tenths nibble 0xC: below the sensor's range
    kTemperatureHigh = 2,     // 0xB: above the range
    kTemperatureError = 3,    // 0xA: no valid reading
    kTemperatureNoSensor = 4, // remote channels only: bit 6 of the second byte clear
};

// The signed pair: first byte units/tenths, second byte tens in the low
// nibble, bit 7 set for zero and above, bit 6 set while a remote sensor is
// heard (the indoor sensor and header values leave it clear). Magnitudes up
// to 159.9. States 1..3 replace the tenths nibble; other state values are
// written as 0.
BytePair encodeTemperaturePair(double celsius, int state = kTemperatureOk, bool sensorHeard = false);
// Indoor sensor and header values: states 0..3, bit 6 clear.
BytePair encodeIndoorTemperature(double celsius, int state = kTemperatureOk);
// Remote channel: states 0..4; bit 6 set except for state 4.
BytePair encodeChannelTemperature(double celsius, int state = kTemperatureOk);

// Wind chill states: 0 valid, 1 wind or temperature sensor not heard (bit 6
// clear), 4 not computable (13-bit code 0xEEE).
enum WindChillState { kWindChillOk = 0, kWindChillNoSensor = 1, kWindChillInvalid = 4 };
BytePair encodeWindChill(double celsius, int state = kWindChillOk);

// Wind states: 0 valid, 1 code 0xBBB, 2 code 0xEEE.
enum WindState { kWindOk = 0, kWindCodeB = 1, kWindCodeE = 2 };
// Speed in mph, 0..199.9: hundreds in bit 4 of the second byte, tens in
// its low nibble, units and tenths in the first byte.
BytePair encodeWind(double mph, int state = kWindOk);

// UV index 0..255.9: whole part binary over the second byte's low nibble and
// the first byte's high nibble, tenths in the first byte's low nibble.
BytePair encodeUv(double index);

// Pressure in sixteenths of a hectopascal, little-endian. An invalid reading
// has high nibble 15 in the second byte (the value then carries no meaning).
BytePair encodePressure(double hPa, bool invalid = false);

// Forecast code 0..7 in the low bits; an unavailable forecast has low nibble 15.
std::uint8_t encodeForecast(int code, bool invalid = false);

// Rain states: 0 valid, 1..3 the station's marks (high nibble 0xA, 0xD, 0xE).
std::uint8_t encodeRainStateAndDirection(int rainState, int direction);

BytePair encodeLittleEndian(unsigned value);

// Two daily UV maxima sharing three bytes. The station alternates two forms:
// the newer day as a whole byte plus a tenths nibble, the older one as a
// whole byte split over two nibbles plus tenths. Returns the bytes in memory
// order (lowest address first).
std::array<std::uint8_t, 3> encodeUvDailyPair(double newer, double older);

// ---- Whole records ----------------------------------------------------------

struct SensorValues {
    double temperature = 0;  // degrees C
    int state = kTemperatureOk;
    int humidity = 0;        // %
};

// One history record. The year is not in the slot: the station stores only
// its current year, in header byte 4.
struct SlotValues {
    int dayOfWeek = 1;  // 1 = Monday ... 7 = Sunday
    int month = 1;      // 0 leaves the slot looking unused
    int day = 1;
    int hour = 0;
    int minute = 0;
    SensorValues indoor;                  // states 0..3
    std::array<SensorValues, 5> channels; // states 0..4
    double uv = 0;
    double pressure = 1013.25;  // hPa, at the station's altitude
    bool pressureInvalid = false;
    int forecast = 5;
    bool forecastInvalid = false;
    double windChill = 0;  // degrees C
    int windChillState = kWindChillOk;
    double windGust = 0;   // mph
    int windGustState = kWindOk;
    double windSpeed = 0;  // mph
    int windSpeedState = kWindOk;
    int rainState = 0;
    int windDirection = 0;  // 0..15, N clockwise in 22.5 degree steps
    int rainCounter = 0;    // bucket tips since the station was reset, 16 bits
};

struct TemperatureValue {
    double celsius = 0;
    int state = kTemperatureOk;  // 0..3
};

struct WindValue {
    double mph = 0;
    int state = kWindOk;
};

struct Location {
    int latitudeDegrees = 0;
    int latitudeMinutes = 0;
    bool south = false;
    int longitudeDegrees = 0;  // 0..179
    int longitudeMinutes = 0;
    bool east = true;
    double timeZone = 0;  // hours, whole or half, -15.5..15.5
    int dstCode = 0;      // 0..15
    int cityCode = 0;     // 0..255
};

struct HeaderValues {
    int year = 2026;
    Location location;
    TemperatureValue temperatureAlarmHigh;
    TemperatureValue temperatureAlarmLow;
    std::array<TemperatureValue, 6> minimum;  // 0 indoor, 1..5 channels
    std::array<TemperatureValue, 6> maximum;
    // 0 none, 1 falling, 2 rising, 3 steady: indoor temperature, indoor
    // humidity, then temperature and humidity of channels 1..5.
    std::array<int, 12> trends{};
    // 1 full, 0 low: channels 1..5, UV sensor, wind sensor, rain gauge.
    std::array<int, 8> batteries{1, 1, 1, 1, 1, 1, 1, 1};
    std::array<double, 8> uvDailyMaxima{};  // 0 today, 7 a week ago
    int altitude = 0;                       // metres, -65535..65535
    std::array<double, 25> pressureHistory{};  // hPa, 0 now, then hourly back
    // Alarm switches, one per bell: 0 armed, 1 off.
    int rainAlarmFlag = 1;
    int windSpeedAlarmFlag = 1;
    int windGustAlarmFlag = 1;
    int rainAlarm = 0;       // bucket tips
    int windSpeedAlarm = 0;  // mph, 0..4095
    int windGustAlarm = 0;   // mph, 0..4095
    WindValue windSpeedMax;
    WindValue windGustMax;
    int rainYesterday = 0;  // bucket tips
    int rainWeek = 0;
    int rainMonth = 0;
    int periodCode = 1;  // 1..11, 1 = 5 minutes
    int newestSlot = 0;  // 0..208
};

// Writes the 38 bytes of a history record at position (219 + 38 k for slot
// k). Slot 0 overlaps header bytes 219..256; its rain counter lands on bytes
// 254 and 255, which the station then sets again. A position whose record
// would not fit in memory is ignored.
void writeSlot(Memory &memory, int position, const SlotValues &values);

// Writes every header field the program reads, plus bytes 254 and 255.
// Bytes the station uses for nothing the program reads are left alone.
void writeHeader(Memory &memory, const HeaderValues &values);

// The header fields one by one, for a station that updates its header as it
// records without disturbing settings the program has written back.
void writeYear(Memory &memory, int year);
void writeLocation(Memory &memory, const Location &location);
void writeTemperatureAlarms(Memory &memory, const TemperatureValue &high, const TemperatureValue &low);
void writeExtremes(Memory &memory, int sensor, const TemperatureValue &minimum, const TemperatureValue &maximum);
void writeTrends(Memory &memory, const std::array<int, 12> &trends);
void writeBatteries(Memory &memory, const std::array<int, 8> &batteries);
void writeUvDailyMaxima(Memory &memory, const std::array<double, 8> &maxima);
void writeAltitude(Memory &memory, int metres);
void writePressureHistory(Memory &memory, const std::array<double, 25> &hPa);
void writeAlarms(Memory &memory, const HeaderValues &values);  // bytes 160..168
void writeWindMaxima(Memory &memory, const WindValue &speed, const WindValue &gust);
void writeRainTotals(Memory &memory, int yesterday, int week, int month);

}  // namespace nimbrel::sim
