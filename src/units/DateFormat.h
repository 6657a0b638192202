// Date and time texts from the program's own format strings (the notation
// of its original runtime), with the month and weekday names of a locale.
//
// Notation (letters in either case):
//   d, dd        day of month, without / with leading zero
//   ddd, dddd    short / long weekday name
//   ddddd        the locale's short date format, dddddd its long date format
//   m, mm        month number without / with leading zero; minutes when the
//                last letter before them was h or hh ("hh:mm", "h:mm")
//   mmm, mmmm    short / long month name
//   y, yy        two-digit year; yyy, yyyy four-digit year
//   h, hh        hour 0..23 without / with leading zero
//   n, nn        minutes; s, ss seconds; z milliseconds, zzz three digits
//   '...' "..."  literal text; an unclosed quote runs to the end
// Any other character is copied as it is ('/' and ':' included; the program
// writes its separators literally). Other letters are copied too and end an
// h ... m minute link. There are no am/pm, era or 'c'/'t' specifiers: the
// program shows 24-hour times only.
//
// Month names: next to a day number (d or dd anywhere in the pattern) the
// locale's format form ("7 декабря"), otherwise its stand-alone form
// ("декабрь 25").
#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>

namespace nimbrel {

// The same format as a Qt date-time format string, for Qt's own formatters
// (chart axes): "dd mmmm yyyy" → "dd MMMM yyyy", "h:mm" → "H:mm",
// "dd.mm.yy hh:mm" → "dd.MM.yy HH:mm". Literal letters are quoted. Qt always
// uses the format form of month names and zero-pads "z" differently, so for
// labels prefer formatDateTime.
QString toQtDateTimeFormat(const QString &pattern, const QLocale &locale = QLocale());

// The text of dateTime in the pattern, with the names of locale. An invalid
// date-time gives an empty text.
QString formatDateTime(const QDateTime &dateTime, const QString &pattern,
                       const QLocale &locale = QLocale());

}  // namespace nimbrel
