// What a program that hands the station to another leaves in the data
// folder for it (`handover.bin`): its mirror of the station's memory, the
// newest record it took over and when it left it. The program taking over
// reads the station's header (eight blocks, the slot index among them) and
// carries on polling from there instead of reading all 256 blocks again,
// when the mirror is young and the station still agrees with it.
//
// A mirror is used once: taking it removes the file, so a program that is
// killed later leaves none, and the next one reads the station in full.
#pragma once

#include "Measurement.h"
#include "StationImage.h"

#include <QDateTime>
#include <QString>
#include <cstdint>
#include <optional>

namespace nimbrel {

inline constexpr char kHandoverFileName[] = "handover.bin";

struct HandoverMirror {
    StationImage image;          // the station's 8192 bytes as mirrored
    int newestPosition = 0;      // image position of the newest record taken over
    QDateTime newestDate;        // its date, year resolved (the slot holds none)
    std::int32_t newestRain = 0;  // its rain counter (slot 0's bytes are the header's)
    qint64 leftAtMs = 0;         // the computer's clock when it was left, ms since 1970 UTC
};

// Written whole or not at all (SafeFile.h); false, with the reason in *error.
bool saveHandoverMirror(const QString &path, const HandoverMirror &mirror, QString *error = nullptr);

// Reads the mirror and removes the file. Nothing when there is none, or the
// file is not a plain file of the mirror's size and shape.
std::optional<HandoverMirror> takeHandoverMirror(const QString &path);

// Whether a mirror left at leftAtMs may still stand for the station at
// nowMs: younger than one history period (the station's, from byte 254)
// and not from the future by as much. A station may have stored a whole
// ring meanwhile; within one period it can have stored at most a record.
bool handoverMirrorFresh(const HandoverMirror &mirror, qint64 nowMs);

// Whether the header just read from the station (in `station`, bytes
// 0..255) is the one the mirror holds: the settings the station keeps
// (year, location, time zone, alarm limits, altitude, history period) must
// be the same; readings, extremes, trends and the slot index change by
// themselves and are not compared.
bool handoverHeaderAgrees(const StationImage &mirror, const StationImage &station);

}  // namespace nimbrel
