// The location the sky is computed for: the station's own, a city of the
// city table, or coordinates the user typed in; and the calendar, sun and
// moon labels that follow from it.
#include "CityTable.h"
#include "SettingsStore.h"
#include "TForm1.h"
#include "MainWindowUi.h"
#include "PictureBox.h"
#include "support/SimLink.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace nimbrel;
using nimbrel::test::SimLink;

namespace {

// A window on the simulated station with the program's clock fixed at
// `clock`, the shipped city table and optional stored settings.
struct Window {
    Window(SimLink &link, const QDateTime &clock, const std::optional<Settings> &stored = std::nullopt)
        : clock_(clock)
    {
        if (stored) {
            auto opened = SettingsStore::open(QDir(dir.path()).filePath(QStringLiteral("datsum")), clock);
            opened.store->save(*stored);
        }
        context.workDir = dir.path();
        context.clock = &clock_;
        context.defaultCityTable = QStringLiteral(CITYCODES_FILE);
        engine = std::make_unique<StationEngine>(context);
        form = std::make_unique<TForm1>(*engine);
        form->engine().useLink(link.api());
        for (const char *name : {"Timer1", "Form2Timer1"})
            form->engine().findChild<QTimer *>(QString::fromLatin1(name))->setInterval(50);
    }

    bool refreshed()
    {
        bool done = false;
        QObject::connect(form.get(), &TForm1::displayRefreshed, [&] { done = true; });
        if (!form->FormCreate())
            return false;
        return QTest::qWaitFor([&] { return done; }, 60000);  // the net under a stalled machine
    }

    QTemporaryDir dir;
    Clock clock_;
    AppContext context;
    std::unique_ptr<StationEngine> engine;
    std::unique_ptr<TForm1> form;
};

int codeOf(const char *name)
{
    auto opened = CityTable::open(QStringLiteral(CITYCODES_FILE), QDateTime::currentDateTime());
    for (const CityRow &row : opened.table->rows())
        if (row.Name == QLatin1String(name))
            return row.Code;
    return -1;
}

}  // namespace

class LocationTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void skyLabelsForTheStationsLocationAndForAChosenCity_data()
    {
        QTest::addColumn<QDateTime>("clock");
        QTest::addColumn<int>("userCity");  // -1: the station's own location
        QTest::addColumn<QString>("city");
        QTest::addColumn<QString>("sunrise");
        QTest::addColumn<QString>("sunset");
        QTest::addColumn<QString>("dayLength");
        QTest::addColumn<int>("latitude");

        // The simulated station stands in Moscow (55°45' N, 37°37' E, zone +3).
        QTest::newRow("station in Moscow, midsummer 2024")
            << QDateTime(QDate(2024, 6, 21), QTime(12, 0)) << -1 << "Moscow" << "3:44" << "21:18" << "17:34" << 55;
        // The station's rule code (none) applies to the chosen city too.
        QTest::newRow("user's city New York, 15 March 2024")
            << QDateTime(QDate(2024, 3, 15), QTime(12, 0)) << codeOf("New York") << "New York" << "6:06" << "18:03"
            << "11:57" << 40;
    }

    void skyLabelsForTheStationsLocationAndForAChosenCity()
    {
        QFETCH(QDateTime, clock);
        QFETCH(int, userCity);
        QFETCH(QString, city);
        QFETCH(QString, sunrise);
        QFETCH(QString, sunset);
        QFETCH(QString, dayLength);
        QFETCH(int, latitude);
        SimLink link;
        std::optional<Settings> stored;
        if (userCity >= 0) {
            stored = Settings{};
            stored->UserCoord = 1;
            stored->CityCode = userCity;
        }
        Window w(link, clock, stored);
        QVERIFY(w.refreshed());
        const MainWindowUi &ui = w.form->ui;
        QCOMPARE(ui.CityBox->currentText(), city);
        QCOMPARE(ui.VoshodL->text(), sunrise);
        QCOMPARE(ui.ZahodL->text(), sunset);
        QCOMPARE(ui.DlinaDnyL->text(), dayLength);
        QCOMPARE(ui.LatitudeLM->value(), latitude);
        QCOMPARE(w.form->summary().LatMin, latitude);
        QVERIFY(!ui.VoshodMoonL->text().isEmpty());
        QVERIFY(ui.MoonImage->index() >= 0 && ui.MoonImage->index() < 36);
        QVERIFY(ui.ZemlyImage->index() >= 0 && ui.ZemlyImage->index() < 12);
        QCOMPARE(ui.NumWeekL->text(), QString::number(clock.date().weekNumber()));
        QCOMPARE(ui.LocalDate->text().right(4), QString::number(clock.date().year()));
    }

    void choosingACityMovesTheSky()
    {
        SimLink link;
        Window w(link, QDateTime(QDate(2024, 6, 21), QTime(12, 0)), Settings{1, 0, 0, 0, 0, 0, 1, codeOf("Moscow")});
        QVERIFY(w.refreshed());
        MainWindowUi &ui = w.form->ui;
        QVERIFY(ui.CityBox->isEnabled());
        const QString moscowSunrise = ui.VoshodL->text();
        const int sydney = ui.CityBox->findText(QStringLiteral("Sydney"));
        QVERIFY(sydney >= 0);
        ui.CityBox->setCurrentIndex(sydney);
        w.form->CityBoxChange();
        QCOMPARE(ui.LatitudeLM->value(), 33);
        QCOMPARE(ui.LocBox1->currentIndex(), 1);  // south
        QCOMPARE(ui.TL->value(), 10.0);
        QCOMPARE(w.form->summary().Hemispheres, 3);
        QVERIFY(ui.VoshodL->text() != moscowSunrise);
    }

    void coordinateEditorsOpenOnlyForAUserDefinedCity()
    {
        SimLink link;
        Window w(link, QDateTime(QDate(2024, 6, 21), QTime(12, 0)));
        QVERIFY(w.refreshed());
        MainWindowUi &ui = w.form->ui;
        QVERIFY(!ui.CityBox->isEnabled());
        ui.IsUserCity->click();
        QVERIFY(ui.CityBox->isEnabled());
        QVERIFY(!ui.LatitudeLM->isEnabled());
        ui.CityBox->setCurrentIndex(ui.CityBox->findText(QStringLiteral("User Defined")));
        QVERIFY(!ui.LatitudeLM->isEnabled());  // the editors follow the check box only
        ui.IsUserCity->click();
        ui.IsUserCity->click();
        for (QWidget *control : ui.coordinateControls())
            QVERIFY2(control->isEnabled(), qPrintable(control->objectName()));
    }

    void userDefinedCoordinatesAndTheChoiceAreSavedAtExit()
    {
        SimLink link;
        Window w(link, QDateTime(QDate(2024, 6, 21), QTime(12, 0)));
        QVERIFY(w.refreshed());
        MainWindowUi &ui = w.form->ui;
        ui.IsUserCity->click();
        const int item = ui.CityBox->findText(QStringLiteral("User Defined"));
        const int code = ui.CityBox->itemData(item).toInt();
        ui.CityBox->setCurrentIndex(item);
        ui.LatitudeLM->setValue(55);
        ui.LatitudeLS->setValue(9);
        ui.LongitudeLM->setValue(120);
        ui.LocBox1->setCurrentIndex(1);
        ui.LocBox2->setCurrentIndex(0);
        ui.TL->setValue(-3.5);
        w.form->FormDestroy();

        auto cities = CityTable::open(QDir(w.dir.path()).filePath(QStringLiteral("citycodes")), QDateTime());
        const std::optional<CityRow> row = cities.table->find(code);
        QVERIFY(row.has_value());
        QCOMPARE(row->LatMin, 55);
        QCOMPARE(row->LatSec, 9);
        QCOMPARE(row->LongMin, 120);
        QCOMPARE(row->IsLat, 1);
        QCOMPARE(row->IsLon, 0);
        QCOMPARE(row->TimeZone, -3.5);
        auto settings = SettingsStore::open(QDir(w.dir.path()).filePath(QStringLiteral("datsum")), QDateTime());
        QCOMPARE(settings.store->load()->UserCoord, 1);
        QCOMPARE(settings.store->load()->CityCode, code);
    }

    void closingWithoutAChosenCityKeepsTheStoredCode()
    {
        SimLink link;
        // The stored code names no city: nothing gets selected.
        Window w(link, QDateTime(QDate(2024, 6, 21), QTime(12, 0)), Settings{1, 0, 0, 0, 0, 0, 1, 9999});
        QVERIFY(w.refreshed());
        QCOMPARE(w.form->ui.CityBox->currentIndex(), -1);
        w.form->FormDestroy();
        auto settings = SettingsStore::open(QDir(w.dir.path()).filePath(QStringLiteral("datsum")), QDateTime());
        QCOMPARE(settings.store->load()->CityCode, 9999);
    }
};

QTEST_MAIN(LocationTest)
#include "location_test.moc"
