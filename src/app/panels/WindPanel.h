// The wind box (GroupBox5): speed and gust with the station's maxima, alarm
// limits and bells, the recorded maxima's times, the wind chill, the
// direction in words, degrees and as a compass rose, the chart of the last
// seven days and the sensor battery.
#pragma once

#include "ExtremesView.h"
#include "PanelKit.h"
#include "WindView.h"

#include <QList>

class QGroupBox;
class QLabel;

namespace nimbrel {

class PictureBox;
class TrendChart;

class WindPanel {
public:
    void build(QGroupBox *box, panel::LabelNames &names);

    // Everything the view holds, with the unit captions SL1 .. SL6.
    void show(const WindView &view);

    void showDirection(const WindView &view);  // both direction labels and the compass
    void showChart(const WindView &view);
    void showBattery(const WindView &view);
    // Wind chill, speed, its maximum, gust, its maximum, both alarm limits
    // and bells.
    void showReadings(const WindView &view);
    void showUnit(const WindView &view);
    // The wind chill in another temperature unit, with its sign TL9.
    void showWindChill(const QString &text, int temperatureUnitPicture);
    void showExtremes(const ExtremesView &view);

    QList<QLabel *> unitLabels() const { return {SL1, SL2, SL3, SL4, SL5, SL6}; }
    PictureBox *windChillUnitPicture() const { return TL9; }
    TrendChart *chart() const { return WindSpeedChart; }

private:
    QLabel *WindSpeedL = nullptr;
    QLabel *WindGustL = nullptr;
    QLabel *MaxWindSpeedL = nullptr;
    QLabel *MaxWindGustL = nullptr;
    QLabel *FromWindSpeedL = nullptr;
    QLabel *FromWindGustL = nullptr;
    QLabel *WSAL = nullptr;
    QLabel *WGAL = nullptr;
    QLabel *WindDirectionLabel = nullptr;
    QLabel *WindDirectionLabel1 = nullptr;
    QLabel *WindChillL = nullptr;
    QLabel *SL1 = nullptr;
    QLabel *SL2 = nullptr;
    QLabel *SL3 = nullptr;
    QLabel *SL4 = nullptr;
    QLabel *SL5 = nullptr;
    QLabel *SL6 = nullptr;
    PictureBox *WSAS = nullptr;
    PictureBox *WGAS = nullptr;
    PictureBox *Compass = nullptr;
    PictureBox *BatWind = nullptr;
    PictureBox *TL9 = nullptr;  // Celsius/Fahrenheit sign of the wind chill
    TrendChart *WindSpeedChart = nullptr;
};

}  // namespace nimbrel
