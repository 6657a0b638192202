// Degree arithmetic shared by the Sun, the Moon and the sky coordinates.
#pragma once

#include <cmath>
#include <numbers>

namespace nimbrel::astro {

inline constexpr double kRad = std::numbers::pi / 180.0;  // radians per degree

// x reduced into 0 <= x < period.
inline double reduce(double x, double period)
{
    x = std::fmod(x, period);
    if (x < 0)
        x += period;
    return x;
}

inline double reduce360(double x)
{
    return reduce(x, 360.0);
}

}  // namespace nimbrel::astro
