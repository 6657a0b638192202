#include "ClockSkew.h"

#include "DurationText.h"

namespace nimbrel {

namespace {

QDateTime face(const QDateTime &t)
{
    return QDateTime(t.date(), t.time(), Qt::UTC);
}

}  // namespace

ClockSkew clockSkew(const QDateTime &recordTime, const QDateTime &now, int periodMinutes)
{
    if (!recordTime.isValid() || !now.isValid())
        return {};
    const qint64 ahead = face(now).secsTo(face(recordTime));
    const qint64 tolerance = periodMinutes > 0 ? qint64(periodMinutes) * 60 : kClockSkewFallbackSecs;
    return ahead > tolerance ? ClockSkew{ahead} : ClockSkew{};
}

QString clockSkewSentence(const ClockSkew &skew)
{
    if (!skew.differs())
        return {};
    return QStringLiteral("The station's clock is %1 ahead of the computer's").arg(durationText(skew.aheadSecs));
}

QDateTime ageFrom(const QDateTime &recordTime, const QDateTime &now)
{
    if (recordTime.isValid() && now.isValid() && face(recordTime) > face(now))
        return now;
    return recordTime;
}

}  // namespace nimbrel
