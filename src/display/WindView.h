// What the wind panel shows: speed and gust with the station's maxima and
// alarm limits, the direction as a compass point, in degrees and as a
// compass picture, the wind chill, the sensor battery, and the chart of the
// last seven days' running maximum speed.
#pragma once

#include "DisplayRules.h"
#include "Measurement.h"
#include "ShortHistoryChart.h"
#include "StationSummary.h"

#include <QDateTime>
#include <QString>
#include <array>
#include <optional>

namespace nimbrel {

class HistoryStore;

// A wind chill above 99 °C is not a reading and counts as 0.
inline constexpr double kWindChillLimitC = 99.0;
// Compass sectors 0..15, clockwise from north in steps of 22.5°.
inline constexpr int kCompassSectors = 16;
// Days the wind chart covers before the newest one (x = -7 .. 0).
inline constexpr int kWindChartDays = 7;

// Current speed and gust: the speed in the unit with one decimal ("UU.UU"
// for state 1, "--,-" for state 2, empty otherwise); above 200 mph counts
// as 0.
QString formatWindSpeed(const Measurement &m, int speedUnit);
QString formatWindGust(const Measurement &m, int speedUnit);
// Wind chill in the temperature unit ("UU.UU" for state 1, "--,-" for 4
// and before any record).
QString formatWindChill(const Measurement &m, int temperatureUnit);
// The station's maxima and alarm limits: always a number.
QString formatMaxWindSpeed(const StationSummary &s, int speedUnit);
QString formatMaxWindGust(const StationSummary &s, int speedUnit);
QString formatSpeedAlarm(const StationSummary &s, int speedUnit);  // without "Hi:"
QString formatGustAlarm(const StationSummary &s, int speedUnit);   // without "Hi:"
// "N" .. "NNW", and "0" .. "337,5" (always a comma: fixed texts); empty for
// a sector outside 0..15.
QString formatWindDirectionName(const Measurement &m);
QString formatWindDirectionDegrees(const Measurement &m);

// The wind chart: point x = -k (k = 7 .. 0) is the largest stored wind
// speed from 8 days before `readingsTime` up to the end of the 24 hours
// ending k days before it (windows exclude their start and include their
// end), in the unit. A converted value above 200 (or below 0) is drawn as 0
// and starts the running maximum again; the axis still follows it. The axis
// runs from one below the lowest truncated point (not below 0) to one above
// the highest. Without a history (null store) every point is 0 and the axis
// 0..1.
ChartView windSpeedChart(const HistoryStore *history, const QDateTime &readingsTime, int speedUnit);

// What the chart reads from the history, once per record: the largest
// stored speed (mph) of each of the 24-hour windows, index k ending k days
// before the readings; none for a window without records or without a
// history.
struct WindDays {
    std::array<std::optional<double>, 8> maxMph;
};
WindDays windDays(const HistoryStore *history, const QDateTime &readingsTime);
ChartView windSpeedChart(const WindDays &days, int speedUnit);

struct WindView {
    QString WindSpeedL;
    QString WindGustL;
    QString MaxWindSpeedL;
    QString MaxWindGustL;
    QString WSAL;  // "Hi:" and the speed alarm limit
    QString WGAL;  // "Hi:" and the gust alarm limit
    int WSAS = kAlarmQuiet;  // alarm bell pictures
    int WGAS = kAlarmQuiet;
    QString WindDirectionLabel;
    QString WindDirectionLabel1;
    int Compass = 0;  // the sector itself is the picture index; -1 none (no record yet)
    QString WindChillL;
    int BatWind = kBatteryNoReading;
    QString SpeedUnitCaption;  // SL1 .. SL6: the unit's item text; empty for an unknown unit
    ChartView WindSpeedChart;
};

// The whole panel, the chart from `history` (may be null) ending at the
// readings' time stamp m.Dat. Before any record the speeds show "--,-",
// the direction nothing and the chart no points.
WindView windView(const Measurement &m, const StationSummary &s, const HistoryStore *history,
                  const UnitChoices &units);
WindView windView(const Measurement &m, const StationSummary &s, const WindDays &days, const UnitChoices &units);

}  // namespace nimbrel
