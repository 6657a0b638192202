// Dates on nimbrel-tool's command line: YYYY-MM-DD (that day's midnight) or
// YYYY-MM-DDTHH:MM:SS, read as the station's clock reading.
#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QTime>

namespace nimbrel::tool {

// An invalid QDateTime when the text is neither form or names no real date.
// The result is in UTC so that no daylight-saving rule of this computer can
// move or drop a clock reading; stored dates are compared as text.
inline QDateTime parseDateArgument(const QString &text)
{
    if (text.size() == 10) {
        const QDate date = QDate::fromString(text, QStringLiteral("yyyy-MM-dd"));
        return date.isValid() ? QDateTime(date, QTime(0, 0), Qt::UTC) : QDateTime();
    }
    if (text.size() == 19 && text.at(10) == QLatin1Char('T')) {
        const QDate date = QDate::fromString(text.left(10), QStringLiteral("yyyy-MM-dd"));
        const QTime time = QTime::fromString(text.mid(11), QStringLiteral("HH:mm:ss"));
        return date.isValid() && time.isValid() ? QDateTime(date, time, Qt::UTC) : QDateTime();
    }
    return {};
}

}  // namespace nimbrel::tool
