// Who has the station of a data folder, and how it changes hands between a
// window and the background recorder (`nimbrel --headless`).
//
// Holding: the program holding the folder's lock (DataFolderLock) has the
// station and writes the tables; it listens on the folder's socket
// (SingleInstance). The recorder also holds a lock of its own, so that one
// recorder runs per folder whoever has the station.
//
// Asking: a window started on a folder the recorder holds asks it for the
// station over the socket (askOwnerForStation); another window answers
// "window" and is brought to the front instead.
//
// Handing over: the recorder stops at its running exchange's block, leaves
// the mirror of the station for the window (HandoverMirror.h), closes the
// tables and the device (StationEngine::releaseStation), stops serving the
// web page, closes its socket, lets the lock go and answers "handed"; the
// window takes the lock and carries on from the mirror.
//
// Taking back: a window that ends leaves the mirror when a recorder waits
// (recorderWaits, asked by the engine's shut-down) and removes its lock
// file; the recorder, watching that file (and retrying every second for a
// window that died), takes the lock and the station back.
#pragma once

#include "SingleInstance.h"

#include <QFileSystemWatcher>
#include <QObject>
#include <QString>
#include <QTimer>

namespace nimbrel {

class DataFolderLock;
class StationEngine;

// Whether a background recorder of another process waits on `folder` for
// the station: closing this program hands the station to it. Its lock file
// is only read, never taken, so a recorder starting meanwhile is not refused.
bool recorderWaits(const QString &folder);

// A window starting on a folder another program holds asks it for the
// station, a few times: the owner may be starting right now and not yet
// listen. Handed: a recorder let the folder go and `lock` is now held here.
// Window: a window owns the folder. NoAnswer: nobody answered, or the lock
// could not be taken after all.
SingleInstance::Answer askOwnerForStation(SingleInstance &socket, DataFolderLock &lock);

// The recorder's side: takes the station when the folder is free, hands it
// to a window that asks, and takes it back once that window has ended.
class RecorderHandover : public QObject {
    Q_OBJECT
public:
    RecorderHandover(StationEngine &engine, DataFolderLock &lock, SingleInstance &socket, QObject *parent = nullptr);

    // The first try; a window that has the folder is waited for.
    void begin();

Q_SIGNALS:
    // A line for the recorder's log.
    void said(const QString &sentence);
    // The station and the tables are this recorder's (again): the faces
    // that read the tables may start.
    void stationTaken();
    // A window asked for the station: the faces that read the tables stop
    // before it is released.
    void handingOver();

private:
    void tryToTake();
    void handOver();

    StationEngine &engine_;
    DataFolderLock &lock_;
    SingleInstance &socket_;
    QTimer retry_;
    QFileSystemWatcher lockWatch_;
    bool started_ = false;
    bool handing_ = false;
};

}  // namespace nimbrel
