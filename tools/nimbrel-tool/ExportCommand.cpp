// export: the stored history as CSV (HistoryCsv.h). The history file is
// opened for reading only, so the program may keep running meanwhile.
#include "Commands.h"
#include "DataFolder.h"
#include "DateArgument.h"
#include "HistoryCsv.h"
#include "HistoryStore.h"
#include "SafeFile.h"

#include <QByteArray>
#include <QDate>
#include <QFile>
#include <cstdio>

namespace nimbrel::tool {

namespace {

constexpr const char *kUsage =
    "usage: nimbrel-tool export [--from DATE] [--to DATE] [--db PATH] FILE.csv\n"
    "  records with FROM < date <= TO; DATE is YYYY-MM-DD or YYYY-MM-DDTHH:MM:SS;\n"
    "  the history is ./datat when it exists, else the one in Nimbrel's data folder, unless --db\n"
    "  names another; FILE.csv \"-\" writes to standard output.\n";

int badArguments(const QString &why)
{
    return report("export", why, 2, kUsage);
}

int unreadable(const QString &why)
{
    return report("export", why, 2);
}

int failure(const QString &why)
{
    return report("export", why, 1);
}

}  // namespace

int runExport(const QStringList &arguments)
{
    // Without bounds every stored date lies between these.
    QDateTime from(QDate(1, 1, 1), QTime(0, 0), Qt::UTC);
    QDateTime to(QDate(9999, 12, 31), QTime(23, 59, 59), Qt::UTC);
    bool haveFrom = false;
    bool haveTo = false;
    QString db;
    QString file;

    for (int i = 0; i < arguments.size(); ++i) {
        QString option = arguments.at(i);
        QString value;
        const bool takesValue = option == QLatin1String("--from") || option == QLatin1String("--to") ||
                                option == QLatin1String("--db");
        const qsizetype equals = option.indexOf(QLatin1Char('='));
        if (option.startsWith(QLatin1String("--")) && equals > 0) {
            value = option.mid(equals + 1);
            option = option.left(equals);
        } else if (takesValue) {
            if (i + 1 >= arguments.size())
                return badArguments(QStringLiteral("%1 needs a value").arg(option));
            value = arguments.at(++i);
        }
        if (option == QLatin1String("--from") || option == QLatin1String("--to")) {
            const QDateTime date = parseDateArgument(value);
            if (!date.isValid())
                return badArguments(QStringLiteral("%1: \"%2\" is not a date YYYY-MM-DD or YYYY-MM-DDTHH:MM:SS")
                                        .arg(option, value));
            if (option == QLatin1String("--from")) {
                from = date;
                haveFrom = true;
            } else {
                to = date;
                haveTo = true;
            }
        } else if (option == QLatin1String("--db")) {
            if (value.isEmpty())
                return badArguments(QStringLiteral("--db needs a file name"));
            db = value;
        } else if (option.startsWith(QLatin1Char('-')) && option != QLatin1String("-")) {
            return badArguments(QStringLiteral("unknown option \"%1\"").arg(arguments.at(i)));
        } else if (file.isEmpty()) {
            file = option;
        } else {
            return badArguments(QStringLiteral("only one FILE.csv, not \"%1\" as well").arg(option));
        }
    }
    if (file.isEmpty())
        return badArguments(QStringLiteral("FILE.csv is missing"));
    if (db.isEmpty())
        db = defaultHistoryFile();
    if (haveFrom && haveTo && from >= to)
        return badArguments(QStringLiteral("--from %1 is not before --to %2: no record can lie between")
                                .arg(HistoryStore::dateText(from), HistoryStore::dateText(to)));

    QString why;
    const std::unique_ptr<HistoryStore> store = HistoryStore::openForReading(db, &why);
    if (!store)
        return unreadable(QStringLiteral("cannot read the history: %1").arg(why));

    // A file is written whole through a new file renamed over it, so a
    // failed export (a full disk) keeps the CSV that was there.
    QFile standardOutput;
    SafeFile saved(file);
    const bool toStdout = file == QLatin1String("-");
    if (toStdout) {
        if (!standardOutput.open(stdout, QIODevice::WriteOnly))
            return failure(QStringLiteral("cannot write to standard output"));
    } else if (!saved.open()) {
        return failure(QStringLiteral("cannot write %1").arg(saved.errorString()));
    }
    auto put = [&](const QByteArray &bytes) {
        return toStdout ? standardOutput.write(bytes) == bytes.size() : saved.write(bytes);
    };

    const bool written = writeHistoryCsv(*store, from, to, put);
    if (!store->lastError().isEmpty())
        return failure(QStringLiteral("reading %1 failed: %2").arg(db, store->lastError()));
    if (!written || (toStdout && !standardOutput.flush()))
        return failure(toStdout ? QStringLiteral("writing to standard output failed: %1").arg(standardOutput.errorString())
                                : QStringLiteral("writing failed: %1").arg(saved.errorString()));
    if (!toStdout && !saved.commit())
        return failure(QStringLiteral("writing failed: %1").arg(saved.errorString()));
    return 0;
}

}  // namespace nimbrel::tool
