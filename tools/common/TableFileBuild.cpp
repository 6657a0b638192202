#include "TableFileBuild.h"

#include <QCoreApplication>
#include <QFile>
#include <QStringList>
#include <cstdio>

namespace nimbrel {

namespace {

void removeTableFile(const QString &path)
{
    for (const char *suffix : {"", "-journal", "-wal", "-shm"})
        QFile::remove(path + QLatin1String(suffix));
}

}  // namespace

int runTableFileBuild(const char *program, const char *sourceKind, int argc, char *argv[], const TableFill &fill)
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments().mid(1);
    if (args.size() != 2 || args[0].startsWith(QLatin1Char('-'))) {
        std::fprintf(stderr, "usage: %s %s TABLE\n", program, sourceKind);
        return 2;
    }
    auto fail = [program](const QString &message) {
        std::fprintf(stderr, "%s: %s\n", program, qPrintable(message));
        return 1;
    };
    const QString &source = args[0];
    const QString &target = args[1];
    const QString partial = target + QStringLiteral(".partial");
    removeTableFile(partial);
    const QString why = fill(partial, source);
    if (!why.isEmpty()) {
        removeTableFile(partial);
        return fail(why);
    }
    removeTableFile(target);
    if (!QFile::rename(partial, target)) {
        removeTableFile(partial);
        return fail(QStringLiteral("%1: cannot be written").arg(target));
    }
    return 0;
}

}  // namespace nimbrel
