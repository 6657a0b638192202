// export: the stored history as CSV or JSON lines (HistoryCsv.h), or as a
// weewx archive (WeewxArchive.h). The history file is opened for reading
// only, so the program may keep running meanwhile.
#include "Commands.h"
#include "DataFolder.h"
#include "DateArgument.h"
#include "FolderSettings.h"
#include "HistoryCsv.h"
#include "HistoryStore.h"
#include "SafeFile.h"
#include "WeewxArchive.h"

#include <QByteArray>
#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <cstdio>

namespace nimbrel::tool {

namespace {

constexpr const char *kUsage =
    "usage: nimbrel-tool export [--data-dir DIR] [--format csv|jsonl|weewx] [--units si|user]\n"
    "                           [--from DATE] [--to DATE] [--db PATH] FILE\n"
    "  records with FROM < date <= TO; DATE is YYYY-MM-DD or YYYY-MM-DDTHH:MM:SS;\n"
    "  the history is DIR/datat, else ./datat when it exists, else the one in Nimbrel's data\n"
    "  folder, unless --db names another; csv (the default) in SI or the units the window\n"
    "  shows, jsonl in the history's own units, weewx an SQLite archive (METRIC);\n"
    "  FILE \"-\" writes csv or jsonl to standard output.\n";

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
    QString folder;
    QString format = QStringLiteral("csv");
    bool userUnitsChosen = false;
    QString file;

    for (int i = 0; i < arguments.size(); ++i) {
        QString option = arguments.at(i);
        QString value;
        const bool takesValue = option == QLatin1String("--from") || option == QLatin1String("--to") ||
                                option == QLatin1String("--db") || option == QLatin1String("--data-dir") ||
                                option == QLatin1String("--format") || option == QLatin1String("--units");
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
        } else if (option == QLatin1String("--data-dir")) {
            if (value.isEmpty())
                return badArguments(QStringLiteral("--data-dir needs a folder"));
            folder = value;
        } else if (option == QLatin1String("--format")) {
            if (value != QLatin1String("csv") && value != QLatin1String("jsonl") && value != QLatin1String("weewx"))
                return badArguments(QStringLiteral("--format is csv, jsonl or weewx, not \"%1\"").arg(value));
            format = value;
        } else if (option == QLatin1String("--units")) {
            if (value != QLatin1String("si") && value != QLatin1String("user"))
                return badArguments(QStringLiteral("--units is si or user, not \"%1\"").arg(value));
            userUnitsChosen = value == QLatin1String("user");
        } else if (option.startsWith(QLatin1Char('-')) && option != QLatin1String("-")) {
            return badArguments(QStringLiteral("unknown option \"%1\"").arg(arguments.at(i)));
        } else if (file.isEmpty()) {
            file = option;
        } else {
            return badArguments(QStringLiteral("only one FILE, not \"%1\" as well").arg(option));
        }
    }
    if (file.isEmpty())
        return badArguments(QStringLiteral("FILE is missing"));
    if (format == QLatin1String("weewx") && file == QLatin1String("-"))
        return badArguments(QStringLiteral("a weewx archive is a file, not standard output"));
    if (userUnitsChosen && format != QLatin1String("csv"))
        return badArguments(QStringLiteral("--units user is for csv; %1 is always in fixed units").arg(format));
    if (!folder.isEmpty() && !QFileInfo(folder).isDir())
        return badArguments(QStringLiteral("--data-dir: %1 is not a folder").arg(folder));
    if (db.isEmpty())
        db = folder.isEmpty() ? defaultHistoryFile() : QDir(folder).filePath(QStringLiteral("datat"));
    if (folder.isEmpty())
        folder = QFileInfo(db).absolutePath();
    if (haveFrom && haveTo && from >= to)
        return badArguments(QStringLiteral("--from %1 is not before --to %2: no record can lie between")
                                .arg(HistoryStore::dateText(from), HistoryStore::dateText(to)));

    QString why;
    const std::unique_ptr<HistoryStore> store = HistoryStore::openForReading(db, &why);
    if (!store)
        return unreadable(QStringLiteral("cannot read the history: %1").arg(why));
    // Exported as every face shows it: with the corrections of nimbrel.ini.
    calibrateFromFolder(*store, folder);

    if (format == QLatin1String("weewx")) {
        QString failed;
        if (!writeWeewxArchive(*store, from, to, outdoorChannel(folder), file, &failed))
            return failure(QStringLiteral("writing %1 failed: %2").arg(file, failed));
        return 0;
    }
    CsvUnits units;
    units.user = userUnitsChosen;
    units.channelNames = channelSettings(folder).names;
    if (units.user)
        units.codes = userUnits(folder);

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

    QString readError;
    const bool written = writeHistoryText(*store, from, to,
                                          format == QLatin1String("jsonl") ? TextFormat::JsonLines : TextFormat::Csv,
                                          units, put, &readError);
    if (!readError.isEmpty())
        return failure(QStringLiteral("reading %1 failed: %2").arg(db, readError));
    if (!written || (toStdout && !standardOutput.flush()))
        return failure(toStdout ? QStringLiteral("writing to standard output failed: %1").arg(standardOutput.errorString())
                                : QStringLiteral("writing failed: %1").arg(saved.errorString()));
    if (!toStdout && !saved.commit())
        return failure(QStringLiteral("writing failed: %1").arg(saved.errorString()));
    return 0;
}

}  // namespace nimbrel::tool
