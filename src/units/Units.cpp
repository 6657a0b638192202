#include "Units.h"

namespace nimbrel {

namespace {

QString nameAt(const QStringList &names, int code)
{
    return code >= 0 && code < names.size() ? names.at(code) : QString();
}

}  // namespace

QStringList temperatureUnitNames() { return {QStringLiteral("C"), QStringLiteral("F")}; }

QStringList pressureUnitNames()
{
    return {QStringLiteral("hPa"), QStringLiteral("mBar"), QStringLiteral("mmHg"),
            QStringLiteral("inchHg")};
}

QStringList speedUnitNames()
{
    return {QStringLiteral("km/h"), QStringLiteral("mph"), QStringLiteral("m/s"),
            QStringLiteral("knots")};
}

QStringList rainUnitNames() { return {QStringLiteral("inch"), QStringLiteral("mm")}; }

QStringList uvUnitNames() { return {QStringLiteral("UVI"), QStringLiteral("MED/h")}; }

QString temperatureUnitName(int code) { return nameAt(temperatureUnitNames(), code); }
QString pressureUnitName(int code) { return nameAt(pressureUnitNames(), code); }
QString speedUnitName(int code) { return nameAt(speedUnitNames(), code); }
QString rainUnitName(int code) { return nameAt(rainUnitNames(), code); }
QString uvUnitName(int code) { return nameAt(uvUnitNames(), code); }

double fahrenheitFromCelsius(double celsius)
{
    // The factors are the double literals 9 and 0.2 widened to long double;
    // 0.2L would be a different (closer) number and can move the last bits.
    constexpr long double nine = 9.0;
    constexpr long double oneFifth = 0.2;
    constexpr long double offset = 32.0;
    return static_cast<double>(static_cast<long double>(celsius) * nine * oneFifth + offset);
}

double temperatureInUnit(double celsius, int code)
{
    return code == unitCode(TemperatureUnit::Fahrenheit) ? fahrenheitFromCelsius(celsius) : celsius;
}

double pressureFactor(int code)
{
    switch (static_cast<PressureUnit>(code)) {
    case PressureUnit::MmHg:
        return kMmHgPerHpa;
    case PressureUnit::InchHg:
        return kInchHgPerHpa;
    default:
        return 1.0;
    }
}

double pressureInUnit(double pressureHpa, int code) { return pressureHpa * pressureFactor(code); }

double speedFactor(int code)
{
    switch (static_cast<SpeedUnit>(code)) {
    case SpeedUnit::Kmh:
        return kKmhPerMph;
    case SpeedUnit::Mph:
        return 1.0;
    case SpeedUnit::Ms:
        return kMsPerMph;
    case SpeedUnit::Knots:
        return kKnotsPerMph;
    }
    return 0.0;
}

double speedInUnit(double speedMph, int code)
{
    const double plausible = speedMph > kSpeedLimitMph ? 0.0 : speedMph;
    return plausible * speedFactor(code);
}

double rainTipFactor(int code)
{
    return code == unitCode(RainUnit::Inch) ? kInchPerTip : kMmPerTip;
}

double rainInUnit(double tips, int code)
{
    const double plausible = tips > kRainLimitTips ? 0.0 : tips;
    return plausible * rainTipFactor(code);
}

double uvFactor(int code)
{
    return code == unitCode(UvUnit::MedPerHour) ? kMedPerHourPerUvi : 1.0;
}

double uvInUnit(double uvIndex, int code) { return uvIndex * uvFactor(code); }

double historyPressPa(double pressLocalHpa) { return pressLocalHpa * 1.0; }
double historyPressMm(double pressLocalHpa) { return pressLocalHpa * kMmHgPerHpa; }
double historyPressIn(double pressLocalHpa) { return pressLocalHpa * kInchHgPerHpa; }
double historyTempF(double tempC) { return fahrenheitFromCelsius(tempC); }
double historyWindSpeedKm(double windSpeedMph) { return windSpeedMph * kKmhPerMph; }
double historyWindSpeedM(double windSpeedMph) { return windSpeedMph * kMsPerMph; }
double historyWindSpeedK(double windSpeedMph) { return windSpeedMph * kKnotsPerMph; }
double historyUvMed(double uvIndex) { return uvIndex * kMedPerHourPerUvi; }

}  // namespace nimbrel
