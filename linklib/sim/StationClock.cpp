#include "StationClock.h"

#include <chrono>
#include <cstdio>

namespace nimbrel::sim {

namespace {

std::chrono::year_month_day calendarDate(const StationTime &time)
{
    return std::chrono::year{time.year} / std::chrono::month{static_cast<unsigned>(time.month)} /
           std::chrono::day{static_cast<unsigned>(time.day)};
}

}  // namespace

std::int64_t toSeconds(const StationTime &time)
{
    const std::chrono::sys_days days{calendarDate(time)};
    return static_cast<std::int64_t>(days.time_since_epoch().count()) * kSecondsPerDay +
           time.hour * kSecondsPerHour + time.minute * 60 + time.second;
}

StationTime fromSeconds(std::int64_t seconds)
{
    const std::int64_t midnight = startOfDay(seconds);
    const std::chrono::sys_days days{std::chrono::days{midnight / kSecondsPerDay}};
    const std::chrono::year_month_day date{days};
    const std::int64_t rest = seconds - midnight;
    StationTime time;
    time.year = static_cast<int>(date.year());
    time.month = static_cast<int>(static_cast<unsigned>(date.month()));
    time.day = static_cast<int>(static_cast<unsigned>(date.day()));
    time.hour = static_cast<int>(rest / kSecondsPerHour);
    time.minute = static_cast<int>(rest % kSecondsPerHour / 60);
    time.second = static_cast<int>(rest % 60);
    return time;
}

int dayOfWeek(const StationTime &time)
{
    const std::chrono::weekday weekday{std::chrono::sys_days{calendarDate(time)}};
    return static_cast<int>(weekday.iso_encoding());
}

int dayOfYear(const StationTime &time)
{
    const std::chrono::sys_days date{calendarDate(time)};
    const std::chrono::sys_days newYear{std::chrono::year{time.year} / std::chrono::January / 1};
    return static_cast<int>((date - newYear).count()) + 1;
}

bool isValidTime(const StationTime &time)
{
    if (time.month < 1 || time.month > 12 || time.day < 1 || time.day > 31) return false;
    if (!calendarDate(time).ok()) return false;
    return time.hour >= 0 && time.hour < 24 && time.minute >= 0 && time.minute < 60 &&
           time.second >= 0 && time.second < 60;
}

bool parseStationTime(const std::string &text, StationTime *time)
{
    // Exactly 19 characters; sscanf alone would accept "2026-6-1T1:2:3".
    if (text.size() != 19 || text[4] != '-' || text[7] != '-' || text[10] != 'T' ||
        text[13] != ':' || text[16] != ':')
        return false;
    for (std::size_t i : {0u, 1u, 2u, 3u, 5u, 6u, 8u, 9u, 11u, 12u, 14u, 15u, 17u, 18u})
        if (text[i] < '0' || text[i] > '9') return false;
    StationTime parsed;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d", &parsed.year, &parsed.month, &parsed.day,
                    &parsed.hour, &parsed.minute, &parsed.second) != 6)
        return false;
    if (!isValidTime(parsed)) return false;
    if (time) *time = parsed;
    return true;
}

}  // namespace nimbrel::sim
