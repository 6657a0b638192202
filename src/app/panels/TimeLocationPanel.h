// The time and location boxes of the left column: clock, date and calendar
// fields with the location controls (GroupBox4), and sunrise, sunset, day
// length, moonrise, moonset, the Earth and the moon phase (GroupBox2).
//
// Unlike the measurement panels these boxes are mostly controls: the
// window's location code reads and writes the city box, the coordinate edits
// and the time zone directly, so they are public.
#pragma once

#include <QLocale>

#include "Component.h"
#include "PanelKit.h"
#include "CityTable.h"
#include "Decoding.h"
#include "SkyLabels.h"
#include "StationSummary.h"

#include <QList>
#include <QWidget>

class QAbstractSpinBox;
class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QGroupBox;
class QLabel;
class QSpinBox;
class QToolButton;

namespace nimbrel {

class PictureBox;

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

class TimeLocationPanel {
public:
    void build(QGroupBox *timeBox, QGroupBox *skyBox, panel::LabelNames &names);

    // Sun and moon times, day length and the two pictures.
    void show(const astro::SkyLabels &sky);
    // The weekday (named in `locale`), week number and day of the year of `today`.
    void showCalendar(const QDate &today, const QLocale &locale);
    // The hemispheres, time zone and coordinates of a location, and the
    // name of its daylight-saving rule (kept when the code has none).
    void showHemispheresAndZone(const StationSummary &s);
    void showCoordinates(const StationSummary &s);
    void showDaylightSaving(int dstCode);
    // The city box's items, alphabetically, each with its city's code; none selected.
    void fillCities(const std::vector<CityRow> &rows);
    // A city's location into the controls; the location as they now show it.
    LocationOverride showCity(const CityRow &row);

    // The controls that edit the location by hand; they start disabled.
    QList<QWidget *> coordinateControls() const;

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

private:
    void buildTimeAndLocation(QGroupBox *g, panel::LabelNames &names);
    void buildSunAndMoon(QGroupBox *g, panel::LabelNames &names);
};

}  // namespace nimbrel
