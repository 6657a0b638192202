// The history after an unclean end: a large file opens at once, unchecked,
// while its full check runs on a thread of its own; a damaged file is set
// aside and rebuilt from every record that can still be read, records taken
// meanwhile included, and the user is told.
#include "HistoryCheck.h"
#include "HistoryStore.h"
#include "StationEngine.h"
#include "SyntheticHistory.h"
#include "support/SimLink.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>
#include <optional>

using namespace nimbrel;

namespace {

const QDateTime kEnd(QDate(2026, 6, 21), QTime(12, 0));
constexpr std::int64_t kRecords = 12000;  // about 2.6 MB, above the size checked at every open

// A history of kRecords five-minute records, left as a program that ended
// without closing it leaves it: a journal beside the file. With `damage`,
// three pages in the middle of the file are overwritten.
QString crashedHistory(const QTemporaryDir &dir, bool damage)
{
    const QString path = QDir(dir.path()).filePath(QStringLiteral("datat"));
    tool::SyntheticHistory h;
    h.end = kEnd;
    h.periodSeconds = 300;
    h.records = kRecords;
    if (!tool::generatedHistoryFile(path, h))
        return {};
    QFile file(path);
    if (damage && file.open(QIODevice::ReadWrite)) {
        const qint64 page = 4096;
        file.seek((file.size() / page * 3 / 5) * page);
        file.write(QByteArray(3 * page, '\x5a'));
        file.close();
    }
    // Not a valid log: SQLite discards it, but it marks the end as unclean.
    QFile wal(path + QStringLiteral("-wal"));
    if (!wal.open(QIODevice::WriteOnly) || wal.write(QByteArray(32, '\0')) != 32)
        return {};
    return path;
}

bool checksSound(const QString &path)
{
    auto reopened = HistoryStore::openForReading(path);
    if (!reopened)
        return false;
    QSqlQuery q(reopened->database());
    return q.exec(QStringLiteral("PRAGMA integrity_check")) && q.next() && q.value(0).toString() == "ok";
}

// Runs the check and waits for its finding.
HistoryCheckOutcome checked(const QString &path)
{
    QObject context;
    QEventLoop loop;
    std::optional<HistoryCheckOutcome> outcome;
    HistoryCheck check(path, kEnd, &context, [&](const HistoryCheckOutcome &o) {
        outcome = o;
        loop.quit();
    });
    if (!outcome)
        loop.exec();
    return *outcome;
}

}  // namespace

TEST(HistoryCheck, FindingsAndTheRebuiltFile)
{
    using Finding = HistoryCheckOutcome::Finding;
    for (const bool damage : {false, true}) {
        SCOPED_TRACE(damage ? "three pages overwritten" : "a sound file");
        QTemporaryDir dir;
        const QString path = crashedHistory(dir, damage);
        ASSERT_FALSE(path.isEmpty());
        HistoryStore::Opened opened = HistoryStore::open(path, kEnd);
        ASSERT_TRUE(opened.store);
        EXPECT_EQ(opened.problem, TableProblem::None);
        EXPECT_TRUE(opened.fullCheckPending);
        EXPECT_TRUE(QFile::exists(uncheckedMarkerOf(path)));

        const HistoryCheckOutcome outcome = checked(path);
        if (!damage) {
            EXPECT_EQ(outcome.finding, Finding::Sound) << outcome.why.toStdString();
            EXPECT_FALSE(QFile::exists(HistoryCheck::rebuiltPathOf(path)));
            EXPECT_FALSE(QFile::exists(uncheckedMarkerOf(path)));
            continue;
        }
        ASSERT_EQ(outcome.finding, Finding::Damaged);
        ASSERT_FALSE(outcome.rebuiltPath.isEmpty());
        // Three pages hold well under 200 records.
        EXPECT_LE(outcome.recordsKept, kRecords);
        EXPECT_GE(outcome.recordsKept, kRecords - 200);

        // Recording went on meanwhile: a record newer than all is carried over.
        HistoryRow late;
        late.Dat = kEnd.addSecs(300);
        late.TempDoor = 21.5;
        ASSERT_EQ(opened.store->appendRow(late), AppendResult::Appended);
        HistoryReplaced replaced = replaceDamagedHistory(std::move(opened.store), outcome, kEnd);
        ASSERT_TRUE(replaced.store);
        EXPECT_TRUE(replaced.error.isEmpty()) << replaced.error.toStdString();
        EXPECT_EQ(replaced.recordsCarried, 1);
        EXPECT_EQ(replaced.store->count(), outcome.recordsKept + 1);
        HistoryRow newest;
        ASSERT_TRUE(replaced.store->newest(newest));
        EXPECT_EQ(newest.Dat, late.Dat);
        EXPECT_TRUE(QFile::exists(replaced.setAside));
        EXPECT_FALSE(QFile::exists(uncheckedMarkerOf(path)));
        EXPECT_FALSE(QFile::exists(outcome.rebuiltPath));
        replaced.store.reset();
        EXPECT_TRUE(checksSound(path));
    }
}

TEST(HistoryCheck, EndedEarlyItReportsNothingAndIsDueAgainAtTheNextStart)
{
    QTemporaryDir dir;
    const QString path = crashedHistory(dir, true);
    ASSERT_FALSE(path.isEmpty());
    ASSERT_TRUE(HistoryStore::open(path, kEnd).fullCheckPending);
    QObject context;
    bool reported = false;
    {
        HistoryCheck check(path, kEnd, &context, [&](const HistoryCheckOutcome &) { reported = true; });
    }
    QCoreApplication::processEvents();
    EXPECT_FALSE(reported);
    EXPECT_FALSE(QFile::exists(HistoryCheck::rebuiltPathOf(path)));
    EXPECT_TRUE(QFile::exists(path));
    // Closed cleanly, the file is still checked at the next open.
    EXPECT_TRUE(HistoryStore::open(path, kEnd).fullCheckPending);
}

TEST(HistoryCheck, TheEngineStartsOnTheFileAndTellsOfTheRebuild)
{
    QTemporaryDir dir;
    ASSERT_FALSE(crashedHistory(dir, true).isEmpty());
    sim::SimConfig detached;
    detached.attached = false;
    test::SimLink link(detached);
    AppContext context;
    context.workDir = dir.path();
    StationEngine engine(context);
    engine.useLink(link.api());
    QEventLoop loop;
    SnapshotPtr rebuilt;
    QObject::connect(&engine, &StationEngine::changed, &loop, [&](const SnapshotPtr &s) {
        if (s->change == SnapshotChange::HistoryRebuilt) {
            rebuilt = s;
            loop.quit();
        }
    });
    engine.openTables();
    // Open at once, with nothing to say yet.
    ASSERT_TRUE(engine.history());
    EXPECT_TRUE(engine.tableProblems().isEmpty()) << engine.tableProblems().toStdString();
    ASSERT_EQ(engine.openStation(), LinkLoadError::None);
    engine.start();
    if (!rebuilt)
        loop.exec();
    ASSERT_TRUE(rebuilt);
    EXPECT_TRUE(rebuilt->tableNotice.contains(QStringLiteral("was kept as datat.damaged-")))
        << rebuilt->tableNotice.toStdString();
    EXPECT_EQ(engine.tableProblems(), rebuilt->tableNotice);
    ASSERT_TRUE(engine.history());
    EXPECT_GE(engine.history()->count(), kRecords - 200);
    const QStringList aside = QDir(dir.path()).entryList({QStringLiteral("datat.damaged-*")});
    EXPECT_FALSE(aside.isEmpty());
    engine.shutDown();
    EXPECT_TRUE(checksSound(QDir(dir.path()).filePath(QStringLiteral("datat"))));
}
