// SPDX-License-Identifier: GPL-3.0-or-later
// Weathercloud: one GET per record, every value a path segment after its
// name, temperatures, pressure, wind and rain in tenths of their unit:
//
//   <url>/wid/ID/key/KEY/temp/-52/hum/100/dew/-60/chill/-90/tempin/215/
//        humin/45/dewin/91/bar/10132/wspd/27/wspdhi/54/wdir/0/rain/41/
//        uvi/30/date/20261207/time/1105
//
// (°C, %, hPa, m/s, degrees, mm since local midnight, UV index; date and
// time in UTC). A value without a reading is left out. Weathercloud keeps
// only the present and takes a record at most every ten minutes (the rate
// of its free accounts), so it gets only the newest record and never one
// older than ten minutes: by then the next one is due. Its answer is a
// status number in the body: 200 took the record, 401 the ID or key is
// wrong, 429 the record came too soon, 400 a value was refused, 500 its
// server failed.
#include "Networks.h"

#include "HttpService.h"
#include "ServiceText.h"
#include "Units.h"

#include <QRegularExpression>
#include <QStringList>

namespace nimbrel {

namespace {

using namespace networks;

constexpr qint64 kWeathercloudStaleSecs = 600;
constexpr int kWeathercloudIntervalSecs = 600;
const char kWeathercloudUrl[] = "http://api.weathercloud.net/v01/set";

std::optional<double> metresPerSecond(std::optional<double> mph)
{
    return mph ? std::optional(speedInUnit(*mph, unitCode(SpeedUnit::Ms))) : std::nullopt;
}

class WeathercloudService : public HttpService {
public:
    WeathercloudService(QUrl url, QString id, QString key, int channel)
        : url_(std::move(url)), id_(std::move(id)), key_(std::move(key)), channel_(channel)
    {
    }

    QString title() const override { return QStringLiteral("Weathercloud"); }
    Reach reach() const override { return {false, kWeathercloudStaleSecs}; }
    int intervalSecs() const override { return kWeathercloudIntervalSecs; }

    std::optional<HttpCall> call(const CurrentConditions &c, const StationState &, QString *why) const override
    {
        const QDateTime utc = recordUtc(c);
        if (!utc.isValid()) {
            if (why)
                *why = QStringLiteral("the record has no time");
            return std::nullopt;
        }
        QStringList path;
        const auto add = [&path](const char *name, const QString &value) {
            path << QString::fromLatin1(name) << value;
        };
        const auto tenths = [&add](const char *name, std::optional<double> value) {
            if (value)
                add(name, tenthsText(*value));
        };
        const auto whole = [&add](const char *name, std::optional<int> value) {
            if (value)
                add(name, QString::number(*value));
        };
        add("wid", id_);
        add("key", key_);
        if (const ChannelConditions *outdoor = outdoorChannel(c, channel_)) {
            tenths("temp", outdoor->temperatureC);
            whole("hum", outdoor->humidity);
            tenths("dew", outdoor->dewPointC);
        }
        tenths("chill", c.windChillC);
        tenths("tempin", c.indoorTemperatureC);
        whole("humin", c.indoorHumidity);
        tenths("dewin", c.indoorDewPointC);
        tenths("bar", c.pressureSeaLevelHpa);
        tenths("wspd", metresPerSecond(c.windSpeedMph));
        tenths("wspdhi", metresPerSecond(c.windGustMph));
        whole("wdir", compassDegrees(c.windDirectionDeg));
        tenths("rain", c.rainSinceMidnightTips ? std::optional(tipsToMm(*c.rainSinceMidnightTips)) : std::nullopt);
        tenths("uvi", c.uvIndex);
        add("date", utc.toString(QStringLiteral("yyyyMMdd")));
        add("time", utc.toString(QStringLiteral("HHmm")));

        QUrl url = url_;
        QString base = url.path(QUrl::FullyEncoded);
        while (base.endsWith(QLatin1Char('/')))
            base.chop(1);
        // The ID and key are letters, digits, '-' and '_' (the reader
        // refuses anything else), the values numbers: no segment needs encoding.
        url.setPath(base + QLatin1Char('/') + path.join(QLatin1Char('/')), QUrl::StrictMode);
        HttpCall call;
        call.url = url;
        return call;
    }

    Answer answer(const HttpAnswer &a) const override
    {
        if (std::optional<Answer> failed = httpFailure(a))
            return *failed;
        bool number = false;
        const int code = a.body.trimmed().toInt(&number);
        if (!number)
            return {Verdict::Retry, QStringLiteral("the service answered \"%1\"").arg(shownWords(a.body))};
        switch (code) {
        case 200:
            return {Verdict::Delivered, {}};
        case 401:
            return {Verdict::Refused, QStringLiteral("401: wrong station ID or key")};
        case 429:
            return {Verdict::Retry, QStringLiteral("429: too many records; it takes one every ten minutes")};
        case 400:
            return {Verdict::Rejected, QStringLiteral("400: a value was refused")};
        default:
            if (code >= 500)
                return {Verdict::Retry, QStringLiteral("%1: server error").arg(code)};
            return {Verdict::Rejected, QStringLiteral("the service answered %1").arg(code)};
        }
    }

private:
    QUrl url_;
    QString id_;
    QString key_;
    int channel_;
};

}  // namespace

std::unique_ptr<HttpService> makeWeathercloudService(SectionReader &reader, const DestinationContext &context)
{
    const QString pattern = QStringLiteral("[A-Za-z0-9_-]{1,64}");
    const QString id = reader.shaped(QStringLiteral("stationId"), pattern,
                                     QStringLiteral("the Weathercloud ID (letters and digits)"));
    QString key = reader.secret(QStringLiteral("key"), QStringLiteral("keyFile"));
    if (reader.ok() && !QRegularExpression(QRegularExpression::anchoredPattern(pattern)).match(key).hasMatch())
        reader.refuse(QStringLiteral("key"), QStringLiteral("key must be the Weathercloud key (letters and digits)"));
    const QUrl url = reader.url(QStringLiteral("url"), QUrl(QString::fromLatin1(kWeathercloudUrl)));
    if (!reader.ok())
        return nullptr;
    return std::make_unique<WeathercloudService>(url, id, key, context.outdoorChannel);
}

}  // namespace nimbrel
