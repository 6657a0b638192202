// The two station settings written from the main window (altitude and
// history interval), against the simulated station: what reaches the
// station's memory, what is refused, what the user is told, and the rule
// for the station's own city code.
#include "MemoryEncoding.h"
#include "PanelStatusBar.h"
#include "SettingsStore.h"
#include "TForm1.h"
#include "support/SimLink.h"

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace nimbrel;
using nimbrel::test::SimLink;

namespace {

// Every wait ends at its event; this is only the net under a stalled machine.
constexpr int kPatience = 60000;

sim::SimConfig quietStation()
{
    sim::SimConfig c;
    c.advanceSeconds = 0;
    return c;
}

// A window polling the simulated station, its timers quickened.
struct Window {
    explicit Window(SimLink &link) : link(link)
    {
        context.workDir = dir.path();
        context.defaultCityTable = QStringLiteral(CITYCODES_FILE);
        engine = std::make_unique<StationEngine>(context);
        form = std::make_unique<TForm1>(*engine);
        form->setMessageSink([](const QString &) {});
        form->engine().useLink(link.api());
        for (const char *name : {"Timer1", "Form2Timer1"})
            form->engine().findChild<QTimer *>(QString::fromLatin1(name))->setInterval(50);
        form->engine().findChild<QTimer *>(QStringLiteral("Timer2"))->setInterval(200);
        form->engine().findChild<QTimer *>(QStringLiteral("Timer4"))->setInterval(300);
        form->engine().recorder().setPollInterval(200);
    }
    bool started()
    {
        return form->FormCreate() &&
               QTest::qWaitFor([&] { return form->engine().recorder().lastRecordPosition() != 0 && !form->engine().recorder().busy(); },
                               kPatience);
    }
    int writeFrames(int address) const
    {
        return static_cast<int>(std::count_if(link.sent.begin(), link.sent.end(), [&](const test::SentCommand &c) {
            return c.kind == 0xAE && c.address == address;
        }));
    }
    QString status() const { return form->ui.sStatusBar1->panelText(0); }

    SimLink &link;
    QTemporaryDir dir;
    AppContext context;
    std::unique_ptr<StationEngine> engine;
    std::unique_ptr<TForm1> form;
};

}  // namespace

class StationSettingsTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void altitudeIsWrittenOrRefused_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("written");
        QTest::addColumn<QList<int>>("bytes");  // 90, 91, 92 afterwards
        QTest::newRow("below sea level") << "-12" << true << QList<int>{12, 0, 8};
        QTest::newRow("highest the station stores") << "65535" << true << QList<int>{255, 255, 0};
        QTest::newRow("lowest the station stores") << " -65535 " << true << QList<int>{255, 255, 8};
        QTest::newRow("not a number") << "12a" << false << QList<int>{};
        QTest::newRow("too high for 16 bits") << "70000" << false << QList<int>{};
        QTest::newRow("empty") << "" << false << QList<int>{};
    }
    void altitudeIsWrittenOrRefused()
    {
        QFETCH(QString, typed);
        QFETCH(bool, written);
        QFETCH(QList<int>, bytes);
        SimLink link(quietStation());
        sim::writeAltitude(link.station().memory(), 150);
        Window w(link);
        QVERIFY(w.started());
        const auto before = link.station().memory();

        w.form->ui.PressLevel->setText(typed);
        w.form->ui.SpeedButton1->click();
        QTRY_VERIFY_WITH_TIMEOUT(!w.form->engine().recorder().busy(), kPatience);
        const auto &memory = link.station().memory();
        if (written) {
            QTRY_COMPARE_WITH_TIMEOUT(w.writeFrames(90), 1, kPatience);
            QCOMPARE((QList<int>{memory[90], memory[91], memory[92]}), bytes);
            QCOMPARE(w.form->summary().Altitude, typed.trimmed().toInt());
            QTRY_COMPARE_WITH_TIMEOUT(w.status(), w.form->ui.SettingWritten->text(), kPatience);
        } else {
            QCOMPARE(w.writeFrames(90), 0);
            QVERIFY(std::equal(before.begin(), before.begin() + 256, memory.begin()));
            QCOMPARE(w.form->ui.PressLevel->text(), QStringLiteral("150"));
            QCOMPARE(w.status(), w.form->ui.AltitudeRefused->text());
        }
    }

    void oneDayIntervalIsOneWriteFrameAndKeepsANewerRecord()
    {
        SimLink link(quietStation());
        Window w(link);
        QVERIFY(w.started());
        // The station stores a record the program has not read yet: the
        // write of bytes 254..285 must not put the old slot index back.
        link.station().addSlots(1);
        const int newest = link.station().newestSlotIndex();
        const auto slot = link.station().memory();
        w.form->ui.PeriodBox->setCurrentIndex(10);
        Q_EMIT w.form->ui.PeriodBox->activated(10);
        QTRY_COMPARE_WITH_TIMEOUT(w.writeFrames(254), 1, kPatience);
        QTRY_VERIFY_WITH_TIMEOUT(!w.form->engine().recorder().busy(), kPatience);
        QCOMPARE(link.station().memory()[254], 11);
        QCOMPARE(int(link.station().memory()[255]), newest);
        QVERIFY(std::equal(slot.begin() + 256, slot.begin() + 286, link.station().memory().begin() + 256));
    }

    void pollFallingDueDuringAWriteWaitsForIt()
    {
        SimLink link(quietStation());
        Window w(link);
        QVERIFY(w.started());
        link.sent.clear();
        bool polled = false;
        link.whileWaiting = [&] {
            if (!polled && w.form->engine().recorder().busy()) {
                polled = true;
                w.form->Timer2Timer();
            }
        };
        w.form->ui.PressLevel->setText(QStringLiteral("40"));
        w.form->ui.SpeedButton1->click();
        link.whileWaiting = nullptr;
        QVERIFY(polled);
        // Fresh read, write, read back; the deferred poll's index read after.
        QVERIFY(link.sent.size() >= 3u);
        QCOMPARE(int(link.sent[0].kind), 0xAF);
        QCOMPARE(link.sent[0].address, 90);
        QCOMPARE(int(link.sent[1].kind), 0xAE);
        QCOMPARE(link.sent[2].address, 90);
        QTRY_VERIFY_WITH_TIMEOUT(link.sent.size() >= 4u && link.sent[3].address == 224, kPatience);
    }

    void unconfirmedWriteIsShownAndFreesTheStation_data()
    {
        QTest::addColumn<int>("ack");  // -1: never
        QTest::newRow("answered 0x00") << 0x00;
        QTest::newRow("never answered") << -1;
    }
    void unconfirmedWriteIsShownAndFreesTheStation()
    {
        QFETCH(int, ack);
        SimLink link(quietStation());
        Window w(link);
        QVERIFY(w.started());
        link.station().setWriteAck(ack < 0 ? std::nullopt : std::optional<std::uint8_t>(std::uint8_t(ack)));
        w.form->ui.PressLevel->setText(QStringLiteral("300"));
        w.form->ui.SpeedButton1->click();
        QTRY_COMPARE_WITH_TIMEOUT(w.status(), w.form->ui.SettingNotWritten->text(), kPatience);
        QVERIFY(!w.form->engine().recorder().busy());
        // The poll goes on.
        link.station().addSlots(1);
        const int next = Recorder::slotPosition(link.station().newestSlotIndex());
        QTRY_COMPARE_WITH_TIMEOUT(w.form->engine().recorder().lastRecordPosition(), next, kPatience);
    }

    void withoutStationNothingIsWritten()
    {
        SimLink link(quietStation());
        Window w(link);
        QVERIFY(w.started());
        link.station().setAttached(false);
        QTRY_VERIFY_WITH_TIMEOUT(!w.form->engine().recorder().connected(), kPatience);
        link.sent.clear();
        w.form->ui.PressLevel->setText(QStringLiteral("-12"));
        w.form->ui.SpeedButton1->click();
        Q_EMIT w.form->ui.PeriodBox->activated(3);
        // The next poll comes and goes without writing either.
        QSignalSpy poll(w.form->engine().findChild<QTimer *>(QStringLiteral("Timer2")), &QTimer::timeout);
        QVERIFY(poll.wait(kPatience));
        QCOMPARE(w.writeFrames(90) + w.writeFrames(254), 0);
        QCOMPARE(w.form->ui.PressLevel->text(), QStringLiteral("-12"));
    }

    // The station's code names one of our cities only where that city lies.
    void stationCityCodeOnlyWhereTheCityLies_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("city");
        QTest::newRow("Moscow's code at Moscow") << 64 << "Moscow";
        QTest::newRow("New York's code at Moscow") << 204 << "";
    }
    void stationCityCodeOnlyWhereTheCityLies()
    {
        QFETCH(int, code);
        QFETCH(QString, city);
        SimLink link(quietStation());
        sim::Location moscow{55, 45, false, 37, 37, true, 3, 0, code};
        sim::writeLocation(link.station().memory(), moscow);
        Window w(link);
        QVERIFY(w.started());
        QCOMPARE(w.form->ui.CityBox->currentText(), city);
        QCOMPARE(w.form->summary().LatMin, 55);
        QCOMPARE(w.form->summary().LongMin, 37);
        QCOMPARE(w.form->summary().TimeZone, 3.0);
    }

    // Before any station header: the saved city, not the filler bytes' code.
    void withoutAnyHeaderTheSavedCityIsShown()
    {
        sim::SimConfig c = quietStation();
        c.attached = false;
        SimLink link(c);
        Window w(link);
        {
            SettingsStore::Opened opened = SettingsStore::open(QDir(w.dir.path()).filePath(QStringLiteral("datsum")),
                                                               QDateTime::currentDateTime());
            Settings saved;
            saved.CityCode = 204;
            QVERIFY(opened.store && opened.store->save(saved));
        }
        w.form->engine().findChild<QTimer *>(QStringLiteral("Form2Timer2"))->setInterval(50);
        bool refreshed = false;
        QObject::connect(w.form.get(), &TForm1::displayRefreshed, [&] { refreshed = true; });
        QVERIFY(w.form->FormCreate());
        QTRY_VERIFY_WITH_TIMEOUT(refreshed, kPatience);
        QVERIFY(!w.form->engine().recorder().headerRead());
        QCOMPARE(w.form->ui.CityBox->currentText(), QStringLiteral("New York"));
        QCOMPARE(w.form->summary().LatMin, 40);
        QCOMPARE(w.form->summary().TimeZone, -5.0);
    }
};

QTEST_MAIN(StationSettingsTest)
#include "station_settings_test.moc"
