#include "DaylightSaving.h"

#include <array>
#include <climits>

namespace nimbrel::astro {

namespace {

enum Weekday { Sunday = 0, Monday, Tuesday, Wednesday, Thursday, Friday, Saturday };
enum Month { Jan = 1, Feb, Mar, Apr, May, Jun, Jul, Aug, Sep, Oct, Nov, Dec };

// A boundary of a summer period: a day found by a weekday rule, plus a local
// clock time that may be 24:00 (the midnight that ends the day).
struct Boundary {
    enum Kind { NthWeekday, LastWeekday, FixedDate } kind = FixedDate;
    int month = 1;
    int weekday = Sunday;  // NthWeekday, LastWeekday
    int n = 1;             // NthWeekday: 1 = first; FixedDate: day of month
    int hour = 0;          // 0..24
};

constexpr Boundary nth(int n, int weekday, int month, int hour = 0)
{
    return {Boundary::NthWeekday, month, weekday, n, hour};
}
constexpr Boundary last(int weekday, int month, int hour = 0)
{
    return {Boundary::LastWeekday, month, weekday, 0, hour};
}
constexpr Boundary fixed(int day, int month, int hour = 0)
{
    return {Boundary::FixedDate, month, Sunday, day, hour};
}

// The law of one code from a given year on, until the next era of the code.
struct Era {
    enum Kind {
        Never,    // no daylight saving
        Period,   // in force from start through end of the year's dates
        EndOnly,  // only the summer begun the year before, running until end
    } kind = Never;
    int fromYear = INT_MAX;  // an unused slot of a rule is never reached
    Boundary start{};
    Boundary end{};
};

constexpr Era period(int fromYear, Boundary start, Boundary end) { return {Era::Period, fromYear, start, end}; }
constexpr Era never(int fromYear) { return {Era::Never, fromYear, {}, {}}; }
constexpr Era endOnly(int fromYear, Boundary end) { return {Era::EndOnly, fromYear, {}, end}; }

constexpr int kSince = INT_MIN;  // the code's original dates, for every year before its first change

struct Rule {
    const char *name;
    std::array<Era, 3> eras;  // in order of fromYear; the first from kSince
};

// The names are the DSTL texts exactly as the station's rule list has always
// shown them, spelling included ("Standart", "Syandard").
//
// The codes' original dates first, then each region's later law. Sources of
// the later law: the regions' current daylight-saving legislation as the IANA
// time-zone database records it for Australia/Sydney, America/Sao_Paulo,
// America/Santiago, Africa/Cairo, America/Havana, Asia/Baghdad and
// Asia/Damascus, Europe/Moscow, America/Montevideo, Africa/Windhoek,
// America/Asuncion, Asia/Tehran, Australia/Hobart, America/New_York and
// Pacific/Auckland.
const Rule &ruleOf(int code)
{
    static const std::array<Rule, 16> rules = {{
        {"", {never(kSince)}},
        {"Australian DST",
         {period(kSince, last(Sunday, Oct, 2), last(Sunday, Mar, 3)),
          period(2008, nth(1, Sunday, Oct, 2), nth(1, Sunday, Apr, 3))}},
        {"South Brazilian DST",
         {period(kSince, nth(3, Sunday, Oct), nth(3, Sunday, Feb)),
          // Brazil dropped daylight saving in 2019: the summer begun in
          // November 2018 ran out in February.
          endOnly(2019, nth(3, Sunday, Feb)), never(2020)}},
        {"Chile DST",
         {period(kSince, nth(2, Sunday, Oct), nth(2, Sunday, Mar)),
          // Midnight at the end of the first Saturday, i.e. the first
          // Sunday's 00:00.
          period(2019, nth(1, Saturday, Sep, 24), nth(1, Saturday, Apr, 24))}},
        {"Standart European DST", {period(kSince, last(Sunday, Mar, 2), last(Sunday, Oct, 3))}},
        {"Egypt DST",
         {period(kSince, last(Thursday, Apr), last(Thursday, Sep)), never(2011),
          period(2023, last(Friday, Apr), last(Thursday, Oct, 24))}},
        {"Havana, Cuba DST",
         {period(kSince, nth(1, Sunday, Apr), last(Sunday, Oct, 1)),
          period(2013, nth(2, Sunday, Mar), nth(1, Sunday, Nov, 1))}},
        {"Iraq, Syria DST", {period(kSince, fixed(1, Apr, 3), fixed(1, Oct, 4)), never(2023)}},
        {"Irkutsk, Moscow DST", {period(kSince, last(Sunday, Mar, 2), last(Sunday, Oct, 3)), never(2011)}},
        {"Montevideo, Uruguay DST", {period(kSince, nth(3, Sunday, Sep), last(Sunday, Mar, 2)), never(2015)}},
        {"Namibia DST", {period(kSince, nth(1, Sunday, Sep, 2), nth(1, Sunday, Apr, 2)), never(2017)}},
        {"Paraguay DST",
         {period(kSince, nth(3, Sunday, Oct), nth(2, Sunday, Mar, 1)),
          period(2010, nth(1, Sunday, Oct), nth(4, Sunday, Mar)), never(2025)}},
        {"Iran DST", {period(kSince, fixed(21, Mar), fixed(21, Sep)), never(2023)}},
        {"Tasmania DST",
         {period(kSince, nth(1, Sunday, Oct, 2), last(Sunday, Mar, 3)),
          period(2008, nth(1, Sunday, Oct, 2), nth(1, Sunday, Apr, 3))}},
        {"Syandard American DST",
         {period(kSince, nth(1, Sunday, Apr, 2), last(Sunday, Oct, 2)),
          period(2007, nth(2, Sunday, Mar, 2), nth(1, Sunday, Nov, 2))}},
        {"New Zealand DST",
         {period(kSince, nth(1, Sunday, Oct, 2), nth(3, Sunday, Mar, 3)),
          period(2008, last(Sunday, Sep, 2), nth(1, Sunday, Apr, 3))}},
    }};
    return rules[static_cast<std::size_t>(code)];
}

const Era &eraOf(const Rule &rule, int year)
{
    const Era *found = &rule.eras.front();
    for (const Era &era : rule.eras) {
        if (era.fromYear <= year)
            found = &era;
    }
    return *found;
}

bool isLeapYear(int year)
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int daysInMonth(int year, int month)
{
    static constexpr int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month == Feb && isLeapYear(year))
        return 29;
    return days[month - 1];
}

// Local clock seconds on the day-number scale, so that 24:00 of one day is
// 00:00 of the next.
long long secondsOf(long long dayNumber, int hour, int minute = 0, int second = 0)
{
    return dayNumber * 86400 + hour * 3600LL + minute * 60LL + second;
}

long long boundaryIn(int year, const Boundary &b)
{
    long long dayNumber = 0;
    switch (b.kind) {
    case Boundary::FixedDate:
        dayNumber = julianDayNumber(year, b.month, b.n);
        break;
    case Boundary::NthWeekday: {
        // Count forward from the 1st, the 1st itself included.
        const long long first = julianDayNumber(year, b.month, 1);
        const int ahead = (b.weekday - weekdayOfDayNumber(first) + 7) % 7;
        dayNumber = first + ahead + 7LL * (b.n - 1);
        break;
    }
    case Boundary::LastWeekday: {
        // Count backward from the month's last day.
        const long long lastDay = julianDayNumber(year, b.month, daysInMonth(year, b.month));
        const int back = (weekdayOfDayNumber(lastDay) - b.weekday + 7) % 7;
        dayNumber = lastDay - back;
        break;
    }
    }
    return secondsOf(dayNumber, b.hour);
}

}  // namespace

bool IsDaylightSavingActive(int code, const CalendarMoment &localClock)
{
    if (code <= 0 || code > kLastDaylightSavingCode)
        return false;
    if (localClock.month < 1 || localClock.month > 12)
        return false;  // not a clock reading (no record yet)
    const int year = localClock.year;
    const Era &era = eraOf(ruleOf(code), year);
    const long long moment = secondsOf(julianDayNumber(year, localClock.month, localClock.day), localClock.hour,
                                       localClock.minute, localClock.second);
    switch (era.kind) {
    case Era::Never:
        return false;
    case Era::EndOnly:
        return moment <= boundaryIn(year, era.end);
    case Era::Period: {
        const long long start = boundaryIn(year, era.start);
        const long long end = boundaryIn(year, era.end);
        if (start <= end)
            return start <= moment && moment <= end;
        return moment >= start || moment <= end;
    }
    }
    return false;
}

std::optional<QString> DaylightSavingRuleName(int code)
{
    if (code < 0 || code > kLastDaylightSavingCode)
        return std::nullopt;
    return QString::fromLatin1(ruleOf(code).name);
}

}  // namespace nimbrel::astro
