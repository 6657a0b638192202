// The "from" time labels beside the extremes and the total rain: the date
// and time an extreme was recorded or the total is counted from.
#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>

namespace nimbrel {

// The date-time the labels show when the history holds no row: the zero of
// the station program's date-time type, 30 December 1899, midnight.
QDateTime zeroDateTime();

// The labels' designed caption ("from"), shown while nothing is stored.
inline constexpr char kFromCaption[] = "С :";

// "dd.mm.yyyy hh:mm"; an invalid date-time (nothing stored) shows the
// labels' designed caption, never a made-up date or a stale label.
QString fromTimeText(const QDateTime &when);

// The time of the newest readings as the status bars show it: the short
// date of the locale, a blank and "h:mm". Before any record has been read
// (an invalid time) the record's time is the computer's clock, `now`.
QString lastUpdateText(const QDateTime &recordTime, const QDateTime &now, const QLocale &locale = QLocale());

// The same wall-clock time with no time zone rules, for window arithmetic on
// record times: the station's clock and the stored dates know no daylight
// saving, so an hour back is always 60 minutes on the clock face.
QDateTime wallClock(const QDateTime &when);

}  // namespace nimbrel
