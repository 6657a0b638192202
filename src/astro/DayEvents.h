// Rise and set of a body followed through the local date: its altitude is
// sampled every hour of the day and each crossing of its horizon altitude is
// pinned down by root finding to well under a second.
#pragma once

#include "CalendarMoment.h"
#include "Location.h"
#include "RiseSet.h"

namespace nimbrel::astro {

// Where a body stands at one instant: geocentric right ascension and
// declination (degrees) and the altitude of its centre when its upper limb
// touches the horizon (degrees; refraction, semidiameter and parallax in).
struct HorizonPlace {
    double rightAscensionDeg = 0;
    double declinationDeg = 0;
    double horizonAltitudeDeg = 0;
};

// The body's place at day count d (Universal Time).
using PlaceAt = HorizonPlace (*)(double d);

// Which set a day's rise is paired with.
enum class SetOfTheDay {
    // The first set after the day's rise: the end of the day's light, even
    // when it comes after midnight (a sunset after midnight in the far
    // north), so that set minus rise is the length of the day.
    AfterRise,
    // The first set on the date itself, as moonrise and moonset are listed.
    OnTheDate,
};

// Rise and set on the local date of `date` (its time of day is not used),
// in local clock hours 0 <= t < 24. zone (hours east, daylight saving
// included) turns the date's clock into Universal Time. latitudeDeg is
// north positive, longitudeDeg east positive.
//
// The rise is the first on the date; a date without one (the Moon skips a
// rise and a set every month) takes the first after its midnight, shown as
// an early-morning time like a sunset after midnight. The set is chosen by
// `pairing`, and also falls back to the first after midnight. No crossing at
// all on the date gives AlwaysAbove or AlwaysBelow by the body's altitude at
// noon; so does a date whose missing event does not come within the next
// day either (the Moon circling the pole for days).
RiseSet riseSetOnLocalDate(const CalendarMoment &date, double zone, double latitudeDeg, double longitudeDeg,
                           PlaceAt place, SetOfTheDay pairing);

// The clock's offset from Universal Time on the date of `clock`, hours: the
// location's standard zone plus one hour when its daylight-saving rule is in
// force at noon of that date. Taken at noon rather than at the clock's own
// hour, so that every hour of a changeover day shows the same times (the
// clocks change at night, before the day's sunrise).
double zoneOfDate(const Location &location, const CalendarMoment &clock);

}  // namespace nimbrel::astro
