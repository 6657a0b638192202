#include "TableFile.h"

#include "SafeFile.h"

#include <QAtomicInt>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QStorageInfo>
#include <QUrl>
#include <unistd.h>

namespace nimbrel {

namespace {

QAtomicInt connectionCounter;

const char *const kJournalSuffixes[] = {"-wal", "-shm", "-journal"};

// SQLite's primary result codes that say what went wrong.
enum SqliteCode { Perm = 3, Busy = 5, Locked = 6, ReadOnly = 8, Corrupt = 11, Full = 13, NotADb = 26 };

quint32 bigEndian(const QByteArray &bytes, int at, int size)
{
    quint32 value = 0;
    for (int i = 0; i < size; ++i)
        value = (value << 8) | quint8(bytes[at + i]);
    return value;
}

// The file's own header, read without SQLite: whether it is a database at
// all and whether it is as long as the header says. Only meaningful when no
// journal is beside the file (a journal may still hold pages that belong at
// the end). Sets sized when the length could be compared.
bool headerLooksSound(const QString &path, TableCheck &check, bool &sized)
{
    sized = false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return true;  // SQLite will say why
    const qint64 size = file.size();
    if (size == 0)
        return true;  // an empty file is an empty database
    const QByteArray header = file.read(100);
    if (header.size() < 100 || !header.startsWith(QByteArrayLiteral("SQLite format 3\0")))
        return check.damaged(QStringLiteral("the file is not a database"));
    qint64 pageSize = bigEndian(header, 16, 2);
    if (pageSize == 1)
        pageSize = 65536;
    if (pageSize < 512 || pageSize > 65536 || (pageSize & (pageSize - 1)) != 0)
        return check.damaged(QStringLiteral("the database header is damaged"));
    const quint32 changes = bigEndian(header, 24, 4);
    const quint32 pages = bigEndian(header, 28, 4);
    if (pages == 0 || bigEndian(header, 92, 4) != changes)
        return true;  // the page count is not kept in this header
    sized = true;
    if (size < qint64(pages) * pageSize)
        return check.damaged(QStringLiteral("the file is cut short: %1 bytes of %2").arg(size).arg(pages * pageSize));
    return true;
}

// Access as the effective user (QFileInfo asks as the real one).
bool canAccess(const QString &path, int mode)
{
    return ::euidaccess(QFile::encodeName(path).constData(), mode) == 0;
}

// A journal holding anything: what a program that ended without closing the
// file leaves. (An empty one holds nothing to recover: a start on a full
// disk leaves such.)
bool hasJournal(const QString &path)
{
    return QFileInfo(path + QLatin1String("-wal")).size() > 0 || QFileInfo(path + QLatin1String("-journal")).size() > 0;
}

bool run(QSqlDatabase &db, const QString &sql, TableCheck &check)
{
    QSqlQuery q(db);
    return q.exec(sql) || check.failed(q.lastError());
}

QString openDatabase(const QString &connection, const QString &path, bool readOnly, bool immutable)
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
    QStringList options{QStringLiteral("QSQLITE_BUSY_TIMEOUT=1000")};
    if (readOnly)
        options << QStringLiteral("QSQLITE_OPEN_READONLY");
    if (immutable) {
        options << QStringLiteral("QSQLITE_OPEN_URI");
        db.setDatabaseName(QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded) + QStringLiteral("?immutable=1"));
    } else {
        db.setDatabaseName(path);
    }
    db.setConnectOptions(options.join(QLatin1Char(';')));
    return connection;
}

}  // namespace

QString uncheckedMarkerOf(const QString &path)
{
    return path + QStringLiteral(".unchecked");
}

bool moveDamagedAside(const QString &path, const QDateTime &now, QString &target)
{
    const QString aside = QStringLiteral("%1.damaged-%2").arg(path, now.toString(QStringLiteral("yyyyMMdd-HHmmss")));
    target = aside;
    for (int n = 2; QFileInfo::exists(target); ++n)
        target = QStringLiteral("%1-%2").arg(aside).arg(n);
    if (!QFile::rename(path, target))
        return false;
    QFile::remove(uncheckedMarkerOf(path));
    for (const char *suffix : kJournalSuffixes)
        QFile::rename(path + QLatin1String(suffix), target + QLatin1String(suffix));
    return true;
}

namespace {

// Makes the table and stamps the version; nothing is written when all is there.
bool prepare(QSqlDatabase &db, const TableShape &shape, TableCheck &check)
{
    for (const QString &sql : shape.connectionSetUp + shape.create) {
        if (!run(db, sql, check))
            return false;
    }
    QString why;
    if (shape.upgrade && !shape.upgrade(db, why)) {
        check.problem = TableProblem::Unreadable;
        check.why = why;
        return false;
    }
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("PRAGMA user_version")) || !q.next())
        return check.failed(q.lastError());
    if (q.value(0).toInt() == shape.version)
        return true;
    return run(db, QStringLiteral("PRAGMA user_version = %1").arg(shape.version), check);
}

}  // namespace

QString toString(TableProblem problem)
{
    switch (problem) {
    case TableProblem::None:
        return {};
    case TableProblem::Damaged:
        return QStringLiteral("is damaged");
    case TableProblem::Locked:
        return QStringLiteral("is locked by another program");
    case TableProblem::ReadOnly:
        return QStringLiteral("is read-only");
    case TableProblem::Unreadable:
        return QStringLiteral("cannot be read (no permission, or a disk error)");
    case TableProblem::DiskFull:
        return QStringLiteral("cannot be written: the disk is full");
    case TableProblem::NotAFile:
        return QStringLiteral("is not a regular file");
    case TableProblem::Empty:
        return QStringLiteral("was empty");
    }
    return {};
}

QString tableProblemSentence(const QString &name, TableProblem problem, const QString &setAside, bool used)
{
    if (problem == TableProblem::None)
        return {};
    QString consequence;
    switch (problem) {
    case TableProblem::Damaged:
        consequence = setAside.isEmpty() ? QStringLiteral("it was left as it is and is not used")
                                         : QStringLiteral("it was kept as %1 and a new one started")
                                               .arg(QFileInfo(setAside).fileName());
        break;
    case TableProblem::ReadOnly:
    case TableProblem::DiskFull:
        consequence = used ? QStringLiteral("it is shown, but changes are not saved")
                           : QStringLiteral("it was left alone and is not used");
        break;
    case TableProblem::Locked:
        // The lock is tried again: new records are kept meanwhile.
        consequence = used ? QStringLiteral("it is shown, and changes are saved only once it is free")
                           : QStringLiteral("it was left alone and is not used");
        break;
    case TableProblem::Empty:
        consequence = QStringLiteral("a new one was started");
        break;
    default:
        consequence = QStringLiteral("it was left alone and is not used");
        break;
    }
    return QStringLiteral("The file %1 %2: %3.").arg(name, toString(problem), consequence);
}

bool TableCheck::failed(const QSqlError &error)
{
    why = error.text();
    switch (error.nativeErrorCode().toInt() & 0xff) {
    case Corrupt:
    case NotADb:
        problem = TableProblem::Damaged;
        break;
    case Busy:
    case Locked:
        problem = TableProblem::Locked;
        break;
    case ReadOnly:
        problem = TableProblem::ReadOnly;
        break;
    case Full:
        problem = TableProblem::DiskFull;
        break;
    default:  // permissions, input/output errors, anything unforeseen: no proof of damage
        problem = TableProblem::Unreadable;
        break;
    }
    return false;
}

bool TableCheck::damaged(const QString &reason)
{
    problem = TableProblem::Damaged;
    why = reason;
    return false;
}

bool checkTableFile(QSqlDatabase &db, const TableShape &shape, bool fullCheck, TableCheck &check, bool *hasTable)
{
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (fullCheck) {
        if (!q.exec(QStringLiteral("PRAGMA integrity_check(1)")) || !q.next())
            return check.failed(q.lastError());
        if (q.value(0).toString() != QLatin1String("ok"))
            return check.damaged(q.value(0).toString());
    }
    if (!q.exec(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table'")))
        return check.failed(q.lastError());
    bool anyTable = false;
    bool found = false;
    while (q.next()) {
        anyTable = true;
        found = found || q.value(0).toString() == shape.table;
    }
    if (q.lastError().isValid())
        return check.failed(q.lastError());
    if (hasTable)
        *hasTable = found;
    if (anyTable && !found)
        return check.damaged(QStringLiteral("the file holds other tables but no %1").arg(shape.table));
    if (!q.exec(QStringLiteral("PRAGMA user_version")) || !q.next())
        return check.failed(q.lastError());
    if (q.value(0).toInt() > shape.version) {
        // Written by a newer program: leave it alone rather than guess.
        return check.damaged(QStringLiteral("a newer version of the program wrote this file (schema %1)")
                                 .arg(q.value(0).toInt()));
    }
    if (!found)
        return true;
    // A table of some other shape would make every write fail.
    if (!q.exec(QStringLiteral("PRAGMA table_info(%1)").arg(shape.table)))
        return check.failed(q.lastError());
    QStringList present;
    while (q.next())
        present << q.value(1).toString();
    for (const QString &field : shape.fields) {
        if (!present.contains(field))
            return check.damaged(QStringLiteral("the %1 table has no field %2").arg(shape.table, field));
    }
    // The last row lies on the last leaf page: reading it finds a file cut short.
    if (!q.exec(QStringLiteral("SELECT * FROM %1 ORDER BY rowid DESC LIMIT 1").arg(shape.table)))
        return check.failed(q.lastError());
    q.next();
    if (q.lastError().isValid())
        return check.failed(q.lastError());
    return true;
}

bool execSql(QSqlDatabase &db, const QString &sql, QString &why)
{
    QSqlQuery q(db);
    if (q.exec(sql))
        return true;
    why = q.lastError().text();
    return false;
}

QString uniqueConnectionName(const QString &prefix)
{
    return QStringLiteral("%1-%2").arg(prefix).arg(connectionCounter.fetchAndAddRelaxed(1));
}

void closeTableFile(const QString &connection)
{
    if (connection.isEmpty())
        return;
    {
        QSqlDatabase db = QSqlDatabase::database(connection, false);
        if (db.isOpen())
            db.close();
    }
    QSqlDatabase::removeDatabase(connection);
}

bool installFileCopy(const QString &from, const QString &to)
{
    QFile source(from);
    if (!isRegularFileOrAbsent(from) || !source.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = source.readAll();
    if (source.error() != QFileDevice::NoError)
        return false;
    if (!writeFileAtomically(to, bytes))
        return false;
    QFile::setPermissions(to, QFile::permissions(to) | QFile::ReadOwner | QFile::WriteOwner);
    return true;
}

TableFileOpen openTableFile(const QString &path, const QString &connectionPrefix, const QDateTime &now,
                            const TableShape &shape, const QString &replacement)
{
    TableFileOpen result;
    auto give = [&result](TableProblem problem, const QString &why) {
        // A damaged file that was set aside stays the headline.
        result.problem = result.setAside.isEmpty() ? problem : TableProblem::Damaged;
        if (!why.isEmpty())
            result.error = result.error.isEmpty() ? why : QStringLiteral("%1; %2").arg(result.error, why);
        return result;
    };
    if (!isPlainFileOrAbsent(path))
        return give(TableProblem::NotAFile, QStringLiteral("%1 is not a regular file").arg(path));
    // Reported, then used like a missing file (the replacement goes in).
    const bool empty = QFileInfo(path).exists() && QFileInfo(path).size() == 0;
    if (empty && !replacement.isEmpty() && canAccess(path, W_OK) && QFile::remove(path))
        installFileCopy(replacement, path);

    bool readOnly = false;
    bool immutable = false;
    // Looked at before this program touches the file: a failed attempt below
    // may leave journal files of its own.
    bool unclean = hasJournal(path) || QFileInfo::exists(uncheckedMarkerOf(path));
    TableCheck first;  // why the file could not be opened for writing
    for (int attempt = 0; attempt < 4; ++attempt) {
        const QFileInfo info(path);
        const bool exists = info.exists();
        if (exists && !canAccess(path, R_OK))
            return give(TableProblem::Unreadable, QStringLiteral("no permission to read %1").arg(path));
        // SQLite writes its journal beside the file: the folder must be writable too.
        const bool writable = (!exists || canAccess(path, W_OK)) && canAccess(info.absolutePath(), W_OK | X_OK);
        if (!writable && !exists)
            return give(TableProblem::ReadOnly, QStringLiteral("the folder of %1 is read-only").arg(path));
        readOnly = readOnly || !writable;
        // A file opened only for reading gets no side files (-wal, -shm) that
        // this program could not remove again: without a journal beside it,
        // the file is complete and is read as it is.
        if (!writable && !unclean)
            immutable = true;

        TableCheck check;
        bool sized = false;
        bool sound = unclean || headerLooksSound(path, check, sized);
        const bool wanted = unclean || !sized || info.size() <= kFullCheckLimit;
        // Reading every page of a large file takes seconds: where the shape
        // allows, the caller runs it once the program is up.
        const bool deferred = wanted && shape.deferFullCheck && !readOnly && info.size() > kFullCheckLimit;
        const bool fullCheck = wanted && !deferred;
        const QString connection = uniqueConnectionName(connectionPrefix);
        bool hasTable = false;
        {
            QSqlDatabase db = QSqlDatabase::database(openDatabase(connection, path, readOnly, immutable), false);
            if (sound && !db.open())
                sound = check.failed(db.lastError());
            sound = sound && checkTableFile(db, shape, fullCheck, check, &hasTable);
            sound = sound && (readOnly || prepare(db, shape, check));
        }
        // Failures of input and output on a disk without room are the full disk.
        if (check.problem == TableProblem::Unreadable && QStorageInfo(info.absolutePath()).bytesAvailable() < (64 << 10))
            check.problem = TableProblem::DiskFull;
        if (sound) {
            QSqlQuery(QSqlDatabase::database(connection, false))
                .exec(QStringLiteral("PRAGMA busy_timeout = %1").arg(kBusyWaitMs));
            result.connection = connection;
            result.fullCheckDeferred = deferred;
            if (deferred)
                QFile(uncheckedMarkerOf(path)).open(QIODevice::WriteOnly);
            else if (fullCheck && !readOnly)
                QFile::remove(uncheckedMarkerOf(path));
            if (first.problem != TableProblem::None)
                return give(first.problem, first.why);
            if (readOnly)
                return give(TableProblem::ReadOnly, QStringLiteral("%1 can only be read").arg(path));
            return give(empty ? TableProblem::Empty : TableProblem::None, QString());
        }
        if (check.problem == TableProblem::Damaged) {
            closeTableFile(connection);
            if (!result.setAside.isEmpty() || readOnly)
                return give(TableProblem::Damaged, check.why);  // cannot be moved, or damaged again
            QString target;
            if (!moveDamagedAside(path, now, target))
                return give(TableProblem::Damaged, QStringLiteral("%1; it could not be moved aside").arg(check.why));
            result.setAside = target;
            result.error = check.why;
            unclean = false;
            if (!replacement.isEmpty())
                installFileCopy(replacement, path);
            continue;
        }
        if (hasTable && (check.problem == TableProblem::DiskFull || check.problem == TableProblem::Locked)) {
            // The table is there and sound: it can be shown; writes fail.
            QSqlQuery(QSqlDatabase::database(connection, false))
                .exec(QStringLiteral("PRAGMA busy_timeout = %1").arg(kBusyWaitMs));
            result.connection = connection;
            return give(check.problem, check.why);
        }
        closeTableFile(connection);
        if (first.problem == TableProblem::None)
            first = check;
        const bool readable = exists && info.size() > 0 && check.problem != TableProblem::Locked;
        if (readable && !readOnly) {
            readOnly = true;  // at least show what the file holds
            continue;
        }
        if (readable && !immutable && !unclean) {
            // A WAL file in a folder that cannot be written to (or is full)
            // is read this way; without a journal beside it, it is complete.
            immutable = true;
            continue;
        }
        return give(first.problem, first.why);
    }
    return give(TableProblem::Unreadable, QStringLiteral("%1 could not be opened").arg(path));
}

bool replaceTableRows(QSqlDatabase &db, const QString &table, const QStringList &fields,
                      const std::vector<QVariantList> &rows, QString &why)
{
    if (!db.transaction()) {
        why = db.lastError().text();
        return false;
    }
    QSqlQuery q(db);
    const QString marks = QStringList(fields.size(), QStringLiteral("?")).join(QStringLiteral(", "));
    bool ok = q.exec(QStringLiteral("DELETE FROM %1").arg(table)) &&
              q.prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)").arg(table, fields.join(QStringLiteral(", ")), marks));
    for (auto it = rows.begin(); ok && it != rows.end(); ++it) {
        for (int i = 0; i < it->size(); ++i)
            q.bindValue(i, it->at(i));
        ok = q.exec();
    }
    if (!ok || !db.commit()) {
        why = ok ? db.lastError().text() : q.lastError().text();
        db.rollback();
        return false;
    }
    return true;
}

}  // namespace nimbrel
