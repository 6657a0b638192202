// The dew point of a temperature and a relative humidity.
#pragma once

namespace nimbrel {

// Dew point in °C of a relative humidity (%) and a temperature (°C), Magnus
// form with base-10 constants 7.63, 241.9 and 6.107 hPa. A humidity of 0 (or
// below) gives exactly 0.
double dewPoint(double relativeHumidity, double temperatureC);

}  // namespace nimbrel
