#include "DewPoint.h"

#include <cmath>

namespace nimbrel {

namespace {

// Magnus constants, base 10: saturation vapour pressure
// E0 * 10^(A * T / (B + T)) hPa.
constexpr double kMagnusA = 7.63;
constexpr double kMagnusB = 241.9;
constexpr double kMagnusE0 = 6.107;

}  // namespace

double dewPoint(double relativeHumidity, double temperatureC)
{
    const double vapourHpa =
        relativeHumidity * kMagnusE0 * std::pow(10.0, kMagnusA * temperatureC / (kMagnusB + temperatureC)) * 0.01;
    // No vapour (or a humidity below 0, which no sensor reports) has no
    // logarithm: the dew point is then 0 rather than not-a-number.
    const double x = vapourHpa > 0 ? std::log10(vapourHpa / kMagnusE0) : 0.0;
    return kMagnusB * x / (kMagnusA - x);
}

}  // namespace nimbrel
