#include "AppContext.h"

#include "DataFolder.h"

namespace nimbrel {

AppContext programContext(const QString &dataFolder, const QString &startFolder, const QString &executableFolder,
                          const Clock *clock)
{
    AppContext context;
    context.workDir = dataFolder;
    context.libraryFolders = linkLibraryFolders(dataFolder, startFolder, executableFolder);
    context.clock = clock;
    context.defaultCityTable = shippedFile(executableFolder, QStringLiteral("citycodes"));
    context.defaultLangTable = shippedFile(executableFolder, QStringLiteral("lang"));
    return context;
}

}  // namespace nimbrel
