// sumlocal.bin: a raw copy of the station header (image bytes 0..254, without
// the slot index byte), so the header's values can be shown without the
// station.
#pragma once

#include "StationImage.h"

#include <QString>

namespace nimbrel {

enum class HeaderCopyResult {
    Loaded,
    Missing,  // no copy yet: the image keeps what it holds
    Failed,   // the file exists but could not be opened or read, or is no regular file
};

// Written whole or not at all (SafeFile.h): a crash or a full disk leaves the
// previous copy intact; false, with the reason in *error, when it failed.
bool saveHeaderCopy(const QString &path, const StationImage &image, QString *error = nullptr);
// Reads the whole file into the image from byte 0, at most the image's size.
HeaderCopyResult loadHeaderCopy(const QString &path, StationImage &image);

}  // namespace nimbrel
