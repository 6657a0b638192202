// The station engine on its own, with no station attached: the snapshot it
// hands out after loading the stored data carries what the history says
// about the newest record, in the units chosen since, and forgets it when
// the history is cleared.
#include "ClockSkew.h"
#include "Clock.h"
#include "HistoryStore.h"
#include "LocationChoice.h"
#include "StationEngine.h"
#include "Units.h"
#include "support/SimLink.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QElapsedTimer>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>
#include <tuple>

using namespace nimbrel;

namespace {

// The time-out is only the net under a stalled machine: every wait ends at its event.
bool waitUntil(const std::function<bool()> &done, int timeoutMs = 60000)
{
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

}  // namespace

TEST(Snapshot, DerivedFromTheHistoryOnceAndFollowsUnitsAndClearing)
{
    QTemporaryDir dir;
    const QDateTime noon(QDate(2026, 6, 21), QTime(12, 0));
    {
        auto opened = HistoryStore::open(QDir(dir.path()).filePath(QStringLiteral("datat")), noon);
        ASSERT_TRUE(opened.store);
        // Rain counter and indoor temperature of four records; the hour
        // ending at noon holds the last two (its start is excluded).
        const std::pair<int, int> rows[] = {{-120, 90}, {-60, 100}, {-30, 104}, {0, 110}};
        for (const auto &[minutes, count] : rows) {
            Measurement m;
            m.Dat = noon.addSecs(minutes * 60);
            m.RainCount = count;
            m.TempDoor = 20 + count / 10.0;
            m.PressLocal = 1000 + minutes;
            ASSERT_EQ(opened.store->append(m), AppendResult::Appended);
        }
    }
    sim::SimConfig detached;
    detached.attached = false;
    test::SimLink link(detached);
    AppContext context;
    context.workDir = dir.path();
    StationEngine engine(context);
    engine.useLink(link.api());
    for (const char *name : {"Form2Timer1", "Form2Timer2"})
        engine.findChild<QTimer *>(QString::fromLatin1(name))->setInterval(10);
    engine.openTables();
    ASSERT_EQ(engine.openStation(), LinkLoadError::None);
    engine.start();
    ASSERT_TRUE(waitUntil([&] { return engine.snapshot()->record.Dat == noon; }));

    const int mm = unitCode(RainUnit::Mm);
    const int inch = unitCode(RainUnit::Inch);
    struct Row {
        const char *situation;
        int rainUnit;
        double lastHour;
    };
    const Row units[] = {{"millimetres", mm, 6 * rainTipFactor(mm)}, {"inches", inch, 6 * rainTipFactor(inch)}};
    for (const Row &r : units) {
        UnitChoices choices = engine.snapshot()->units;
        choices.rain = r.rainUnit;
        engine.setUnits(choices);
        const SnapshotPtr s = engine.snapshot();
        EXPECT_EQ(s->change, SnapshotChange::Units) << r.situation;
        EXPECT_EQ(s->record.RainUnit, r.rainUnit) << r.situation;
        EXPECT_DOUBLE_EQ(s->record.RainLastHour, r.lastHour) << r.situation;
        EXPECT_EQ(s->rain.total.last - s->rain.total.base, 20) << r.situation;
        EXPECT_DOUBLE_EQ(s->extremes.TempDoorMax.value, 31.0) << r.situation;
        EXPECT_DOUBLE_EQ(s->record.PressureMin, 880.0) << r.situation;
        EXPECT_EQ(s->conditions.rainLastHourTips, 6) << r.situation;
    }

    ASSERT_EQ(engine.clearHistory().result, StationEngine::ClearOutcome::Result::Cleared);
    const SnapshotPtr cleared = engine.snapshot();
    EXPECT_EQ(cleared->change, SnapshotChange::HistoryCleared);
    EXPECT_TRUE(cleared->extremes.empty);
    EXPECT_TRUE(cleared->rain.total.empty);
    EXPECT_DOUBLE_EQ(cleared->record.PressureMax, 0.0);
    engine.shutDown();
}

// A window asks for the station while the recorder is in the middle of a
// full read (the request arrives while the read waits for an answer): the
// read stops at that block, and the device and the tables are closed. A read
// cut short leaves no mirror, so taking the station back reads it in full.
// After a restart the newest record is the current conditions at once,
// though every record was stored before.
TEST(Handover, StopsTheRunningReadAtItsBlockAndLeavesNoMirrorOfAReadCutShort)
{
    QTemporaryDir dir;
    test::SimLink link;
    AppContext context;
    context.workDir = dir.path();
    StationEngine engine(context);
    engine.useLink(link.api());
    engine.findChild<QTimer *>(QStringLiteral("Form2Timer1"))->setInterval(10);
    engine.openTables();
    ASSERT_EQ(engine.openStation(), LinkLoadError::None);
    const QString mirrorFile = dir.filePath(QStringLiteral("handover.bin"));

    bool released = false;
    bool busyWhenReleased = true;
    int closesWhenReleased = -1;
    std::size_t readsWhenAsked = 0;
    link.whileWaiting = [&] {
        if (link.statusPolls != 40)
            return;
        readsWhenAsked = link.readAddresses().size();
        engine.releaseStation([&] {
            released = true;
            busyWhenReleased = engine.recorder().busy();
            closesWhenReleased = link.closes;
        });
    };
    engine.start();
    ASSERT_TRUE(waitUntil([&] { return released; }));
    link.whileWaiting = nullptr;
    EXPECT_FALSE(busyWhenReleased);
    EXPECT_EQ(closesWhenReleased, 1);
    EXPECT_FALSE(engine.stationHeld());
    EXPECT_EQ(engine.history(), nullptr);
    const SnapshotPtr handed = engine.snapshot();
    EXPECT_EQ(handed->change, SnapshotChange::Handover);
    EXPECT_FALSE(handed->connected);
    // Not one block was asked for after the request.
    EXPECT_EQ(link.readAddresses().size(), readsWhenAsked);
    EXPECT_LT(handed->recordsStored, kSlotCount);
    EXPECT_FALSE(QFile::exists(mirrorFile));

    // Held by the window: nothing of this engine's is due to talk to it.
    QCoreApplication::processEvents();
    const RecorderTimers &timers = engine.recorder().timers();
    for (const QTimer *timer : {timers.linkCheck, timers.poll, timers.fullReadStart})
        EXPECT_FALSE(timer->isActive()) << qPrintable(timer->objectName());
    EXPECT_EQ(link.readAddresses().size(), readsWhenAsked);

    engine.takeStation();
    EXPECT_EQ(link.opens, 2);
    ASSERT_TRUE(waitUntil([&] { return engine.snapshot()->recordsStored == kSlotCount && !engine.recorder().busy(); }))
        << engine.snapshot()->recordsStored;
    EXPECT_TRUE(engine.snapshot()->stationHeld);
    ASSERT_NE(engine.history(), nullptr);

    engine.shutDown();
    EXPECT_EQ(link.closes, 2);
    // No program waits for the station: the end leaves no mirror.
    EXPECT_FALSE(QFile::exists(mirrorFile));

    // A restart finds every record stored already, and shows the newest as
    // the current conditions at once.
    StationEngine restarted(context);
    restarted.useLink(link.api());
    restarted.findChild<QTimer *>(QStringLiteral("Form2Timer1"))->setInterval(10);
    restarted.openTables();
    ASSERT_EQ(restarted.openStation(), LinkLoadError::None);
    restarted.start();
    ASSERT_TRUE(waitUntil([&] { return restarted.snapshot()->slotsTakenOver > 0 && !restarted.recorder().busy(); }));
    const SnapshotPtr s = restarted.snapshot();
    EXPECT_EQ(s->recordsStored, 0);
    ASSERT_TRUE(s->record.Dat.isValid());
    EXPECT_EQ(s->conditions.time.toString(Qt::ISODate).left(16), s->record.Dat.toString(Qt::ISODate).left(16));
    restarted.shutDown();
}

// Only a record dated ahead by more than one history period says that the
// clocks differ; an old record is no sign of it. Availability counts a
// future-dated record's age from now.
TEST(ClockSkew, AheadByMoreThanOnePeriodIsReportedWithItsSize)
{
    const QDateTime now(QDate(2026, 12, 7), QTime(19, 15));
    // Seconds the record is dated ahead, the period in minutes, the sentence.
    const std::tuple<qint64, int, const char *> rows[] = {
        {300, 5, ""},
        {301, 5, "The station's clock is 5 min ahead of the computer's"},
        {3 * 3600 + 5 * 60, 30, "The station's clock is 3 h 05 min ahead of the computer's"},
        {2 * 86400 + 4 * 3600, 1440, "The station's clock is 2 d 4 h ahead of the computer's"},
        {600, 0, ""},  // period not known: ten minutes pass
        {660, 0, "The station's clock is 11 min ahead of the computer's"},
        {-6 * 3600, 5, ""},
    };
    for (const auto &[ahead, period, sentence] : rows) {
        const QDateTime record = now.addSecs(ahead);
        const ClockSkew skew = clockSkew(record, now, period);
        EXPECT_EQ(skew.aheadSecs, *sentence ? ahead : 0) << ahead;
        EXPECT_EQ(clockSkewSentence(skew), QLatin1String(sentence)) << ahead;
        EXPECT_EQ(ageFrom(record, now), ahead > 0 ? now : record) << ahead;
    }
}

// A station whose clock is three hours ahead of the computer's, with the
// upload on: every record is stored, the snapshot says how far the clocks
// differ, and the weather network gets nothing.
TEST(ClockSkew, RecordsOfAStationAheadAreStoredAndNotUploaded)
{
    QTemporaryDir dir;
    QTcpServer network;
    ASSERT_TRUE(network.listen(QHostAddress::LocalHost, 0));
    int requests = 0;
    QObject::connect(&network, &QTcpServer::newConnection, [&] { ++requests; });
    QFile ini(QDir(dir.path()).filePath(QStringLiteral("nimbrel.ini")));
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write(QStringLiteral("[upload]\nenabled=true\nurl=http://127.0.0.1:%1/up\nstationId=I1\nkey=k\n")
                  .arg(network.serverPort())
                  .toUtf8());
    ini.close();

    test::SimLink link;  // its newest record: 2026-06-21 12:00, five-minute period
    const Clock clock(QDateTime(QDate(2026, 6, 21), QTime(9, 0, 30)));
    AppContext context;
    context.workDir = dir.path();
    context.clock = &clock;
    StationEngine engine(context);
    engine.useLink(link.api());
    engine.findChild<QTimer *>(QStringLiteral("Form2Timer1"))->setInterval(10);
    engine.openTables();
    ASSERT_EQ(engine.openStation(), LinkLoadError::None);
    engine.start();
    ASSERT_TRUE(waitUntil([&] { return engine.snapshot()->recordsStored == kSlotCount && !engine.recorder().busy(); }));
    const SnapshotPtr s = engine.snapshot();
    EXPECT_NEAR(double(s->clockAheadSecs), 3 * 3600 - 30, 60);
    EXPECT_EQ(engine.history()->count(), kSlotCount);
    EXPECT_TRUE(s->publishLines.join(QLatin1Char(' ')).contains(QLatin1String("ahead of the computer's clock")))
        << qPrintable(s->publishLines.join(QLatin1Char('|')));
    EXPECT_EQ(s->publishWord, QLatin1String("Upload failed"));
    QCoreApplication::processEvents();
    EXPECT_EQ(requests, 0);
    engine.shutDown();
}

// nimbrel.ini is read once, when the program starts: the engine keeps what
// it was handed even when the file changes, and taking the station back
// after a handover reads it no more. Without a link library the station is
// taken back with its tables and no device.
TEST(Handover, TakingTheStationBackKeepsTheSettingsReadAtStartAndNeedsNoLinkLibrary)
{
    QTemporaryDir dir;
    const QString iniPath = QDir(dir.path()).filePath(QStringLiteral("nimbrel.ini"));
    auto writeIni = [&iniPath](const QByteArray &text) {
        QFile ini(iniPath);
        return ini.open(QIODevice::WriteOnly | QIODevice::Truncate) && ini.write(text) == text.size();
    };
    ASSERT_TRUE(writeIni("no equals sign\n"));
    AppContext context;
    context.workDir = dir.path();
    context.publishSettings = readPublishSettings(dir.path());
    ASSERT_EQ(context.publishSettings->problems.size(), 1);
    ASSERT_TRUE(writeIni("[web]\nenabled=false\n"));

    StationEngine engine(context);
    engine.openTables();
    EXPECT_EQ(engine.snapshot()->publishWord, QStringLiteral("nimbrel.ini?"));
    bool released = false;
    engine.releaseStation([&released] { released = true; });
    ASSERT_TRUE(waitUntil([&] { return released; }));
    EXPECT_FALSE(engine.snapshot()->stationHeld);
    engine.takeStation();
    EXPECT_TRUE(engine.snapshot()->stationHeld);
    EXPECT_FALSE(engine.snapshot()->linkAvailable);
    EXPECT_EQ(engine.snapshot()->publishWord, QStringLiteral("nimbrel.ini?"));
    EXPECT_EQ(engine.publishSettings().problems, context.publishSettings->problems);
}

// Which city the program shows, and the coordinates the recorder writes into
// the header for the user's city: the user's city wins over the header; the
// station's own city is shown only where the station says it is; before any
// header the kept city stands in.
TEST(Location, TheShownCityAndTheUserCitysCoordinates)
{
    QTemporaryDir dir;
    const CityRow oslo{10, QStringLiteral("Oslo"), 10, 45, 59, 55, 1, 0, 0, 1, 0};
    const CityRow quito{20, QStringLiteral("Quito"), 78, 30, 0, 13, 0, 1, 0, -5, 0};
    QFile csv(dir.filePath(QStringLiteral("cities.csv")));
    ASSERT_TRUE(csv.open(QIODevice::WriteOnly));
    csv.write(formatCityCsv({oslo, quito}));
    csv.close();
    CityTable::Opened opened = CityTable::open(dir.filePath(QStringLiteral("citycodes")), QDateTime::currentDateTime());
    ASSERT_TRUE(opened.table);
    ASSERT_TRUE(opened.table->importCsv(csv.fileName()));

    StationSummary atOslo;  // the station's header: Oslo, north and east
    atOslo.CityCode = 10;
    atOslo.LatMin = 59;
    atOslo.LatSec = 50;
    atOslo.LongMin = 10;
    atOslo.LongSec = 40;
    atOslo.Hemispheres = 1;
    StationSummary namesOsloAtQuito = atOslo;
    namesOsloAtQuito.LatMin = 0;
    namesOsloAtQuito.LongMin = 78;
    namesOsloAtQuito.Hemispheres = 2;
    struct Case {
        const char *situation;
        bool userCity;
        int kept;
        bool headerRead;
        StationSummary header;
        int shown;          // -1: none
        int overrideHemis;  // -1: no override
    };
    const Case cases[] = {
        {"the user's city over the header", true, 20, true, atOslo, 20, 2},
        {"the station's city where the station is", false, 20, true, atOslo, 10, -1},
        {"the station names a city it is not at", false, 20, true, namesOsloAtQuito, -1, -1},
        {"no header yet: the kept city", false, 20, false, {}, 20, -1},
        {"a kept city the table lacks", true, 99, true, atOslo, -1, -1},
    };
    for (const Case &c : cases) {
        LocationChoice choice;
        Settings stored;
        stored.CityCode = c.kept;
        stored.UserCoord = c.userCity ? 1 : 0;
        choice.load(stored);
        const std::optional<CityRow> shown = choice.shownCity(opened.table.get(), c.headerRead, c.header);
        EXPECT_EQ(shown ? shown->Code : -1, c.shown) << c.situation;
        const std::optional<LocationOverride> o = choice.userCityOverride(opened.table.get());
        EXPECT_EQ(o ? o->Hemispheres : -1, c.overrideHemis) << c.situation;
        if (o)
            EXPECT_EQ(std::tuple(o->LatMin, o->LatSec, o->LongMin, o->LongSec, o->TimeZone),
                      std::tuple(quito.LatMin, quito.LatSec, quito.LongMin, quito.LongSec, quito.TimeZone))
                << c.situation;
    }
}
