#include "RecorderEvents.h"

#include "ClockSkew.h"

#include <utility>

namespace nimbrel {

namespace {

// How often a failure that lasts is told again.
constexpr qint64 kRetellSecs = 3600;

QString recordText(const QDateTime &date)
{
    return date.toString(QStringLiteral("yyyy-MM-dd HH:mm"));
}

QString recordsText(long long count)
{
    return count == 1 ? QStringLiteral("1 record") : QStringLiteral("%1 records").arg(count);
}

}  // namespace

LastingFailure::Tell LastingFailure::note(bool failing, const QDateTime &now)
{
    if (!failing) {
        const bool was = std::exchange(failing_, false);
        return was ? Tell::Ended : Tell::Nothing;
    }
    if (!failing_) {
        failing_ = true;
        toldAt_ = now;
        return Tell::Started;
    }
    // A clock set back restarts the hour rather than silencing the log.
    if (!toldAt_.isValid() || toldAt_.secsTo(now) >= kRetellSecs || toldAt_ > now) {
        toldAt_ = now;
        return Tell::Lasts;
    }
    return Tell::Nothing;
}

RecorderEvents::RecorderEvents(std::function<QDateTime()> now, std::function<void(const QString &)> say)
    : now_(std::move(now)), say_(std::move(say))
{
}

void RecorderEvents::show(const StationSnapshot &s)
{
    switch (s.change) {
    case SnapshotChange::Connection: showConnection(s); break;
    case SnapshotChange::FullRead:
        if (s.fullReadActive) {
            readStart_ = s;
            reading_ = true;
        } else if (!std::exchange(reading_, false)) {
            // No full read was running (one carried on from a handover).
        } else if (s.slotsTakenOver > readStart_.slotsTakenOver) {
            say_(QStringLiteral("full read done: %1 taken over, %2 new, the newest of %3")
                     .arg(recordsText(s.slotsTakenOver - readStart_.slotsTakenOver))
                     .arg(s.recordsStored - readStart_.recordsStored)
                     .arg(recordText(s.record.Dat)));
            stored_ = s.recordsStored;
        } else if (s.connected && s.stationHeld) {
            say_(QStringLiteral("full read stopped before its end; it is tried again"));
        }
        break;
    case SnapshotChange::Record:
        if (s.handoversContinued > continued_) {
            continued_ = s.handoversContinued;
            say_(QStringLiteral("read carried on from the handover: %1 new, the newest of %2")
                     .arg(s.recordsStored - stored_)
                     .arg(recordText(s.record.Dat)));
            stored_ = s.recordsStored;
            break;
        }
        // A full read's records are told at its end.
        if (!s.fullReadActive && s.recordsStored > stored_) {
            const long long count = s.recordsStored - stored_;
            say_(count == 1 ? QStringLiteral("record of %1 stored").arg(recordText(s.record.Dat))
                            : QStringLiteral("%1 stored, the newest of %2").arg(recordsText(count), recordText(s.record.Dat)));
            stored_ = s.recordsStored;
        }
        break;
    case SnapshotChange::StoreFailed:
        say_(QStringLiteral("the history cannot be written (%1); records are kept in memory and stored once it can")
                 .arg(s.storeError));
        break;
    case SnapshotChange::HistoryRebuilt: say_(s.tableNotice); break;
    case SnapshotChange::Publishing: showDestinations(s.destinations); break;
    case SnapshotChange::Handover:
        // Publishing starts afresh when the station is taken back.
        if (!s.stationHeld) {
            stationKnown_ = false;
            connected_ = false;
            destinations_.clear();
        }
        break;
    default: break;
    }
    if (s.stationHeld)
        showClock(s);
}

void RecorderEvents::showConnection(const StationSnapshot &s)
{
    if (!s.stationHeld)
        return;
    if (!stationKnown_) {
        stationKnown_ = true;
        connected_ = s.connected;
        say_(s.connected ? QStringLiteral("station connected")
                         : QStringLiteral("no station found; it is recorded as soon as it is plugged in"));
        return;
    }
    if (s.connected != connected_) {
        connected_ = s.connected;
        say_(connected_ ? QStringLiteral("station connected") : QStringLiteral("station disconnected"));
    }
}

void RecorderEvents::showDestinations(const std::vector<DestinationStatus> &destinations)
{
    const QDateTime now = now_();
    std::map<QString, LastingFailure> seen;
    for (const DestinationStatus &d : destinations) {
        LastingFailure failure = destinations_[d.name];
        // Waiting (not yet connected, or between tries) neither starts a
        // failure nor ends one; Off ends nothing either.
        if (d.state == DestinationState::Failing || d.state == DestinationState::Ok ||
            d.state == DestinationState::Sending) {
            switch (failure.note(d.state == DestinationState::Failing, now)) {
            case LastingFailure::Tell::Started:
            case LastingFailure::Tell::Lasts: say_(QStringLiteral("%1: %2").arg(d.name, d.sentence)); break;
            case LastingFailure::Tell::Ended: say_(QStringLiteral("%1: recovered (%2)").arg(d.name, d.sentence)); break;
            case LastingFailure::Tell::Nothing: break;
            }
        }
        seen[d.name] = failure;
    }
    // A destination no longer configured is forgotten.
    destinations_ = std::move(seen);
}

void RecorderEvents::showClock(const StationSnapshot &s)
{
    const ClockSkew skew{s.clockAheadSecs};
    switch (clock_.note(skew.differs(), now_())) {
    case LastingFailure::Tell::Started:
    case LastingFailure::Tell::Lasts:
        say_(QStringLiteral("%1; its records are stored but not uploaded as current").arg(clockSkewSentence(skew)));
        break;
    case LastingFailure::Tell::Ended: say_(QStringLiteral("the station's clock and the computer's agree again")); break;
    case LastingFailure::Tell::Nothing: break;
    }
}

}  // namespace nimbrel
