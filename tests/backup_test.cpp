// Backups of the data folder: a copy taken while records are appended holds
// one consistent moment with every record of it; restore is refused while a
// program holds the folder and puts a backup back whole; a folder copied
// with its lock file opens.
#include "DataFolderLock.h"
#include "FolderBackup.h"
#include "HistoryStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
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

// The recorder and the automatic backup share one thread: appends fall
// between the copy's steps. The copy is of the moment it began, every record
// of that moment in it, and the history goes on growing meanwhile.
TEST_F(Folders, ACopyTakenInStepsBetweenAppendsHoldsEveryRecordOfItsMoment)
{
    auto history = makeHistory(data(), 20000);
    ASSERT_TRUE(history);
    writeFile(QDir(data()).filePath(QStringLiteral("sumlocal.bin")), QByteArray(256, '\x5a'));
    FolderBackup backup(data(), path("copy"), kStart, 16);
    int appended = 0;
    FolderBackup::Step step;
    while ((step = backup.step()) == FolderBackup::Step::More)
        ASSERT_EQ(history->appendRow(rowAt((20000 + appended++) * 5)), AppendResult::Appended);
    ASSERT_EQ(step, FolderBackup::Step::Done) << backup.error().toStdString();
    EXPECT_GT(appended, 20) << "the copy ran in steps";
    EXPECT_EQ(history->count(), 20000 + appended);

    const long long copied = countIn(path("copy"));
    EXPECT_EQ(copied, backup.manifest().records);
    EXPECT_GE(copied, 20000);
    const auto copy = HistoryStore::openForReading(QDir(path("copy")).filePath(QStringLiteral("datat")));
    HistoryRow newest;
    ASSERT_TRUE(copy->newest(newest));
    EXPECT_EQ(newest.Dat, backup.manifest().newest);
    EXPECT_EQ(newest.Dat, rowAt(int(copied - 1) * 5).Dat) << "no record of the moment is missing";
    EXPECT_EQ(checkBackupFolder(path("copy")), QString());
    EXPECT_TRUE(QFileInfo(QDir(path("copy")).filePath(QStringLiteral("sumlocal.bin"))).isFile());
    const QStringList left = QDir(root.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    EXPECT_EQ(left, (QStringList{QStringLiteral("copy"), QStringLiteral("data")})) << "no hidden folder left";
}

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
