#include "HeaderCopy.h"

#include "SafeFile.h"

#include <algorithm>

namespace nimbrel {

bool saveHeaderCopy(const QString &path, const StationImage &image, QString *error)
{
    return writeFileAtomically(
        path, QByteArray(reinterpret_cast<const char *>(image.data()), kHeaderCopySize), error);
}

HeaderCopyResult loadHeaderCopy(const QString &path, StationImage &image)
{
    // A FIFO or device of that name would block the program or never end; a
    // symbolic link is not followed (the program replaces the name when it
    // saves, so a link there is none of its making).
    QByteArray bytes;
    QString why;
    switch (readFileStart(path, kImageSize, bytes, why, false)) {
    case FileRead::Missing:
        return HeaderCopyResult::Missing;
    case FileRead::Refused:
        return HeaderCopyResult::Failed;
    case FileRead::Read:
        break;
    }
    std::copy(bytes.cbegin(), bytes.cend(), image.data());
    return HeaderCopyResult::Loaded;
}

}  // namespace nimbrel
