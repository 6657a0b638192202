// The automatic backups of the data folder, as [backup] of nimbrel.ini asks
// (PublishSettings.h): once a day a FolderBackup into the backup folder,
// then the old ones beyond those kept (BackupRotation.h) are removed.
//
// The copy runs on the recorder's thread in small steps between exchanges:
// a step is taken only when `mayStep` says so (no exchange and no full read
// running), so a poll waits for one step at most. Whether today's backup is
// due is looked at a minute after start and every ten minutes after.
#pragma once

#include "PublishSettings.h"

#include <QDateTime>
#include <QObject>
#include <QTimer>
#include <functional>
#include <memory>

namespace nimbrel {

class FolderBackup;

class AutoBackup : public QObject {
    Q_OBJECT
public:
    AutoBackup(const QString &dataFolder, const BackupSettings &settings, std::function<QDateTime()> now,
               std::function<bool()> mayStep, QObject *parent = nullptr);
    ~AutoBackup() override;

    // Starts today's backup unless there is one or one runs.
    void check();
    bool running() const { return backup_ != nullptr; }

Q_SIGNALS:
    // A backup ended: its folder, or the reason it failed.
    void finished(bool ok, const QString &folderOrWhy);

private:
    void step();
    void removeOldBackups();

    QString dataFolder_;
    BackupSettings settings_;
    std::function<QDateTime()> now_;
    std::function<bool()> mayStep_;
    std::unique_ptr<FolderBackup> backup_;
    QTimer checkTimer_;
    QTimer stepTimer_;
    QDate failedOn_;  // a failed day is not tried again every ten minutes
};

}  // namespace nimbrel
