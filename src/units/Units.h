// Unit codes and the conversions from the stored base units to the unit the
// user chose.
//
// Every quantity is stored in one base unit: temperature in °C, pressure in
// hPa, wind in mph, rain as a count of rain-gauge tips, UV as UV index. A unit
// code is the item index of its selector; it is what the settings table
// stores and what Measurement carries (as a plain int), so the conversion
// functions take the code as an int and accept any value. What an unknown
// code does differs per quantity and follows the panels that show it:
//   temperature  anything but 1 (F) stays in °C
//   pressure     anything but 2 (mmHg) and 3 (inchHg) stays in hPa
//   speed        an unknown code has the factor 0, so every speed shows 0.0
//   rain         anything but 0 (inch) is millimetres
//   UV           anything but 1 (MED/h) stays a UV index
#pragma once

#include <QString>
#include <QStringList>

namespace nimbrel {

enum class TemperatureUnit : int { Celsius = 0, Fahrenheit = 1 };
enum class PressureUnit : int { Hpa = 0, MBar = 1, MmHg = 2, InchHg = 3 };
enum class SpeedUnit : int { Kmh = 0, Mph = 1, Ms = 2, Knots = 3 };
enum class RainUnit : int { Inch = 0, Mm = 1 };
enum class UvUnit : int { Uvi = 0, MedPerHour = 1 };

constexpr int unitCode(TemperatureUnit u) { return static_cast<int>(u); }
constexpr int unitCode(PressureUnit u) { return static_cast<int>(u); }
constexpr int unitCode(SpeedUnit u) { return static_cast<int>(u); }
constexpr int unitCode(RainUnit u) { return static_cast<int>(u); }
constexpr int unitCode(UvUnit u) { return static_cast<int>(u); }

// Selector items, in code order. They double as the unit captions written
// beside the values and are never translated.
QStringList temperatureUnitNames();  // "C", "F"
QStringList pressureUnitNames();     // "hPa", "mBar", "mmHg", "inchHg"
QStringList speedUnitNames();        // "km/h", "mph", "m/s", "knots"
QStringList rainUnitNames();         // "inch", "mm"
QStringList uvUnitNames();           // "UVI", "MED/h"

// The caption of one code; empty for a code outside the list.
QString temperatureUnitName(int code);
QString pressureUnitName(int code);
QString speedUnitName(int code);
QString rainUnitName(int code);
QString uvUnitName(int code);

// Conversion constants, exact decimal literals held as doubles.
inline constexpr double kMmHgPerHpa = 0.75006;
inline constexpr double kInchHgPerHpa = 0.02953;
inline constexpr double kKmhPerMph = 1.61;
inline constexpr double kMsPerMph = 0.45;
inline constexpr double kKnotsPerMph = 0.87;
inline constexpr double kInchPerTip = 0.0271;
inline constexpr double kMmPerTip = 0.6875;
inline constexpr double kMedPerHourPerUvi = 0.4236;

// Plausibility limits: a wind value above 200 mph and a tip count above 2000
// are not readings and count as 0.
inline constexpr double kSpeedLimitMph = 200.0;
inline constexpr double kRainLimitTips = 2000.0;

// °F from °C as the station program has always computed it: times 9, then
// times 0.2 (the double nearest 0.2, not 0.2L), plus 32, all in long double
// (x87 extended on x86), then rounded back to double. 20 → 68, -40 → -40.
double fahrenheitFromCelsius(double celsius);

// Temperature in the unit: 1 gives °F, any other code °C unchanged.
double temperatureInUnit(double celsius, int code);

// Factor from hPa: 2 mmHg, 3 inchHg, any other code 1 (hPa and mBar are the
// same number).
double pressureFactor(int code);
double pressureInUnit(double pressureHpa, int code);

// Factor from mph: 0 km/h 1.61, 1 mph 1.0, 2 m/s 0.45, 3 knots 0.87, any
// other code 0.
double speedFactor(int code);
// Speed, gust, wind maxima and wind alarm limits: above 200 mph counts as 0,
// then the factor.
double speedInUnit(double speedMph, int code);

// Rain per gauge tip: 0 inch 0.0271, any other code mm 0.6875.
double rainTipFactor(int code);
// A tip count above 2000 counts as 0, then the factor. Negative counts pass
// unchanged; the hour, day and total figures clamp their own results.
double rainInUnit(double tips, int code);

// 1 MED/h 0.4236 per UV index, any other code 1. No plausibility rule: the
// decoder already stores a reading above 99 as 0.
double uvFactor(int code);
double uvInUnit(double uvIndex, int code);

// The calculated fields of the history window's table, from the stored field
// of the same row. None of them applies a plausibility rule. Millibars and
// miles per hour plot the stored fields themselves.
double historyPressPa(double pressLocalHpa);     // PressPa
double historyPressMm(double pressLocalHpa);     // PressMm
double historyPressIn(double pressLocalHpa);     // PressIn
double historyTempF(double tempC);               // TempDoorF, TempCH1F..TempCH5F
double historyWindSpeedKm(double windSpeedMph);  // WindSpeedKm
double historyWindSpeedM(double windSpeedMph);   // WindSpeedm
double historyWindSpeedK(double windSpeedMph);   // WindSpeedk
double historyUvMed(double uvIndex);             // UVmed

}  // namespace nimbrel
