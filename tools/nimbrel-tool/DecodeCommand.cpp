// nimbrel-tool decode IMAGE [--slot POSITION] [--now YYYY-MM-DDTHH:MM:SS]
//
// Reads a station memory image the way the program holds it (a 9000-byte
// buffer of 0x30 with the file's bytes at the start), decodes one history
// slot and the header with the program's own decoders and prints both
// records as one JSON object.
#include "Commands.h"

#include "Decoding.h"
#include "Measurement.h"
#include "SafeFile.h"
#include "StationImage.h"
#include "StationSummary.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <cstdio>
#include <optional>

namespace nimbrel::tool {

namespace {

constexpr int kMinimumImageSize = kHeaderSize;
const char kDateTimeFormat[] = "yyyy-MM-dd'T'HH:mm:ss";

int fail(const QString &message)
{
    return report("decode", message, 2);
}

struct Options {
    QString imagePath;
    std::optional<int> position;
    QDateTime now;
};

// Strict "YYYY-MM-DDTHH:MM:SS", local time.
QDateTime parseNow(const QString &text)
{
    static const QRegularExpression shape(QStringLiteral("^\\d{4}-\\d{2}-\\d{2}T\\d{2}:\\d{2}:\\d{2}$"));
    if (!shape.match(text).hasMatch())
        return {};
    return QDateTime::fromString(text, QLatin1String(kDateTimeFormat));
}

// Fills options; returns an error message, empty on success.
QString parseArguments(const QStringList &arguments, Options &options)
{
    for (int i = 0; i < arguments.size(); ++i) {
        const QString &arg = arguments[i];
        if (arg == QLatin1String("--slot") || arg == QLatin1String("--now")) {
            if (i + 1 >= arguments.size())
                return arg + QLatin1String(" needs a value");
            const QString value = arguments[++i];
            if (arg == QLatin1String("--slot")) {
                bool ok = false;
                const int position = value.toInt(&ok, 10);
                if (!ok)
                    return QStringLiteral("--slot: \"%1\" is not a number").arg(value);
                if (position < 0 || position > kLastSlotPosition)
                    return QStringLiteral("--slot: position %1 is outside 0..%2").arg(position).arg(kLastSlotPosition);
                options.position = position;
            } else {
                options.now = parseNow(value);
                if (!options.now.isValid())
                    return QStringLiteral("--now: \"%1\" is not a date-time YYYY-MM-DDTHH:MM:SS").arg(value);
            }
        } else if (arg.startsWith(QLatin1Char('-')) && arg.size() > 1) {
            return QStringLiteral("unknown option \"%1\"").arg(arg);
        } else if (options.imagePath.isEmpty()) {
            options.imagePath = arg;
        } else {
            return QStringLiteral("only one image file, got \"%1\" and \"%2\"").arg(options.imagePath, arg);
        }
    }
    if (options.imagePath.isEmpty())
        return QStringLiteral("no image file given (usage: decode IMAGE [--slot POSITION] [--now YYYY-MM-DDTHH:MM:SS])");
    return {};
}

QJsonValue dateTime(const QDateTime &t)
{
    return t.isValid() ? QJsonValue(t.toString(QLatin1String(kDateTimeFormat))) : QJsonValue(QJsonValue::Null);
}

template <typename T, std::size_t N>
QJsonArray array(const T (&values)[N])
{
    QJsonArray out;
    for (const T &v : values)
        out.append(static_cast<double>(v));
    return out;
}

QJsonObject toJson(const Measurement &m)
{
    QJsonObject o;
    o[QStringLiteral("DayWeek")] = m.DayWeek;
    o[QStringLiteral("Dat")] = dateTime(m.Dat);
    o[QStringLiteral("TempDoor")] = m.TempDoor;
    o[QStringLiteral("TempDoorState")] = m.TempDoorState;
    o[QStringLiteral("HumDoor")] = m.HumDoor;
    for (int c = 0; c < kChannelCount; ++c) {
        const QString channel = QStringLiteral("CH%1").arg(c + 1);
        o[QStringLiteral("Temp") + channel] = m.TempCH[c];
        o[QStringLiteral("Temp") + channel + QStringLiteral("State")] = m.TempCHState[c];
        o[QStringLiteral("Hum") + channel] = m.HumCH[c];
    }
    o[QStringLiteral("UV")] = m.UV;
    o[QStringLiteral("PressLocal")] = m.PressLocal;
    o[QStringLiteral("PressLocalInvalid")] = m.PressLocalInvalid;
    o[QStringLiteral("Weather")] = m.Weather;
    o[QStringLiteral("WeatherInvalid")] = m.WeatherInvalid;
    o[QStringLiteral("WindChill")] = m.WindChill;
    o[QStringLiteral("WindChillState")] = m.WindChillState;
    o[QStringLiteral("WindGust")] = m.WindGust;
    o[QStringLiteral("WindGustState")] = m.WindGustState;
    o[QStringLiteral("WindSpeed")] = m.WindSpeed;
    o[QStringLiteral("WindSpeedState")] = m.WindSpeedState;
    o[QStringLiteral("RainCount")] = m.RainCount;
    o[QStringLiteral("RainState")] = m.RainState;
    o[QStringLiteral("WindDirection")] = m.WindDirection;
    o[QStringLiteral("HistoryPeriodMs")] = m.HistoryPeriodMs;
    return o;
}

QJsonObject toJson(const StationSummary &s)
{
    QJsonObject o;
    o[QStringLiteral("RecordTime")] = dateTime(s.RecordTime);
    o[QStringLiteral("LatMin")] = s.LatMin;
    o[QStringLiteral("LatSec")] = s.LatSec;
    o[QStringLiteral("LongMin")] = s.LongMin;
    o[QStringLiteral("LongSec")] = s.LongSec;
    o[QStringLiteral("Hemispheres")] = s.Hemispheres;
    o[QStringLiteral("TimeZone")] = s.TimeZone;
    o[QStringLiteral("DstCode")] = s.DstCode;
    o[QStringLiteral("CityCode")] = s.CityCode;
    o[QStringLiteral("TempAlarmHigh")] = s.TempAlarmHigh;
    o[QStringLiteral("TempAlarmHighState")] = s.TempAlarmHighState;
    o[QStringLiteral("TempAlarmLow")] = s.TempAlarmLow;
    o[QStringLiteral("TempAlarmLowState")] = s.TempAlarmLowState;
    o[QStringLiteral("TempMin")] = array(s.TempMin);
    o[QStringLiteral("TempMinState")] = array(s.TempMinState);
    o[QStringLiteral("TempMax")] = array(s.TempMax);
    o[QStringLiteral("TempMaxState")] = array(s.TempMaxState);
    o[QStringLiteral("Trend")] = array(s.Trend);
    o[QStringLiteral("BatteryFlag")] = array(s.BatteryFlag);
    o[QStringLiteral("UvDailyMax")] = array(s.UvDailyMax);
    o[QStringLiteral("Altitude")] = s.Altitude;
    o[QStringLiteral("PressureHistory")] = array(s.PressureHistory);
    o[QStringLiteral("RainAlarmFlag")] = s.RainAlarmFlag;
    o[QStringLiteral("WindSpeedAlarmFlag")] = s.WindSpeedAlarmFlag;
    o[QStringLiteral("WindGustAlarmFlag")] = s.WindGustAlarmFlag;
    o[QStringLiteral("RainAlarm")] = s.RainAlarm;
    o[QStringLiteral("WindSpeedAlarm")] = s.WindSpeedAlarm;
    o[QStringLiteral("WindGustAlarm")] = s.WindGustAlarm;
    o[QStringLiteral("WindSpeedMax")] = s.WindSpeedMax;
    o[QStringLiteral("WindGustMax")] = s.WindGustMax;
    o[QStringLiteral("RainYesterday")] = s.RainYesterday;
    o[QStringLiteral("RainWeek")] = s.RainWeek;
    o[QStringLiteral("RainMonth")] = s.RainMonth;
    return o;
}

}  // namespace

int runDecode(const QStringList &arguments)
{
    Options options;
    if (const QString error = parseArguments(arguments, options); !error.isEmpty())
        return fail(error);

    // A FIFO or device would block or never end: only a regular file is read.
    if (QFileInfo::exists(options.imagePath) && !isRegularFileOrAbsent(options.imagePath))
        return fail(QStringLiteral("\"%1\" is not a regular file").arg(options.imagePath));
    QFile file(options.imagePath);
    if (!file.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("cannot read \"%1\": %2").arg(options.imagePath, file.errorString()));
    StationImage image;
    const qint64 got = file.read(reinterpret_cast<char *>(image.data()), kImageSize);
    if (got < 0)
        return fail(QStringLiteral("cannot read \"%1\": %2").arg(options.imagePath, file.errorString()));
    if (got < kMinimumImageSize)
        return fail(QStringLiteral("\"%1\" holds %2 bytes; a memory image has at least the %3-byte header")
                        .arg(options.imagePath)
                        .arg(got)
                        .arg(kMinimumImageSize));
    // A short read left the 0x30 fill behind the file's bytes, as in the
    // program's own buffer.

    const int position = options.position.value_or(image.newestSlotPosition());
    if (position > kLastSlotPosition)
        return fail(QStringLiteral("the newest-slot index (byte %1) is %2, past the last slot %3; give --slot")
                        .arg(kSlotIndexByte)
                        .arg(image[kSlotIndexByte])
                        .arg(kSlotCount - 1));

    Measurement measurement;
    measurement.Dat = options.now.isValid() ? options.now : QDateTime::currentDateTime();
    const bool accepted = decodeSlot(image, position, measurement);
    StationSummary summary;
    decodeHeader(image, measurement.Dat, summary);

    QJsonObject out;
    out[QStringLiteral("accepted")] = accepted;
    out[QStringLiteral("measurement")] = toJson(measurement);
    out[QStringLiteral("summary")] = toJson(summary);
    const QByteArray json = QJsonDocument(out).toJson(QJsonDocument::Compact);
    std::fwrite(json.constData(), 1, static_cast<std::size_t>(json.size()), stdout);
    std::fputc('\n', stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
}

}  // namespace nimbrel::tool
