// What the pressure and forecast panel shows: the pressure as the station
// reports it (labelled sea level) and reduced to the station's altitude, the
// trend arrow, the forecast picture and the chart of the last 24 hours.
#pragma once

#include "DisplayRules.h"
#include "Measurement.h"
#include "ShortHistoryChart.h"
#include "StationSummary.h"

#include <QString>
#include <optional>

namespace nimbrel {

// Pictures of the forecast strip list: forecast codes 1..6 show their own
// picture, every other code picture 0; 7 is the empty sky of "no forecast".
inline constexpr int kForecastFirstCode = 1;
inline constexpr int kForecastLastCode = 6;
inline constexpr int kForecastNone = 7;
// The weather state that means the station has no forecast.
inline constexpr int kWeatherUnavailable = 2;

struct PressureView {
    QString PressureLabel;    // sea-level pressure, or "----,-"
    QString PressureLocalL;   // pressure at the altitude, or "----,-"
    QString PressureUnitCaption;  // PressL1 .. PressL4: the unit's item text; empty for an unknown unit
    int PressureTrend = kTrendSteady;  // arrow picture
    int WeatherImage = 0;              // forecast strip, animated
    bool WeatherStateVisible = false;  // WeatherStateImage and WeatherStateL stay hidden
    std::optional<int> PressLevel;     // the altitude edit, metres; empty before any header was read
    ChartView PressureChart;
};

// The sea-level label: "----,-" for an invalid pressure, otherwise the
// pressure in the unit with one decimal.
QString formatSeaLevelPressure(const Measurement &m, int pressureUnit);
// The forecast picture 0..7.
int forecastImageIndex(const Measurement &m);
// The arrow from the newest two hourly pressures, compared in whole hPa.
int pressureTrendIndex(const StationSummary &s);

// The whole panel. The station pressure is reduced with the summary's
// altitude and the indoor temperature in °C (its state is not consulted).
// Before any header has been read the station pressure is "----,-", the
// altitude edit empty, the chart without points and no trend arrow shown.
// Before any record both pressures are "----,-" and the forecast picture
// the neutral one.
PressureView pressureView(const Measurement &m, const StationSummary &s, const UnitChoices &units);

}  // namespace nimbrel
