// SPDX-License-Identifier: GPL-3.0-or-later
// The history as the outbox of one destination. Its cursor, the date of the
// newest record the destination delivered and had acknowledged, is kept in
// the data folder as outbox/<name>.cursor (one line, the history's date
// text, written atomically). After a restart, a handover or an outage the
// destination resumes after its cursor, oldest first, read from the history
// in batches by date; a destination that takes only the present gets the
// newest record alone, and none older than its staleness limit. A first
// start, or a cursor newer than the history (cleared or restored), starts
// at the newest record: no flood of old records.
#pragma once

#include "Destination.h"
#include "HistoryStore.h"

#include <QDateTime>
#include <QObject>
#include <QTimer>
#include <deque>
#include <functional>
#include <memory>
#include <optional>

namespace nimbrel {

// The most records read from the history at once, and handed in one turn of
// the event loop: each is converted on the recorder's thread (rain windows
// read from the history, up to 2 ms a record on a busy machine), so a
// catch-up of thousands goes a batch per turn and holds a poll or a repaint
// for some 50 ms at most.
inline constexpr int kOutboxBatch = 25;

class Outbox : public QObject {
    Q_OBJECT
public:
    // A stored row as the destinations get it (rain windows and all).
    using Convert = std::function<CurrentConditions(const HistoryRow &)>;

    // The cursor is read from `cursorPath` (a missing or unreadable file:
    // no cursor).
    Outbox(std::unique_ptr<Destination> destination, QString cursorPath, QObject *parent = nullptr);
    ~Outbox() override;  // writes a cursor not yet written

    void setHistory(const HistoryStore *history, Convert convert);
    void setClock(std::function<QDateTime()> now) { now_ = std::move(now); }

    // Hands the destination what is due. After every record stored.
    void pump();
    // A record taken over (stored); without a history it is handed as it is.
    void offer(const CurrentConditions &conditions);
    // The current record, stored before (a restart, a handover): what is
    // due, else the record once more for a destination that refreshes.
    void current(const CurrentConditions &conditions);

    // More is due and goes on the next turn of the event loop.
    bool handingOut() const { return next_.isActive(); }

    Destination &destination() { return *destination_; }
    const Destination &destination() const { return *destination_; }
    QDateTime cursor() const { return cursor_; }
    DestinationStatus status() const;

Q_SIGNALS:
    void statusChanged();

private:
    void acknowledged(const QDateTime &time);
    void released(const QDateTime &time);
    void lost();
    int handOut();
    void handOutSoon();
    void forgetFreshIfHanded();
    void save();
    QDateTime now() const;

    std::unique_ptr<Destination> destination_;
    QString path_;
    const HistoryStore *history_ = nullptr;
    Convert convert_;
    std::function<QDateTime()> now_;
    QDateTime cursor_;   // newest acknowledged; invalid: none
    QDateTime handed_;   // newest handed since the last loss; invalid: none
    std::deque<QDateTime> unacknowledged_;
    // The record taken over, until it is handed (perhaps a turn later).
    std::optional<CurrentConditions> fresh_;
    QTimer next_;  // zero-time: the rest of a hand-out on the next turn
    int unsaved_ = 0;
    // A record was taken over or read in this run: before that nothing is
    // sent, not even on a connection (a program carrying on after a
    // handover has not read the station yet).
    bool live_ = false;
    bool pumping_ = false;
    bool again_ = false;
};

}  // namespace nimbrel
