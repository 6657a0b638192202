// The main window's display: the refresh that rewrites every value from the
// snapshot shown, the unit and channel selectors, and the recorded
// extremes. What each panel shows comes from the display layer's views of
// the snapshot; this file only decides when which part is written.
#include "TForm1.h"

#include "ExtremesView.h"
#include "FromTimeText.h"
#include "PanelStatusBar.h"
#include "PressureView.h"
#include "TemperatureView.h"
#include "UvView.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLocale>
#include <QLineEdit>

namespace nimbrel {

// Every panel's view for one set of unit choices, computed once per refresh.
struct TForm1::DisplayViews {
    PressureView pressure;
    TemperatureView temperature;
    UvView uv;
    WindView wind;
    RainView rain;
};

void TForm1::connectSelectors()
{
    // A choice by the user (or an --action); setting an index in code runs
    // none of them.
    connect(ui.TempEdBox, &QComboBox::activated, this, &TForm1::TempEdBoxChange);
    connect(ui.PressureEdBox, &QComboBox::activated, this, &TForm1::PressureEdBoxChange);
    connect(ui.SpeedEdBox, &QComboBox::activated, this, &TForm1::SpeedEdBoxChange);
    connect(ui.RainEdBox, &QComboBox::activated, this, &TForm1::RainEdBoxChange);
    connect(ui.UVIEdBox, &QComboBox::activated, this, &TForm1::UVIEdBoxChange);
    connect(ui.rain().periodBox(), &QComboBox::activated, this, &TForm1::RainBoxChange);
    connect(ui.temperature().channelBox(), &QComboBox::activated, this, &TForm1::CHBoxChange);
}

void TForm1::RefreshDisplay()
{
    QElapsedTimer elapsed;
    elapsed.start();

    showHistoryInterval();                                      // 1
    const UnitChoices units = takeUnitChoices();                // 2 (and 8, 9: every unit and the channel)
    const DisplayViews v = currentViews(*shown_, units);
    // 3: the time stamp of the newest readings, not the computer's clock.
    ui.sStatusBar1->setPanelText(2, lastUpdateText(measurement().Dat, now(), dateLocale()));
    ui.showCalendar(now().date(), dateLocale());                // 4
    refreshLocation();                                          // 5
    ui.showDaylightSaving(summary().DstCode);                   // 6
    ui.pressure().showReadings(v.pressure);                     // 7
    ui.PressLevel->setText(v.pressure.PressLevel ? QString::number(*v.pressure.PressLevel) : QString());
    ui.temperature().showIndoorReadings(v.temperature);         // 8
    ui.temperature().showChannelReadings(v.temperature);        // 9
    ui.temperature().showThermometers(v.temperature);           // 10
    ui.uv().showReading(v.uv);                                  // 11
    ui.wind().showDirection(v.wind);                            // 12
    ui.showCoordinates(summary());                              // 13
    refreshSky();
    ui.pressure().showForecast(v.pressure);                     // 14
    ui.pressure().showChart(v.pressure);                        // 15
    ui.uv().showChart(v.uv);                                    // 16
    ui.wind().showChart(v.wind);                                // 17
    ui.temperature().showDewPointsAndComfort(v.temperature);    // 18
    ui.uv().showBattery(v.uv);                                  // 19
    ui.wind().showBattery(v.wind);
    ui.rain().showBattery(v.rain);
    ui.temperature().showBattery(v.temperature);
    ui.rain().showReadings(v.rain);                             // 20
    ui.pressure().showTrend(v.pressure);                        // 21
    ui.temperature().showTrends(v.temperature);
    ui.wind().showReadings(v.wind);                             // 22
    // 23: the unit handlers in their order (the rain one twice, as designed),
    // from the views of this refresh; then the recorded extremes.
    ui.showTemperatureUnit(v.temperature, measurement());
    ui.showPressureUnit(v.pressure, measurement());
    ui.showRainUnit(v.rain);
    ui.showRainUnit(v.rain);
    ui.uv().show(v.uv);
    ui.wind().show(v.wind);
    ScanRecordedExtremes();

    lastRefreshMs_ = double(elapsed.nsecsElapsed()) / 1e6;
    Q_EMIT displayRefreshed();
}

// ---- Steps of the refresh -----------------------------------------------------

void TForm1::showHistoryInterval()
{
    // The history interval the station stores records at (codes 1..11).
    // Before any header has been read, or for a code outside the list,
    // nothing is chosen.
    const int period = shown_->stationPeriodCode - 1;
    const QSignalBlocker block(ui.PeriodBox);
    ui.PeriodBox->setCurrentIndex(shown_->headerRead && period >= 0 && period < ui.PeriodBox->count() ? period : -1);
}

// Every unit and the channel as the selectors show them now, passed to the
// engine, so that no value is drawn in a unit the selectors no longer show
// (a saved MED/h draws the UV picture for MED/h at the first refresh).
UnitChoices TForm1::takeUnitChoices()
{
    UnitChoices units;
    units.temperature = ui.TempEdBox->currentIndex();
    units.pressure = ui.PressureEdBox->currentIndex();
    units.speed = ui.SpeedEdBox->currentIndex();
    units.rain = ui.RainEdBox->currentIndex();
    units.uv = ui.UVIEdBox->currentIndex();
    units.channel = ui.temperature().channelBox()->currentIndex();
    engine_.setUnits(units);
    return units;
}

TForm1::DisplayViews TForm1::currentViews(const StationSnapshot &s, const UnitChoices &units)
{
    return DisplayViews{
        pressureView(s.record, s.summary, units),
        temperatureView(s.record, s.summary, units),
        uvView(s.record, s.summary),
        windView(s.record, s.summary, s.wind, units),
        rainView(s.record, s.summary, s.rain, ui.rain().periodBox()->currentIndex()),
    };
}

void TForm1::ScanRecordedExtremes()
{
    ui.showExtremes(extremesView(measurement(), shown_->extremes));
    showSinceCaptions();
}

// The views say "nothing stored yet" in the designed caption; the labels
// show it in the chosen language.
void TForm1::showSinceCaptions()
{
    static const char *const kSinceLabels[] = {"FromTempDoorLM", "FromTempDoorLN", "FromTempCHLM",
                                               "FromTempCHLN",   "FromWindSpeedL", "FromWindGustL",
                                               "FromPressureLM", "FromPressureLN", "FromRainL"};
    const QString designed = QString::fromUtf8(kFromCaption);
    for (const char *name : kSinceLabels) {
        // The caption put there before a language switch counts as the caption.
        auto *label = findChild<QLabel *>(QLatin1String(name));
        if (label && (label->text() == designed || label->text() == sinceShown_))
            label->setText(ui.SinceCaption->text());
    }
    sinceShown_ = ui.SinceCaption->text();
}

// ---- Selector handlers ------------------------------------------------------------
//
// Without a station they redraw from the last stored values: the snapshot
// holds them whether or not a station is attached.

void TForm1::TempEdBoxChange()
{
    const UnitChoices units = takeUnitChoices();
    ui.showTemperatureUnit(temperatureView(measurement(), summary(), units), measurement());
}

void TForm1::PressureEdBoxChange()
{
    const UnitChoices units = takeUnitChoices();
    ui.showPressureUnit(pressureView(measurement(), summary(), units), measurement());
}

void TForm1::SpeedEdBoxChange()
{
    const UnitChoices units = takeUnitChoices();
    ui.wind().show(windView(measurement(), summary(), shown_->wind, units));
}

void TForm1::RainEdBoxChange()
{
    takeUnitChoices();
    ui.showRainUnit(rainView(measurement(), summary(), shown_->rain, ui.rain().periodBox()->currentIndex()));
    showSinceCaptions();
}

// The reading, the picture chosen for the value in the new unit, the chart.
void TForm1::UVIEdBoxChange()
{
    takeUnitChoices();
    ui.uv().show(uvView(measurement(), summary()));
}

void TForm1::RainBoxChange()
{
    takeUnitChoices();
    ui.rain().showPeriod(rainPeriodView(summary(), measurement().RainUnit, ui.rain().periodBox()->currentIndex()));
    showSinceCaptions();
}

// The whole channel side for the new channel at once: readings, dew point,
// comfort word, thermometer, extremes with their times, trends, battery.
void TForm1::CHBoxChange()
{
    const UnitChoices units = takeUnitChoices();
    Measurement shown = measurement();
    applyUnitChoices(shown, units);
    ui.temperature().showChannelChoice(channelSide(shown, summary(), units), extremesView(shown, shown_->extremes));
    showSinceCaptions();
}

}  // namespace nimbrel
