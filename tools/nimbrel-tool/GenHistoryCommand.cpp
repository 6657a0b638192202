// gen-history: a synthetic history table, written by the program's own
// store, for demonstrations and for measuring the store at realistic sizes.
#include "Commands.h"
#include "DateArgument.h"
#include "SyntheticHistory.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <cmath>
#include <cstdio>

namespace nimbrel::tool {

namespace {

constexpr const char *kUsage =
    "usage: nimbrel-tool gen-history --years N --period MINUTES [--end DATE] [--seed N] [--force] FILE\n"
    "  N may be fractional (0.01 is about three and a half days); MINUTES 1..1440;\n"
    "  DATE is YYYY-MM-DD or YYYY-MM-DDTHH:MM:SS, the newest record (default 2026-06-21T12:00:00);\n"
    "  an existing FILE is replaced only with --force.\n";

int badArguments(const QString &why)
{
    return report("gen-history", why, 2, kUsage);
}

int failure(const QString &why)
{
    return report("gen-history", why, 1);
}

bool removeHistoryFile(const QString &path)
{
    for (const char *suffix : {"-wal", "-shm"})
        QFile::remove(path + QLatin1String(suffix));
    return !QFileInfo::exists(path) || QFile::remove(path);
}

}  // namespace

int runGenHistory(const QStringList &arguments)
{
    double years = 0;
    int periodMinutes = 0;
    bool haveYears = false;
    bool havePeriod = false;
    bool force = false;
    std::uint32_t seed = 1;
    QDateTime end(QDate(2026, 6, 21), QTime(12, 0), Qt::UTC);
    QString file;

    for (int i = 0; i < arguments.size(); ++i) {
        QString option = arguments.at(i);
        QString value;
        const bool takesValue = option == QLatin1String("--years") || option == QLatin1String("--period") ||
                                option == QLatin1String("--end") || option == QLatin1String("--seed");
        const qsizetype equals = option.indexOf(QLatin1Char('='));
        if (option.startsWith(QLatin1String("--")) && equals > 0) {
            value = option.mid(equals + 1);
            option = option.left(equals);
        } else if (takesValue) {
            if (i + 1 >= arguments.size())
                return badArguments(QStringLiteral("%1 needs a value").arg(option));
            value = arguments.at(++i);
        }
        bool ok = true;
        if (option == QLatin1String("--years")) {
            years = value.toDouble(&ok);
            if (!ok || !std::isfinite(years) || years <= 0 || years > 200)
                return badArguments(QStringLiteral("--years must be a number above 0 and at most 200, not \"%1\"")
                                        .arg(value));
            haveYears = true;
        } else if (option == QLatin1String("--period")) {
            periodMinutes = value.toInt(&ok);
            if (!ok || periodMinutes < 1 || periodMinutes > 1440)
                return badArguments(
                    QStringLiteral("--period must be a whole number of minutes, 1 to 1440, not \"%1\"").arg(value));
            havePeriod = true;
        } else if (option == QLatin1String("--end")) {
            end = parseDateArgument(value);
            if (!end.isValid())
                return badArguments(
                    QStringLiteral("--end: \"%1\" is not a date YYYY-MM-DD or YYYY-MM-DDTHH:MM:SS").arg(value));
        } else if (option == QLatin1String("--seed")) {
            seed = value.toUInt(&ok);
            if (!ok)
                return badArguments(QStringLiteral("--seed must be a whole number, not \"%1\"").arg(value));
        } else if (option == QLatin1String("--force") && equals < 0) {
            force = true;
        } else if (option.startsWith(QLatin1Char('-')) && option != QLatin1String("-")) {
            return badArguments(QStringLiteral("unknown option \"%1\"").arg(arguments.at(i)));
        } else if (file.isEmpty()) {
            file = option;
        } else {
            return badArguments(QStringLiteral("only one FILE, not \"%1\" as well").arg(option));
        }
    }
    if (!haveYears)
        return badArguments(QStringLiteral("--years is missing"));
    if (!havePeriod)
        return badArguments(QStringLiteral("--period is missing"));
    if (file.isEmpty())
        return badArguments(QStringLiteral("FILE is missing"));

    SyntheticHistory history;
    history.end = end;
    history.periodSeconds = static_cast<std::int64_t>(periodMinutes) * 60;
    history.records = recordsInYears(years, periodMinutes);
    history.seed = seed;
    if (history.records < 1)
        return badArguments(QStringLiteral("%1 years hold not even one record at %2 minutes").arg(years).arg(periodMinutes));

    const QFileInfo info(file);
    // Said before SQLite tries: it would call a missing folder read-only.
    if (!QFileInfo(info.absolutePath()).isDir())
        return failure(QStringLiteral("the folder %1 does not exist").arg(info.absolutePath()));
    if (info.exists()) {
        if (info.isDir())
            return badArguments(QStringLiteral("%1 is a folder").arg(file));
        if (!force)
            return badArguments(QStringLiteral("%1 exists; add --force to replace it").arg(file));
        if (!removeHistoryFile(file))
            return failure(QStringLiteral("%1 could not be removed").arg(file));
    }

    HistoryStore::Opened opened = HistoryStore::open(file, QDateTime::currentDateTime());
    if (!opened.store)
        return failure(QStringLiteral("%1 could not be created: %2").arg(file, opened.error));
    if (!writeSyntheticHistory(*opened.store, history)) {
        const QString why = opened.store->lastError();
        opened.store.reset();
        removeHistoryFile(file);
        return failure(QStringLiteral("writing %1 failed: %2").arg(file, why));
    }
    HistoryRow first;
    HistoryRow last;
    opened.store->oldest(first);
    opened.store->newest(last);
    const long long written = opened.store->count();
    opened.store.reset();
    std::printf("%s: %lld records, %s to %s, every %d minutes\n", qPrintable(file), written,
                qPrintable(HistoryStore::dateText(first.Dat)), qPrintable(HistoryStore::dateText(last.Dat)),
                periodMinutes);
    return 0;
}

}  // namespace nimbrel::tool
