// Plausible weather for the simulated station, as a pure function of the
// station time and a seed: the same seed gives the same readings at the same
// moment, however the station got there (stepwise, by a jump, or after a
// restart). Only the rain counter needs a running total, which the station
// keeps from rainTipSeconds.
//
// The site is Moscow-like (55.75 N, 37.6 E, UTC+3, no daylight saving):
// mild summer days, cold winters, pressure fronts every few days. Noise is
// built from hashed integers rather than <random> distributions so the
// sequence is identical on every platform and standard library.
#pragma once

#include "MemoryEncoding.h"

#include <cstdint>

namespace nimbrel::sim {

struct Site {
    double latitude = 55.75;   // degrees, north positive
    double longitude = 37.617; // degrees, east positive
    double timeZone = 3;       // hours the station clock is ahead of UTC
};

class WeatherGenerator {
public:
    explicit WeatherGenerator(std::uint32_t seed, Site site = {});

    // Every field of a history record at station time t (seconds on the
    // station clock), rounded to the station's resolution. The rain counter
    // is left 0: the caller owns the running total. Channel 5 is reported
    // as "no sensor".
    SlotValues readings(std::int64_t t) const;

    double indoorTemperature(std::int64_t t) const;
    // Channels 1..4; channel 1 is the outdoor sensor the wind chill uses.
    double channelTemperature(int channel, std::int64_t t) const;
    double pressure(std::int64_t t) const;  // hPa, 985..1035
    double uvIndex(std::int64_t t) const;
    double windSpeed(std::int64_t t) const;  // mph
    // Tips per hour falling during the clock hour that holds t.
    int rainRate(std::int64_t t) const;
    // Tips fallen in (from, to], times 3600: integer arithmetic so running
    // totals never drift. Negative when to < from.
    std::int64_t rainTipSeconds(std::int64_t from, std::int64_t to) const;

    // Forecast code 1..6 from the pressure and its three-hour tendency.
    int forecast(std::int64_t t) const;

    const Site &site() const { return site_; }

private:
    double noise(int stream, double x) const;   // smooth, -1..1
    double random01(int stream, std::int64_t i) const;
    double seasonalMean(std::int64_t t) const;  // daily mean outdoor temperature
    double humidity(int sensor, std::int64_t t) const;

    std::uint64_t seed_;
    Site site_;
};

}  // namespace nimbrel::sim
