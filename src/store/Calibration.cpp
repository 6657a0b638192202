#include "Calibration.h"

#include <algorithm>
#include <cmath>

namespace nimbrel {

namespace {

// The station's humidity sensors read 1..99 %; 0 is stored for no reading.
constexpr int kHumidityLow = 1;
constexpr int kHumidityHigh = 99;
constexpr int kSectors = 16;
constexpr double kSectorDegrees = 360.0 / kSectors;

}  // namespace

bool Calibration::isIdentity() const
{
    return *this == Calibration{};
}

int Calibration::humidityOf(int percent, double offset) const
{
    if (percent == 0 || offset == 0)
        return percent;
    const long corrected = std::lround(percent + offset);
    return static_cast<int>(std::clamp<long>(corrected, kHumidityLow, kHumidityHigh));
}

int Calibration::directionOf(int sector) const
{
    const int turn = static_cast<int>(std::lround(windDirection / kSectorDegrees));
    if (turn == 0 || sector < 0 || sector >= kSectors)
        return sector;
    return ((sector + turn) % kSectors + kSectors) % kSectors;
}

void applyCalibration(const Calibration &c, HistoryRow &r)
{
    if (c.isIdentity())
        return;
    // A sensor that did not report is stored as temperature 0 with humidity 0.
    if (r.TempDoor != 0 || r.HumDoor != 0) {
        r.TempDoor += c.indoorTemperature;
        r.HumDoor = c.humidityOf(r.HumDoor, c.indoorHumidity);
    }
    for (int ch = 0; ch < kChannelCount; ++ch) {
        if (r.TempCH[ch] == 0 && r.HumCH[ch] == 0)
            continue;
        r.TempCH[ch] += c.temperature[ch];
        r.HumCH[ch] = c.humidityOf(r.HumCH[ch], c.humidity[ch]);
    }
    r.PressLocal = c.pressureOf(r.PressLocal);
    if (r.WindChill != 0)
        r.WindChill += c.temperature[0];
    r.WindGust = c.windOf(r.WindGust);
    r.WindSpeed = c.windOf(r.WindSpeed);
    r.WindDirection = c.directionOf(r.WindDirection);
}

void applyCalibration(const Calibration &c, Measurement &m)
{
    if (c.isIdentity() || m.NoRecord)
        return;
    if (m.TempDoorState == 0) {
        m.TempDoor += c.indoorTemperature;
        m.HumDoor = c.humidityOf(m.HumDoor, c.indoorHumidity);
    }
    for (int ch = 0; ch < kChannelCount; ++ch) {
        if (m.TempCHState[ch] != 0 || (m.TempCH[ch] == 0 && m.HumCH[ch] == 0))
            continue;
        m.TempCH[ch] += c.temperature[ch];
        m.HumCH[ch] = c.humidityOf(m.HumCH[ch], c.humidity[ch]);
    }
    if (!m.PressLocalInvalid)
        m.PressLocal = c.pressureOf(m.PressLocal);
    if (m.WindChillState == 0 && m.WindChill != 0)
        m.WindChill += c.temperature[0];
    if (m.WindGustState == 0)
        m.WindGust = c.windOf(m.WindGust);
    if (m.WindSpeedState == 0)
        m.WindSpeed = c.windOf(m.WindSpeed);
    m.WindDirection = static_cast<std::uint16_t>(c.directionOf(m.WindDirection));
}

}  // namespace nimbrel
