#include "HistoryTime.h"

#include <chrono>

namespace nimbrel::history {

namespace {

PlainSeconds daysFromCivil(int year, unsigned month, unsigned day)
{
    using namespace std::chrono;
    return sys_days(std::chrono::year(year) / std::chrono::month(month) / std::chrono::day(day))
        .time_since_epoch()
        .count();
}

PlainSeconds floorDiv(PlainSeconds a, PlainSeconds b)
{
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)) ? 1 : 0);
}

}  // namespace

std::optional<PlainSeconds> plainSecondsFromText(QStringView text)
{
    if (text.size() != 19)
        return std::nullopt;
    auto number = [text](int from, int digits, int &value) {
        value = 0;
        for (int i = from; i < from + digits; ++i) {
            const char16_t c = text[i].unicode();
            if (c < u'0' || c > u'9')
                return false;
            value = value * 10 + (c - u'0');
        }
        return true;
    };
    int year, month, day, hour, minute, second;
    if (!number(0, 4, year) || text[4] != u'-' || !number(5, 2, month) || text[7] != u'-' || !number(8, 2, day) ||
        (text[10] != u'T' && text[10] != u' ') || !number(11, 2, hour) || text[13] != u':' ||
        !number(14, 2, minute) || text[16] != u':' || !number(17, 2, second))
        return std::nullopt;
    if (month < 1 || month > 12 || day < 1 || day > QDate(year, month, 1).daysInMonth() || hour > 23 ||
        minute > 59 || second > 59)
        return std::nullopt;
    return daysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) * kSecondsPerDay +
           hour * kSecondsPerHour + minute * 60 + second;
}

PlainSeconds plainSeconds(const QDate &date, const QTime &time)
{
    return daysFromCivil(date.year(), static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day())) *
               kSecondsPerDay +
           time.msecsSinceStartOfDay() / 1000;
}

PlainSeconds plainSeconds(const QDateTime &dt)
{
    return plainSeconds(dt.date(), dt.time());
}

QDate plainDate(PlainSeconds s)
{
    return QDate(1970, 1, 1).addDays(floorDiv(s, kSecondsPerDay));
}

QDateTime plainDateTime(PlainSeconds s)
{
    const PlainSeconds inDay = s - floorDiv(s, kSecondsPerDay) * kSecondsPerDay;
    return QDateTime(plainDate(s), QTime::fromMSecsSinceStartOfDay(static_cast<int>(inDay * 1000)), Qt::UTC);
}

QString plainText(PlainSeconds s)
{
    return plainDateTime(s).toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss"));
}

PlainSeconds dayStart(PlainSeconds s)
{
    return floorDiv(s, kSecondsPerDay) * kSecondsPerDay;
}

PlainSeconds windowEndOf(const QDate &date)
{
    return plainSeconds(date) + kSecondsPerDay - 1;
}

}  // namespace nimbrel::history
