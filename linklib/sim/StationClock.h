// The simulated station's clock.
//
// The station keeps local civil time with no notion of time zones or
// daylight saving: its clock is whatever the user set on the base unit.
// The model therefore counts seconds on a plain proleptic Gregorian
// timeline (as if the local time were UTC), which makes "date plus one
// history period" exact arithmetic with no gaps or repeated hours.
#pragma once

#include <cstdint>
#include <string>

namespace nimbrel::sim {

struct StationTime {
    int year = 2026;
    int month = 6;  // 1..12
    int day = 21;   // 1..31
    int hour = 12;
    int minute = 0;
    int second = 0;
};

// Seconds since 1970-01-01T00:00:00 of the station's local time.
std::int64_t toSeconds(const StationTime &time);
StationTime fromSeconds(std::int64_t seconds);

// 1 = Monday ... 7 = Sunday, the day-of-week nibble the station stores.
int dayOfWeek(const StationTime &time);
// 1 = January 1st.
int dayOfYear(const StationTime &time);
bool isValidTime(const StationTime &time);

// Parses YYYY-MM-DDTHH:MM:SS strictly (a real calendar date and a time of day).
bool parseStationTime(const std::string &text, StationTime *time);

constexpr std::int64_t kSecondsPerDay = 86400;
constexpr std::int64_t kSecondsPerHour = 3600;

// Midnight that starts the day holding this instant.
inline std::int64_t startOfDay(std::int64_t seconds)
{
    std::int64_t days = seconds / kSecondsPerDay;
    if (seconds % kSecondsPerDay < 0) --days;
    return days * kSecondsPerDay;
}

}  // namespace nimbrel::sim
