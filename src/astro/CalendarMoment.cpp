#include "CalendarMoment.h"

#include <QDate>

namespace nimbrel::astro {

namespace {

// Division rounding toward minus infinity, so the day-number formula also
// holds for years before the common era.
long long floorDiv(long long a, long long b)
{
    long long q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0)))
        --q;
    return q;
}

long long floorMod(long long a, long long b)
{
    return a - floorDiv(a, b) * b;
}

constexpr long long kJ2000DayNumber = 2451545;
// The Julian-calendar count of the fields 1582-10-15; later fields are read
// as Gregorian dates.
constexpr long long kGregorianSwitch = 2299171;

}  // namespace

CalendarMoment momentOf(const QDateTime &clock)
{
    if (!clock.isValid())
        return CalendarMoment{0, 0, 0, 0, 0, 0};
    const QDate d = clock.date();
    const QTime t = clock.time();
    return CalendarMoment{d.year(), d.month(), d.day(), t.hour(), t.minute(), t.second()};
}

CalendarMoment startOfHour(const CalendarMoment &moment)
{
    CalendarMoment m = moment;
    m.minute = 0;
    m.second = 0;
    return m;
}

CalendarMoment startOfDay(const CalendarMoment &moment)
{
    CalendarMoment m = startOfHour(moment);
    m.hour = 0;
    return m;
}

CalendarMoment oneHourEarlier(const CalendarMoment &moment)
{
    CalendarMoment m = moment;
    if (m.hour > 0) {
        --m.hour;
        return m;
    }
    const QDate previous = QDate(m.year, m.month, m.day).addDays(-1);
    if (!previous.isValid()) {
        m.hour = 23;  // no calendar date: keep the fields, only the hour turns back
        return m;
    }
    m.year = previous.year();
    m.month = previous.month();
    m.day = previous.day();
    m.hour = 23;
    return m;
}

long long julianDayNumber(int year, int month, int day)
{
    // Counted in months from March of year -4800, so that the leap day is
    // the last day of a counting year.
    const long long a = 12LL * (year + 4800) + month - 3;
    long long j = floorDiv(365 * a + 2 * floorMod(a, 12) + 7, 12) + day + floorDiv(a, 48) - 32083;
    // The formula counts Julian-calendar days; fields after 15 October 1582
    // are Gregorian and drop the century leap days the Julian count has.
    if (j > kGregorianSwitch)
        j += floorDiv(a, 4800) - floorDiv(a, 1200) + 38;
    return j;
}

int weekdayOfDayNumber(long long dayNumber)
{
    return static_cast<int>(floorMod(dayNumber + 1, 7));
}

double DaysSinceJ2000(const CalendarMoment &moment)
{
    const long long j = julianDayNumber(moment.year, moment.month, moment.day);
    return static_cast<double>(j - kJ2000DayNumber) + moment.hour / 24.0 + moment.minute / 1440.0
        + moment.second / 86400.0 - 0.5;
}

}  // namespace nimbrel::astro
