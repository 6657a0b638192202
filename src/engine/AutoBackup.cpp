#include "AutoBackup.h"

#include "BackupRotation.h"
#include "FolderBackup.h"

#include <QDir>
#include <QFileInfo>
#include <cstdio>

namespace nimbrel {

namespace {

constexpr int kFirstCheckMs = 60 * 1000;
constexpr int kCheckMs = 10 * 60 * 1000;
// Between steps the event queue runs: a poll that is due starts there.
constexpr int kStepGapMs = 10;
// 256 pages of 4 KB: a step copies about a megabyte, a few milliseconds.
constexpr int kPagesPerStep = 256;

}  // namespace

AutoBackup::AutoBackup(const QString &dataFolder, const BackupSettings &settings, std::function<QDateTime()> now,
                       std::function<bool()> mayStep, QObject *parent)
    : QObject(parent), dataFolder_(dataFolder), settings_(settings), now_(std::move(now)), mayStep_(std::move(mayStep))
{
    stepTimer_.setInterval(kStepGapMs);
    connect(&stepTimer_, &QTimer::timeout, this, &AutoBackup::step);
    if (!settings_.enabled)
        return;
    connect(&checkTimer_, &QTimer::timeout, this, [this] {
        checkTimer_.setInterval(kCheckMs);
        check();
    });
    checkTimer_.start(kFirstCheckMs);
}

AutoBackup::~AutoBackup() = default;

void AutoBackup::check()
{
    if (!settings_.enabled || backup_)
        return;
    const QDateTime now = now_();
    if (failedOn_ == now.date())
        return;
    const QDir folder(settings_.folder);
    // A backup cut short by a crash or a power cut left its hidden folder.
    for (const QString &name : folder.entryList({QStringLiteral(".nimbrel-*.partial-*")},
                                                QDir::Dirs | QDir::Hidden | QDir::NoSymLinks))
        QDir(folder.filePath(name)).removeRecursively();
    for (const QString &name : folder.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const std::optional<QDateTime> made = automaticBackupTime(name);
        if (made && made->date() == now.date())
            return;
    }
    backup_ = std::make_unique<FolderBackup>(dataFolder_, folder.filePath(automaticBackupName(now)), now, kPagesPerStep);
    stepTimer_.start();
}

void AutoBackup::step()
{
    if (!backup_) {
        stepTimer_.stop();
        return;
    }
    if (mayStep_ && !mayStep_())
        return;
    const FolderBackup::Step result = backup_->step();
    if (result == FolderBackup::Step::More)
        return;
    stepTimer_.stop();
    const std::unique_ptr<FolderBackup> ended = std::move(backup_);
    if (result == FolderBackup::Step::Failed) {
        failedOn_ = now_().date();
        std::fprintf(stderr, "nimbrel: the automatic backup failed: %s\n", qPrintable(ended->error()));
        Q_EMIT finished(false, ended->error());
        return;
    }
    removeOldBackups();
    Q_EMIT finished(true, ended->target());
}

void AutoBackup::removeOldBackups()
{
    QDir folder(settings_.folder);
    QStringList names;
    std::vector<QDateTime> made;
    for (const QString &name : folder.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks)) {
        const std::optional<QDateTime> time = automaticBackupTime(name);
        // Only whole backups of this program are ever removed.
        if (time && QFileInfo(folder.filePath(name + QLatin1Char('/') + QLatin1String(kBackupManifest))).isFile()) {
            names << name;
            made.push_back(*time);
        }
    }
    const std::vector<bool> kept = keptBackups(made, settings_.daily, settings_.weekly);
    for (std::size_t i = 0; i < kept.size(); ++i) {
        if (!kept[i])
            QDir(folder.filePath(names.at(int(i)))).removeRecursively();
    }
}

}  // namespace nimbrel
