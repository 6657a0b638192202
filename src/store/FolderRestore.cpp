#include "FolderRestore.h"

#include "FolderBackup.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <utility>
#include <vector>

namespace nimbrel {

namespace {

// A history of the station's shortest interval for a century stays far below.
constexpr qint64 kLargestFile = qint64(4) << 30;

QStringList journalsOf(const QString &name)
{
    return {name + QStringLiteral("-wal"), name + QStringLiteral("-shm"), name + QStringLiteral("-journal")};
}

}  // namespace

RestoreOutcome restoreDataFolder(const QString &dataFolder, const QString &backupFolder, const QDateTime &now)
{
    RestoreOutcome out;
    out.why = checkBackupFolder(backupFolder);
    if (!out.why.isEmpty())
        return out;
    const QDir folder(dataFolder);
    const QDir backup(backupFolder);

    // Copies first, inside the data folder so that the renames below stay on one disk.
    QTemporaryDir staging(folder.filePath(QStringLiteral(".restore-XXXXXX")));
    if (!staging.isValid()) {
        out.why = QStringLiteral("Cannot create a folder in %1: %2.").arg(QDir::toNativeSeparators(dataFolder), staging.errorString());
        return out;
    }
    QStringList names;
    for (const QString &name : backupTableFiles() + backupPlainFiles()) {
        const QFileInfo info(backup.filePath(name));
        if (!info.exists())
            continue;
        if (info.isSymLink() || !info.isFile() || info.size() > kLargestFile) {
            out.why = QStringLiteral("%1 is not a regular file of sensible size.").arg(QDir::toNativeSeparators(info.filePath()));
            return out;
        }
        if (!QFile::copy(info.filePath(), QDir(staging.path()).filePath(name))) {
            out.why = QStringLiteral("Cannot copy %1 (is the disk full?).").arg(QDir::toNativeSeparators(info.filePath()));
            return out;
        }
        names << name;
    }

    // What the backup replaces goes aside, with its journals: a WAL holds committed records.
    QStringList aside;
    for (const QString &name : names)
        aside << name << journalsOf(name);
    const QString keptName = QStringLiteral("replaced-") + now.toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString kept = folder.filePath(keptName);
    for (int n = 2; QFileInfo::exists(kept); ++n)
        kept = folder.filePath(QStringLiteral("%1-%2").arg(keptName).arg(n));
    std::vector<std::pair<QString, QString>> moved;  // from, to
    auto undo = [&] {
        for (auto it = moved.rbegin(); it != moved.rend(); ++it)
            QDir().rename(it->second, it->first);
        QDir().rmdir(kept);
    };
    bool keptMade = false;
    for (const QString &name : aside) {
        const QString from = folder.filePath(name);
        if (!QFileInfo::exists(from))
            continue;
        if (!keptMade && !(keptMade = QDir().mkdir(kept))) {
            out.why = QStringLiteral("Cannot create %1.").arg(QDir::toNativeSeparators(kept));
            return out;
        }
        const QString to = QDir(kept).filePath(name);
        if (!QDir().rename(from, to)) {
            undo();
            out.why = QStringLiteral("Cannot move %1 aside; nothing was replaced.").arg(QDir::toNativeSeparators(from));
            return out;
        }
        moved.emplace_back(from, to);
    }
    std::vector<QString> placed;
    for (const QString &name : names) {
        const QString to = folder.filePath(name);
        if (!QDir().rename(QDir(staging.path()).filePath(name), to)) {
            for (const QString &p : placed)
                QFile::remove(p);
            undo();
            out.why = QStringLiteral("Cannot put %1 in place; the folder was left as it was.").arg(QDir::toNativeSeparators(to));
            return out;
        }
        placed.push_back(to);
    }
    out.restored = true;
    out.keptAs = keptMade ? kept : QString();
    return out;
}

}  // namespace nimbrel
