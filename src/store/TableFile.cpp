#include "TableFile.h"

#include <QAtomicInt>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>

namespace nimbrel {

namespace {
QAtomicInt connectionCounter;
}

bool execSql(QSqlDatabase &db, const QString &sql, QString &why)
{
    QSqlQuery q(db);
    if (q.exec(sql))
        return true;
    why = q.lastError().text();
    return false;
}

bool holdsTableOrNothing(QSqlDatabase &db, const QString &table, QString &why)
{
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("PRAGMA quick_check(1)")) || !q.next() ||
        q.value(0).toString() != QLatin1String("ok")) {
        why = q.lastError().isValid() ? q.lastError().text() : q.value(0).toString();
        return false;
    }
    if (!q.exec(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table'"))) {
        why = q.lastError().text();
        return false;
    }
    bool anyTable = false;
    bool found = false;
    while (q.next()) {
        anyTable = true;
        found = found || q.value(0).toString() == table;
    }
    if (anyTable && !found) {
        why = QStringLiteral("the file holds other tables but no %1").arg(table);
        return false;
    }
    return true;
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

TableFileOpen openTableFile(const QString &path, const QString &connectionPrefix, const QDateTime &now,
                            const std::function<bool(QSqlDatabase &, QString &)> &prepare)
{
    TableFileOpen result;
    for (int attempt = 0; attempt < 2; ++attempt) {
        const QString connection = uniqueConnectionName(connectionPrefix);
        QString why;
        bool sound = false;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
            db.setDatabaseName(path);
            sound = db.open();
            if (!sound)
                why = db.lastError().text();
            sound = sound && prepare(db, why);
        }
        if (sound) {
            result.connection = connection;
            return result;
        }
        closeTableFile(connection);
        if (attempt > 0) {
            result.error = why;
            return result;
        }
        const QString aside =
            QStringLiteral("%1.damaged-%2").arg(path, now.toString(QStringLiteral("yyyyMMdd-HHmmss")));
        QString target = aside;
        for (int n = 2; QFileInfo::exists(target); ++n)
            target = QStringLiteral("%1-%2").arg(aside).arg(n);
        if (!QFile::rename(path, target)) {
            result.error = QStringLiteral("%1; it could not be moved aside").arg(why);
            return result;
        }
        for (const char *suffix : {"-wal", "-shm", "-journal"})
            QFile::rename(path + QLatin1String(suffix), target + QLatin1String(suffix));
        result.setAside = target;
        result.error = why;
    }
    return result;
}

}  // namespace nimbrel
