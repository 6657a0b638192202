// Climatological summaries of the history: per day and over any run of days
// (a month, a year), the figures station owners compare from year to year.
//
// Everything is read with a handful of SQL queries over the date range,
// through the index on `Dat`; a year of 5-minute records takes a few tens of
// milliseconds. Values are in the stored base units (°C, mph, rain-gauge
// tips); the caller converts for display.
//
// Outdoor temperature is channel 1. A channel that was not reporting is
// stored as temperature 0 with humidity 0 (no real reading has 0 % humidity),
// so such rows are left out of the temperature figures. Rain of a day is the
// sum of the rises of the cumulative rain counter from each record to the
// next, the first compared with the last record before the day; a counter
// that went backwards (reset, or a new battery) counts as 0 for that step.
// Wind above 200 mph is not a reading and counts as 0.
//
// The store's calibration (Calibration.h) applies to every figure: channel
// 1's offset to its mean, high and low (the degree days follow from the
// corrected mean), the wind factor to the wind, the rain factor to the rain,
// the vane's rotation to the sectors.
#pragma once

#include "HistoryStore.h"

#include <QDate>
#include <QDateTime>
#include <array>
#include <optional>
#include <vector>

namespace nimbrel {

inline constexpr int kWindSectors = 16;  // 0 north, clockwise in steps of 22.5°

// A value with the date of the earliest record that holds it.
struct TimedValue {
    double value = 0;
    QDateTime Dat;
};

struct ClimateSummary {
    int records = 0;  // 0: nothing recorded; every figure is to be shown blank
    // Temperatures (°C). Empty when no record in the span had channel 1.
    std::optional<double> meanTemperature;  // of the day: of its records; longer spans: of the daily means
    std::optional<TimedValue> highTemperature;
    std::optional<TimedValue> lowTemperature;
    // Degree days (°C·day) against the base given to the summary, summed over
    // the days that have a mean temperature.
    double heatingDegreeDays = 0;
    double coolingDegreeDays = 0;
    double rainTips = 0;  // whole tips unless a calibration's rain factor applies
    double meanWindSpeed = 0;  // mph, over every record of the span
    std::optional<TimedValue> highGust;  // mph
    int highGustDirection = -1;          // sector of the record with the highest gust
    // Records with wind per sector (calm records are not counted); the most
    // frequent is the dominant direction, -1 when there was no wind at all.
    std::array<int, kWindSectors> directionCounts{};
    int dominantDirection() const;
};

struct DailyClimate {
    QDate day;
    ClimateSummary summary;
};

// One entry per calendar day from `first` to `last` inclusive, days without
// records included (records 0). `degreeDayBase` in °C (18.3 for 65 °F use
// (65 - 32) / 1.8). Null, with `error` set, when the history cannot be read.
std::optional<std::vector<DailyClimate>> dailyClimate(const HistoryStore &store, const QDate &first,
                                                      const QDate &last, double degreeDayBase,
                                                      QString *error = nullptr);

// The summary of a run of days: sums of records, degree days and rain; the
// highest and lowest of the days' extremes (the earlier on a tie); the mean
// of the daily mean temperatures; the mean wind over all records; the
// direction counts added up.
ClimateSummary combineDays(const std::vector<DailyClimate> &days);

}  // namespace nimbrel
