// The components of the main window: the regions (two columns of group boxes
// and the settings strip) and the panels inside them, each component under
// the name the handlers, the translation table and the UI dump address it by.
//
// Building places every component and gives it its designed caption, hint,
// list items and default state; no values are computed here. Each
// measurement panel owns its widgets and shows its view; the time and
// location controls, which the window's location code reads and writes,
// and the settings strip are reachable directly.
#pragma once

#include "Component.h"
#include "ExtremesView.h"
#include "SettingsStore.h"
#include "PanelKit.h"
#include "PressurePanel.h"
#include "RainPanel.h"
#include "TemperaturePanel.h"
#include "TimeLocationPanel.h"
#include "UvPanel.h"
#include "WindPanel.h"

#include <QList>
#include <QString>
#include <QWidget>

class QAction;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QProgressBar;
class QScrollArea;
class QSpinBox;

namespace nimbrel {

class BlinkLed;
class PanelStatusBar;
class PictureBox;
class ScrollText;

class MainWindowUi : public TimeLocationPanel {
public:
    // The window's client area, and the scroll box's share of it (the status
    // bar takes the rest).
    static constexpr int kClientWidth = 870;
    static constexpr int kClientHeight = 664;
    static constexpr int kScrollHeight = 647;

    // Creates the scroll box and the two columns of group boxes with their
    // panels on the form.
    void build(QWidget *form);
    // Creates the settings strip Panel4 (history and menu buttons, language,
    // altitude, history interval, the five unit selectors and the ticker).
    // The popup menu belongs to the form. Runs after build().
    void buildSettingsStrip(QWidget *form);
    // Creates the hidden message labels, the status bar with its LED and the
    // start-up progress panel over everything. Runs last.
    void buildShell(QWidget *form);

    // The measurement panels.
    PressurePanel &pressure() { return pressure_; }
    UvPanel &uv() { return uv_; }
    TemperaturePanel &temperature() { return temperature_; }
    RainPanel &rain() { return rain_; }
    WindPanel &wind() { return wind_; }
    TimeLocationPanel &timeLocation() { return *this; }

    // The stored choices into the language box, the unit selectors and the
    // user's-city check box. Setting an index runs no change handler; an
    // index a box does not have leaves the form's default.
    void applyChoices(const Settings &stored);

    // What each unit handler redraws: both sides of the temperature box (the
    // channel's thermometer and extremes too) and the wind chill; the
    // pressure texts and extremes; the rain texts and unit captions.
    void showTemperatureUnit(const TemperatureView &view, const Measurement &m);
    void showPressureUnit(const PressureView &view, const Measurement &m);
    void showRainUnit(const RainView &view);
    // The times of the recorded extremes and the pressure extremes.
    void showExtremes(const ExtremesView &view);

    // Groups that the unit handlers rewrite together.
    QList<PictureBox *> temperatureUnitPictures() const;  // TL1 .. TL9
    QList<QLabel *> pressureUnitLabels() const;           // PressL1 .. PressL4
    QList<QLabel *> speedUnitLabels() const;              // SL1 .. SL6
    QList<QLabel *> rainUnitLabels() const;               // RL1 .. RL4

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

    // Settings strip.
    QPushButton *HistoryTemp = nullptr;
    QPushButton *BitBtn1 = nullptr;
    QMenu *PopupMenu1 = nullptr;
    QAction *N1 = nullptr;
    QAction *ExportHistoryItem = nullptr;
    // Items: CSV in SI units, CSV in the window's units, JSON lines, weewx archive.
    QComboBox *ExportFormatBox = nullptr;
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

    // Hidden labels: their captions are the run-time messages.
    QLabel *StationOn = nullptr;
    QLabel *StationOff = nullptr;
    QLabel *ErrorConnect = nullptr;
    QLabel *LoadFrom = nullptr;
    QLabel *SaveFrom = nullptr;
    QLabel *ErrorDll = nullptr;
    QLabel *ErrorLoadDll = nullptr;
    QLabel *RepeatRead = nullptr;
    QLabel *NoAccess = nullptr;
    QLabel *NoOpen = nullptr;
    QLabel *HistoryNotSaved = nullptr;
    QLabel *AltitudeRefused = nullptr;
    QLabel *SettingWritten = nullptr;
    QLabel *SettingNotWritten = nullptr;
    // Clearing the history: the question (%1 records, %2 to %3), the
    // refusal while the station is read, and the copy that failed (%1 why).
    QLabel *ClearAsk = nullptr;
    QLabel *ClearRefused = nullptr;
    QLabel *ClearNotCopied = nullptr;
    // What the "from" labels say while nothing is stored.
    QLabel *SinceCaption = nullptr;

    // Status bar and start-up progress panel.
    PanelStatusBar *sStatusBar1 = nullptr;
    BlinkLed *ObmenLed = nullptr;
    QFrame *TempPanel = nullptr;
    QLabel *Image7 = nullptr;
    QLabel *Label10 = nullptr;
    QLabel *Label11 = nullptr;
    QProgressBar *ProgressBar1 = nullptr;

private:
    PressurePanel pressure_;
    UvPanel uv_;
    TemperaturePanel temperature_;
    RainPanel rain_;
    WindPanel wind_;
    panel::LabelNames labelNames_;
};

}  // namespace nimbrel
