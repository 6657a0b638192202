// What a history chart's series plots: a stored column of the history table,
// or a field calculated from one (the other units). Every calculated field is
// an increasing function of its stored column, so the smallest and largest
// stored values of a stretch of time are also the smallest and largest
// calculated ones.
#pragma once

#include <QString>
#include <array>
#include <cmath>
#include <vector>

namespace nimbrel {
struct Calibration;
}

namespace nimbrel::history {

// The stored columns the charts plot, in the order the summary keeps them.
enum class StoredColumn : int {
    PressLocal,
    TempDoor,
    HumDoor,
    TempCH1,
    TempCH2,
    TempCH3,
    TempCH4,
    TempCH5,
    HumCH1,
    HumCH2,
    HumCH3,
    HumCH4,
    HumCH5,
    WindSpeed,
    UV,
};
inline constexpr int kStoredColumnCount = 15;

const char *columnName(StoredColumn column);

struct PlotField {
    QString name;  // "PressLocal", "PressMm", "TempCH3F", ...
    StoredColumn column = StoredColumn::PressLocal;
    double (*calculate)(double stored) = nullptr;  // null: the stored value

    // The user's correction of the stored column (Calibration.h), set by
    // calibrated(): the stored value times `factor` plus `shift`. A stored 0
    // of the pressure or a humidity is no reading and stays 0; a corrected
    // humidity is whole and within 1..99 %. Both keep the order of values, so
    // a stretch's extremes stay its extremes.
    double factor = 1;
    double shift = 0;
    bool zeroIsMissing = false;
    bool percent = false;
    bool calibrated = false;

    double value(double stored) const
    {
        double v = stored;
        if (calibrated && !(zeroIsMissing && stored == 0)) {
            v = stored * factor + shift;
            if (percent)
                v = std::fmin(99.0, std::fmax(1.0, std::round(v)));
        }
        return calculate ? calculate(v) : v;
    }
    bool operator==(const PlotField &other) const { return name == other.name; }
};

// The field of each selector's unit code (the item index). Channels are 1..5.
PlotField pressureField(int unitCode);         // PressPa, PressLocal, PressMm, PressIn
PlotField indoorTemperatureField(int unitCode);  // TempDoor, TempDoorF
PlotField channelTemperatureField(int channel, int unitCode);  // TempCHn, TempCHnF
PlotField indoorHumidityField();               // HumDoor
PlotField channelHumidityField(int channel);   // HumCHn
PlotField windSpeedField(int unitCode);        // WindSpeedKm, WindSpeed, WindSpeedm, WindSpeedk
PlotField uvField(int unitCode);               // UV, UVmed

// The fields with the correction of their columns; fields already corrected
// stay as they are. No calibration, or one that corrects nothing: unchanged.
std::vector<PlotField> calibrated(std::vector<PlotField> fields, const Calibration *calibration);

}  // namespace nimbrel::history
