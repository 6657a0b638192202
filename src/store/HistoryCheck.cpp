#include "HistoryCheck.h"

#include "TableFile.h"

#include <QFile>
#include <QFileInfo>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <sqlite3.h>

namespace nimbrel {

struct HistoryCheck::Shared {
    std::atomic<bool> cancel{false};
    // Touched on the owner's thread only.
    bool ownerGone = false;
};

namespace {

const char *const kSideSuffixes[] = {"-wal", "-shm", "-journal"};

void removeWithSideFiles(const QString &path)
{
    QFile::remove(path);
    for (const char *suffix : kSideSuffixes)
        QFile::remove(path + QLatin1String(suffix));
}

sqlite3 *nativeHandle(const QSqlDatabase &db)
{
    if (!db.isValid() || !db.driver())
        return nullptr;
    const QVariant v = db.driver()->handle();
    if (!v.isValid() || qstrcmp(v.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3 *const *>(v.constData());
}

// Called by SQLite every few thousand steps: a non-zero answer interrupts
// the statement, so the destructor never waits for a whole check.
int stopWhenCancelled(void *flag)
{
    return static_cast<const std::atomic<bool> *>(flag)->load(std::memory_order_relaxed) ? 1 : 0;
}

HistoryCheckOutcome checkAndRebuild(const QString &path, const QDateTime &now, std::atomic<bool> &cancel)
{
    HistoryCheckOutcome out;
    const QString connection = uniqueConnectionName(QStringLiteral("history-check"));
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        db.setDatabaseName(path);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kBusyWaitMs));
        TableCheck check;
        bool ok = db.open() || check.failed(db.lastError());
        if (ok) {
            // Opened for writing but held to reading: a read-only connection
            // could leave the log's side files behind.
            QSqlQuery q(db);
            ok = q.exec(QStringLiteral("PRAGMA query_only = ON")) || check.failed(q.lastError());
        }
        if (ok) {
            if (sqlite3 *handle = nativeHandle(db))
                sqlite3_progress_handler(handle, 1000, stopWhenCancelled, &cancel);
            QSqlQuery q(db);
            q.setForwardOnly(true);
            if (!q.exec(QStringLiteral("PRAGMA integrity_check(1)")) || !q.next())
                check.failed(q.lastError());
            else if (q.value(0).toString() != QLatin1String("ok"))
                check.damaged(q.value(0).toString());
        }
        // SQLite's report spans lines and names the schema: one line for the user.
        out.why = QString(check.why).remove(QStringLiteral("*** in database main ***")).simplified();
        if (check.problem == TableProblem::None && !cancel.load()) {
            out.finding = HistoryCheckOutcome::Finding::Sound;
            QFile::remove(uncheckedMarkerOf(path));
        } else if (cancel.load()) {
            out.finding = HistoryCheckOutcome::Finding::NotChecked;
        } else if (check.problem != TableProblem::Damaged) {
            out.finding = HistoryCheckOutcome::Finding::NotChecked;
        } else {
            out.finding = HistoryCheckOutcome::Finding::Damaged;
            const QString target = HistoryCheck::rebuiltPathOf(path);
            removeWithSideFiles(target);
            {
                HistoryStore::Opened made = HistoryStore::open(target, now);
                if (made.store && made.problem == TableProblem::None) {
                    out.recordsKept = made.store->copyReadableRows(db, cancel);
                    if (!cancel.load())
                        out.rebuiltPath = target;
                }
            }
            if (out.rebuiltPath.isEmpty())
                removeWithSideFiles(target);
        }
        if (sqlite3 *handle = nativeHandle(db))
            sqlite3_progress_handler(handle, 0, nullptr, nullptr);
    }
    QSqlDatabase::removeDatabase(connection);
    return out;
}

}  // namespace

QString HistoryCheck::rebuiltPathOf(const QString &path)
{
    return path + QStringLiteral(".rebuilt");
}

HistoryCheck::HistoryCheck(const QString &path, const QDateTime &now, QObject *context,
                           std::function<void(const HistoryCheckOutcome &)> done)
    : shared_(std::make_shared<Shared>())
{
    // The owner ends this object (and so joins the thread) before `context`
    // goes; an outcome posted meanwhile is dropped with the context's events.
    thread_ = std::thread([shared = shared_, path, now, context, done = std::move(done)] {
        const HistoryCheckOutcome outcome = checkAndRebuild(path, now, shared->cancel);
        if (shared->cancel.load())
            return;
        QMetaObject::invokeMethod(
            context,
            [shared, done, outcome] {
                if (shared->ownerGone)
                    return;
                done(outcome);
            },
            Qt::QueuedConnection);
    });
}

HistoryCheck::~HistoryCheck()
{
    shared_->ownerGone = true;
    shared_->cancel.store(true);
    if (thread_.joinable())
        thread_.join();
}

HistoryReplaced replaceDamagedHistory(std::unique_ptr<HistoryStore> damaged, const HistoryCheckOutcome &outcome,
                                      const QDateTime &now)
{
    HistoryReplaced r;
    if (!damaged) {
        r.error = QStringLiteral("the history is not open");
        return r;
    }
    const QString path = damaged->path();
    if (outcome.rebuiltPath.isEmpty() || !QFileInfo(outcome.rebuiltPath).isFile()) {
        r.error = QStringLiteral("no new file could be built beside it");
        r.store = std::move(damaged);
        return r;
    }
    // What the damaged file took since the rebuild read it.
    QDateTime after(QDate(1, 1, 1), QTime(0, 0));
    if (const std::unique_ptr<HistoryStore> rebuilt = HistoryStore::openForReading(outcome.rebuiltPath)) {
        HistoryRow newest;
        if (rebuilt->newest(newest))
            after = newest.Dat;
    }
    const std::vector<HistoryRow> late = damaged->rowsBetween(after, QDateTime(QDate(9999, 12, 31), QTime(23, 59, 59)));
    damaged.reset();

    auto reopenOld = [&](const QString &why) {
        r.error = why;
        r.store = HistoryStore::open(path, now).store;
        return std::move(r);
    };
    if (!moveDamagedAside(path, now, r.setAside))
        return reopenOld(QStringLiteral("it could not be moved aside"));
    if (!QFile::rename(outcome.rebuiltPath, path)) {
        QFile::rename(r.setAside, path);
        for (const char *suffix : kSideSuffixes)
            QFile::rename(r.setAside + QLatin1String(suffix), path + QLatin1String(suffix));
        r.setAside.clear();
        return reopenOld(QStringLiteral("the new file could not take its name"));
    }
    HistoryStore::Opened opened = HistoryStore::open(path, now);
    r.store = std::move(opened.store);
    if (!r.store) {
        r.error = opened.error;
        return r;
    }
    HistoryStore::Batch batch(*r.store);
    for (const HistoryRow &row : late) {
        if (r.store->appendRow(row) == AppendResult::Appended)
            ++r.recordsCarried;
    }
    return r;
}

QString historyRebuiltSentence(const HistoryReplaced &replaced, const HistoryCheckOutcome &outcome)
{
    const QString name = replaced.store ? QFileInfo(replaced.store->path()).fileName() : QStringLiteral("datat");
    if (!replaced.error.isEmpty() || replaced.setAside.isEmpty()) {
        return QStringLiteral("The file %1 is damaged (%2) and could not be rebuilt: %3; it is still used as it is.")
            .arg(name, outcome.why, replaced.error);
    }
    return QStringLiteral("The file %1 was damaged (%2): it was kept as %3 and a new one was built from the %4 "
                          "records that could be read.")
        .arg(name, outcome.why, QFileInfo(replaced.setAside).fileName())
        .arg(outcome.recordsKept + replaced.recordsCarried);
}

}  // namespace nimbrel
