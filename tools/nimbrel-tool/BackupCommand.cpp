// backup and restore: a consistent copy of the data folder's tables, taken
// while the recorder runs, and putting one back while no program holds the
// folder.
#include "Commands.h"
#include "DataFolder.h"
#include "DataFolderLock.h"
#include "FolderBackup.h"
#include "FolderHold.h"
#include "FolderRestore.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <memory>
#include <vector>

namespace nimbrel::tool {

namespace {

constexpr const char *kBackupUsage =
    "usage: nimbrel-tool backup [--data-dir DIR] TARGET_DIR\n"
    "  copies DIR's tables, sumlocal.bin and nimbrel.ini into TARGET_DIR (new, or an empty folder\n"
    "  outside DIR) while Nimbrel may keep recording. DIR is the folder of ./datat when it exists,\n"
    "  else Nimbrel's data folder.\n";
constexpr const char *kRestoreUsage =
    "usage: nimbrel-tool restore [--data-dir DIR] BACKUP_DIR\n"
    "  puts a backup made by \"nimbrel-tool backup\" back into DIR; the files it replaces are kept\n"
    "  in DIR/replaced-YYYYMMDD-HHMMSS. Nimbrel must not be running on DIR.\n";

// The folder and the one other argument; empty `why` when they parse.
struct FolderArguments {
    QString folder;
    QString other;
    QString why;
};

FolderArguments parse(const QStringList &arguments, const char *otherName)
{
    FolderArguments a;
    for (int i = 0; i < arguments.size() && a.why.isEmpty(); ++i) {
        if (takeDataDir(arguments, i, a.folder, a.why))
            continue;
        const QString &argument = arguments.at(i);
        if (argument.startsWith(QLatin1Char('-'))) {
            a.why = QStringLiteral("unknown option \"%1\"").arg(argument);
        } else if (a.other.isEmpty()) {
            a.other = argument;
        } else {
            a.why = QStringLiteral("only one %1, not \"%2\" as well").arg(QLatin1String(otherName), argument);
        }
    }
    if (a.why.isEmpty() && a.other.isEmpty())
        a.why = QStringLiteral("%1 is missing").arg(QLatin1String(otherName));
    if (a.folder.isEmpty())
        a.folder = QFileInfo(defaultHistoryFile()).absolutePath();
    return a;
}

}  // namespace

int runBackup(const QStringList &arguments)
{
    const char *command = "backup";
    const FolderArguments a = parse(arguments, "TARGET_DIR");
    if (!a.why.isEmpty())
        return report(command, a.why, 2, kBackupUsage);
    if (!QFileInfo(a.folder).isDir())
        return report(command, QStringLiteral("%1 is not a folder").arg(a.folder), 2);
    const QString refusal = backupTargetRefusal(a.folder, a.other);
    if (!refusal.isEmpty())
        return report(command, refusal, 2);
    FolderBackup backup(a.folder, a.other, QDateTime::currentDateTime());
    if (!backup.runToEnd())
        return report(command, backup.error(), 1);
    const BackupManifest &m = backup.manifest();
    std::printf("backed up %lld records (the newest of %s) from %s into %s\n", m.records,
                m.newest.isValid() ? qPrintable(m.newest.toString(Qt::ISODate)) : "none",
                qPrintable(QDir::toNativeSeparators(a.folder)), qPrintable(QDir::toNativeSeparators(a.other)));
    return 0;
}

int runRestore(const QStringList &arguments)
{
    const char *command = "restore";
    const FolderArguments a = parse(arguments, "BACKUP_DIR");
    if (!a.why.isEmpty())
        return report(command, a.why, 2, kRestoreUsage);
    if (!QFileInfo(a.folder).isDir())
        return report(command, QStringLiteral("%1 is not a folder").arg(a.folder), 2);
    if (!QFileInfo(a.other).isDir())
        return report(command, QStringLiteral("%1 is not a folder").arg(a.other), 2);
    const QString problem = checkBackupFolder(a.other);
    if (!problem.isEmpty())
        return report(command, problem, 2);
    // The owner and the background recorder both write the tables: both
    // locks are held while the files change, so neither starts meanwhile.
    std::vector<std::unique_ptr<DataFolderLock>> locks;
    for (const QString &name : {DataFolderLock::fileName(), DataFolderLock::recorderFileName()}) {
        auto lock = std::make_unique<DataFolderLock>(a.folder, name);
        const DataFolderLock::State state = lock->tryLock();
        if (state == DataFolderLock::State::HeldByOther)
            return report(command, QStringLiteral("Nimbrel is running on %1 (process %2); close it first")
                                       .arg(QDir::toNativeSeparators(a.folder))
                                       .arg(lock->holderPid()),
                          1);
        if (state == DataFolderLock::State::Unavailable)
            return report(command, lock->errorString(), 1);
        locks.push_back(std::move(lock));
    }
    const RestoreOutcome outcome = restoreDataFolder(a.folder, a.other, QDateTime::currentDateTime());
    if (!outcome.restored)
        return report(command, outcome.why, 1);
    BackupManifest m;
    readBackupManifest(a.other, m, nullptr);
    std::printf("restored %lld records (made %s) into %s%s\n", m.records, qPrintable(m.made.toString(Qt::ISODate)),
                qPrintable(QDir::toNativeSeparators(a.folder)),
                outcome.keptAs.isEmpty()
                    ? ""
                    : qPrintable(QStringLiteral("; the files replaced are kept in %1").arg(QDir::toNativeSeparators(outcome.keptAs))));
    return 0;
}

}  // namespace nimbrel::tool
