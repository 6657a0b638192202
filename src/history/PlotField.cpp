#include "PlotField.h"

#include "Calibration.h"
#include "Units.h"

#include <algorithm>

namespace nimbrel::history {

namespace {

constexpr std::array<const char *, kStoredColumnCount> kNames = {
    "PressLocal", "TempDoor", "HumDoor", "TempCH1", "TempCH2", "TempCH3", "TempCH4", "TempCH5",
    "HumCH1",     "HumCH2",   "HumCH3",  "HumCH4",  "HumCH5",  "WindSpeed", "UV"};

StoredColumn offset(StoredColumn first, int by)
{
    return static_cast<StoredColumn>(static_cast<int>(first) + by);
}

int channelIndex(int channel)
{
    return std::clamp(channel, 1, 5) - 1;
}

}  // namespace

const char *columnName(StoredColumn column)
{
    return kNames[static_cast<std::size_t>(column)];
}

PlotField pressureField(int unitCode)
{
    switch (unitCode) {
    case 1:
        return {QStringLiteral("PressLocal"), StoredColumn::PressLocal, nullptr};
    case 2:
        return {QStringLiteral("PressMm"), StoredColumn::PressLocal, historyPressMm};
    case 3:
        return {QStringLiteral("PressIn"), StoredColumn::PressLocal, historyPressIn};
    default:
        return {QStringLiteral("PressPa"), StoredColumn::PressLocal, historyPressPa};
    }
}

PlotField indoorTemperatureField(int unitCode)
{
    if (unitCode == 1)
        return {QStringLiteral("TempDoorF"), StoredColumn::TempDoor, historyTempF};
    return {QStringLiteral("TempDoor"), StoredColumn::TempDoor, nullptr};
}

PlotField channelTemperatureField(int channel, int unitCode)
{
    const int c = channelIndex(channel);
    const StoredColumn column = offset(StoredColumn::TempCH1, c);
    if (unitCode == 1)
        return {QStringLiteral("TempCH%1F").arg(c + 1), column, historyTempF};
    return {QStringLiteral("TempCH%1").arg(c + 1), column, nullptr};
}

PlotField indoorHumidityField()
{
    return {QStringLiteral("HumDoor"), StoredColumn::HumDoor, nullptr};
}

PlotField channelHumidityField(int channel)
{
    const int c = channelIndex(channel);
    return {QStringLiteral("HumCH%1").arg(c + 1), offset(StoredColumn::HumCH1, c), nullptr};
}

PlotField windSpeedField(int unitCode)
{
    switch (unitCode) {
    case 1:
        return {QStringLiteral("WindSpeed"), StoredColumn::WindSpeed, nullptr};
    case 2:
        return {QStringLiteral("WindSpeedm"), StoredColumn::WindSpeed, historyWindSpeedM};
    case 3:
        return {QStringLiteral("WindSpeedk"), StoredColumn::WindSpeed, historyWindSpeedK};
    default:
        return {QStringLiteral("WindSpeedKm"), StoredColumn::WindSpeed, historyWindSpeedKm};
    }
}

PlotField uvField(int unitCode)
{
    if (unitCode == 1)
        return {QStringLiteral("UVmed"), StoredColumn::UV, historyUvMed};
    return {QStringLiteral("UV"), StoredColumn::UV, nullptr};
}

std::vector<PlotField> calibrated(std::vector<PlotField> fields, const Calibration *calibration)
{
    if (!calibration || calibration->isIdentity())
        return fields;
    const Calibration &c = *calibration;
    for (PlotField &f : fields) {
        if (f.calibrated)
            continue;
        f.calibrated = true;
        const int column = static_cast<int>(f.column);
        switch (f.column) {
        case StoredColumn::PressLocal:
            f.shift = c.pressure;
            f.zeroIsMissing = true;
            break;
        case StoredColumn::TempDoor:
            f.shift = c.indoorTemperature;
            break;
        case StoredColumn::HumDoor:
            f.shift = c.indoorHumidity;
            break;
        case StoredColumn::WindSpeed:
            f.factor = c.windSpeed;
            break;
        case StoredColumn::UV:
            break;
        default:
            if (column >= static_cast<int>(StoredColumn::HumCH1))
                f.shift = c.humidity[column - static_cast<int>(StoredColumn::HumCH1)];
            else
                f.shift = c.temperature[column - static_cast<int>(StoredColumn::TempCH1)];
        }
        const bool humidity = f.column == StoredColumn::HumDoor ||
                              (column >= static_cast<int>(StoredColumn::HumCH1) &&
                               column <= static_cast<int>(StoredColumn::HumCH5));
        if (humidity && f.shift != 0) {
            f.zeroIsMissing = true;
            f.percent = true;
        }
    }
    return fields;
}

}  // namespace nimbrel::history
