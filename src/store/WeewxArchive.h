// The history as a weewx-compatible SQLite archive, and such an archive read
// back as history records.
//
// Table `archive`, one row per record: `dateTime` (unix seconds of the
// station's clock reading in this computer's time zone), `usUnits`,
// `interval` (minutes since the record before; the first record takes the
// second's), `inTemp`, `inHumidity`, `outTemp`, `outHumidity` (the outdoor
// channel), `extraTemp1..4`, `extraHumid1..4` (the other channels in their
// order), `barometer` (sea level), `pressure` (at the station: NULL, the
// history holds no altitude), `windSpeed`, `windGust`, `windDir`, `rain`
// (since the record before; NULL for the first), `dewpoint` and `windchill`
// (outdoor), `UV`. Missing values are NULL. Written in METRIC (16: °C, mbar,
// km/h, cm); read in US (1: °F, inHg, mph, in), METRIC and METRICWX (17:
// °C, mbar, m/s, mm).
#pragma once

#include "HistoryStore.h"

#include <QDateTime>
#include <QString>
#include <functional>
#include <optional>

namespace nimbrel {

inline constexpr int kWeewxUs = 1;
inline constexpr int kWeewxMetric = 16;
inline constexpr int kWeewxMetricWx = 17;

// Writes the rows with after < Dat <= upTo into a new archive at `path`; an
// existing file is replaced only once the archive is complete. False, with
// the reason in `why`.
bool writeWeewxArchive(const HistoryStore &store, const QDateTime &after, const QDateTime &upTo, int outdoorChannel,
                       const QString &path, QString *why);

// One archive row in the history's base units; rain in tips, fractional.
struct ImportedRecord {
    HistoryRow row;
    std::optional<double> rainTips;  // fell since the record before; none: unknown
    bool hasCounter = false;         // row.RainCount is the station's own counter
};

// What a reader hands each record to, with its line (or row) number;
// returns false to stop.
using ImportSink = std::function<bool(const ImportedRecord &, long long line)>;

// Reads an archive, oldest first. False, with the reason and the row (1 for
// the first, in date order; 0 for the file as a whole) in `why` and
// `badLine`, when the archive cannot be read or a row is damaged (no date,
// an unknown unit system).
bool readWeewxArchive(const QString &path, int outdoorChannel, const ImportSink &sink, QString *why,
                      long long *badLine);

}  // namespace nimbrel
