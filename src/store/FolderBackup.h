// A consistent copy of a data folder, taken while a recorder writes to it.
//
// The table files (`datat`, `datsum`, `citycodes`, `lang`) are copied page
// by page with SQLite's online backup from a read transaction held for the
// whole copy: `datat` is in WAL mode, so the copy sees one moment of the
// history and the recorder's appends are never blocked. `sumlocal.bin` and
// `nimbrel.ini` are copied as files; lock files, journals, the handover
// mirror and set-aside copies are not. Each step() does a bounded amount of
// work (a few hundred pages, about a megabyte), so a caller on the
// recorder's thread delays a poll by one step at most.
//
// Everything is written into a hidden folder beside the target, which is
// renamed into place at the end, after the manifest (`nimbrel-backup.json`:
// the time, the number of records and the newest record's date): a target
// either holds a whole backup or does not exist. An abandoned or failed copy
// removes its hidden folder.
#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <memory>

namespace nimbrel {

inline constexpr char kBackupManifest[] = "nimbrel-backup.json";

// The table files, in copying order, and the plain files a backup holds.
QStringList backupTableFiles();
QStringList backupPlainFiles();

struct BackupManifest {
    QDateTime made;
    long long records = 0;
    QDateTime newest;  // invalid for an empty history
};

// Reads a backup's manifest; false, with the reason, when there is none.
bool readBackupManifest(const QString &backupFolder, BackupManifest &manifest, QString *why);

// Why `target` cannot receive a backup of `dataFolder` (one sentence), or
// empty: it lies inside the data folder, or it exists and is not an empty
// folder.
QString backupTargetRefusal(const QString &dataFolder, const QString &target);

class FolderBackup {
public:
    enum class Step { More, Done, Failed };

    // `pagesPerStep` of 4 KB each; `now` is written into the manifest.
    FolderBackup(const QString &dataFolder, const QString &target, const QDateTime &now, int pagesPerStep = 256);
    ~FolderBackup();  // removes the hidden folder unless the backup is done
    FolderBackup(const FolderBackup &) = delete;
    FolderBackup &operator=(const FolderBackup &) = delete;

    Step step();
    // Runs every step; false with error() on failure.
    bool runToEnd();
    QString error() const;
    const BackupManifest &manifest() const;
    QString target() const;

private:
    struct Work;
    std::unique_ptr<Work> work_;
};

// A backup's tables open and pass SQLite's quick check, and its manifest is
// there. Empty when so, else one sentence naming the file.
QString checkBackupFolder(const QString &backupFolder);

}  // namespace nimbrel
