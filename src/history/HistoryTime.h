// Times of the history window as plain seconds: the stored date-time text
// "YYYY-MM-DDTHH:MM:SS" counted from 1970-01-01T00:00:00 as if it were UTC.
//
// The station's clock knows no time zone and no daylight saving, and neither
// does the history; counting its wall-clock times without a zone keeps every
// stored minute distinct, makes a day always 86,400 seconds and lets the
// charts' axes show the stored times unchanged (their tickers use UTC).
#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QStringView>
#include <cstdint>
#include <optional>

namespace nimbrel::history {

using PlainSeconds = std::int64_t;

inline constexpr PlainSeconds kSecondsPerDay = 86400;
inline constexpr PlainSeconds kSecondsPerHour = 3600;

// Reads "YYYY-MM-DDTHH:MM:SS" (also with a blank for the 'T'); nothing for
// any other text or an impossible date.
std::optional<PlainSeconds> plainSecondsFromText(QStringView text);
PlainSeconds plainSeconds(const QDate &date, const QTime &time = QTime(0, 0));
// The wall-clock fields of dt, whatever its zone.
PlainSeconds plainSeconds(const QDateTime &dt);

QDate plainDate(PlainSeconds s);
// A UTC date-time with the same wall-clock fields (no daylight-saving gaps).
QDateTime plainDateTime(PlainSeconds s);
// "YYYY-MM-DDTHH:MM:SS", the stored form.
QString plainText(PlainSeconds s);

// Midnight at the start of the day holding s.
PlainSeconds dayStart(PlainSeconds s);
// 23:59:59 of the date: the end of a history window.
PlainSeconds windowEndOf(const QDate &date);

}  // namespace nimbrel::history
