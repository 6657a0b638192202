// The temperature and humidity box (GroupBox7): the indoor sensor on the
// left, the channel chosen in CHBox on the right, each with temperature,
// humidity, dew point, comfort word, trend arrows, thermometer with its
// markers, humidity bar and the recorded extremes; the indoor alarm limits
// and the channel's battery.
#pragma once

#include "ExtremesView.h"
#include "PanelKit.h"
#include "TemperatureView.h"

#include <QList>

class QComboBox;
class QGroupBox;
class QLabel;

namespace nimbrel {

class PictureBox;
class PowerMeter;
class ThermoMeter;

class TemperaturePanel {
public:
    void build(QGroupBox *box, panel::LabelNames &names);

    // Both sides, the thermometer scales and the unit signs TL1 .. TL8.
    void show(const TemperatureView &view);

    // The parts, as the display refresh writes them one step at a time.
    void showIndoorReadings(const TemperatureView &view);   // TempDoorLabel, HumDoorLabel, HumMeter
    void showChannelReadings(const TemperatureView &view);  // TempCHLabel, HumCHLabel, HumMeter1
    // Termo1 and Termo2 with their markers, the four extremes, UTAL, LTAL.
    void showThermometers(const TemperatureView &view);
    void showDewPointsAndComfort(const TemperatureView &view);
    void showBattery(const TemperatureView &view);
    void showTrends(const TemperatureView &view);
    void showUnit(const TemperatureView &view);  // scales and TL1 .. TL8
    // A new channel chosen in CHBox: its temperature, humidity, comfort word
    // and battery at once; the rest follows at the next refresh.
    void showChannelChoice(const ChannelSide &side, const ExtremesView &extremes);
    // The times of the four temperature extremes.
    void showExtremes(const ExtremesView &view);

    QComboBox *channelBox() const { return CHBox; }
    QList<PictureBox *> unitPictures() const { return {TL1, TL2, TL3, TL4, TL5, TL6, TL7, TL8}; }

private:
    void showComfort(QLabel *label, QComboBox *words, int index, bool empty);

    // Indoor side.
    QLabel *TempDoorLabel = nullptr;
    QLabel *HumDoorLabel = nullptr;
    QLabel *TochkaRosDoorL = nullptr;
    QLabel *ComfStateL = nullptr;
    QLabel *MaxTempDoorLabel = nullptr;
    QLabel *MinTempDoorLabel = nullptr;
    QLabel *FromTempDoorLM = nullptr;
    QLabel *FromTempDoorLN = nullptr;
    QLabel *UTAL = nullptr;
    QLabel *LTAL = nullptr;
    ThermoMeter *Termo1 = nullptr;
    PowerMeter *HumMeter = nullptr;
    PictureBox *TempDoorTrend = nullptr;
    PictureBox *HumDoorTrend = nullptr;
    PictureBox *TAS = nullptr;
    // Channel side.
    QComboBox *CHBox = nullptr;
    QLabel *TempCHLabel = nullptr;
    QLabel *HumCHLabel = nullptr;
    QLabel *TochkaRosCHL = nullptr;
    QLabel *ComfState1L = nullptr;
    QLabel *MaxTempCHL = nullptr;
    QLabel *MinTempCHL = nullptr;
    QLabel *FromTempCHLM = nullptr;
    QLabel *FromTempCHLN = nullptr;
    ThermoMeter *Termo2 = nullptr;
    PowerMeter *HumMeter1 = nullptr;
    PictureBox *TempCHTrend = nullptr;
    PictureBox *HumCHTrend = nullptr;
    PictureBox *BatCH = nullptr;
    // Hidden word lists of the comfort labels: the translation table reaches
    // their items.
    QComboBox *ComfState = nullptr;
    QComboBox *ComfStateCH = nullptr;
    // Celsius/Fahrenheit signs beside the temperatures.
    PictureBox *TL1 = nullptr;
    PictureBox *TL2 = nullptr;
    PictureBox *TL3 = nullptr;
    PictureBox *TL4 = nullptr;
    PictureBox *TL5 = nullptr;
    PictureBox *TL6 = nullptr;
    PictureBox *TL7 = nullptr;
    PictureBox *TL8 = nullptr;
};

}  // namespace nimbrel
