// The history as text for spreadsheets, scripts and other programs, one
// record per line, oldest first, dates as "YYYY-MM-DDTHH:MM:SS" (the
// station's clock), numbers in the C locale. Written by `nimbrel-tool export`
// and by the main window's "Export history…".
//
// CSV: a header naming every column with its unit in brackets; a named
// channel's columns carry its name ("Garden temperature [C]", quoted where
// the name holds a comma or a quote), an unnamed one's "channelN_...". In SI (the
// default) temperatures are °C ("C"), humidity %, UV the UV index, the
// sea-level pressure hPa, wind m/s, direction degrees (0 north, 90 east),
// rain mm; in the user's units, the units the window shows. `rain` is what
// fell since the record before (empty without one in the 31 days before, 0 where
// the counter went back or jumped more than 2000 tips), `rain_counter` the
// station's running count of rain-gauge tips (0.6875 mm each). Empty cells:
// a channel without a reading (stored as 0.0 °C and 0 %), an indoor sensor
// without one, a pressure of 0, a wind of more than 200 mph.
//
// JSON lines: one object per record in the history's base units (°C, %,
// hPa, mph, tips), direction in degrees, null for the same missing values.
#pragma once

#include "HistoryStore.h"
#include "SettingsStore.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <array>
#include <functional>

namespace nimbrel {

// The unit codes of the user's units (Settings' Temp, Press, Speed, Rain,
// UVI); absent for SI.
struct CsvUnits {
    bool user = false;
    Settings codes;
    // [channels] nameN of nimbrel.ini, for the header only; empty: unnamed.
    std::array<QString, 5> channelNames;
};

QByteArray historyCsvHeader(const CsvUnits &units = {});
// Whether `line` (without its line end) is the header of a CSV written in SI
// units, with or without channel names.
bool isSiCsvHeader(const QByteArray &line);
// `previous` is the record before `row` (for its rain), null for the first.
// `rainFactor`: the calibration's factor on rain amounts (Calibration.h).
QByteArray historyCsvLine(const HistoryRow &row, const HistoryRow *previous, const CsvUnits &units = {},
                          double rainFactor = 1);
QByteArray historyJsonLine(const HistoryRow &row, const HistoryRow *previous, double rainFactor = 1);

// Calls visit(row, previous) for the rows with after < Dat <= upTo, oldest
// first, reading 4096 records at a time so that a writer is never kept
// waiting by a long export. Dat is the clock reading held in UTC: a local
// time asks the C library for the zone at every use, which cost more than
// the rest of an export. False when visit stopped or reading failed (`why`).
bool forEachHistoryRow(const HistoryStore &store, const QDateTime &after, const QDateTime &upTo,
                       const std::function<bool(const HistoryRow &, const HistoryRow *)> &visit, QString *why);

// "YYYY-MM-DDTHH:MM:SS" as a clock reading held in UTC; invalid otherwise.
QDateTime clockFromText(const char *text, qsizetype size);
enum class TextFormat { Csv, JsonLines };

// Hands the header (CSV only) and the rows with after < Dat <= upTo to `put`
// in chunks of about 64 KiB; stops at the first chunk `put` refuses. False
// when a chunk was refused or the history could not be read (the reason in
// `readError`).
bool writeHistoryText(const HistoryStore &store, const QDateTime &after, const QDateTime &upTo, TextFormat format,
                      const CsvUnits &units, const std::function<bool(const QByteArray &)> &put,
                      QString *readError = nullptr);
bool writeHistoryCsv(const HistoryStore &store, const QDateTime &after, const QDateTime &upTo,
                     const std::function<bool(const QByteArray &)> &put, QString *readError = nullptr);

// The whole history as SI CSV into `path`, replacing the file only once the
// CSV is completely on disk. False, with the reason in `why`, on any failure.
bool exportHistoryCsv(const HistoryStore &store, const QString &path, QString *why);

// What `nimbrel-tool export` writes, the whole history: CSV (in `units`),
// JSON lines or a weewx archive with `outdoorChannel` (1..5) as outdoors;
// the file is replaced only once complete. False, with the reason in `why`.
enum class ExportFormat { Csv, JsonLines, WeewxArchive };
bool exportHistory(const HistoryStore &store, const QString &path, ExportFormat format, const CsvUnits &units,
                   int outdoorChannel, QString *why);

}  // namespace nimbrel
