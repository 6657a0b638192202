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
    Failed,   // the file exists but could not be opened or read
};

// Written to a temporary file and renamed, so a crash mid-write leaves the
// previous copy intact.
bool saveHeaderCopy(const QString &path, const StationImage &image);
// Reads the whole file into the image from byte 0, at most the image's size.
HeaderCopyResult loadHeaderCopy(const QString &path, StationImage &image);

}  // namespace nimbrel
