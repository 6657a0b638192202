// How a day's rise and set times are kept, and the one-pass horizon
// crossing the Earth picture uses.
//
// The one-pass method takes the body's position once and uses it for both
// events of the day, with no iteration: good for a picture of the hour, off
// by minutes for the Sun and by most of an hour for the Moon. The clock
// times shown come from DayEvents.h.
#pragma once

namespace nimbrel::astro {

enum class RiseSetStatus {
    Crosses = 1,       // rise and set computed
    AlwaysBelow = -1,  // the body stays below the horizon all day (polar night)
    AlwaysAbove = -2,  // it stays above all day (polar day)
};

struct RiseSet {
    RiseSetStatus status = RiseSetStatus::AlwaysBelow;
    double rise = 0;  // hours 0 <= t < 24, valid only when the status is Crosses
    double set = 0;
    bool valid() const { return status == RiseSetStatus::Crosses; }
};

// A day's times as the main window keeps them: both 0 when the body does not
// rise, both 24 when it does not set, otherwise 0 <= t < 24 each.
struct DayTimes {
    double rise = 0;
    double set = 0;
    bool neverRises() const { return rise == 0 && set == 0; }
    bool neverSets() const { return rise == 24 && set == 24; }
};

DayTimes dayTimesOf(const RiseSet &r);

// x reduced into 0 <= x < 24 by adding or subtracting 24.
double wrapHours(double x);

// Local sidereal time at 0h of a day, hours 0..24: the Greenwich sidereal
// time at day count d0 turned by the longitude (degrees, east positive).
double localSiderealTimeAtMidnight(double d0, double longitudeDeg);

// Rise and set of a body at right ascension raHours (0..24) and declination
// decDeg, crossing when its centre is zenithDeg from the zenith, for a
// latitude (degrees, north positive) whose local sidereal time at 0h is
// s0Hours; zone in hours turns the result into clock time.
//
// The hour angle's sidereal interval from 0h is reduced into 0..24 before it
// is scaled to clock hours (0.9972695663 clock hours per sidereal hour);
// scaling a negative interval first and wrapping afterwards would shift the
// time by 24 × (1 − 0.9972695663) h, about 3.9 minutes.
//
// At exactly ±90° latitude the divisor of the hour-angle cosine is zero: an
// infinite quotient gives AlwaysBelow or AlwaysAbove by its sign, an
// undefined one AlwaysAbove.
RiseSet onePassRiseSet(double raHours, double decDeg, double zenithDeg, double latitudeDeg, double s0Hours,
                        double zone);

}  // namespace nimbrel::astro
