// The calendar labels of the main window: weekday name, ISO week number and
// day of the year with the days left.
#pragma once

#include <QDate>
#include <QLocale>
#include <QString>

namespace nimbrel::astro {

// The long weekday name in the locale ("dddd"), its first character upper-
// cased by the locale's rules and the rest unchanged: "Пятница" for a Friday
// in Russian, "Friday" in English. Empty for an invalid date.
QString WeekdayText(const QDate &date, const QLocale &locale);

// ISO 8601 week number 1..53: weeks start on Monday and week 1 holds the
// year's first Thursday, so 1 January can fall in week 52 or 53 of the year
// before and 31 December in week 1 of the next. 0 for an invalid date.
int WeekNumber(const QDate &date);

// "day of the year/days left": "1/364" for 1 January 2021, "366/0" for
// 31 December 2024. Empty for an invalid date.
QString DayOfYearText(const QDate &date);

}  // namespace nimbrel::astro
