#include "WeatherGenerator.h"

#include "StationClock.h"

#include <algorithm>
#include <cmath>

namespace nimbrel::sim {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kDay = 86400.0;

// Independent noise streams, one per quantity, so that e.g. the wind does not
// move in step with the temperature.
enum Stream {
    kFront = 1, kIndoor, kPressureSlow, kPressureFast, kWindBase, kWindGust, kWindPuff, kWindTurn, kWindVeer,
    kRainChance, kRainAmount, kChannelNoise = 20, kHumidityNoise = 30,
};

std::uint64_t splitmix(std::uint64_t x)
{
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

double round1(double value) { return std::round(value * 10.0) / 10.0; }

std::int64_t floorDiv(std::int64_t a, std::int64_t b)
{
    std::int64_t q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
    return q;
}

// Hours since midnight on the station clock, fractional.
double clockHours(std::int64_t t) { return static_cast<double>(t - startOfDay(t)) / 3600.0; }

// 1 at the hour of the peak, -1 twelve hours later.
double dailyCycle(std::int64_t t, double peakHour) { return std::cos(2.0 * kPi * (clockHours(t) - peakHour) / 24.0); }

// Fahrenheit/mph wind chill formula of the North American weather services,
// valid at 10 C and below with more than 3 mph of wind.
double windChillOf(double celsius, double mph)
{
    if (celsius > 10.0 || mph <= 3.0) return celsius;
    const double f = celsius * 9.0 / 5.0 + 32.0;
    const double v = std::pow(mph, 0.16);
    const double chill = 35.74 + 0.6215 * f - 35.75 * v + 0.4275 * f * v;
    return std::min((chill - 32.0) * 5.0 / 9.0, celsius);
}

}  // namespace

WeatherGenerator::WeatherGenerator(std::uint32_t seed, Site site) : seed_(splitmix(seed)), site_(site) {}

double WeatherGenerator::random01(int stream, std::int64_t i) const
{
    const std::uint64_t h = splitmix(seed_ ^ splitmix(static_cast<std::uint64_t>(stream) * 0x632BE59BD9B4E019ull +
                                                      static_cast<std::uint64_t>(i)));
    return static_cast<double>(h >> 11) / 9007199254740992.0;  // 2^53
}

double WeatherGenerator::noise(int stream, double x) const
{
    const double cell = std::floor(x);
    const double f = x - cell;
    const auto i = static_cast<std::int64_t>(cell);
    const double a = random01(stream, i) * 2.0 - 1.0;
    const double b = random01(stream, i + 1) * 2.0 - 1.0;
    const double s = f * f * (3.0 - 2.0 * f);
    return a + (b - a) * s;
}

double WeatherGenerator::seasonalMean(std::int64_t t) const
{
    // About -8 C in mid-January, +18 C in mid-July, plus fronts of a few
    // degrees that come and go over two or three days.
    const double day = static_cast<double>(dayOfYear(fromSeconds(t)));
    return 5.8 + 13.5 * std::sin(2.0 * kPi * (day - 110.0) / 365.0) + 3.0 * noise(kFront, static_cast<double>(t) / (2.5 * kDay));
}

double WeatherGenerator::indoorTemperature(std::int64_t t) const
{
    // Heated or cooled flat: 22..24 C, warmest in the evening.
    return 23.0 + 0.7 * dailyCycle(t, 19.0) + 0.3 * noise(kIndoor, static_cast<double>(t) / (0.3 * kDay));
}

double WeatherGenerator::channelTemperature(int channel, std::int64_t t) const
{
    const double mean = seasonalMean(t);
    const double wobble = 0.4 * noise(kChannelNoise + channel, static_cast<double>(t) / (0.1 * kDay));
    switch (channel) {
    case 1:  // open air
        return mean + 5.0 * dailyCycle(t, 15.0) + wobble;
    case 2:  // north wall, shaded: a smaller swing, a little warmer from the house
        return mean + 1.0 + 3.0 * dailyCycle(t, 16.0) + wobble;
    case 3:  // cellar: hardly moves
        return 7.0 + 0.15 * mean + 0.3 * dailyCycle(t, 18.0) + 0.2 * wobble;
    case 4:  // greenhouse: hot afternoons, cold nights
        return mean + 4.0 + 9.0 * dailyCycle(t, 14.0) + wobble;
    default:
        return 0.0;
    }
}

double WeatherGenerator::humidity(int sensor, std::int64_t t) const
{
    const double n = noise(kHumidityNoise + sensor, static_cast<double>(t) / (0.25 * kDay));
    if (sensor == 0) return std::clamp(45.0 - 2.0 * (indoorTemperature(t) - 23.0) + 3.0 * n, 25.0, 70.0);
    if (sensor == 3) return std::clamp(82.0 + 3.0 * n, 60.0, 95.0);
    // Relative humidity falls as the air warms over the day and rises in rain.
    const double swing = channelTemperature(sensor, t) - seasonalMean(t);
    const double wet = rainRate(t) > 0 ? 15.0 : 0.0;
    return std::clamp(70.0 - 2.5 * swing + 8.0 * n + wet, 15.0, 98.0);
}

double WeatherGenerator::pressure(std::int64_t t) const
{
    // A slow drift of fronts over three to four days with faster ripples;
    // the station's barometer range in practice.
    const double x = static_cast<double>(t);
    const double p = 1010.0 + 18.0 * noise(kPressureSlow, x / (3.5 * kDay)) + 5.0 * noise(kPressureFast, x / (0.8 * kDay));
    return std::clamp(p, 985.0, 1035.0);
}

int WeatherGenerator::rainRate(std::int64_t t) const
{
    // Showers come more often the lower the pressure.
    const std::int64_t hour = floorDiv(t, 3600);
    const double low = std::clamp((1013.0 - pressure(hour * 3600)) / 20.0, 0.0, 1.0);
    if (random01(kRainChance, hour) >= 0.03 + 0.22 * low) return 0;
    return 1 + static_cast<int>(random01(kRainAmount, hour) * 6.0);
}

std::int64_t WeatherGenerator::rainTipSeconds(std::int64_t from, std::int64_t to) const
{
    if (to < from) return -rainTipSeconds(to, from);
    std::int64_t total = 0;
    std::int64_t at = from;
    while (at < to) {
        const std::int64_t hourEnd = (floorDiv(at, 3600) + 1) * 3600;
        const std::int64_t end = std::min(hourEnd, to);
        total += static_cast<std::int64_t>(rainRate(at)) * (end - at);
        at = end;
    }
    return total;
}

double WeatherGenerator::uvIndex(std::int64_t t) const
{
    const double day = static_cast<double>(dayOfYear(fromSeconds(t)));
    const double declination = 23.44 * kPi / 180.0 * std::sin(2.0 * kPi * (284.0 + day) / 365.0);
    const double latitude = site_.latitude * kPi / 180.0;
    const double solarHours = clockHours(t) - site_.timeZone + site_.longitude / 15.0;
    const double hourAngle = (solarHours - 12.0) * 15.0 * kPi / 180.0;
    const double sinElevation = std::sin(latitude) * std::sin(declination) +
                                std::cos(latitude) * std::cos(declination) * std::cos(hourAngle);
    if (sinElevation <= 0.0) return 0.0;
    const double cloudy = std::clamp((1016.0 - pressure(t)) / 25.0, 0.0, 1.0);
    const double cover = std::clamp(1.0 - 0.5 * cloudy - (rainRate(t) > 0 ? 0.35 : 0.0), 0.1, 1.0);
    return 10.0 * std::pow(sinElevation, 2.2) * cover;
}

double WeatherGenerator::windSpeed(std::int64_t t) const
{
    const double x = static_cast<double>(t);
    const double stormy = std::clamp((1012.0 - pressure(t)) / 15.0, 0.0, 1.5);
    const double afternoon = std::max(0.0, dailyCycle(t, 14.0));
    return std::max(0.0, 5.0 + 4.0 * noise(kWindBase, x / (0.4 * kDay)) + 4.0 * stormy + 2.0 * afternoon);
}

int WeatherGenerator::forecast(std::int64_t t) const
{
    const double now = pressure(t);
    const double tendency = now - pressure(t - 3 * 3600);
    const bool freezing = channelTemperature(1, t) < 1.0;
    if (tendency <= -1.5) return freezing ? 1 : (tendency <= -3.0 ? 3 : 2);
    if (tendency >= 1.0) return now >= 1012.0 ? 6 : 5;
    if (now >= 1020.0) return 6;
    if (now >= 1008.0) return 5;
    if (now >= 998.0) return 4;
    return freezing ? 1 : 2;
}

SlotValues WeatherGenerator::readings(std::int64_t t) const
{
    const StationTime time = fromSeconds(t);
    SlotValues v;
    v.dayOfWeek = dayOfWeek(time);
    v.month = time.month;
    v.day = time.day;
    v.hour = time.hour;
    v.minute = time.minute;

    v.indoor.temperature = round1(indoorTemperature(t));
    v.indoor.humidity = static_cast<int>(std::lround(humidity(0, t)));
    for (int c = 1; c <= 4; ++c) {
        SensorValues &channel = v.channels[static_cast<std::size_t>(c - 1)];
        channel.temperature = round1(channelTemperature(c, t));
        channel.humidity = static_cast<int>(std::lround(humidity(c, t)));
    }
    // Channel 5 has never been paired with a sensor.
    v.channels[4] = SensorValues{0.0, kTemperatureNoSensor, 0};

    v.uv = round1(uvIndex(t));
    v.pressure = std::round(pressure(t) * 16.0) / 16.0;
    v.forecast = forecast(t);

    const std::int64_t fiveMinutes = floorDiv(t, 300);
    v.windSpeed = round1(windSpeed(t));
    const double gustFactor = 1.25 + 0.35 * random01(kWindGust, fiveMinutes);
    v.windGust = std::max(v.windSpeed, round1(v.windSpeed * gustFactor + 1.5 * random01(kWindPuff, fiveMinutes)));
    const double x = static_cast<double>(t);
    const double heading = 200.0 + 150.0 * noise(kWindTurn, x / (1.7 * kDay)) + 25.0 * noise(kWindVeer, x / (0.1 * kDay));
    v.windDirection = static_cast<int>(((std::lround(heading / 22.5) % 16) + 16) % 16);
    v.windChill = round1(windChillOf(v.channels[0].temperature, v.windSpeed));
    return v;
}

}  // namespace nimbrel::sim
