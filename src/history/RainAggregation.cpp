#include "RainAggregation.h"

#include "DateFormat.h"

#include <map>

namespace nimbrel::history {

QStringList rainSumPeriodItems()
{
    return {QStringLiteral("день"), QStringLiteral("неделя"), QStringLiteral("месяц"), QStringLiteral("год")};
}

QString rainSumPeriodLabel(RainSumPeriod period, const QDate &date, const QLocale &locale)
{
    const QDateTime at(date, QTime(0, 0), Qt::UTC);
    switch (period) {
    case RainSumPeriod::Day:
        return formatDateTime(at, QStringLiteral("dd.mm.yy"), locale);
    case RainSumPeriod::Week:
        return QString::number(date.weekNumber());
    case RainSumPeriod::Month:
        return formatDateTime(at, QStringLiteral("mmmm yy"), locale);
    case RainSumPeriod::Year:
        break;
    }
    return formatDateTime(at, QStringLiteral("yyyy"), locale);
}

QDate nextPeriod(RainSumPeriod period, const QDate &date)
{
    switch (period) {
    case RainSumPeriod::Day:
        return date.addDays(1);
    case RainSumPeriod::Week:
        return date.addDays(7);
    case RainSumPeriod::Month:
        return date.addMonths(1);
    case RainSumPeriod::Year:
        break;
    }
    return date.addYears(1);
}

std::vector<RainBar> aggregateRain(PlainSeconds start, PlainSeconds end, RainSumPeriod period, double tipFactor,
                                   const std::vector<RainSample> &samples, bool historyEmpty, const QLocale &locale)
{
    std::map<QDate, RainBar> bars;
    if (historyEmpty || start > end)
        return {};

    // Empty bars: one per period from the window start (with its time of
    // day) to the window end.
    const QDateTime startAt = plainDateTime(start);
    for (QDate q = startAt.date(); plainSeconds(q, startAt.time()) <= end; q = nextPeriod(period, q))
        bars.emplace(q, RainBar{q, 0.0, rainSumPeriodLabel(period, q, locale)});

    // The counter's rise per period, periods from midnight of the start.
    std::size_t i = 0;
    if (!samples.empty()) {
        std::int32_t previous = samples.front().count;
        std::int32_t count = previous;
        QDate h = startAt.date();
        while (i < samples.size()) {
            const QDate next = nextPeriod(period, h);
            const PlainSeconds t = plainSeconds(next);
            while (i < samples.size() && samples[i].t <= t)
                count = samples[i++].count;
            double amount = (static_cast<double>(count) - previous) * tipFactor;
            if (amount < 0)
                amount = 0;
            auto found = bars.find(h);
            if (found != bars.end()) {
                found->second.amount = amount;
            } else {
                const QString label =
                    period == RainSumPeriod::Week ? QString::number(next.weekNumber()) : rainSumPeriodLabel(period, h, locale);
                bars.emplace(h, RainBar{h, amount, label});
            }
            previous = count;
            h = next;
        }
    }

    std::vector<RainBar> out;
    out.reserve(bars.size());
    for (auto &entry : bars)
        out.push_back(std::move(entry.second));
    return out;
}

}  // namespace nimbrel::history
