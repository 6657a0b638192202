#include "DayEvents.h"

#include "Angles.h"
#include "DaylightSaving.h"
#include "SkyCoordinates.h"

#include <array>
#include <cmath>

namespace nimbrel::astro {

namespace {

// Altitude is sampled hourly over the date and the day after (for an event
// that falls after midnight).
constexpr int kSampledHours = 48;
// Root finding stops when the bracket is below a second of time.
constexpr double kToleranceHours = 1.0 / 3600.0 / 2.0;
constexpr int kMaxIterations = 60;

class DaySearch {
public:
    DaySearch(const CalendarMoment &date, double zone, double latitudeDeg, double longitudeDeg, PlaceAt place)
        : start_(DaysSinceJ2000(startOfDay(date)) - zone / 24.0),
          sinPhi_(std::sin(latitudeDeg * kRad)),
          // cos 90° is not exactly 0 in floating point; the pole is taken exactly.
          cosPhi_(std::fabs(latitudeDeg) == 90.0 ? 0.0 : std::cos(latitudeDeg * kRad)),
          longitudeDeg_(longitudeDeg),
          place_(place)
    {
    }

    // Altitude above the event's horizon altitude, degrees, `hours` after
    // the date's local midnight.
    double heightAt(double hours) const
    {
        const double d = start_ + hours / 24.0;
        const HorizonPlace p = place_(d);
        const double hourAngle = (SiderealTime(d) * 15.0 + longitudeDeg_ - p.rightAscensionDeg) * kRad;
        const double dec = p.declinationDeg * kRad;
        const double sinAlt = sinPhi_ * std::sin(dec) + cosPhi_ * std::cos(dec) * std::cos(hourAngle);
        return std::asin(std::fmax(-1.0, std::fmin(1.0, sinAlt))) / kRad - p.horizonAltitudeDeg;
    }

    double sample(int hour)
    {
        if (!known_[hour]) {
            samples_[hour] = heightAt(hour);
            known_[hour] = true;
        }
        return samples_[hour];
    }

    // First crossing upwards (rising) or downwards in hours from..to;
    // negative when there is none.
    double crossing(bool rising, int from, int to)
    {
        for (int h = from; h < to; ++h) {
            const bool aboveBefore = sample(h) >= 0;
            const bool aboveAfter = sample(h + 1) >= 0;
            if (aboveBefore != aboveAfter && aboveAfter == rising)
                return refine(h, h + 1.0, sample(h), sample(h + 1));
        }
        return -1;
    }

private:
    // Regula falsi with the Illinois step: the bracket shrinks from both
    // sides, a handful of evaluations for a smooth altitude curve.
    double refine(double a, double b, double fa, double fb) const
    {
        int side = 0;
        for (int i = 0; i < kMaxIterations && b - a > kToleranceHours; ++i) {
            double c = (a * fb - b * fa) / (fb - fa);
            if (!(c > a && c < b))
                c = (a + b) / 2;
            const double fc = heightAt(c);
            if ((fc >= 0) == (fb >= 0)) {
                b = c;
                fb = fc;
                if (side == -1)
                    fa /= 2;
                side = -1;
            } else {
                a = c;
                fa = fc;
                if (side == 1)
                    fb /= 2;
                side = 1;
            }
            if (fc == 0)
                return c;
        }
        return (a * fb - b * fa) / (fb - fa);
    }

    double start_;
    double sinPhi_, cosPhi_;
    double longitudeDeg_;
    PlaceAt place_;
    std::array<double, kSampledHours + 1> samples_{};
    std::array<bool, kSampledHours + 1> known_{};
};

}  // namespace

RiseSet riseSetOnLocalDate(const CalendarMoment &date, double zone, double latitudeDeg, double longitudeDeg,
                           PlaceAt place, SetOfTheDay pairing)
{
    DaySearch search(date, zone, latitudeDeg, longitudeDeg, place);
    double rise = search.crossing(true, 0, 24);
    double set = -1;
    if (rise >= 0 && pairing == SetOfTheDay::AfterRise) {
        // The rise's own hour holds no set: its samples changed sign upwards.
        const int hour = static_cast<int>(rise);
        set = search.crossing(false, hour, hour + 25 < kSampledHours ? hour + 25 : kSampledHours);
    }
    if (set < 0)
        set = search.crossing(false, 0, 24);
    const RiseSet steady{search.sample(12) >= 0 ? RiseSetStatus::AlwaysAbove : RiseSetStatus::AlwaysBelow, 0, 0};
    if (rise < 0 && set < 0)
        return steady;
    if (rise < 0)
        rise = search.crossing(true, 24, kSampledHours);
    if (set < 0)
        set = search.crossing(false, 24, kSampledHours);
    if (rise < 0 || set < 0)
        return steady;
    return {RiseSetStatus::Crosses, wrapHours(rise), wrapHours(set)};
}

double zoneOfDate(const Location &location, const CalendarMoment &clock)
{
    CalendarMoment noon = startOfDay(clock);
    noon.hour = 12;
    return location.timeZone + (IsDaylightSavingActive(location.dstCode, noon) ? 1.0 : 0.0);
}

}  // namespace nimbrel::astro
