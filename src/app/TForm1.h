// The main window: a view of the station engine. It builds the panels,
// turns each snapshot the engine hands out into what the panels show
// (through the display layer's views) and passes the user's choices on to
// the engine as requests. The handler and timer names the program has
// always had stay as the ways in.
#pragma once

#include "LangTable.h"
#include "MainWindowUi.h"
#include "StationEngine.h"

#include <QWidget>
#include <functional>

class QTimer;

namespace nimbrel {

// The altitude typed into the edit, in metres: a whole number whose
// magnitude fits the station's 16 bits; nothing otherwise.
std::optional<int> parseAltitude(const QString &text);

class StatusView;

class TForm1 : public QWidget {
    Q_OBJECT
public:
    explicit TForm1(StationEngine &engine, QWidget *parent = nullptr);
    ~TForm1() override;

    // Start-up: opens the engine's tables, applies the stored choices, loads
    // the link library and starts the engine. False when the program must
    // end (the library could not be loaded or lacks an operation); the
    // message has been shown.
    bool FormCreate();
    // Shut-down: hands the last choices to the engine and shuts it down. Once.
    void FormDestroy();

    // Message boxes go through here so tests and diagnostic runs can catch them.
    void setMessageSink(std::function<void(const QString &)> sink) { messageSink_ = std::move(sink); }

    StationEngine &engine() { return engine_; }
    // What the window shows: the engine's latest snapshot.
    const Measurement &measurement() const { return shown_->record; }
    const StationSummary &summary() const { return shown_->summary; }

    // The display refresh: rewrites every value from the snapshot shown.
    void RefreshDisplay();
    // Shows a snapshot as the engine hands it out.
    void showSnapshot(const SnapshotPtr &snapshot);
    // How long the last RefreshDisplay took, in milliseconds.
    double lastRefreshMs() const { return lastRefreshMs_; }

    // Unit and channel selectors: each passes every unit and the channel to
    // the engine and redraws its panels.
    void TempEdBoxChange();
    void PressureEdBoxChange();
    void SpeedEdBoxChange();
    void RainEdBoxChange();
    void UVIEdBoxChange();
    void RainBoxChange();
    void CHBoxChange();
    // The extremes' times and the pressure extremes.
    void ScanRecordedExtremes();

    // The engine's timers under their names, and the window's clock labels.
    void Timer1Timer();
    void Timer2Timer();
    void Timer3Timer();
    void Timer4Timer();
    void Timer5Timer();
    void Form2Timer1Timer();
    void Form2Timer2Timer();
    void BitBtn1Click();
    void Panel4Click() {}
    // "Clear the stored history": asks first (the answer's default keeps
    // it), naming the number of records and their span.
    void N1Click();
    // The station settings.
    void SpeedButton1Click();
    void PeriodBoxChange();
    // The menu's "Export history…" and "Open data folder".
    void ExportHistoryItemClick();
    void OpenDataFolderItemClick();
    void IsUserCityClick();
    void CityBoxChange();
    // The language switch: the engine's language, this window's texts.
    void LangBoxChange();

    // The controls a full read started by the poll disables.
    QList<QWidget *> pollLockedControls() const;

Q_SIGNALS:
    void displayRefreshed();
    // The user asked for the history window (HistoryTemp).
    void historyRequested();

private:
    struct DisplayViews;

    // Steps of the display refresh.
    void showHistoryInterval();
    UnitChoices takeUnitChoices();
    DisplayViews currentViews(const StationSnapshot &s, const UnitChoices &units);
    void connectSelectors();

    // Location, calendar and sky.
    void refreshLocation();
    void refreshSky();
    void keepLocation();

    void showSinceCaptions();
    // Month and weekday names of the chosen language.
    QLocale dateLocale() const;

    // Clearing the history, once the user said yes.
    void clearConfirmed();

    void showMessage(const QString &text);
    void showFileError();
    QDateTime now() const { return engine_.now(); }

    StationEngine &engine_;
    SnapshotPtr shown_;
    std::function<void(const QString &)> messageSink_;
    bool destroyed_ = false;
    bool storeFailureShown_ = false;
    bool headerCopyFailureShown_ = false;
    QString sinceShown_;  // the "from" caption last put into the labels
    double lastRefreshMs_ = 0;
    StatusView *status_ = nullptr;
    QTimer *Timer5 = nullptr;

public:
    // Every component of the window, by name.
    MainWindowUi ui;
};

}  // namespace nimbrel
