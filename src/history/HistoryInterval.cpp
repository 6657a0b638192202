#include "HistoryInterval.h"

namespace nimbrel::history {

QStringList intervalItems()
{
    return {QStringLiteral("день"), QStringLiteral("неделя"), QStringLiteral("месяц"), QStringLiteral("год"),
            QStringLiteral("все")};
}

QString intervalAxisFormat(Interval interval)
{
    switch (interval) {
    case Interval::Day:
        return QStringLiteral("hh:mm");
    case Interval::Week:
        return QStringLiteral("d.mm hh:mm");
    case Interval::Month:
    case Interval::Year:
        return QStringLiteral("d mmmm yy");
    case Interval::All:
        break;
    }
    return QStringLiteral("dd.mm.yy");
}

PlainSeconds windowStart(Interval interval, PlainSeconds end, std::optional<PlainSeconds> oldest)
{
    const QDateTime e = plainDateTime(end);
    switch (interval) {
    case Interval::Day:
        return end - kSecondsPerDay;
    case Interval::Week:
        return end - 7 * kSecondsPerDay;
    case Interval::Month:
        return plainSeconds(e.date().addMonths(-1), e.time());
    case Interval::Year:
        return plainSeconds(e.date().addYears(-1), e.time());
    case Interval::All:
        break;
    }
    return oldest ? *oldest : end - kSecondsPerDay;
}

PanelHeights panelHeights(const bool shown[6], int windowOuterHeight, int statusBarHeight, int toolBarHeight)
{
    PanelHeights result;
    int count = 0;
    for (int i = 0; i < 6; ++i)
        count += shown[i] ? 1 : 0;
    if (count == 0)
        return result;
    const int each = (windowOuterHeight - statusBarHeight - toolBarHeight - 30) / count;
    for (int i = 0; i < 6; ++i)
        result.heights[i] = shown[i] ? each : 1;
    return result;
}

}  // namespace nimbrel::history
