// The "from" time labels beside the extremes and the total rain: the date
// and time an extreme was recorded or the total is counted from.
#pragma once

#include <QDateTime>
#include <QString>

namespace nimbrel {

// The date-time the labels show when the history holds no row: the zero of
// the station program's date-time type, 30 December 1899, midnight.
QDateTime zeroDateTime();

// "dd.mm.yyyy hh:mm"; an invalid date-time (nothing stored) shows the zero
// date-time, "30.12.1899 00:00", never an empty or stale label.
QString fromTimeText(const QDateTime &when);

// The same wall-clock time with no time zone rules, for window arithmetic on
// record times: the station's clock and the stored dates know no daylight
// saving, so an hour back is always 60 minutes on the clock face.
QDateTime wallClock(const QDateTime &when);

}  // namespace nimbrel
