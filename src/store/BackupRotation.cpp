#include "BackupRotation.h"

#include <QRegularExpression>
#include <algorithm>
#include <numeric>

namespace nimbrel {

namespace {

const QString kFormat = QStringLiteral("yyyyMMdd-HHmmss");

// A week by its Monday.
QDate weekOf(const QDate &day)
{
    return day.addDays(1 - day.dayOfWeek());
}

}  // namespace

QString automaticBackupName(const QDateTime &made)
{
    return QStringLiteral("nimbrel-") + made.toString(kFormat);
}

std::optional<QDateTime> automaticBackupTime(const QString &name)
{
    static const QRegularExpression pattern(QStringLiteral("^nimbrel-(\\d{8}-\\d{6})$"));
    const QRegularExpressionMatch match = pattern.match(name);
    if (!match.hasMatch())
        return std::nullopt;
    const QDateTime made = QDateTime::fromString(match.captured(1), kFormat);
    if (!made.isValid())
        return std::nullopt;
    return made;
}

std::vector<bool> keptBackups(const std::vector<QDateTime> &made, int daily, int weekly)
{
    std::vector<std::size_t> newestFirst(made.size());
    std::iota(newestFirst.begin(), newestFirst.end(), 0);
    std::stable_sort(newestFirst.begin(), newestFirst.end(), [&](std::size_t a, std::size_t b) { return made[a] > made[b]; });
    std::vector<bool> kept(made.size(), false);
    int days = 0;
    int weeks = 0;
    QDate lastDay;
    // A week that holds a kept daily backup needs no weekly one.
    QDate lastWeek;
    for (const std::size_t i : newestFirst) {
        const QDate day = made[i].date();
        if (days < daily || day == lastDay) {
            if (day != lastDay) {
                ++days;
                kept[i] = true;  // the newest of its day
                lastDay = day;
                lastWeek = weekOf(day);
            }
            continue;
        }
        const QDate week = weekOf(day);
        if (week != lastWeek && weeks < weekly) {
            ++weeks;
            kept[i] = true;
            lastWeek = week;
        }
    }
    return kept;
}

}  // namespace nimbrel
