// Opening one of the program's SQLite table files. A file that cannot be used
// is never overwritten: it is moved aside as "<name>.damaged-YYYYMMDD-HHMMSS"
// (with its journal) and a new, empty one is created in its place.
#pragma once

#include <QDateTime>
#include <QSqlDatabase>
#include <QString>
#include <functional>

namespace nimbrel {

struct TableFileOpen {
    QString connection;  // empty when not even a new file could be made
    QString setAside;    // where a damaged file was moved, if one was
    QString error;       // why the file was set aside or could not be opened
};

// prepare creates the tables when missing and checks what is there; it
// returns false with a reason for a file that is not sound. `now` names the
// moved file.
TableFileOpen openTableFile(const QString &path, const QString &connectionPrefix, const QDateTime &now,
                            const std::function<bool(QSqlDatabase &, QString &why)> &prepare);

// Runs one statement; on failure sets why and returns false.
bool execSql(QSqlDatabase &db, const QString &sql, QString &why);

// The file's tables: true when it holds none, or `table` among them.
bool holdsTableOrNothing(QSqlDatabase &db, const QString &table, QString &why);

void closeTableFile(const QString &connection);

// A connection name no other open table file uses.
QString uniqueConnectionName(const QString &prefix);

}  // namespace nimbrel
