// SPDX-License-Identifier: GPL-3.0-or-later
#include "Outbox.h"

#include "FromTimeText.h"
#include "SafeFile.h"

#include <QDir>
#include <QFileInfo>
#include <cstdio>

namespace nimbrel {

namespace {

constexpr qint64 kCursorFileLimit = 64;
// Acknowledgements between two writes of the cursor during a catch-up; a
// crash then sends at most this many records again, each with its own time.
constexpr int kSaveEvery = 100;

QDateTime readCursor(const QString &path)
{
    QByteArray bytes;
    QString why;
    bool whole = false;
    if (readFileStart(path, kCursorFileLimit, bytes, why, false, &whole) != FileRead::Read || !whole)
        return {};
    const QDateTime at = HistoryStore::dateFromText(QString::fromLatin1(bytes.trimmed()));
    return at.isValid() ? at : QDateTime();
}

}  // namespace

QString destinationStateWord(DestinationState state)
{
    switch (state) {
    case DestinationState::Ok: return QStringLiteral("ok");
    case DestinationState::Sending: return QStringLiteral("sending");
    case DestinationState::Waiting: return QStringLiteral("waiting");
    case DestinationState::Failing: return QStringLiteral("failing");
    case DestinationState::Off: return QStringLiteral("off");
    }
    return QStringLiteral("off");
}

Outbox::Outbox(std::unique_ptr<Destination> destination, QString cursorPath, QObject *parent)
    : QObject(parent), destination_(std::move(destination)), path_(std::move(cursorPath))
{
    cursor_ = readCursor(path_);
    next_.setSingleShot(true);
    next_.setInterval(0);
    connect(&next_, &QTimer::timeout, this, [this] { handOut(); });
    Destination *d = destination_.get();
    connect(d, &Destination::acknowledged, this, &Outbox::acknowledged);
    connect(d, &Destination::released, this, &Outbox::released);
    connect(d, &Destination::readyChanged, this, [this](bool ready) {
        if (!ready)
            lost();
        else if (live_ && handOut() == 0 && history_ && convert_) {
            // Back with nothing due: the newest record again, for a server
            // that lost what it held.
            HistoryRow newest;
            if (history_->newest(newest) && cursor_.isValid() && newest.Dat <= cursor_)
                destination_->refresh(convert_(newest));
        }
        Q_EMIT statusChanged();
    });
    connect(d, &Destination::statusChanged, this, &Outbox::statusChanged);
}

Outbox::~Outbox()
{
    if (unsaved_ > 0)
        save();
    // A destination ending (an upload aborted) says nothing to an outbox
    // that is half gone.
    destination_->disconnect(this);
    destination_.reset();
}

void Outbox::setHistory(const HistoryStore *history, Convert convert)
{
    history_ = history;
    convert_ = std::move(convert);
}

QDateTime Outbox::now() const
{
    return now_ ? now_() : QDateTime::currentDateTime();
}

DestinationStatus Outbox::status() const
{
    DestinationStatus s;
    s.name = destination_->name();
    s.state = destination_->state();
    s.sentence = destination_->sentence();
    s.delivered = cursor_;
    return s;
}

void Outbox::pump()
{
    live_ = true;
    handOut();
}

void Outbox::offer(const CurrentConditions &conditions)
{
    live_ = true;
    if (history_) {
        fresh_ = conditions;
        handOut();
        forgetFreshIfHanded();
        return;
    }
    if (!destination_->ready() || (handed_.isValid() && conditions.time <= handed_))
        return;
    handed_ = conditions.time;
    unacknowledged_.push_back(conditions.time);
    destination_->take(conditions);
}

void Outbox::current(const CurrentConditions &conditions)
{
    live_ = true;
    fresh_ = conditions;
    const int handed = handOut();
    forgetFreshIfHanded();
    if (handed == 0 && destination_->ready())
        destination_->refresh(conditions);
}

// After an answer: one hand-out per turn of the event loop, however many
// answers came in it (a broker acknowledges each record on its own).
void Outbox::handOutSoon()
{
    if (pumping_)
        again_ = true;
    else
        next_.start();
}

void Outbox::forgetFreshIfHanded()
{
    if (fresh_ && handed_.isValid() && fresh_->time <= handed_)
        fresh_.reset();
}

// Hands out what is due while the destination has room, a batch per turn of
// the event loop; answers that come while handing (a destination that
// answers at once) hand out again.
int Outbox::handOut()
{
    if (pumping_) {
        again_ = true;
        return 0;
    }
    if (!history_ || !convert_)
        return 0;
    pumping_ = true;
    int handed = 0;
    do {
        if (handed >= kOutboxBatch) {
            next_.start();
            break;
        }
        again_ = false;
        HistoryRow newest;
        if (!destination_->ready() || !history_->newest(newest))
            break;
        const Reach reach = destination_->reach();
        // A first start, or a cursor the history has never reached (cleared,
        // restored from an older copy): from the newest record on.
        if (cursor_.isValid() && cursor_ > newest.Dat)
            cursor_ = QDateTime();
        QDateTime after = handed_.isValid() ? handed_ : cursor_;
        if (!after.isValid() || !reach.past)
            after = std::max(after, newest.Dat.addSecs(-1));
        if (reach.limitSecs > 0) {
            // Compared on the rows' own clock face: a wall-clock time marked
            // UTC against a local one is hours off anywhere but at UTC.
            const QDateTime oldest = wallClock(now()).addSecs(-reach.limitSecs - 1);
            after = std::max(after, QDateTime(oldest.date(), oldest.time()));
        }
        const int room = destination_->capacity() - static_cast<int>(unacknowledged_.size());
        if (room <= 0 || after >= newest.Dat)
            break;
        std::vector<HistoryRow> rows;
        const int want = std::min(room, kOutboxBatch - handed);
        history_->forEachBetween(after, newest.Dat, RowOrder::OldestFirst, [&](const HistoryRow &row) {
            rows.push_back(row);
            return static_cast<int>(rows.size()) < want;
        });
        for (const HistoryRow &row : rows) {
            handed_ = row.Dat;
            unacknowledged_.push_back(row.Dat);
            ++handed;
            // The record just taken over keeps its sensor states, which the
            // stored row has lost.
            destination_->take(fresh_ && fresh_->time == row.Dat ? *fresh_ : convert_(row));
        }
        if (rows.empty())
            break;
        again_ = again_ || static_cast<int>(rows.size()) == want;
    } while (again_);
    pumping_ = false;
    return handed;
}

void Outbox::acknowledged(const QDateTime &time)
{
    while (!unacknowledged_.empty() && unacknowledged_.front() <= time)
        unacknowledged_.pop_front();
    if (!cursor_.isValid() || time > cursor_) {
        cursor_ = time;
        ++unsaved_;
        // Every face hears of it as often as the file is written: once
        // caught up, and every kSaveEvery records of a catch-up.
        if (unacknowledged_.empty() || unsaved_ >= kSaveEvery) {
            save();
            Q_EMIT statusChanged();
        }
    }
    handOutSoon();
}

void Outbox::released(const QDateTime &time)
{
    while (!unacknowledged_.empty() && unacknowledged_.front() <= time)
        unacknowledged_.pop_front();
    handOutSoon();
}

// What was handed and not acknowledged goes again after the cursor.
void Outbox::lost()
{
    unacknowledged_.clear();
    handed_ = QDateTime();
    if (unsaved_ > 0)
        save();
}

void Outbox::save()
{
    unsaved_ = 0;
    QDir().mkpath(QFileInfo(path_).absolutePath());
    QString why;
    const QByteArray text = cursor_.isValid() ? HistoryStore::dateText(cursor_).toLatin1() + '\n' : QByteArray();
    if (!writeFileAtomically(path_, text, &why))
        std::fprintf(stderr, "nimbrel: %s cannot be written: %s\n", qPrintable(path_), qPrintable(why));
}

}  // namespace nimbrel
