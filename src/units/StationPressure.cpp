#include "StationPressure.h"

#include "NumberFormat.h"
#include "Units.h"

#include <cmath>

namespace nimbrel {

namespace {

constexpr double kMolarMassAir = 0.029;  // kg/mol
constexpr double kGravity = 10.0;        // m/s²
constexpr double kGasConstant = 8.31;    // J/(mol·K)
constexpr double kZeroCelsiusK = 273.0;

}  // namespace

double stationPressure(double seaLevelPressure, int altitudeM, double indoorC)
{
    const double exponent =
        -(kMolarMassAir * kGravity * altitudeM) / (kGasConstant * (indoorC + kZeroCelsiusK));
    return seaLevelPressure * std::exp(exponent);
}

QString formatStationPressure(double pressureHpa, int pressureInvalid, int altitudeM,
                              double indoorC, int pressureUnitCode, QChar decimalSeparator)
{
    if (pressureInvalid != 0)
        return QString::fromLatin1(kPressurePlaceholder);
    const double shown = stationPressure(pressureInUnit(pressureHpa, pressureUnitCode), altitudeM, indoorC);
    return formatFixed(shown, 1, decimalSeparator);
}

QString formatStationPressure(double pressureHpa, int pressureInvalid, int altitudeM,
                              double indoorC, int pressureUnitCode)
{
    return formatStationPressure(pressureHpa, pressureInvalid, altitudeM, indoorC, pressureUnitCode,
                                 localeDecimalSeparator());
}

}  // namespace nimbrel
