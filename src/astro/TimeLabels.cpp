#include "TimeLabels.h"

#include <cmath>

namespace nimbrel::astro {

namespace {

// Whole minutes of the clock time as the label shows it.
int labelMinutes(double hours)
{
    if (!std::isfinite(hours) || hours < 0)
        return 0;
    const double whole = std::trunc(hours);
    return static_cast<int>(whole) * 60 + static_cast<int>(std::trunc((hours - whole) * 60.0));
}

QString minutesText(int minutes)
{
    return QStringLiteral("%1:%2").arg(minutes / 60).arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

}  // namespace

QString ClockText(double hours)
{
    return minutesText(labelMinutes(hours));
}

QString TimeLabelText(double hours, const DayTimes &day, const QString &blank)
{
    if (day.neverRises())
        return blank;
    return ClockText(hours);
}

QString DayLengthText(const DayTimes &day)
{
    if (day.neverRises())
        return QStringLiteral(" ");
    if (day.neverSets())
        return QStringLiteral("24:00");
    int length = labelMinutes(day.set) - labelMinutes(day.rise);
    if (length < 0)
        length += 24 * 60;
    return minutesText(length);
}

}  // namespace nimbrel::astro
