#include "MemoryEncoding.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace nimbrel::sim {

namespace {

int tenths(double value) { return static_cast<int>(std::lround(value * 10.0)); }

std::uint8_t byte(int value) { return static_cast<std::uint8_t>(value & 0xFF); }

// The station's tenths-nibble codes for a temperature it could not measure.
int stateNibble(int state)
{
    switch (state) {
    case kTemperatureLow: return 0xC;
    case kTemperatureHigh: return 0xB;
    case kTemperatureError: return 0xA;
    default: return -1;
    }
}

void put(Memory &memory, int at, BytePair bytes)
{
    memory[static_cast<std::size_t>(at)] = bytes[0];
    memory[static_cast<std::size_t>(at + 1)] = bytes[1];
}

void put(Memory &memory, PairAddress at, BytePair bytes)
{
    memory[static_cast<std::size_t>(at.first)] = bytes[0];
    memory[static_cast<std::size_t>(at.second)] = bytes[1];
}

}  // namespace

PairAddress minimumAddress(int sensor)
{
    static constexpr int first[6] = {36, 42, 48, 54, 60, 67};
    const int at = first[std::clamp(sensor, 0, 5)];
    return {at, at + 1};
}

PairAddress maximumAddress(int sensor)
{
    static constexpr PairAddress pairs[6] = {{38, 39}, {44, 45}, {50, 51}, {56, 57}, {62, 64}, {69, 70}};
    return pairs[std::clamp(sensor, 0, 5)];
}

PairAddress pressureHistoryAddress(int index)
{
    index = std::clamp(index, 0, 24);
    if (index < 11) return {100 + 2 * index, 101 + 2 * index};
    if (index == 11) return {122, 124};
    return {125 + 2 * (index - 12), 126 + 2 * (index - 12)};
}

std::uint8_t encodeBcd(int value)
{
    value = std::clamp(value, 0, 159);
    return byte((value / 10) << 4 | value % 10);
}

std::uint8_t encodeReversedBcd(int value)
{
    value = std::clamp(value, 0, 159);
    return byte((value % 10) << 4 | value / 10);
}

std::uint8_t encodeYear(int year) { return encodeBcd(((year % 100) + 100) % 100); }

BytePair encodeTemperaturePair(double celsius, int state, bool sensorHeard)
{
    const int value = tenths(celsius);
    const int magnitude = std::min(std::abs(value), 1599);
    const int units = magnitude / 10 % 10;
    const int tens = magnitude / 100;
    int fraction = magnitude % 10;
    if (const int nibble = stateNibble(state); nibble >= 0) fraction = nibble;
    BytePair pair;
    pair[0] = byte(units << 4 | fraction);
    pair[1] = byte(tens | (value >= 0 ? 0x80 : 0x00) | (sensorHeard ? 0x40 : 0x00));
    return pair;
}

BytePair encodeIndoorTemperature(double celsius, int state)
{
    return encodeTemperaturePair(celsius, state, false);
}

BytePair encodeChannelTemperature(double celsius, int state)
{
    return encodeTemperaturePair(celsius, state, state != kTemperatureNoSensor);
}

BytePair encodeWindChill(double celsius, int state)
{
    if (state == kWindChillInvalid) return {0xEE, 0x4E};
    return encodeTemperaturePair(celsius, kTemperatureOk, state != kWindChillNoSensor);
}

BytePair encodeWind(double mph, int state)
{
    if (state == kWindCodeB) return {0xBB, 0x0B};
    if (state == kWindCodeE) return {0xEE, 0x0E};
    const int value = std::clamp(tenths(mph), 0, 1999);
    return {byte((value / 10 % 10) << 4 | value % 10), byte((value >= 1000 ? 0x10 : 0x00) | value / 100 % 10)};
}

BytePair encodeUv(double index)
{
    const int value = std::clamp(tenths(index), 0, 2559);
    const int whole = value / 10;
    return {byte((whole & 0x0F) << 4 | value % 10), byte(whole >> 4)};
}

BytePair encodePressure(double hPa, bool invalid)
{
    // 0xEFFF sixteenths (3839.9 hPa) is the largest value that does not
    // look like the invalid marker.
    int raw = static_cast<int>(std::lround(std::max(hPa, 0.0) * 16.0));
    raw = std::min(raw, 0xEFFF);
    if (invalid) raw |= 0xF000;
    return encodeLittleEndian(static_cast<unsigned>(raw));
}

std::uint8_t encodeForecast(int code, bool invalid) { return byte(invalid ? 0x0F : (code & 0x07)); }

std::uint8_t encodeRainStateAndDirection(int rainState, int direction)
{
    static constexpr int marks[4] = {0x0, 0xA, 0xD, 0xE};
    return byte(marks[std::clamp(rainState, 0, 3)] << 4 | (direction & 0x0F));
}

BytePair encodeLittleEndian(unsigned value) { return {byte(static_cast<int>(value)), byte(static_cast<int>(value >> 8))}; }

std::array<std::uint8_t, 3> encodeUvDailyPair(double newer, double older)
{
    const int a = std::clamp(tenths(newer), 0, 2559);
    const int b = std::clamp(tenths(older), 0, 2559);
    const int olderWhole = b / 10;
    std::array<std::uint8_t, 3> bytes;
    bytes[2] = byte(a / 10);                                  // newer: whole
    bytes[1] = byte((a % 10) << 4 | olderWhole >> 4);         // newer tenths | older whole, high nibble
    bytes[0] = byte((olderWhole & 0x0F) << 4 | b % 10);       // older whole, low nibble | older tenths
    return bytes;
}

// ---- Records ------------------------------------------------------------------

void writeSlot(Memory &memory, int position, const SlotValues &v)
{
    if (position < 0 || position + kSlotSize > kMemorySize) return;
    std::uint8_t r[kSlotSize] = {};
    r[0] = byte((v.dayOfWeek & 0x0F) << 4 | (v.month & 0x0F));
    r[1] = encodeBcd(v.day);
    r[2] = encodeBcd(v.hour);
    r[3] = encodeBcd(v.minute);
    const BytePair indoor = encodeIndoorTemperature(v.indoor.temperature, v.indoor.state);
    r[4] = indoor[0];
    r[5] = indoor[1];
    r[6] = encodeBcd(v.indoor.humidity);
    // Channel 3 keeps its humidity one byte further on; byte 15 is unused.
    static constexpr int temperatureAt[5] = {7, 10, 13, 17, 20};
    static constexpr int humidityAt[5] = {9, 12, 16, 19, 22};
    for (int c = 0; c < 5; ++c) {
        const SensorValues &channel = v.channels[static_cast<std::size_t>(c)];
        const BytePair t = encodeChannelTemperature(channel.temperature, channel.state);
        r[temperatureAt[c]] = t[0];
        r[temperatureAt[c] + 1] = t[1];
        r[humidityAt[c]] = encodeBcd(channel.humidity);
    }
    const BytePair uv = encodeUv(v.uv);
    r[23] = uv[0];
    r[24] = uv[1];
    const BytePair pressure = encodePressure(v.pressure, v.pressureInvalid);
    r[25] = pressure[0];
    r[26] = pressure[1];
    r[27] = encodeForecast(v.forecast, v.forecastInvalid);
    const BytePair chill = encodeWindChill(v.windChill, v.windChillState);
    r[28] = chill[0];
    r[29] = chill[1];
    const BytePair gust = encodeWind(v.windGust, v.windGustState);
    r[30] = gust[0];
    r[31] = gust[1];
    const BytePair speed = encodeWind(v.windSpeed, v.windSpeedState);
    r[32] = speed[0];
    r[33] = speed[1];
    r[34] = encodeRainStateAndDirection(v.rainState, v.windDirection);
    const BytePair rain = encodeLittleEndian(static_cast<unsigned>(v.rainCounter));
    r[35] = rain[0];
    r[36] = rain[1];
    std::copy(std::begin(r), std::end(r), memory.begin() + position);
}

void writeYear(Memory &memory, int year) { memory[address::kYear] = encodeYear(year); }

void writeLocation(Memory &memory, const Location &l)
{
    memory[address::kLatitudeDegrees] = encodeReversedBcd(l.latitudeDegrees);
    memory[address::kLatitudeMinutes] = encodeReversedBcd(l.latitudeMinutes);
    const bool beyondHundred = l.longitudeDegrees >= 100;
    memory[address::kLongitudeDegrees] = encodeReversedBcd(l.longitudeDegrees % 100);
    memory[address::kLongitudeMinutes] = encodeReversedBcd(l.longitudeMinutes);

    const int halfHours = static_cast<int>(std::lround(std::abs(l.timeZone) * 2.0));
    const int hours = std::min(halfHours / 2, 15);
    const int hemispheres = (l.south ? 2 : 0) | (l.east ? 1 : 0);
    memory[address::kZoneFlags] =
        byte(hemispheres << 6 | (l.timeZone < 0 ? 0x08 : 0x00) | (halfHours % 2 ? 0x03 : 0x00));
    memory[address::kDstAndLong100] = byte((beyondHundred ? 0x10 : 0x00) | (l.dstCode & 0x0F));
    memory[address::kCityHigh] = byte(l.cityCode & 0xF0);
    memory[address::kZoneHoursCityLow] = byte(hours << 4 | (l.cityCode & 0x0F));
}

void writeTemperatureAlarms(Memory &memory, const TemperatureValue &high, const TemperatureValue &low)
{
    put(memory, address::kTempAlarmHigh, encodeIndoorTemperature(high.celsius, high.state));
    put(memory, address::kTempAlarmLow, encodeIndoorTemperature(low.celsius, low.state));
}

void writeExtremes(Memory &memory, int sensor, const TemperatureValue &minimum, const TemperatureValue &maximum)
{
    if (sensor < 0 || sensor > 5) return;
    put(memory, minimumAddress(sensor), encodeIndoorTemperature(minimum.celsius, minimum.state));
    put(memory, maximumAddress(sensor), encodeIndoorTemperature(maximum.celsius, maximum.state));
}

void writeTrends(Memory &memory, const std::array<int, 12> &trends)
{
    for (int b = 0; b < 3; ++b) {
        int packed = 0;
        for (int i = 0; i < 4; ++i) packed |= (trends[static_cast<std::size_t>(4 * b + i)] & 3) << (2 * i);
        memory[static_cast<std::size_t>(address::kTrends + b)] = byte(packed);
    }
}

void writeBatteries(Memory &memory, const std::array<int, 8> &batteries)
{
    int flags = 0;
    for (int i = 0; i < 8; ++i)
        if (batteries[static_cast<std::size_t>(i)]) flags |= 1 << i;
    memory[address::kBatteries] = byte(flags);
}

void writeUvDailyMaxima(Memory &memory, const std::array<double, 8> &maxima)
{
    // Days 0 and 1 in bytes 86..88, days 2 and 3 in 83..85, and so on down.
    for (int pair = 0; pair < 4; ++pair) {
        const auto bytes = encodeUvDailyPair(maxima[static_cast<std::size_t>(2 * pair)],
                                             maxima[static_cast<std::size_t>(2 * pair + 1)]);
        const int low = 86 - 3 * pair;
        std::copy(bytes.begin(), bytes.end(), memory.begin() + low);
    }
}

void writeAltitude(Memory &memory, int metres)
{
    put(memory, address::kAltitude, encodeLittleEndian(static_cast<unsigned>(std::min(std::abs(metres), 0xFFFF))));
    const std::size_t flags = address::kAltitude + 2;
    memory[flags] = byte(metres < 0 ? memory[flags] | 0x08 : memory[flags] & ~0x08);
}

void writePressureHistory(Memory &memory, const std::array<double, 25> &hPa)
{
    for (int i = 0; i < 25; ++i) put(memory, pressureHistoryAddress(i), encodePressure(hPa[static_cast<std::size_t>(i)]));
}

void writeAlarms(Memory &memory, const HeaderValues &v)
{
    memory[address::kAlarmFlags] =
        byte((v.rainAlarmFlag ? 4 : 0) | (v.windSpeedAlarmFlag ? 2 : 0) | (v.windGustAlarmFlag ? 1 : 0));
    put(memory, address::kRainAlarm, encodeLittleEndian(static_cast<unsigned>(std::clamp(v.rainAlarm, 0, 0xFFFF))));
    // Wind limits are 12-bit whole mph: low nibble in the high half of the
    // first byte, the upper eight bits in the second.
    const auto twelveBit = [](int mph) -> BytePair {
        const int value = std::clamp(mph, 0, 0xFFF);
        return {byte((value & 0x0F) << 4), byte(value >> 4)};
    };
    put(memory, address::kWindSpeedAlarm, twelveBit(v.windSpeedAlarm));
    put(memory, address::kWindGustAlarm, twelveBit(v.windGustAlarm));
}

void writeWindMaxima(Memory &memory, const WindValue &speed, const WindValue &gust)
{
    put(memory, address::kWindSpeedMax, encodeWind(speed.mph, speed.state));
    put(memory, address::kWindGustMax, encodeWind(gust.mph, gust.state));
}

void writeRainTotals(Memory &memory, int yesterday, int week, int month)
{
    const auto tips = [](int n) { return encodeLittleEndian(static_cast<unsigned>(std::clamp(n, 0, 0xFFFF))); };
    put(memory, address::kRainYesterday, tips(yesterday));
    put(memory, address::kRainWeek, tips(week));
    put(memory, address::kRainMonth, tips(month));
}

void writeHeader(Memory &memory, const HeaderValues &v)
{
    writeYear(memory, v.year);
    writeLocation(memory, v.location);
    writeTemperatureAlarms(memory, v.temperatureAlarmHigh, v.temperatureAlarmLow);
    for (int s = 0; s < 6; ++s)
        writeExtremes(memory, s, v.minimum[static_cast<std::size_t>(s)], v.maximum[static_cast<std::size_t>(s)]);
    writeTrends(memory, v.trends);
    writeBatteries(memory, v.batteries);
    writeUvDailyMaxima(memory, v.uvDailyMaxima);
    writeAltitude(memory, v.altitude);
    writePressureHistory(memory, v.pressureHistory);
    writeAlarms(memory, v);
    writeWindMaxima(memory, v.windSpeedMax, v.windGustMax);
    writeRainTotals(memory, v.rainYesterday, v.rainWeek, v.rainMonth);
    memory[address::kPeriod] = byte(v.periodCode);
    memory[address::kNewestSlot] = byte(v.newestSlot);
}

}  // namespace nimbrel::sim
