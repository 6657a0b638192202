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
