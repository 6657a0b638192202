// The UV box (GroupBox3): the UV index in the chosen unit, the exposure
// picture for it, the chart of the last seven days and the sensor battery.
#pragma once

#include "PanelKit.h"
#include "UvView.h"

class QGroupBox;
class QLabel;

namespace nimbrel {

class PictureBox;
class TrendChart;

class UvPanel {
public:
    void build(QGroupBox *box, panel::LabelNames &names);

    // Reading, picture, chart, battery and the unit caption UVIL1.
    void show(const UvView &view);

    void showReading(const UvView &view);  // UVLabel and UVIImage
    void showChart(const UvView &view);
    void showBattery(const UvView &view);
    void showUnit(const UvView &view);

    TrendChart *chart() const { return UVIChart; }

private:
    QLabel *UVLabel = nullptr;
    QLabel *UVIL1 = nullptr;
    PictureBox *UVIImage = nullptr;
    PictureBox *BatUVI = nullptr;
    TrendChart *UVIChart = nullptr;
};

}  // namespace nimbrel
