// The Sun's and Moon's positions against libnova, an independent ephemeris
// (VSOP87 for the Earth, ELP 2000-82B for the Moon), and the sunrise and
// sunset labels against its rise/set times.
//
// libnova gives geometric coordinates on the ecliptic and equinox of J2000;
// the program's are on the mean ecliptic and equinox of date. The reference
// is brought to the date with the rigorous ecliptic precession (Meeus,
// Astronomical Algorithms, eq. 21.5). Both sides get the same instant: the
// program's day count d is passed to libnova as Julian date d + 2451545, so
// the comparison measures the series alone, not the time scale.
#include "CalendarMoment.h"
#include "Location.h"
#include "Moon.h"
#include "Sun.h"

#include <gtest/gtest.h>
#include <libnova/lunar.h>
#include <libnova/nutation.h>
#include <libnova/rise_set.h>
#include <libnova/solar.h>

#include <cmath>
#include <cstdio>
#include <numbers>
#include <string>

using namespace nimbrel::astro;

namespace {

constexpr double kRad = std::numbers::pi / 180.0;
constexpr double kEarthRadiusKm = 6378.14;

// Largest differences measured every 0.37 day from 1990 to 2030 (40,500
// instants): Sun 17.3″, Moon longitude 33.6″, latitude 17.4″, parallax
// 0.50″, Sun distance 4e-6 au; against the apparent Sun (with nutation and
// aberration, which the program does not apply) 49.1″. The series are
// truncated (49 Sun terms, 60 and 45 Moon terms), so these are their real
// accuracy; the tolerances sit a little above.
constexpr double kSunToleranceArcsec = 20;
constexpr double kApparentSunToleranceArcsec = 55;
constexpr double kSunDistanceToleranceAu = 1e-5;
constexpr double kMoonLongitudeToleranceArcsec = 38;
constexpr double kMoonLatitudeToleranceArcsec = 20;
constexpr double kMoonParallaxToleranceArcsec = 1;

std::string show(const CalendarMoment &m)
{
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d", m.year, m.month, m.day, m.hour, m.minute);
    return buffer;
}

double arcsecBetween(double a, double b)
{
    return std::remainder(a - b, 360.0) * 3600;
}

// Ecliptic coordinates of J2000 to the mean ecliptic and equinox of the
// date jd (Meeus eq. 21.5 with the starting epoch J2000).
void precessFromJ2000(double lambda0, double beta0, double jd, double &lambda, double &beta)
{
    const double t = (jd - 2451545.0) / 36525.0;
    const double eta = (47.0029 * t - 0.03302 * t * t + 0.000060 * t * t * t) / 3600 * kRad;
    const double pi = (174.876384 + (-869.8089 * t + 0.03536 * t * t) / 3600) * kRad;
    const double p = (5029.0966 * t + 1.11113 * t * t - 0.000006 * t * t * t) / 3600 * kRad;
    const double l0 = lambda0 * kRad;
    const double b0 = beta0 * kRad;
    const double a = std::cos(eta) * std::cos(b0) * std::sin(pi - l0) - std::sin(eta) * std::sin(b0);
    const double b = std::cos(b0) * std::cos(pi - l0);
    const double c = std::cos(eta) * std::sin(b0) + std::sin(eta) * std::cos(b0) * std::sin(pi - l0);
    lambda = std::fmod((p + pi - std::atan2(a, b)) / kRad + 720.0, 360.0);
    beta = std::asin(c) / kRad;
}

struct Reference {
    double sunLongitude;          // geometric, mean equinox of date, degrees
    double sunApparentLongitude;  // with nutation and aberration
    double sunDistance;           // au
    double moonLongitude;         // geometric, mean equinox of date, degrees
    double moonLatitude;
    double moonParallax;          // degrees
};

Reference referenceAt(double d)
{
    const double jd = d + 2451545.0;
    Reference r{};
    ln_helio_posn sun;
    ln_get_solar_geom_coords(jd, &sun);
    double beta = 0;
    precessFromJ2000(sun.L, sun.B, jd, r.sunLongitude, beta);
    r.sunDistance = sun.R;
    ln_nutation nutation;
    ln_get_nutation(jd, &nutation);
    r.sunApparentLongitude = r.sunLongitude + nutation.longitude - 20.4898 / 3600 / sun.R;

    ln_lnlat_posn moon;
    ln_get_lunar_ecl_coords(jd, &moon, 0);
    precessFromJ2000(moon.lng, moon.lat, jd, r.moonLongitude, r.moonLatitude);
    r.moonParallax = std::asin(kEarthRadiusKm / ln_get_lunar_earth_dist(jd)) / kRad;
    return r;
}

// Largest differences seen over a run, for the summary line.
struct Largest {
    double sun = 0, apparentSun = 0, sunDistance = 0, moonLongitude = 0, moonLatitude = 0, moonParallax = 0;
};

void compareAt(const CalendarMoment &moment, Largest &largest)
{
    SCOPED_TRACE(show(moment));
    const double d = DaysSinceJ2000(moment);
    const Reference ref = referenceAt(d);

    const double sun = arcsecBetween(SunLongitude(d), ref.sunLongitude);
    const double apparentSun = arcsecBetween(SunLongitude(d), ref.sunApparentLongitude);
    const double sunDistance = SunDistance(d) - ref.sunDistance;
    const double moonLongitude = arcsecBetween(MoonLongitude(d), ref.moonLongitude);
    const double moonLatitude = (MoonLatitude(d) - ref.moonLatitude) * 3600;
    const double moonParallax = (MoonParallax(d) - ref.moonParallax) * 3600;

    EXPECT_LE(std::fabs(sun), kSunToleranceArcsec) << "Sun longitude off by " << sun << "″";
    EXPECT_LE(std::fabs(apparentSun), kApparentSunToleranceArcsec) << "apparent Sun off by " << apparentSun << "″";
    EXPECT_LE(std::fabs(sunDistance), kSunDistanceToleranceAu) << "Sun distance off by " << sunDistance << " au";
    EXPECT_LE(std::fabs(moonLongitude), kMoonLongitudeToleranceArcsec) << "Moon longitude off by " << moonLongitude << "″";
    EXPECT_LE(std::fabs(moonLatitude), kMoonLatitudeToleranceArcsec) << "Moon latitude off by " << moonLatitude << "″";
    EXPECT_LE(std::fabs(moonParallax), kMoonParallaxToleranceArcsec) << "Moon parallax off by " << moonParallax << "″";

    largest.sun = std::max(largest.sun, std::fabs(sun));
    largest.apparentSun = std::max(largest.apparentSun, std::fabs(apparentSun));
    largest.sunDistance = std::max(largest.sunDistance, std::fabs(sunDistance));
    largest.moonLongitude = std::max(largest.moonLongitude, std::fabs(moonLongitude));
    largest.moonLatitude = std::max(largest.moonLatitude, std::fabs(moonLatitude));
    largest.moonParallax = std::max(largest.moonParallax, std::fabs(moonParallax));
}

void report(const char *what, const Largest &l)
{
    std::printf("%s: largest difference Sun %.1f″ (apparent %.1f″), Sun distance %.2g au, Moon longitude %.1f″, "
                "latitude %.1f″, parallax %.2f″\n",
                what, l.sun, l.apparentSun, l.sunDistance, l.moonLongitude, l.moonLatitude, l.moonParallax);
}

TEST(Ephemeris, SunAndMoonAtADozenDates)
{
    struct Row {
        const char *situation;
        CalendarMoment ut;
    };
    const Row rows[] = {
        {"spring 1990", {1990, 3, 15, 6, 0, 0}},
        {"summer 1993", {1993, 7, 4, 18, 0, 0}},
        {"autumn 1996", {1996, 11, 23, 2, 0, 0}},
        {"total solar eclipse, 11 August 1999", {1999, 8, 11, 11, 0, 0}},
        {"May 2001", {2001, 5, 20, 21, 0, 0}},
        {"26 December 2004", {2004, 12, 26, 0, 0, 0}},
        {"leap day 2008", {2008, 2, 29, 12, 0, 0}},
        {"September 2011", {2011, 9, 9, 15, 0, 0}},
        {"total solar eclipse, 20 March 2015", {2015, 3, 20, 9, 0, 0}},
        {"30 June 2019", {2019, 6, 30, 3, 0, 0}},
        {"partial solar eclipse, 25 October 2022", {2022, 10, 25, 10, 0, 0}},
        {"total solar eclipse, 12 August 2026", {2026, 8, 12, 17, 0, 0}},
        {"last hour of 2030", {2030, 12, 31, 23, 0, 0}},
    };
    Largest largest;
    for (const Row &row : rows) {
        SCOPED_TRACE(row.situation);
        compareAt(row.ut, largest);
    }
    report("13 dates 1990-2030", largest);
}

TEST(Ephemeris, SunAndMoonMonthlyFrom1990To2030)
{
    Largest largest;
    int hour = 0;
    for (int year = 1990; year <= 2030; ++year) {
        for (int month = 1; month <= 12; ++month) {
            hour = (hour + 7) % 24;
            compareAt({year, month, 1 + (year + month) % 28, hour, 0, 0}, largest);
        }
    }
    report("monthly 1990-2030", largest);
}

TEST(Ephemeris, SunriseAndSunsetWithinMinutesOfTheTrueTimes)
{
    // The one-pass method takes the Sun's place at the start of the hour and
    // scales its hour angle as a star's; that costs up to a few minutes.
    constexpr double kToleranceMinutes = 5;
    struct Row {
        const char *situation;
        Location location;
        CalendarMoment clock;
        double zone;  // the clock's offset that day, daylight saving included
    };
    const Row rows[] = {
        {"Moscow, 21 June 2024, computed at 12:00", {55, 45, 37, 37, 1, 3, 8}, {2024, 6, 21, 12, 0, 0}, 3},
        {"Sydney, 21 December 2024", {33, 52, 151, 13, 3, 10, 1}, {2024, 12, 21, 12, 0, 0}, 11},
        {"New York, 15 March 2024", {40, 43, 74, 0, 0, -5, 14}, {2024, 3, 15, 12, 0, 0}, -4},
        {"Quito, 1 March 2024", {0, 13, 78, 31, 2, -5, 0}, {2024, 3, 1, 12, 0, 0}, -5},
        {"Delhi, 1 March 2024", {28, 37, 77, 13, 1, 5.5, 0}, {2024, 3, 1, 12, 0, 0}, 5.5},
        {"Santiago de Chile, 15 January 2025", {33, 27, 70, 40, 2, -4, 3}, {2025, 1, 15, 12, 0, 0}, -3},
        {"Akureyri, 21 June 2024, sunset after midnight", {65, 41, 18, 5, 0, 0, 0}, {2024, 6, 21, 12, 0, 0}, 0},
        {"Cape Town, 1 September 2024 at 07:00", {33, 55, 18, 25, 3, 2, 0}, {2024, 9, 1, 7, 0, 0}, 2},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.situation);
        const DayTimes day = UpdateSunTimes(row.location, row.clock);
        ASSERT_FALSE(day.neverRises() || day.neverSets());

        ln_lnlat_posn observer{(isWest(row.location) ? -1 : 1) * longitudeDegrees(row.location),
                               (isSouth(row.location) ? -1 : 1) * latitudeDegrees(row.location)};
        // Local midnight of the date, as a Julian date.
        const double midnight = julianDayNumber(row.clock.year, row.clock.month, row.clock.day) - 0.5
            - row.zone / 24.0;
        ln_rst_time rst;
        ASSERT_EQ(ln_get_solar_rst(midnight, &observer, &rst), 0);
        const double trueRise = (rst.rise - midnight) * 24;
        const double trueSet = (rst.set - midnight) * 24;
        EXPECT_LE(std::fabs(std::remainder(day.rise - trueRise, 24.0)) * 60, kToleranceMinutes)
            << "sunrise " << day.rise << " h, libnova " << trueRise << " h";
        EXPECT_LE(std::fabs(std::remainder(day.set - trueSet, 24.0)) * 60, kToleranceMinutes)
            << "sunset " << day.set << " h, libnova " << trueSet << " h";
    }
}

}  // namespace
