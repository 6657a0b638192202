// The main window's display: the refresh that rewrites every value from the
// snapshot shown, the unit and channel selectors, and the recorded
// extremes. What each panel shows comes from the display layer's views of
// the snapshot; this file only decides when which part is written.
#include "TForm1.h"

#include "ExtremesView.h"
#include "PanelStatusBar.h"
#include "PressureView.h"
#include "TemperatureView.h"
#include "UvView.h"

#include <QComboBox>
#include <QElapsedTimer>
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
    const DisplayViews views = currentViews(*shown_, units);
    showReadingsTime();                                         // 3
    refreshCalendar();                                          // 4
    refreshLocation();                                          // 5
    refreshDaylightSavingLabel();                               // 6
    showPressureReadings(views.pressure);                       // 7
    ui.temperature().showIndoorReadings(views.temperature);     // 8
    ui.temperature().showChannelReadings(views.temperature);    // 9
    ui.temperature().showThermometers(views.temperature);       // 10
    ui.uv().showReading(views.uv);                              // 11
    ui.wind().showDirection(views.wind);                        // 12
    refreshCoordinateEdits();                                   // 13
    refreshSky();
    ui.pressure().showForecast(views.pressure);                 // 14
    ui.pressure().showChart(views.pressure);                    // 15
    ui.uv().showChart(views.uv);                                // 16
    ui.wind().showChart(views.wind);                            // 17
    ui.temperature().showDewPointsAndComfort(views.temperature);  // 18
    showBatteries(views);                                       // 19
    ui.rain().showReadings(views.rain);                         // 20
    showTrends(views);                                          // 21
    ui.wind().showReadings(views.wind);                         // 22
    runUnitHandlers(views);                                     // 23
    ScanRecordedExtremes();

    lastRefreshMs_ = double(elapsed.nsecsElapsed()) / 1e6;
    Q_EMIT displayRefreshed();
}

// ---- Steps of the refresh -----------------------------------------------------

void TForm1::showHistoryInterval()
{
    // The history interval the station stores records at (codes 1..11).
    const int period = shown_->stationPeriodCode - 1;
    if (period >= 0 && period < ui.PeriodBox->count()) {
        const QSignalBlocker block(ui.PeriodBox);
        ui.PeriodBox->setCurrentIndex(period);
    }
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

void TForm1::showReadingsTime()
{
    // The time stamp of the newest readings, not the computer's clock.
    const QDateTime &dat = measurement().Dat;
    ui.sStatusBar1->setPanelText(
        2, QLocale().toString(dat.date(), QLocale::ShortFormat) + QLatin1Char(' ') + dat.toString(QStringLiteral("h:mm")));
}

void TForm1::showPressureReadings(const PressureView &view)
{
    ui.pressure().showReadings(view);
    ui.PressLevel->setText(QString::number(view.PressLevel));
}

void TForm1::showBatteries(const DisplayViews &views)
{
    ui.uv().showBattery(views.uv);
    ui.wind().showBattery(views.wind);
    ui.rain().showBattery(views.rain);
    ui.temperature().showBattery(views.temperature);
}

void TForm1::showTrends(const DisplayViews &views)
{
    ui.pressure().showTrend(views.pressure);
    ui.temperature().showTrends(views.temperature);
}

// The unit handlers in their order (the rain one twice, as designed), from
// the views of this refresh: the choices have not changed since it began.
void TForm1::runUnitHandlers(const DisplayViews &views)
{
    showTemperatureUnit(views.temperature);
    showPressureUnit(views.pressure);
    showRainUnit(views.rain);
    showRainUnit(views.rain);
    ui.uv().show(views.uv);
    ui.wind().show(views.wind);
}

void TForm1::ScanRecordedExtremes()
{
    const ExtremesView view = extremesView(measurement(), shown_->extremes);
    ui.pressure().showExtremes(view);
    ui.temperature().showExtremes(view);
    ui.wind().showExtremes(view);
}

// ---- What each unit handler redraws -------------------------------------------

// Both sides of the temperature box (the channel's thermometer and extremes
// too) and the wind chill.
void TForm1::showTemperatureUnit(const TemperatureView &view)
{
    ui.temperature().show(view);
    ui.wind().showWindChill(formatWindChill(measurement(), measurement().TemperatureUnit),
                            view.TemperatureUnitPicture);
}

void TForm1::showPressureUnit(const PressureView &view)
{
    ui.pressure().show(view);
    ui.pressure().showPressureExtremes(formatMaxPressure(measurement()), formatMinPressure(measurement()));
}

void TForm1::showRainUnit(const RainView &view)
{
    ui.rain().showReadings(view);
    ui.rain().showUnit(view);
}

// ---- Selector handlers ------------------------------------------------------------
//
// Without a station they redraw from the last stored values: the snapshot
// holds them whether or not a station is attached.

void TForm1::TempEdBoxChange()
{
    const UnitChoices units = takeUnitChoices();
    showTemperatureUnit(temperatureView(measurement(), summary(), units));
}

void TForm1::PressureEdBoxChange()
{
    const UnitChoices units = takeUnitChoices();
    showPressureUnit(pressureView(measurement(), summary(), units));
}

void TForm1::SpeedEdBoxChange()
{
    const UnitChoices units = takeUnitChoices();
    ui.wind().show(windView(measurement(), summary(), shown_->wind, units));
}

void TForm1::RainEdBoxChange()
{
    takeUnitChoices();
    showRainUnit(rainView(measurement(), summary(), shown_->rain, ui.rain().periodBox()->currentIndex()));
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
}

// The new channel's temperature, humidity, comfort word and battery at
// once; its thermometer, dew point and extremes follow at the next refresh.
void TForm1::CHBoxChange()
{
    const UnitChoices units = takeUnitChoices();
    ui.temperature().showChannelChoice(channelSide(measurement(), summary(), units));
}

}  // namespace nimbrel
