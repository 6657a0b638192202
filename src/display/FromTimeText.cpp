#include "FromTimeText.h"

#include "DateFormat.h"

#include <QLocale>

namespace nimbrel {

QDateTime zeroDateTime()
{
    return QDateTime(QDate(1899, 12, 30), QTime(0, 0), Qt::UTC);
}

QString fromTimeText(const QDateTime &when)
{
    if (!when.isValid())
        return QString::fromUtf8(kFromCaption);
    return formatDateTime(when, QStringLiteral("dd.mm.yyyy hh:mm"));
}

QString lastUpdateText(const QDateTime &recordTime, const QDateTime &now, const QLocale &locale)
{
    const QDateTime at = recordTime.isValid() ? recordTime : now;
    return locale.toString(at.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
           formatDateTime(at, QStringLiteral("h:mm"), locale);
}

QDateTime wallClock(const QDateTime &when)
{
    return QDateTime(when.date(), when.time(), Qt::UTC);
}

}  // namespace nimbrel
