#include "HandoverMirror.h"

#include "Decoding.h"
#include "SafeFile.h"

#include <QDataStream>
#include <QFile>
#include <QIODevice>
#include <algorithm>
#include <cstdlib>
#include <utility>

namespace nimbrel {

namespace {

constexpr char kMagic[] = "NIMBREL-HANDOVER-1";
constexpr int kMagicSize = sizeof kMagic - 1;
// Magic, left-at (8), position (4), rain (4), date (8), then the memory.
constexpr int kFileSize = kMagicSize + 8 + 4 + 4 + 8 + kStationMemorySize;

// The header bytes the station keeps as set: year (4), location, time zone,
// daylight saving and city (6..13), temperature alarms (31..34), altitude
// (90..92), rain and wind alarm limits (161..168), history period (254).
constexpr std::pair<int, int> kSettingRanges[] = {{4, 5}, {6, 14}, {31, 35}, {90, 93}, {161, 169}, {254, 255}};

// The record's wall-clock date as if it were UTC: the same fields on any
// computer, whatever its time zone.
qint64 dateField(const QDateTime &date)
{
    return date.isValid() ? QDateTime(date.date(), date.time(), Qt::UTC).toMSecsSinceEpoch() : -1;
}

QDateTime fromDateField(qint64 field)
{
    if (field < 0)
        return {};
    const QDateTime utc = QDateTime::fromMSecsSinceEpoch(field, Qt::UTC);
    return QDateTime(utc.date(), utc.time());
}

}  // namespace

bool saveHandoverMirror(const QString &path, const HandoverMirror &mirror, QString *error)
{
    QByteArray bytes;
    bytes.reserve(kFileSize);
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out.writeRawData(kMagic, kMagicSize);
    out << qint64(mirror.leftAtMs) << qint32(mirror.newestPosition) << qint32(mirror.newestRain)
        << qint64(dateField(mirror.newestDate));
    out.writeRawData(reinterpret_cast<const char *>(mirror.image.data()), kStationMemorySize);
    return writeFileAtomically(path, bytes, error);
}

std::optional<HandoverMirror> takeHandoverMirror(const QString &path)
{
    QByteArray bytes;
    QString why;
    bool complete = false;
    const FileRead read = readFileStart(path, kFileSize + 1, bytes, why, false, &complete);
    if (read == FileRead::Missing)
        return std::nullopt;
    // Whatever it was, it is not used again: only a plain file is removed,
    // anything else under that name is none of the program's making.
    if (read == FileRead::Read)
        QFile::remove(path);
    if (read != FileRead::Read || !complete || bytes.size() != kFileSize || !bytes.startsWith(kMagic))
        return std::nullopt;

    HandoverMirror mirror;
    QDataStream in(bytes);
    in.setByteOrder(QDataStream::LittleEndian);
    in.skipRawData(kMagicSize);
    qint64 leftAt = 0;
    qint32 position = 0;
    qint32 rain = 0;
    qint64 date = 0;
    in >> leftAt >> position >> rain >> date;
    in.readRawData(reinterpret_cast<char *>(mirror.image.data()), kStationMemorySize);
    const bool slotPosition =
        position >= kFirstSlotPosition && position <= kLastSlotPosition && (position - kFirstSlotPosition) % kSlotSize == 0;
    if (in.status() != QDataStream::Ok || !slotPosition || mirror.image[kSlotIndexByte] >= kSlotCount)
        return std::nullopt;
    mirror.leftAtMs = leftAt;
    mirror.newestPosition = position;
    mirror.newestRain = rain;
    mirror.newestDate = fromDateField(date);
    if (!mirror.newestDate.isValid())
        return std::nullopt;
    return mirror;
}

bool handoverMirrorFresh(const HandoverMirror &mirror, qint64 nowMs)
{
    const qint64 periodMs = historyPeriodMs(mirror.image[kPeriodByte]);
    return periodMs > 0 && std::llabs(nowMs - mirror.leftAtMs) < periodMs;
}

bool handoverHeaderAgrees(const StationImage &mirror, const StationImage &station)
{
    for (const auto &[from, to] : kSettingRanges)
        if (!std::equal(mirror.data() + from, mirror.data() + to, station.data() + from))
            return false;
    return true;
}

}  // namespace nimbrel
