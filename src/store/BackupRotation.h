// Which automatic backups are kept.
//
// An automatic backup is a folder named "nimbrel-YYYYMMDD-HHMMSS" (the local
// time it was made) in the backup folder. Kept: the newest backup of each of
// the `daily` most recent days that have one, and, among the older ones, the
// newest backup of each of the `weekly` most recent ISO weeks (Monday to
// Sunday) that have one. As days pass, the backup of a day that leaves the
// daily ones becomes its week's, so a week keeps its latest day.
#pragma once

#include <QDateTime>
#include <QString>
#include <optional>
#include <vector>

namespace nimbrel {

QString automaticBackupName(const QDateTime &made);
// The time in a name made by automaticBackupName; nothing for any other name.
std::optional<QDateTime> automaticBackupTime(const QString &name);

// One flag per entry of `made` (any order): true when that backup is kept.
std::vector<bool> keptBackups(const std::vector<QDateTime> &made, int daily, int weekly);

}  // namespace nimbrel
