// nimbrel-langtable TSV TABLE: builds the translation table file TABLE from
// its TSV form (data/lang.tsv). The build runs it; a malformed line is
// reported as "TSV:LINE: reason" and fails the build.
#include "LangTable.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <cstdio>

using namespace nimbrel;

namespace {

int fail(const QString &message)
{
    std::fprintf(stderr, "nimbrel-langtable: %s\n", qPrintable(message));
    return 1;
}

void removeTableFile(const QString &path)
{
    for (const char *suffix : {"", "-journal", "-wal", "-shm"})
        QFile::remove(path + QLatin1String(suffix));
}

int build(const QString &tsv, const QString &target)
{
    // Written under another name and renamed, so a failed run leaves no
    // table that looks finished.
    const QString partial = target + QStringLiteral(".partial");
    removeTableFile(partial);
    {
        LangTable::Opened opened = LangTable::create(partial, QDateTime::currentDateTime());
        if (!opened.table)
            return fail(QStringLiteral("%1: %2").arg(partial, opened.error));
        if (!opened.table->importTsv(tsv)) {
            const QString why = opened.table->lastError();
            opened.table.reset();
            removeTableFile(partial);
            return fail(why);
        }
    }
    removeTableFile(target);
    if (!QFile::rename(partial, target)) {
        removeTableFile(partial);
        return fail(QStringLiteral("%1: cannot be written").arg(target));
    }
    return 0;
}

}  // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments().mid(1);
    if (args.size() == 2 && !args[0].startsWith(QLatin1Char('-')))
        return build(args[0], args[1]);
    std::fputs("usage: nimbrel-langtable TSV TABLE\n", stderr);
    return 2;
}
