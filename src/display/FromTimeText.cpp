#include "FromTimeText.h"

#include "DateFormat.h"

namespace nimbrel {

QDateTime zeroDateTime()
{
    return QDateTime(QDate(1899, 12, 30), QTime(0, 0), Qt::UTC);
}

QString fromTimeText(const QDateTime &when)
{
    return formatDateTime(when.isValid() ? when : zeroDateTime(), QStringLiteral("dd.mm.yyyy hh:mm"));
}

QDateTime wallClock(const QDateTime &when)
{
    return QDateTime(when.date(), when.time(), Qt::UTC);
}

}  // namespace nimbrel
