// Storing the records taken over from the station through a history file
// that may fail for a while: locked by another program, on a full disk, on a
// disk that failed.
//
// The first record that cannot be stored marks the store as failing. From
// then on records are kept in memory, oldest first, without trying the store
// for each one (a locked file would make every record wait for it), and the
// kept records are tried again, as one transaction, whenever retry() is
// called. Once they are stored the store counts as working again.
//
// Rows can also be lost after their append seemed to work: a batch whose
// commit fails (a full disk) or that SQLite rolled back loses every row
// appended in it. They are not kept here, but the station still holds them in
// its ring: readBackDue() then says that the ring must be read back (a full
// read, the catch-up a restart would do) once the store works again.
#pragma once

#include "Measurement.h"

#include <QDateTime>
#include <QString>
#include <cstddef>
#include <deque>
#include <memory>

namespace nimbrel {

class HistoryStore;

class HistoryWriter {
public:
    // Records kept at most: some six months of 5-minute records, a few MB.
    // Beyond it the oldest go, and the ring is read back for what it holds.
    static constexpr std::size_t kKeptLimit = 50000;

    enum class Outcome {
        Stored,  // appended, or already stored
        Failed,  // the store failed just now (the first failure of a series): see lastError
        Kept,    // the store is failing: kept in memory for retry()
        None,    // no store
    };

    HistoryWriter();
    ~HistoryWriter();
    HistoryWriter(const HistoryWriter &) = delete;
    HistoryWriter &operator=(const HistoryWriter &) = delete;

    // A new store; the records kept for the old one are forgotten.
    void setStore(HistoryStore *store);
    HistoryStore *store() const { return store_; }

    Outcome write(const Measurement &m);
    // Groups the writes until commitBatch into one transaction. A batch
    // whose commit fails loses its rows (readBackDue is then set); false
    // from commitBatch when that is the first failure of a series, as from
    // write.
    void beginBatch();
    bool commitBatch();

    // Tries to store the kept records. True when the store works again (they
    // are all stored); false while it still fails or when there is nothing
    // to prove it (a store that lost rows but has no record to try yet).
    bool retry();

    bool failing() const { return failing_; }
    std::size_t keptCount() const { return kept_.size(); }
    // Records since this one may be missing from the store and from memory;
    // invalid when none are.
    QDateTime firstLost() const { return firstLost_; }
    // Rows were lost and the store works again: the station's ring is to be
    // read back. takeReadBack() says so once and clears it.
    bool readBackDue() const { return firstLost_.isValid() && !failing_; }
    bool takeReadBack();
    QString lastError() const { return lastError_; }
    // Records new to the store so far (appends of a date already stored do
    // not count), for telling how much a read brought.
    long long appendedCount() const { return appended_; }

private:
    void fail(const QString &why);
    void lose(const QDateTime &first);
    void keep(const Measurement &m);

    HistoryStore *store_ = nullptr;
    std::deque<Measurement> kept_;
    bool failing_ = false;
    QDateTime firstLost_;
    QString lastError_;
    long long appended_ = 0;
    struct OpenBatch;
    std::unique_ptr<OpenBatch> batch_;
};

}  // namespace nimbrel
