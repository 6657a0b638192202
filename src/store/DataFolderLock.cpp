#include "DataFolderLock.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QSaveFile>
#include <QSysInfo>

namespace nimbrel {

namespace {

QString canonicalFolder(const QString &folder)
{
    const QFileInfo info(folder);
    return info.exists() ? info.canonicalFilePath() : QDir::cleanPath(info.absoluteFilePath());
}

// Beside the lock file: the folder and host it was taken for, one a line.
// A folder copied with its lock (cp -a, a restored disk image) carries a
// lock that names the original folder, or another host.
QString ownerFilePath(const QString &lockPath)
{
    return lockPath + QStringLiteral(".owner");
}

}  // namespace

DataFolderLock::DataFolderLock(const QString &folder, const QString &lockName)
    : folder_(folder), file_(std::make_unique<QLockFile>(QDir(folder).filePath(lockName)))
{
    // Stale only when its process is gone: a program that runs for months
    // keeps its lock.
    file_->setStaleLockTime(0);
}

DataFolderLock::~DataFolderLock()
{
    unlock();
}

QString DataFolderLock::fileName()
{
    return QStringLiteral(".nimbrel.lock");
}

QString DataFolderLock::recorderFileName()
{
    return QStringLiteral(".nimbrel-recorder.lock");
}

DataFolderLock::State DataFolderLock::tryLock()
{
    if (held_)
        return State::Held;
    if (file_->tryLock(0)) {
        held_ = true;
        error_.clear();
        writeOwner();
        return State::Held;
    }
    // A lock file that names no process (cut short by a crash while it was
    // made) is never found stale by its process id. Its maker holds a lock
    // of the system on it while it lives, so removeStaleLockFile takes it
    // away only when nobody does.
    if (file_->error() == QLockFile::LockFailedError && holderPid() == 0 && file_->removeStaleLockFile() &&
        file_->tryLock(0)) {
        held_ = true;
        error_.clear();
        writeOwner();
        return State::Held;
    }
    // A lock taken for another folder or on another host was copied here
    // with the folder: its process, however alive, does not hold this one.
    // The lock of the system still guards a live owner on this machine.
    if (file_->error() == QLockFile::LockFailedError && !namesThisFolder() && file_->removeStaleLockFile() &&
        file_->tryLock(0)) {
        held_ = true;
        error_.clear();
        writeOwner();
        return State::Held;
    }
    switch (file_->error()) {
    case QLockFile::LockFailedError:
        error_ = folderInUseSentence(*this);
        return State::HeldByOther;
    case QLockFile::PermissionError:
        error_ = QStringLiteral("the lock file cannot be created in %1 (no permission)").arg(folder_);
        return State::Unavailable;
    default:
        error_ = QStringLiteral("the lock file cannot be created in %1").arg(folder_);
        return State::Unavailable;
    }
}

bool DataFolderLock::namesThisFolder() const
{
    qint64 pid = 0;
    QString host, application;
    if (file_->getLockInfo(&pid, &host, &application) && !host.isEmpty() && host != QSysInfo::machineHostName())
        return false;
    QFile owner(ownerFilePath(file_->fileName()));
    const QFileInfo info(owner.fileName());
    // Without its note (an older version's lock, or one being taken) the
    // lock is judged by its process id alone, as it always was.
    if (info.isSymLink() || !info.isFile() || info.size() > 8192 || !owner.open(QIODevice::ReadOnly))
        return true;
    const QStringList lines = QString::fromUtf8(owner.read(8192)).split(QLatin1Char('\n'));
    if (lines.size() >= 2 && !lines.at(1).isEmpty() && lines.at(1) != QSysInfo::machineHostName())
        return false;
    return lines.at(0).isEmpty() || lines.at(0) == canonicalFolder(folder_);
}

void DataFolderLock::writeOwner() const
{
    QSaveFile owner(ownerFilePath(file_->fileName()));
    if (owner.open(QIODevice::WriteOnly)) {
        owner.write((canonicalFolder(folder_) + QLatin1Char('\n') + QSysInfo::machineHostName() + QLatin1Char('\n')).toUtf8());
        owner.commit();
    }
}

void DataFolderLock::unlock()
{
    if (held_) {
        QFile::remove(ownerFilePath(file_->fileName()));
        file_->unlock();
    }
    held_ = false;
}

qint64 DataFolderLock::holderPid() const
{
    qint64 pid = 0;
    QString host, application;
    if (!file_->getLockInfo(&pid, &host, &application))
        return 0;
    return pid;
}

QString DataFolderLock::socketName(const QString &folder, const QString &user)
{
    const QFileInfo info(folder);
    const QString canonical = info.exists() ? info.canonicalFilePath() : QDir::cleanPath(info.absoluteFilePath());
    const QByteArray hash = QCryptographicHash::hash(canonical.toUtf8(), QCryptographicHash::Sha256).toHex().left(16);
    return QStringLiteral("nimbrel-%1-%2").arg(user, QString::fromLatin1(hash));
}

QString folderInUseSentence(const DataFolderLock &lock)
{
    const qint64 pid = lock.holderPid();
    const QString who = pid > 0 ? QStringLiteral("Another Nimbrel (process %1)").arg(pid)
                                : QStringLiteral("Another Nimbrel");
    return QStringLiteral("%1 is using the data folder %2.").arg(who, QDir::toNativeSeparators(lock.folder()));
}

}  // namespace nimbrel
