// Corrections for sensors that read off: the history keeps what the station
// sent, and every reading is corrected on its way out, so that a changed
// correction applies to the whole history at once.
//
// Temperatures (°C), humidities (%) and the pressure (hPa) take an offset;
// wind speed and gust a factor; rain a factor on amounts (differences of the
// rain counter, never on the counter itself, whose stored value stays the
// station's); the wind direction a rotation in degrees, rounded to the
// station's 16 points of 22.5°.
//
// A value that was not a reading stays as it is: a channel stored as
// temperature 0 with humidity 0, a pressure of 0, a state word that is not 0.
// Corrected humidities stay within the station's 1..99 %.
#pragma once

#include "HistoryStore.h"
#include "Measurement.h"

namespace nimbrel {

struct Calibration {
    double indoorTemperature = 0;           // °C added
    double indoorHumidity = 0;              // % added
    double temperature[kChannelCount] = {};  // channels 1..5 at indexes 0..4, °C added
    double humidity[kChannelCount] = {};     // % added
    double pressure = 0;                    // hPa added
    double windSpeed = 1;                   // factor on wind speed and gust
    double rain = 1;                        // factor on rain amounts
    double windDirection = 0;               // degrees clockwise, -180..180

    // Nothing to correct: readers skip the work.
    bool isIdentity() const;

    // Rain-gauge tips (a difference of the counter, or a sum of them) as
    // corrected; fractional when the factor is not 1.
    double rainAmount(double tips) const { return tips * rain; }
    double pressureOf(double hPa) const { return hPa == 0 ? 0 : hPa + pressure; }
    double windOf(double mph) const { return mph * windSpeed; }
    int humidityOf(int percent, double offset) const;
    int directionOf(int sector) const;

    bool operator==(const Calibration &) const = default;
};

// The row with its readings corrected; the rain counter stays as stored.
// The wind chill the station computed moves with channel 1's (the outdoor
// sensor's) temperature offset; the wind factor cannot be carried into it
// without the station's formula and is not.
void applyCalibration(const Calibration &c, HistoryRow &row);
// The same for a decoded record; values whose state word is not 0 stay.
void applyCalibration(const Calibration &c, Measurement &m);

}  // namespace nimbrel
