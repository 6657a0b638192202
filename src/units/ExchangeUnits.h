// Conversions for files exchanged with other software (export and import):
// the exact definitions of the units, not the rounded factors the panels
// show (Units.h), so that a value written out and read back lands on the
// same stored value, and another program reads true km/h and inches.
//
// The history's base units: °C, hPa, mph, rain-gauge tips, a 16-point wind
// direction code (0 north, 4 east, ... 15 north-north-west). What the station
// resolves, and so what an imported value is rounded to: 0.1 °C, 1 %,
// 1/16 hPa, 0.1 mph, one tip (0.6875 mm), one direction point (22.5°).
#pragma once

#include "Units.h"

#include <cmath>

namespace nimbrel::exchange {

inline constexpr double kMetresPerMile = 1609.344;
inline constexpr double kMsPerMph = kMetresPerMile / 3600.0;  // 0.44704
inline constexpr double kKmhPerMph = kMetresPerMile / 1000.0;
inline constexpr double kHpaPerInchHg = 33.8638866667;
inline constexpr double kMmPerInch = 25.4;
inline constexpr double kDegreesPerPoint = 22.5;

inline double msFromMph(double mph) { return mph * kMsPerMph; }
inline double mphFromMs(double ms) { return ms / kMsPerMph; }
inline double kmhFromMph(double mph) { return mph * kKmhPerMph; }
inline double mphFromKmh(double kmh) { return kmh / kKmhPerMph; }
inline double celsiusFromFahrenheit(double f) { return (f - 32.0) * 5.0 / 9.0; }
inline double hpaFromInchHg(double inHg) { return inHg * kHpaPerInchHg; }
inline double mmFromInch(double inch) { return inch * kMmPerInch; }
inline double mmFromTips(double tips) { return tips * kMmPerTip; }
inline double degreesFromPoint(int point) { return point * kDegreesPerPoint; }
// The nearest of the 16 points; any angle, 360 and beyond wrap round.
inline int pointFromDegrees(double degrees)
{
    const long long point = std::llround(degrees / kDegreesPerPoint);
    return static_cast<int>(((point % 16) + 16) % 16);
}

// The station's resolutions, rounding half away from zero.
inline double roundToStep(double value, double step) { return std::round(value / step) * step; }
inline double stationTemperature(double celsius) { return std::round(celsius * 10.0) / 10.0; }
inline double stationPressure16(double hpa) { return std::round(hpa * 16.0) / 16.0; }
inline double stationWind(double mph) { return std::round(mph * 10.0) / 10.0; }
inline double stationUv(double uvi) { return std::round(uvi * 10.0) / 10.0; }

}  // namespace nimbrel::exchange
