#include "CalendarFields.h"

namespace nimbrel::astro {

QString WeekdayText(const QDate &date, const QLocale &locale)
{
    if (!date.isValid())
        return {};
    const QString name = locale.dayName(date.dayOfWeek(), QLocale::LongFormat);
    if (name.isEmpty())
        return name;
    // A surrogate pair is one character to the reader.
    const qsizetype first = name.at(0).isHighSurrogate() && name.size() > 1 ? 2 : 1;
    return locale.toUpper(name.left(first)) + name.mid(first);
}

int WeekNumber(const QDate &date)
{
    return date.isValid() ? date.weekNumber() : 0;
}

QString DayOfYearText(const QDate &date)
{
    if (!date.isValid())
        return {};
    return QStringLiteral("%1/%2").arg(date.dayOfYear()).arg(date.daysInYear() - date.dayOfYear());
}

}  // namespace nimbrel::astro
