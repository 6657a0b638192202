#include "Moon.h"

#include "Angles.h"
#include "DayEvents.h"
#include "FundamentalAngles.h"
#include "SeriesTables.h"
#include "SkyCoordinates.h"
#include "Sun.h"

#include <cmath>
#include <numbers>

namespace nimbrel::astro {

namespace {

constexpr double kParallaxConstantArcsec = 3422.451;
constexpr double kMoonRadiusInEarthRadii = 0.272493;

// The Moon's fundamental arguments at one day count, radians.
struct LunarArguments {
    double l, lp, F, D;
};

LunarArguments argumentsAt(double d)
{
    return {MoonMeanAnomaly(d) * kRad, SunMeanAnomaly(d) * kRad, MoonArgumentOfLatitude(d) * kRad,
            MoonMeanElongation(d) * kRad};
}

template <typename Term>
double argumentOf(const Term &term, const LunarArguments &a)
{
    return term.l * a.l + term.lp * a.lp + term.F * a.F + term.D * a.D;
}

}  // namespace

double MoonLongitude(double d)
{
    const LunarArguments a = argumentsAt(d);
    double s = 0;  // seconds of arc
    for (const MoonLongitudeParallaxTerm &term : kMoonLongitudeParallaxSeries)
        s += term.longitudeSinArcsec * std::sin(argumentOf(term, a));
    return reduce360(MoonMeanLongitude(d) + s / 3600.0);
}

double MoonLatitude(double d)
{
    const LunarArguments a = argumentsAt(d);
    double s = 0;  // seconds of arc
    for (const MoonLatitudeTerm &term : kMoonLatitudeSeries)
        s += term.latitudeSinArcsec * std::sin(argumentOf(term, a));
    // Reduced keeping its sign: a southern latitude stays negative.
    return std::fmod(s / 3600.0, 360.0);
}

double MoonParallax(double d)
{
    const LunarArguments a = argumentsAt(d);
    double s = kParallaxConstantArcsec;
    for (const MoonLongitudeParallaxTerm &term : kMoonLongitudeParallaxSeries)
        s += term.parallaxCosArcsec * std::cos(argumentOf(term, a));
    return reduce360(s / 3600.0);
}

namespace {

HorizonPlace moonPlace(double d)
{
    const EquatorialPosition eq = EclipticToEquatorial(MoonLongitude(d), MoonLatitude(d), ObliquityOfEcliptic(d));
    const double parallax = MoonParallax(d);
    // Upper limb on the horizon: 0.575° of refraction and dip, plus the
    // semidiameter, less the parallax that lowers the Moon seen from the
    // Earth's surface.
    const double semidiameter = std::asin(kMoonRadiusInEarthRadii * std::sin(parallax * kRad)) / kRad;
    return {eq.rightAscensionDeg, eq.declinationDeg, -(0.575 + semidiameter - parallax)};
}

}  // namespace

RiseSet MoonRiseSet(const CalendarMoment &moment, double zone, double latitudeDeg, double longitudeDeg, bool south,
                    bool west)
{
    return riseSetOnLocalDate(moment, zone, south ? -latitudeDeg : latitudeDeg, west ? -longitudeDeg : longitudeDeg,
                              moonPlace, SetOfTheDay::OnTheDate);
}

DayTimes UpdateMoonTimes(const Location &location, const CalendarMoment &localClock)
{
    return dayTimesOf(MoonRiseSet(localClock, zoneOfDate(location, localClock), latitudeDegrees(location),
                                  longitudeDegrees(location), isSouth(location), isWest(location)));
}

double MoonPhaseAngle(const CalendarMoment &localClock)
{
    const double d = DaysSinceJ2000(startOfHour(localClock));
    return MoonLongitude(d) - SunLongitude(d);
}

int MoonPictureIndex(double phaseAngleDeg)
{
    if (!std::isfinite(phaseAngleDeg))
        return 1;
    // The angle is already within -360..360; fmod only keeps wild inputs
    // from overflowing the conversion.
    int b = static_cast<int>(std::trunc(std::fmod(phaseAngleDeg, 360.0) / 10.0));
    if (b < 0)
        b += 36;
    int index = b + 1;
    if (index > kMoonPictureCount - 1)
        index = kMoonPictureCount - 1;
    return index < 0 ? 0 : index;
}

}  // namespace nimbrel::astro
