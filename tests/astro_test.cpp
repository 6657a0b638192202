// Astronomy, daylight saving and calendar labels as the main window shows
// them: day counts, sidereal time and coordinates against published values,
// sunrise, sunset and moon times for real places and dates, the Earth and
// moon pictures, the daylight-saving rules against the machine's time-zone
// database, and the week and day numbers.
#include "CalendarFields.h"
#include "CalendarMoment.h"
#include "DaylightSaving.h"
#include "FundamentalAngles.h"
#include "Location.h"
#include "Moon.h"
#include "RiseSet.h"
#include "SkyCoordinates.h"
#include "Sun.h"
#include "TimeLabels.h"

#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <QTimeZone>
#include <cmath>
#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace nimbrel::astro;

namespace {

std::string text(const QString &s)
{
    return s.toStdString();
}

std::string show(const CalendarMoment &m)
{
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d", m.year, m.month, m.day, m.hour, m.minute,
                  m.second);
    return buffer;
}

double hms(int h, int m, double s)
{
    return h + m / 60.0 + s / 3600.0;
}

// Cities as the station or the city table give them.
const Location kMoscow{55, 45, 37, 37, 1, 3, 8};
const Location kAkureyri{65, 41, 18, 5, 0, 0, 0};
const Location kMurmansk{68, 58, 33, 5, 1, 3, 8};
const Location kSydney{33, 52, 151, 13, 3, 10, 1};
const Location kNewYork{40, 43, 74, 0, 0, -5, 14};
const Location kQuito{0, 13, 78, 31, 2, -5, 0};
const Location kDelhi{28, 37, 77, 13, 1, 5.5, 0};
const Location kSantiago{33, 27, 70, 40, 2, -4, 3};
const Location kNorthPole{90, 0, 0, 0, 1, 0, 0};
const Location kSouthPole{90, 0, 0, 0, 3, 0, 0};
const Location kLosAngeles{34, 3, 118, 15, 0, -8, 14};
const Location kBerlin{52, 31, 13, 24, 1, 1, 4};
const Location kLondon{51, 30, 0, 7, 0, 0, 4};
const Location kTokyo{35, 41, 139, 41, 1, 9, 0};
const Location kAuckland{36, 51, 174, 46, 3, 12, 15};

// ---------------------------------------------------------------------------
// Day count and the sky's clock

TEST(DayCount, CalendarFieldsToDaysSinceJ2000)
{
    struct Row {
        const char *situation;
        CalendarMoment moment;
        double days;
    };
    const Row rows[] = {
        {"J2000.0 itself, 1 January 2000 12:00:00", {2000, 1, 1, 12, 0, 0}, 0.0},
        {"midnight that starts 1 January 2000", {2000, 1, 1, 0, 0, 0}, -0.5},
        {"last second of 1999", {1999, 12, 31, 23, 59, 59}, -0.5 - 1.0 / 86400},
        {"Unix epoch, 1 January 1970", {1970, 1, 1, 0, 0, 0}, 2440588 - 2451545 - 0.5},
        {"New Year 2024 (JD 2460310.5)", {2024, 1, 1, 0, 0, 0}, 8765.5},
        {"leap day 29 February 2024, 18:30:45", {2024, 2, 29, 18, 30, 45}, 8824.5 + (18 * 3600 + 30 * 60 + 45) / 86400.0},
        {"1 March 2100 after a century without leap day (JD 2488128.5)", {2100, 3, 1, 0, 0, 0}, 2488128.5 - 2451545},
        {"Sputnik 1, 4 October 1957 19:28:34 (JD 2436116.31)", {1957, 10, 4, 19, 28, 34}, 2436116.3115046 - 2451545},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.situation);
        EXPECT_NEAR(DaysSinceJ2000(row.moment), row.days, 1e-6);
    }
}

TEST(DayCount, JulianAndGregorianDayNumbers)
{
    struct Row {
        const char *situation;
        int year, month, day;
        long long number;
    };
    const Row rows[] = {
        {"Unix epoch", 1970, 1, 1, 2440588},
        {"J2000 day", 2000, 1, 1, 2451545},
        {"last day of the Julian calendar, 4 October 1582", 1582, 10, 4, 2299160},
        {"second Gregorian day, 16 October 1582", 1582, 10, 16, 2299162},
        {"Meeus' example 7.a, 4 October 1957", 1957, 10, 4, 2436116},
        {"Julian calendar, 27 January 333 (Meeus' example 7.b)", 333, 1, 27, 1842713},
        {"leap day of 2000, a century divisible by 400", 2000, 2, 29, 2451604},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.situation);
        EXPECT_EQ(julianDayNumber(row.year, row.month, row.day), row.number);
    }
}

TEST(SiderealTime, GreenwichMeanSiderealTimeAgainstTheAlmanac)
{
    struct Row {
        const char *situation;
        CalendarMoment ut;
        double hours;
    };
    const Row rows[] = {
        {"2000 January 1, 0h UT (6h39m52.2707s)", {2000, 1, 1, 0, 0, 0}, hms(6, 39, 52.2707)},
        {"1987 April 10, 0h UT (Meeus 12.a, 13h10m46.3668s)", {1987, 4, 10, 0, 0, 0}, hms(13, 10, 46.3668)},
        {"1987 April 10, 19:21 UT (Meeus 12.b, 8h34m57.0896s)", {1987, 4, 10, 19, 21, 0}, hms(8, 34, 57.0896)},
        // Counted on from the day's 0h (the 19:21 row above counts back from the next one).
        {"1987 April 10, 6:00 UT", {1987, 4, 10, 6, 0, 0}, hms(13, 10, 46.3668) + 6 * 1.0027379093},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.situation);
        EXPECT_NEAR(SiderealTime(DaysSinceJ2000(row.ut)), row.hours, 0.01 / 3600);
    }
}

TEST(SkyCoordinates, EclipticToEquatorial)
{
    struct Row {
        const char *situation;
        double lambda, beta, epsilon;
        double alpha, delta;
    };
    const Row rows[] = {
        {"Pollux (Meeus example 13.a)", 113.215630, 6.684170, 23.4392911, 116.328942, 28.026183},
        {"March equinox point", 0.0, 0.0, 23.44, 0.0, 0.0},
        {"June solstice point", 90.0, 0.0, 23.44, 90.0, 23.44},
        // A southern declination comes back as 360 - δ; only its sine and
        // cosine are used later.
        {"December solstice point", 270.0, 0.0, 23.44, 270.0, 360.0 - 23.44},
        {"south ecliptic pole, at 6h right ascension", 0.0, -90.0, 23.44, 90.0, 360.0 - 66.56},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.situation);
        const EquatorialPosition eq = EclipticToEquatorial(row.lambda, row.beta, row.epsilon);
        EXPECT_GE(eq.rightAscensionDeg, 0.0);
        EXPECT_LE(eq.rightAscensionDeg, 360.0);
        EXPECT_GE(eq.declinationDeg, 0.0);
        EXPECT_LE(eq.declinationDeg, 360.0);
        // 0 and 360 are the same angle.
        EXPECT_NEAR(std::remainder(eq.rightAscensionDeg - row.alpha, 360.0), 0.0, 2e-6);
        EXPECT_NEAR(std::remainder(eq.declinationDeg - row.delta, 360.0), 0.0, 2e-6);
    }
}

TEST(FundamentalAngles, ReducedIntoOneTurnFarFromJ2000)
{
    double (*const angles[])(double) = {
        ObliquityOfEcliptic,       MoonMeanAnomaly,          SunMeanAnomaly,          VenusMeanLongitude,
        VenusPerihelionLongitude,  MarsMeanLongitude,        MarsPerihelionLongitude, JupiterMeanLongitude,
        JupiterPerihelionLongitude, SaturnMeanLongitude,     SaturnPerihelionLongitude, MoonArgumentOfLatitude,
        MoonMeanElongation,        SunMeanLongitude,         MoonNodeLongitude,       MoonMeanLongitude,
    };
    for (double d : {-36525.0, -10957.5, -0.5, 0.0, 8765.5, 36525.0}) {
        for (std::size_t i = 0; i < std::size(angles); ++i) {
            SCOPED_TRACE("angle " + std::to_string(i) + " at d = " + std::to_string(d));
            const double a = angles[i](d);
            EXPECT_GE(a, 0.0);
            EXPECT_LT(a, 360.0);
        }
    }
    // The obliquity at J2000.0 is 23°26′21.448″ (IAU 1976).
    EXPECT_NEAR(ObliquityOfEcliptic(0), 23.0 + 26.0 / 60 + 21.448 / 3600, 1e-9);
}

// ---------------------------------------------------------------------------
// Sun and Moon positions against published instants (the independent
// ephemeris comparison is astro_ephemeris_test)

TEST(SunPosition, SolsticesAndEquinoxesOf2024)
{
    // USNO instants (UT). The apparent longitude is then a multiple of 90°;
    // the program's geometric longitude lies 20.5″ of aberration and up to
    // 17″ of nutation away from it. 60″ is 24 minutes of the Sun's motion.
    struct Row {
        const char *situation;
        CalendarMoment ut;
        double longitude;
    };
    const Row rows[] = {
        {"March equinox, 20 March 2024 03:06 UT", {2024, 3, 20, 3, 6, 0}, 0.0},
        {"June solstice, 20 June 2024 20:51 UT", {2024, 6, 20, 20, 51, 0}, 90.0},
        {"September equinox, 22 September 2024 12:44 UT", {2024, 9, 22, 12, 44, 0}, 180.0},
        {"December solstice, 21 December 2024 09:20 UT", {2024, 12, 21, 9, 20, 0}, 270.0},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.situation);
        const double lambda = SunLongitude(DaysSinceJ2000(row.ut));
        const double off = std::remainder(lambda - row.longitude, 360.0) * 3600;
        EXPECT_NEAR(off, 0.0, 60.0) << "λ = " << lambda;
    }
}

TEST(SunPosition, DistanceAtPerihelionAndAphelion)
{
    struct Row {
        const char *situation;
        CalendarMoment ut;
        double au;
    };
    const Row rows[] = {
        {"perihelion, 3 January 2024 01:00 UT (0.983307 au)", {2024, 1, 3, 1, 0, 0}, 0.983307},
        {"aphelion, 5 July 2024 05:00 UT (1.016725 au)", {2024, 7, 5, 5, 0, 0}, 1.016725},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.situation);
        EXPECT_NEAR(SunDistance(DaysSinceJ2000(row.ut)), row.au, 2e-5);
    }
}

TEST(MoonPosition, LatitudeKeepsItsSignAndParallaxItsRange)
{
    // Over one draconic month the latitude swings to about -5.3° and
    // +5.3°; a southern latitude must stay negative (-5, not 355).
    double lowest = 0, highest = 0;
    for (int hour = 0; hour < 28 * 24; hour += 3) {
        const double d = DaysSinceJ2000({2024, 1, 1, 0, 0, 0}) + hour / 24.0;
        const double beta = MoonLatitude(d);
        lowest = std::min(lowest, beta);
        highest = std::max(highest, beta);
        const double parallax = MoonParallax(d);
        EXPECT_GT(parallax, 0.89) << "d = " << d;
        EXPECT_LT(parallax, 1.02) << "d = " << d;
    }
    EXPECT_LT(lowest, -5.0);
    EXPECT_GT(lowest, -5.4);
    EXPECT_GT(highest, 5.0);
    EXPECT_LT(highest, 5.4);
}

// ---------------------------------------------------------------------------
// Sunrise, sunset and day length

struct SunRow {
    const char *situation;
    Location location;
    CalendarMoment clock;
    const char *sunrise, *sunset, *dayLength;
};

// The Sun followed through the local date: the labels are the true times
// truncated to the minute (astro_ephemeris_test checks a year of them
// against libnova; Moscow's 3:44 and 21:18 are the published times).
const SunRow kSunRows[] = {
    // The hour the labels are computed at does not matter.
    {"Moscow, 21 June 2024, computed at 12:00", kMoscow, {2024, 6, 21, 12, 0, 0}, "3:44", "21:18", "17:34"},
    {"Moscow, 21 June 2024, computed at 00:00", kMoscow, {2024, 6, 21, 0, 0, 0}, "3:44", "21:18", "17:34"},
    {"Sydney in summer time, 21 December 2024", kSydney, {2024, 12, 21, 12, 0, 0}, "5:40", "20:05", "14:25"},
    {"New York, 15 March 2024, clocks on summer time", kNewYork, {2024, 3, 15, 12, 0, 0}, "7:06", "19:03", "11:57"},
    {"Quito on the equator, 1 March 2024", kQuito, {2024, 3, 1, 12, 0, 0}, "6:22", "18:29", "12:07"},
    {"Delhi, half-hour zone, 1 March 2024", kDelhi, {2024, 3, 1, 12, 0, 0}, "6:45", "18:21", "11:36"},
    {"Santiago de Chile in summer time, 15 January 2025", kSantiago, {2025, 1, 15, 12, 0, 0}, "6:48", "20:55", "14:07"},
    // A zone over an hour ahead of the longitude in the far north: the Sun
    // sets after midnight and the day length still runs from rise to set.
    {"Akureyri, 21 June 2024: sunset after midnight", kAkureyri, {2024, 6, 21, 12, 0, 0}, "1:29", "0:58", "23:29"},
    {"Murmansk, 15 May 2010, Moscow summer time: sunset after midnight", kMurmansk, {2010, 5, 15, 12, 0, 0}, "3:11",
     "0:22", "21:11"},
    {"Murmansk, 21 June 2024: polar day", kMurmansk, {2024, 6, 21, 12, 0, 0}, "24:00", "24:00", "24:00"},
    {"Murmansk, 15 December 2024: polar night", kMurmansk, {2024, 12, 15, 12, 0, 0}, " ", " ", " "},
    {"North Pole, 21 June 2024: polar day", kNorthPole, {2024, 6, 21, 12, 0, 0}, "24:00", "24:00", "24:00"},
    {"North Pole, 21 December 2024: polar night", kNorthPole, {2024, 12, 21, 12, 0, 0}, " ", " ", " "},
    {"South Pole, 21 June 2024: polar night", kSouthPole, {2024, 6, 21, 12, 0, 0}, " ", " ", " "},
    {"South Pole, 21 December 2024: polar day", kSouthPole, {2024, 12, 21, 12, 0, 0}, "24:00", "24:00", "24:00"},
};

TEST(SunTimes, LabelsForRealPlacesAndDays)
{
    for (const SunRow &row : kSunRows) {
        SCOPED_TRACE(row.situation);
        const DayTimes day = UpdateSunTimes(row.location, row.clock);
        EXPECT_EQ(text(TimeLabelText(day.rise, day)), row.sunrise);
        EXPECT_EQ(text(TimeLabelText(day.set, day)), row.sunset);
        EXPECT_EQ(text(DayLengthText(day)), row.dayLength);
    }
}

TEST(SunTimes, MoscowSunriseIsWithinTwoMinutesOfTheTrueOne)
{
    // 3:45 MSK is the true sunrise; a 3.9-minute slip from scaling a
    // negative sidereal interval would show here.
    const DayTimes day = UpdateSunTimes(kMoscow, {2024, 6, 21, 12, 0, 0});
    EXPECT_NEAR(day.rise, hms(3, 45, 0), 2.0 / 60);
}

TEST(SunTimes, StatusOfADay)
{
    struct Row {
        const char *situation;
        CalendarMoment ut;
        double latitude;
        bool south;
        RiseSetStatus status;
    };
    const Row rows[] = {
        {"equator at the June solstice", {2024, 6, 21, 12, 0, 0}, 0, false, RiseSetStatus::Crosses},
        {"70°N at the June solstice", {2024, 6, 21, 12, 0, 0}, 70, false, RiseSetStatus::AlwaysAbove},
        {"70°N at the December solstice", {2024, 12, 21, 12, 0, 0}, 70, false, RiseSetStatus::AlwaysBelow},
        {"70°S at the June solstice", {2024, 6, 21, 12, 0, 0}, 70, true, RiseSetStatus::AlwaysBelow},
        {"90°N exactly in June", {2024, 6, 21, 12, 0, 0}, 90, false, RiseSetStatus::AlwaysAbove},
        {"90°S exactly in June", {2024, 6, 21, 12, 0, 0}, 90, true, RiseSetStatus::AlwaysBelow},
        // Latitudes are not range-checked: an editor value past the pole
        // reads as 80°N on the opposite meridian.
        {"100°N (an editor value past the pole) in June", {2024, 6, 21, 12, 0, 0}, 100, false, RiseSetStatus::AlwaysAbove},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.situation);
        const RiseSet r = SunRiseSet(row.ut, 0, row.latitude, 0, row.south, false);
        EXPECT_EQ(r.status, row.status);
        if (r.valid()) {
            EXPECT_GE(r.rise, 0.0);
            EXPECT_LT(r.rise, 24.0);
            EXPECT_GE(r.set, 0.0);
            EXPECT_LT(r.set, 24.0);
        }
    }
}

TEST(SunTimes, EveryHourOfADayGivesTimesWithinTheDay)
{
    // Wrapping around midnight at any hour and zone, including the hours
    // where the sidereal interval wraps.
    for (double zone : {-12.0, -5.0, 0.0, 5.5, 14.0}) {
        for (int hour = 0; hour < 24; ++hour) {
            const CalendarMoment clock{2024, 3, 10, hour, 30, 0};
            SCOPED_TRACE(show(clock) + " zone " + std::to_string(zone));
            const RiseSet r = SunRiseSet(clock, zone, 48.0, 2.0, false, false);
            ASSERT_TRUE(r.valid());
            EXPECT_GE(r.rise, 0.0);
            EXPECT_LT(r.rise, 24.0);
            EXPECT_GE(r.set, 0.0);
            EXPECT_LT(r.set, 24.0);
            // Rise and set stay about 11.6 h apart in early March at 48°N.
            EXPECT_NEAR(std::fmod(r.set - r.rise + 24.0, 24.0), 11.6, 0.15);
        }
    }
}

// ---------------------------------------------------------------------------
// Moon times and phase

TEST(MoonTimes, LabelsForRealPlacesAndDays)
{
    struct Row {
        const char *situation;
        Location location;
        CalendarMoment clock;
        const char *moonrise, *moonset;
    };
    const Row rows[] = {
        {"Moscow, 21 June 2024, full moon rising in the evening", kMoscow, {2024, 6, 21, 12, 0, 0}, "21:46", "2:12"},
        {"Sydney, 21 December 2024, waning moon", kSydney, {2024, 12, 21, 12, 0, 0}, "0:20", "11:10"},
        {"New York, 15 March 2024, waxing crescent", kNewYork, {2024, 3, 15, 12, 0, 0}, "9:59", "0:43"},
        // Near the 2024 major lunar standstill the full moon of June stays
        // below the Arctic horizon and the December one above it.
        {"Murmansk, 21 June 2024: the Moon never rises", kMurmansk, {2024, 6, 21, 12, 0, 0}, " ", " т"},
        {"Murmansk, 15 December 2024: the Moon never sets", kMurmansk, {2024, 12, 15, 12, 0, 0}, "24:00", "24:00"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.situation);
        const DayTimes day = UpdateMoonTimes(row.location, row.clock);
        EXPECT_EQ(text(TimeLabelText(day.rise, day)), row.moonrise);
        EXPECT_EQ(text(TimeLabelText(day.set, day, kMoonSetBlank)), row.moonset);
    }
}

TEST(RiseSetTimes, EveryHourOfADateShowsTheSameTimes)
{
    // Daylight-saving changeover days included: the clocks change at night,
    // and the hours before the change must not show times an hour off.
    struct Row {
        const char *situation;
        Location location;
        QDate date;
    };
    const Row rows[] = {
        {"New York, clocks go forward 10 March 2024", kNewYork, {2024, 3, 10}},
        {"Sydney, clocks go back 7 April 2024", kSydney, {2024, 4, 7}},
        {"Berlin, clocks go back 27 October 2024", kBerlin, {2024, 10, 27}},
        {"Akureyri, sunset after midnight, 21 June 2024", kAkureyri, {2024, 6, 21}},
        {"Murmansk, first day of polar day 2024", kMurmansk, {2024, 5, 22}},
        {"Delhi, half-hour zone, 2 January 2024", kDelhi, {2024, 1, 2}},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.situation);
        const CalendarMoment first{row.date.year(), row.date.month(), row.date.day(), 0, 0, 0};
        const DayTimes sun = UpdateSunTimes(row.location, first);
        const DayTimes moon = UpdateMoonTimes(row.location, first);
        for (int hour = 1; hour < 24; ++hour) {
            const CalendarMoment clock{first.year, first.month, first.day, hour, 59, 59};
            SCOPED_TRACE(show(clock));
            const DayTimes sunAt = UpdateSunTimes(row.location, clock);
            const DayTimes moonAt = UpdateMoonTimes(row.location, clock);
            EXPECT_EQ(sunAt.rise, sun.rise);
            EXPECT_EQ(sunAt.set, sun.set);
            EXPECT_EQ(moonAt.rise, moon.rise);
            EXPECT_EQ(moonAt.set, moon.set);
        }
    }
}

TEST(MoonTimes, ADateWithoutMoonriseOrMoonsetShowsTheNextOneAfterMidnight)
{
    // The Moon rises and sets about 50 minutes later each day, so about once
    // a month a date has no moonrise (and another no moonset). Such a date
    // shows the next date's early-morning event, the same instant.
    constexpr double kSecond = 1.0 / 3600;
    for (const Location &place : {kNewYork, kSydney, kMoscow}) {
        int datesWithoutRise = 0, datesWithoutSet = 0;
        QDate date(2024, 1, 1);
        DayTimes today = UpdateMoonTimes(place, {2024, 1, 1, 12, 0, 0});
        for (; date < QDate(2024, 3, 1); date = date.addDays(1)) {
            const QDate next = date.addDays(1);
            const DayTimes tomorrow = UpdateMoonTimes(place, {next.year(), next.month(), next.day(), 12, 0, 0});
            SCOPED_TRACE(date.toString(Qt::ISODate).toStdString());
            ASSERT_FALSE(today.neverRises() || today.neverSets());
            if (std::fabs(today.rise - tomorrow.rise) < kSecond) {
                ++datesWithoutRise;
                EXPECT_LT(today.rise, 2.0);  // daily delay up to about 1.5 h at 55°
            }
            if (std::fabs(today.set - tomorrow.set) < kSecond) {
                ++datesWithoutSet;
                EXPECT_LT(today.set, 2.0);
            }
            today = tomorrow;
        }
        // 60 dates hold two lunar days' worth of skips: two of each.
        EXPECT_EQ(datesWithoutRise, 2);
        EXPECT_EQ(datesWithoutSet, 2);
    }
}

TEST(MoonPhase, PicturesAtThePhasesOfJanuary2024)
{
    // Published instants (UT), computed at the start of the hour before on
    // a clock that reads UT. Picture k is drawn for (k - 1) × 10°.
    struct Row {
        const char *situation;
        CalendarMoment clock;
        int picture;
    };
    const Row rows[] = {
        {"new moon, 11 January 2024 11:57 UT, computed at 11:00", {2024, 1, 11, 11, 0, 0}, 1},
        {"first quarter, 18 January 2024 03:53 UT, computed at 03:00", {2024, 1, 18, 3, 0, 0}, 10},
        {"full moon, 25 January 2024 17:54 UT, computed at 17:00", {2024, 1, 25, 17, 0, 0}, 19},
        {"last quarter, 2 February 2024 23:18 UT, computed at 23:00", {2024, 2, 2, 23, 0, 0}, 28},
        // Minutes and seconds do not matter: the angle is taken at the hour.
        {"full moon, computed at 17:59:59", {2024, 1, 25, 17, 59, 59}, 19},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.situation);
        EXPECT_EQ(MoonPictureIndex(MoonPhaseAngle(row.clock)), row.picture) << "e = " << MoonPhaseAngle(row.clock);
    }
}

TEST(MoonPhase, PictureOfAnElongation)
{
    struct Row {
        const char *situation;
        double elongation;
        int picture;
    };
    const Row rows[] = {
        {"new moon", 0, 1},
        {"5° after new moon", 5, 1},
        {"5° before new moon, as a negative angle", -5, 1},
        {"15° before new moon, as a negative angle", -15, 35},
        {"5° before new moon, as a positive angle", 355, 35},
        {"full moon", 180, 19},
        {"full moon as a negative angle", -180, 19},
        {"first quarter", 90, 10},
        {"last quarter", 270, 28},
        {"last quarter as a negative angle", -90, 28},
        // The same phase either side of 360: both pictures are dark.
        {"a tenth of a degree before new moon, positive", 359.9, 35},
        {"a tenth of a degree before new moon, negative", -0.1, 1},
        {"9.9° either side of new moon truncates to the same picture", -9.9, 1},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.situation);
        EXPECT_EQ(MoonPictureIndex(row.elongation), row.picture);
    }
}

// ---------------------------------------------------------------------------
// Earth picture

TEST(EarthPicture, IndexFollowsTheHoursSinceGreenwichEquatorialSunrise)
{
    struct Row {
        const char *situation;
        Location location;
        CalendarMoment clock;
        CalendarMoment recordTime;
        int picture;
    };
    const Row rows[] = {
        // 07:00 UT, one hour after the equatorial sunrise at Greenwich. The
        // hour count past 23 wraps to the start of the day.
        {"Los Angeles, 15 January 2024 at 23:00", kLosAngeles, {2024, 1, 15, 23, 0, 0}, {2024, 1, 15, 23, 0, 0}, 0},
        {"London, 15 January 2024 at 12:00", kLondon, {2024, 1, 15, 12, 0, 0}, {2024, 1, 15, 12, 0, 0}, 3},
        // European summer time at the reading and the same rule at the
        // location: the hour goes back twice (15:00 CEST is 13:00 UT, seven
        // hours after the equatorial sunrise).
        {"Berlin, 21 June 2024 at 15:00, European rule twice", kBerlin, {2024, 6, 21, 15, 0, 0},
         {2024, 6, 21, 15, 0, 0}, 3},
        {"Berlin, 21 June 2024 at 15:00, no reading yet", kBerlin, {2024, 6, 21, 15, 0, 0}, {0, 0, 0, 0, 0, 0}, 4},
        {"Tokyo, 15 January 2024 at 09:00 (midnight UT)", kTokyo, {2024, 1, 15, 9, 0, 0}, {2024, 1, 15, 9, 0, 0}, 9},
        {"Delhi, half-hour zone, 15 January 2024 at 12:00", kDelhi, {2024, 1, 15, 12, 0, 0}, {2024, 1, 15, 12, 0, 0}, 0},
        {"Auckland in summer time, 15 January 2024 at 08:00", kAuckland, {2024, 1, 15, 8, 0, 0},
         {2024, 1, 15, 8, 0, 0}, 6},
        // The European rule's hour back crosses midnight into 30 June (23:00,
        // equatorial sunrise hour 6, zone 1, the location's rule: 15 hours).
        {"Berlin, 1 July 2024 at 00:30, hour taken back over midnight", kBerlin, {2024, 7, 1, 0, 30, 0},
         {2024, 7, 1, 0, 30, 0}, 7},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.situation);
        EXPECT_EQ(EarthPictureIndex(row.location, row.clock, row.recordTime), row.picture);
    }
}

TEST(EarthPicture, AlwaysOneOfTwelve)
{
    for (double zone : {-12.0, -9.5, -3.0, 0.0, 5.75, 13.0, 14.0}) {
        for (int hour = 0; hour < 24; ++hour) {
            const Location place{10, 0, 10, 0, 1, zone, 15};
            const CalendarMoment clock{2024, 1, 15, hour, 0, 0};
            SCOPED_TRACE(show(clock) + " zone " + std::to_string(zone));
            const int index = EarthPictureIndex(place, clock, clock);
            EXPECT_GE(index, 0);
            EXPECT_LT(index, kEarthPictureCount);
        }
    }
}

// ---------------------------------------------------------------------------
// Label texts

TEST(TimeLabels, ClockTextsTruncateMinutes)
{
    struct Row {
        const char *situation;
        double hours;
        const char *text;
    };
    const Row rows[] = {
        {"half past six", 6.5, "6:30"},
        {"a moment before 19:00 stays at 18:59", 18.999, "18:59"},
        {"a moment before 7:00 stays at 6:59", 6.9999, "6:59"},
        {"polar day marker", 24, "24:00"},
        {"single-digit minutes get a leading zero", 9.05, "9:03"},
        {"midnight", 0, "0:00"},
        {"sunset after midnight", 0.8, "0:48"},
        {"last minute of the day", 23.99, "23:59"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.situation);
        EXPECT_EQ(text(ClockText(row.hours)), row.text);
    }
}

TEST(TimeLabels, RiseSetAndDayLengthTexts)
{
    struct Row {
        const char *situation;
        DayTimes day;
        const char *rise, *set, *moonSet, *length;
    };
    const Row rows[] = {
        {"ordinary day", {6.5, 18.25}, "6:30", "18:15", "18:15", "11:45"},
        {"sunset after midnight", {2.8125, 0.8125}, "2:48", "0:48", "0:48", "22:00"},
        // The day length comes from the labels' truncated minutes.
        {"truncated minutes on both ends", {6.9999, 18.999}, "6:59", "18:59", "18:59", "12:00"},
        {"polar night", {0, 0}, " ", " ", " т", " "},
        {"polar day", {24, 24}, "24:00", "24:00", "24:00", "24:00"},
        {"rise exactly at midnight is a time, not a blank", {0, 12.5}, "0:00", "12:30", "12:30", "12:30"},
        {"rise and set in the same minute", {5.01, 5.02}, "5:00", "5:01", "5:01", "0:01"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.situation);
        EXPECT_EQ(text(TimeLabelText(row.day.rise, row.day)), row.rise);
        EXPECT_EQ(text(TimeLabelText(row.day.set, row.day)), row.set);
        EXPECT_EQ(text(TimeLabelText(row.day.set, row.day, kMoonSetBlank)), row.moonSet);
        EXPECT_EQ(text(DayLengthText(row.day)), row.length);
    }
}

// ---------------------------------------------------------------------------
// Daylight-saving rules

struct DstRow {
    const char *situation;
    int code;
    CalendarMoment clock;
    bool inForce;
};

TEST(DaylightSaving, OriginalDatesBeforeEachRegionChanged)
{
    const DstRow rows[] = {
        {"European rule, 27 March 2005 01:59:59", 4, {2005, 3, 27, 1, 59, 59}, false},
        {"European rule, 27 March 2005 02:00:00 starts", 4, {2005, 3, 27, 2, 0, 0}, true},
        {"European rule, 30 October 2005 03:00:00 still in force", 4, {2005, 10, 30, 3, 0, 0}, true},
        {"European rule, 30 October 2005 03:00:01 ended", 4, {2005, 10, 30, 3, 0, 1}, false},
        {"South Brazil 2006, 1 October a Sunday: not yet on 14 October", 2, {2006, 10, 14, 23, 59, 59}, false},
        {"South Brazil 2006, 1 October a Sunday: starts 15 October", 2, {2006, 10, 15, 0, 0, 0}, true},
        {"South Brazil 2006, the third Sunday of February ends it", 2, {2006, 2, 19, 0, 0, 1}, false},
        {"United States 2001, 1 April a Sunday: 01:59:59", 14, {2001, 4, 1, 1, 59, 59}, false},
        {"United States 2001, 1 April a Sunday: starts 02:00", 14, {2001, 4, 1, 2, 0, 0}, true},
        {"United States 2006, last Sunday of October 02:00", 14, {2006, 10, 29, 2, 0, 0}, true},
        {"United States 2006, after the last Sunday of October", 14, {2006, 10, 29, 2, 0, 1}, false},
        {"Egypt 2009, 30 April a Thursday: 29 April", 5, {2009, 4, 29, 23, 59, 59}, false},
        {"Egypt 2009, 30 April a Thursday: starts 30 April 00:00", 5, {2009, 4, 30, 0, 0, 0}, true},
        {"Iran 2010, 21 March 00:00:00 exactly", 12, {2010, 3, 21, 0, 0, 0}, true},
        {"Iran 2010, 20 March 23:59:59", 12, {2010, 3, 20, 23, 59, 59}, false},
        {"Australia 2005, 10 January (before the March end)", 1, {2005, 1, 10, 12, 0, 0}, true},
        {"Australia 2005, 10 June", 1, {2005, 6, 10, 12, 0, 0}, false},
        {"Australia 2005, last Sunday of October 02:00", 1, {2005, 10, 30, 2, 0, 0}, true},
        {"Moscow 2010, summer", 8, {2010, 7, 1, 12, 0, 0}, true},
        {"Moscow 2010, last Sunday of October 03:00:01", 8, {2010, 10, 31, 3, 0, 1}, false},
        {"Iraq 2022, 1 April 03:00", 7, {2022, 4, 1, 3, 0, 0}, true},
        {"Havana 2012, first Sunday of April", 6, {2012, 4, 1, 0, 0, 0}, true},
        {"Havana 2012, 31 March", 6, {2012, 3, 31, 23, 59, 59}, false},
        {"Paraguay 2009, 10 October (third Sunday is the 18th)", 11, {2009, 10, 10, 12, 0, 0}, false},
        {"Montevideo 2014, third Sunday of September", 9, {2014, 9, 21, 0, 0, 0}, true},
        {"Namibia 2016, first Sunday of September 02:00", 10, {2016, 9, 4, 2, 0, 0}, true},
        {"New Zealand 2007, third Sunday of March 03:00", 15, {2007, 3, 18, 3, 0, 0}, true},
        {"New Zealand 2007, 1 April", 15, {2007, 4, 1, 12, 0, 0}, false},
        {"Chile 2018, second Sunday of October", 3, {2018, 10, 14, 0, 0, 0}, true},
        {"Egypt 2010, last Thursday of September", 5, {2010, 9, 30, 0, 0, 0}, true},
    };
    for (const DstRow &row : rows) {
        SCOPED_TRACE(row.situation);
        EXPECT_EQ(IsDaylightSavingActive(row.code, row.clock), row.inForce);
    }
}

TEST(DaylightSaving, CurrentLawFromTheYearOfEachChange)
{
    const DstRow rows[] = {
        {"New York, 15 March 2024: clocks already on summer time", 14, {2024, 3, 15, 12, 0, 0}, true},
        {"New York, 10 March 2024 02:00, second Sunday of March", 14, {2024, 3, 10, 2, 0, 0}, true},
        {"New York, 3 November 2024 02:00:01, after the first Sunday", 14, {2024, 11, 3, 2, 0, 1}, false},
        {"New York, 20 March 2007: the new law's first year", 14, {2007, 3, 20, 12, 0, 0}, true},
        {"Moscow, 21 June 2024: no summer time since 2011", 8, {2024, 6, 21, 12, 0, 0}, false},
        {"Sydney, 6 October 2024 02:00, first Sunday of October", 1, {2024, 10, 6, 2, 0, 0}, true},
        {"Sydney, 7 April 2024 03:00:01, after the first Sunday of April", 1, {2024, 4, 7, 3, 0, 1}, false},
        {"Sydney 2008, 1 April: the old end date has passed, the new one not", 1, {2008, 4, 1, 12, 0, 0}, true},
        {"Brazil, 17 February 2019: the summer begun in 2018 ends", 2, {2019, 2, 17, 0, 0, 0}, true},
        {"Brazil, 17 February 2019 00:00:01", 2, {2019, 2, 17, 0, 0, 1}, false},
        {"Brazil, November 2019: no new summer", 2, {2019, 11, 15, 12, 0, 0}, false},
        {"Brazil, January 2020", 2, {2020, 1, 15, 12, 0, 0}, false},
        {"Santiago, 7 September 2024 23:59:59", 3, {2024, 9, 7, 23, 59, 59}, false},
        {"Santiago, first Saturday of September 2024 at 24:00", 3, {2024, 9, 8, 0, 0, 0}, true},
        {"Santiago, 6 April 2024 24:00 still in force", 3, {2024, 4, 7, 0, 0, 0}, true},
        {"Santiago, 7 April 2024 00:00:01", 3, {2024, 4, 7, 0, 0, 1}, false},
        {"Cairo 2015: no summer time", 5, {2015, 7, 1, 12, 0, 0}, false},
        {"Cairo, 26 April 2024, last Friday of April", 5, {2024, 4, 26, 0, 0, 0}, true},
        {"Cairo, 31 October 2024 (a Thursday) at 24:00", 5, {2024, 11, 1, 0, 0, 0}, true},
        {"Cairo, 1 November 2024 00:00:01", 5, {2024, 11, 1, 0, 0, 1}, false},
        {"Havana, 10 March 2024, second Sunday of March", 6, {2024, 3, 10, 0, 0, 0}, true},
        {"Havana, 3 November 2024 01:00:01", 6, {2024, 11, 3, 1, 0, 1}, false},
        {"Damascus, summer 2023", 7, {2023, 7, 1, 12, 0, 0}, false},
        {"Montevideo, January 2016", 9, {2016, 1, 15, 12, 0, 0}, false},
        {"Windhoek, January 2018", 10, {2018, 1, 15, 12, 0, 0}, false},
        {"Asunción, 3 October 2010, first Sunday of October", 11, {2010, 10, 3, 0, 0, 0}, true},
        {"Asunción, 24 March 2024, fourth Sunday of March", 11, {2024, 3, 24, 0, 0, 0}, true},
        {"Asunción, 24 March 2024 00:00:01", 11, {2024, 3, 24, 0, 0, 1}, false},
        {"Asunción, January 2025: none since", 11, {2025, 1, 15, 12, 0, 0}, false},
        {"Tehran, summer 2023", 12, {2023, 7, 1, 12, 0, 0}, false},
        {"Hobart, 1 April 2024: the end is now the first Sunday of April", 13, {2024, 4, 1, 12, 0, 0}, true},
        {"Hobart, 7 April 2024 03:00:01", 13, {2024, 4, 7, 3, 0, 1}, false},
        {"Hobart, 6 October 2024 02:00, first Sunday of October", 13, {2024, 10, 6, 2, 0, 0}, true},
        {"Auckland, 29 September 2024 02:00, last Sunday of September", 15, {2024, 9, 29, 2, 0, 0}, true},
        {"Auckland, 6 April 2025 03:00, first Sunday of April", 15, {2025, 4, 6, 3, 0, 0}, true},
        {"Auckland, 6 April 2025 03:00:01", 15, {2025, 4, 6, 3, 0, 1}, false},
    };
    for (const DstRow &row : rows) {
        SCOPED_TRACE(row.situation);
        EXPECT_EQ(IsDaylightSavingActive(row.code, row.clock), row.inForce);
    }
}

TEST(DaylightSaving, CodesWithoutARule)
{
    const DstRow rows[] = {
        {"code 0 in European summer", 0, {2024, 7, 1, 12, 0, 0}, false},
        {"code 16 in European summer", 16, {2024, 7, 1, 12, 0, 0}, false},
        {"code 65535", 65535, {2024, 7, 1, 12, 0, 0}, false},
        {"negative code", -4, {2024, 7, 1, 12, 0, 0}, false},
        {"European rule with no clock reading yet", 4, {0, 0, 0, 0, 0, 0}, false},
    };
    for (const DstRow &row : rows) {
        SCOPED_TRACE(row.situation);
        EXPECT_EQ(IsDaylightSavingActive(row.code, row.clock), row.inForce);
    }
}

TEST(DaylightSaving, RuleNames)
{
    const char *const names[] = {
        "",
        "Australian DST",
        "South Brazilian DST",
        "Chile DST",
        "Standart European DST",
        "Egypt DST",
        "Havana, Cuba DST",
        "Iraq, Syria DST",
        "Irkutsk, Moscow DST",
        "Montevideo, Uruguay DST",
        "Namibia DST",
        "Paraguay DST",
        "Iran DST",
        "Tasmania DST",
        "Syandard American DST",
        "New Zealand DST",
    };
    for (int code = 0; code <= 15; ++code) {
        SCOPED_TRACE("code " + std::to_string(code));
        ASSERT_TRUE(DaylightSavingRuleName(code).has_value());
        EXPECT_EQ(text(*DaylightSavingRuleName(code)), names[code]);
    }
    // Codes the rule table does not know leave the label as it was.
    EXPECT_FALSE(DaylightSavingRuleName(16).has_value());
    EXPECT_FALSE(DaylightSavingRuleName(-1).has_value());
}

TEST(DaylightSaving, AgreesWithTheTimeZoneDatabase2024To2026)
{
    struct Row {
        const char *situation;
        int code;
        const char *zone;
    };
    const Row rows[] = {
        {"Sydney", 1, "Australia/Sydney"},
        {"São Paulo", 2, "America/Sao_Paulo"},
        {"Santiago de Chile", 3, "America/Santiago"},
        {"Berlin", 4, "Europe/Berlin"},
        {"Cairo", 5, "Africa/Cairo"},
        {"Havana", 6, "America/Havana"},
        {"Baghdad", 7, "Asia/Baghdad"},
        {"Damascus", 7, "Asia/Damascus"},
        {"Moscow", 8, "Europe/Moscow"},
        {"Montevideo", 9, "America/Montevideo"},
        {"Windhoek", 10, "Africa/Windhoek"},
        {"Asunción", 11, "America/Asuncion"},
        {"Tehran", 12, "Asia/Tehran"},
        {"Hobart", 13, "Australia/Hobart"},
        {"New York", 14, "America/New_York"},
        {"Auckland", 15, "Pacific/Auckland"},
    };
    const QDateTime from(QDate(2024, 1, 1), QTime(0, 0), Qt::UTC);
    const QDateTime to(QDate(2027, 1, 1), QTime(0, 0), Qt::UTC);
    constexpr qint64 kBoundaryHourMs = 3600 * 1000;

    for (const Row &row : rows) {
        SCOPED_TRACE(std::string(row.situation) + " (" + row.zone + "), code " + std::to_string(row.code));
        const QTimeZone zone(row.zone);
        if (!zone.isValid()) {
            ADD_FAILURE() << "the machine's time-zone database has no " << row.zone;
            continue;
        }
        // Every three hours, and every ten minutes within six hours of each
        // transition.
        std::vector<qint64> transitions;
        std::vector<QDateTime> instants;
        for (QDateTime t = from; t < to; t = t.addSecs(3 * 3600))
            instants.push_back(t);
        for (const QTimeZone::OffsetData &tr : zone.transitions(from, to)) {
            transitions.push_back(tr.atUtc.toMSecsSinceEpoch());
            for (int minutes = -360; minutes <= 360; minutes += 10)
                instants.push_back(tr.atUtc.addSecs(minutes * 60));
        }
        int compared = 0;
        int mismatches = 0;
        for (const QDateTime &utc : instants) {
            const qint64 ms = utc.toMSecsSinceEpoch();
            bool nearTransition = false;
            for (qint64 tr : transitions)
                nearTransition = nearTransition || std::llabs(ms - tr) <= kBoundaryHourMs;
            // Around a change the local clock reads an hour twice or skips
            // one; the rule's local boundary cannot tell those readings apart.
            if (nearTransition)
                continue;
            const QDateTime local = utc.toTimeZone(zone);
            // A zone that moves its standard time within a year (Asunción made
            // its summer offset permanent on 15 October 2024) needs a new zone
            // setting, not a rule; compare only up to the move.
            const QDateTime yearStart(QDate(local.date().year(), 1, 1), QTime(12, 0), zone);
            if (zone.standardTimeOffset(utc) != zone.standardTimeOffset(yearStart))
                continue;
            ++compared;
            const bool expected = zone.isDaylightTime(utc);
            const bool actual = IsDaylightSavingActive(row.code, momentOf(local));
            if (actual != expected && ++mismatches <= 5) {
                ADD_FAILURE() << "local clock " << text(local.toString(Qt::ISODate)) << " (UTC "
                              << text(utc.toString(Qt::ISODate)) << "): rule says " << actual
                              << ", time-zone database says " << expected;
            }
        }
        EXPECT_EQ(mismatches, 0);
        EXPECT_GT(compared, 8000);
    }
}

// ---------------------------------------------------------------------------
// Calendar labels

TEST(CalendarFields, WeekAndDayNumbers)
{
    struct Row {
        const char *situation;
        QDate date;
        int week;
        const char *dayOfYear;
    };
    const Row rows[] = {
        {"31 December 2024, a leap year's last day in week 1 of 2025", QDate(2024, 12, 31), 1, "366/0"},
        {"1 January 2021, a Friday in week 53 of 2020", QDate(2021, 1, 1), 53, "1/364"},
        {"29 February 2024", QDate(2024, 2, 29), 9, "60/306"},
        {"1 January 2023, a Sunday in week 52 of 2022", QDate(2023, 1, 1), 52, "1/364"},
        {"1 January 2024, a Monday starting week 1", QDate(2024, 1, 1), 1, "1/365"},
        {"31 December 2026, a Thursday in week 53", QDate(2026, 12, 31), 53, "365/0"},
        {"4 January 2027 is always in week 1", QDate(2027, 1, 4), 1, "4/361"},
        {"31 December 2000, a leap century", QDate(2000, 12, 31), 52, "366/0"},
        {"31 December 2100, a century without leap day", QDate(2100, 12, 31), 52, "365/0"},
        {"1 March 2100", QDate(2100, 3, 1), 9, "60/305"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.situation);
        EXPECT_EQ(WeekNumber(row.date), row.week);
        EXPECT_EQ(text(DayOfYearText(row.date)), row.dayOfYear);
    }
}

TEST(CalendarFields, WeekdayNameStartsWithACapital)
{
    struct Row {
        const char *situation;
        const char *locale;
        QDate date;
        const char *text;
    };
    const Row rows[] = {
        {"Russian Friday, lower-case in the locale", "ru_RU", QDate(2024, 3, 22), "Пятница"},
        {"Russian Monday", "ru_RU", QDate(2024, 3, 18), "Понедельник"},
        {"French Sunday", "fr_FR", QDate(2024, 3, 24), "Dimanche"},
        {"Spanish Wednesday, accented", "es_ES", QDate(2024, 3, 20), "Miércoles"},
        {"Italian Friday", "it_IT", QDate(2024, 3, 22), "Venerdì"},
        {"English name already capitalised, unchanged", "en_US", QDate(2024, 3, 22), "Friday"},
        {"German name already capitalised, unchanged", "de_DE", QDate(2024, 3, 22), "Freitag"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.situation);
        EXPECT_EQ(text(WeekdayText(row.date, QLocale(QString::fromLatin1(row.locale)))), row.text);
    }
    EXPECT_EQ(text(WeekdayText(QDate(), QLocale::c())), "");
}

TEST(CalendarMoment, HourBackAcrossDayMonthAndYear)
{
    struct Row {
        const char *situation;
        CalendarMoment from, to;
    };
    const Row rows[] = {
        {"within a day", {2024, 6, 21, 14, 5, 6}, {2024, 6, 21, 13, 5, 6}},
        {"over midnight into a leap day", {2024, 3, 1, 0, 30, 0}, {2024, 2, 29, 23, 30, 0}},
        {"over New Year", {2025, 1, 1, 0, 0, 0}, {2024, 12, 31, 23, 0, 0}},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.situation);
        EXPECT_EQ(oneHourEarlier(row.from), row.to);
    }
}

}  // namespace
