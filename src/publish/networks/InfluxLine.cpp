// SPDX-License-Identifier: GPL-3.0-or-later
#include "InfluxLine.h"

#include "ExchangeUnits.h"
#include "NumberFormat.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <cmath>
#include <cstring>

namespace nimbrel {

namespace {

// InfluxDB's words in a status line: one line, no longer than this.
constexpr int kMaxWordsShown = 200;

QByteArray escaped(const QString &text, const char *special)
{
    QByteArray out;
    const QByteArray utf8 = text.toUtf8();
    out.reserve(utf8.size() + 4);
    for (char ch : utf8) {
        if (ch == '\n' || ch == '\r')
            ch = ' ';
        if (ch != '\0' && std::strchr(special, ch))
            out += '\\';
        out += ch;
    }
    return out;
}

// Decimal text with a point, rounded as the panels round, without needless
// zeros: 21.50 → "21.5", -0.04 → "0".
QByteArray number(double value, int decimals)
{
    return formatTrimmed(value, decimals).toLatin1();
}

class Fields {
public:
    template <typename T>
    void add(const char *key, const std::optional<T> &value, int decimals, double factor = 1.0)
    {
        if (value && std::isfinite(double(*value) * factor))
            append(key, number(double(*value) * factor, decimals));
    }
    void addText(const char *key, const QString &value) { append(key, '"' + influxString(value) + '"'); }
    const QByteArray &text() const { return text_; }

private:
    void append(const char *key, const QByteArray &value)
    {
        if (!text_.isEmpty())
            text_ += ',';
        text_ += key;
        text_ += '=';
        text_ += value;
    }
    QByteArray text_;
};

// The exact factor, without the panels' rule that counts more than 2000
// tips as 0: the gauge's running counter passes 2000 tips in earnest.
std::optional<double> mm(const std::optional<int> &tips)
{
    return tips ? std::optional(exchange::mmFromTips(*tips)) : std::nullopt;
}

std::optional<double> ms(const std::optional<double> &mph)
{
    return mph ? std::optional(exchange::msFromMph(*mph)) : std::nullopt;
}

// The words of a body: InfluxDB's JSON error, else its first characters.
QString bodyWords(const QByteArray &body)
{
    const QJsonObject o = QJsonDocument::fromJson(body).object();
    QString words = o.value(QStringLiteral("error")).toString();
    if (words.isEmpty())
        words = o.value(QStringLiteral("message")).toString();
    if (words.isEmpty())
        words = QString::fromUtf8(body);
    words = words.simplified();
    // Control characters of a broken server never reach a status line.
    for (QChar &c : words)
        if (!c.isPrint())
            c = QLatin1Char('?');
    if (words.size() > kMaxWordsShown)
        words = words.left(kMaxWordsShown - 1) + QChar(0x2026);
    return words;
}

}  // namespace

QByteArray influxMeasurement(const QString &name)
{
    return escaped(name, ", ");
}

QByteArray influxKey(const QString &name)
{
    return escaped(name, ",= ");
}

QByteArray influxString(const QString &value)
{
    return escaped(value, "\"\\");
}

QByteArray influxLine(const CurrentConditions &c, const InfluxNaming &naming)
{
    // The record's time is the station's wall clock, read as the computer's
    // local time (as every destination dates it).
    const QDateTime local(c.time.date(), c.time.time());
    if (!local.isValid())
        return {};
    Fields f;
    f.add("indoor_temperature_c", c.indoorTemperatureC, 1);
    f.add("indoor_humidity_pct", c.indoorHumidity, 0);
    f.add("indoor_dew_point_c", c.indoorDewPointC, 1);
    for (int i = 0; i < kChannelCount; ++i) {
        const ChannelConditions &ch = c.channels[static_cast<std::size_t>(i)];
        if (!ch.present)
            continue;
        const QByteArray prefix = "channel" + QByteArray::number(i + 1);
        f.add((prefix + "_temperature_c").constData(), ch.temperatureC, 1);
        f.add((prefix + "_humidity_pct").constData(), ch.humidity, 0);
        f.add((prefix + "_dew_point_c").constData(), ch.dewPointC, 1);
    }
    f.add("pressure_sea_level_hpa", c.pressureSeaLevelHpa, 1);
    f.add("pressure_station_hpa", c.pressureStationHpa, 1);
    f.add("wind_speed_ms", ms(c.windSpeedMph), 2);
    f.add("wind_gust_ms", ms(c.windGustMph), 2);
    if (c.windDirectionDeg && std::isfinite(*c.windDirectionDeg)) {
        // North is 0, whether it came as 0 or as 360.
        double deg = std::fmod(*c.windDirectionDeg, 360.0);
        if (deg < 0)
            deg += 360.0;
        f.add("wind_direction_deg", std::optional(deg), 1);
        if (!c.windDirectionPoint.isEmpty())
            f.addText("wind_direction_point", c.windDirectionPoint);
    }
    f.add("wind_chill_c", c.windChillC, 1);
    f.add("rain_last_hour_mm", mm(c.rainLastHourTips), 4);
    f.add("rain_24h_mm", mm(c.rainLast24hTips), 4);
    f.add("rain_today_mm", mm(c.rainSinceMidnightTips), 4);
    f.add("rain_total_mm", mm(c.rainTotalTips), 4);
    f.add("rain_counter_mm", mm(c.rainCounterTips), 4);
    f.add("uv_index", c.uvIndex, 1);
    if (f.text().isEmpty())
        return {};
    QByteArray line = influxMeasurement(naming.measurement);
    if (!naming.station.isEmpty())
        line += ",station=" + influxKey(naming.station);
    line += ' ';
    line += f.text();
    line += ' ';
    line += QByteArray::number(local.toSecsSinceEpoch());
    return line;
}

HttpCall influxWrite(const InfluxSettings &settings, const QByteArray &body)
{
    HttpCall call;
    call.method = "POST";
    call.url = settings.url;
    QString path = call.url.path();
    while (path.endsWith(QLatin1Char('/')))
        path.chop(1);
    const bool v1 = !settings.database.isEmpty();
    call.url.setPath(path + (v1 ? QStringLiteral("/write") : QStringLiteral("/api/v2/write")));
    // Every character outside the unreserved set is percent-encoded: a '+'
    // or '&' in a name would otherwise change the query.
    QStringList items;
    if (settings.url.hasQuery())
        items << settings.url.query(QUrl::FullyEncoded);
    auto item = [&items](const char *key, const QString &value) {
        items << QLatin1String(key) + QLatin1Char('=') + QString::fromLatin1(QUrl::toPercentEncoding(value));
    };
    if (v1) {
        item("db", settings.database);
    } else {
        if (!settings.org.isEmpty())
            item("org", settings.org);
        item("bucket", settings.bucket);
    }
    item("precision", QStringLiteral("s"));
    call.url.setQuery(items.join(QLatin1Char('&')), QUrl::StrictMode);
    if (!settings.token.isEmpty())
        call.headers.append(qMakePair(QByteArray("Authorization"), "Token " + settings.token.toUtf8()));
    else if (!settings.user.isEmpty())
        call.headers.append(qMakePair(QByteArray("Authorization"),
                                      "Basic " + (settings.user + QLatin1Char(':') + settings.password).toUtf8().toBase64()));
    call.headers.append(qMakePair(QByteArray("Content-Type"), QByteArray("text/plain; charset=utf-8")));
    call.headers.append(qMakePair(QByteArray("Accept"), QByteArray("application/json")));
    call.body = body;
    return call;
}

Answer influxAnswer(const HttpAnswer &a)
{
    if (a.status == 204 || a.status == 200)
        return {Verdict::Delivered, {}};
    if (a.status <= 0)
        return {Verdict::Retry, a.error.isEmpty() ? QStringLiteral("no answer") : a.error};
    const QString said = bodyWords(a.body);
    const QString words = said.isEmpty() ? QStringLiteral("HTTP %1").arg(a.status)
                                         : QStringLiteral("HTTP %1: %2").arg(a.status).arg(said);
    if (a.status == 401 || a.status == 403 || a.status == 404)
        return {Verdict::Refused, words};
    if (a.status >= 400 && a.status < 500 && a.status != 413 && a.status != 429)
        return {Verdict::Rejected, words};
    return {Verdict::Retry, words};
}

}  // namespace nimbrel
