// The recorder against the simulated station: the block protocol, the full
// and incremental reads into a real history file, and stations that lie or
// fail: wrong check bytes, answers that never come, rings that jump, years
// that turn.
#include "BlockFrames.h"
#include "HistoryStore.h"
#include "Recorder.h"
#include "support/SimLink.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <gtest/gtest.h>
#include <random>
#include <set>

using namespace nimbrel;
using nimbrel::test::SimLink;

namespace {

// Pumps events until `done` or the time is up.
bool waitUntil(const std::function<bool()> &done, int timeoutMs = 8000)
{
    QElapsedTimer waited;
    waited.start();
    while (!done() && !waited.hasExpired(timeoutMs))
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

// One program side of the link: a history file and the recorder, whose
// handlers the test runs itself (its timers are never started).
struct Rig {
    explicit Rig(const sim::SimConfig &config = quietStation()) : link(config)
    {
        recorder.timers().readTimeout->setInterval(300);
        recorder.timers().writeTimeout->setInterval(300);
        api = link.api();
        history = HistoryStore::open(dir.filePath(QStringLiteral("datat")), QDateTime::currentDateTime()).store;
        recorder.setLink(&api, api.open(nullptr, kStationVendorId, kStationProductId, 2048, 2048, 0));
        recorder.setHistory(history.get());
        recorder.setAnswerWait(50);
        recorder.setClock([this] { return clock; });
        recorder.linkCheck();  // the station is attached
    }

    static sim::SimConfig quietStation()
    {
        sim::SimConfig c;
        c.advanceSeconds = 0;
        return c;
    }

    // The recorder has taken over slot `index` as its newest record; the
    // history and the log of commands start empty from there.
    void takenOverUpTo(int index)
    {
        setNewestSlot(index);
        ASSERT_EQ(recorder.incrementalRead(), PollResult::NewRecord);
        ASSERT_TRUE(history->clear());
        link.sent.clear();
    }
    // Only the index byte: the ring's records stay where they are.
    void setNewestSlot(int index) { link.station().memory()[kSlotIndexByte] = static_cast<std::uint8_t>(index); }
    // The station stores records until slot `index` holds the newest.
    void recordUntil(int index)
    {
        link.station().addSlots(Recorder::ringDistance(link.station().newestSlotIndex(), index));
    }
    void fault(int address, sim::ReadFault kind, int count) { link.station().injectReadFault({address, kind, count}); }
    std::vector<HistoryRow> rows() const
    {
        return history->rowsBetween(QDateTime(QDate(1999, 1, 1), QTime()), QDateTime(QDate(2100, 1, 1), QTime()));
    }
    // The record the station holds in slot `index`, decoded from its memory.
    Measurement stationSlot(int index)
    {
        StationImage image;
        std::copy(link.station().memory().begin(), link.station().memory().end(), image.bytes.begin());
        Measurement m;
        decodeSlot(image, Recorder::slotPosition(index), m);
        return m;
    }

    QTemporaryDir dir;
    SimLink link;
    LinkApi api;
    std::unique_ptr<HistoryStore> history;
    Recorder recorder;
    QDateTime clock = QDateTime(QDate(2026, 6, 21), QTime(12, 5));
};

}  // namespace

TEST(BlockFrames, ReadCommandAndWriteFrameCarryXorChecks)
{
    struct Row {
        int address;
        std::array<std::uint8_t, 4> command;
    };
    const Row rows[] = {
        {0, {0xAF, 0x00, 0x00, 0xAF}},
        {224, {0xAF, 0xE0, 0x00, 0x4F}},
        {8123, {0xAF, 0xBB, 0x1F, 0x0B}},
        {8160, {0xAF, 0xE0, 0x1F, 0x50}},
    };
    for (const Row &r : rows)
        EXPECT_EQ(readCommand(r.address), r.command) << "address " << r.address;

    std::array<std::uint8_t, 32> data{};
    for (int i = 0; i < 32; ++i)
        data[i] = static_cast<std::uint8_t>(i * 7);
    const auto frame = writeFrame(254, data);
    std::uint8_t x = 0;
    for (int i = 0; i < 35; ++i)
        x ^= frame[i];
    EXPECT_EQ(frame[0], 0xAE);
    EXPECT_EQ(frame[1], 0xFE);
    EXPECT_EQ(frame[2], 0x00);
    EXPECT_EQ(frame[35], x);
    EXPECT_EQ(frame[36], 0x00);
}

TEST(FullRead, MirrorsTheMemoryAndStoresEverySlotOfTheRingOnce)
{
    Rig rig;
    rig.recordUntil(40);
    EXPECT_EQ(rig.recorder.fullRead(), FullReadResult::Completed);

    const auto &memory = rig.link.station().memory();
    EXPECT_TRUE(std::equal(memory.begin(), memory.end(), rig.recorder.image().bytes.begin()));
    EXPECT_EQ(rig.recorder.image()[8192], kImageFill) << "nothing past the station's memory is read";
    EXPECT_EQ(rig.link.readAddresses().size(), 256u + 2u)
        << "the blocks, the index once more, and the closing poll's index";
    EXPECT_EQ(rig.recorder.lastRecordPosition(), Recorder::slotPosition(40));
    EXPECT_EQ(rig.recorder.measurement().Dat, rig.stationSlot(40).Dat);

    // Slot 0 is taken over although it is not the newest, and no slot twice.
    const std::vector<HistoryRow> rows = rig.rows();
    EXPECT_EQ(rows.size(), 209u);
    EXPECT_EQ(rows.back().Dat, rig.stationSlot(40).Dat);
    EXPECT_TRUE(std::any_of(rows.begin(), rows.end(), [&](const HistoryRow &r) { return r.Dat == rig.stationSlot(0).Dat; }));
}

TEST(FullRead, WithoutAHistoryFileTheRecordsAreStillShown)
{
    Rig rig;
    rig.recorder.setHistory(nullptr);  // datat could not be opened at all
    int taken = 0;
    QObject::connect(&rig.recorder, &Recorder::recordTaken, [&] { ++taken; });
    EXPECT_EQ(rig.recorder.fullRead(), FullReadResult::Completed);
    EXPECT_EQ(taken, 1);
    EXPECT_EQ(rig.recorder.measurement().Dat, rig.stationSlot(rig.link.station().newestSlotIndex()).Dat);
}

TEST(FullRead, SlotZerosRainCounterIsTheRecordBeforeIt)
{
    struct Row {
        const char *situation;
        int newest;
        int before;  // the slot whose counter stands in
    };
    const Row rows[] = {
        {"slot 0 in the middle of the ring", 40, 208},
        {"slot 0 the newest", 0, 208},
        {"slot 0 the oldest", 208, 1},
    };
    for (const Row &r : rows) {
        Rig rig;
        rig.recordUntil(r.newest);
        ASSERT_EQ(rig.recorder.fullRead(), FullReadResult::Completed) << r.situation;
        const QDateTime slot0 = rig.stationSlot(0).Dat;
        const std::vector<HistoryRow> stored = rig.rows();
        const auto it = std::find_if(stored.begin(), stored.end(), [&](const HistoryRow &h) { return h.Dat == slot0; });
        ASSERT_NE(it, stored.end()) << r.situation;
        EXPECT_EQ(it->RainCount, rig.stationSlot(r.before).RainCount) << r.situation;
    }
}

TEST(FullRead, RecordsOfLastYearKeepTheirYearAfterNewYear)
{
    sim::SimConfig c = Rig::quietStation();
    c.start = "2027-01-01T02:00:00";
    Rig rig(c);
    rig.clock = QDateTime(QDate(2027, 1, 1), QTime(2, 3));
    ASSERT_EQ(rig.recorder.fullRead(), FullReadResult::Completed);
    const std::vector<HistoryRow> rows = rig.rows();
    ASSERT_EQ(rows.size(), 209u);
    EXPECT_EQ(rows.back().Dat, QDateTime(QDate(2027, 1, 1), QTime(2, 0)));
    EXPECT_EQ(rows.front().Dat.date().year(), 2026);
    EXPECT_EQ(rows.front().Dat.date().month(), 12);
    // Every record five minutes after the one before.
    for (std::size_t i = 1; i < rows.size(); ++i)
        EXPECT_EQ(rows[i - 1].Dat.secsTo(rows[i].Dat), 300) << i;
}

TEST(FullRead, SpoiledAnswersAreRetriedAndAFailedReadResumesWhereItStopped)
{
    struct Row {
        const char *situation;
        sim::ReadFault fault;
    };
    const Row rows[] = {
        {"check byte wrong", sim::ReadFault::BadChecksum},
        {"no answer", sim::ReadFault::NoAnswer},
        {"answer cut short", sim::ReadFault::ShortAnswer},
        {"wrong first byte", sim::ReadFault::BadStartByte},
    };
    for (const Row &r : rows) {
        {
            // A spoiled answer or two: the block is read again.
            Rig once;
            once.fault(96, r.fault, Recorder::kBlockTries - 1);
            EXPECT_EQ(once.recorder.fullRead(), FullReadResult::Completed) << r.situation;
            EXPECT_EQ(once.recorder.blockRetries(), Recorder::kBlockTries - 1) << r.situation;
            EXPECT_EQ(once.rows().size(), 209u) << r.situation;
        }

        // A block that fails every try ends the read; the next one goes on
        // from there instead of starting at block 0.
        Rig rig;
        rig.fault(4000, r.fault, Recorder::kBlockTries);
        EXPECT_EQ(rig.recorder.fullRead(), FullReadResult::BlockFailed) << r.situation;
        EXPECT_TRUE(rig.rows().empty()) << r.situation;
        rig.link.sent.clear();
        EXPECT_EQ(rig.recorder.fullRead(), FullReadResult::Completed) << r.situation;
        const std::vector<int> again = rig.link.readAddresses();
        EXPECT_LT(again.size(), 150u) << r.situation;
        EXPECT_EQ(std::count(again.begin(), again.end(), 0), 1) << "the header is read fresh; " << r.situation;
        const auto &memory = rig.link.station().memory();
        EXPECT_TRUE(std::equal(memory.begin(), memory.end(), rig.recorder.image().bytes.begin())) << r.situation;
        EXPECT_EQ(rig.rows().size(), 209u) << r.situation;
    }
}

TEST(FullRead, ResumedReadRereadsTheSlotsTheStationWroteMeanwhile)
{
    sim::SimConfig c = Rig::quietStation();
    Rig rig(c);
    rig.fault(6016, sim::ReadFault::NoAnswer, Recorder::kBlockTries);
    ASSERT_EQ(rig.recorder.fullRead(), FullReadResult::BlockFailed);
    rig.link.station().addSlots(3);  // over slots the first attempt mirrored
    ASSERT_EQ(rig.recorder.fullRead(), FullReadResult::Completed);
    const auto &memory = rig.link.station().memory();
    EXPECT_TRUE(std::equal(memory.begin(), memory.begin() + 8161, rig.recorder.image().bytes.begin()));
    const std::vector<HistoryRow> rows = rig.rows();
    EXPECT_EQ(rows.back().Dat, rig.stationSlot(rig.link.station().newestSlotIndex()).Dat);
    for (std::size_t i = 1; i < rows.size(); ++i)
        EXPECT_EQ(rows[i - 1].Dat.secsTo(rows[i].Dat), 300) << i;
}

TEST(FullRead, WithoutStationLoadsTheStoredData)
{
    Rig rig;
    rig.recorder.timers().noStationPause->setInterval(10);
    rig.link.station().setAttached(false);
    rig.recorder.linkCheck();
    int loaded = 0;
    QObject::connect(&rig.recorder, &Recorder::storedDataLoaded, [&] { ++loaded; });
    EXPECT_EQ(rig.recorder.fullRead(), FullReadResult::NoStation);
    EXPECT_EQ(loaded, 1);
    EXPECT_TRUE(rig.link.sent.empty());
}

// A first start passes on the current record only; a later full read every
// record the history did not hold yet, oldest first.
TEST(FullRead, PassesOnEveryRecordNewToTheHistoryOldestFirst)
{
    for (const int stored : {0, 5, Recorder::kMaxCatchUp + 8, 300}) {
        Rig rig;
        std::vector<QDateTime> announced;
        QObject::connect(&rig.recorder, &Recorder::recordTakenOver,
                         [&](const Measurement &m) { announced.push_back(m.Dat); });
        ASSERT_EQ(rig.recorder.fullRead(), FullReadResult::Completed);
        ASSERT_EQ(announced, std::vector{rig.stationSlot(rig.link.station().newestSlotIndex()).Dat}) << stored;
        announced.clear();
        rig.link.station().addSlots(stored);  // detached meanwhile, or a jump of the ring
        ASSERT_EQ(rig.recorder.fullRead(), FullReadResult::Completed);
        const int expected = std::min(stored, kSlotCount), newest = rig.link.station().newestSlotIndex();
        ASSERT_EQ(announced.size(), std::size_t(expected)) << stored;
        for (int i = 0; i < expected; ++i)
            EXPECT_EQ(announced[i], rig.stationSlot((newest - expected + 1 + i + kSlotCount) % kSlotCount).Dat)
                << stored << " records, record " << i;
    }
}

TEST(IncrementalRead, NewSlotsAreCountedAroundTheRing)
{
    struct Row {
        const char *situation;
        int oldIndex;  // -1: right after a full read
        int newIndex;
        PollResult result;
        int stored;    // rows the poll adds
    };
    const Row rows[] = {
        {"one slot on", 1, 2, PollResult::NewRecord, 1},
        {"no new slot", 2, 2, PollResult::NoNewRecord, 0},
        {"wrap from the last slot", 208, 1, PollResult::NewRecord, 2},
        {"wrap from the last slot to slot 0", 208, 0, PollResult::NewRecord, 1},
        {"two slots on", 1, 3, PollResult::NewRecord, 2},
        {"five slots across the ring's end", 206, 2, PollResult::NewRecord, 5},
        {"ring went backwards", 3, 2, PollResult::Gap, 0},
        {"first poll after a full read", -1, 7, PollResult::NewRecord, 1},
    };
    for (const Row &r : rows) {
        Rig rig;
        if (r.oldIndex >= 0)
            rig.takenOverUpTo(r.oldIndex);
        rig.setNewestSlot(r.newIndex);
        EXPECT_EQ(rig.recorder.incrementalRead(), r.result) << r.situation;
        const bool tookOver = r.result == PollResult::NewRecord;
        EXPECT_EQ(rig.recorder.lastRecordPosition(),
                  tookOver ? Recorder::slotPosition(r.newIndex) : r.result == PollResult::Gap ? 0 : Recorder::slotPosition(r.oldIndex))
            << r.situation;
        EXPECT_EQ(static_cast<int>(rig.rows().size()), r.stored) << r.situation;
        if (tookOver) {
            EXPECT_EQ(rig.recorder.measurement().Dat, rig.stationSlot(r.newIndex).Dat) << r.situation;
        }
    }
}

TEST(IncrementalRead, NewRecordReadsIndexHeaderAndTheSlotsTwoBlocks)
{
    Rig rig;
    rig.takenOverUpTo(207);
    rig.setNewestSlot(208);
    EXPECT_EQ(rig.recorder.incrementalRead(), PollResult::NewRecord);
    const std::vector<int> expected = {224, 0, 32, 64, 96, 128, 160, 192, 224, 8123, 8155};
    EXPECT_EQ(rig.link.readAddresses(), expected) << "the highest slot's blocks end at byte 8186";
    EXPECT_EQ(rig.recorder.image()[8186], rig.link.station().memory()[8186]);
    EXPECT_EQ(rig.recorder.image()[8187], kImageFill);
}

TEST(IncrementalRead, FailuresRestoreTheLastPositionSoTheNextPollRetries)
{
    struct Row {
        const char *situation;
        int faultAddress;
        PollResult result;
    };
    const Row rows[] = {
        {"index block lost", 224, PollResult::ReadFailed},
        {"header block lost", 128, PollResult::ReadFailed},
        {"second slot block lost", 295 + 32, PollResult::ReadFailed},
    };
    for (const Row &r : rows) {
        Rig rig;
        rig.takenOverUpTo(1);  // position 257
        rig.setNewestSlot(2);
        rig.fault(r.faultAddress, sim::ReadFault::NoAnswer, Recorder::kBlockTries);
        EXPECT_EQ(rig.recorder.incrementalRead(), r.result) << r.situation;
        EXPECT_EQ(rig.recorder.lastRecordPosition(), 257) << r.situation;
        EXPECT_TRUE(rig.rows().empty()) << r.situation;
        // Ten seconds later the same poll goes through.
        EXPECT_EQ(rig.recorder.incrementalRead(), PollResult::NewRecord) << r.situation;
        EXPECT_EQ(rig.recorder.lastRecordPosition(), 295) << r.situation;
    }
}

TEST(IncrementalRead, DecemberRecordReadAfterMidnightKeepsItsYear)
{
    Rig rig;
    auto &memory = rig.link.station().memory();
    rig.takenOverUpTo(1);
    rig.setNewestSlot(2);
    const int p = Recorder::slotPosition(2);
    memory[4] = 0x27;                    // the station's year has turned
    memory[p] = 0x0C;                    // December
    memory[p + 1] = 0x31;                // the 31st
    memory[p + 2] = 0x23;
    memory[p + 3] = 0x55;
    rig.clock = QDateTime(QDate(2027, 1, 1), QTime(0, 1));
    ASSERT_EQ(rig.recorder.incrementalRead(), PollResult::NewRecord);
    EXPECT_EQ(rig.recorder.measurement().Dat, QDateTime(QDate(2026, 12, 31), QTime(23, 55)));
}

TEST(Exchanges, WriteRequestedDuringAReadWaitsForItAndWritesFreshBytes)
{
    Rig rig;
    ASSERT_EQ(rig.recorder.fullRead(), FullReadResult::Completed);
    std::vector<WriteError> results;
    QObject::connect(&rig.recorder, &Recorder::writeFinished, [&](int, WriteError e) { results.push_back(e); });
    // The station stores a record after the mirror was made; the interval
    // write must not put the old slot index back.
    rig.link.station().addSlots(1);
    const int stationIndex = rig.link.station().newestSlotIndex();
    bool requested = false;
    std::size_t commandsBeforeWrite = 0;
    rig.link.whileWaiting = [&] {
        if (!requested && rig.recorder.busy()) {
            requested = true;
            commandsBeforeWrite = rig.link.sent.size();
            rig.recorder.requestWrite({kPeriodByte, [](StationImage &image) { image[kPeriodByte] = 11; }});
        }
    };
    rig.recorder.timers().poll->start();
    rig.recorder.poll();
    rig.link.whileWaiting = nullptr;
    ASSERT_TRUE(requested);
    ASSERT_EQ(results, std::vector<WriteError>{WriteError::None});
    for (std::size_t i = commandsBeforeWrite; i < rig.link.sent.size(); ++i)
        if (rig.link.sent[i].kind == 0xAE) {
            EXPECT_GT(i, commandsBeforeWrite + 2) << "no write inside the running poll";
        }
    EXPECT_EQ(rig.link.station().memory()[kPeriodByte], 11);
    EXPECT_EQ(rig.link.station().memory()[kSlotIndexByte], stationIndex);
    EXPECT_FALSE(rig.recorder.busy());
}

TEST(Exchanges, AcknowledgementDecidesTheWriteResult)
{
    struct Row {
        const char *situation;
        std::optional<std::uint8_t> ack;
        WriteError result;
    };
    const Row rows[] = {
        {"acknowledged", std::uint8_t{0x5A}, WriteError::None},
        {"answered with 0x00", std::uint8_t{0x00}, WriteError::Refused},
        {"never answered", std::nullopt, WriteError::NoAcknowledge},
    };
    for (const Row &r : rows) {
        Rig rig;
        rig.link.station().setWriteAck(r.ack);
        std::vector<WriteError> results;
        QObject::connect(&rig.recorder, &Recorder::writeFinished, [&](int, WriteError e) { results.push_back(e); });
        rig.recorder.requestWrite({90, [](StationImage &image) { image[90] = 12; }});
        EXPECT_EQ(results, std::vector<WriteError>{r.result}) << r.situation;
        EXPECT_FALSE(rig.recorder.busy()) << r.situation;
    }
}

TEST(StationThatLies, SlotIndexPastTheRingEndsTheReadInsteadOfReadingPastMemory)
{
    for (int index : {209, 230, 255}) {
        Rig rig;
        rig.setNewestSlot(index);
        EXPECT_EQ(rig.recorder.fullRead(), FullReadResult::BadSlotIndex) << "index " << index;
        EXPECT_TRUE(rig.rows().empty()) << "index " << index;
        rig.takenOverUpTo(1);  // position 257
        rig.setNewestSlot(index);
        EXPECT_EQ(rig.recorder.incrementalRead(), PollResult::ReadFailed) << "index " << index;
        EXPECT_EQ(rig.recorder.lastRecordPosition(), 257) << "index " << index;
        for (int address : rig.link.readAddresses())
            EXPECT_LT(address, kStationMemorySize) << "index " << index;
    }
}

// A program killed in the middle of full reads loses no row that was
// committed before the kill, and leaves a sound file.
TEST(KilledDuringFullReads, KeepsEveryCommittedRowAndASoundFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("datat"));
    const unsigned seed = std::random_device()();
    SCOPED_TRACE(testing::Message() << "random seed " << seed);
    std::mt19937 random(seed);
    auto storedDates = [&](HistoryStore &store) {
        std::set<QString> dates;
        store.forEachBetween(QDateTime(QDate(2000, 1, 1), QTime()), QDateTime(QDate(2100, 1, 1), QTime()),
                             RowOrder::OldestFirst, [&](const HistoryRow &r) {
                                 dates.insert(HistoryStore::dateText(r.Dat));
                                 return true;
                             });
        return dates;
    };
    std::set<QString> committed;
    for (int run = 0; run < 50; ++run) {
        QProcess child;
        child.start(QStringLiteral(CRASH_RECORDER), {path});
        ASSERT_TRUE(child.waitForStarted(5000));
        QThread::msleep(std::uniform_int_distribution<unsigned>(30, 250)(random));
        // What a reader sees committed just before the kill must survive it.
        if (auto reader = HistoryStore::openForReading(path)) {
            const std::set<QString> seen = storedDates(*reader);
            committed.insert(seen.begin(), seen.end());
        }
        child.kill();
        ASSERT_TRUE(child.waitForFinished(5000));
        ASSERT_EQ(child.exitStatus(), QProcess::CrashExit) << child.readAllStandardError().constData();
        const QList<QByteArray> lines = child.readAllStandardOutput().split('\n');
        for (qsizetype i = 0; i + 1 < lines.size(); ++i)
            committed.insert(QString::fromLatin1(lines[i]));
    }
    HistoryStore::Opened opened = HistoryStore::open(path, QDateTime::currentDateTime());
    ASSERT_TRUE(opened.store);
    EXPECT_TRUE(opened.setAside.isEmpty()) << qPrintable(opened.error);
    QSqlQuery check(opened.store->database());
    ASSERT_TRUE(check.exec(QStringLiteral("PRAGMA integrity_check")) && check.next());
    EXPECT_EQ(check.value(0).toString(), QStringLiteral("ok"));
    const std::set<QString> stored = storedDates(*opened.store);
    ASSERT_GT(committed.size(), 209u);
    for (const QString &dat : committed)
        EXPECT_TRUE(stored.count(dat)) << qPrintable(dat) << " was committed but is gone";
}

// Hours of polling against a station that spoils a tenth of its answers (bad
// check bytes, lost and short answers, wrong start bytes), is unplugged now
// and then, and sometimes stores several records at once: the history ends
// up holding exactly the records the station stored, once each, with their
// dates, and the recorder is back to polling.
// ---- A history that fails for a while ------------------------------------------

TEST(HistoryThatFailsForAWhile, EveryRecordTheStationStillHoldsIsStoredOnceItWorksAgain)
{
    struct Row {
        const char *situation;
        bool anotherProgram;  // the SQL runs on a second connection, else on the history's own
        const char *fail;     // %1: the date after which a full disk rolls the batch back
        const char *heal;
    };
    const Row rows[] = {
        {"locked by another program", true, "BEGIN EXCLUSIVE", "ROLLBACK"},
        {"every write refused (a read-only or full disk)", false, "PRAGMA query_only = ON", "PRAGMA query_only = OFF"},
        // SQLite rolls a transaction back on a full disk: rows appended
        // before in the same batch are gone although their appends worked.
        {"a full disk that rolls the running batch back", false,
         "CREATE TEMP TRIGGER Full BEFORE INSERT ON main.MainSet WHEN NEW.Dat > '%1' "
         "BEGIN SELECT RAISE(ROLLBACK, 'database or disk is full'); END",
         "DROP TRIGGER temp.Full"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.situation);
        Rig rig;
        rig.recordUntil(40);
        // Another program's connection, left open when the test ends.
        QSqlDatabase other = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QString::fromLatin1(row.situation));
        other.setDatabaseName(rig.history->path());
        ASSERT_TRUE(other.open());
        QSqlQuery q(row.anotherProgram ? other : rig.history->database());
        ASSERT_TRUE(q.exec(QString::fromLatin1(row.fail).replace(QStringLiteral("%1"), HistoryStore::dateText(rig.stationSlot(200).Dat))));
        int told = 0;
        QObject::connect(&rig.recorder, &Recorder::storeFailed, [&told] { ++told; });

        ASSERT_EQ(rig.recorder.fullRead(), FullReadResult::Completed);
        for (int poll = 0; poll < 3; ++poll) {
            rig.link.station().addSlots(2);
            rig.recorder.poll();
        }
        EXPECT_EQ(rig.recorder.measurement().Dat, rig.stationSlot(46).Dat) << "the newest record is shown";
        EXPECT_GT(rig.recorder.recordsKept(), 0u);
        EXPECT_EQ(told, 1) << "the user is told once";
        ASSERT_TRUE(q.exec(QString::fromLatin1(row.heal)));
        rig.recorder.poll();
        rig.recorder.poll();

        std::set<QString> held, stored;
        for (int index = 0; index < kSlotCount; ++index)
            held.insert(HistoryStore::dateText(rig.stationSlot(index).Dat));
        const std::vector<HistoryRow> rows = rig.rows();
        for (const HistoryRow &r : rows)
            stored.insert(HistoryStore::dateText(r.Dat));
        EXPECT_TRUE(std::includes(stored.begin(), stored.end(), held.begin(), held.end()));
        EXPECT_EQ(rows.size(), stored.size()) << "no record twice";
        EXPECT_EQ(rig.recorder.recordsKept(), 0u);
    }
}

TEST(Soak, HistoryEqualsWhatTheStationStoredDespiteFaultsUnpluggingAndJumps)
{
    sim::SimConfig c = Rig::quietStation();
    c.faultRate = 0.1;
    c.faultSeed = 20261207;
    Rig rig(c);
    std::mt19937 random(7);
    std::set<QString> stored;  // every record the station has held
    auto noteNewest = [&](int count) {
        const int newest = rig.link.station().newestSlotIndex();
        for (int k = 0; k < count; ++k)
            stored.insert(HistoryStore::dateText(rig.stationSlot((newest - k + kSlotCount) % kSlotCount).Dat));
    };
    noteNewest(kSlotCount);

    int fullReads = 0;
    int polls = 0;
    QObject::connect(&rig.recorder, &Recorder::fullReadActive, [&](bool active) { fullReads += active ? 1 : 0; });
    const int ticks = 6 * 360;  // six hours of ten-second polls
    int unpluggedUntil = -1;
    for (int tick = 0; tick < ticks; ++tick) {
        if (tick % 30 == 29) {  // a record every five minutes, sometimes several at once
            const int count = std::uniform_int_distribution<int>(0, 9)(random) == 0
                                  ? std::uniform_int_distribution<int>(2, 40)(random)
                                  : 1;
            rig.link.station().addSlots(count);
            noteNewest(count);
        }
        if (unpluggedUntil < 0 && std::uniform_int_distribution<int>(0, 299)(random) == 0) {
            unpluggedUntil = tick + std::uniform_int_distribution<int>(3, 120)(random);
            rig.link.station().setAttached(false);
        } else if (tick == unpluggedUntil) {
            unpluggedUntil = -1;
            rig.link.station().setAttached(true);
        }
        rig.recorder.linkCheck();
        if (rig.recorder.fullReadPending() || rig.recorder.timers().fullReadStart->isActive()) {
            rig.recorder.timers().fullReadStart->stop();
            rig.recorder.startFullRead();
        } else {
            ++polls;
            rig.recorder.poll();
        }
    }
    rig.link.station().setAttached(true);
    for (int settle = 0; settle < 20 && rig.recorder.lastRecordPosition() == 0; ++settle) {
        rig.recorder.linkCheck();
        rig.recorder.poll();
    }

    std::set<QString> history;
    std::size_t rows = 0;
    for (const HistoryRow &r : rig.rows()) {
        history.insert(HistoryStore::dateText(r.Dat));
        ++rows;
    }
    std::vector<QString> missing, extra;
    std::set_difference(stored.begin(), stored.end(), history.begin(), history.end(), std::back_inserter(missing));
    std::set_difference(history.begin(), history.end(), stored.begin(), stored.end(), std::back_inserter(extra));
    std::printf("soak: %zu records, %d polls, %d full reads, %d blocks read again\n", stored.size(), polls, fullReads,
                rig.recorder.blockRetries());
    EXPECT_EQ(rows, history.size()) << "no record twice";
    EXPECT_TRUE(missing.empty()) << missing.size() << " missing, first " << qPrintable(missing.front());
    EXPECT_TRUE(extra.empty()) << extra.size() << " not from the station, first " << qPrintable(extra.front());
    EXPECT_NE(rig.recorder.lastRecordPosition(), 0) << "back to polling";
    EXPECT_GT(rig.recorder.blockRetries(), 100);
}

// A recorder hands the station over, leaving its mirror; another takes the
// station and carries on from the mirror only when it is young, whole and
// agrees with the station (its settings, and a ring that moved by a few
// records). Otherwise it reads the station in full. Either way the history
// ends with every record the station holds, once; the mirror is used once.
TEST(Handover, MirrorIsCarriedOnFromOnlyWhileItStandsForTheStation)
{
    const QString mirrorName = QStringLiteral("handover.bin");
    struct Case {
        const char *situation;
        int added;  // records the station stores between the two owners
        std::function<void(Rig &, const QString &mirror)> meanwhile;
        bool continued;
    };
    auto leftAgo = [](qint64 ms) {
        return [ms](Rig &, const QString &mirror) {
            QFile f(mirror);
            ASSERT_TRUE(f.open(QIODevice::ReadWrite));
            f.seek(18);  // after the magic
            const qint64 at = QDateTime::currentMSecsSinceEpoch() - ms;
            for (int i = 0; i < 8; ++i)
                f.putChar(char((at >> (8 * i)) & 0xFF));
        };
    };
    const Case cases[] = {
        {"as left", 0, nullptr, true},
        {"three records later", 3, nullptr, true},
        {"left four minutes ago", 0, leftAgo(4 * 60 * 1000), true},
        {"left six minutes ago (one period is five)", 0, leftAgo(6 * 60 * 1000), false},
        {"another altitude set meanwhile", 0, [](Rig &r, const QString &) { r.link.station().memory()[90] ^= 0x11; },
         false},
        {"another history period set meanwhile", 0,
         [](Rig &r, const QString &) { r.link.station().memory()[kPeriodByte] = 2; }, false},
        {"cut short", 0, [](Rig &, const QString &m) { QFile(m).resize(4000); }, false},
        {"the ring moved too far", Recorder::kMaxCatchUp + 8, nullptr, false},
        {"the ring went round and three more", kSlotCount + 3, nullptr, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.situation);
        Rig rig;
        const QString mirror = rig.dir.filePath(mirrorName);
        rig.recorder.setHandoverPath(mirror);
        ASSERT_EQ(rig.recorder.fullRead(), FullReadResult::Completed);
        rig.recorder.suspend();
        ASSERT_TRUE(rig.recorder.leaveHandover());
        rig.link.station().addSlots(c.added);
        if (c.meanwhile)
            c.meanwhile(rig, mirror);

        Recorder next;
        next.setHandoverPath(mirror);
        next.setLink(&rig.api, rig.recorder.device());
        next.setHistory(rig.history.get());
        next.setAnswerWait(50);
        next.timers().fullReadStart->setInterval(10);
        const std::size_t readsBefore = rig.link.readAddresses().size();
        next.start();
        EXPECT_FALSE(QFile::exists(mirror));
        ASSERT_TRUE(waitUntil([&] { return (next.handoversContinued() > 0 || next.slotsTakenOver() > 0) && !next.busy(); }));
        next.shutDown();
        EXPECT_EQ(next.handoversContinued(), c.continued ? 1 : 0);
        const std::size_t reads = rig.link.readAddresses().size() - readsBefore;
        if (c.continued)
            EXPECT_EQ(reads, std::size_t(8 + 2 * c.added));
        else
            EXPECT_GE(reads, std::size_t(kBlockCount));
        const std::vector<HistoryRow> rows = rig.rows();
        EXPECT_EQ(int(rows.size()), kSlotCount + std::min(c.added, kSlotCount));
        EXPECT_EQ(rows.back().Dat, rig.stationSlot(rig.link.station().newestSlotIndex()).Dat);
    }
}

// The end comes while the ring is taken over: the slots after the last one
// stored were never taken, so the read is not complete and no mirror claims
// they were.
TEST(Handover, NoMirrorAfterAReadTheEndCutShort)
{
    Rig rig;
    rig.recorder.setHandoverPath(rig.dir.filePath(QStringLiteral("handover.bin")));
    QObject::connect(&rig.recorder, &Recorder::stageChanged, &rig.recorder, [&](ReadStage stage) {
        if (stage == ReadStage::SavingToComputer)
            rig.recorder.shutDown();
    });
    EXPECT_EQ(rig.recorder.fullRead(), FullReadResult::BlockFailed);
    EXPECT_LT(int(rig.rows().size()), kSlotCount);
    EXPECT_FALSE(rig.recorder.leaveHandover());
    EXPECT_FALSE(QFile::exists(rig.dir.filePath(QStringLiteral("handover.bin"))));
}
