// What the main window reads from the history at every refresh, without
// walking the whole table: rain-gauge counts of a time window or of the whole
// history, the largest wind speed of a window, and the recorded extremes.
//
// Windows hold the rows with after < Dat <= upTo, found through the index on
// `Dat`. The newest rain-marked row (`RainState` 1 or 2) is found through a
// partial index holding only marked rows, so the total rain costs the same at
// ten years as at a day.
//
// The recorded extremes (largest and smallest indoor and channel
// temperature and pressure, largest wind speed and gust, each with the date
// of the earliest row that holds it) are kept in the table `Extremes` beside
// `MainSet`. A trigger updates them in the same statement, and therefore in
// the same transaction, as each appended row: a row replaces a kept extreme
// only when it beats it, or equals it with an earlier date. clear() empties
// them with the history; a history whose extremes are missing (an older
// file, or one emptied by hand) has them rebuilt by one scan. Code that
// deletes single rows must call rebuildRecordedExtremes afterwards.
//
// Values are the stored ones: a reading that was not valid is stored as 0 and
// takes part as 0, as it always has.
#pragma once

#include "HistoryStore.h"

#include <QDateTime>
#include <QSqlDatabase>
#include <QString>
#include <cstdint>
#include <optional>

namespace nimbrel {

// Rain-gauge counts of a window or of the whole history.
struct RainCounts {
    bool empty = true;      // no row: both counts read 0 and baseDat is invalid
    std::int32_t base = 0;  // count of the newest marked row, else of the oldest row
    std::int32_t last = 0;  // count of the newest row
    QDateTime baseDat;      // date of the row `base` was read from
    bool marked = false;    // base comes from a marked row
    // The calibration's factor on rain amounts: the rain of the window is
    // (last - base) * factor tips; the counts themselves are as stored.
    double factor = 1;
    double tips() const { return (static_cast<double>(last) - static_cast<double>(base)) * factor; }
};

// Rows with after < Dat <= upTo.
RainCounts rainCountsBetween(const HistoryStore &store, const QDateTime &after, const QDateTime &upTo);
// The whole history.
RainCounts rainCountsTotal(const HistoryStore &store);

// The largest WindSpeed (mph, corrected by the store's calibration) of the rows with after < Dat <= upTo;
// none for an empty window.
std::optional<double> maxWindSpeedBetween(const HistoryStore &store, const QDateTime &after,
                                          const QDateTime &upTo);

// One extreme: the stored value and the date of the earliest row holding it.
struct Extreme {
    double value = 0;
    QDateTime Dat;
};

struct RecordedExtremes {
    bool empty = true;  // no row stored: every value 0, every date invalid
    QDateTime oldestDat;  // date of the oldest row
    Extreme TempDoorMax;
    Extreme TempDoorMin;
    Extreme TempCHMax[kChannelCount];  // channels 1..5 at indexes 0..4
    Extreme TempCHMin[kChannelCount];
    Extreme WindSpeedMax;
    Extreme WindGustMax;
    Extreme PressLocalMax;
    Extreme PressLocalMin;
};

// The kept extremes, corrected by the store's calibration (the kept table
// holds the stored values); when they are missing they are rebuilt by one scan
// (kept again if the store may write, e.g. not for openForReading).
RecordedExtremes recordedExtremes(const HistoryStore &store);
// The extremes from a scan of every row, ignoring what is kept.
RecordedExtremes scanRecordedExtremes(const HistoryStore &store);
// Scans the history and keeps the result; false when either failed.
bool rebuildRecordedExtremes(HistoryStore &store);

// Creates the `Extremes` table, its trigger and the rain-mark index when
// missing, and builds the extremes of a history that has none (a file of
// schema 1). Part of preparing the file at open.
bool prepareHistoryAggregates(QSqlDatabase &db, QString &why);
// Empties the kept extremes; part of clearing the history (in its transaction).
bool clearRecordedExtremes(QSqlDatabase &db, QString &why);

}  // namespace nimbrel
