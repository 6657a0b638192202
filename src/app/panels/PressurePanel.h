// The pressure and forecast box (GroupBox1): the pressure as the station
// reports it and reduced to the altitude with the trend arrow, the forecast
// picture, the 24-hour chart and the recorded extremes with their times.
#pragma once

#include "ExtremesView.h"
#include "PanelKit.h"
#include "PressureView.h"

#include <QList>

class QGroupBox;
class QLabel;

namespace nimbrel {

class AnimatedPicture;
class PictureBox;
class TrendChart;

class PressurePanel {
public:
    void build(QGroupBox *box, panel::LabelNames &names);

    // Everything the view holds: readings, forecast, chart, trend and the
    // unit captions PressL1 .. PressL4.
    void show(const PressureView &view);

    // The parts, as the display refresh writes them one step at a time.
    void showReadings(const PressureView &view);  // PressureLabel, PressureLocalL
    void showForecast(const PressureView &view);  // WeatherImage; WeatherStateImage/L hidden
    void showChart(const PressureView &view);
    void showTrend(const PressureView &view);
    void showUnit(const PressureView &view);
    // MaxPressureL / MinPressureL alone (the pressure unit handler).
    void showPressureExtremes(const QString &maximum, const QString &minimum);
    // The two extremes with their times (the scan of recorded extremes).
    void showExtremes(const ExtremesView &view);

    QList<QLabel *> unitLabels() const { return {PressL1, PressL2, PressL3, PressL4}; }
    TrendChart *chart() const { return PressureChart; }

private:
    QLabel *PressureLabel = nullptr;
    QLabel *PressureLocalL = nullptr;
    QLabel *PressL1 = nullptr;
    QLabel *PressL2 = nullptr;
    QLabel *PressL3 = nullptr;
    QLabel *PressL4 = nullptr;
    QLabel *MaxPressureL = nullptr;
    QLabel *MinPressureL = nullptr;
    QLabel *FromPressureLM = nullptr;
    QLabel *FromPressureLN = nullptr;
    PictureBox *PressureTrend = nullptr;
    AnimatedPicture *WeatherImage = nullptr;
    AnimatedPicture *WeatherStateImage = nullptr;
    QLabel *WeatherStateL = nullptr;
    TrendChart *PressureChart = nullptr;
};

}  // namespace nimbrel
