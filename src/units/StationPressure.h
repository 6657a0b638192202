// Pressure at the station's altitude from the sea-level pressure the station
// reports: the barometric formula with molar mass 0.029 kg/mol, gravity
// 10.0 m/s², gas constant 8.31 J/(mol·K) and the indoor temperature as the
// air temperature.
#pragma once

#include <QChar>
#include <QString>

namespace nimbrel {

// seaLevelPressure × exp(-(0.029 × 10.0 × altitudeM) / (8.31 × (indoorC + 273.0))).
// The result is in the unit of seaLevelPressure (any of hPa, mBar, mmHg,
// inchHg: the formula only scales). Altitude 0 returns the input unchanged;
// a negative altitude raises the pressure. The indoor temperature is taken
// in °C whatever unit the user shows.
double stationPressure(double seaLevelPressure, int altitudeM, double indoorC);

// The station-pressure label: "----,-" when the pressure state is non-zero,
// otherwise the stored hPa converted to the pressure unit code, reduced to
// the altitude and formatted with one decimal.
QString formatStationPressure(double pressureHpa, int pressureInvalid, int altitudeM,
                              double indoorC, int pressureUnitCode, QChar decimalSeparator);
QString formatStationPressure(double pressureHpa, int pressureInvalid, int altitudeM,
                              double indoorC, int pressureUnitCode);

// The placeholder shown instead of any pressure without a valid reading.
inline constexpr char kPressurePlaceholder[] = "----,-";

}  // namespace nimbrel
