// What the history window reads from the store: the oldest record, the
// points of its charts for the visible stretch of time reduced to the
// chart's width, and the rain counters of the window.
//
// Short stretches are read record by record. Long ones come from the hourly
// or daily summaries (HistorySummary.h) whenever a pixel column holds at
// least one whole hour or day, so a switch to ten years reads a few thousand
// rows. The store is read as committed: every record is on disk as soon as
// it is taken over, so there is nothing to save first.
#pragma once

#include "HistorySummary.h"
#include "HistoryTime.h"
#include "PixelReduction.h"
#include "PlotField.h"
#include "RainAggregation.h"

#include <QSqlDatabase>
#include <optional>
#include <vector>

namespace nimbrel {
class HistoryStore;
}

namespace nimbrel::history {

// The rain counter of every record with after < Dat <= upTo, in ascending
// time, read record by record (the pieces of a stretch the summaries do not
// cover whole).
void readRainRecords(const QSqlDatabase &db, PlainSeconds after, PlainSeconds upTo, std::vector<RainSample> &out);

class HistorySource {
public:
    // Null store: an empty history.
    explicit HistorySource(const HistoryStore *store = nullptr);
    void setStore(const HistoryStore *store);

    // Makes the summaries usable (builds them once for a history that has
    // none). Without them every read is made record by record.
    SummaryState prepare();
    // The same, but a missing summary is built only when a read first needs
    // one (a long stretch), so that opening never waits for it. Run at each
    // opening of the window and after each new record.
    SummaryState prepareWhenNeeded();
    bool summaryUsable() const { return summary_ == SummaryState::Ready || summary_ == SummaryState::Rebuilt; }

    bool empty() const;
    std::optional<PlainSeconds> oldest() const;
    std::optional<PlainSeconds> newest() const;

    // The series of `fields` for after < Dat <= upTo, each reduced to at most
    // two points per column of `columns` over that stretch, x in plain
    // seconds, ascending.
    std::vector<std::vector<PlotPoint>> read(PlainSeconds after, PlainSeconds upTo, int columns,
                                             const std::vector<PlotField> &fields) const;

    // Records of after < Dat <= upTo enough for the rain aggregation: the
    // first one and the last one of every day, in ascending time.
    std::vector<RainSample> rainSamples(PlainSeconds after, PlainSeconds upTo) const;
    // The factor the user's calibration puts on rain amounts (1 without one):
    // the samples are the stored counters, their rises are to be scaled.
    double rainFactor() const;

    // Which way read() goes for a stretch and width (benchmarks and tests).
    enum class Way { Records, Hours, Days };
    Way wayFor(PlainSeconds after, PlainSeconds upTo, int columns) const;

private:
    QSqlDatabase db() const;
    void readRecords(PlainSeconds after, PlainSeconds upTo, const std::vector<PlotField> &fields,
                     std::vector<MinMaxReducer> &reducers) const;
    void readBuckets(SummaryLevel level, PlainSeconds after, PlainSeconds upTo, const std::vector<PlotField> &fields,
                     std::vector<MinMaxReducer> &reducers) const;

    // Builds a stale summary now; false when there is none to use.
    bool summaryForLongReads() const;

    const HistoryStore *store_ = nullptr;
    mutable SummaryState summary_ = SummaryState::Unusable;
};

}  // namespace nimbrel::history
