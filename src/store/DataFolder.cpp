#include "DataFolder.h"

#include <QDir>
#include <QFileInfo>

#ifndef NIMBREL_BIN_TO_DATA
#define NIMBREL_BIN_TO_DATA "../share/nimbrel"
#endif
#ifndef NIMBREL_BIN_TO_LIB
#define NIMBREL_BIN_TO_LIB "../lib/nimbrel"
#endif

namespace nimbrel {

namespace {

QString linkLibraryFileName()
{
#if defined(Q_OS_WIN)
    return QStringLiteral("USB.dll");
#else
    return QStringLiteral("libUSB.so");
#endif
}

}  // namespace

bool holdsProgramFiles(const QString &folder)
{
    const QDir dir(folder);
    for (const QString &name : {QStringLiteral("datat"), QStringLiteral("datsum"), linkLibraryFileName()}) {
        if (QFileInfo(dir.filePath(name)).isFile())
            return true;
    }
    return false;
}

QString userDataFolder()
{
    QString base = qEnvironmentVariable("XDG_DATA_HOME");
    // A relative value is to be ignored, as if unset.
    if (base.isEmpty() || QDir::isRelativePath(base))
        base = QDir(QDir::homePath()).filePath(QStringLiteral(".local/share"));
    return QDir::cleanPath(QDir(base).filePath(QStringLiteral("nimbrel")));
}

QString chooseDataFolder(const QString &chosen, const QString &startFolder)
{
    if (!chosen.isEmpty())
        return QDir::cleanPath(QDir(startFolder).absoluteFilePath(chosen));
    if (holdsProgramFiles(startFolder))
        return QDir::cleanPath(QDir(startFolder).absolutePath());
    return userDataFolder();
}

bool prepareDataFolder(const QString &folder, QString *why)
{
    const QFileInfo info(folder);
    if (info.exists() && !info.isDir()) {
        if (why)
            *why = QStringLiteral("%1 is a file, not a folder").arg(folder);
        return false;
    }
    if (!info.exists() && !QDir().mkpath(folder)) {
        if (why)
            *why = QStringLiteral("cannot create the folder %1").arg(folder);
        return false;
    }
    return true;
}

QString defaultHistoryFile()
{
    const QString here = QStringLiteral("datat");
    if (QFileInfo::exists(here))
        return here;
    return QDir(userDataFolder()).filePath(here);
}

QString shippedFile(const QString &executableFolder, const QString &name)
{
    const QDir beside(executableFolder);
    if (QFileInfo(beside.filePath(name)).isFile())
        return beside.filePath(name);
    const QString installed =
        QDir::cleanPath(beside.filePath(QStringLiteral(NIMBREL_BIN_TO_DATA "/") + name));
    return QFileInfo(installed).isFile() ? installed : QString();
}

QString privateLibraryFolder(const QString &executableFolder)
{
    return QDir::cleanPath(QDir(executableFolder).filePath(QStringLiteral(NIMBREL_BIN_TO_LIB)));
}

QStringList linkLibraryFolders(const QString &dataFolder, const QString &startFolder,
                               const QString &executableFolder)
{
    QStringList folders;
    for (const QString &folder :
         {dataFolder, startFolder, executableFolder, privateLibraryFolder(executableFolder)}) {
        const QString clean = QDir::cleanPath(QDir(folder).absolutePath());
        if (!folders.contains(clean))
            folders << clean;
    }
    return folders;
}

}  // namespace nimbrel
