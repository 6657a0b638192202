// Backups of the data folder: a copy taken while records are appended holds
// one consistent moment with every record of it; restore is refused while a
// program holds the folder and puts a backup back whole; a folder copied
// with its lock file opens.
#include "AutoBackup.h"
#include "BackupRotation.h"
#include "DataFolderLock.h"
#include "FolderBackup.h"
#include "HistoryStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString &s, std::ostream *os) { *os << '"' << s.toStdString() << '"'; }
QT_END_NAMESPACE

using namespace nimbrel;

namespace {

struct ToolRun {
    int exitCode = -1;
    QString out;
    QString err;
};

ToolRun finished(QProcess &p)
{
    ToolRun r;
    if (p.state() != QProcess::NotRunning && !p.waitForFinished(240000)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

ToolRun runTool(const QStringList &arguments)
{
    QProcess p;
    p.start(QStringLiteral(NIMBREL_TOOL), arguments);
    return finished(p);
}

const QDateTime kStart(QDate(2024, 3, 1), QTime(0, 0), Qt::UTC);

HistoryRow rowAt(int minutes)
{
    HistoryRow row;
    row.Dat = kStart.addSecs(qint64(minutes) * 60);
    row.TempDoor = 20 + minutes % 7;
    row.RainCount = minutes;
    return row;
}

// A history of `records` rows every 5 minutes, left open for writing.
std::unique_ptr<HistoryStore> makeHistory(const QString &folder, int records)
{
    HistoryStore::Opened opened = HistoryStore::open(QDir(folder).filePath(QStringLiteral("datat")), kStart);
    if (!opened.store)
        return nullptr;
    HistoryStore::Batch batch(*opened.store);
    for (int i = 0; i < records; ++i)
        opened.store->appendRow(rowAt(i * 5));
    batch.commit();
    return std::move(opened.store);
}

long long countIn(const QString &folder)
{
    const auto store = HistoryStore::openForReading(QDir(folder).filePath(QStringLiteral("datat")));
    return store ? store->count() : -1;
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

class Folders : public testing::Test {
protected:
    QString data() const { return root.filePath(QStringLiteral("data")); }
    QString path(const char *name) const { return root.filePath(QString::fromLatin1(name)); }
    void SetUp() override { ASSERT_TRUE(QDir().mkpath(data())); }
    QTemporaryDir root;
};

// ---- Backing up beside a writer --------------------------------------------

// nimbrel-tool backup runs in its own process while this one appends, as
// the recorder does: the copy opens with every record its manifest counts.
TEST_F(Folders, ToolBackupDuringAppendsOpensWithEveryRecord)
{
    auto history = makeHistory(data(), 60000);
    ASSERT_TRUE(history);
    DataFolderLock owner(data());
    ASSERT_EQ(owner.tryLock(), DataFolderLock::State::Held);
    QProcess p;
    p.start(QStringLiteral(NIMBREL_TOOL), {QStringLiteral("backup"), QStringLiteral("--data-dir"), data(), path("b")});
    ASSERT_TRUE(p.waitForStarted());
    int appended = 0;
    while (!p.waitForFinished(5))
        ASSERT_EQ(history->appendRow(rowAt((60000 + appended++) * 5)), AppendResult::Appended);
    const ToolRun run = finished(p);
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    BackupManifest manifest;
    ASSERT_TRUE(readBackupManifest(path("b"), manifest, nullptr));
    EXPECT_GE(manifest.records, 60000);
    EXPECT_LE(manifest.records, 60000 + appended);
    EXPECT_EQ(countIn(path("b")), manifest.records);
    EXPECT_FALSE(QFileInfo::exists(QDir(path("b")).filePath(DataFolderLock::fileName()))) << "no lock copied";
}

TEST_F(Folders, BackupRefusesATargetInsideTheFolderOrOneNotEmpty)
{
    ASSERT_TRUE(makeHistory(data(), 10));
    ASSERT_TRUE(QDir().mkpath(path("full")));
    writeFile(path("full/keep.txt"), "mine");
    ASSERT_TRUE(QDir().mkpath(path("empty")));
    const struct {
        const char *situation;
        QString target;
        int exitCode;
    } rows[] = {
        {"inside the data folder", QDir(data()).filePath(QStringLiteral("backups/today")), 2},
        {"the data folder itself", data(), 2},
        {"a folder holding files", path("full"), 2},
        {"an empty folder", path("empty"), 0},
        {"a new folder whose parent is missing", path("new/today"), 0},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.situation);
        const ToolRun run = runTool({QStringLiteral("backup"), QStringLiteral("--data-dir"), data(), row.target});
        EXPECT_EQ(run.exitCode, row.exitCode) << run.err.toStdString();
        if (row.exitCode == 2)
            EXPECT_EQ(run.err.count(QLatin1Char('\n')), 1) << "one sentence: " << run.err.toStdString();
        else
            EXPECT_EQ(countIn(row.target), 10);
    }
    EXPECT_FALSE(QFileInfo::exists(QDir(data()).filePath(QStringLiteral("backups"))));
    EXPECT_EQ(QDir(path("full")).entryList(QDir::Files), QStringList{QStringLiteral("keep.txt")});
}

// ---- Restoring ---------------------------------------------------------------

TEST_F(Folders, RestoreRoundTripKeepsWhatItReplaces)
{
    {
        auto history = makeHistory(data(), 300);
        ASSERT_TRUE(history);
    }
    writeFile(QDir(data()).filePath(QStringLiteral("nimbrel.ini")), "[web]\nenabled=true\n");
    ASSERT_EQ(runTool({QStringLiteral("backup"), QStringLiteral("--data-dir"), data(), path("b")}).exitCode, 0);
    {
        // Recording went on, then the settings were spoiled.
        auto history = makeHistory(data(), 500);
        ASSERT_TRUE(history);
    }
    writeFile(QDir(data()).filePath(QStringLiteral("nimbrel.ini")), "spoiled");

    const ToolRun run = runTool({QStringLiteral("restore"), QStringLiteral("--data-dir"), data(), path("b")});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(countIn(data()), 300);
    QFile ini(QDir(data()).filePath(QStringLiteral("nimbrel.ini")));
    ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
    EXPECT_EQ(ini.readAll(), "[web]\nenabled=true\n");
    const QStringList kept = QDir(data()).entryList({QStringLiteral("replaced-*")}, QDir::Dirs);
    ASSERT_EQ(kept.size(), 1);
    EXPECT_EQ(countIn(QDir(data()).filePath(kept.first())), 500) << "the replaced history is kept whole";
    EXPECT_EQ(countIn(path("b")), 300) << "the backup stays";
    EXPECT_TRUE(QDir(data()).entryList({QStringLiteral(".restore-*")}, QDir::Dirs | QDir::Hidden).isEmpty());
}

TEST_F(Folders, RestoreIsRefusedWhileAProgramHoldsTheFolderOrTheBackupIsBad)
{
    ASSERT_TRUE(makeHistory(data(), 40));
    ASSERT_EQ(runTool({QStringLiteral("backup"), QStringLiteral("--data-dir"), data(), path("good")}).exitCode, 0);
    ASSERT_TRUE(QDir().mkpath(path("damaged")));
    for (const QString &name : QStringList{QStringLiteral("datat"), QLatin1String(kBackupManifest)})
        ASSERT_TRUE(QFile::copy(QDir(path("good")).filePath(name), QDir(path("damaged")).filePath(name)));
    {
        QFile f(QDir(path("damaged")).filePath(QStringLiteral("datat")));
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        f.seek(4096);
        f.write(QByteArray(8192, '\xee'));
    }
    ASSERT_TRUE(QDir().mkpath(path("plain")));
    ASSERT_TRUE(QFile::copy(QDir(path("good")).filePath(QStringLiteral("datat")), path("plain/datat")));
    {
        auto history = makeHistory(data(), 70);  // the folder moved on since the backup
        ASSERT_TRUE(history);
    }

    const struct {
        const char *situation;
        QString lockName;  // held by this process; empty: none
        const char *backup;
        int exitCode;
    } rows[] = {
        {"the window runs", DataFolderLock::fileName(), "good", 1},
        {"the background recorder runs", DataFolderLock::recorderFileName(), "good", 1},
        {"a backup whose history is damaged", {}, "damaged", 2},
        {"a folder without a manifest", {}, "plain", 2},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.situation);
        std::unique_ptr<DataFolderLock> lock;
        if (!row.lockName.isEmpty()) {
            lock = std::make_unique<DataFolderLock>(data(), row.lockName);
            ASSERT_EQ(lock->tryLock(), DataFolderLock::State::Held);
        }
        const ToolRun run = runTool({QStringLiteral("restore"), QStringLiteral("--data-dir"), data(),
                                     root.filePath(QString::fromLatin1(row.backup))});
        EXPECT_EQ(run.exitCode, row.exitCode) << run.err.toStdString();
        EXPECT_EQ(countIn(data()), 70) << "nothing replaced";
        EXPECT_TRUE(QDir(data()).entryList({QStringLiteral("replaced-*")}, QDir::Dirs).isEmpty());
    }
}

// ---- Automatic backups --------------------------------------------------------

QDateTime local(const char *text)
{
    return QDateTime::fromString(QString::fromLatin1(text), Qt::ISODate);
}

TEST(BackupRotation, KeepsTheNewestOfEachRecentDayAndOfEachEarlierWeek)
{
    const struct {
        const char *situation;
        std::vector<const char *> made;  // in no particular order
        int daily;
        int weekly;
        std::vector<const char *> kept;
    } rows[] = {
        {"fewer than the days kept", {"2026-12-07T03:00:00", "2026-12-06T03:00:00"}, 7, 4,
         {"2026-12-07T03:00:00", "2026-12-06T03:00:00"}},
        {"two backups of one day keep the later",
         {"2026-12-07T03:00:00", "2026-12-07T21:00:00", "2026-12-06T03:00:00"}, 2, 0,
         {"2026-12-07T21:00:00", "2026-12-06T03:00:00"}},
        {"a missed day is not counted: the last days that have one are kept",
         {"2026-12-07T03:00:00", "2026-12-03T03:00:00", "2026-12-02T03:00:00"}, 2, 0,
         {"2026-12-07T03:00:00", "2026-12-03T03:00:00"}},
        // Mon 7 Dec, Sun 6, Sat 5 daily; 4 and 3 Dec share the week of the
        // 5th; then the latest of each earlier week: 29, (not 25), 17, 10 Nov.
        {"daily ones, then the latest day of each earlier week",
         {"2026-12-07T03:00:00", "2026-12-06T03:00:00", "2026-12-05T03:00:00", "2026-12-04T03:00:00",
          "2026-12-03T03:00:00", "2026-11-29T03:00:00", "2026-11-25T03:00:00", "2026-11-17T03:00:00",
          "2026-11-10T03:00:00"},
         3, 3, {"2026-12-07T03:00:00", "2026-12-06T03:00:00", "2026-12-05T03:00:00", "2026-11-29T03:00:00",
                "2026-11-17T03:00:00", "2026-11-10T03:00:00"}},
        {"a week holding a daily one needs no weekly one",
         {"2026-12-07T03:00:00", "2026-12-06T03:00:00", "2026-12-05T03:00:00", "2026-11-28T03:00:00"}, 2, 1,
         {"2026-12-07T03:00:00", "2026-12-06T03:00:00", "2026-11-28T03:00:00"}},
        {"a year-end ISO week spans two years",
         {"2027-01-02T03:00:00", "2026-12-29T03:00:00", "2026-12-28T03:00:00", "2026-12-21T03:00:00"}, 1, 2,
         {"2027-01-02T03:00:00", "2026-12-21T03:00:00"}},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.situation);
        std::vector<QDateTime> made;
        for (const char *m : row.made)
            made.push_back(local(m));
        const std::vector<bool> kept = keptBackups(made, row.daily, row.weekly);
        QStringList got;
        for (std::size_t i = 0; i < made.size(); ++i)
            if (kept[i])
                got << made[i].toString(Qt::ISODate);
        QStringList expected;
        for (const char *k : row.kept)
            expected << QString::fromLatin1(k);
        got.sort();
        expected.sort();
        EXPECT_EQ(got, expected);
        EXPECT_EQ(automaticBackupTime(automaticBackupName(made.front())), made.front()) << "names read back";
    }
}

TEST(BackupSettings, BadValuesAreNamedWithTheirLineAndLeaveBackupsOff)
{
    const struct {
        const char *ini;
        bool enabled;
        const char *folder;  // relative to the temporary root
        int daily;
        const char *problem;  // contained in the only problem; empty: none
    } rows[] = {
        {"", false, "nimbrel-backups", 7, ""},
        {"[backup]\nenabled=true\n", true, "nimbrel-backups", 7, ""},
        {"[backup]\nenabled=true\nfolder=saved\ndaily=10\nweekly=0\n", true, "saved", 10, ""},
        {"[backup]\nenabled=true\ndaily=seven\n", false, "nimbrel-backups", 7,
         "nimbrel.ini:3: daily must be a whole number from 1 to 366, not \"seven\""},
        {"[backup]\nenabled=true\nfolder=data/backups\n", false, "nimbrel-backups", 7,
         "nimbrel.ini:3: folder data/backups lies inside the data folder"},
        {"[backup]\nenabled=true\nevery=day\n", false, "nimbrel-backups", 7,
         "nimbrel.ini:3: unknown key \"every\" in [backup]"},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.ini);
        QTemporaryDir root;
        ASSERT_TRUE(QDir().mkpath(root.filePath(QStringLiteral("data"))));
        const QString ini = root.filePath(QStringLiteral("data/nimbrel.ini"));
        writeFile(ini, row.ini);
        const PublishSettings s = loadPublishSettings(ini);
        EXPECT_EQ(s.backup.enabled, row.enabled);
        EXPECT_EQ(s.backup.folder, root.filePath(QString::fromLatin1(row.folder)));
        EXPECT_EQ(s.backup.daily, row.daily);
        ASSERT_EQ(s.problems.size(), *row.problem ? 1 : 0) << s.problems.join('|').toStdString();
        if (*row.problem)
            EXPECT_TRUE(s.problems.first().startsWith(QString::fromLatin1(row.problem))) << s.problems.first().toStdString();
    }
}

// The engine's daily backup steps only between exchanges (a poll appends
// meanwhile), holds every record of its moment, and removes the backups
// beyond those kept, leaving whatever else is in the folder.
TEST_F(Folders, TheDailyBackupStepsBetweenExchangesAndKeepsTheNewest)
{
    auto history = makeHistory(data(), 30000);
    ASSERT_TRUE(history);
    writeFile(QDir(data()).filePath(QStringLiteral("sumlocal.bin")), QByteArray(256, '\x5a'));
    const QString saved = path("saved");
    for (const char *name : {"nimbrel-20261206-030000", "nimbrel-20261205-030000", "nimbrel-20261204-030000"}) {
        ASSERT_TRUE(QDir().mkpath(saved + '/' + name));
        writeFile(saved + '/' + name + '/' + kBackupManifest, "{}");
    }
    ASSERT_TRUE(QDir().mkpath(saved + "/nimbrel-20261203-030000"));  // no manifest: not ours to remove
    BackupSettings settings;
    settings.enabled = true;
    settings.folder = saved;
    settings.daily = 2;
    settings.weekly = 0;
    const QDateTime now = local("2026-12-07T03:00:00");
    bool busy = false;
    int stepsOffered = 0;
    int appended = 0;
    AutoBackup backup(data(), settings, [&] { return now; }, [&] {
        // Every other turn an exchange runs and stores a record.
        busy = !busy;
        ++stepsOffered;
        if (busy)
            history->appendRow(rowAt((30000 + appended++) * 5));
        return !busy;
    });
    QSignalSpy finished(&backup, &AutoBackup::finished);
    backup.check();
    ASSERT_TRUE(backup.running());
    ASSERT_TRUE(finished.wait(120000));
    ASSERT_TRUE(finished.first().at(0).toBool()) << finished.first().at(1).toString().toStdString();
    EXPECT_GT(appended, 3);

    const QString made = saved + "/nimbrel-20261207-030000";
    BackupManifest manifest;
    ASSERT_TRUE(readBackupManifest(made, manifest, nullptr));
    const auto copy = HistoryStore::openForReading(QDir(made).filePath(QStringLiteral("datat")));
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->count(), manifest.records);
    EXPECT_GE(manifest.records, 30000);
    HistoryRow newest;
    ASSERT_TRUE(copy->newest(newest));
    EXPECT_EQ(newest.Dat, rowAt(int(manifest.records - 1) * 5).Dat) << "no record of its moment is missing";
    EXPECT_EQ(newest.Dat, manifest.newest);
    EXPECT_TRUE(QFileInfo(QDir(made).filePath(QStringLiteral("sumlocal.bin"))).isFile());
    const QStringList left = QDir(saved).entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden);
    EXPECT_EQ(left, (QStringList{"nimbrel-20261203-030000", "nimbrel-20261206-030000", "nimbrel-20261207-030000"}));

    backup.check();
    EXPECT_FALSE(backup.running()) << "one a day";
}

// ---- A folder copied with its lock ----------------------------------------

TEST_F(Folders, AFolderCopiedWithItsLockOpensWhileTheOriginalIsHeld)
{
    DataFolderLock original(data());
    ASSERT_EQ(original.tryLock(), DataFolderLock::State::Held);
    const QString lockFile = DataFolderLock::fileName();
    const QByteArray liveElsewhere =
        QByteArray::number(QCoreApplication::applicationPid()) + "\nnimbrel\nsome-other-host.example\n";
    const struct {
        const char *situation;
        QStringList copied;       // files copied from the held original
        QByteArray lockContents;  // else written as the lock file
        DataFolderLock::State expected;
    } rows[] = {
        {"the folder copied whole on this host", {lockFile, lockFile + QStringLiteral(".owner")}, {},
         DataFolderLock::State::Held},
        {"a lock of a live process on another host", {}, liveElsewhere, DataFolderLock::State::Held},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.situation);
        QTemporaryDir copy;
        for (const QString &name : row.copied)
            ASSERT_TRUE(QFile::copy(QDir(data()).filePath(name), QDir(copy.path()).filePath(name))) << name.toStdString();
        if (row.copied.isEmpty())
            writeFile(QDir(copy.path()).filePath(lockFile), row.lockContents);
        DataFolderLock lock(copy.path());
        EXPECT_EQ(lock.tryLock(), row.expected) << lock.errorString().toStdString();
    }
    DataFolderLock again(data());
    EXPECT_EQ(again.tryLock(), DataFolderLock::State::HeldByOther) << "the original stays held";
}

}  // namespace
