// One program at a time per data folder.
//
// Two programs on one data folder would both append to `datat`, both save
// `datsum`, and both talk to the one station, whose commands could cross.
// Whoever holds this lock owns the folder and the station; it is taken before
// anything opens either. The lock is a file in the data folder, created
// atomically; a lock left by a program that died (its process is gone) is
// recognised by the process id written in it and taken over, however young.
// A lock names its folder and host (in "<lock>.owner" beside it, and the
// host in the lock itself): a folder copied with its lock file opens,
// because the lock names the original folder, or another host, and the
// process holding that one does not hold the copy.
//
// The owner listens on a local socket named after the same folder
// (socketName), so that a later start on the folder can ask it to come
// forward, or to hand the station over, instead of running beside it.
#pragma once

#include <QString>
#include <memory>

class QLockFile;

namespace nimbrel {

class DataFolderLock {
public:
    enum class State {
        Held,         // this program owns the folder
        HeldByOther,  // another running program does: see holderPid
        Unavailable,  // the lock file cannot be made (a read-only folder): see errorString
    };

    // `lockName`: the lock file's name inside the folder; another name
    // makes a lock of its own (the background recorder's, of which one runs
    // per folder beside the owner's).
    explicit DataFolderLock(const QString &folder, const QString &lockName = fileName());
    ~DataFolderLock();  // releases the lock when held
    DataFolderLock(const DataFolderLock &) = delete;
    DataFolderLock &operator=(const DataFolderLock &) = delete;

    // Tries once, without waiting.
    State tryLock();
    void unlock();
    bool held() const { return held_; }
    // The process that holds the lock, 0 when not known.
    qint64 holderPid() const;
    QString errorString() const { return error_; }
    QString folder() const { return folder_; }

    // The owner's lock file's name inside the folder, and the background
    // recorder's.
    static QString fileName();
    static QString recorderFileName();
    // The local socket of the program that owns `folder`, for `user`: the
    // user and a hash of the folder's canonical path, so that two names of
    // one folder (a link, "..") meet at one socket and two folders never do.
    static QString socketName(const QString &folder, const QString &user);

private:
    // False when the lock was taken for another folder or on another host.
    bool namesThisFolder() const;
    void writeOwner() const;

    QString folder_;
    std::unique_ptr<QLockFile> file_;
    bool held_ = false;
    QString error_;
};

// "Another Nimbrel (process 123) is using the data folder DIR." for the
// program that lost the lock.
QString folderInUseSentence(const DataFolderLock &lock);

}  // namespace nimbrel
