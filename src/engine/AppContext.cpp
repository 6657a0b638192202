#include "AppContext.h"

#include "DataFolder.h"

#include <QDir>

namespace nimbrel {

std::shared_ptr<const PublishSettings> readPublishSettings(const QString &dataFolder)
{
    return std::make_shared<const PublishSettings>(
        loadPublishSettings(QDir(dataFolder).filePath(QLatin1String(kPublishSettingsFile))));
}

AppContext programContext(const QString &dataFolder, const QString &startFolder, const QString &executableFolder,
                          const Clock *clock)
{
    AppContext context;
    context.workDir = dataFolder;
    context.libraryFolders = linkLibraryFolders(dataFolder, startFolder, executableFolder);
    context.clock = clock;
    context.defaultCityTable = shippedFile(executableFolder, QStringLiteral("citycodes"));
    context.defaultLangTable = shippedFile(executableFolder, QStringLiteral("lang"));
    context.publishSettings = readPublishSettings(dataFolder);
    return context;
}

}  // namespace nimbrel
