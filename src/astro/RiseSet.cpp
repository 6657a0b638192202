#include "RiseSet.h"

#include "Angles.h"
#include "SkyCoordinates.h"

#include <cmath>
#include <numbers>

namespace nimbrel::astro {

namespace {

constexpr double kHoursPerRadian = 3.819718634205488;  // 12 / π
constexpr double kClockPerSiderealHour = 0.9972695663;

}  // namespace

DayTimes dayTimesOf(const RiseSet &r)
{
    switch (r.status) {
    case RiseSetStatus::Crosses:
        return {r.rise, r.set};
    case RiseSetStatus::AlwaysAbove:
        return {24, 24};
    case RiseSetStatus::AlwaysBelow:
        break;
    }
    return {0, 0};
}

double wrapHours(double x)
{
    if (!std::isfinite(x))
        return 0;
    while (x < 0)
        x += 24;
    while (x >= 24)
        x -= 24;
    return x;
}

double localSiderealTimeAtMidnight(double d0, double longitudeDeg)
{
    double degrees = SiderealTime(d0) * 15.0 + longitudeDeg;
    if (degrees < 0)
        degrees += 360.0;
    return std::fmod(degrees, 360.0) / 15.0;
}

RiseSet onePassRiseSet(double raHours, double decDeg, double zenithDeg, double latitudeDeg, double s0Hours,
                       double zone)
{
    // cos 90° is not exactly 0 in floating point; the pole is taken exactly.
    const double cosPhi = std::fabs(latitudeDeg) == 90.0 ? 0.0 : std::cos(latitudeDeg * kRad);
    const double c = (std::cos(zenithDeg * kRad) - std::sin(latitudeDeg * kRad) * std::sin(decDeg * kRad))
        / (cosPhi * std::cos(decDeg * kRad));
    if (c > 1)
        return {RiseSetStatus::AlwaysBelow, 0, 0};
    if (c < -1 || std::isnan(c))
        return {RiseSetStatus::AlwaysAbove, 0, 0};

    double h = std::acos(c) * kHoursPerRadian;  // half the time above the horizon, sidereal hours
    if (h < 0)
        h += 24;
    double r, t;  // sidereal times of rise and set
    if (h > 12) {
        r = raHours + h;
        t = raHours - h;
    } else {
        r = raHours - h;
        t = raHours + h;
    }
    const double rise = wrapHours(wrapHours(r - s0Hours) * kClockPerSiderealHour + zone);
    const double set = wrapHours(wrapHours(t - s0Hours) * kClockPerSiderealHour + zone);
    return {RiseSetStatus::Crosses, rise, set};
}

}  // namespace nimbrel::astro
