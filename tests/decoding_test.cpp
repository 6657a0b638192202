// Decoding of the station memory: a history slot into a Measurement, the
// header into a StationSummary.
//
// Most cases are hand-written bytes. Each one is decoded twice: on an image of
// fill bytes and on an image where every byte the case does not set is noise,
// so a decoder that reads a neighbouring byte is caught. The round trips at
// the end write records with the simulated station's encoders.
#include "Decoding.h"
#include "MemoryEncoding.h"

#include <gtest/gtest.h>

#include <QDate>
#include <QDateTime>
#include <QTime>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

using namespace nimbrel;

namespace {

constexpr double kEps = 1e-9;
// Expected value of a reading the case does not pin down (a state code
// stands in for it).
constexpr double kAny = std::numeric_limits<double>::quiet_NaN();

struct Byte {
    int at;
    std::uint8_t value;
};
using Bytes = std::vector<Byte>;

// A slot in the middle of the ring, well clear of the header.
constexpr int kSlot = kFirstSlotPosition + 7 * kSlotSize;

// A dated slot: Wednesday 17 June 2026, 09:45, history period code 5.
const Bytes kDatedSlot = {{0, 0x36}, {1, 0x17}, {2, 0x09}, {3, 0x45}};
const QDateTime kSlotDate(QDate(2026, 6, 17), QTime(9, 45));

std::uint8_t noise(int i)
{
    return static_cast<std::uint8_t>((i * 151 + 73) ^ (i >> 3) ^ 0x5A);
}

enum class Background { Fill, Noise };
const Background kBackgrounds[] = {Background::Fill, Background::Noise};

const char *describe(Background b)
{
    return b == Background::Fill ? " (on fill bytes)" : " (on noise)";
}

StationImage background(Background b)
{
    StationImage image;
    if (b == Background::Noise)
        for (int i = 0; i < kImageSize; ++i)
            image[i] = noise(i);
    return image;
}

void put(StationImage &image, int base, const Bytes &bytes)
{
    for (const Byte &b : bytes)
        image[base + b.at] = b.value;
}

// The slot at kSlot with a valid date, year 2026 and period code 5, then the
// given slot bytes (offsets r0..r37) written over it.
StationImage slotImage(Background b, const Bytes &slotBytes)
{
    StationImage image = background(b);
    image[4] = 0x26;
    image[kPeriodByte] = 5;
    put(image, kSlot, kDatedSlot);
    put(image, kSlot, slotBytes);
    return image;
}

// The measurement decoded from slotImage on each background. The slot must be
// accepted.
std::vector<std::pair<const char *, Measurement>> decodeSlotOnBoth(const Bytes &slotBytes)
{
    std::vector<std::pair<const char *, Measurement>> out;
    for (Background b : kBackgrounds) {
        Measurement m;
        EXPECT_TRUE(decodeSlot(slotImage(b, slotBytes), kSlot, m)) << describe(b);
        out.emplace_back(describe(b), m);
    }
    return out;
}

std::vector<std::pair<const char *, StationSummary>> decodeHeaderOnBoth(const Bytes &headerBytes)
{
    std::vector<std::pair<const char *, StationSummary>> out;
    for (Background b : kBackgrounds) {
        StationImage image = background(b);
        put(image, 0, headerBytes);
        StationSummary s;
        decodeHeader(image, kSlotDate, s);
        out.emplace_back(describe(b), s);
    }
    return out;
}

void expectValue(double actual, double expected, const std::string &what)
{
    if (!std::isnan(expected)) {
        EXPECT_NEAR(actual, expected, kEps) << what;
    }
}

std::uint8_t u8(int v) { return static_cast<std::uint8_t>(v); }

// Every field of a Measurement, for "left as it was" comparisons.
std::string dump(const Measurement &m)
{
    std::ostringstream o;
    o.precision(12);
    o << "DayWeek=" << m.DayWeek << " Dat=" << m.Dat.toString(Qt::ISODate).toStdString()
      << " TempDoor=" << m.TempDoor << '/' << m.TempDoorState << " HumDoor=" << m.HumDoor;
    for (int c = 0; c < kChannelCount; ++c)
        o << " CH" << c + 1 << '=' << m.TempCH[c] << '/' << m.TempCHState[c] << '/' << m.HumCH[c];
    o << " UV=" << m.UV << " Press=" << m.PressLocal << '/' << m.PressLocalInvalid << " Weather=" << m.Weather
      << '/' << m.WeatherInvalid << " Chill=" << m.WindChill << '/' << m.WindChillState << " Gust=" << m.WindGust
      << '/' << m.WindGustState << " Speed=" << m.WindSpeed << '/' << m.WindSpeedState
      << " Rain=" << m.RainCount << '/' << m.RainState << " Dir=" << m.WindDirection
      << " Period=" << m.HistoryPeriodMs << " Units=" << m.TemperatureUnit << m.PressureUnit << m.SpeedUnit
      << m.RainUnit << m.UvUnit << " Channel=" << m.SelectedChannel << " RainHour=" << m.RainLastHour
      << " Rain24=" << m.RainLast24h << " RainStart=" << m.RainTotalStart.toString(Qt::ISODate).toStdString()
      << " PressMax=" << m.PressureMax << " PressMin=" << m.PressureMin;
    return o.str();
}

std::string dump(const StationSummary &s)
{
    std::ostringstream o;
    o.precision(12);
    o << "RecordTime=" << s.RecordTime.toString(Qt::ISODate).toStdString() << " Lat=" << s.LatMin << ':' << s.LatSec
      << " Long=" << s.LongMin << ':' << s.LongSec << " Hemispheres=" << s.Hemispheres << " Zone=" << s.TimeZone
      << " Dst=" << s.DstCode << " City=" << s.CityCode << " Alarms=" << s.TempAlarmHigh << '/'
      << s.TempAlarmHighState << ',' << s.TempAlarmLow << '/' << s.TempAlarmLowState << " MinMax=";
    for (int i = 0; i < kSensorCount; ++i)
        o << s.TempMin[i] << '/' << s.TempMinState[i] << ',' << s.TempMax[i] << '/' << s.TempMaxState[i] << ' ';
    o << "Trend=";
    for (std::uint16_t t : s.Trend)
        o << t;
    o << " Battery=";
    for (std::uint16_t b : s.BatteryFlag)
        o << b;
    o << " UvDays=";
    for (double uv : s.UvDailyMax)
        o << uv << ',';
    o << " Altitude=" << s.Altitude << " Pressures=";
    for (double p : s.PressureHistory)
        o << p << ',';
    o << " Bells=" << s.RainAlarmFlag << s.WindSpeedAlarmFlag << s.WindGustAlarmFlag << " Limits=" << s.RainAlarm
      << ',' << s.WindSpeedAlarm << ',' << s.WindGustAlarm << " WindMax=" << s.WindSpeedMax << ',' << s.WindGustMax
      << " Rain=" << s.RainYesterday << ',' << s.RainWeek << ',' << s.RainMonth;
    return o.str();
}

// ---- Digit conventions ------------------------------------------------------

TEST(DigitConventions, BcdAndReversedBcd)
{
    struct Row {
        const char *situation;
        std::uint8_t byte;
        int bcd;
        int reversed;
    };
    const Row rows[] = {
        {"zero", 0x00, 0, 0},
        {"units only", 0x07, 7, 70},
        {"tens only", 0x70, 70, 7},
        {"the year byte of 2026", 0x26, 26, 62},
        {"largest two-digit value", 0x99, 99, 99},
        {"latitude 55 degrees written reversed", 0x55, 55, 55},
        {"hex digit counts as ten and more", 0xB3, 113, 41},
    };
    for (const Row &r : rows) {
        EXPECT_EQ(bcd(r.byte), r.bcd) << r.situation;
        EXPECT_EQ(reversedBcd(r.byte), r.reversed) << r.situation;
    }
}

// ---- Signed temperatures ----------------------------------------------------

struct TemperatureRow {
    const char *situation;
    std::uint8_t a, b;
    double value;  // kAny when a state code stands in for the reading
    std::uint16_t state;
};

// The pair's own rules: no "sensor heard" test, so the same rows hold for the
// indoor sensor, the temperature alarms and the recorded minima and maxima.
const TemperatureRow kTemperatureRows[] = {
    {"25.3 above zero", 0x53, 0x82, 25.3, 0},
    {"25.3 below zero (bit 7 clear)", 0x53, 0x02, -25.3, 0},
    {"zero", 0x00, 0x80, 0.0, 0},
    {"a tenth below zero", 0x01, 0x00, -0.1, 0},
    {"tenths nibble 9 is still a reading", 0x99, 0x89, 99.9, 0},
    {"bits 4 to 6 of the second byte carry no digit", 0x47, 0xF3, 34.7, 0},
    {"bit 6 clear says nothing here", 0x12, 0xB0, 1.2, 0},
    {"below the sensor's range (tenths 0xC)", 0x5C, 0x82, kAny, 1},
    {"above the sensor's range (tenths 0xB)", 0x5B, 0x82, kAny, 2},
    {"error (tenths 0xA)", 0x5A, 0x82, kAny, 3},
    {"tenths 0xD", 0x0D, 0x00, kAny, 3},
    {"tenths 0xE", 0xEE, 0x8E, kAny, 3},
    {"tenths 0xF", 0xFF, 0xFF, kAny, 3},
};

TEST(TemperaturePair, ValueSignAndState)
{
    for (const TemperatureRow &r : kTemperatureRows) {
        const TemperatureReading t = decodeTemperature(r.a, r.b);
        expectValue(t.value, r.value, r.situation);
        EXPECT_EQ(t.state, r.state) << r.situation;
    }
}

TEST(SlotDecoding, IndoorTemperatureStateOnlyFromTheTenthsNibble)
{
    for (const TemperatureRow &r : kTemperatureRows)
        for (const auto &[bg, m] : decodeSlotOnBoth({{4, r.a}, {5, r.b}})) {
            expectValue(m.TempDoor, r.value, std::string(r.situation) + bg);
            EXPECT_EQ(m.TempDoorState, r.state) << r.situation << bg;
        }
}

TEST(SlotDecoding, ChannelTemperaturesAndTheirStates)
{
    const TemperatureRow rows[] = {
        {"sensor heard, above zero", 0x53, 0xC2, 25.3, 0},
        {"sensor heard, below zero", 0x53, 0x42, -25.3, 0},
        {"sensor heard, zero", 0x00, 0xC0, 0.0, 0},
        {"channel with no sensor", 0x53, 0x82, kAny, 4},
        {"channel with no sensor, tenths 9", 0x99, 0x09, kAny, 4},
        {"no sensor but below range: the tenths nibble wins", 0x5C, 0x02, kAny, 1},
        {"sensor heard, above range", 0x5B, 0xC2, kAny, 2},
        {"no sensor and an error nibble", 0x3A, 0x80, kAny, 3},
        {"sensor heard, tenths 0xF", 0x0F, 0x40, kAny, 3},
    };
    const int firstByte[kChannelCount] = {7, 10, 13, 17, 20};
    for (int c = 0; c < kChannelCount; ++c)
        for (const TemperatureRow &r : rows)
            for (const auto &[bg, m] : decodeSlotOnBoth({{firstByte[c], r.a}, {firstByte[c] + 1, r.b}})) {
                const std::string what = "channel " + std::to_string(c + 1) + ": " + r.situation + bg;
                expectValue(m.TempCH[c], r.value, what);
                EXPECT_EQ(m.TempCHState[c], r.state) << what;
            }
}

TEST(SlotDecoding, Humidities)
{
    struct Field {
        const char *sensor;
        int offset;
        std::function<int(const Measurement &)> get;
    };
    const Field fields[] = {
        {"indoor", 6, [](const Measurement &m) { return m.HumDoor; }},
        {"channel 1", 9, [](const Measurement &m) { return m.HumCH[0]; }},
        {"channel 2", 12, [](const Measurement &m) { return m.HumCH[1]; }},
        {"channel 3 (r16; r15 is not used)", 16, [](const Measurement &m) { return m.HumCH[2]; }},
        {"channel 4", 19, [](const Measurement &m) { return m.HumCH[3]; }},
        {"channel 5", 22, [](const Measurement &m) { return m.HumCH[4]; }},
    };
    const std::pair<std::uint8_t, int> values[] = {{0x00, 0}, {0x07, 7}, {0x45, 45}, {0x99, 99}};
    for (const Field &f : fields)
        for (const auto &[byte, percent] : values)
            for (const auto &[bg, m] : decodeSlotOnBoth({{f.offset, byte}, {15, 0x88}}))
                EXPECT_EQ(f.get(m), percent) << f.sensor << " byte " << int(byte) << bg;
}

TEST(SlotDecoding, UvIndex)
{
    struct Row {
        const char *situation;
        std::uint8_t r23, r24;
        double uv;
    };
    const Row rows[] = {
        {"2.5", 0x25, 0x00, 2.5},
        {"night", 0x00, 0x00, 0.0},
        {"whole part over both nibbles: 16 + 3", 0x38, 0x01, 19.8},
        {"units nibble counts in binary", 0xA5, 0x00, 10.5},
        {"high nibble of r24 is not part of it", 0x25, 0xF0, 2.5},
        {"exactly 99 is kept", 0x30, 0x06, 99.0},
        {"99.1 is above 99 and becomes 0", 0x31, 0x06, 0.0},
        {"112 + 1.5 is above 99 and becomes 0", 0x0F, 0x07, 0.0},
    };
    for (const Row &r : rows)
        for (const auto &[bg, m] : decodeSlotOnBoth({{23, r.r23}, {24, r.r24}}))
            EXPECT_NEAR(m.UV, r.uv, kEps) << r.situation << bg;
}

TEST(SlotDecoding, LocalPressureAndForecast)
{
    struct PressureRow {
        const char *situation;
        std::uint8_t r25, r26;
        double hPa;
        std::uint16_t invalid;
    };
    const PressureRow pressures[] = {
        {"1011.25 hPa in sixteenths, low byte first", 0x34, 0x3F, 1011.25, 0},
        {"one sixteenth", 0x01, 0x00, 0.0625, 0},
        {"high nibble 14 is still a reading", 0xFF, 0xEF, 61439 / 16.0, 0},
        {"high nibble 15: no reading", 0x00, 0xF0, kAny, 1},
        {"high nibble 15 with other bits", 0x34, 0xFF, kAny, 1},
    };
    for (const PressureRow &r : pressures)
        for (const auto &[bg, m] : decodeSlotOnBoth({{25, r.r25}, {26, r.r26}})) {
            expectValue(m.PressLocal, r.hPa, std::string(r.situation) + bg);
            EXPECT_EQ(m.PressLocalInvalid, r.invalid) << r.situation << bg;
        }

    struct ForecastRow {
        const char *situation;
        std::uint8_t r27;
        std::uint16_t code, invalid;
    };
    const ForecastRow forecasts[] = {
        {"code 5", 0x05, 5, 0},
        {"code 0", 0x00, 0, 0},
        {"high nibble ignored", 0xF3, 3, 0},
        {"bit 3 is not part of the code", 0x0D, 5, 0},
        {"low nibble 14 is a code", 0x0E, 6, 0},
        {"code 7 is a forecast", 0x07, 7, 0},
        {"low nibble 15: no forecast", 0x0F, 7, 2},
        {"all bits set", 0xFF, 7, 2},
    };
    for (const ForecastRow &r : forecasts)
        for (const auto &[bg, m] : decodeSlotOnBoth({{27, r.r27}})) {
            EXPECT_EQ(m.Weather, r.code) << r.situation << bg;
            EXPECT_EQ(m.WeatherInvalid, r.invalid) << r.situation << bg;
        }
}

TEST(SlotDecoding, WindChill)
{
    const TemperatureRow rows[] = {
        {"above zero", 0x53, 0xC2, 25.3, 0},
        {"below zero", 0x47, 0x41, -14.7, 0},
        {"tenths 0xC is no state for the wind chill", 0x5C, 0xC2, 26.2, 0},
        {"a sensor not heard (bit 6 clear)", 0x53, 0x82, kAny, 1},
        {"not computable: code 0xEEE", 0xEE, 0x0E, kAny, 4},
        {"code 0xEEE with bit 6 set", 0xEE, 0x4E, kAny, 4},
        {"code 0xEEE with the top three bits set", 0xEE, 0xEE, kAny, 4},
        {"0x1EEE is not the code", 0xEE, 0x5E, -155.4, 0},
    };
    for (const TemperatureRow &r : rows)
        for (const auto &[bg, m] : decodeSlotOnBoth({{28, r.a}, {29, r.b}})) {
            expectValue(m.WindChill, r.value, std::string(r.situation) + bg);
            EXPECT_EQ(m.WindChillState, r.state) << r.situation << bg;
        }
}

// ---- Wind -------------------------------------------------------------------

struct WindRow {
    const char *situation;
    std::uint8_t a, b;
    double mph;
    std::uint16_t state;
};
const WindRow kWindRows[] = {
    {"calm", 0x00, 0x00, 0.0, 0},
    {"25.3 mph", 0x53, 0x02, 25.3, 0},
    {"hundreds bit", 0x00, 0x10, 100.0, 0},
    {"fastest the bytes can say", 0x99, 0x19, 199.9, 0},
    {"bits 5 to 7 of the second byte ignored", 0x53, 0xE2, 25.3, 0},
    {"code 0xBBB", 0xBB, 0x0B, kAny, 1},
    {"code 0xBBB with the top three bits set", 0xBB, 0xEB, kAny, 1},
    {"code 0xEEE", 0xEE, 0x0E, kAny, 2},
    {"0x1BBB is not a code", 0xBB, 0x1B, 222.1, 0},
    {"0xEEB is not a code", 0xEB, 0x0E, 155.1, 0},
};

TEST(WindTriple, ValueAndCodes)
{
    for (const WindRow &r : kWindRows) {
        const WindReading w = decodeWind(r.a, r.b);
        expectValue(w.value, r.mph, r.situation);
        EXPECT_EQ(w.state, r.state) << r.situation;
        EXPECT_EQ(w.code, (r.b & 0x1F) * 256 + r.a) << r.situation;
    }
}

TEST(SlotDecoding, WindGustAndSpeed)
{
    for (const WindRow &r : kWindRows) {
        for (const auto &[bg, m] : decodeSlotOnBoth({{30, r.a}, {31, r.b}})) {
            expectValue(m.WindGust, r.mph, std::string("gust: ") + r.situation + bg);
            EXPECT_EQ(m.WindGustState, r.state) << "gust: " << r.situation << bg;
        }
        for (const auto &[bg, m] : decodeSlotOnBoth({{32, r.a}, {33, r.b}})) {
            expectValue(m.WindSpeed, r.mph, std::string("speed: ") + r.situation + bg);
            EXPECT_EQ(m.WindSpeedState, r.state) << "speed: " << r.situation << bg;
        }
    }
}

// ---- Rain and direction -----------------------------------------------------

struct CounterRow {
    const char *situation;
    std::uint8_t lo, hi;
    int value;
};
const CounterRow kCounterRows[] = {
    {"zero", 0x00, 0x00, 0},
    {"one tip", 0x01, 0x00, 1},
    {"high byte counts 256", 0x00, 0x01, 256},
    {"low byte first", 0x34, 0x12, 0x1234},
    {"largest count", 0xFF, 0xFF, 65535},
};

TEST(SlotDecoding, RainCounterStateAndWindDirection)
{
    for (const CounterRow &r : kCounterRows)
        for (const auto &[bg, m] : decodeSlotOnBoth({{35, r.lo}, {36, r.hi}}))
            EXPECT_EQ(m.RainCount, r.value) << r.situation << bg;

    struct Row {
        const char *situation;
        std::uint8_t r34;
        std::uint16_t rainState, direction;
    };
    const Row rows[] = {
        {"rain reading, north", 0x00, 0, 0},
        {"rain reading, north-north-west", 0x0F, 0, 15},
        {"high nibble 9 is no mark", 0x95, 0, 5},
        {"mark 0xA", 0xA4, 1, 4},
        {"high nibble 0xB is no mark", 0xB4, 0, 4},
        {"high nibble 0xC is no mark", 0xC8, 0, 8},
        {"mark 0xD", 0xD8, 2, 8},
        {"mark 0xE", 0xEC, 3, 12},
        {"high nibble 0xF is no mark", 0xF1, 0, 1},
    };
    for (const Row &r : rows)
        for (const auto &[bg, m] : decodeSlotOnBoth({{34, r.r34}})) {
            EXPECT_EQ(m.RainState, r.rainState) << r.situation << bg;
            EXPECT_EQ(m.WindDirection, r.direction) << r.situation << bg;
        }
}

// ---- History period ---------------------------------------------------------

TEST(SlotDecoding, HistoryPeriodFromHeaderByte254)
{
    struct Row {
        int code;
        std::int32_t ms;  // 0: the Measurement keeps its period
    };
    const Row rows[] = {
        {0, 0},          {1, 300000},     {2, 600000},     {3, 1200000},   {4, 1800000},
        {5, 3600000},    {6, 5400000},    {7, 7200000},    {8, 10800000},  {9, 14400000},
        {10, 21600000},  {11, 86400000},  {12, 0},         {0x30, 0},      {255, 0},
    };
    for (const Row &r : rows) {
        EXPECT_EQ(historyPeriodMs(r.code), r.ms) << "code " << r.code;
        for (Background b : kBackgrounds) {
            StationImage image = slotImage(b, {});
            image[kPeriodByte] = u8(r.code);
            Measurement m;
            m.HistoryPeriodMs = 4242;
            ASSERT_TRUE(decodeSlot(image, kSlot, m));
            EXPECT_EQ(m.HistoryPeriodMs, r.ms ? r.ms : 4242) << "code " << r.code << describe(b);
        }
    }
}

// ---- Dates ------------------------------------------------------------------

TEST(SlotDecoding, DatesAndYears)
{
    const QDateTime previous(QDate(2025, 3, 9), QTime(7, 5));
    const QDateTime kPrevious;  // marks "keeps the previous date"
    struct Row {
        const char *situation;
        std::uint8_t year, r0, r1, r2, r3;
        bool accepted;
        QDateTime dat;  // invalid: the previous Dat stays
    };
    const Row rows[] = {
        {"ordinary slot", 0x26, 0x36, 0x17, 0x09, 0x45, true, kSlotDate},
        {"midnight on New Year's Day", 0x26, 0x41, 0x01, 0x00, 0x00, true, QDateTime(QDate(2026, 1, 1), QTime(0, 0))},
        {"last minute of the year", 0x26, 0x3C, 0x31, 0x23, 0x59, true, QDateTime(QDate(2026, 12, 31), QTime(23, 59))},
        {"year 2009", 0x09, 0x52, 0x28, 0x14, 0x30, true, QDateTime(QDate(2009, 2, 28), QTime(14, 30))},
        {"year 2010: tens digit in the high nibble", 0x10, 0x2A, 0x05, 0x06, 0x07, true,
         QDateTime(QDate(2010, 10, 5), QTime(6, 7))},
        {"year 2000", 0x00, 0x12, 0x29, 0x00, 0x00, true, QDateTime(QDate(2000, 2, 29), QTime(0, 0))},
        {"29 February in a leap year", 0x24, 0x42, 0x29, 0x12, 0x00, true, QDateTime(QDate(2024, 2, 29), QTime(12, 0))},
        {"29 February in a non-leap year", 0x26, 0x72, 0x29, 0x12, 0x00, false, kPrevious},
        {"30 February", 0x24, 0x52, 0x30, 0x12, 0x00, false, kPrevious},
        {"day 31 in a 30-day month", 0x26, 0x36, 0x31, 0x09, 0x45, false, kPrevious},
        {"31 November", 0x26, 0x1B, 0x31, 0x09, 0x45, false, kPrevious},
        {"hour 24", 0x26, 0x36, 0x17, 0x24, 0x00, false, kPrevious},
        {"minute 60", 0x26, 0x36, 0x17, 0x09, 0x60, false, kPrevious},
        {"month nibble 0: an unused slot", 0x26, 0x30, 0x17, 0x09, 0x45, true, kPrevious},
        {"slot of zero bytes", 0x26, 0x00, 0x00, 0x00, 0x00, true, kPrevious},
        {"month 13", 0x26, 0x3D, 0x17, 0x09, 0x45, true, kPrevious},
        {"day 0", 0x26, 0x36, 0x00, 0x09, 0x45, true, kPrevious},
        {"day 32", 0x26, 0x36, 0x32, 0x09, 0x45, true, kPrevious},
        {"hour 25", 0x26, 0x36, 0x17, 0x25, 0x45, true, kPrevious},
        {"minute 61", 0x26, 0x36, 0x17, 0x09, 0x61, true, kPrevious},
    };
    for (const Row &r : rows)
        for (Background b : kBackgrounds) {
            StationImage image = slotImage(b, {{0, r.r0}, {1, r.r1}, {2, r.r2}, {3, r.r3}, {4, 0x53}, {5, 0x82}});
            image[4] = r.year;
            Measurement m;
            m.Dat = previous;
            m.DayWeek = 9;
            m.TempDoor = -99;
            const std::string before = dump(m);

            ASSERT_EQ(decodeSlot(image, kSlot, m), r.accepted) << r.situation << describe(b);
            if (!r.accepted) {
                EXPECT_EQ(dump(m), before) << r.situation << describe(b) << ": left as it was";
                continue;
            }
            EXPECT_EQ(m.Dat, r.dat.isValid() ? r.dat : previous) << r.situation << describe(b);
            EXPECT_EQ(m.Dat.time().second(), 0) << r.situation;
            EXPECT_EQ(m.DayWeek, r.r0 >> 4) << r.situation << describe(b);
            EXPECT_NEAR(m.TempDoor, 25.3, kEps) << r.situation << describe(b) << ": the rest is decoded";
        }
}

TEST(SlotDecoding, LeavesTheUserAndDisplayFieldsAlone)
{
    Measurement m;
    m.TemperatureUnit = 1;
    m.PressureUnit = 2;
    m.SpeedUnit = 3;
    m.RainUnit = m.UvUnit = 1;
    m.SelectedChannel = 4;
    m.RainLastHour = 1.5;
    m.RainLast24h = 12.25;
    m.RainTotalStart = QDateTime(QDate(2026, 1, 1), QTime(0, 0));
    m.PressureMax = 1030;
    m.PressureMin = 990;
    auto userAndDisplayPart = [](const Measurement &x) {
        const std::string all = dump(x);
        return all.substr(all.find(" Units="));
    };
    const std::string before = userAndDisplayPart(m);
    ASSERT_TRUE(decodeSlot(slotImage(Background::Noise, {}), kSlot, m));
    EXPECT_EQ(userAndDisplayPart(m), before);
}

// A slot is decoded from its own bytes r0..r36 and header bytes 4 and 254
// only: every other byte of the image may change, including those past the
// end of the highest slot, which ends at 8160.
TEST(SlotDecoding, ReadsOnlyItsOwnBytesAtEveryRingPosition)
{
    sim::SlotValues values;
    values.dayOfWeek = 6;
    values.month = 6;
    values.day = 20;
    values.hour = 23;
    values.minute = 55;
    values.indoor = {21.7, sim::kTemperatureOk, 44};
    values.channels[4] = {0, sim::kTemperatureNoSensor, 0};
    values.rainCounter = 777;

    for (int k = 0; k < kSlotCount; ++k) {
        const int p = kFirstSlotPosition + k * kSlotSize;
        sim::Memory memory{};
        sim::writeSlot(memory, p, values);

        StationImage quiet;  // 0x30 outside the slot
        StationImage noisy;
        for (int i = 0; i < kImageSize; ++i)
            noisy[i] = noise(i);
        for (int i = p; i < p + 37; ++i)
            quiet[i] = noisy[i] = memory[static_cast<std::size_t>(i)];
        for (StationImage *image : {&quiet, &noisy}) {
            (*image)[4] = 0x26;
            (*image)[kPeriodByte] = 3;
        }

        Measurement fromQuiet, fromNoisy;
        ASSERT_TRUE(decodeSlot(quiet, p, fromQuiet)) << "slot " << k;
        ASSERT_TRUE(decodeSlot(noisy, p, fromNoisy)) << "slot " << k;
        EXPECT_EQ(dump(fromNoisy), dump(fromQuiet)) << "slot " << k << " at " << p;
        if (k == 0)
            continue;  // slot 0's rain counter lies under bytes 254 and 255
        EXPECT_EQ(fromQuiet.Dat, QDateTime(QDate(2026, 6, 20), QTime(23, 55))) << "slot " << k;
        EXPECT_EQ(fromQuiet.RainCount, 777) << "slot " << k;
    }
    EXPECT_EQ(kLastSlotPosition, 8123);
}

// ---- Header -----------------------------------------------------------------

TEST(HeaderDecoding, StationLocation)
{
    struct Row {
        const char *situation;
        std::uint8_t b6, b7, b8, b9, b10, b11, b12, b13;
        int latMin, latSec, longMin, longSec, hemispheres;
        double timeZone;
        int dstCode, cityCode;
    };
    const Row rows[] = {
        {"Moscow 55°45' N 37°37' E, UTC+3", 0x55, 0x54, 0x73, 0x73, 0x40, 0x00, 0x37, 0x3A,
         55, 45, 37, 37, 1, 3.0, 0, 0x3A},
        {"Tokyo: longitude over 100 from bit 4 of byte 11", 0x53, 0x14, 0x93, 0x54, 0x40, 0x12, 0x50, 0x91,
         35, 41, 139, 45, 1, 9.0, 2, 0x51},
        {"Sydney: south and east, UTC+10", 0x33, 0x25, 0x15, 0x31, 0xC0, 0x10, 0x00, 0xA0,
         33, 52, 151, 13, 3, 10.0, 0, 0x00},
        {"Delhi: half-hour zone", 0x82, 0x63, 0x77, 0x21, 0x43, 0x00, 0x10, 0x52,
         28, 36, 77, 12, 1, 5.5, 0, 0x12},
        {"New York: north and west, negative zone", 0x04, 0x24, 0x47, 0x00, 0x08, 0x03, 0x20, 0x55,
         40, 42, 74, 0, 0, -5.0, 3, 0x25},
        {"Newfoundland: negative half-hour zone", 0x74, 0x33, 0x25, 0x24, 0x0B, 0x03, 0x00, 0x30,
         47, 33, 52, 42, 0, -3.5, 3, 0x00},
        {"Buenos Aires: south and west", 0x43, 0x63, 0x85, 0x32, 0x88, 0x00, 0x60, 0x3F,
         34, 36, 58, 23, 2, -3.0, 0, 0x6F},
        {"only one of the half-hour bits", 0x00, 0x00, 0x00, 0x00, 0x41, 0x00, 0x00, 0x20,
         0, 0, 0, 0, 1, 2.0, 0, 0},
        {"the other half-hour bit alone", 0x00, 0x00, 0x00, 0x00, 0x42, 0x00, 0x00, 0x20,
         0, 0, 0, 0, 1, 2.0, 0, 0},
        {"daylight-saving code 15 beside the hundred bit", 0x00, 0x00, 0x08, 0x00, 0x40, 0x1F, 0x00, 0x00,
         0, 0, 180, 0, 1, 0.0, 15, 0},
        {"bits 5 to 7 of byte 11 add no hundred", 0x00, 0x00, 0x08, 0x00, 0x40, 0xE0, 0x00, 0x00,
         0, 0, 80, 0, 1, 0.0, 0, 0},
        {"bits 2, 4 and 5 of byte 10 mean nothing", 0x00, 0x00, 0x00, 0x00, 0x34, 0x00, 0x00, 0x40,
         0, 0, 0, 0, 0, 4.0, 0, 0},
        {"city code from byte 12's high and byte 13's low nibble", 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xF7, 0x0C,
         0, 0, 0, 0, 0, 0.0, 0, 0xFC},
    };
    for (const Row &r : rows)
        for (const auto &[bg, s] : decodeHeaderOnBoth({{6, r.b6}, {7, r.b7}, {8, r.b8}, {9, r.b9},
                                                      {10, r.b10}, {11, r.b11}, {12, r.b12}, {13, r.b13}})) {
            EXPECT_EQ(s.LatMin, r.latMin) << r.situation << bg;
            EXPECT_EQ(s.LatSec, r.latSec) << r.situation << bg;
            EXPECT_EQ(s.LongMin, r.longMin) << r.situation << bg;
            EXPECT_EQ(s.LongSec, r.longSec) << r.situation << bg;
            EXPECT_EQ(s.Hemispheres, r.hemispheres) << r.situation << bg;
            EXPECT_DOUBLE_EQ(s.TimeZone, r.timeZone) << r.situation << bg;
            EXPECT_EQ(s.DstCode, r.dstCode) << r.situation << bg;
            EXPECT_EQ(s.CityCode, r.cityCode) << r.situation << bg;
            EXPECT_EQ(s.RecordTime, kSlotDate) << r.situation << bg;
        }
}

TEST(HeaderDecoding, UserCityReplacesTheStationsLocation)
{
    StationImage image;
    put(image, 0, {{6, 0x55}, {7, 0x54}, {8, 0x73}, {9, 0x73}, {10, 0x40}, {11, 0x05}, {12, 0x30}, {13, 0x3A}});
    LocationOverride paris;
    paris.LatMin = 48;
    paris.LatSec = 51;
    paris.LongMin = 2;
    paris.LongSec = 21;
    paris.Hemispheres = 1;
    paris.TimeZone = 1;

    StationSummary s;
    decodeHeader(image, kSlotDate, s, paris);
    EXPECT_EQ(s.LatMin, 48);
    EXPECT_EQ(s.LatSec, 51);
    EXPECT_EQ(s.LongMin, 2);
    EXPECT_EQ(s.LongSec, 21) << "the city's longitude minutes, which the location display reads";
    EXPECT_EQ(s.Hemispheres, 1);
    EXPECT_DOUBLE_EQ(s.TimeZone, 1.0);
    EXPECT_EQ(s.DstCode, 5) << "the station's daylight-saving code stays";
    EXPECT_EQ(s.CityCode, 0x3A) << "the station's city code stays";

    StationSummary southWest;
    paris.Hemispheres = 2;
    paris.TimeZone = -9.5;
    decodeHeader(image, kSlotDate, southWest, paris);
    EXPECT_EQ(southWest.Hemispheres, 2);
    EXPECT_DOUBLE_EQ(southWest.TimeZone, -9.5);

    StationSummary station;
    decodeHeader(image, kSlotDate, station);
    EXPECT_EQ(station.LongSec, 37);
    EXPECT_DOUBLE_EQ(station.TimeZone, 3.0);
}

TEST(HeaderDecoding, TemperatureAlarmsMinimaAndMaxima)
{
    struct Field {
        std::string name;
        int a, b;
        std::function<TemperatureReading(const StationSummary &)> get;
    };
    auto entry = [](const double (&v)[kSensorCount], const std::uint16_t (&st)[kSensorCount], int i) {
        return TemperatureReading{v[i], st[i]};
    };
    std::vector<Field> fields = {
        {"upper temperature alarm", 31, 32,
         [](const StationSummary &s) { return TemperatureReading{s.TempAlarmHigh, s.TempAlarmHighState}; }},
        {"lower temperature alarm", 33, 34,
         [](const StationSummary &s) { return TemperatureReading{s.TempAlarmLow, s.TempAlarmLowState}; }},
    };
    const char *sensors[kSensorCount] = {"indoor", "channel 1", "channel 2", "channel 3", "channel 4", "channel 5"};
    const int minimumAt[kSensorCount][2] = {{36, 37}, {42, 43}, {48, 49}, {54, 55}, {60, 61}, {67, 68}};
    const int maximumAt[kSensorCount][2] = {{38, 39}, {44, 45}, {50, 51}, {56, 57}, {62, 64}, {69, 70}};
    for (int i = 0; i < kSensorCount; ++i) {
        fields.push_back({std::string(sensors[i]) + " minimum", minimumAt[i][0], minimumAt[i][1],
                          [=](const StationSummary &s) { return entry(s.TempMin, s.TempMinState, i); }});
        fields.push_back({std::string(sensors[i]) + " maximum", maximumAt[i][0], maximumAt[i][1],
                          [=](const StationSummary &s) { return entry(s.TempMax, s.TempMaxState, i); }});
    }
    for (const Field &f : fields)
        for (const TemperatureRow &r : kTemperatureRows)
            for (const auto &[bg, s] : decodeHeaderOnBoth({{f.a, r.a}, {f.b, r.b}})) {
                const TemperatureReading t = f.get(s);
                expectValue(t.value, r.value, f.name + ": " + r.situation + bg);
                EXPECT_EQ(t.state, r.state) << f.name << ": " << r.situation << bg;
            }
}

TEST(HeaderDecoding, TrendsAndBatteries)
{
    struct TrendRow {
        const char *situation;
        std::uint8_t b73, b74, b75;
        std::uint16_t codes[kTrendCount];
    };
    const TrendRow trends[] = {
        {"codes counted from bit 0 upwards", 0xE4, 0x1B, 0x00, {0, 1, 2, 3, 3, 2, 1, 0, 0, 0, 0, 0}},
        {"one code per byte pattern", 0xFF, 0x55, 0xAA, {3, 3, 3, 3, 1, 1, 1, 1, 2, 2, 2, 2}},
        {"indoor humidity rising only", 0x08, 0x00, 0x00, {0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"channel 5 humidity only", 0x00, 0x00, 0xC0, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 3}},
    };
    for (const TrendRow &r : trends)
        for (const auto &[bg, s] : decodeHeaderOnBoth({{73, r.b73}, {74, r.b74}, {75, r.b75}}))
            for (int i = 0; i < kTrendCount; ++i)
                EXPECT_EQ(s.Trend[i], r.codes[i]) << r.situation << ", code " << i << bg;

    struct BatteryRow {
        const char *situation;
        std::uint8_t b76;
        std::uint16_t flags[kBatteryCount];  // channels 1..5, UV, wind, rain
    };
    const BatteryRow batteries[] = {
        {"all full", 0xFF, {1, 1, 1, 1, 1, 1, 1, 1}},
        {"all low", 0x00, {0, 0, 0, 0, 0, 0, 0, 0}},
        {"channel 1 full only", 0x01, {1, 0, 0, 0, 0, 0, 0, 0}},
        {"channel 5 low", 0xEF, {1, 1, 1, 1, 0, 1, 1, 1}},
        {"UV sensor full only", 0x20, {0, 0, 0, 0, 0, 1, 0, 0}},
        {"wind sensor full only", 0x40, {0, 0, 0, 0, 0, 0, 1, 0}},
        {"rain gauge full only", 0x80, {0, 0, 0, 0, 0, 0, 0, 1}},
    };
    for (const BatteryRow &r : batteries)
        for (const auto &[bg, s] : decodeHeaderOnBoth({{76, r.b76}}))
            for (int i = 0; i < kBatteryCount; ++i)
                EXPECT_EQ(s.BatteryFlag[i], r.flags[i]) << r.situation << ", flag " << i << bg;
}

TEST(HeaderDecoding, DailyUvMaxima)
{
    // Three bytes hold two days: the newer one as a whole byte (top) and a
    // tenths nibble (high nibble of mid), the older one as a whole part over
    // mid's low and low's high nibble and tenths in low's low nibble.
    struct Row {
        const char *situation;
        std::uint8_t top, mid, low;
        double newer, older;
    };
    const Row rows[] = {
        {"5.3 and 7.2", 0x05, 0x30, 0x72, 5.3, 7.2},
        {"older whole part spans both nibbles", 0x0B, 0x01, 0x74, 11.0, 23.4},
        {"99.9 is kept in both forms", 0x63, 0x96, 0x39, 99.9, 99.9},
        {"newer whole part 100 becomes 0", 0x64, 0x20, 0x15, 0.0, 1.5},
        {"newer tenths nibble 10 becomes 0", 0x05, 0xA0, 0x15, 0.0, 1.5},
        {"older whole part 100 becomes 0", 0x02, 0x06, 0x40, 2.0, 0.0},
        {"older tenths nibble 11 becomes 0", 0x02, 0x00, 0x3B, 2.0, 0.0},
        {"never written (fill bytes)", 0x30, 0x30, 0x30, 48.3, 3.0},
    };
    for (int day = 0; day < kUvDayCount; day += 2) {
        const int top = 88 - 3 * (day / 2);
        for (const Row &r : rows)
            for (const auto &[bg, s] : decodeHeaderOnBoth({{top, r.top}, {top - 1, r.mid}, {top - 2, r.low}})) {
                EXPECT_NEAR(s.UvDailyMax[day], r.newer, kEps) << "day " << day << ": " << r.situation << bg;
                EXPECT_NEAR(s.UvDailyMax[day + 1], r.older, kEps) << "day " << day + 1 << ": " << r.situation << bg;
            }
    }
}

TEST(HeaderDecoding, AltitudeAndPressureHistory)
{
    struct Row {
        const char *situation;
        std::uint8_t b90, b91, b92;
        int metres;
    };
    const Row rows[] = {
        {"150 m", 0x96, 0x00, 0x00, 150},
        {"low byte first", 0x34, 0x12, 0x00, 4660},
        {"below sea level", 0x1C, 0x00, 0x08, -28},
        {"other bits of byte 92 ignored", 0x96, 0x00, 0xF7, 150},
        {"deepest", 0xFF, 0xFF, 0x08, -65535},
    };
    for (const Row &r : rows)
        for (const auto &[bg, s] : decodeHeaderOnBoth({{90, r.b90}, {91, r.b91}, {92, r.b92}}))
            EXPECT_EQ(s.Altitude, r.metres) << r.situation << bg;

    // Value i is 990 + i hPa and i sixteenths. Byte 123 is skipped: value 11
    // takes its high byte from 124.
    Bytes bytes;
    int lowAt[kPressureHistoryCount], highAt[kPressureHistoryCount];
    for (int i = 0; i < kPressureHistoryCount; ++i) {
        lowAt[i] = i < 11 ? 100 + 2 * i : i == 11 ? 122 : 125 + 2 * (i - 12);
        highAt[i] = i == 11 ? 124 : lowAt[i] + 1;
        const int sixteenths = (990 + i) * 16 + i;
        bytes.push_back({lowAt[i], u8(sixteenths & 0xFF)});
        bytes.push_back({highAt[i], u8(sixteenths >> 8)});
    }
    EXPECT_EQ(highAt[kPressureHistoryCount - 1], 150);
    for (const auto &[bg, s] : decodeHeaderOnBoth(bytes))
        for (int i = 0; i < kPressureHistoryCount; ++i)
            EXPECT_NEAR(s.PressureHistory[i], 990 + i + i / 16.0, kEps) << "hour " << i << bg;
}

TEST(HeaderDecoding, AlarmsWindMaximaAndRainTotals)
{
    struct FlagRow {
        const char *situation;
        std::uint8_t b160;
        std::uint16_t rain, speed, gust;
    };
    const FlagRow flags[] = {
        {"all off", 0x07, 1, 1, 1},
        {"all armed", 0x00, 0, 0, 0},
        {"rain only", 0x04, 1, 0, 0},
        {"wind speed only", 0x02, 0, 1, 0},
        {"wind gust only", 0x01, 0, 0, 1},
        {"upper bits ignored", 0xF8, 0, 0, 0},
    };
    for (const FlagRow &r : flags)
        for (const auto &[bg, s] : decodeHeaderOnBoth({{160, r.b160}})) {
            EXPECT_EQ(s.RainAlarmFlag, r.rain) << r.situation << bg;
            EXPECT_EQ(s.WindSpeedAlarmFlag, r.speed) << r.situation << bg;
            EXPECT_EQ(s.WindGustAlarmFlag, r.gust) << r.situation << bg;
        }

    using Counter = std::function<int(const StationSummary &)>;
    const std::pair<int, Counter> counters[] = {
        {161, [](const StationSummary &s) { return s.RainAlarm; }},
        {174, [](const StationSummary &s) { return s.RainYesterday; }},
        {176, [](const StationSummary &s) { return s.RainWeek; }},
        {178, [](const StationSummary &s) { return s.RainMonth; }},
    };
    for (const auto &[at, get] : counters)
        for (const CounterRow &r : kCounterRows)
            for (const auto &[bg, s] : decodeHeaderOnBoth({{at, r.lo}, {at + 1, r.hi}}))
                EXPECT_EQ(get(s), r.value) << "bytes " << at << ": " << r.situation << bg;

    // Wind alarms: twelve bits, the high nibble of the first byte below the
    // whole second byte.
    struct WindAlarmRow {
        const char *situation;
        std::uint8_t first, second;
        int mph;
    };
    const WindAlarmRow windAlarms[] = {
        {"25 mph", 0x90, 0x01, 25},
        {"low nibble of the first byte ignored", 0x8F, 0x02, 40},
        {"largest", 0xF0, 0xFF, 4095},
        {"zero", 0x0F, 0x00, 0},
    };
    const std::pair<int, Counter> windAlarmFields[] = {
        {164, [](const StationSummary &s) { return s.WindSpeedAlarm; }},
        {167, [](const StationSummary &s) { return s.WindGustAlarm; }},
    };
    for (const auto &[at, get] : windAlarmFields)
        for (const WindAlarmRow &r : windAlarms)
            for (const auto &[bg, s] : decodeHeaderOnBoth({{at, r.first}, {at + 1, r.second}}))
                EXPECT_EQ(get(s), r.mph) << "bytes " << at << ": " << r.situation << bg;

    for (const WindRow &r : kWindRows) {
        for (const auto &[bg, s] : decodeHeaderOnBoth({{170, r.a}, {171, r.b}}))
            expectValue(s.WindSpeedMax, r.mph, std::string("speed maximum: ") + r.situation + bg);
        for (const auto &[bg, s] : decodeHeaderOnBoth({{172, r.a}, {173, r.b}}))
            expectValue(s.WindGustMax, r.mph, std::string("gust maximum: ") + r.situation + bg);
    }
}

// ---- Round trips through the simulated station's encoders ---------------------

StationImage imageOf(const sim::Memory &memory)
{
    StationImage image;
    std::copy(memory.begin(), memory.end(), image.data());
    return image;
}

// Readings behind a state code or an invalid flag carry no meaning; they are
// set to 0 before decoded and expected records are compared.
Measurement withoutStatedReadings(Measurement m)
{
    if (m.TempDoorState)
        m.TempDoor = 0;
    for (int c = 0; c < kChannelCount; ++c)
        if (m.TempCHState[c])
            m.TempCH[c] = 0;
    if (m.PressLocalInvalid)
        m.PressLocal = 0;
    if (m.WeatherInvalid)
        m.Weather = 0;
    if (m.WindChillState)
        m.WindChill = 0;
    if (m.WindGustState)
        m.WindGust = 0;
    if (m.WindSpeedState)
        m.WindSpeed = 0;
    return m;
}

StationSummary withoutStatedReadings(StationSummary s)
{
    if (s.TempAlarmHighState)
        s.TempAlarmHigh = 0;
    if (s.TempAlarmLowState)
        s.TempAlarmLow = 0;
    for (int i = 0; i < kSensorCount; ++i) {
        if (s.TempMinState[i])
            s.TempMin[i] = 0;
        if (s.TempMaxState[i])
            s.TempMax[i] = 0;
    }
    return s;
}

// The rows below name only the fields that matter to them; the others keep
// their defaults.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

TEST(RoundTrip, HistorySlots)
{
    using sim::SensorValues;
    const SensorValues noSensor{0, sim::kTemperatureNoSensor, 0};
    struct Row {
        const char *situation;
        int year, slot;
        sim::SlotValues v;
    };
    const Row rows[] = {
        {"summer afternoon", 2026, 1,
         {.dayOfWeek = 7, .month = 6, .day = 21, .hour = 15, .minute = 40,
          .indoor = {23.4, 0, 41},
          .channels = {{{28.6, 0, 35}, {24.1, 0, 48}, {12.0, 0, 77}, {31.9, 0, 66}, noSensor}},
          .uv = 7.3, .pressure = 1013.25, .forecast = 6, .windChill = 28.6, .windGust = 12.7,
          .windSpeed = 8.5, .windDirection = 4, .rainCounter = 1234}},
        {"winter night with sensors out of range", 2010, 100,
         {.dayOfWeek = 1, .month = 1, .day = 5, .hour = 3, .minute = 5,
          .indoor = {-0.4, 0, 19},
          .channels = {{{-18.3, 0, 92}, {-45.0, sim::kTemperatureLow, 90}, {71.0, sim::kTemperatureHigh, 10},
                        {0, sim::kTemperatureError, 0}, noSensor}},
          .pressure = 985.0625, .forecast = 0, .windChill = -27.9,
          .windGustState = sim::kWindCodeB, .windSpeedState = sim::kWindCodeE,
          .rainState = 1, .windDirection = 15}},
        {"storm with the barometer failing", 2009, 208,
         {.dayOfWeek = 3, .month = 12, .day = 31, .hour = 23, .minute = 59,
          .indoor = {0, sim::kTemperatureError, 55},
          .pressureInvalid = true, .forecastInvalid = true, .windChillState = sim::kWindChillInvalid,
          .windGust = 123.4, .windSpeed = 99.9, .rainState = 3, .windDirection = 9, .rainCounter = 65535}},
        {"leap day at noon, wind sensor silent", 2024, 57,
         {.dayOfWeek = 4, .month = 2, .day = 29, .hour = 12, .minute = 0,
          .indoor = {25.3, sim::kTemperatureLow, 50},
          .uv = 11.5, .pressure = 1040.9375, .windChillState = sim::kWindChillNoSensor,
          .windGust = 199.9, .windSpeed = 100.0, .rainState = 2}},
    };
    for (const Row &r : rows) {
        sim::Memory memory{};
        sim::writeYear(memory, r.year);
        memory[kPeriodByte] = 2;
        sim::writeSlot(memory, sim::slotPosition(r.slot), r.v);
        Measurement decoded;
        ASSERT_TRUE(decodeSlot(imageOf(memory), sim::slotPosition(r.slot), decoded)) << r.situation;

        const sim::SlotValues &v = r.v;
        Measurement expected;
        expected.DayWeek = static_cast<std::uint16_t>(v.dayOfWeek);
        expected.Dat = QDateTime(QDate(r.year, v.month, v.day), QTime(v.hour, v.minute));
        expected.TempDoor = v.indoor.temperature;
        expected.TempDoorState = static_cast<std::uint16_t>(v.indoor.state);
        expected.HumDoor = v.indoor.humidity;
        for (int c = 0; c < kChannelCount; ++c) {
            const SensorValues &ch = v.channels[static_cast<std::size_t>(c)];
            expected.TempCH[c] = ch.temperature;
            expected.TempCHState[c] = static_cast<std::uint16_t>(ch.state);
            expected.HumCH[c] = ch.humidity;
        }
        expected.UV = v.uv;
        expected.PressLocal = v.pressure;
        expected.PressLocalInvalid = v.pressureInvalid ? 1 : 0;
        expected.Weather = static_cast<std::uint16_t>(v.forecast);
        expected.WeatherInvalid = v.forecastInvalid ? 2 : 0;
        expected.WindChill = v.windChill;
        expected.WindChillState = static_cast<std::uint16_t>(v.windChillState);
        expected.WindGust = v.windGust;
        expected.WindGustState = static_cast<std::uint16_t>(v.windGustState);
        expected.WindSpeed = v.windSpeed;
        expected.WindSpeedState = static_cast<std::uint16_t>(v.windSpeedState);
        expected.RainCount = v.rainCounter;
        expected.RainState = static_cast<std::uint16_t>(v.rainState);
        expected.WindDirection = static_cast<std::uint16_t>(v.windDirection);
        expected.HistoryPeriodMs = 600000;
        EXPECT_EQ(dump(withoutStatedReadings(decoded)), dump(withoutStatedReadings(expected))) << r.situation;
    }
}

TEST(RoundTrip, Header)
{
    using T = sim::TemperatureValue;
    struct Row {
        const char *situation;
        sim::HeaderValues v;
    };
    const Row rows[] = {
        {"Moscow station after a summer week",
         {.year = 2026,
          .location = {55, 45, false, 37, 37, true, 3.0, 0, 0x3A},
          .temperatureAlarmHigh = {30.0},
          .temperatureAlarmLow = {-10.0},
          .minimum = {{{21.5}, {-5.5}, {9.1}, {4.0}, {15.2}, {0, sim::kTemperatureError}}},
          .maximum = {{{24.9}, {31.4}, {27.3}, {6.6}, {52.9}, {0, sim::kTemperatureError}}},
          .trends = {1, 2, 3, 0, 1, 1, 2, 2, 3, 3, 0, 1},
          .uvDailyMaxima = {5.3, 7.2, 0, 11.5, 23.4, 99.9, 0.1, 8.8},
          .altitude = 150,
          .pressureHistory = {1000, 1001.0625, 1002.125, 1003.1875, 1004.25, 1005.3125, 1006.375, 1007.4375,
                              1008.5, 1009.5625, 1010.625, 1011.6875, 1012.75, 1013.8125, 1014.875, 1015.9375,
                              1017, 1018.0625, 1019.125, 1020.1875, 1021.25, 1022.3125, 1023.375, 1024.4375, 985},
          .rainAlarmFlag = 0, .windSpeedAlarmFlag = 1, .windGustAlarmFlag = 0,
          .rainAlarm = 40, .windSpeedAlarm = 25, .windGustAlarm = 40,
          .windSpeedMax = {45.6}, .windGustMax = {123.4},
          .rainYesterday = 12, .rainWeek = 300, .rainMonth = 4321, .periodCode = 5}},
        {"southern station below sea level",
         {.year = 2010,
          .location = {33, 52, true, 151, 13, true, 10.0, 7, 0xC3},
          .temperatureAlarmHigh = {45.0, sim::kTemperatureHigh},
          .temperatureAlarmLow = {-40.0, sim::kTemperatureLow},
          .minimum = {{{-12.4}, {}, {}, {}, {}, {}}},
          .batteries = {1, 0, 1, 0, 1, 0, 1, 0},
          .altitude = -28,
          .rainAlarmFlag = 1, .windSpeedAlarmFlag = 0, .windGustAlarmFlag = 1,
          .windSpeedAlarm = 4095, .windGustMax = {199.9}, .rainMonth = 65535, .periodCode = 11}},
        {"western station with a negative half-hour zone",
         {.year = 2009, .location = {47, 33, false, 52, 42, false, -3.5, 3, 0x07}, .altitude = 4000}},
    };
    for (const Row &r : rows) {
        sim::Memory memory{};
        sim::writeHeader(memory, r.v);
        StationSummary decoded;
        decodeHeader(imageOf(memory), kSlotDate, decoded);

        const sim::HeaderValues &v = r.v;
        const sim::Location &loc = v.location;
        StationSummary expected;
        expected.RecordTime = kSlotDate;
        expected.LatMin = loc.latitudeDegrees;
        expected.LatSec = loc.latitudeMinutes;
        expected.LongMin = loc.longitudeDegrees;
        expected.LongSec = loc.longitudeMinutes;
        expected.Hemispheres = (loc.south ? 2 : 0) | (loc.east ? 1 : 0);
        expected.TimeZone = loc.timeZone;
        expected.DstCode = loc.dstCode;
        expected.CityCode = loc.cityCode;
        auto set = [](double &value, std::uint16_t &state, const T &t) {
            value = t.celsius;
            state = static_cast<std::uint16_t>(t.state);
        };
        set(expected.TempAlarmHigh, expected.TempAlarmHighState, v.temperatureAlarmHigh);
        set(expected.TempAlarmLow, expected.TempAlarmLowState, v.temperatureAlarmLow);
        for (int i = 0; i < kSensorCount; ++i) {
            set(expected.TempMin[i], expected.TempMinState[i], v.minimum[static_cast<std::size_t>(i)]);
            set(expected.TempMax[i], expected.TempMaxState[i], v.maximum[static_cast<std::size_t>(i)]);
        }
        std::copy(v.trends.begin(), v.trends.end(), expected.Trend);
        std::copy(v.batteries.begin(), v.batteries.end(), expected.BatteryFlag);
        std::copy(v.uvDailyMaxima.begin(), v.uvDailyMaxima.end(), expected.UvDailyMax);
        expected.Altitude = v.altitude;
        std::copy(v.pressureHistory.begin(), v.pressureHistory.end(), expected.PressureHistory);
        expected.RainAlarmFlag = static_cast<std::uint16_t>(v.rainAlarmFlag);
        expected.WindSpeedAlarmFlag = static_cast<std::uint16_t>(v.windSpeedAlarmFlag);
        expected.WindGustAlarmFlag = static_cast<std::uint16_t>(v.windGustAlarmFlag);
        expected.RainAlarm = v.rainAlarm;
        expected.WindSpeedAlarm = v.windSpeedAlarm;
        expected.WindGustAlarm = v.windGustAlarm;
        expected.WindSpeedMax = v.windSpeedMax.mph;
        expected.WindGustMax = v.windGustMax.mph;
        expected.RainYesterday = v.rainYesterday;
        expected.RainWeek = v.rainWeek;
        expected.RainMonth = v.rainMonth;
        EXPECT_EQ(dump(withoutStatedReadings(decoded)), dump(withoutStatedReadings(expected))) << r.situation;

        // The slots are dated with this header's year and period.
        sim::writeSlot(memory, sim::slotPosition(3), {.month = 3, .day = 1});
        Measurement m;
        ASSERT_TRUE(decodeSlot(imageOf(memory), sim::slotPosition(3), m)) << r.situation;
        EXPECT_EQ(m.Dat.date(), QDate(v.year, 3, 1)) << r.situation;
        EXPECT_EQ(m.HistoryPeriodMs, historyPeriodMs(v.periodCode)) << r.situation;
    }
}

#pragma GCC diagnostic pop

}  // namespace
