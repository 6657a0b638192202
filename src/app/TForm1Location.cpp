// The main window's location, calendar and sky: the city table and the
// location controls, the calendar labels, the daylight-saving label and the
// sun-and-moon box.
#include "TForm1.h"

#include "StationCity.h"

#include "CalendarFields.h"
#include "CityTable.h"
#include "DateFormat.h"
#include "DaylightSaving.h"
#include "Decoding.h"
#include "PictureBox.h"
#include "SkyLabels.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QSpinBox>

namespace nimbrel {

QDateTime TForm1::now() const
{
    return context_.clock ? context_.clock->now() : QDateTime::currentDateTime();
}

void TForm1::openCityTable()
{
    const QString path = filePath(QStringLiteral("citycodes"));
    // First start in this folder: begin with the city table the program ships.
    if (!context_.defaultCityTable.isEmpty())
        installDefaultCityTable(context_.defaultCityTable, path);
    // A damaged table is replaced by the shipped one, not an empty one.
    CityTable::Opened opened = CityTable::open(path, now(), context_.defaultCityTable);
    const QString sentence = tableProblemSentence(QStringLiteral("citycodes"), opened.problem, opened.setAside, bool(opened.table));
    if (!sentence.isEmpty()) {
        qWarning("%s (%s)", qPrintable(sentence), qPrintable(opened.error));
        tableProblems_ += (tableProblems_.isEmpty() ? QString() : QStringLiteral(" ")) + sentence;
    }
    cityTable_ = std::move(opened.table);
}

void TForm1::fillCityBox()
{
    QComboBox *box = ui.CityBox;
    const QSignalBlocker block(box);
    box->clear();
    if (!cityTable_)
        return;
    for (const CityRow &row : cityTable_->rows())
        box->addItem(row.Name, row.Code);
    // The list reads alphabetically; each item keeps its city's code.
    box->model()->sort(0);
    box->setCurrentIndex(-1);
}

void TForm1::IsUserCityClick()
{
    const bool user = ui.IsUserCity->isChecked();
    ui.CityBox->setEnabled(user);
    const bool editable = user && ui.CityBox->currentText() == userDefinedCityName();
    for (QWidget *w : ui.coordinateControls())
        w->setEnabled(editable);
}

std::optional<LocationOverride> TForm1::userCityOverride() const
{
    if (!ui.IsUserCity->isChecked() || !cityTable_)
        return std::nullopt;
    const std::optional<CityRow> row = cityTable_->find(settings_.CityCode);
    if (!row)
        return std::nullopt;
    LocationOverride o;
    o.LatMin = row->LatMin;
    o.LatSec = row->LatSec;
    o.LongMin = row->LongMin;
    o.LongSec = row->LongSec;
    o.Hemispheres = row->IsLon + 2 * row->IsLat;
    o.TimeZone = row->TimeZone;
    return o;
}

void TForm1::CityBoxChange()
{
    if (ui.CityBox->currentIndex() >= 0 && cityTable_) {
        if (const std::optional<CityRow> row = cityTable_->find(ui.CityBox->currentData().toInt())) {
            ui.LatitudeLM->setValue(row->LatMin);
            ui.LatitudeLS->setValue(row->LatSec);
            ui.LongitudeLM->setValue(row->LongMin);
            ui.LongitudeLS->setValue(row->LongSec);
            ui.LocBox1->setCurrentIndex(row->IsLat);
            ui.LocBox2->setCurrentIndex(row->IsLon);
            ui.TL->setValue(row->TimeZone);
            recorder_->summary().LatMin = ui.LatitudeLM->value();
            recorder_->summary().LatSec = ui.LatitudeLS->value();
            recorder_->summary().LongMin = ui.LongitudeLM->value();
            recorder_->summary().LongSec = ui.LongitudeLS->value();
            recorder_->summary().Hemispheres = ui.LocBox2->currentIndex() + 2 * ui.LocBox1->currentIndex();
            recorder_->summary().TimeZone = ui.TL->value();
        }
    }
    refreshSky();
    update();
}

astro::Location TForm1::currentLocation() const
{
    return {recorder_->summary().LatMin,      recorder_->summary().LatSec,   recorder_->summary().LongMin, recorder_->summary().LongSec,
            recorder_->summary().Hemispheres, recorder_->summary().TimeZone, recorder_->summary().DstCode};
}

void TForm1::refreshCalendar()
{
    const QDate today = now().date();
    ui.WeekDayL->setText(astro::WeekdayText(today, QLocale()));
    ui.NumWeekL->setText(QString::number(astro::WeekNumber(today)));
    ui.NumDayL->setText(astro::DayOfYearText(today));
}

void TForm1::refreshLocation()
{
    ui.LocBox1->setCurrentIndex(recorder_->summary().Hemispheres < 2 ? 0 : 1);
    ui.LocBox2->setCurrentIndex(recorder_->summary().Hemispheres == 1 || recorder_->summary().Hemispheres == 3 ? 1 : 0);
    ui.TL->setValue(recorder_->summary().TimeZone);

    QComboBox *box = ui.CityBox;
    if (ui.IsUserCity->isChecked()) {
        // Selected by the stored code; the last item with it wins.
        int selected = -1;
        for (int i = 0; i < box->count(); ++i)
            if (box->itemData(i).toInt() == settings_.CityCode)
                selected = i;
        if (selected >= 0) {
            const QSignalBlocker block(box);
            box->setCurrentIndex(selected);
        }
        return;
    }
    // Before any station header has been read the header fields are filler:
    // the saved choice of city stands in. Afterwards the station's code names
    // one of our cities only when that city lies where the station says.
    const bool stationKnown = recorder_->headerRead();
    const int code = stationKnown ? recorder_->summary().CityCode : settings_.CityCode;
    std::optional<CityRow> row = cityTable_ ? cityTable_->find(code) : std::nullopt;
    if (row && stationKnown && !astro::cityFitsStation(*row, currentLocation()))
        row.reset();
    const int index = row ? box->findText(row->Name, Qt::MatchFixedString) : -1;
    {
        const QSignalBlocker block(box);
        box->setCurrentIndex(index);
    }
    if (index >= 0)
        CityBoxChange();
}

void TForm1::refreshDaylightSavingLabel()
{
    if (const std::optional<QString> name = astro::DaylightSavingRuleName(recorder_->summary().DstCode))
        ui.DSTL->setText(*name);
}

void TForm1::refreshCoordinateEdits()
{
    ui.LatitudeLM->setValue(recorder_->summary().LatMin);
    ui.LatitudeLS->setValue(recorder_->summary().LatSec);
    ui.LongitudeLM->setValue(recorder_->summary().LongMin);
    ui.LongitudeLS->setValue(recorder_->summary().LongSec);
}

void TForm1::refreshSky()
{
    const astro::SkyLabels sky =
        astro::skyLabels(currentLocation(), astro::momentOf(now()), astro::momentOf(recorder_->summary().RecordTime));
    recorder_->summary().SunRise = sky.sun.rise;
    recorder_->summary().SunSet = sky.sun.set;
    recorder_->summary().MoonRise = sky.moon.rise;
    recorder_->summary().MoonSet = sky.moon.set;
    ui.timeLocation().show(sky);
}

void TForm1::saveCityTable()
{
    if (!cityTable_)
        return;
    QComboBox *box = ui.CityBox;
    if (box->currentText() == userDefinedCityName() && ui.IsUserCity->isChecked() && box->currentIndex() >= 0) {
        if (!cityTable_->updateUserDefined(box->currentData().toInt(), ui.LatitudeLM->value(), ui.LatitudeLS->value(),
                                           ui.LongitudeLM->value(), ui.LongitudeLS->value(),
                                           ui.LocBox1->currentIndex(), ui.LocBox2->currentIndex(), ui.TL->value()))
            qWarning("The user-defined city could not be saved: %s", qPrintable(cityTable_->lastError()));
    }
}

}  // namespace nimbrel
