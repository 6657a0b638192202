// Hourly and daily summaries of the history table, kept in the same file:
// per hour and per day the number of records, the smallest and largest value
// of every plotted column, and the rain counter of the last record.
//
// They make a year or ten years of five-minute records cost a few thousand
// rows to draw. Triggers keep them up to date in the statement, and so in the
// transaction, that appends a record. Deleting records (clearing the
// history) leaves them counting records that are gone; the record count
// checked at each preparation finds that and rebuilds them, so clearing ten
// years stays one quick statement. A bucket of `size` seconds numbered k holds
// the records with k*size < Dat <= (k+1)*size (plain seconds), so a day's
// bucket ends with the record at the next midnight, the boundary the rain
// periods count up to.
#pragma once

#include "HistoryTime.h"

#include <QSqlDatabase>
#include <QString>
#include <QStringList>

namespace nimbrel::history {

enum class SummaryLevel : int { Hour = 0, Day = 1 };

inline constexpr PlainSeconds levelSeconds(SummaryLevel level)
{
    return level == SummaryLevel::Hour ? kSecondsPerHour : kSecondsPerDay;
}

// The bucket holding time t.
inline std::int64_t bucketOf(PlainSeconds t, SummaryLevel level)
{
    const PlainSeconds size = levelSeconds(level);
    const PlainSeconds shifted = t - 1;
    return shifted >= 0 ? shifted / size : -((-shifted + size - 1) / size);
}

enum class SummaryState {
    Ready,     // present and complete
    Rebuilt,   // was missing or incomplete and has been built now
    Unusable,  // missing or incomplete and cannot be built (a read-only file)
    Stale,     // missing or incomplete, not built (asked not to)
};

// Creates the summary table and its triggers when missing and rebuilds the
// summaries when they do not count every record; with `build` false only
// says whether they are Ready or Stale. `why` says what failed. Building ten
// years of five-minute records takes seconds, once.
SummaryState prepareHistorySummary(QSqlDatabase &db, QString &why, bool build = true);

// The statements that remove the summaries and their trigger, for a bulk
// import: run in its transaction, followed by prepareHistorySummary once it
// is committed, a rebuild costs a fraction of a million trigger runs. A
// history left without them is rebuilt at the next preparation.
QStringList dropHistorySummarySql();

// Column names in the summary: "<stored column>Min", "<stored column>Max".
QString summaryMinColumn(const char *storedColumn);
QString summaryMaxColumn(const char *storedColumn);

}  // namespace nimbrel::history
