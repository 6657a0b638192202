// The station's clock against the computer's. The station dates its
// records by its own clock, which the computer never sets: a station set to
// another zone, or a computer whose clock is wrong, gives records dated
// hours away from the computer's "now". A record dated ahead of the
// computer's clock by more than one history period cannot be a record just
// made: the clocks differ. (A station clock behind the computer's looks like
// an old record, which is never taken as current anyway.)
#pragma once

#include <QDateTime>
#include <QString>

namespace nimbrel {

// When the history period is not known, records this far ahead still pass
// as the computer's clock running a little slow.
inline constexpr int kClockSkewFallbackSecs = 600;

struct ClockSkew {
    // How far the record is dated ahead of the computer's clock; 0 while it is
    // not ahead by more than one history period (or a time is missing).
    qint64 aheadSecs = 0;
    bool differs() const { return aheadSecs > 0; }
};

// recordTime: the record's date on the station's wall clock; now: the
// computer's clock; periodMinutes: the station's history period (0: not
// known). Both times are compared as wall-clock faces, as the record
// carries no zone.
ClockSkew clockSkew(const QDateTime &recordTime, const QDateTime &now, int periodMinutes);

// The sentence every face shows while the clocks differ, e.g. "The station's
// clock is 3 h 05 min ahead of the computer's"; empty while they agree.
QString clockSkewSentence(const ClockSkew &skew);

// The time from which a record's age is counted for the station's
// availability: its own date, or `now` when it is dated ahead of the
// computer's clock, so that a future-dated record counts as just made and
// grows old like any other instead of keeping the station "online" until its
// date comes.
QDateTime ageFrom(const QDateTime &recordTime, const QDateTime &now);

}  // namespace nimbrel
