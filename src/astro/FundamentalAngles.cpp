#include "FundamentalAngles.h"

#include <cmath>

namespace nimbrel::astro {

namespace {

struct Polynomial {
    double c0, c1, c2, c3;  // seconds of arc, per century, per century², per century³
};

// Degrees in 0 <= x < 360.
double angleAt(const Polynomial &p, double d)
{
    const double t = d / 36525.0;
    const double arcsec = p.c0 + t * (p.c1 + t * (p.c2 + t * p.c3));
    double degrees = std::fmod(arcsec / 3600.0, 360.0);
    if (degrees < 0)
        degrees += 360.0;
    return degrees;
}

constexpr Polynomial kObliquity{84381.448, -46.815, -0.00059, 0.001813};
constexpr Polynomial kMoonMeanAnomaly{485866.733, 1717915922.633, 31.31, 0.064};
constexpr Polynomial kSunMeanAnomaly{1287099.804, 129596581.224, -0.577, -0.012};
constexpr Polynomial kVenusMeanLongitude{655127.283, 210669166.909, 1.1182, 0.0001};
constexpr Polynomial kVenusPerihelion{473629.346, 5047.994, -3.8618, -0.0189};
constexpr Polynomial kMarsMeanLongitude{1279559.789, 68910107.309, 1.1195, 0.0001};
constexpr Polynomial kMarsPerihelion{1209816.842, 6627.759, 0.4864, 0.001};
constexpr Polynomial kJupiterMeanLongitude{123665.342, 10930690.04, 0.8055, 0.0001};
constexpr Polynomial kJupiterPerihelion{51592.713, 5805.497, 3.7132, -0.0159};
constexpr Polynomial kSaturnMeanLongitude{180278.897, 4404639.651, 1.8703, 0};
constexpr Polynomial kSaturnPerihelion{335004.434, 7069.538, 3.015, 0.0181};
constexpr Polynomial kMoonArgumentOfLatitude{335778.877, 1739527263.137, -13.257, 0.011};
constexpr Polynomial kMoonMeanElongation{1072261.307, 1602961601.328, -6.891, 0.019};
constexpr Polynomial kSunMeanLongitude{1009667.85, 129602771.27, 1.089, 0};
constexpr Polynomial kMoonNode{450160.28, -6962890.539, 7.455, 0.008};
constexpr Polynomial kMoonMeanLongitude{785939.157, 1732564372.598, -5.802, 0.019};

}  // namespace

double ObliquityOfEcliptic(double d) { return angleAt(kObliquity, d); }
double MoonMeanAnomaly(double d) { return angleAt(kMoonMeanAnomaly, d); }
double SunMeanAnomaly(double d) { return angleAt(kSunMeanAnomaly, d); }
double VenusMeanLongitude(double d) { return angleAt(kVenusMeanLongitude, d); }
double VenusPerihelionLongitude(double d) { return angleAt(kVenusPerihelion, d); }
double MarsMeanLongitude(double d) { return angleAt(kMarsMeanLongitude, d); }
double MarsPerihelionLongitude(double d) { return angleAt(kMarsPerihelion, d); }
double JupiterMeanLongitude(double d) { return angleAt(kJupiterMeanLongitude, d); }
double JupiterPerihelionLongitude(double d) { return angleAt(kJupiterPerihelion, d); }
double SaturnMeanLongitude(double d) { return angleAt(kSaturnMeanLongitude, d); }
double SaturnPerihelionLongitude(double d) { return angleAt(kSaturnPerihelion, d); }
double MoonArgumentOfLatitude(double d) { return angleAt(kMoonArgumentOfLatitude, d); }
double MoonMeanElongation(double d) { return angleAt(kMoonMeanElongation, d); }
double SunMeanLongitude(double d) { return angleAt(kSunMeanLongitude, d); }
double MoonNodeLongitude(double d) { return angleAt(kMoonNode, d); }
double MoonMeanLongitude(double d) { return angleAt(kMoonMeanLongitude, d); }

double VenusMeanAnomaly(double d) { return VenusMeanLongitude(d) - VenusPerihelionLongitude(d); }
double MarsMeanAnomaly(double d) { return MarsMeanLongitude(d) - MarsPerihelionLongitude(d); }
double JupiterMeanAnomaly(double d) { return JupiterMeanLongitude(d) - JupiterPerihelionLongitude(d); }
double SaturnMeanAnomaly(double d) { return SaturnMeanLongitude(d) - SaturnPerihelionLongitude(d); }

}  // namespace nimbrel::astro
