#include "Sun.h"

#include "Angles.h"
#include "DayEvents.h"
#include "DaylightSaving.h"
#include "FundamentalAngles.h"
#include "SeriesTables.h"
#include "SkyCoordinates.h"

#include <cmath>
#include <numbers>

namespace nimbrel::astro {

namespace {

constexpr double kDegreesPerRadian = 57.29577951308232;

// The arguments of the Sun's series at one day count, radians.
struct SunArguments {
    double t1900;  // Julian centuries from 1900 January 0.5
    double sun;    // the Sun's mean anomaly l′ (M)
    double venus, mars, jupiter, saturn;  // planetary mean anomalies
    double l, F, D;  // the Moon's mean anomaly, argument of latitude, elongation
};

SunArguments argumentsAt(double d)
{
    SunArguments a{};
    a.t1900 = (d + 36525.0) / 36525.0;
    a.sun = SunMeanAnomaly(d) * kRad;
    a.venus = VenusMeanAnomaly(d) * kRad;
    a.mars = MarsMeanAnomaly(d) * kRad;
    a.jupiter = JupiterMeanAnomaly(d) * kRad;
    a.saturn = SaturnMeanAnomaly(d) * kRad;
    a.l = MoonMeanAnomaly(d) * kRad;
    a.F = MoonArgumentOfLatitude(d) * kRad;
    a.D = MoonMeanElongation(d) * kRad;
    return a;
}

double polynomial(const double (&c)[3], double t)
{
    return c[0] + t * (c[1] + t * c[2]);
}

double planetaryArgument(const SunSeriesTerm &term, const SunArguments &a)
{
    return term.sun * a.sun + term.venus * a.venus + term.mars * a.mars + term.jupiter * a.jupiter
        + term.saturn * a.saturn;
}

double lunarArgument(const SunLunarTerm &term, const SunArguments &a)
{
    return term.l * a.l + term.lp * a.sun + term.F * a.F + term.D * a.D;
}

}  // namespace

double SunLongitude(double d)
{
    const SunArguments a = argumentsAt(d);
    double s = 0;  // radians
    for (const SunSeriesTerm &term : kSunSeries) {
        const double theta = planetaryArgument(term, a);
        s += polynomial(term.longitudeSin, a.t1900) * std::sin(theta)
            + polynomial(term.longitudeCos, a.t1900) * std::cos(theta);
    }
    // Venus' long-period inequality, period about 240 years.
    const double e = 13.0 * a.sun - 8.0 * a.venus + 3.8990655 + 0.0785398 * a.t1900;
    s += 0.000006 * std::cos(e) + 0.000007 * std::sin(e);
    for (const SunLunarTerm &term : kSunLunarSeries)
        s += term.longitudeSin * std::sin(lunarArgument(term, a));
    return reduce360(SunMeanLongitude(d) + s * kDegreesPerRadian);
}

double SunDistance(double d)
{
    const SunArguments a = argumentsAt(d);
    double logR = 0;  // log10 of astronomical units
    for (const SunSeriesTerm &term : kSunSeries) {
        const double theta = planetaryArgument(term, a);
        logR += polynomial(term.logDistanceSin, a.t1900) * std::sin(theta)
            + polynomial(term.logDistanceCos, a.t1900) * std::cos(theta);
    }
    for (const SunLunarTerm &term : kSunLunarSeries)
        logR += term.logDistanceCos * std::cos(lunarArgument(term, a));
    return std::pow(10.0, logR);
}

namespace {

// The upper limb on the horizon: 0.575° of refraction and dip, the Sun's
// semidiameter 961.18″ at 1 au, less its horizontal parallax 8.794″.
double sunHorizonZenith(double distanceAu)
{
    return 90.0 + 0.575 + (961.18 / 3600.0) / distanceAu - (8.794 / 3600.0) / distanceAu;
}

HorizonPlace sunPlace(double d)
{
    const EquatorialPosition eq = EclipticToEquatorial(SunLongitude(d), 0.0, ObliquityOfEcliptic(d));
    return {eq.rightAscensionDeg, eq.declinationDeg, 90.0 - sunHorizonZenith(SunDistance(d))};
}

// The Sun's place at the start of the moment's hour serving for the whole
// day, the moment's fields read as Universal Time: a picture of the hour,
// for the Earth picture only.
RiseSet onePassSunRiseSet(const CalendarMoment &moment, double latitudeDeg)
{
    const double d1 = DaysSinceJ2000(startOfHour(moment));
    const double d0 = DaysSinceJ2000(startOfDay(moment));
    const EquatorialPosition eq = EclipticToEquatorial(SunLongitude(d1), 0.0, ObliquityOfEcliptic(d1));
    return onePassRiseSet(eq.rightAscensionDeg / 15.0, eq.declinationDeg, sunHorizonZenith(SunDistance(d1)),
                          latitudeDeg, localSiderealTimeAtMidnight(d0, 0.0), 0.0);
}

}  // namespace

RiseSet SunRiseSet(const CalendarMoment &moment, double zone, double latitudeDeg, double longitudeDeg, bool south,
                   bool west)
{
    return riseSetOnLocalDate(moment, zone, south ? -latitudeDeg : latitudeDeg, west ? -longitudeDeg : longitudeDeg,
                              sunPlace, SetOfTheDay::AfterRise);
}

DayTimes UpdateSunTimes(const Location &location, const CalendarMoment &localClock)
{
    return dayTimesOf(SunRiseSet(localClock, zoneOfDate(location, localClock), latitudeDegrees(location),
                                 longitudeDegrees(location), isSouth(location), isWest(location)));
}

int EarthPictureIndex(const Location &location, const CalendarMoment &localClock, const CalendarMoment &recordTime)
{
    constexpr int kEuropeanRule = 4;
    const CalendarMoment t = IsDaylightSavingActive(kEuropeanRule, recordTime) ? oneHourEarlier(localClock)
                                                                                 : localClock;
    // On the equator at longitude 0 the Sun always rises and sets.
    const RiseSet greenwich = onePassSunRiseSet(t, 0.0);
    const int riseHour = static_cast<int>(std::trunc(greenwich.rise));

    int n = static_cast<int>(std::trunc(t.hour - riseHour - location.timeZone));
    if (IsDaylightSavingActive(location.dstCode, localClock))
        n -= 1;
    // Hours since the Greenwich equatorial sunrise, on the clock of 0..23.
    while (n < 0)
        n += 24;
    while (n >= 24)
        n -= 24;
    const int index = n / 2;
    return index < 0 ? 0 : (index >= kEarthPictureCount ? kEarthPictureCount - 1 : index);
}

}  // namespace nimbrel::astro
