// The sixteen fundamental angles of the Sun, Moon and planets, each a cubic
// polynomial in T = d / 36525 (Julian centuries from J2000.0) with
// coefficients in seconds of arc, returned in degrees 0 <= x < 360.
// d is the day count of DaysSinceJ2000.
#pragma once

namespace nimbrel::astro {

double ObliquityOfEcliptic(double d);         // ε
double MoonMeanAnomaly(double d);             // l
double SunMeanAnomaly(double d);              // l′, also M of the Sun's series
double VenusMeanLongitude(double d);
double VenusPerihelionLongitude(double d);
double MarsMeanLongitude(double d);
double MarsPerihelionLongitude(double d);
double JupiterMeanLongitude(double d);
double JupiterPerihelionLongitude(double d);
double SaturnMeanLongitude(double d);
double SaturnPerihelionLongitude(double d);
double MoonArgumentOfLatitude(double d);      // F
double MoonMeanElongation(double d);          // D
double SunMeanLongitude(double d);
double MoonNodeLongitude(double d);           // Ω
double MoonMeanLongitude(double d);

// A planet's mean anomaly: mean longitude minus longitude of perihelion, both
// reduced, the difference not reduced again (-360 < x < 360).
double VenusMeanAnomaly(double d);
double MarsMeanAnomaly(double d);
double JupiterMeanAnomaly(double d);
double SaturnMeanAnomaly(double d);

}  // namespace nimbrel::astro
