#include "DurationText.h"

#include <cstdlib>

namespace nimbrel {

QString durationText(qint64 seconds)
{
    const qint64 minutes = (std::llabs(seconds) + 30) / 60;
    const qint64 hours = minutes / 60;
    if (hours >= 24)
        return QStringLiteral("%1 d %2 h").arg(hours / 24).arg(hours % 24);
    if (hours > 0)
        return QStringLiteral("%1 h %2 min").arg(hours).arg(minutes % 60, 2, 10, QLatin1Char('0'));
    return QStringLiteral("%1 min").arg(minutes);
}

}  // namespace nimbrel
