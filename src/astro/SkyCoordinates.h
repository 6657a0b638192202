// Sidereal time and the ecliptic-to-equatorial conversion shared by the Sun
// and the Moon.
#pragma once

namespace nimbrel::astro {

// Greenwich mean sidereal time at day count d, hours 0 <= θ < 24. The
// polynomial is evaluated at the nearest 0h of a day; the rest of the day
// runs at 1.0027379093 sidereal hours per clock hour.
double SiderealTime(double d);

struct EquatorialPosition {
    double rightAscensionDeg = 0;  // 0..360
    // 0..360: a southern declination -δ is held as 360 - δ, which has the
    // same sine and cosine, the only way it is used.
    double declinationDeg = 0;
};

// Ecliptic longitude and latitude to right ascension and declination for the
// obliquity ε; all angles in degrees.
EquatorialPosition EclipticToEquatorial(double longitudeDeg, double latitudeDeg, double obliquityDeg);

}  // namespace nimbrel::astro
