#include "HeaderCopy.h"

#include <QFile>
#include <QSaveFile>

namespace nimbrel {

bool saveHeaderCopy(const QString &path, const StationImage &image)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(reinterpret_cast<const char *>(image.data()), kHeaderCopySize) != kHeaderCopySize)
        return false;
    return file.commit();
}

HeaderCopyResult loadHeaderCopy(const QString &path, StationImage &image)
{
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
