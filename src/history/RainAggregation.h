// Rain per day, week, calendar month or calendar year inside the history
// window, from the station's cumulative rain-gauge tip counter.
//
// Periods start at midnight of the window start's date. Each bar is the rise
// of the counter between the last record at or before the period's start
// (for the first period: the window's first record) and the last record at
// or before its end, inside the window, times the tip factor. A counter that
// went down (the station was reset) gives a bar of 0, and the next period
// counts from the lower value.
//
// Every period of the window first gets an empty bar, so days without
// records show as 0; the empty bars are labelled from their own start.
#pragma once

#include "HistoryTime.h"

#include <QDate>
#include <QLocale>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <vector>

namespace nimbrel::history {

enum class RainSumPeriod : int { Day = 0, Week = 1, Month = 2, Year = 3 };

QStringList rainSumPeriodItems();  // "день", "неделя", "месяц", "год"

// One record's counter, at a plain time.
struct RainSample {
    PlainSeconds t = 0;
    std::int32_t count = 0;
};

struct RainBar {
    QDate date;  // the period's first day
    double amount = 0;
    QString label;
};

// The label of a period starting on date: "dd.mm.yy", its ISO week number,
// "mmmm yy" or "yyyy".
QString rainSumPeriodLabel(RainSumPeriod period, const QDate &date, const QLocale &locale = QLocale());
QDate nextPeriod(RainSumPeriod period, const QDate &date);

// The bars of the window (start < Dat <= end). `samples` are records of the
// window in ascending time; the last record of each day is enough, as long as
// the window's first record is among them. An empty history (`historyEmpty`)
// gives no bar at all, not a row of empty ones.
std::vector<RainBar> aggregateRain(PlainSeconds start, PlainSeconds end, RainSumPeriod period, double tipFactor,
                                   const std::vector<RainSample> &samples, bool historyEmpty = false,
                                   const QLocale &locale = QLocale());

}  // namespace nimbrel::history
