// The components of the main window: the regions (two columns of group boxes
// and the settings strip) and everything inside them, each under the name the
// handlers, the translation table and the UI dump address it by.
//
// Building places every component and gives it its designed caption, hint,
// list items and default state; no values are computed here. The refresh and
// the handlers write the components through the pointers below or find them
// by name.
#pragma once

#include "Component.h"

#include <QList>
#include <QString>
#include <QWidget>

class QAbstractSpinBox;
class QAction;
class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QFont;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QRect;
class QScrollArea;
class QSpinBox;
class QToolButton;

namespace nimbrel {

class AnimatedPicture;
class PictureBox;
class PowerMeter;
class ScrollText;
class ThermoMeter;
class TrendChart;

// An up-down button pair bound to a numeric edit: each click steps the edit
// by one of its steps, within its range and without wrapping around. It
// follows the edit in nothing else; enabling is set on each separately.
class UpDown : public QWidget, public DumpableComponent {
    Q_OBJECT
public:
    static constexpr const char *kKind = "TUpDown";

    UpDown(QAbstractSpinBox *associate, QWidget *parent);

    QAbstractSpinBox *associate() const { return associate_; }
    void stepUp();
    void stepDown();

    void dumpState(QJsonObject &out) const override;

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    QAbstractSpinBox *associate_;
    QToolButton *up_;
    QToolButton *down_;
};

class MainWindowUi {
public:
    // The window's client area, and the scroll box's share of it (the status
    // bar takes the rest).
    static constexpr int kClientWidth = 870;
    static constexpr int kClientHeight = 664;
    static constexpr int kScrollHeight = 647;

    // Creates the scroll box and the two columns of group boxes with their
    // contents on the form.
    void build(QWidget *form);
    // Creates the settings strip Panel4 (history and menu buttons, language,
    // altitude, history interval, the five unit selectors and the ticker).
    // The popup menu belongs to the form. Runs after build().
    void buildSettingsStrip(QWidget *form);

    // Groups that the unit handlers rewrite together.
    QList<PictureBox *> temperatureUnitPictures() const;  // TL1 .. TL9
    QList<QLabel *> pressureUnitLabels() const;           // PressL1 .. PressL4
    QList<QLabel *> speedUnitLabels() const;              // SL1 .. SL6
    QList<QLabel *> rainUnitLabels() const;               // RL1 .. RL4
    // The controls that edit the location by hand; they start disabled.
    QList<QWidget *> coordinateControls() const;

    // Regions.
    QScrollArea *ScrollBox1 = nullptr;
    QWidget *content = nullptr;
    QFrame *Panel1 = nullptr;
    QFrame *Panel2 = nullptr;
    QFrame *Panel3 = nullptr;
    QFrame *Panel4 = nullptr;
    QGroupBox *GroupBox1 = nullptr;
    QGroupBox *GroupBox2 = nullptr;
    QGroupBox *GroupBox3 = nullptr;
    QGroupBox *GroupBox4 = nullptr;
    QGroupBox *GroupBox5 = nullptr;
    QGroupBox *GroupBox6 = nullptr;
    QGroupBox *GroupBox7 = nullptr;
    QGroupBox *GroupBox8 = nullptr;  // frame around the unit selectors

    // Pressure and forecast.
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

    // UV.
    QLabel *UVLabel = nullptr;
    QLabel *UVIL1 = nullptr;
    PictureBox *UVIImage = nullptr;
    PictureBox *BatUVI = nullptr;
    TrendChart *UVIChart = nullptr;

    // Time, date and location.
    QLabel *LocalDate = nullptr;
    QLabel *LocalTime = nullptr;
    QLabel *WeekDayL = nullptr;
    QLabel *NumWeekL = nullptr;
    QLabel *NumDayL = nullptr;
    QLabel *DSTL = nullptr;
    QCheckBox *IsUserCity = nullptr;
    QComboBox *CityBox = nullptr;
    QSpinBox *LatitudeLM = nullptr;
    QSpinBox *LatitudeLS = nullptr;
    QSpinBox *LongitudeLM = nullptr;
    QSpinBox *LongitudeLS = nullptr;
    UpDown *LatitudeLMUD = nullptr;
    UpDown *LatitudeLSUD = nullptr;
    UpDown *LongitudeLMUD = nullptr;
    UpDown *LongitudeLSUD = nullptr;
    QComboBox *LocBox1 = nullptr;
    QComboBox *LocBox2 = nullptr;
    // Time zone in hours: keeps negative and half-hour zones as the station
    // and the city table give them.
    QDoubleSpinBox *TL = nullptr;
    UpDown *TLUD = nullptr;

    // Sun and moon.
    QLabel *VoshodL = nullptr;
    QLabel *ZahodL = nullptr;
    QLabel *DlinaDnyL = nullptr;
    QLabel *VoshodMoonL = nullptr;
    QLabel *ZahodMoonL = nullptr;
    PictureBox *ZemlyImage = nullptr;
    PictureBox *MoonImage = nullptr;

    // Temperature and humidity: indoor side.
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
    // Hidden word lists of the comfort labels.
    QComboBox *ComfState = nullptr;
    QComboBox *ComfStateCH = nullptr;
    // Celsius/Fahrenheit signs beside the temperatures (TL9: wind chill).
    PictureBox *TL1 = nullptr;
    PictureBox *TL2 = nullptr;
    PictureBox *TL3 = nullptr;
    PictureBox *TL4 = nullptr;
    PictureBox *TL5 = nullptr;
    PictureBox *TL6 = nullptr;
    PictureBox *TL7 = nullptr;
    PictureBox *TL8 = nullptr;
    PictureBox *TL9 = nullptr;

    // Rain.
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

    // Wind.
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
    TrendChart *WindSpeedChart = nullptr;

    // Settings strip.
    QPushButton *HistoryTemp = nullptr;
    QPushButton *BitBtn1 = nullptr;
    QMenu *PopupMenu1 = nullptr;
    QAction *N1 = nullptr;
    QAction *ExportHistoryItem = nullptr;
    QAction *OpenDataFolderItem = nullptr;
    QComboBox *LangBox = nullptr;
    QLineEdit *PressLevel = nullptr;
    QPushButton *SpeedButton1 = nullptr;
    QComboBox *PeriodBox = nullptr;
    QComboBox *TempEdBox = nullptr;
    QComboBox *PressureEdBox = nullptr;
    QComboBox *SpeedEdBox = nullptr;
    QComboBox *RainEdBox = nullptr;
    QComboBox *UVIEdBox = nullptr;
    ScrollText *VrScrollText1 = nullptr;

private:
    void buildPressure();
    void buildUv();
    void buildTimeAndLocation();
    void buildSunAndMoon();
    void buildTemperature();
    void buildRain();
    void buildWind();

    // A caption beside a value: the next free name of the Label<n> series.
    QLabel *caption(QWidget *parent, const QString &text, const QRect &geometry, bool wrap = false);
    QString nextLabelName();

    int nextLabel_ = 2;
};

}  // namespace nimbrel
