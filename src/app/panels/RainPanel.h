// The rain box (GroupBox6): rain of the last hour and the last 24 hours with
// their gauges, the period chosen in RainBox with its gauge, the total with
// the moment it counts from, the alarm limit and bell and the gauge battery.
#pragma once

#include "PanelKit.h"
#include "RainView.h"

#include <QList>

class QComboBox;
class QGroupBox;
class QLabel;

namespace nimbrel {

class PictureBox;
class PowerMeter;

class RainPanel {
public:
    void build(QGroupBox *box, panel::LabelNames &names);

    // Everything the view holds, with the unit captions RL1 .. RL4.
    void show(const RainView &view);

    void showBattery(const RainView &view);
    // Hour, 24 hours, period, alarm limit, total, its start and the bell.
    void showReadings(const RainView &view);
    void showUnit(const RainView &view);
    // RainLL and RainLV; a period the list does not have leaves them.
    void showPeriod(const RainPeriodView &view);

    QComboBox *periodBox() const { return RainBox; }
    QList<QLabel *> unitLabels() const { return {RL1, RL2, RL3, RL4}; }

private:
    QLabel *RainLHL = nullptr;
    QLabel *RainLDL = nullptr;
    QLabel *RainLL = nullptr;
    QLabel *AllRainL = nullptr;
    QLabel *FromRainL = nullptr;
    QLabel *RAL = nullptr;
    QLabel *RL1 = nullptr;
    QLabel *RL2 = nullptr;
    QLabel *RL3 = nullptr;
    QLabel *RL4 = nullptr;
    PowerMeter *RainLHV = nullptr;
    PowerMeter *RainLDV = nullptr;
    PowerMeter *RainLV = nullptr;
    QComboBox *RainBox = nullptr;
    PictureBox *RAS = nullptr;
    PictureBox *BatRain = nullptr;
};

}  // namespace nimbrel
