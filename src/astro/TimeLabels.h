// The texts of the sunrise, sunset, day-length, moonrise and moonset labels.
//
// Clock times are written "h:mm": whole hours without a leading zero, the
// minutes as the hour's fraction × 60 truncated (never rounded), two digits.
#pragma once

#include "RiseSet.h"

#include <QString>

namespace nimbrel::astro {

// "h:mm" of a time in hours: 6.5 gives "6:30", 18.999 gives "18:59",
// 6.9999 gives "6:59", 24 gives "24:00". Negative or non-finite hours, which
// the rise/set methods never produce, give "0:00".
QString ClockText(double hours);

// The label of one of a day's two times: blank when both times are 0 (the
// body does not rise), otherwise ClockText(hours). The Moon's set label has
// its own blank, kMoonSetBlank.
QString TimeLabelText(double hours, const DayTimes &day, const QString &blank = QStringLiteral(" "));

// What the moonset label shows when the Moon does not rise.
inline const QString kMoonSetBlank = QStringLiteral(" т");

// Sunrise to sunset as "h:mm", from the two labels' hours and minutes (so
// truncated minutes stay consistent with the labels); a sunset after
// midnight counts into the next day. " " when both times are 0 (polar
// night), "24:00" when both are 24 (polar day).
QString DayLengthText(const DayTimes &day);

}  // namespace nimbrel::astro
