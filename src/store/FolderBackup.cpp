#include "FolderBackup.h"

#include "HistoryStore.h"
#include "SafeFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QTemporaryDir>
#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>

namespace nimbrel {

namespace {

// sumlocal.bin is 256 bytes and nimbrel.ini a few lines; anything larger
// under those names is not ours to copy.
constexpr qint64 kPlainFileLimit = 1024 * 1024;
constexpr qint64 kManifestLimit = 64 * 1024;
// A table that stays locked by its writer for this many steps (each waits
// up to kSourceBusyWaitMs) is given up: the copy would not finish.
constexpr int kBusyStepLimit = 200;
constexpr int kSourceBusyWaitMs = 20;
// Rows of the history counted per step: a few milliseconds.
constexpr int kRowsPerSlice = 20000;

QString canonicalOrClean(const QString &path)
{
    const QFileInfo info(path);
    if (info.exists())
        return info.canonicalFilePath();
    // A target that does not exist yet: its parent decides where it lies.
    const QFileInfo parent(info.absolutePath());
    const QString base = parent.exists() ? parent.canonicalFilePath() : QDir::cleanPath(parent.absoluteFilePath());
    return QDir::cleanPath(base + QLatin1Char('/') + info.fileName());
}

bool exec(sqlite3 *db, const char *sql)
{
    return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

}  // namespace

QStringList backupTableFiles()
{
    return {QStringLiteral("datat"), QStringLiteral("datsum"), QStringLiteral("citycodes"), QStringLiteral("lang")};
}

QStringList backupPlainFiles()
{
    return {QStringLiteral("sumlocal.bin"), QStringLiteral("nimbrel.ini")};
}

QString backupTargetRefusal(const QString &dataFolder, const QString &target)
{
    const QString folder = canonicalOrClean(dataFolder);
    const QString where = canonicalOrClean(target);
    if (where == folder || where.startsWith(folder + QLatin1Char('/')))
        return QStringLiteral("%1 lies inside the data folder %2; choose a folder outside it.")
            .arg(QDir::toNativeSeparators(target), QDir::toNativeSeparators(dataFolder));
    const QFileInfo info(target);
    if (info.isSymLink() || (info.exists() && !info.isDir()))
        return QStringLiteral("%1 exists and is not a folder.").arg(QDir::toNativeSeparators(target));
    if (info.exists() && !QDir(target).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System))
        return QStringLiteral("%1 exists and is not empty; choose a new or empty folder.")
            .arg(QDir::toNativeSeparators(target));
    return {};
}

bool readBackupManifest(const QString &backupFolder, BackupManifest &manifest, QString *why)
{
    QByteArray bytes;
    QString reason;
    bool complete = false;
    const QString path = QDir(backupFolder).filePath(QLatin1String(kBackupManifest));
    const FileRead read = readFileStart(path, kManifestLimit, bytes, reason, false, &complete);
    if (read != FileRead::Read || !complete) {
        if (why)
            *why = read == FileRead::Missing ? QStringLiteral("%1 holds no %2: it is no Nimbrel backup")
                                                   .arg(QDir::toNativeSeparators(backupFolder), QLatin1String(kBackupManifest))
                                             : QStringLiteral("%1 cannot be read (%2)")
                                                   .arg(QDir::toNativeSeparators(path), complete ? reason : QStringLiteral("too large"));
        return false;
    }
    const QJsonObject o = QJsonDocument::fromJson(bytes).object();
    manifest.made = QDateTime::fromString(o.value(QStringLiteral("made")).toString(), Qt::ISODate);
    manifest.records = o.value(QStringLiteral("records")).toInteger(-1);
    manifest.newest = QDateTime::fromString(o.value(QStringLiteral("newest")).toString(), Qt::ISODate);
    if (!manifest.made.isValid() || manifest.records < 0) {
        if (why)
            *why = QStringLiteral("%1 is damaged").arg(QDir::toNativeSeparators(path));
        return false;
    }
    return true;
}

struct FolderBackup::Work {
    QString dataFolder;
    QString target;
    QDateTime now;
    int pages = 256;
    std::unique_ptr<QTemporaryDir> staging;
    QStringList tables = backupTableFiles();
    int table = -1;  // -1: not started
    sqlite3 *source = nullptr;
    sqlite3 *copy = nullptr;
    sqlite3_backup *backup = nullptr;
    int copyFd = -1;  // the copy being written, for flush()
    sqlite3_stmt *counting = nullptr;  // while the history's records are counted
    QByteArray newestText;
    int busySteps = 0;
    bool done = false;
    bool failed = false;
    QString error;
    BackupManifest manifest;

    ~Work() { closeTable(); }

    void closeTable()
    {
        if (copyFd >= 0)
            ::close(copyFd);
        copyFd = -1;
        if (counting)
            sqlite3_finalize(counting);
        counting = nullptr;
        if (backup)
            sqlite3_backup_finish(backup);
        backup = nullptr;
        if (copy)
            sqlite3_close_v2(copy);
        copy = nullptr;
        if (source) {
            exec(source, "COMMIT");
            sqlite3_close_v2(source);
        }
        source = nullptr;
    }

    Step fail(const QString &why)
    {
        closeTable();
        failed = true;
        error = why;
        return Step::Failed;
    }

    Step start()
    {
        const QString refusal = backupTargetRefusal(dataFolder, target);
        if (!refusal.isEmpty())
            return fail(refusal);
        const QFileInfo info(QDir::cleanPath(QFileInfo(target).absoluteFilePath()));
        if (!QDir().mkpath(info.absolutePath()))
            return fail(QStringLiteral("cannot create the folder %1").arg(QDir::toNativeSeparators(info.absolutePath())));
        staging = std::make_unique<QTemporaryDir>(
            QDir(info.absolutePath()).filePath(QStringLiteral(".%1.partial-XXXXXX").arg(info.fileName())));
        if (!staging->isValid())
            return fail(QStringLiteral("cannot create a folder beside %1: %2")
                            .arg(QDir::toNativeSeparators(target), staging->errorString()));
        table = 0;
        return Step::More;
    }

    // Opens the next table's source in a read transaction and its copy.
    // False when the table is missing (nothing to copy).
    bool openTable(Step &outcome)
    {
        const QString name = tables.at(table);
        const QString path = QDir(dataFolder).filePath(name);
        const QFileInfo info(path);
        if (!info.exists() && !info.isSymLink())
            return false;
        if (info.isSymLink() || !info.isFile()) {
            outcome = fail(QStringLiteral("%1 is not a regular file").arg(QDir::toNativeSeparators(path)));
            return true;
        }
        if (sqlite3_open_v2(QFile::encodeName(path).constData(), &source, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
            outcome = fail(QStringLiteral("cannot open %1: %2").arg(path, QString::fromUtf8(sqlite3_errmsg(source))));
            return true;
        }
        sqlite3_busy_timeout(source, kSourceBusyWaitMs);
        // The copy and the manifest's count see one moment of the table.
        if (!exec(source, "BEGIN") || !exec(source, "SELECT COUNT(*) FROM sqlite_master")) {
            const int code = sqlite3_errcode(source);
            if (code == SQLITE_BUSY || code == SQLITE_LOCKED) {
                closeTable();
                outcome = ++busySteps > kBusyStepLimit ? fail(QStringLiteral("%1 stays locked").arg(path)) : Step::More;
                return true;
            }
            outcome = fail(QStringLiteral("cannot read %1: %2").arg(path, QString::fromUtf8(sqlite3_errmsg(source))));
            return true;
        }
        if (name == QLatin1String("datat") && !startCounting(path, outcome))
            return true;
        const QString copyPath = QDir(staging->path()).filePath(name);
        if (sqlite3_open_v2(QFile::encodeName(copyPath).constData(), &copy, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                            nullptr) != SQLITE_OK ||
            !(backup = sqlite3_backup_init(copy, "main", source, "main"))) {
            outcome = fail(QStringLiteral("cannot write %1: %2").arg(copyPath, QString::fromUtf8(sqlite3_errmsg(copy))));
            return true;
        }
        // The copy is a new file in a hidden folder: it needs no journal, and
        // it is written out to disk as the copy goes (flush) and made
        // durable once at the end, not in one long wait at its last step.
        exec(copy, "PRAGMA journal_mode = OFF");
        exec(copy, "PRAGMA synchronous = OFF");
        copyFd = ::open(QFile::encodeName(copyPath).constData(), O_RDONLY | O_CLOEXEC);
        outcome = Step::More;
        return true;
    }

    // Starts writing out what the copy holds so far, without waiting.
    void flush() const
    {
        if (copyFd >= 0)
            ::sync_file_range(copyFd, 0, 0, SYNC_FILE_RANGE_WRITE);
    }

    // Waits until the copies are on disk.
    bool makeDurable()
    {
        bool ok = true;
        for (const QString &name : QDir(staging->path()).entryList(QDir::Files)) {
            const int fd = ::open(QFile::encodeName(QDir(staging->path()).filePath(name)).constData(), O_RDONLY | O_CLOEXEC);
            ok = ok && fd >= 0 && ::fsync(fd) == 0;
            if (fd >= 0)
                ::close(fd);
        }
        return ok;
    }

    // The history's records are counted through its date index a slice at
    // a time, in the same read transaction as the copy: a count in one go
    // takes a few hundred milliseconds for ten years.
    bool startCounting(const QString &path, Step &outcome)
    {
        if (sqlite3_prepare_v2(source, "SELECT Dat FROM MainSet ORDER BY Dat", -1, &counting, nullptr) != SQLITE_OK) {
            outcome = fail(QStringLiteral("%1 is no history: %2").arg(path, QString::fromUtf8(sqlite3_errmsg(source))));
            return false;
        }
        return true;
    }

    // More until the count is done.
    Step countSlice()
    {
        for (int i = 0; i < kRowsPerSlice; ++i) {
            const int rc = sqlite3_step(counting);
            if (rc == SQLITE_ROW) {
                ++manifest.records;
                newestText = QByteArray(reinterpret_cast<const char *>(sqlite3_column_text(counting, 0)));
                continue;
            }
            sqlite3_finalize(counting);
            counting = nullptr;
            if (rc != SQLITE_DONE)
                return fail(QStringLiteral("counting the records of datat failed: %1").arg(QString::fromUtf8(sqlite3_errstr(rc))));
            if (!newestText.isEmpty())
                manifest.newest = HistoryStore::dateFromText(QString::fromUtf8(newestText));
            break;
        }
        return Step::More;
    }

    Step copyPlainFiles()
    {
        for (const QString &name : backupPlainFiles()) {
            const QString path = QDir(dataFolder).filePath(name);
            const QFileInfo info(path);
            if (!info.exists() && !info.isSymLink())
                continue;
            if (info.isSymLink() || !info.isFile() || info.size() > kPlainFileLimit)
                return fail(QStringLiteral("%1 is not a regular file of sensible size").arg(QDir::toNativeSeparators(path)));
            if (!QFile::copy(path, QDir(staging->path()).filePath(name)))
                return fail(QStringLiteral("cannot copy %1").arg(QDir::toNativeSeparators(path)));
        }
        return Step::More;
    }

    Step finish()
    {
        if (!makeDurable())
            return fail(QStringLiteral("cannot write the copy to disk in %1").arg(QDir::toNativeSeparators(staging->path())));
        manifest.made = now;
        QJsonObject o{{QStringLiteral("made"), now.toString(Qt::ISODate)},
                      {QStringLiteral("records"), manifest.records},
                      {QStringLiteral("newest"), manifest.newest.isValid() ? manifest.newest.toString(Qt::ISODate)
                                                                           : QString()}};
        QSaveFile file(QDir(staging->path()).filePath(QLatin1String(kBackupManifest)));
        if (!file.open(QIODevice::WriteOnly) || file.write(QJsonDocument(o).toJson()) < 0 || !file.commit())
            return fail(QStringLiteral("cannot write the manifest: %1").arg(file.errorString()));
        // An empty target folder was allowed; the rename needs its name free.
        if (QFileInfo(target).isDir() && !QDir().rmdir(target))
            return fail(QStringLiteral("cannot replace the empty folder %1").arg(QDir::toNativeSeparators(target)));
        if (!QDir().rename(staging->path(), target))
            return fail(QStringLiteral("cannot rename the finished copy to %1").arg(QDir::toNativeSeparators(target)));
        staging->setAutoRemove(false);
        done = true;
        return Step::Done;
    }
};

FolderBackup::FolderBackup(const QString &dataFolder, const QString &target, const QDateTime &now, int pagesPerStep)
    : work_(std::make_unique<Work>())
{
    work_->dataFolder = dataFolder;
    work_->target = target;
    work_->now = now;
    work_->pages = pagesPerStep > 0 ? pagesPerStep : 256;
}

FolderBackup::~FolderBackup() = default;

FolderBackup::Step FolderBackup::step()
{
    Work &w = *work_;
    if (w.done)
        return Step::Done;
    if (w.failed)
        return Step::Failed;
    if (w.table < 0)
        return w.start();
    while (w.table < w.tables.size()) {
        if (!w.backup) {
            Step outcome = Step::More;
            if (!w.openTable(outcome)) {
                ++w.table;
                continue;
            }
            // A small table is copied in the step that opened it, so that a
            // file in rollback mode (datsum) is never kept locked between
            // steps, when its owner might save.
            if (!w.backup)
                return outcome;
        }
        if (w.counting)
            return w.countSlice();
        const int rc = sqlite3_backup_step(w.backup, w.pages);
        w.flush();
        if (rc == SQLITE_OK || rc == SQLITE_BUSY || rc == SQLITE_LOCKED)
            return Step::More;
        if (rc != SQLITE_DONE)
            return w.fail(QStringLiteral("copying %1 failed: %2").arg(w.tables.at(w.table), QString::fromUtf8(sqlite3_errstr(rc))));
        w.closeTable();
        ++w.table;
        return Step::More;
    }
    if (w.table == w.tables.size()) {
        ++w.table;
        return w.copyPlainFiles();
    }
    return w.finish();
}

bool FolderBackup::runToEnd()
{
    Step s = Step::More;
    while ((s = step()) == Step::More) {
    }
    return s == Step::Done;
}

QString FolderBackup::error() const { return work_->error; }
const BackupManifest &FolderBackup::manifest() const { return work_->manifest; }
QString FolderBackup::target() const { return work_->target; }

QString checkBackupFolder(const QString &backupFolder)
{
    BackupManifest manifest;
    QString why;
    if (!readBackupManifest(backupFolder, manifest, &why))
        return why + QLatin1Char('.');
    for (const QString &name : backupTableFiles()) {
        const QString path = QDir(backupFolder).filePath(name);
        const QFileInfo info(path);
        if (!info.exists() && !info.isSymLink())
            continue;
        if (info.isSymLink() || !info.isFile())
            return QStringLiteral("%1 is not a regular file.").arg(QDir::toNativeSeparators(path));
        sqlite3 *db = nullptr;
        QString problem;
        if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
            problem = QString::fromUtf8(sqlite3_errmsg(db));
        } else {
            sqlite3_stmt *q = nullptr;
            if (sqlite3_prepare_v2(db, "PRAGMA quick_check", -1, &q, nullptr) != SQLITE_OK || sqlite3_step(q) != SQLITE_ROW)
                problem = QString::fromUtf8(sqlite3_errmsg(db));
            else if (const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(q, 0)); qstrcmp(text, "ok") != 0)
                problem = QString::fromUtf8(text);
            sqlite3_finalize(q);
        }
        sqlite3_close_v2(db);
        if (!problem.isEmpty())
            return QStringLiteral("%1 fails its check (%2).").arg(QDir::toNativeSeparators(path), problem);
    }
    if (!QFileInfo(QDir(backupFolder).filePath(QStringLiteral("datat"))).isFile())
        return QStringLiteral("%1 holds no history (datat).").arg(QDir::toNativeSeparators(backupFolder));
    return {};
}

}  // namespace nimbrel
