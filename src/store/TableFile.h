// Opening one of the program's SQLite table files (`datat`, `datsum`,
// `citycodes`, `lang`).
//
// A file is moved aside as "<name>.damaged-YYYYMMDD-HHMMSS" (with its
// journal) only on positive evidence of damage: it is no SQLite database, it
// is shorter than its own header says, SQLite reports it corrupt, its check
// fails, it holds other tables or a table of another shape, or a newer
// version of the program wrote it. A new file then takes its place (a copy of
// `replacement` when one is given). A file that is merely locked by another
// program, read-only, unreadable or on a full disk is left where it is,
// untouched: it is opened for reading when it can be read, and the result
// names the problem. Anything that is not a regular file (a FIFO, a device,
// a folder, a symbolic link: SQLite would write through it) is never opened.
// A file of zero bytes is said to have been empty before a table is started
// in it.
//
// Start-up does not read the whole file: the header, the schema and the
// version are checked every time, the full check (PRAGMA integrity_check)
// only for small files and after a shut-down that was not clean, which
// leaves the file's journal (`-wal` or `-journal`, not empty) behind; a
// large file after an unclean end may have its full check deferred
// (TableShape::deferFullCheck).
#pragma once

#include <QDateTime>
#include <QSqlDatabase>
#include <QString>
#include <QVariant>
#include <functional>
#include <vector>
#include <QStringList>

class QSqlError;

namespace nimbrel {

enum class TableProblem {
    None,
    Damaged,     // set aside (or, where it cannot be moved, left and not used)
    Locked,      // another program holds it locked
    ReadOnly,    // opened for reading only; changes are not saved
    Unreadable,  // no permission to read it, or the disk failed
    DiskFull,    // changes cannot be saved
    NotAFile,    // a FIFO, device, folder or symbolic link carries the file's name
    Empty,       // the file held nothing (zero bytes): a new table was started in it
};

// What the problem means, as a user reads it: "is locked by another program".
QString toString(TableProblem problem);
// One sentence for the user about the file `name`, or empty for None:
// "The file datat is read-only: it is shown, but changes are not saved."
// `used`: the program goes on with the file (for reading).
QString tableProblemSentence(const QString &name, TableProblem problem, const QString &setAside = {},
                             bool used = true);

// What a table file must hold.
struct TableShape {
    QString table;                // the one table of the file
    QStringList fields;           // fields the table must have
    int version = 1;              // PRAGMA user_version this program writes
    QStringList connectionSetUp;  // run at every writable open (journal mode, synchronisation)
    QStringList create;           // CREATE ... IF NOT EXISTS statements
    // Brings an older file up to this version after the statements above
    // (tables and data that plain statements cannot make); may be empty.
    std::function<bool(QSqlDatabase &, QString &why)> upgrade;
    // After an unclean end, a file above kFullCheckLimit is opened without
    // its full check, which the caller runs later off the start-up path
    // (TableFileOpen::fullCheckDeferred; HistoryCheck.h for the history).
    bool deferFullCheck = false;
};

struct TableFileOpen {
    QString connection;  // empty when the file cannot be used at all
    TableProblem problem = TableProblem::None;
    QString setAside;  // where a damaged file was moved, if one was
    QString error;     // the technical reason, when there is a problem
    bool fullCheckDeferred = false;  // the file is in use unchecked: run the full check soon
};

// How long one statement waits for another program's lock. Short: the
// program runs on one thread, and a history append or a settings save that
// waited longer would stall the window and a shut-down; a store found busy
// keeps its records until the lock goes (HistoryWriter.h).
constexpr int kBusyWaitMs = 250;

// Files of at most this size are checked in full at every open.
constexpr qint64 kFullCheckLimit = 1 << 20;

// `now` names a moved file.
TableFileOpen openTableFile(const QString &path, const QString &connectionPrefix, const QDateTime &now,
                            const TableShape &shape, const QString &replacement = {});

// Why a check of an open database failed, and whether that proves damage.
struct TableCheck {
    TableProblem problem = TableProblem::None;
    QString why;
    bool failed(const QSqlError &error);  // classifies SQLite's error; returns false
    bool damaged(const QString &reason);  // returns false
};

// Checks an open database against the shape without writing: the schema,
// the version and, with fullCheck, every page. `hasTable` says whether the
// table is there yet.
bool checkTableFile(QSqlDatabase &db, const TableShape &shape, bool fullCheck, TableCheck &check,
                    bool *hasTable = nullptr);

// Replaces every row of `table` with `rows` (values in the order of
// `fields`) in one transaction: all or nothing.
bool replaceTableRows(QSqlDatabase &db, const QString &table, const QStringList &fields,
                      const std::vector<QVariantList> &rows, QString &why);

// Lies beside a file whose full check was deferred until the check has
// run: the next open treats the file as after an unclean end, so a check
// cut short by a quit or a handover is run again.
QString uncheckedMarkerOf(const QString &path);

// Moves a damaged file and its journal aside as
// "<path>.damaged-YYYYMMDD-HHMMSS" (a number added when that is taken);
// `target` names the moved file.
bool moveDamagedAside(const QString &path, const QDateTime &now, QString &target);

// Runs one statement; on failure sets why and returns false.
bool execSql(QSqlDatabase &db, const QString &sql, QString &why);

void closeTableFile(const QString &connection);

// A connection name no other open table file uses.
QString uniqueConnectionName(const QString &prefix);

// Copies `from` to `to` through a new file beside `to`, renamed when whole;
// the copy is writable by its owner.
bool installFileCopy(const QString &from, const QString &to);

}  // namespace nimbrel
