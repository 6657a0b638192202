// The Moon: ecliptic longitude, latitude and horizontal parallax from series
// of periodic terms, the day's moonrise and moonset, and the phase picture.
#pragma once

#include "CalendarMoment.h"
#include "Location.h"
#include "RiseSet.h"

namespace nimbrel::astro {

// Ecliptic longitude at day count d, degrees 0 <= λ < 360 (geometric, mean
// equinox of date; the 60-term series keeps within about 35″ of ELP 2000-82B
// over 1990-2030, the 45-term latitude series within about 20″).
double MoonLongitude(double d);

// Ecliptic latitude at day count d, degrees with sign, about -5.3..+5.3.
double MoonLatitude(double d);

// Horizontal parallax at day count d, degrees (about 0.9..1.0).
double MoonParallax(double d);

// Moonrise and moonset on the local date of `moment`, the Moon followed
// through the day (DayEvents.h gives the conventions, the Moon's skipped
// rise or set of each month among them). Arguments and results as for
// SunRiseSet.
RiseSet MoonRiseSet(const CalendarMoment &moment, double zone, double latitudeDeg, double longitudeDeg, bool south,
                    bool west);

// The day's moonrise and moonset at a location for the date of the
// computer's local clock reading, in the clock's zone of that date: both 0
// when the Moon stays below the horizon, both 24 when it stays above.
DayTimes UpdateMoonTimes(const Location &location, const CalendarMoment &localClock);

// The Moon's longitude minus the Sun's at the start of the clock reading's
// hour, degrees, -360 < e < 360. The zone is not used.
double MoonPhaseAngle(const CalendarMoment &localClock);

inline constexpr int kMoonPictureCount = 36;

// Which of the 36 phase pictures (0..35) shows elongation e: picture k is
// drawn for about (k - 1) × 10°, pictures 0..4, 34 and 35 dark (new moon),
// 16..21 full. Tenths of e are truncated toward zero, so -9.9° and 9.9°
// both give picture 1.
int MoonPictureIndex(double phaseAngleDeg);

}  // namespace nimbrel::astro
