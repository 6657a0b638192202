// The main window's location, calendar and sky: the city box and the
// location controls, the calendar labels, the daylight-saving label and the
// sun-and-moon box. Which city and location are shown is the engine's;
// the window selects, shows and passes the user's choice on.
#include "TForm1.h"

#include "CalendarMoment.h"
#include "SkyLabels.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QSpinBox>

namespace nimbrel {

void TForm1::IsUserCityClick()
{
    const bool user = ui.IsUserCity->isChecked();
    engine_.setUserCity(user);
    ui.CityBox->setEnabled(user);
    const bool editable = user && ui.CityBox->currentText() == userDefinedCityName();
    for (QWidget *w : ui.coordinateControls())
        w->setEnabled(editable);
}

void TForm1::CityBoxChange()
{
    const CityTable *table = engine_.cityTable();
    if (ui.CityBox->currentIndex() >= 0 && table) {
        if (const std::optional<CityRow> row = table->find(ui.CityBox->currentData().toInt())) {
            // The engine's new snapshot redraws the sky.
            engine_.showLocation(ui.showCity(*row));
            return;
        }
    }
    refreshSky();
    update();
}

void TForm1::refreshLocation()
{
    ui.showHemispheresAndZone(summary());

    QComboBox *box = ui.CityBox;
    const std::optional<CityRow> row = engine_.shownCity();
    if (ui.IsUserCity->isChecked()) {
        // Selected by the kept code; the last item with it wins.
        int selected = -1;
        for (int i = 0; row && i < box->count(); ++i)
            if (box->itemData(i).toInt() == row->Code)
                selected = i;
        if (selected >= 0) {
            const QSignalBlocker block(box);
            box->setCurrentIndex(selected);
        }
        return;
    }
    const int index = row ? box->findText(row->Name, Qt::MatchFixedString) : -1;
    {
        const QSignalBlocker block(box);
        box->setCurrentIndex(index);
    }
    if (index >= 0)
        CityBoxChange();
}

void TForm1::refreshSky()
{
    const StationSummary &s = summary();
    const astro::Location location{s.LatMin, s.LatSec, s.LongMin, s.LongSec, s.Hemispheres, s.TimeZone, s.DstCode};
    ui.timeLocation().show(astro::skyLabels(location, astro::momentOf(now()), astro::momentOf(s.RecordTime)));
}

// The city for the next start, and the coordinates typed for the
// user-defined city.
void TForm1::keepLocation()
{
    QComboBox *box = ui.CityBox;
    if (box->currentIndex() < 0)
        return;
    engine_.keepCity(box->currentData().toInt());
    if (box->currentText() == userDefinedCityName() && ui.IsUserCity->isChecked())
        engine_.keepUserDefinedCity({box->currentData().toInt(), ui.LatitudeLM->value(), ui.LatitudeLS->value(),
                                     ui.LongitudeLM->value(), ui.LongitudeLS->value(), ui.LocBox1->currentIndex(),
                                     ui.LocBox2->currentIndex(), ui.TL->value()});
}

}  // namespace nimbrel
