// GET /api/history?from=ISO&to=ISO&points=N[&series=a,b][&units=display]
//
// The stored records between two times, each series reduced to at most N
// points (2..5000, default 1000) through the history window's reading: long
// stretches come from the hourly and daily summaries, so ten years cost
// about what a day does. Temperatures, humidities, pressure, wind speed and
// UV keep the smallest and the largest value of each of N/2 columns; rain is
// the sum over each of at most N equal intervals (at least an hour long over
// more than two days).
//
// Times: `from` and `to` are ISO 8601 ("2026-12-07", "2026-12-07T10:00",
// "2026-12-07T10:00:00", optionally with "Z" or "+01:00", which is taken to
// the computer's local time). Without them the answer ends at the newest
// record and reaches back one day. In the answer a point's time is the
// station's wall-clock time counted in seconds from 1970-01-01T00:00:00 as if
// it were UTC (the history knows no time zone), so a chart shows the stored
// times unchanged.
//
// Units: base units like /api/current (°C, %, hPa, km/h, mm, UV index), or
// with units=display the user's choices; every series names its unit.
//
// A malformed or reversed range, an unknown series, a `points` outside
// 2..5000 and a range that lies wholly before the oldest or after the newest
// record are refused with a sentence saying so, before anything is read.
#pragma once

#include "DisplayRules.h"
#include "HistorySource.h"
#include "SummaryReader.h"

#include <QByteArray>
#include <QString>
#include <QUrlQuery>

namespace nimbrel {
class HistoryStore;
}

namespace nimbrel::web {

inline constexpr int kDefaultPoints = 1000;
inline constexpr int kMostPoints = 5000;

struct HistoryAnswer {
    int status = 200;  // 200, 400, or 503 when a long stretch cannot be read cheaply
    QByteArray json;   // the document, or {"error": sentence}
};

class HistoryQuery {
public:
    explicit HistoryQuery(const HistoryStore *store);

    // Makes the summaries usable when they are merely missing (a history
    // from before they existed); seconds once for ten years. Run before
    // serving, never in a request.
    void prepare();

    HistoryAnswer answer(const QUrlQuery &query, const UnitChoices &displayUnits) const;

    // The summaries are current; after the history was cleared they are not
    // until prepare() runs again.
    bool summariesUsable() const { return source_.summaryUsable(); }

private:
    std::vector<std::vector<history::PlotPoint>> readSeries(history::HistorySource::Way way,
                                                            history::PlainSeconds after, history::PlainSeconds upTo,
                                                            int columns,
                                                            const std::vector<history::PlotField> &fields) const;
    std::vector<history::RainSample> rainSamples(history::PlainSeconds after, history::PlainSeconds upTo,
                                                 std::optional<history::SummaryLevel> level) const;

    const HistoryStore *store_;
    history::HistorySource source_;
    // Ten years of days in memory; brought up to date at each request that
    // reads days (the newest day only, unless the oldest record changed).
    mutable DaySummaryCache days_;
    mutable bool daysReady_ = false;
};

}  // namespace nimbrel::web
