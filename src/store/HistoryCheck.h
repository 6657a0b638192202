// The full check of the history file after an unclean end, run off the
// start-up path: the window shows and recording starts on the file as it
// is, while a thread of its own reads every page through its own
// connection. When the check proves damage, the same thread builds a new
// file beside it from every record that can still be read; the owner then
// puts it in place with replaceDamagedHistory.
#pragma once

#include "HistoryStore.h"

#include <QDateTime>
#include <QObject>
#include <QString>
#include <atomic>
#include <functional>
#include <memory>
#include <thread>

namespace nimbrel {

struct HistoryCheckOutcome {
    enum class Finding {
        Sound,
        Damaged,     // rebuiltPath holds the readable records (empty when none could be written)
        NotChecked,  // the file could not be read through (locked, no permission, a disk error): no proof of damage
    };
    Finding finding = Finding::Sound;
    QString why;          // SQLite's words, when not sound
    QString rebuiltPath;  // "<path>.rebuilt", complete and closed
    long long recordsKept = 0;
};

class HistoryCheck {
public:
    // Starts checking the file at `path` at once. `done` runs on the thread
    // of `context` (through its event loop) once the check and any rebuild
    // have ended, unless this object is gone by then; `context` must
    // outlive this object. A sound finding removes the file's unchecked
    // marker (TableFile.h); a check cut short leaves it for the next start.
    HistoryCheck(const QString &path, const QDateTime &now, QObject *context,
                 std::function<void(const HistoryCheckOutcome &)> done);
    // Stops the check within a few milliseconds and waits for its thread;
    // a half-built file is removed.
    ~HistoryCheck();
    HistoryCheck(const HistoryCheck &) = delete;
    HistoryCheck &operator=(const HistoryCheck &) = delete;

    // The name of the rebuilt file of the history at `path`.
    static QString rebuiltPathOf(const QString &path);

private:
    struct Shared;
    std::shared_ptr<Shared> shared_;
    std::thread thread_;
};

struct HistoryReplaced {
    std::unique_ptr<HistoryStore> store;  // the history now in use (the old one when replacing failed)
    QString setAside;                     // where the damaged file went
    QString error;                        // why it could not be replaced
    long long recordsCarried = 0;         // stored in the damaged file after the check began
};

// Puts the rebuilt file of a damaged history in its place. `damaged` is the
// store in use on the damaged file: the records it took since the check
// began (newer than the rebuilt file's newest) are carried over, the file
// and its journal are moved aside as "<name>.damaged-YYYYMMDD-HHMMSS" and
// the rebuilt file is opened under the old name. Nothing is lost when a
// step fails: the old store is handed back open and `error` says why.
HistoryReplaced replaceDamagedHistory(std::unique_ptr<HistoryStore> damaged, const HistoryCheckOutcome &outcome,
                                      const QDateTime &now);

// One sentence for the user: "The file datat was damaged: it was kept as
// datat.damaged-20261207-181500 and a new one was built from the 1051920
// records that could be read."
QString historyRebuiltSentence(const HistoryReplaced &replaced, const HistoryCheckOutcome &outcome);

}  // namespace nimbrel
