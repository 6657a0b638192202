// The main window: owns the station mirror, the current records, the link
// library and the timers that drive the program, and shows everything.
#pragma once

#include "AppContext.h"
#include "DisplayRules.h"
#include "PressureView.h"
#include "RainView.h"
#include "TemperatureView.h"
#include "UvView.h"
#include "WindView.h"
#include "HistoryStore.h"
#include "Location.h"
#include "Decoding.h"
#include "SettingsStore.h"
#include "LinkLibrary.h"
#include "MainWindowUi.h"
#include "Measurement.h"
#include "Recorder.h"
#include "StationExchange.h"
#include "StationImage.h"
#include "StationSummary.h"

#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>

class QLabel;
class QMenu;
class QAction;
class QProgressBar;
class QPushButton;
class QComboBox;
class QCheckBox;
class QScrollArea;
class QFrame;
class QGroupBox;
class QTimer;
class QAbstractSpinBox;
class QLineEdit;

namespace nimbrel {

// The altitude typed into the edit, in metres: a whole number whose
// magnitude fits the station's 16 bits; nothing otherwise.
std::optional<int> parseAltitude(const QString &text);

class BlinkLed;
class CityTable;
class PanelStatusBar;

class TForm1 : public QWidget {
    Q_OBJECT
public:
    explicit TForm1(const AppContext &context, QWidget *parent = nullptr);
    ~TForm1() override;

    // Start-up. False when the program must end (the link library could not
    // be loaded or lacks an operation); the message has been shown.
    bool FormCreate();
    // Shut-down: closes the device and unloads the library. Runs once.
    void FormDestroy();
    // The shut-down saves neither the settings nor the city table: a run
    // that was refused leaves them as they were.
    void keepStoredSettings() { keepStoredSettings_ = true; }

    // Tests plug a scripted link in place of the loaded library.
    void useLink(const LinkApi &api);
    // Message boxes go through here so tests and diagnostic runs can catch them.
    void setMessageSink(std::function<void(const QString &)> sink) { messageSink_ = std::move(sink); }

    Recorder &recorder() { return *recorder_; }
    StationImage &image() { return recorder_->image(); }
    const Measurement &measurement() const { return recorder_->measurement(); }
    const StationSummary &summary() const { return recorder_->summary(); }
    int slotsTakenOver() const { return recorder_->slotsTakenOver(); }
    HistoryStore *history() const { return history_.get(); }
    const Settings &storedSettings() const { return settings_; }
    QString filePath(const QString &name) const;
    // What is wrong with the table files found at start-up, one sentence per
    // file (empty when all are well), for the status bar.
    QString tableProblems() const { return tableProblems_; }

    // A plain-text account of the current conditions, for the console.
    QString conditionsSummary() const;

    // The display refresh: rewrites every value from the current records.
    void RefreshDisplay();
    // How long the last RefreshDisplay took, in milliseconds.
    double lastRefreshMs() const { return lastRefreshMs_; }

    // Unit and channel selectors (a user's choice runs them; so does the
    // refresh at its end). Each takes every unit and the channel from the
    // selectors and redraws its panels from the records.
    void TempEdBoxChange();
    void PressureEdBoxChange();
    void SpeedEdBoxChange();
    void RainEdBoxChange();
    void UVIEdBoxChange();
    void RainBoxChange();
    void CHBoxChange();
    // The extremes' times and the pressure extremes from the history.
    void ScanRecordedExtremes();

    // Timer handlers.
    void Timer1Timer();
    void Timer2Timer();
    void Timer3Timer();
    void Timer4Timer();
    void Timer5Timer();
    void Form2Timer1Timer();
    void Form2Timer2Timer();
    void BitBtn1Click();
    void Panel4Click() {}
    void N1Click();
    // The station settings.
    void SpeedButton1Click();
    void PeriodBoxChange();
    // The menu's "Export history…" and "Open data folder" (TForm1Menu.cpp).
    void ExportHistoryItemClick();
    void OpenDataFolderItemClick();
    void IsUserCityClick();
    void CityBoxChange();
    // The language switch: puts the texts of the language chosen in LangBox
    // into both windows (the history window once it has announced itself).
    void LangBoxChange();
    // Called by the history window from its own creation: the main window
    // remembers it and runs LangBoxChange, which now translates both windows.
    void HistoryWindowCreated(QWidget *form3);

    // The controls a full read started by the poll disables.
    QList<QWidget *> pollLockedControls() const;

Q_SIGNALS:
    void displayRefreshed();
    void historyCleared();

private:
    struct DisplayViews;

    // Steps of the display refresh.
    void showHistoryInterval();
    UnitChoices takeUnitChoices();
    DisplayViews currentViews(const UnitChoices &units);
    void showReadingsTime();
    void showPressureReadings(const DisplayViews &views);
    void showBatteries(const DisplayViews &views);
    void showRain(const RainView &view);
    void showTrends(const DisplayViews &views);
    void runUnitHandlers(const DisplayViews &views);
    // What each unit handler redraws, from views of the current choices.
    void showTemperatureUnit(const TemperatureView &view);
    void showPressureUnit(const PressureView &view);
    void showRainUnit(const RainView &view);
    void showSpeedUnit(const WindView &view);
    void showUvUnit(const UvView &view);
    Measurement &shownMeasurement() { return recorder_->measurement(); }
    void connectSelectors();

    void buildWindow();
    void buildProgressPanel();
    void buildStatusBar();
    void buildSettingsStrip();
    void createTimers();
    void connectRecorder();
    void showMessage(const QString &text);
    void setLed(int colorIndex, bool blinking);
    void openDevice();
    void openTables();
    QDateTime now() const;

    // Location, calendar and sky.
    void checkTranslationTable();
    void openCityTable();
    void fillCityBox();
    std::optional<LocationOverride> userCityOverride() const;
    astro::Location currentLocation() const;
    void refreshCalendar();
    void refreshLocation();
    void refreshDaylightSavingLabel();
    void refreshCoordinateEdits();
    void refreshSky();
    void saveCityTable();
    void applySettings();
    void saveSettings();
    void showFileError();
    void showStage(ReadStage stage, int attempt = 1);
    void showFullRead(bool active);
    void showConnection(bool connected);
    void showLinkState();
    void showWriteResult(int address, WriteError error);
    // A message in the status bar's first panel, which shows the link state
    // again after a while.
    void showStatusMessage(const QString &text);

    AppContext context_;
    std::function<void(const QString &)> messageSink_;

    // Data model.
    LinkLibrary library_;
    LinkApi linkApi_;
    bool linkInjected_ = false;
    USBHandle deviceHandle_ = nullptr;
    std::unique_ptr<HistoryStore> history_;
    std::unique_ptr<SettingsStore> settingsStore_;
    std::unique_ptr<CityTable> cityTable_;
    QString tableProblems_;
    QPointer<QWidget> historyWindow_;
    Settings settings_;  // as stored; CityCode and UserCoord change only at shut-down
    std::unique_ptr<Recorder> recorder_;
    ReadStage stage_ = ReadStage::LoadingFromStation;
    bool destroyed_ = false;
    bool linkStateShown_ = false;  // status panel 0 holds the link state, not its caption
    bool storeFailureShown_ = false;
    bool headerCopyFailureShown_ = false;
    bool keepStoredSettings_ = false;
    double lastRefreshMs_ = 0;
    QTimer *statusMessageTimer_ = nullptr;

    // Timers.
    QTimer *Timer1 = nullptr;
    QTimer *Timer2 = nullptr;
    QTimer *Timer3 = nullptr;
    QTimer *Timer4 = nullptr;
    QTimer *Timer5 = nullptr;
    QTimer *Form2Timer1 = nullptr;
    QTimer *Form2Timer2 = nullptr;

public:
    // Every component of the window's regions, by name.
    MainWindowUi ui;

    // Components read by the code (the rest are found by name).
    QScrollArea *ScrollBox1 = nullptr;
    QFrame *Panel1 = nullptr;
    QFrame *Panel4 = nullptr;
    QFrame *TempPanel = nullptr;
    QLabel *Image7 = nullptr;
    QLabel *Label10 = nullptr;
    QLabel *Label11 = nullptr;
    QProgressBar *ProgressBar1 = nullptr;
    PanelStatusBar *sStatusBar1 = nullptr;
    BlinkLed *ObmenLed = nullptr;
    QPushButton *BitBtn1 = nullptr;
    QMenu *PopupMenu1 = nullptr;
    QAction *N1 = nullptr;
    QAction *ExportHistoryItem = nullptr;
    QAction *OpenDataFolderItem = nullptr;
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
    QLabel *LocalDate = nullptr;
    QLabel *LocalTime = nullptr;
    QComboBox *TempEdBox = nullptr;
    QComboBox *PressureEdBox = nullptr;
    QComboBox *SpeedEdBox = nullptr;
    QComboBox *RainEdBox = nullptr;
    QComboBox *PeriodBox = nullptr;
    QComboBox *UVIEdBox = nullptr;
    QComboBox *LangBox = nullptr;
    QPushButton *SpeedButton1 = nullptr;
    QLineEdit *PressLevel = nullptr;
    QPushButton *HistoryTemp = nullptr;
};

}  // namespace nimbrel
