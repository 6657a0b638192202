#include "HeaderCopy.h"

#include "SafeFile.h"

#include <QFile>
#include <QFileInfo>

namespace nimbrel {

bool saveHeaderCopy(const QString &path, const StationImage &image, QString *error)
{
    return writeFileAtomically(
        path, QByteArray(reinterpret_cast<const char *>(image.data()), kHeaderCopySize), error);
}

HeaderCopyResult loadHeaderCopy(const QString &path, StationImage &image)
{
    // A FIFO or device of that name would block the program or never end.
    if (!isRegularFileOrAbsent(path))
        return HeaderCopyResult::Failed;
    QFile file(path);
    if (!file.exists())
        return HeaderCopyResult::Missing;
    if (!file.open(QIODevice::ReadOnly))
        return HeaderCopyResult::Failed;
    const qint64 length = qMin<qint64>(file.size(), kImageSize);
    if (file.read(reinterpret_cast<char *>(image.data()), length) != length)
        return HeaderCopyResult::Failed;
    return HeaderCopyResult::Loaded;
}

}  // namespace nimbrel
