// SPDX-License-Identifier: GPL-3.0-or-later
#include "CwopPacket.h"

#include "NumberFormat.h"
#include "Units.h"

#include <QList>
#include <algorithm>
#include <cmath>
#include <optional>

namespace nimbrel {

const char kCwopStationIdPattern[] = "(?=[A-Za-z0-9]*[0-9])[A-Za-z0-9]{3,9}(-[A-Za-z0-9]{1,2})?";

namespace {

// `value` × 10^decimals as a whole number, rounded as the panels round.
std::optional<long long> scaled(std::optional<double> value, int decimals)
{
    if (!value || !std::isfinite(*value))
        return std::nullopt;
    QString digits = formatFixed(*value, decimals, QLatin1Char('.'));
    digits.remove(QLatin1Char('.'));
    bool ok = false;
    const long long n = digits.toLongLong(&ok);
    return ok ? std::optional(n) : std::nullopt;
}

QByteArray digits(long long n, int width)
{
    return QByteArray::number(n).rightJustified(width, '0');
}

// A field of `width` digits, or dots when there is no reading or it does
// not fit (a reading the station cannot have).
QByteArray field(std::optional<long long> n, int width, long long highest)
{
    if (!n || *n < 0 || *n > highest)
        return QByteArray(width, '.');
    return digits(*n, width);
}

QByteArray temperatureField(std::optional<double> celsius)
{
    const std::optional<long long> f =
        scaled(celsius ? std::optional(fahrenheitFromCelsius(*celsius)) : std::nullopt, 0);
    if (!f || *f < -99 || *f > 999)
        return "...";
    return *f < 0 ? '-' + digits(-*f, 2) : digits(*f, 3);
}

QByteArray rainField(std::optional<int> tips)
{
    return field(scaled(tips ? std::optional(tipsToInch(*tips)) : std::nullopt, 2), 3, 999);
}

// Degrees and minutes with hundredths: "4903.50N", "07201.75W".
QByteArray angle(double degrees, int degreeDigits, char positive, char negative)
{
    const double size = std::abs(degrees);
    int whole = static_cast<int>(std::floor(size));
    QString minutes = formatFixed((size - whole) * 60, 2, QLatin1Char('.'));
    if (minutes == QLatin1String("60.00")) {
        ++whole;
        minutes = QStringLiteral("0.00");
    }
    return digits(whole, degreeDigits) + minutes.toLatin1().rightJustified(5, '0') +
           (degrees < 0 ? negative : positive);
}

// Printable ASCII without blanks: a version text on the wire.
QByteArray token(const QString &text, int longest)
{
    QByteArray out;
    for (const QChar c : text.left(longest))
        if (c.unicode() > ' ' && c.unicode() < 0x7f)
            out += static_cast<char>(c.unicode());
    return out;
}

}  // namespace

QByteArray cwopPacket(const CwopSettings &settings, const CurrentConditions &c, const GeoPosition &position)
{
    // The record's time is the computer's wall clock.
    const QDateTime utc = QDateTime(c.time.date(), c.time.time()).toUTC();
    QByteArray p = settings.stationId.toUpper().toLatin1() + ">APRS,TCPIP*:@" +
                   utc.toString(QStringLiteral("ddHHmm")).toLatin1() + 'z';
    p += angle(position.latitude, 2, 'N', 'S') + '/' + angle(position.longitude, 3, 'E', 'W') + '_';

    const std::optional<long long> speed = scaled(c.windSpeedMph, 0);
    std::optional<long long> direction = scaled(c.windDirectionDeg, 0);
    if (direction) {
        direction = ((*direction % 360) + 360) % 360;
        // 000 is a calm; a wind from the north is 360.
        if (*direction == 0 && !(speed && *speed == 0))
            direction = 360;
    }
    p += field(direction, 3, 360) + '/' + field(speed, 3, 999);
    p += 'g' + field(scaled(c.windGustMph, 0), 3, 999);

    const int channel = std::clamp(settings.outdoorChannel, 1, kChannelCount) - 1;
    const ChannelConditions &outdoor = c.channels[static_cast<std::size_t>(channel)];
    p += 't' + temperatureField(outdoor.present ? outdoor.temperatureC : std::nullopt);
    p += 'r' + rainField(c.rainLastHourTips);
    p += 'p' + rainField(c.rainLast24hTips);
    p += 'P' + rainField(c.rainSinceMidnightTips);
    std::optional<long long> humidity;
    if (outdoor.present && outdoor.humidity && *outdoor.humidity >= 1 && *outdoor.humidity <= 100)
        humidity = *outdoor.humidity % 100;  // two digits: 100 % is 00
    p += 'h' + field(humidity, 2, 99);
    p += 'b' + field(scaled(c.pressureSeaLevelHpa, 1), 5, 99999);

    const QByteArray version = token(settings.softwareVersion, 16);
    p += version.isEmpty() ? QByteArray("Nimbrel") : "Nimbrel-" + version;
    return p;
}

QByteArray cwopLogin(const CwopSettings &settings)
{
    QByteArray version = token(settings.softwareVersion, 16);
    if (version.isEmpty())
        version = "0";
    return "user " + settings.stationId.toUpper().toLatin1() + " pass " + QByteArray::number(settings.passcode) +
           " vers nimbrel " + version + "\r\n";
}

bool cwopPositionUsable(const GeoPosition &position)
{
    const double lat = position.latitude;
    const double lon = position.longitude;
    return std::isfinite(lat) && std::isfinite(lon) && std::abs(lat) <= 90 && std::abs(lon) <= 180 &&
           !(lat == 0 && lon == 0);
}

CwopLogin cwopLoginAnswer(const QByteArray &line, int passcode)
{
    // "# logresp CW1234 unverified, server CWOP-3"
    const QList<QByteArray> words = line.simplified().split(' ');
    if (words.size() < 2 || words[0] != "#" || words[1] != "logresp")
        return CwopLogin::NotYet;
    QByteArray verdict = words.value(3);
    if (verdict.endsWith(','))
        verdict.chop(1);
    if (verdict == "verified")
        return CwopLogin::Accepted;
    // Unverified is what a station without a passcode always gets; with a
    // passcode it says the passcode is wrong, and the servers drop what
    // such a station sends on.
    if (verdict == "unverified" && passcode == -1)
        return CwopLogin::Accepted;
    return CwopLogin::Refused;
}

qint64 cwopNextSlot(qint64 earliestMs, qint64 slotMs, qint64 offsetMs)
{
    slotMs = std::max<qint64>(1, slotMs);
    offsetMs = ((offsetMs % slotMs) + slotMs) % slotMs;
    const qint64 from = earliestMs - offsetMs;
    qint64 slot = from / slotMs;
    if (slot * slotMs > from)  // division rounds toward zero
        --slot;
    qint64 at = slot * slotMs + offsetMs;
    if (at < earliestMs)
        at += slotMs;
    return at;
}

qint64 cwopSlotOffsetMs(const QString &stationId)
{
    unsigned sum = 0;
    for (const QChar c : stationId.toUpper())
        sum += c.unicode();
    return (60 + sum % 180) * qint64(1000);
}

}  // namespace nimbrel
