// A clock reading broken into calendar fields, and the day count all of the
// astronomy works on.
//
// The astronomy starts from the computer's local clock exactly as it reads
// (whole seconds, no zone or daylight-saving shift) and treats those fields
// as if they were Universal Time; the zone enters only where a rise or set
// time is turned into a clock time.
#pragma once

#include <QDateTime>

namespace nimbrel::astro {

struct CalendarMoment {
    int year = 2000;
    int month = 1;   // 1..12
    int day = 1;     // 1..31
    int hour = 0;    // 0..23
    int minute = 0;  // 0..59
    int second = 0;  // 0..59

    friend bool operator==(const CalendarMoment &, const CalendarMoment &) = default;
};

// The fields of a clock reading as they are shown; the time zone setting of the
// QDateTime is not looked at and nothing is converted. Milliseconds are
// dropped. An invalid QDateTime gives all fields 0.
CalendarMoment momentOf(const QDateTime &clock);

// The same moment with minutes and seconds set to 0, and with the hour set
// to 0 as well.
CalendarMoment startOfHour(const CalendarMoment &moment);
CalendarMoment startOfDay(const CalendarMoment &moment);

// The moment one hour earlier, across midnight, month and year ends.
CalendarMoment oneHourEarlier(const CalendarMoment &moment);

// Day number of a calendar date (noon of the date is the Julian date of that
// number): Julian calendar up to 4 October 1582, Gregorian from 15 October
// 1582. 1970-01-01 gives 2440588, 2000-01-01 gives 2451545.
long long julianDayNumber(int year, int month, int day);

// Weekday of a day number: 0 Sunday, 1 Monday, ... 6 Saturday.
int weekdayOfDayNumber(long long dayNumber);

// Days since J2000.0 (2000 January 1, 12:00) of the moment; 2000-01-01
// 00:00 gives -0.5.
double DaysSinceJ2000(const CalendarMoment &moment);

}  // namespace nimbrel::astro
