// The periodic-term series of the Sun and the Moon, constant data built into
// the library. The arrays are generated at build time from the CSV tables in
// data/astro (see GenerateSeriesTables.cmake); data/astro/README.md names the
// published sources of every row.
#pragma once

#include <array>

namespace nimbrel::astro {

// One term of the Sun's series. Its argument is the multipliers applied to
// the mean anomalies of the Sun, Venus, Mars, Jupiter and Saturn. Each
// coefficient is a polynomial c0 + c1·T1900 + c2·T1900², T1900 being Julian
// centuries from 1900 January 0.5. Longitude coefficients are radians,
// distance coefficients log10 of astronomical units.
struct SunSeriesTerm {
    int sun, venus, mars, jupiter, saturn;
    double longitudeSin[3];
    double longitudeCos[3];
    double logDistanceSin[3];
    double logDistanceCos[3];
};

// A lunar perturbation of the Sun: multipliers of the Moon's mean anomaly l,
// the Sun's mean anomaly l′, the Moon's argument of latitude F and the mean
// elongation D; longitude sine (radians), log10 distance cosine.
struct SunLunarTerm {
    int l, lp, F, D;
    double longitudeSin;
    double logDistanceCos;
};

// Moon longitude (sine) and horizontal parallax (cosine), seconds of arc,
// multipliers of (l, l′, F, D).
struct MoonLongitudeParallaxTerm {
    int l, lp, F, D;
    double longitudeSinArcsec;
    double parallaxCosArcsec;
};

// Moon latitude (sine), seconds of arc, multipliers of (l, l′, F, D).
struct MoonLatitudeTerm {
    int l, lp, F, D;
    double latitudeSinArcsec;
};

inline constexpr int kSunSeriesTerms = 49;  // rows 0..3 the Sun alone, 4..18 Venus, 19..28 Mars, 29..40 Jupiter, 41..48 Saturn
inline constexpr int kSunLunarTerms = 4;
inline constexpr int kMoonLongitudeTerms = 60;
inline constexpr int kMoonLatitudeTerms = 45;

extern const std::array<SunSeriesTerm, kSunSeriesTerms> kSunSeries;
extern const std::array<SunLunarTerm, kSunLunarTerms> kSunLunarSeries;
extern const std::array<MoonLongitudeParallaxTerm, kMoonLongitudeTerms> kMoonLongitudeParallaxSeries;
extern const std::array<MoonLatitudeTerm, kMoonLatitudeTerms> kMoonLatitudeSeries;

}  // namespace nimbrel::astro
