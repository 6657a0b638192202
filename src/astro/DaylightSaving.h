// The station's fifteen daylight-saving rules: whether a rule is in force at
// a local clock reading, and the rule's name.
//
// The station names its rule by a code that stands for a region. Most of
// those regions have changed their law since the codes were drawn up, so
// each code keeps its original dates for the years before its region's
// change and follows the current law from the year of the change on
// (Australian DST from 2008, Chile from 2019, the United States from 2007,
// no daylight saving in Moscow from 2011, ...; the table is in
// DaylightSaving.cpp). Every boundary is a local clock time and both
// boundaries count as in force. Start and end are taken in the calendar year
// of the moment; for rules whose summer spans the turn of the year the start
// lies later in the year than the end.
#pragma once

#include "CalendarMoment.h"

#include <QString>
#include <optional>

namespace nimbrel::astro {

inline constexpr int kLastDaylightSavingCode = 15;

// True when rule code is in force at the local clock reading. Code 0, codes
// above 15 and negative codes are never in force.
bool IsDaylightSavingActive(int code, const CalendarMoment &localClock);

// The rule's name as the main window keeps it in DSTL: "" for code 0,
// "Australian DST", ..., "New Zealand DST" for 15. No value for codes
// outside 0..15, which leave the label as it was.
std::optional<QString> DaylightSavingRuleName(int code);

}  // namespace nimbrel::astro
