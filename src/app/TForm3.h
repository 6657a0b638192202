// The history window. Created at start-up after the main window and kept
// until the program ends; the main window's HistoryTemp button shows it,
// modal and maximised, with six stacked charts of the stored history over a
// day, a week, a month, a year or all of it, ending on a chosen date.
//
// The charts hold only the visible stretch of time, reduced to about two
// points per pixel column, and are read again whenever that stretch changes
// (interval, date, zoom, pan) or a selector changes what they plot, so ten
// years of five-minute records open and switch as fast as a day.
#pragma once

#include "HistoryChart.h"
#include "HistoryInterval.h"
#include "HistorySource.h"
#include "HistoryTime.h"
#include "Measurement.h"

#include <QJsonObject>
#include <QLocale>
#include <QWidget>
#include <array>
#include <functional>

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QTimer;

namespace nimbrel {

class HistoryStore;
class PanelStatusBar;
class StationEngine;

class TForm3 : public QWidget {
    Q_OBJECT
public:
    explicit TForm3(QWidget *parent = nullptr);

    // Where the window reads: the committed history, the current readings
    // (their time ends the window on opening) and the day to show when there
    // are none.
    void setHistory(std::function<const HistoryStore *()> history);
    void setReadings(std::function<Measurement()> readings);
    void setToday(std::function<QDate()> today);
    // Subscribes the window to the engine: its history and readings, new
    // records, the clearing of the history and the language.
    void connectTo(StationEngine &engine);

    // Handlers, named as the designers named them.
    void HistoryTempClick();  // prepares and shows the window
    void FormCreate();
    void IntervalBoxChange();
    void DateTimePicker1Change();
    void ComboBox1Change();
    void PressureEdBoxChange();
    void TempEdBoxChange();
    void CHBoxChange();
    void CH1BoxChange();
    void SpeedEdBoxChange();
    void RainEdBoxChange();
    void UVIEdBoxChange();
    void CheckBox1Click();  // every check box ends with the layout
    // A new record was stored: the charts and the rain are read again, the
    // time window stays.
    void recordTaken();

    history::PlainSeconds windowStart() const { return start_; }
    history::PlainSeconds windowEnd() const { return end_; }

    // Diagnostics: the opening's time, and each interval item's switch after
    // opening (then back to the item that was shown).
    double openMs() const { return openMs_; }
    QJsonObject measureIntervalSwitches();

    // Components.
    QWidget *Panel3 = nullptr;
    QCheckBox *CheckBox1 = nullptr, *CheckBox2 = nullptr, *CheckBox3 = nullptr, *CheckBox4 = nullptr;
    QCheckBox *CheckBox5 = nullptr, *CheckBox6 = nullptr, *CheckBox7 = nullptr, *CheckBox8 = nullptr;
    QLabel *Label1 = nullptr, *Label2 = nullptr;
    QComboBox *IntervalBox = nullptr;
    QDateEdit *SelDate = nullptr;
    QWidget *PressurePanel = nullptr, *TemperPanel = nullptr, *HumPanel = nullptr;
    QWidget *WindPanel = nullptr, *RainPanel = nullptr, *UVIPanel = nullptr;
    HistoryChart *PressureChart = nullptr, *TempChart = nullptr, *HumChart = nullptr;
    HistoryChart *WindChart = nullptr, *RainChart = nullptr, *UVIChart = nullptr;
    QComboBox *PressureEdBox = nullptr, *TempEdBox = nullptr, *CHBox = nullptr, *CH1Box = nullptr;
    QComboBox *SpeedEdBox = nullptr, *RainEdBox = nullptr, *ComboBox1 = nullptr, *UVIEdBox = nullptr;
    PanelStatusBar *sStatusBar1 = nullptr;

protected:
    void resizeEvent(QResizeEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    enum Chart { Pressure, Temper, Hum, Wind, Rain, Uvi, ChartCount };
    // Pixels: one row of the tool bar, each further row of check boxes, the
    // period strip at its right and the status bar.
    static constexpr int kToolBarHeight = 33;
    static constexpr int kCheckRowHeight = 26;
    static constexpr int kPeriodStripWidth = 380;
    static constexpr int kStatusBarHeight = 22;
    void build();
    QComboBox *selector(QWidget *panel, const char *name, const QStringList &items, int x, int width);
    std::vector<history::PlotField> fieldsOf(Chart chart) const;
    HistoryChart *chart(Chart c) const;
    // Reads the charts' points for their current time range.
    void readChart(Chart c);
    void readAllCharts();
    void showHint(Chart c, const QPoint &position);
    void layoutPanels();
    // One left margin for every shown chart: the widest value labels'.
    void alignCharts();
    void showReadingsTime(const QDateTime &recordTime);
    history::Interval interval() const;
    void translate(const StationEngine &engine, int language);
    // The channel boxes' items and the channel series' titles with the
    // channels' names ([channels] of nimbrel.ini).
    void showChannelNames();

    history::HistorySource source_;
    std::function<const HistoryStore *()> history_;
    std::function<Measurement()> readings_;
    std::function<QDate()> today_;
    std::function<QDateTime()> clock_;  // the computer's time, as the engine reads it
    QLocale dateLocale_;                // dates in the chosen language
    history::PlainSeconds start_ = 0;
    history::PlainSeconds end_ = history::kSecondsPerDay - 1;
    int intervalIndex_ = static_cast<int>(history::Interval::Week);
    QTimer *rereadTimer_ = nullptr;
    bool rereadPending_[ChartCount] = {};
    double openMs_ = -1;
    int checksRight_ = 0;  // where the check boxes end
    int chartMargin_ = -1;  // the left margin every chart has now
    QWidget *periodStrip_ = nullptr;
    std::array<QString, 5> channelNames_;
    // The channel series' titles in the language shown, without a name:
    // temperature and humidity.
    std::array<QString, 2> channelSeriesTitles_;
};

}  // namespace nimbrel
