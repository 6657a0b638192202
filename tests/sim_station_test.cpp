// The simulated station: its memory encodings checked against hand-worked
// bytes and an independent reading of the memory map, the block protocol,
// injected faults, the schedule of records, jumps and cable events, the
// stationsim.ini reader and the seven exported operations of libUSB.so.
#include "MemoryEncoding.h"
#include "SimulatedStation.h"
#include "StationClock.h"
#include "usblink.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <iterator>
#include <thread>
#include <filesystem>
#include <fstream>
#include <vector>

using namespace nimbrel::sim;

namespace {

// ---- The memory map read the way the program reads it -----------------------

int bcd(std::uint8_t b) { return (b >> 4) * 10 + (b & 0x0F); }
int reversedBcd(std::uint8_t b) { return (b & 0x0F) * 10 + (b >> 4); }
int le16(std::uint8_t lo, std::uint8_t hi) { return lo | hi << 8; }

struct Reading {
    double value;
    int state;
};

// Signed pair; channels add the bit-6 "no sensor" state before the tenths states.
Reading temperature(std::uint8_t a, std::uint8_t b, bool channel = false)
{
    double magnitude = (b & 0x0F) * 10 + (a >> 4) + (a & 0x0F) * 0.1;
    int state = channel && !(b & 0x40) ? 4 : 0;
    if ((a & 0x0F) > 9) state = (a & 0x0F) == 0xC ? 1 : (a & 0x0F) == 0xB ? 2 : 3;
    return {(b & 0x80) ? magnitude : -magnitude, state};
}

Reading windChill(std::uint8_t a, std::uint8_t b)
{
    int state = (b & 0x40) ? 0 : 1;
    if (((b & 0x1F) << 8 | a) == 0xEEE) state = 4;
    return {temperature(a, b).value, state};
}

Reading wind(std::uint8_t a, std::uint8_t b)
{
    const int code = (b & 0x1F) << 8 | a;
    return {((b >> 4) & 1) * 100 + (b & 0x0F) * 10 + (a >> 4) + (a & 0x0F) * 0.1,
            code == 0xBBB ? 1 : code == 0xEEE ? 2 : 0};
}

double uv(std::uint8_t r23, std::uint8_t r24) { return ((r24 & 0x0F) * 16 + (r23 >> 4)) + (r23 & 0x0F) * 0.1; }

double uvDaily(const Memory &m, int entry)
{
    const int top = 88 - 3 * (entry / 2);
    if (entry % 2 == 0) return m[top] + (m[top - 1] >> 4) * 0.1;
    return ((m[top - 1] & 0x0F) * 16 + (m[top - 2] >> 4)) + (m[top - 2] & 0x0F) * 0.1;
}

const std::uint8_t *slotAt(const Memory &m, int index) { return m.data() + slotPosition(index); }

// Minutes since 1970 of a slot's date, with the year from header byte 4
// (tens in the high nibble); -1 for a slot whose month nibble is 0.
std::int64_t slotMinutes(const Memory &m, int index)
{
    const std::uint8_t *r = slotAt(m, index);
    if ((r[0] & 0x0F) == 0) return -1;
    const StationTime t{2000 + bcd(m[4]), r[0] & 0x0F, bcd(r[1]), bcd(r[2]), bcd(r[3]), 0};
    return toSeconds(t) / 60;
}

int rainCounter(const Memory &m, int index) { return le16(slotAt(m, index)[35], slotAt(m, index)[36]); }

std::vector<std::uint8_t> readCommand(int address)
{
    const auto lo = static_cast<std::uint8_t>(address & 0xFF);
    const auto hi = static_cast<std::uint8_t>(address >> 8);
    return {0xAF, lo, hi, static_cast<std::uint8_t>(0xAF ^ lo ^ hi)};
}

std::vector<std::uint8_t> writeFrame(int address, std::uint8_t fill, bool goodCheck = true)
{
    std::vector<std::uint8_t> frame{0xAE, static_cast<std::uint8_t>(address & 0xFF), static_cast<std::uint8_t>(address >> 8)};
    std::uint8_t check = frame[0] ^ frame[1] ^ frame[2];
    for (int i = 0; i < 32; ++i) {
        frame.push_back(static_cast<std::uint8_t>(fill + i));
        check ^= frame.back();
    }
    frame.push_back(goodCheck ? check : static_cast<std::uint8_t>(check ^ 1));
    frame.push_back(0x00);
    return frame;
}

std::vector<std::uint8_t> ask(SimulatedStation &station, int address)
{
    const auto command = readCommand(address);
    station.receive(command.data(), static_cast<int>(command.size()));
    std::vector<std::uint8_t> answer(static_cast<std::size_t>(station.waiting()));
    station.send(answer.data(), static_cast<int>(answer.size()));
    return answer;
}

std::vector<std::uint8_t> expectedAnswer(const SimulatedStation &station, int address)
{
    std::vector<std::uint8_t> answer{0x5A};
    std::uint8_t check = 0x5A;
    for (int i = 0; i < 32; ++i) {
        answer.push_back(station.memory()[static_cast<std::size_t>((address + i) % kMemorySize)]);
        check ^= answer.back();
    }
    answer.push_back(check);
    return answer;
}

std::string fileText(const std::filesystem::path &path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

SimConfig smallRing(int slots)
{
    SimConfig config;
    config.slots = slots;
    return config;
}

struct TempDir {
    TempDir() : path(std::filesystem::temp_directory_path() / ("stationsim-" + std::to_string(::getpid()) + "-" + std::to_string(counter++)))
    {
        std::filesystem::create_directories(path);
    }
    ~TempDir() { std::filesystem::remove_all(path); }
    std::string write(const std::string &name, const std::string &text) const
    {
        std::ofstream(path / name, std::ios::binary) << text;
        return (path / name).string();
    }
    std::filesystem::path path;
    static inline int counter = 0;
};

}  // namespace

// ---- Encoders -------------------------------------------------------------------

TEST(Encoding, TemperaturePairsMatchHandWorkedBytes)
{
    struct Case {
        double celsius;
        int state;
        bool heard;
        std::uint8_t a, b;
    } cases[] = {
        {25.3, kTemperatureOk, false, 0x53, 0x82},  {-25.3, kTemperatureOk, false, 0x53, 0x02},
        {0.0, kTemperatureOk, false, 0x00, 0x80},   {-0.1, kTemperatureOk, false, 0x01, 0x00},
        {105.5, kTemperatureOk, false, 0x55, 0x8A}, {25.3, kTemperatureLow, false, 0x5C, 0x82},
        {25.3, kTemperatureHigh, false, 0x5B, 0x82}, {25.3, kTemperatureError, false, 0x5A, 0x82},
        {25.3, kTemperatureOk, true, 0x53, 0xC2},   {-5.0, kTemperatureOk, true, 0x50, 0x40},
    };
    for (const Case &c : cases) {
        const BytePair pair = encodeTemperaturePair(c.celsius, c.state, c.heard);
        EXPECT_EQ(pair[0], c.a) << c.celsius << " state " << c.state;
        EXPECT_EQ(pair[1], c.b) << c.celsius << " state " << c.state;
    }
}

TEST(Encoding, TemperaturesRoundTripThroughTheDecodingRules)
{
    for (int tenths = -500; tenths <= 800; tenths += 7) {
        const double celsius = tenths / 10.0;
        for (int state = 0; state <= 4; ++state) {
            const BytePair ch = encodeChannelTemperature(celsius, state);
            const Reading channel = temperature(ch[0], ch[1], true);
            EXPECT_EQ(channel.state, state) << celsius;
            if (state == kTemperatureOk || state == kTemperatureNoSensor) {
                EXPECT_NEAR(channel.value, celsius, 1e-9);
            }
            if (state == 4) continue;
            const BytePair in = encodeIndoorTemperature(celsius, state);
            EXPECT_EQ(temperature(in[0], in[1]).state, state) << celsius;
            if (state == 0) {
                EXPECT_NEAR(temperature(in[0], in[1]).value, celsius, 1e-9);
            }
        }
    }
}

TEST(Encoding, WindChillStates)
{
    struct Case {
        int state;
        int expected;
    } cases[] = {{kWindChillOk, 0}, {kWindChillNoSensor, 1}, {kWindChillInvalid, 4}};
    for (const Case &c : cases) {
        const BytePair pair = encodeWindChill(-12.4, c.state);
        const Reading r = windChill(pair[0], pair[1]);
        EXPECT_EQ(r.state, c.expected);
        if (c.expected != 4) {
            EXPECT_NEAR(r.value, -12.4, 1e-9);
        }
    }
}

TEST(Encoding, WindTriples)
{
    struct Case {
        double mph;
        int state;
        std::uint8_t a, b;
        double decoded;
    } cases[] = {
        {0.0, kWindOk, 0x00, 0x00, 0.0},      {12.3, kWindOk, 0x23, 0x01, 12.3},
        {99.9, kWindOk, 0x99, 0x09, 99.9},    {123.4, kWindOk, 0x34, 0x12, 123.4},
        {199.9, kWindOk, 0x99, 0x19, 199.9},  {250.0, kWindOk, 0x99, 0x19, 199.9},
        {7.0, kWindCodeB, 0xBB, 0x0B, -1},     {7.0, kWindCodeE, 0xEE, 0x0E, -1},
    };
    for (const Case &c : cases) {
        const BytePair pair = encodeWind(c.mph, c.state);
        EXPECT_EQ(pair[0], c.a) << c.mph;
        EXPECT_EQ(pair[1], c.b) << c.mph;
        const Reading r = wind(pair[0], pair[1]);
        EXPECT_EQ(r.state, c.state);
        if (c.state == kWindOk) {
            EXPECT_NEAR(r.value, c.decoded, 1e-9);
        }
    }
}

TEST(Encoding, SingleBytes)
{
    struct Case {
        const char *what;
        std::uint8_t got, expected;
    } cases[] = {
        {"bcd 47", encodeBcd(47), 0x47},
        {"bcd 0", encodeBcd(0), 0x00},
        {"bcd 100", encodeBcd(100), 0xA0},
        {"reversed 55", encodeReversedBcd(55), 0x55},
        {"reversed 45", encodeReversedBcd(45), 0x54},
        {"reversed 37", encodeReversedBcd(37), 0x73},
        {"reversed 9", encodeReversedBcd(9), 0x90},
        {"year 2026", encodeYear(2026), 0x26},
        {"year 2009", encodeYear(2009), 0x09},
        {"year 2000", encodeYear(2000), 0x00},
        {"year 2099", encodeYear(2099), 0x99},
        {"forecast 3", encodeForecast(3), 0x03},
        {"forecast invalid", encodeForecast(6, true), 0x0F},
        {"rain ok, NNW", encodeRainStateAndDirection(0, 15), 0x0F},
        {"rain mark 1", encodeRainStateAndDirection(1, 4), 0xA4},
        {"rain mark 2", encodeRainStateAndDirection(2, 0), 0xD0},
        {"rain mark 3", encodeRainStateAndDirection(3, 8), 0xE8},
    };
    for (const Case &c : cases) EXPECT_EQ(c.got, c.expected) << c.what;
}

TEST(Encoding, UvAndPressurePairs)
{
    struct Case {
        const char *what;
        BytePair got;
        std::uint8_t lo, hi;
    } cases[] = {
        {"uv 2.5", encodeUv(2.5), 0x25, 0x00},
        {"uv 11.5", encodeUv(11.5), 0xB5, 0x00},
        {"uv 16.0", encodeUv(16.0), 0x00, 0x01},
        {"uv 113.5", encodeUv(113.5), 0x15, 0x07},
        {"1013.25 hPa", encodePressure(1013.25), 0x54, 0x3F},
        {"1000 hPa", encodePressure(1000.0), 0x80, 0x3E},
        {"invalid pressure", encodePressure(1000.0, true), 0x80, 0xFE},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(c.got[0], c.lo) << c.what;
        EXPECT_EQ(c.got[1], c.hi) << c.what;
    }
    EXPECT_NEAR(uv(encodeUv(2.5)[0], encodeUv(2.5)[1]), 2.5, 1e-9);
    EXPECT_NEAR(uv(encodeUv(113.5)[0], encodeUv(113.5)[1]), 113.5, 1e-9);
}

TEST(Encoding, DailyUvMaximaAlternateForms)
{
    Memory m{};
    writeUvDailyMaxima(m, {5.3, 12.7, 0.0, 9.9, 99.9, 16.1, 3.0, 31.4});
    EXPECT_EQ(m[88], 0x05);  // 5 + 0.3
    EXPECT_EQ(m[87], 0x30);  // tenths 3 | 12 >> 4
    EXPECT_EQ(m[86], 0xC7);  // 12 & 15 | tenths 7
    const double expected[8] = {5.3, 12.7, 0.0, 9.9, 99.9, 16.1, 3.0, 31.4};
    for (int i = 0; i < 8; ++i) EXPECT_NEAR(uvDaily(m, i), expected[i], 1e-9) << "entry " << i;
}

// ---- Header and slot layout ---------------------------------------------------------

TEST(Layout, LocationBytes)
{
    struct Case {
        Location location;
        std::array<std::uint8_t, 8> bytes;  // header bytes 6..13
    } cases[] = {
        {{55, 45, false, 37, 37, true, 3, 0, 0x3A}, {0x55, 0x54, 0x73, 0x73, 0x40, 0x00, 0x30, 0x3A}},
        {{33, 52, true, 151, 12, true, 10, 3, 0x91}, {0x33, 0x25, 0x15, 0x21, 0xC0, 0x13, 0x90, 0xA1}},
        {{47, 34, false, 52, 43, false, -3.5, 2, 0x07}, {0x74, 0x43, 0x25, 0x34, 0x0B, 0x02, 0x00, 0x37}},
    };
    for (const Case &c : cases) {
        Memory m{};
        writeLocation(m, c.location);
        for (int i = 0; i < 8; ++i) EXPECT_EQ(m[static_cast<std::size_t>(6 + i)], c.bytes[static_cast<std::size_t>(i)]) << "byte " << 6 + i;
        const int longitude = reversedBcd(m[8]) + ((m[11] & 0x10) ? 100 : 0);
        EXPECT_EQ(reversedBcd(m[6]), c.location.latitudeDegrees);
        EXPECT_EQ(reversedBcd(m[7]), c.location.latitudeMinutes);
        EXPECT_EQ(longitude, c.location.longitudeDegrees);
        EXPECT_EQ(reversedBcd(m[9]), c.location.longitudeMinutes);
        double zone = (m[13] >> 4) + ((m[10] & 3) == 3 ? 0.5 : 0.0);
        if (m[10] & 0x08) zone = -zone;
        EXPECT_EQ(zone, c.location.timeZone);
        EXPECT_EQ((m[12] & 0xF0) | (m[13] & 0x0F), c.location.cityCode);
    }
}

TEST(Layout, HeaderFieldsLandWhereTheMapPutsThem)
{
    Memory m;
    m.fill(0xEE);
    HeaderValues h;
    h.year = 2031;
    h.temperatureAlarmHigh = {35.5, kTemperatureOk};
    h.temperatureAlarmLow = {-12.0, kTemperatureOk};
    for (int s = 0; s < 6; ++s) {
        h.minimum[static_cast<std::size_t>(s)] = {-1.0 - s, kTemperatureOk};
        h.maximum[static_cast<std::size_t>(s)] = {20.0 + s, s == 5 ? kTemperatureError : kTemperatureOk};
    }
    h.trends = {1, 2, 3, 0, 3, 2, 1, 0, 2, 2, 1, 3};
    h.batteries = {1, 0, 1, 1, 1, 1, 0, 1};
    h.altitude = -123;
    for (int i = 0; i < 25; ++i) h.pressureHistory[static_cast<std::size_t>(i)] = 1000.0 + i;
    h.rainAlarmFlag = 1;
    h.windSpeedAlarmFlag = 0;
    h.windGustAlarmFlag = 1;
    h.rainAlarm = 300;
    h.windSpeedAlarm = 0x123;
    h.windGustAlarm = 45;
    h.windSpeedMax = {33.3, kWindOk};
    h.windGustMax = {0, kWindCodeE};
    h.rainYesterday = 12;
    h.rainWeek = 345;
    h.rainMonth = 4567;
    h.periodCode = 7;
    h.newestSlot = 208;
    writeHeader(m, h);

    EXPECT_EQ(m[4], 0x31);
    EXPECT_NEAR(temperature(m[31], m[32]).value, 35.5, 1e-9);
    EXPECT_NEAR(temperature(m[33], m[34]).value, -12.0, 1e-9);
    const int minAt[6] = {36, 42, 48, 54, 60, 67};
    const int maxAt[6][2] = {{38, 39}, {44, 45}, {50, 51}, {56, 57}, {62, 64}, {69, 70}};
    for (int s = 0; s < 6; ++s) {
        EXPECT_NEAR(temperature(m[minAt[s]], m[minAt[s] + 1]).value, -1.0 - s, 1e-9) << s;
        const Reading max = temperature(m[maxAt[s][0]], m[maxAt[s][1]]);
        EXPECT_EQ(max.state, s == 5 ? 3 : 0) << s;
        if (s < 5) {
            EXPECT_NEAR(max.value, 20.0 + s, 1e-9) << s;
        }
    }
    EXPECT_EQ(m[63], 0xEE);  // not part of channel 4's maximum
    // Two bits per code from bit 0 upwards.
    EXPECT_EQ(m[73], 0b00111001);
    EXPECT_EQ(m[74], 0b00011011);
    EXPECT_EQ(m[75], 0b11011010);
    EXPECT_EQ(m[76], 0b10111101);
    EXPECT_EQ(le16(m[90], m[91]), 123);
    EXPECT_TRUE(m[92] & 0x08);
    for (int i = 0; i < 25; ++i) {
        const int at = i < 11 ? 100 + 2 * i : i == 11 ? 122 : 125 + 2 * (i - 12);
        const int hiAt = i == 11 ? 124 : at + 1;
        EXPECT_NEAR(le16(m[static_cast<std::size_t>(at)], m[static_cast<std::size_t>(hiAt)]) / 16.0, 1000.0 + i, 1e-9) << i;
    }
    EXPECT_EQ(m[123], 0xEE);
    EXPECT_EQ(m[160] & 7, 0b101);
    EXPECT_EQ(le16(m[161], m[162]), 300);
    EXPECT_EQ((m[164] >> 4) + m[165] * 16, 0x123);
    EXPECT_EQ((m[167] >> 4) + m[168] * 16, 45);
    EXPECT_NEAR(wind(m[170], m[171]).value, 33.3, 1e-9);
    EXPECT_EQ(wind(m[172], m[173]).state, 2);
    EXPECT_EQ(le16(m[174], m[175]), 12);
    EXPECT_EQ(le16(m[176], m[177]), 345);
    EXPECT_EQ(le16(m[178], m[179]), 4567);
    EXPECT_EQ(m[254], 7);
    EXPECT_EQ(m[255], 208);
    for (int untouched : {0, 3, 5, 14, 30, 35, 40, 89, 93, 151, 159, 163, 166, 169, 180, 219, 253})
        EXPECT_EQ(m[static_cast<std::size_t>(untouched)], 0xEE) << "byte " << untouched;

    writeAltitude(m, 300);
    EXPECT_EQ(le16(m[90], m[91]), 300);
    EXPECT_FALSE(m[92] & 0x08);
}

TEST(Layout, SlotFieldsLandWhereTheMapPutsThem)
{
    Memory m;
    m.fill(0xEE);
    SlotValues v;
    v.dayOfWeek = 3;
    v.month = 11;
    v.day = 30;
    v.hour = 23;
    v.minute = 55;
    v.indoor = {21.7, kTemperatureOk, 41};
    for (int c = 0; c < 5; ++c) v.channels[static_cast<std::size_t>(c)] = {-3.5 + c, c == 4 ? kTemperatureNoSensor : c, 60 + c};
    v.uv = 7.4;
    v.pressure = 1001.5625;
    v.forecast = 4;
    v.windChill = -7.2;
    v.windGust = 25.1;
    v.windSpeedState = kWindCodeB;
    v.rainState = 2;
    v.windDirection = 13;
    v.rainCounter = 0x1234;
    writeSlot(m, slotPosition(5), v);

    const std::uint8_t *r = slotAt(m, 5);
    EXPECT_EQ(r[0], 0x3B);
    EXPECT_EQ(bcd(r[1]), 30);
    EXPECT_EQ(bcd(r[2]), 23);
    EXPECT_EQ(bcd(r[3]), 55);
    EXPECT_NEAR(temperature(r[4], r[5]).value, 21.7, 1e-9);
    EXPECT_EQ(bcd(r[6]), 41);
    const int tempAt[5] = {7, 10, 13, 17, 20};
    const int humAt[5] = {9, 12, 16, 19, 22};
    for (int c = 0; c < 5; ++c) {
        const Reading t = temperature(r[tempAt[c]], r[tempAt[c] + 1], true);
        EXPECT_EQ(t.state, c) << "channel " << c + 1;
        if (c == 0 || c == 4) {
            EXPECT_NEAR(t.value, -3.5 + c, 1e-9);
        }
        EXPECT_EQ(bcd(r[humAt[c]]), 60 + c);
    }
    EXPECT_EQ(r[15], 0x00);
    EXPECT_NEAR(uv(r[23], r[24]), 7.4, 1e-9);
    EXPECT_NEAR(le16(r[25], r[26]) / 16.0, 1001.5625, 1e-9);
    EXPECT_EQ(r[27], 4);
    EXPECT_NEAR(windChill(r[28], r[29]).value, -7.2, 1e-9);
    EXPECT_EQ(windChill(r[28], r[29]).state, 0);
    EXPECT_NEAR(wind(r[30], r[31]).value, 25.1, 1e-9);
    EXPECT_EQ(wind(r[32], r[33]).state, 1);
    EXPECT_EQ(r[34], 0xDD);
    EXPECT_EQ(le16(r[35], r[36]), 0x1234);
    EXPECT_EQ(r[37], 0x00);
    EXPECT_EQ(m[static_cast<std::size_t>(slotPosition(5) - 1)], 0xEE);
    EXPECT_EQ(m[static_cast<std::size_t>(slotPosition(6))], 0xEE);

    const Memory before = m;
    writeSlot(m, kMemorySize - 30, v);  // would run past the end
    EXPECT_EQ(m, before);
}

// ---- The generated station ----------------------------------------------------------

TEST(GeneratedStation, RingFilledBackwardsFromTheStartDate)
{
    const SimulatedStation station{SimConfig{}};
    const Memory &m = station.memory();
    ASSERT_EQ(m[255], 104);
    EXPECT_EQ(m[254], 1);
    EXPECT_EQ(m[4], 0x26);
    EXPECT_EQ(slotAt(m, 104)[0] >> 4, 7);  // 2026-06-21 is a Sunday
    const std::int64_t newest = toSeconds(StationTime{2026, 6, 21, 12, 0, 0}) / 60;
    EXPECT_EQ(station.newestSlotTime() / 60, newest);

    int previousRain = -1;
    for (int k = 208; k >= 0; --k) {  // oldest to newest
        const int index = ((104 - k) % kSlotCount + kSlotCount) % kSlotCount;
        ASSERT_EQ(slotMinutes(m, index), newest - 5 * k) << "slot " << index;
        const std::uint8_t *r = slotAt(m, index);
        EXPECT_GE(temperature(r[4], r[5]).value, 22.0);
        EXPECT_LE(temperature(r[4], r[5]).value, 24.0);
        for (int at : {7, 10, 13, 17}) EXPECT_EQ(temperature(r[at], r[at + 1], true).state, 0);
        EXPECT_EQ(temperature(r[20], r[21], true).state, 4);  // channel 5 has no sensor
        const double hPa = le16(r[25], r[26]) / 16.0;
        EXPECT_GE(hPa, 985.0);
        EXPECT_LE(hPa, 1035.0);
        EXPECT_GE(wind(r[30], r[31]).value, wind(r[32], r[33]).value);
        if (index != 0) {  // slot 0's counter bytes are header bytes 254 and 255
            EXPECT_GE(rainCounter(m, index), previousRain);
            previousRain = rainCounter(m, index);
        }
    }
}

TEST(GeneratedStation, PartialRingStartsAtSlotOneAndLeavesTheRestBlank)
{
    const SimulatedStation station{smallRing(10)};
    const Memory &m = station.memory();
    EXPECT_EQ(station.newestSlotIndex(), 10);
    for (int i = 1; i <= 10; ++i) EXPECT_GT(slotMinutes(m, i), 0) << i;
    EXPECT_TRUE(std::all_of(m.begin() + 219, m.begin() + 254, [](std::uint8_t b) { return b == 0; }));
    EXPECT_TRUE(std::all_of(m.begin() + slotPosition(11), m.end(), [](std::uint8_t b) { return b == 0; }));
}

TEST(GeneratedStation, HeaderAgreesWithTheHistory)
{
    SimConfig config;
    config.periodCode = 5;  // hourly: the ring covers nearly nine days
    const SimulatedStation station{config};
    const Memory &m = station.memory();
    const int tempAt[5] = {4, 7, 10, 13, 17};
    const int minAt[5] = {36, 42, 48, 54, 60};
    const int maxAt[5][2] = {{38, 39}, {44, 45}, {50, 51}, {56, 57}, {62, 64}};
    for (int s = 0; s < 5; ++s) {
        double low = 1e9, high = -1e9;
        for (int i = 1; i < kSlotCount; ++i) {
            const std::uint8_t *r = slotAt(m, i);
            low = std::min(low, temperature(r[tempAt[s]], r[tempAt[s] + 1]).value);
            high = std::max(high, temperature(r[tempAt[s]], r[tempAt[s] + 1]).value);
        }
        EXPECT_LE(temperature(m[minAt[s]], m[minAt[s] + 1]).value, low + 1e-9) << "sensor " << s;
        EXPECT_GE(temperature(m[maxAt[s][0]], m[maxAt[s][1]]).value, high - 1e-9) << "sensor " << s;
    }
    EXPECT_EQ(temperature(m[69], m[70]).state, 3);  // channel 5 never heard

    double fastest = 0, strongest = 0;
    for (int i = 1; i < kSlotCount; ++i) {
        fastest = std::max(fastest, wind(slotAt(m, i)[32], slotAt(m, i)[33]).value);
        strongest = std::max(strongest, wind(slotAt(m, i)[30], slotAt(m, i)[31]).value);
    }
    EXPECT_NEAR(wind(m[170], m[171]).value, fastest, 1e-9);
    EXPECT_NEAR(wind(m[172], m[173]).value, strongest, 1e-9);

    const std::uint8_t *newest = slotAt(m, m[255]);
    EXPECT_NEAR(le16(m[100], m[101]) / 16.0, le16(newest[25], newest[26]) / 16.0, 1.0 / 16);
    EXPECT_EQ(m[76], 0xFF);
    EXPECT_EQ(le16(m[90], m[91]), 150);
    EXPECT_GE(uvDaily(m, 0), uv(newest[23], newest[24]));

    // Yesterday's rain is the counter's rise from midnight to midnight.
    int midnight = -1, midnightBefore = -1;
    const std::int64_t today = toSeconds(StationTime{2026, 6, 21, 0, 0, 0}) / 60;
    for (int i = 1; i < kSlotCount; ++i) {
        if (slotMinutes(m, i) == today) midnight = rainCounter(m, i);
        if (slotMinutes(m, i) == today - 24 * 60) midnightBefore = rainCounter(m, i);
    }
    ASSERT_GE(midnightBefore, 0);
    EXPECT_EQ(le16(m[174], m[175]), midnight - midnightBefore);
}

TEST(GeneratedStation, UvFollowsTheSun)
{
    SimConfig config;
    config.periodCode = 5;
    const SimulatedStation station{config};
    const Memory &m = station.memory();
    for (int i = 1; i < kSlotCount; ++i) {
        const std::uint8_t *r = slotAt(m, i);
        const int hour = bcd(r[2]);
        if (hour <= 2 || hour >= 22) {
            EXPECT_EQ(uv(r[23], r[24]), 0.0) << "at " << hour << ":00";
        }
        if (hour >= 11 && hour <= 14) {
            EXPECT_GT(uv(r[23], r[24]), 0.5) << "at " << hour << ":00";
        }
    }
}

TEST(GeneratedStation, SeedDecidesTheWeather)
{
    SimConfig a, b, c;
    a.seed = b.seed = 7;
    c.seed = 8;
    EXPECT_EQ(SimulatedStation{a}.memory(), SimulatedStation{b}.memory());
    EXPECT_NE(SimulatedStation{a}.memory(), SimulatedStation{c}.memory());
}

// ---- New records ------------------------------------------------------------------------

TEST(Recording, RingWrapsFrom208ToSlotZero)
{
    SimulatedStation station{smallRing(208)};
    Memory &m = station.memory();
    ASSERT_EQ(station.newestSlotIndex(), 208);
    const std::int64_t last = slotMinutes(m, 208);

    station.addSlots(1);
    EXPECT_EQ(station.newestSlotIndex(), 0);
    EXPECT_EQ(m[254], 1);  // restored after the slot ran over it
    EXPECT_EQ(slotMinutes(m, 0), last + 5);

    station.addSlots(1);
    EXPECT_EQ(station.newestSlotIndex(), 1);
    EXPECT_EQ(slotMinutes(m, 1), last + 10);
    EXPECT_EQ(station.newestSlotTime() / 60, last + 10);
}

TEST(Recording, PeriodWrittenIntoByte254TakesEffectWithTheNextRecord)
{
    SimulatedStation station{smallRing(3)};
    Memory &m = station.memory();
    const std::int64_t start = slotMinutes(m, 3);
    m[254] = 5;  // one hour
    station.addSlots(1);
    EXPECT_EQ(slotMinutes(m, 4), start + 60);
    m[254] = 0;  // not a period: the station keeps the last one
    station.addSlots(1);
    EXPECT_EQ(slotMinutes(m, 5), start + 120);
    EXPECT_EQ(station.historyPeriodSeconds(), 3600);
}

TEST(Recording, NewYearRewritesTheYearByte)
{
    SimConfig config = smallRing(3);
    config.start = "2026-12-31T23:55:00";
    SimulatedStation station{config};
    station.addSlots(1);
    const std::uint8_t *r = slotAt(station.memory(), 4);
    EXPECT_EQ(r[0] & 0x0F, 1);
    EXPECT_EQ(bcd(r[1]), 1);
    EXPECT_EQ(bcd(r[2]), 0);
    EXPECT_EQ(station.memory()[4], 0x27);
}

TEST(Recording, HeaderFollowsNewRecords)
{
    SimulatedStation station{smallRing(5)};
    station.addSlots(40);
    const Memory &m = station.memory();
    const std::uint8_t *newest = slotAt(m, 45);
    EXPECT_NEAR(le16(m[100], m[101]) / 16.0, le16(newest[25], newest[26]) / 16.0, 1.0 / 16);
    for (int i = 1; i <= 45; ++i) {
        EXPECT_LE(temperature(m[42], m[43]).value, temperature(slotAt(m, i)[7], slotAt(m, i)[8]).value + 1e-9);
        EXPECT_GE(temperature(m[44], m[45]).value, temperature(slotAt(m, i)[7], slotAt(m, i)[8]).value - 1e-9);
    }
}

// ---- Schedule --------------------------------------------------------------------------

TEST(Schedule, OneRecordPerAdvanceInterval)
{
    SimConfig config = smallRing(20);
    config.advanceSeconds = 60;
    SimulatedStation station{config};
    struct Step {
        double at;
        int newest;
    } steps[] = {{0, 20}, {59.9, 20}, {60, 21}, {185, 23}, {100, 23}, {240, 24}};
    for (const Step &s : steps) {
        station.advanceTo(s.at);
        EXPECT_EQ(station.newestSlotIndex(), s.newest) << "at " << s.at;
    }
}

TEST(Schedule, JumpsMoveTheRingAtOnce)
{
    SimConfig config = smallRing(20);
    config.jumps = {{20, 5}, {10, 2}};
    config.advanceSeconds = 10;
    SimulatedStation station{config};
    station.advanceTo(9);
    EXPECT_EQ(station.newestSlotIndex(), 20);
    station.advanceTo(10);  // the jump, then the regular record
    EXPECT_EQ(station.newestSlotIndex(), 23);
    station.advanceTo(25);
    EXPECT_EQ(station.newestSlotIndex(), 29);
    // A jump over the wrap.
    SimulatedStation wrapping{smallRing(207)};
    wrapping.addSlots(5);
    EXPECT_EQ(wrapping.newestSlotIndex(), 3);
    EXPECT_EQ(slotMinutes(wrapping.memory(), 3), slotMinutes(wrapping.memory(), 207) + 25);
}

TEST(Schedule, CableEventsAndQueuedBytes)
{
    SimConfig config;
    config.attached = false;
    config.attachEvents = {{8, false}, {5, true}};
    SimulatedStation station{config};
    station.advanceTo(1);
    EXPECT_FALSE(station.attached());
    EXPECT_TRUE(ask(station, 0).empty());  // nobody listens

    station.advanceTo(5);
    EXPECT_TRUE(station.attached());
    const auto command = readCommand(0);
    station.receive(command.data(), 4);
    EXPECT_EQ(station.waiting(), 34);

    station.advanceTo(8.5);
    EXPECT_FALSE(station.attached());
    station.setAttached(true);
    EXPECT_EQ(station.waiting(), 0);  // dropped by the detach, not just hidden
}

// ---- Protocol -------------------------------------------------------------------------

TEST(Protocol, ReadAnswersCarryTheBlockAndItsCheckByte)
{
    SimulatedStation station{SimConfig{}};
    for (int address : {0, 224, 8123, 8155, 8160, 8176}) {
        EXPECT_EQ(ask(station, address), expectedAnswer(station, address)) << address;
    }
    // Past the end the address counter wraps to 0.
    const auto answer = ask(station, 8176);
    EXPECT_EQ(answer[17], station.memory()[0]);
}

TEST(Protocol, MalformedCommandsAreIgnored)
{
    SimulatedStation station{SimConfig{}};
    const std::vector<std::vector<std::uint8_t>> commands = {
        {0xAF, 0x00, 0x00, 0x00},        // wrong check
        {0xAF, 0x00, 0x00},              // too short
        {0xAF, 0x00, 0x00, 0xAF, 0x00},  // too long
        {0xAB, 0x00, 0x00, 0xAB},        // not a command
    };
    for (const auto &c : commands) {
        station.receive(c.data(), static_cast<int>(c.size()));
        EXPECT_EQ(station.waiting(), 0);
    }
    station.receive(nullptr, 4);
    EXPECT_EQ(station.waiting(), 0);
}

TEST(Protocol, SendHandsOutQueuedBytesInPieces)
{
    SimulatedStation station{SimConfig{}};
    const auto command = readCommand(32);
    station.receive(command.data(), 4);
    std::uint8_t buffer[64];
    EXPECT_EQ(station.send(buffer, 10), 10);
    EXPECT_EQ(station.waiting(), 24);
    EXPECT_EQ(station.send(buffer + 10, 1024 - 10), 24);
    EXPECT_EQ(std::vector<std::uint8_t>(buffer, buffer + 34), expectedAnswer(station, 32));
    EXPECT_EQ(station.send(buffer, 10), 0);
}

// The exchange log has one line per command taken, at the station's time:
// reads (a spoiled answer too) and write frames; a read command with a wrong
// check byte is no command.
TEST(Protocol, ExchangeLogListsEveryCommandTaken)
{
    TempDir dir;
    SimConfig config;
    config.exchangeLogPath = (dir.path / "exchange.log").string();
    config.readFaults = {{32, ReadFault::NoAnswer, 1}};
    SimulatedStation station(config);
    station.advanceTo(12.25);
    ask(station, 224);
    ask(station, 32);
    const std::vector<std::uint8_t> badRead = {0xAF, 0x00, 0x00, 0x00};
    station.receive(badRead.data(), 4);
    station.advanceTo(13.5);
    const auto frame = writeFrame(90, 0x40);
    station.receive(frame.data(), static_cast<int>(frame.size()));
    std::ifstream log(config.exchangeLogPath);
    const std::string text((std::istreambuf_iterator<char>(log)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text, "12.250 read 224\n12.250 read 32\n13.500 write 90 32\n");
}

TEST(Protocol, WriteFrames)
{
    struct Case {
        const char *what;
        std::optional<std::uint8_t> ack;
        bool goodCheck;
        bool written;
        std::vector<std::uint8_t> reply;
    } cases[] = {
        {"acknowledged", std::uint8_t{0x5A}, true, true, {0x5A}},
        {"odd acknowledgement", std::uint8_t{0x33}, true, true, {0x33}},
        {"never acknowledged", std::nullopt, true, true, {}},
        {"bad check", std::uint8_t{0x5A}, false, false, {0x00}},
    };
    for (const Case &c : cases) {
        TempDir dir;
        SimConfig config;
        config.saveImagePath = (dir.path / "station.bin").string();
        SimulatedStation station{config};
        station.setWriteAck(c.ack);
        const Memory before = station.memory();
        const auto frame = writeFrame(90, 0x40, c.goodCheck);
        station.receive(frame.data(), 37);
        std::vector<std::uint8_t> reply(static_cast<std::size_t>(station.waiting()));
        station.send(reply.data(), static_cast<int>(reply.size()));
        EXPECT_EQ(reply, c.reply) << c.what;
        if (c.written) {
            for (int i = 0; i < 32; ++i) EXPECT_EQ(station.memory()[static_cast<std::size_t>(90 + i)], 0x40 + i) << c.what;
            EXPECT_EQ(fileText(config.saveImagePath), std::string(station.memory().begin(), station.memory().end())) << c.what;
        } else {
            EXPECT_EQ(station.memory(), before) << c.what;
            EXPECT_FALSE(std::filesystem::exists(config.saveImagePath)) << c.what;
        }
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path), {}), c.written ? 1 : 0) << c.what;
    }
}

// ---- Faults -------------------------------------------------------------------------------

TEST(Faults, EachKindSpoilsAsManyAnswersAsItsCount)
{
    struct Case {
        ReadFaultRule rule;
        std::vector<int> reads;
        std::vector<bool> spoiled;
    } cases[] = {
        {{0, ReadFault::BadChecksum, 1}, {0, 0}, {true, false}},
        {{224, ReadFault::NoAnswer, 3}, {0, 224, 224, 32, 224, 224}, {false, true, true, false, true, false}},
        {{-1, ReadFault::ShortAnswer, 2}, {0, 32, 64}, {true, true, false}},
        {{-1, ReadFault::BadStartByte, -1}, {0, 32, 64, 96, 128}, {true, true, true, true, true}},
    };
    for (const Case &c : cases) {
        SimulatedStation station{SimConfig{}};
        station.injectReadFault(c.rule);
        for (std::size_t i = 0; i < c.reads.size(); ++i) {
            const auto answer = ask(station, c.reads[i]);
            const auto good = expectedAnswer(station, c.reads[i]);
            if (!c.spoiled[i]) {
                EXPECT_EQ(answer, good) << "read " << i;
                continue;
            }
            switch (c.rule.fault) {
            case ReadFault::BadChecksum:
                ASSERT_EQ(answer.size(), 34u);
                EXPECT_TRUE(std::equal(good.begin(), good.begin() + 33, answer.begin()));
                EXPECT_NE(answer[33], good[33]);
                break;
            case ReadFault::NoAnswer: EXPECT_TRUE(answer.empty()) << "read " << i; break;
            case ReadFault::ShortAnswer:
                EXPECT_EQ(answer, std::vector<std::uint8_t>(good.begin(), good.begin() + 20)) << "read " << i;
                break;
            case ReadFault::BadStartByte:
                ASSERT_EQ(answer.size(), 34u);
                EXPECT_NE(answer[0], 0x5A);
                EXPECT_TRUE(std::equal(good.begin() + 1, good.end(), answer.begin() + 1));
                break;
            }
        }
    }
}

TEST(Faults, RulesFromTheConfigurationApplyInOrder)
{
    SimConfig config;
    config.readFaults = {{0, ReadFault::NoAnswer, 1}, {-1, ReadFault::ShortAnswer, 1}};
    SimulatedStation station{config};
    EXPECT_EQ(ask(station, 0).size(), 0u);   // the first matching rule wins
    EXPECT_EQ(ask(station, 0).size(), 20u);  // then the catch-all
    EXPECT_EQ(ask(station, 0).size(), 34u);
}

// Which fault spoiled each of `answers` reads (-1: none), with faults at a rate.
std::vector<int> spoiledAnswers(double rate, std::uint32_t seed, int answers)
{
    SimConfig config;
    config.faultRate = rate;
    config.faultSeed = seed;
    SimulatedStation station{config};
    std::vector<int> kinds;
    for (int i = 0; i < answers; ++i) {
        const auto answer = ask(station, i * 32 % kMemorySize);
        const ReadFault kind = answer.empty() ? ReadFault::NoAnswer : answer.size() == 20 ? ReadFault::ShortAnswer
                               : answer[0] != 0x5A ? ReadFault::BadStartByte : ReadFault::BadChecksum;
        kinds.push_back(answer == expectedAnswer(station, i * 32 % kMemorySize) ? -1 : static_cast<int>(kind));
    }
    return kinds;
}

TEST(Faults, RateSpoilsItsShareOfAnswersWithEveryKind)
{
    for (const double rate : {0.0, 0.1, 1.0}) {
        std::array<int, 4> perKind{};
        for (const int kind : spoiledAnswers(rate, 7, 2000))
            if (kind >= 0) ++perKind[static_cast<std::size_t>(kind)];
        const int spoiled = perKind[0] + perKind[1] + perKind[2] + perKind[3];
        EXPECT_NEAR(spoiled, rate * 2000, 50) << rate;  // 0.1: 150..250
        for (const int n : perKind) EXPECT_GE(n, rate * 2000 / 10) << rate;
    }
    EXPECT_EQ(spoiledAnswers(0.1, 7, 500), spoiledAnswers(0.1, 7, 500));
    EXPECT_NE(spoiledAnswers(0.1, 7, 500), spoiledAnswers(0.1, 8, 500));
}

// ---- Image -------------------------------------------------------------------------------

TEST(Image, StationCarriesOnFromTheImagesNewestRecord)
{
    Memory image{};
    HeaderValues header;
    header.year = 2025;
    header.periodCode = 5;
    header.newestSlot = 7;
    header.minimum[1] = {-30.0, kTemperatureOk};
    writeHeader(image, header);
    SlotValues slot;
    slot.month = 3;
    slot.day = 10;
    slot.hour = 8;
    slot.minute = 30;
    slot.rainCounter = 500;
    writeSlot(image, slotPosition(7), slot);

    TempDir dir;
    const std::string path = dir.write("station.bin", std::string(image.begin(), image.begin() + 300 + 38 * 7));
    SimConfig config;
    config.imagePath = path;
    SimulatedStation station{config};
    Memory expected{};
    std::copy(image.begin(), image.begin() + 300 + 38 * 7, expected.begin());
    EXPECT_EQ(station.memory(), expected);

    station.addSlots(1);
    const Memory &m = station.memory();
    EXPECT_EQ(m[255], 8);
    EXPECT_EQ(slotMinutes(m, 8), slotMinutes(m, 7) + 60);
    EXPECT_GE(rainCounter(m, 8), 500);
    EXPECT_NEAR(temperature(m[42], m[43]).value, -30.0, 1e-9);  // the image's header stays
}

// ---- stationsim.ini -------------------------------------------------------------------------

TEST(Ini, ReadsEveryKey)
{
    TempDir dir;
    dir.write("memory.bin", std::string(100, '\x01'));
    const std::string ini = dir.write("stationsim.ini",
                                      "; the bench station\n"
                                      "[station]\n"
                                      "image = memory.bin   # relative to this file\n"
                                      "attached=false\n"
                                      "advanceSeconds=30\n"
                                      "start=2025-01-02T03:04:05\n"
                                      "period=11\n"
                                      "slots=12\n"
                                      "seed=4000000000\n"
                                      "saveImage = saved.bin\n"
                                      "speed = 600\n"
                                      "exchangeLog = exchange.log\n"
                                      "[faults]\n"
                                      "rate = 0.25\n"
                                      "seed = 77\n"
                                      "checksum=0*1, 224*3, any*\n"
                                      "noanswer=0x20\n"
                                      "short=any*2\n"
                                      "badstart=8123*\n"
                                      "ack=none\n"
                                      "detach=10, 20.5\n"
                                      "attach=15\n"
                                      "jump=40:3,50:209\n");
    std::string error = "stale";
    const SimConfig c = loadSimConfig(ini, &error);
    EXPECT_EQ(error, "");
    EXPECT_EQ(std::filesystem::path(c.imagePath), dir.path / "memory.bin");
    EXPECT_FALSE(c.attached);
    EXPECT_EQ(c.advanceSeconds, 30);
    EXPECT_EQ(c.start, "2025-01-02T03:04:05");
    EXPECT_EQ(c.periodCode, 11);
    EXPECT_EQ(c.slots, 12);
    EXPECT_EQ(c.seed, 4000000000u);
    EXPECT_EQ(std::filesystem::path(c.saveImagePath), std::filesystem::absolute(dir.path / "saved.bin"));
    EXPECT_DOUBLE_EQ(c.speed, 600);
    EXPECT_EQ(std::filesystem::path(c.exchangeLogPath), std::filesystem::absolute(dir.path / "exchange.log"));
    EXPECT_DOUBLE_EQ(c.faultRate, 0.25);
    EXPECT_EQ(c.faultSeed, 77u);
    ASSERT_EQ(c.readFaults.size(), 6u);
    const struct {
        int address;
        ReadFault fault;
        int count;
    } rules[] = {{0, ReadFault::BadChecksum, 1}, {224, ReadFault::BadChecksum, 3}, {-1, ReadFault::BadChecksum, -1},
                 {32, ReadFault::NoAnswer, 1},   {-1, ReadFault::ShortAnswer, 2},  {8123, ReadFault::BadStartByte, -1}};
    for (std::size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(c.readFaults[i].address, rules[i].address) << i;
        EXPECT_EQ(c.readFaults[i].fault, rules[i].fault) << i;
        EXPECT_EQ(c.readFaults[i].count, rules[i].count) << i;
    }
    EXPECT_FALSE(c.writeAck.has_value());
    ASSERT_EQ(c.attachEvents.size(), 3u);
    EXPECT_DOUBLE_EQ(c.attachEvents[1].atSeconds, 20.5);
    EXPECT_FALSE(c.attachEvents[1].attached);
    EXPECT_TRUE(c.attachEvents[2].attached);
    ASSERT_EQ(c.jumps.size(), 2u);
    EXPECT_DOUBLE_EQ(c.jumps[1].atSeconds, 50);
    EXPECT_EQ(c.jumps[1].slots, 209);
}

TEST(Ini, MalformedLinesAreNamedAndSkipped)
{
    struct Case {
        const char *line;
        const char *section;
    } cases[] = {
        {"slots=0", "[station]"},          {"slots=210", "[station]"},
        {"period=12", "[station]"},        {"start=2026-02-30T00:00:00", "[station]"},
        {"start=2026-6-1T00:00:00", "[station]"}, {"attached=maybe", "[station]"},
        {"seed=-1", "[station]"},          {"image=absent.bin", "[station]"},
        {"colour=blue", "[station]"},      {"just words", "[station]"},
        {"checksum=abc", "[faults]"},      {"checksum=0*0", "[faults]"},
        {"noanswer=8192", "[faults]"},     {"short=0,,32", "[faults]"},
        {"jump=10", "[faults]"},           {"detach=-5", "[faults]"},
        {"ack=0x100", "[faults]"},         {"slots=5", "[weather]"},
        {"indoor=nosensor", "[states]"},   {"channel6=low", "[states]"},
        {"channel1=warm", "[states]"},     {"pressure=valid", "[states]"},
        {"forecast=8", "[states]"},        {"windchill=bbb", "[states]"},
        {"windgust=ccc", "[states]"},      {"rainstate=11", "[states]"},
        {"uv=low", "[states]"},            {"batteries=0x100", "[states]"},
        {"alarms=", "[states]"},           {"extremes=nosensor", "[states]"},
        {"rate=1.5", "[faults]"},          {"rate=10%", "[faults]"},
        {"seed=0x100000000", "[faults]"},  {"speed=0", "[station]"},
        {"speed=fast", "[station]"},       {"saveImage=", "[station]"},
        {"saveImage=no/such/folder/x.bin", "[station]"},
    };
    for (const Case &c : cases) {
        TempDir dir;
        const std::string ini = dir.write("stationsim.ini", std::string("[station]\nseed=9\n") + c.section + "\n" + c.line +
                                                                "\n[station]\nadvanceSeconds=7\n");
        std::string error;
        const SimConfig config = loadSimConfig(ini, &error);
        EXPECT_EQ(error.rfind(std::string("line ") + (std::string(c.section) == "[weather]" ? "3" : "4"), 0), 0u)
            << c.line << " -> " << error;
        EXPECT_EQ(config.slots, kSlotCount) << c.line;
        EXPECT_EQ(config.periodCode, 1) << c.line;
        EXPECT_TRUE(config.readFaults.empty()) << c.line;
        EXPECT_TRUE(config.jumps.empty() && config.attachEvents.empty()) << c.line;
        EXPECT_EQ(config.seed, 9u) << c.line;               // lines before still count
        EXPECT_EQ(config.advanceSeconds, 7) << c.line;      // and lines after
        EXPECT_TRUE(config.faultRate == 0 && config.speed == 1 && config.saveImagePath.empty()) << c.line;
    }
}

TEST(Ini, ForcedStatesReachTheNewestRecordAndTheHeader)
{
    // What the program would read: from the newest slot r, or the header m.
    using Probe = int (*)(const Memory &m, const std::uint8_t *r);
    const Probe indoor = [](const Memory &, const std::uint8_t *r) { return temperature(r[4], r[5]).state; };
    const Probe channel1 = [](const Memory &, const std::uint8_t *r) { return temperature(r[7], r[8], true).state; };
    const Probe channel2 = [](const Memory &, const std::uint8_t *r) { return temperature(r[10], r[11], true).state; };
    const Probe channel3 = [](const Memory &, const std::uint8_t *r) { return temperature(r[13], r[14], true).state; };
    const Probe channel4 = [](const Memory &, const std::uint8_t *r) { return temperature(r[17], r[18], true).state; };
    const Probe channel5 = [](const Memory &, const std::uint8_t *r) { return temperature(r[20], r[21], true).state; };
    const Probe pressureMark = [](const Memory &, const std::uint8_t *r) { return r[26] >> 4; };
    const Probe forecast = [](const Memory &, const std::uint8_t *r) { return r[27] & 0x0F; };
    const Probe chill = [](const Memory &, const std::uint8_t *r) { return windChill(r[28], r[29]).state; };
    const Probe gust = [](const Memory &, const std::uint8_t *r) { return wind(r[30], r[31]).state; };
    const Probe speed = [](const Memory &, const std::uint8_t *r) { return wind(r[32], r[33]).state; };
    const Probe rainMark = [](const Memory &, const std::uint8_t *r) { return r[34] >> 4; };
    const Probe uvOver99 = [](const Memory &, const std::uint8_t *r) { return int{uv(r[23], r[24]) > 99}; };
    const Probe batteries = [](const Memory &m, const std::uint8_t *) { return int{m[76]}; };
    const Probe alarms = [](const Memory &m, const std::uint8_t *) { return int{m[160]}; };
    // The state every minimum and maximum shares; -1 when they differ.
    const Probe extremes = [](const Memory &m, const std::uint8_t *) {
        const int minAt[6] = {36, 42, 48, 54, 60, 67};
        const int maxAt[6][2] = {{38, 39}, {44, 45}, {50, 51}, {56, 57}, {62, 64}, {69, 70}};
        const int state = temperature(m[36], m[37]).state;
        for (int s = 0; s < 6; ++s)
            if (temperature(m[minAt[s]], m[minAt[s] + 1]).state != state ||
                temperature(m[maxAt[s][0]], m[maxAt[s][1]]).state != state)
                return -1;
        return state;
    };
    struct Case {
        const char *line;
        Probe probe;
        int unforced;  // what the weather alone gives
        int forced;
    } cases[] = {
        {"indoor = low", indoor, 0, 1},          {"indoor = high", indoor, 0, 2},
        {"Indoor = ERROR", indoor, 0, 3},        {"channel1 = nosensor", channel1, 0, 4},
        {"channel2 = low", channel2, 0, 1},      {"channel3 = high", channel3, 0, 2},
        {"channel4 = error", channel4, 0, 3},    {"channel5 = ok", channel5, 4, 0},
        {"channel5 = error", channel5, 4, 3},    {"pressure = invalid", pressureMark, 3, 15},
        {"forecast = invalid", forecast, 5, 15}, {"forecast = 0", forecast, 5, 0},
        {"forecast = 7", forecast, 5, 7},        {"windchill = nosensor", chill, 0, 1},
        {"windchill = invalid", chill, 0, 4},    {"windspeed = bbb", speed, 0, 1},
        {"windspeed = eee", speed, 0, 2},        {"windgust = bbb", gust, 0, 1},
        {"windgust = eee", gust, 0, 2},          {"rainstate = 10", rainMark, 0, 10},
        {"rainstate = 13", rainMark, 0, 13},     {"rainstate = 14", rainMark, 0, 14},
        {"uv = high", uvOver99, 0, 1},           {"batteries = 0x5A", batteries, 0xFF, 0x5A},
        {"alarms = 0x07", alarms, 0x02, 0x07},   {"extremes = low", extremes, 0, 1},
        {"extremes = error", extremes, 0, 3},
    };
    TempDir dir;
    // Channel 5 is heard so that every extreme is a measured one unless forced.
    const std::string common = "[station]\nslots=5\n[states]\nchannel5=ok\n";
    for (const Case &c : cases) {
        std::string error;
        const SimConfig plain = loadSimConfig(dir.write("plain.ini", common), &error);
        const SimConfig config = loadSimConfig(dir.write("stationsim.ini", common + c.line + "\n"), &error);
        ASSERT_EQ(error, "") << c.line;
        const bool channel5Case = std::string(c.line).rfind("channel5", 0) == 0;
        SimulatedStation unforced{channel5Case ? smallRing(5) : plain};
        SimulatedStation station{config};
        // The generated ring, then a record stored later (with the header refreshed).
        for (int step = 0; step < 2; ++step) {
            const Memory &m = station.memory();
            const Memory &u = unforced.memory();
            EXPECT_EQ(c.probe(u, slotAt(u, u[255])), c.unforced) << c.line << ", step " << step;
            EXPECT_EQ(c.probe(m, slotAt(m, m[255])), c.forced) << c.line << ", step " << step;
            EXPECT_EQ(slotMinutes(m, m[255]), slotMinutes(u, u[255])) << c.line;
            EXPECT_EQ(rainCounter(m, m[255]), rainCounter(u, u[255])) << c.line;
            station.addSlots(1);
            unforced.addSlots(1);
        }
    }
}

TEST(Ini, ForcedStatesLeaveALoadedImageAloneButItsHeaderSettings)
{
    Memory image{};
    HeaderValues header;
    header.periodCode = 1;
    header.newestSlot = 3;
    header.minimum[2] = {-7.5, kTemperatureOk};
    writeHeader(image, header);
    SlotValues slot;
    slot.month = 5;
    slot.day = 4;
    writeSlot(image, slotPosition(3), slot);
    TempDir dir;
    dir.write("station.bin", std::string(image.begin(), image.end()));
    std::string error;
    const SimConfig config = loadSimConfig(
        dir.write("stationsim.ini", "[station]\nimage=station.bin\n[states]\nindoor=high\nalarms=0\nextremes=error\n"), &error);
    ASSERT_EQ(error, "");
    SimulatedStation station{config};
    const Memory &m = station.memory();
    EXPECT_EQ(temperature(slotAt(m, 3)[4], slotAt(m, 3)[5]).state, 0);  // recorded before: as captured
    EXPECT_EQ(m[160], 0);
    const Reading minimum = temperature(m[48], m[49]);
    EXPECT_EQ(minimum.state, 3);
    EXPECT_EQ(m[48] >> 4, 7);  // the digits stay
    EXPECT_EQ(m[49], 0x00);
    station.addSlots(1);
    EXPECT_EQ(temperature(slotAt(m, 4)[4], slotAt(m, 4)[5]).state, 2);
}

TEST(Ini, OddLinesOutsideSectionsAndMissingFile)
{
    TempDir dir;
    std::string error;
    const std::string ini = dir.write("stationsim.ini", "seed=3\n[station\nslots=4\n[station]\nperiod=2 ; ten minutes\n");
    const SimConfig config = loadSimConfig(ini, &error);
    EXPECT_EQ(error.rfind("line 1", 0), 0u) << error;
    EXPECT_NE(error.find("1 more"), std::string::npos) << error;
    EXPECT_EQ(config.seed, 1u);
    EXPECT_EQ(config.slots, kSlotCount);
    EXPECT_EQ(config.periodCode, 2);

    error = "stale";
    const SimConfig defaults = loadSimConfig((dir.path / "nowhere.ini").string(), &error);
    EXPECT_EQ(error, "");
    EXPECT_TRUE(defaults.attached);
    EXPECT_EQ(defaults.writeAck, std::optional<std::uint8_t>{0x5A});

    dir.write("big.bin", std::string(kMemorySize + 1, '\0'));
    loadSimConfig(dir.write("stationsim.ini", "[station]\nimage=big.bin\n"), &error);
    EXPECT_NE(error.find("larger than 8192"), std::string::npos) << error;

    // A FIFO would block the program that loads the link.
    ASSERT_EQ(::mkfifo((dir.path / "fifo.ini").c_str(), 0600), 0);
    EXPECT_TRUE(loadSimConfig((dir.path / "fifo.ini").string(), &error).attached);
    EXPECT_NE(error.find("not a regular file"), std::string::npos) << error;
    loadSimConfig(dir.write("huge.ini", "[station]\n" + std::string(70 * 1024, ';')), &error);
    EXPECT_NE(error.find("larger than 64 KB"), std::string::npos) << error;
}

// ---- The exported operations --------------------------------------------------------------

TEST(SimulatedLink, SevenOperationsOverOneStation)
{
    void *library = dlopen(SIM_LINK_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    const auto open = reinterpret_cast<USBOpenFn>(dlsym(library, "USBOpen"));
    const auto check = reinterpret_cast<USBCheckFn>(dlsym(library, "USBCheck"));
    const auto write = reinterpret_cast<USBWriteFn>(dlsym(library, "USBWrite"));
    const auto status = reinterpret_cast<USBGetStatusFn>(dlsym(library, "USBGetStatus"));
    const auto read = reinterpret_cast<USBReadFn>(dlsym(library, "USBRead"));
    const auto close = reinterpret_cast<USBCloseFn>(dlsym(library, "USBClose"));
    const auto getError = reinterpret_cast<USBGetErrorFn>(dlsym(library, "USBGetError"));
    ASSERT_TRUE(open && check && write && status && read && close && getError);

    EXPECT_EQ(open(nullptr, 0x1131, 0x6801, 2048, 2048, 0), nullptr);
    EXPECT_EQ(open(nullptr, 0x1130, 0x6802, 2048, 2048, 0), nullptr);

    TempDir dir;
    dir.write("stationsim.ini", "[station]\nslots=5\nnonsense\n");
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(dir.path);
    EXPECT_EQ(getError(), USBLINK_NO_DEVICE);
    testing::internal::CaptureStderr();
    USBHandle handle = open(nullptr, 0x1130, 0x6801, 2048, 2048, 0);
    const std::string complaint = testing::internal::GetCapturedStderr();
    std::filesystem::current_path(previous);
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(complaint.rfind("stationsim.ini: line 3", 0), 0u) << complaint;

    int stranger = 0;
    EXPECT_EQ(check(handle), 1);
    EXPECT_EQ(check(nullptr), 0);
    EXPECT_EQ(check(&stranger), 0);

    std::uint8_t flush[1024];
    EXPECT_EQ(read(handle, flush, 1024), 0);
    const auto command = readCommand(224);
    write(&stranger, command.data(), 4, 0);
    write(handle, command.data(), 4, 0);
    int32_t waiting = -1, other = -1;
    status(handle, &waiting, &other);
    EXPECT_EQ(waiting, 34);
    std::uint8_t answer[34];
    EXPECT_EQ(read(&stranger, answer, 34), 0);
    ASSERT_EQ(read(handle, answer, 34), 34);
    EXPECT_EQ(answer[0], 0x5A);
    EXPECT_EQ(answer[32], 5);  // byte 255: the newest of five records
    EXPECT_EQ(getError(), 0);

    EXPECT_EQ(close(&stranger, 0), 0);
    EXPECT_EQ(close(handle, 0), 1);
    EXPECT_EQ(check(handle), 0);
    EXPECT_EQ(close(handle, 0), 0);
    EXPECT_EQ(getError(), USBLINK_NO_DEVICE);

    // The library's clock 100000 times the wall clock's: five-minute records
    // every 300 station seconds, six or more in 20 ms; the image at close shows them.
    dir.write("stationsim.ini", "[station]\nattached=false\nslots=5\nstart=2026-03-01T00:00:00\n"
                                "advanceSeconds=300\nspeed=100000\nsaveImage=saved.bin\n");
    std::filesystem::current_path(dir.path);
    handle = open(nullptr, 0x1130, 0x6801, 2048, 2048, 0);
    std::filesystem::current_path(previous);
    EXPECT_EQ(check(handle), 0);
    EXPECT_EQ(getError(), USBLINK_NO_DEVICE);  // detached
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(close(handle, 0), 1);
    const std::string saved = fileText(dir.path / "saved.bin");
    ASSERT_EQ(saved.size(), static_cast<std::size_t>(kMemorySize));
    Memory image{};
    std::copy(saved.begin(), saved.end(), image.begin());
    EXPECT_GE(slotMinutes(image, image[255]) - toSeconds({2026, 3, 1, 0, 0, 0}) / 60, 30);
    dlclose(library);
}


// One station across processes: a station kept at some moment and resumed
// later stands where one that ran on without a break stands (records,
// jumps and cable events of the time in between, none repeated), and the
// library advances a kept station by the wall-clock time that passed.
TEST(StateFile, AResumedStationCarriesOnAsOneThatNeverStopped)
{
    TempDir dir;
    SimConfig config = smallRing(30);
    config.advanceSeconds = 300;
    config.jumps = {{400, 3}, {2000, 2}};
    config.attachEvents = {{700, false}, {1900, true}};
    struct Pause {
        const char *situation;
        double keptAt;
        double resumedAt;
    } pauses[] = {
        {"closed between two records, nothing due meanwhile", 310, 590},
        {"a jump and a detach fall into the pause", 350, 1000},
        {"closed while detached, attached again meanwhile", 800, 2400},
        {"closed and opened at the same moment", 1200, 1200},
    };
    for (const Pause &p : pauses) {
        SimulatedStation steady{config};
        steady.advanceTo(p.resumedAt);

        SimulatedStation first{config};
        first.advanceTo(p.keptAt);
        StationState kept = first.state(p.keptAt);
        kept.closedAtMs = 12345;
        const std::string file = (dir.path / "kept.bin").string();
        ASSERT_TRUE(saveStationState(file, kept)) << p.situation;
        const std::optional<StationState> loaded = loadStationState(file);
        ASSERT_TRUE(loaded) << p.situation;
        EXPECT_EQ(loaded->closedAtMs, 12345);
        EXPECT_EQ(loaded->stationSeconds, p.keptAt);

        SimulatedStation second{config};
        second.resume(*loaded);
        second.advanceTo(p.resumedAt);
        EXPECT_EQ(second.newestSlotIndex(), steady.newestSlotIndex()) << p.situation;
        EXPECT_EQ(second.attached(), steady.attached()) << p.situation;
        for (int i = 0; i <= steady.newestSlotIndex(); ++i)
            EXPECT_EQ(slotMinutes(second.memory(), i), slotMinutes(steady.memory(), i)) << p.situation << ", slot " << i;
    }
    dir.write("junk.bin", "not a station\n");
    EXPECT_FALSE(loadStationState((dir.path / "junk.bin").string()));
    EXPECT_FALSE(loadStationState((dir.path / "missing.bin").string()));

    // Through the library: an hour of wall-clock time passes between a close
    // and the next open (the kept close time is set back by an hour).
    void *library = dlopen(SIM_LINK_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    const auto open = reinterpret_cast<USBOpenFn>(dlsym(library, "USBOpen"));
    const auto close = reinterpret_cast<USBCloseFn>(dlsym(library, "USBClose"));
    const auto write = reinterpret_cast<USBWriteFn>(dlsym(library, "USBWrite"));
    const auto read = reinterpret_cast<USBReadFn>(dlsym(library, "USBRead"));
    std::filesystem::create_directories(dir.path / "station");
    dir.write("stationsim.ini", "[station]\nslots=10\nadvanceSeconds=300\nstateFile=station/kept.bin\n");
    const auto previous = std::filesystem::current_path();
    auto newestIndex = [&](USBHandle handle) {
        const auto command = readCommand(224);
        write(handle, command.data(), 4, 0);
        std::uint8_t answer[34] = {};
        read(handle, answer, 34);
        return int(answer[32]);
    };
    std::filesystem::current_path(dir.path);
    USBHandle handle = open(nullptr, 0x1130, 0x6801, 2048, 2048, 0);
    std::filesystem::current_path("/");  // stateFile is fixed relative to stationsim.ini
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(newestIndex(handle), 10);
    ASSERT_EQ(close(handle, 0), 1);
    std::optional<StationState> kept = loadStationState((dir.path / "station/kept.bin").string());
    ASSERT_TRUE(kept);
    kept->closedAtMs -= 3600 * 1000;
    ASSERT_TRUE(saveStationState((dir.path / "station/kept.bin").string(), *kept));
    std::filesystem::current_path(dir.path);
    handle = open(nullptr, 0x1130, 0x6801, 2048, 2048, 0);
    std::filesystem::current_path(previous);
    EXPECT_EQ(newestIndex(handle), 22) << "twelve five-minute records in the hour that passed";
    close(handle, 0);
    dlclose(library);
}
