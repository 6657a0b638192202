#include "SkyCoordinates.h"

#include "Angles.h"
#include <cmath>
#include <numbers>

namespace nimbrel::astro {

double SiderealTime(double d)
{
    // d0: the 0h of a day nearest d (day counts of 0h end in .5); u: days
    // since it, negative when d lies before it.
    const double n = std::trunc(d);
    const double f = d - n;
    double d0, u;
    if (f >= 0.5) {
        d0 = n + 0.5;
        u = f - 0.5;
    } else {
        d0 = n - 0.5;
        u = f + 0.5;
    }
    const double t0 = d0 / 36525.0;
    const double theta0Seconds = 24110.54841 + 8640184.812866 * t0 + 0.093104 * t0 * t0 - 0.0000062 * t0 * t0 * t0;
    return reduce(theta0Seconds / 3600.0 + u * 24.0 * 1.0027379093, 24.0);
}

EquatorialPosition EclipticToEquatorial(double longitudeDeg, double latitudeDeg, double obliquityDeg)
{
    const double lambda = longitudeDeg * kRad;
    const double beta = latitudeDeg * kRad;
    const double eps = obliquityDeg * kRad;
    const double sinDelta = std::cos(eps) * std::sin(beta) + std::sin(eps) * std::cos(beta) * std::sin(lambda);
    // Rounding can put sinDelta a hair outside -1..1, where arccos has no value.
    const double delta = 90.0 - std::acos(std::fmax(-1.0, std::fmin(1.0, sinDelta))) / kRad;
    const double alpha = std::atan2(std::cos(beta) * std::cos(eps) * std::sin(lambda) - std::sin(beta) * std::sin(eps),
                                    std::cos(beta) * std::cos(lambda))
        / kRad;
    return {reduce(alpha, 360.0), reduce(delta, 360.0)};
}

}  // namespace nimbrel::astro
