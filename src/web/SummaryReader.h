// The hourly and daily summaries read through SQLite's own interface.
//
// A request over ten years reads a few thousand summary rows of up to 31
// columns; through QSqlQuery every value becomes a QVariant, which made such
// a request cost ten times one over a day. Here the same rows are read with
// sqlite3_column_double, so the reading costs about what the answer's text
// does. The rows are those HistorySource reads (HistorySummary.h); only the
// way they are fetched differs.
#pragma once

#include "HistorySummary.h"
#include "PixelReduction.h"
#include "PlotField.h"
#include "RainAggregation.h"

#include <QSqlDatabase>
#include <vector>

namespace nimbrel::web {

// True for a QSQLITE database, whose SQLite connection can be used directly.
bool hasNativeHandle(const QSqlDatabase &db);

// Adds both extremes of every bucket of `level` holding after < Dat <= upTo
// to the reducers, one per field, at the bucket's middle (kept inside the
// stretch). False when the database offers no SQLite handle or the query
// fails; the reducers are then untouched.
bool readSummaryBuckets(const QSqlDatabase &db, history::SummaryLevel level, history::PlainSeconds after,
                        history::PlainSeconds upTo, const std::vector<history::PlotField> &fields,
                        std::vector<history::MinMaxReducer> &reducers);

// The rain counter of the last record of every bucket of `level` numbered
// first..last, ascending, each at its bucket's end. False as above.
bool readSummaryRain(const QSqlDatabase &db, history::SummaryLevel level, std::int64_t first, std::int64_t last,
                     std::vector<history::RainSample> &out);

}  // namespace nimbrel::web

namespace nimbrel::web {

// The daily summary held in memory: about 3,700 rows of 32 numbers for ten
// years (under 1 MB), read once and then only from the bucket of the newest
// record on. A request over years then reduces these rows without asking
// SQLite for them again.
class DaySummaryCache {
public:
    struct Day {
        std::int64_t slot = 0;
        std::int32_t rainLast = 0;
        double min[history::kStoredColumnCount] = {};
        double max[history::kStoredColumnCount] = {};
    };

    // Brings the copy up to the history's state: the whole table when there
    // is none yet or the oldest record changed, else the days from the one
    // that held the newest record seen last. False when it cannot be read.
    bool refresh(const QSqlDatabase &db, history::PlainSeconds oldest, history::PlainSeconds newest);
    // Forgets the copy: the next refresh reads the whole table.
    void clear();

    // The days numbered first..last.
    std::pair<const Day *, const Day *> range(std::int64_t first, std::int64_t last) const;

private:
    bool readFrom(const QSqlDatabase &db, std::int64_t firstSlot);

    std::vector<Day> days_;
    bool loaded_ = false;
    history::PlainSeconds oldest_ = 0;
    history::PlainSeconds newest_ = 0;
};

}  // namespace nimbrel::web
