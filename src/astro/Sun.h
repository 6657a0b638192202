// The Sun: ecliptic longitude and distance from a series of periodic terms,
// the day's sunrise and sunset, and the Earth picture that follows the time
// of day.
#pragma once

#include "CalendarMoment.h"
#include "Location.h"
#include "RiseSet.h"

namespace nimbrel::astro {

// Ecliptic longitude of the Sun at day count d, degrees 0 <= λ < 360:
// geometric, mean equinox of date (no aberration or nutation), within about
// 20″ of VSOP87 over 1990-2030 with the series' 49 planetary terms.
double SunLongitude(double d);

// Distance of the Sun at day count d, astronomical units.
double SunDistance(double d);

// Sunrise and sunset on the local date of `moment`, the Sun followed
// through the day (DayEvents.h gives the conventions). latitudeDeg and
// longitudeDeg are unsigned degrees; south negates the latitude, west the
// longitude. zone (hours, daylight saving included) links the local clock
// to Universal Time.
RiseSet SunRiseSet(const CalendarMoment &moment, double zone, double latitudeDeg, double longitudeDeg, bool south,
                   bool west);

// The day's sunrise and sunset at a location for the date of the
// computer's local clock reading, in the clock's zone of that date
// (zoneOfDate): both 0 in polar night, both 24 in polar day. Every hour of
// the date gives the same times.
DayTimes UpdateSunTimes(const Location &location, const CalendarMoment &localClock);

inline constexpr int kEarthPictureCount = 12;

// Which of the 12 Earth pictures (0..11) shows the time of day: picture k
// stands for 2k to 2k + 2 hours after sunrise on the equator at longitude
// 0, that sunrise taken in one pass from the Sun's place at the start of the
// clock's hour (a picture of the hour, not a clock time). localClock is the computer's clock reading, recordTime the time stamp
// of the station's readings. The clock hour is taken back one hour when the
// European rule (code 4) is in force at recordTime and one more when the
// location's rule is in force at localClock, so a location under the
// European rule counts two hours back in summer; that is the picture's
// design and is kept.
int EarthPictureIndex(const Location &location, const CalendarMoment &localClock, const CalendarMoment &recordTime);

}  // namespace nimbrel::astro
