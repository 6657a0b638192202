#include "Decoding.h"

namespace nimbrel {

namespace {

std::uint16_t tenthsState(std::uint8_t a)
{
    switch (lowNibble(a)) {
    case 0xC: return 1;
    case 0xB: return 2;
    default: return 3;
    }
}

int le16(const StationImage &image, int lo, int hi)
{
    return image[lo] | (image[hi] << 8);
}

// Daily UV maximum, first form: whole part in one byte, tenths in the high
// nibble of the byte below.
double uvWholeByte(std::uint8_t whole, std::uint8_t tenthsByte)
{
    const int tenths = highNibble(tenthsByte);
    if (whole >= 100 || tenths >= 10)
        return 0;
    return whole + tenths * 0.1;
}

// Second form: whole part from a low and a high nibble of two bytes, tenths
// in the low nibble of the lower byte.
double uvSplitNibbles(std::uint8_t upper, std::uint8_t lower)
{
    const int whole = lowNibble(upper) * 16 + highNibble(lower);
    const int tenths = lowNibble(lower);
    if (whole >= 100 || tenths >= 10)
        return 0;
    return whole + tenths * 0.1;
}

}  // namespace

TemperatureReading decodeTemperature(std::uint8_t a, std::uint8_t b)
{
    TemperatureReading r;
    const double magnitude = lowNibble(b) * 10 + highNibble(a) + lowNibble(a) * 0.1;
    r.value = (b & 0x80) ? magnitude : -magnitude;
    if (lowNibble(a) > 9)
        r.state = tenthsState(a);
    return r;
}

WindReading decodeWind(std::uint8_t a, std::uint8_t b)
{
    WindReading r;
    r.value = ((b >> 4) & 1) * 100 + lowNibble(b) * 10 + highNibble(a) + lowNibble(a) * 0.1;
    r.code = (b & 0x1F) * 256 + a;
    if (r.code == 0xBBB)
        r.state = 1;
    else if (r.code == 0xEEE)
        r.state = 2;
    return r;
}

std::int32_t historyPeriodMs(int code)
{
    static constexpr std::int32_t periods[] = {300000,  600000,   1200000,  1800000,  3600000, 5400000,
                                               7200000, 10800000, 14400000, 21600000, 86400000};
    return code >= 1 && code <= 11 ? periods[code - 1] : 0;
}

int stationYear(const StationImage &image)
{
    return 2000 + bcd(image[4]);
}

bool decodeSlot(const StationImage &image, int position, Measurement &m)
{
    return decodeSlot(image, position, m, stationYear(image));
}

bool decodeSlot(const StationImage &image, int position, Measurement &m, int year)
{
    // The position comes from the station's index byte or the user: an index
    // above 230 would put the slot's last bytes past the image's end.
    if (position < 0 || position > kImageSize - kSlotSize)
        return false;
    auto r = [&](int offset) { return image[position + offset]; };

    const int month = lowNibble(r(0));
    const int day = bcd(r(1));
    const int hour = bcd(r(2));
    const int minute = bcd(r(3));
    if (month >= 1 && month <= 12 && day >= 1 && day <= 31 && hour <= 24 && minute <= 60) {
        const QDate date(year, month, day);
        const QTime time(hour, minute, 0);
        if (!date.isValid() || !time.isValid())
            return false;
        m.Dat = QDateTime(date, time);
    }
    m.DayWeek = static_cast<std::uint16_t>(highNibble(r(0)));

    const TemperatureReading indoor = decodeTemperature(r(4), r(5));
    m.TempDoor = indoor.value;
    m.TempDoorState = indoor.state;
    m.HumDoor = bcd(r(6));

    // Channel 3's humidity is in r16; r15 is not used.
    static constexpr int channelTemp[kChannelCount] = {7, 10, 13, 17, 20};
    static constexpr int channelHum[kChannelCount] = {9, 12, 16, 19, 22};
    for (int c = 0; c < kChannelCount; ++c) {
        const std::uint8_t a = r(channelTemp[c]);
        const std::uint8_t b = r(channelTemp[c] + 1);
        const TemperatureReading t = decodeTemperature(a, b);
        m.TempCH[c] = t.value;
        // Bit 6 of the second byte clear: no sensor on this channel, unless
        // the tenths nibble says something more specific.
        m.TempCHState[c] = (b & 0x40) ? 0 : 4;
        if (t.state != 0)
            m.TempCHState[c] = t.state;
        m.HumCH[c] = bcd(r(channelHum[c]));
    }

    const double uv = lowNibble(r(24)) * 16 + highNibble(r(23)) + lowNibble(r(23)) * 0.1;
    m.UV = uv > 99 ? 0 : uv;

    // Sixteenths of a hectopascal; a high nibble of 15 marks no reading.
    m.PressLocal = le16(image, position + 25, position + 26) / 16.0;
    m.PressLocalInvalid = highNibble(r(26)) == 15 ? 1 : 0;
    m.Weather = static_cast<std::uint16_t>(r(27) & 7);
    m.WeatherInvalid = lowNibble(r(27)) == 15 ? 2 : 0;

    const TemperatureReading chill = decodeTemperature(r(28), r(29));
    m.WindChill = chill.value;
    m.WindChillState = 0;
    if (!(r(29) & 0x40))
        m.WindChillState = 1;
    if (((r(29) & 0x1F) * 256 + r(28)) == 0xEEE)
        m.WindChillState = 4;

    const WindReading gust = decodeWind(r(30), r(31));
    m.WindGust = gust.value;
    m.WindGustState = gust.state;
    const WindReading speed = decodeWind(r(32), r(33));
    m.WindSpeed = speed.value;
    m.WindSpeedState = speed.state;

    m.RainCount = le16(image, position + 35, position + 36);
    switch (highNibble(r(34))) {
    case 10: m.RainState = 1; break;
    case 13: m.RainState = 2; break;
    case 14: m.RainState = 3; break;
    default: m.RainState = 0; break;
    }
    m.WindDirection = static_cast<std::uint16_t>(lowNibble(r(34)));

    if (const std::int32_t period = historyPeriodMs(image[kPeriodByte]))
        m.HistoryPeriodMs = period;
    return true;
}

void decodeHeader(const StationImage &image, const QDateTime &recordTime, StationSummary &s,
                  const std::optional<LocationOverride> &userCity)
{
    s.RecordTime = recordTime;

    s.LatMin = reversedBcd(image[6]);
    s.LatSec = reversedBcd(image[7]);
    s.LongMin = reversedBcd(image[8]) + ((image[11] & 0x10) ? 100 : 0);
    s.LongSec = reversedBcd(image[9]);
    s.Hemispheres = (image[10] >> 6) & 3;
    double zone = highNibble(image[13]);
    if ((image[10] & 3) == 3)
        zone += 0.5;
    if (image[10] & 0x08)
        zone = -zone;
    s.TimeZone = zone;
    s.DstCode = lowNibble(image[11]);
    s.CityCode = (image[12] & 0xF0) | lowNibble(image[13]);

    const TemperatureReading high = decodeTemperature(image[31], image[32]);
    s.TempAlarmHigh = high.value;
    s.TempAlarmHighState = high.state;
    const TemperatureReading low = decodeTemperature(image[33], image[34]);
    s.TempAlarmLow = low.value;
    s.TempAlarmLowState = low.state;

    // Minimum pair, maximum pair per sensor. Channel 4 keeps its maximum in
    // bytes 62 and 64; byte 63 is unused.
    struct Pairs {
        int minA, minB, maxA, maxB;
    };
    static constexpr Pairs extremes[kSensorCount] = {
        {36, 37, 38, 39}, {42, 43, 44, 45}, {48, 49, 50, 51},
        {54, 55, 56, 57}, {60, 61, 62, 64}, {67, 68, 69, 70},
    };
    for (int i = 0; i < kSensorCount; ++i) {
        const TemperatureReading mn = decodeTemperature(image[extremes[i].minA], image[extremes[i].minB]);
        const TemperatureReading mx = decodeTemperature(image[extremes[i].maxA], image[extremes[i].maxB]);
        s.TempMin[i] = mn.value;
        s.TempMinState[i] = mn.state;
        s.TempMax[i] = mx.value;
        s.TempMaxState[i] = mx.state;
    }

    // Twelve 2-bit codes, four to a byte from bit 0 upwards.
    for (int i = 0; i < kTrendCount; ++i)
        s.Trend[i] = static_cast<std::uint16_t>((image[73 + i / 4] >> ((i % 4) * 2)) & 3);
    for (int i = 0; i < kBatteryCount; ++i)
        s.BatteryFlag[i] = static_cast<std::uint16_t>((image[76] >> i) & 1);

    // Daily UV maxima, newest in the highest bytes, two forms alternating.
    s.UvDailyMax[0] = uvWholeByte(image[88], image[87]);
    s.UvDailyMax[1] = uvSplitNibbles(image[87], image[86]);
    s.UvDailyMax[2] = uvWholeByte(image[85], image[84]);
    s.UvDailyMax[3] = uvSplitNibbles(image[84], image[83]);
    s.UvDailyMax[4] = uvWholeByte(image[82], image[81]);
    s.UvDailyMax[5] = uvSplitNibbles(image[81], image[80]);
    s.UvDailyMax[6] = uvWholeByte(image[79], image[78]);
    s.UvDailyMax[7] = uvSplitNibbles(image[78], image[77]);

    s.Altitude = le16(image, 90, 91);
    if (image[92] & 0x08)
        s.Altitude = -s.Altitude;

    // Hourly pressures: eleven words from 100, one from 122 with its high
    // byte at 124 (123 is skipped), thirteen words from 125.
    int k = 0;
    for (int at = 100; at <= 120; at += 2)
        s.PressureHistory[k++] = le16(image, at, at + 1) / 16.0;
    s.PressureHistory[k++] = le16(image, 122, 124) / 16.0;
    for (int at = 125; at <= 149; at += 2)
        s.PressureHistory[k++] = le16(image, at, at + 1) / 16.0;

    s.RainAlarmFlag = (image[160] >> 2) & 1;
    s.WindSpeedAlarmFlag = (image[160] >> 1) & 1;
    s.WindGustAlarmFlag = image[160] & 1;
    s.RainAlarm = le16(image, 161, 162);
    s.WindSpeedAlarm = highNibble(image[164]) + image[165] * 16;
    s.WindGustAlarm = highNibble(image[167]) + image[168] * 16;
    s.WindSpeedMax = decodeWind(image[170], image[171]).value;
    s.WindGustMax = decodeWind(image[172], image[173]).value;
    s.RainYesterday = le16(image, 174, 175);
    s.RainWeek = le16(image, 176, 177);
    s.RainMonth = le16(image, 178, 179);

    if (userCity) {
        s.LatMin = userCity->LatMin;
        s.LatSec = userCity->LatSec;
        s.LongMin = userCity->LongMin;
        s.LongSec = userCity->LongSec;
        s.Hemispheres = userCity->Hemispheres;
        s.TimeZone = userCity->TimeZone;
    }
}

}  // namespace nimbrel
