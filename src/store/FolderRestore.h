// Putting a backup (FolderBackup.h) back into a data folder.
//
// The caller holds the folder (both locks, see DataFolderLock.h). The backup
// is checked first (checkBackupFolder); its files are then copied into a
// hidden folder inside the data folder, and only then are the files they
// replace (with their journals) moved into `replaced-YYYYMMDD-HHMMSS` in the
// data folder and the copies renamed into place. Renames within one folder
// do not fail half-way in practice; should one fail, what was moved is moved
// back, so the folder holds either the old files or the backup's.
#pragma once

#include <QDateTime>
#include <QString>

namespace nimbrel {

struct RestoreOutcome {
    bool restored = false;
    QString keptAs;  // the folder holding what was replaced; empty when nothing was
    QString why;     // one sentence when not restored
};

RestoreOutcome restoreDataFolder(const QString &dataFolder, const QString &backupFolder, const QDateTime &now);

}  // namespace nimbrel
