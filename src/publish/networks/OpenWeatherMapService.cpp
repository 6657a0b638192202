// SPDX-License-Identifier: GPL-3.0-or-later
// OpenWeatherMap's weather stations API 3.0: the station is registered once
// (POST <url>/stations with its external ID, name and position; the answer
// carries its ID), then every record is posted as a measurement, a JSON
// array of one object, to <url>/measurements:
//
//   [{"station_id":"…","dt":1796641500,"temperature":-5.2,"humidity":100,
//     "dew_point":-6,"pressure":1013.2,"wind_speed":2.7,"wind_gust":5.4,
//     "wind_deg":0,"rain_1h":0.69,"rain_24h":2.75}]
//
// (°C, %, hPa at sea level, m/s, degrees, mm; dt in seconds since 1970
// UTC). A value without a reading is left out. Measurements carry their own
// time, so past records are taken, oldest first: those of the last seven
// days (a week of the computer off is filled in; the API states no limit),
// at most one every ten seconds (well within the free plan's 60 calls a
// minute). It answers 204 when it took a measurement, and an error with a
// JSON "message" otherwise.
//
// The registration needs the station's position: it is known once the
// network has passed the station's state (setStationState) or a record
// with it; until then nothing is registered and records cannot be sent.
//
// The ID the registration answers is kept in the data folder
// (openweathermap-station.json, with a digest of the address and API key it
// belongs to), so that a restart does not register the station again; a
// different key or address registers anew. A stationId in nimbrel.ini
// wins and nothing is registered.
#include "Networks.h"

#include "HttpService.h"
#include "SafeFile.h"
#include "ServiceText.h"
#include "Units.h"

#include <QCryptographicHash>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QUrlQuery>
#include <algorithm>
#include <cstdio>

namespace nimbrel {

namespace {

using namespace networks;

constexpr qint64 kOwmWindowSecs = 7 * 24 * 3600;
constexpr int kOwmIntervalSecs = 10;
constexpr qint64 kStationFileLimit = 4 * 1024;
const char kOwmUrl[] = "https://api.openweathermap.org/data/3.0";
const char kStationFile[] = "openweathermap-station.json";
const char kStationIdPattern[] = "[A-Za-z0-9]{1,64}";

bool validStationId(const QString &id)
{
    static const QRegularExpression re(QRegularExpression::anchoredPattern(QLatin1String(kStationIdPattern)));
    return re.match(id).hasMatch();
}

// As the panels round it, as a JSON number.
QJsonValue rounded(double value, int decimals)
{
    return decimalText(value, decimals).toDouble();
}

// The service's own words: the "message" of its JSON error, else the body.
QString serviceWords(const HttpAnswer &a)
{
    const QString message = QJsonDocument::fromJson(a.body).object().value(QStringLiteral("message")).toString();
    return shownWords(message.isEmpty() ? a.body : message.toUtf8());
}

// The failure verdict with the service's words in place of the body.
std::optional<Answer> owmFailure(const HttpAnswer &a)
{
    std::optional<Answer> failed = httpFailure(a);
    if (failed && a.status > 0)
        failed->words = QStringLiteral("HTTP %1: %2").arg(a.status).arg(serviceWords(a));
    return failed;
}

class OpenWeatherMapService : public HttpService {
public:
    OpenWeatherMapService(QUrl url, QString key, QString stationId, const QString &dataDir, int channel)
        : url_(std::move(url)),
          key_(std::move(key)),
          stationId_(std::move(stationId)),
          stationFile_(dataDir.isEmpty() ? QString() : QDir(dataDir).filePath(QLatin1String(kStationFile))),
          account_(QCryptographicHash::hash((url_.toString() + QLatin1Char('\n') + key_).toUtf8(),
                                            QCryptographicHash::Sha256)
                       .toHex()
                       .left(16)),
          externalId_(QStringLiteral("nimbrel-") +
                      QString::fromLatin1(QCryptographicHash::hash(QDir(dataDir).absolutePath().toUtf8(),
                                                                   QCryptographicHash::Sha1)
                                              .toHex()
                                              .left(8))),
          channel_(channel)
    {
        if (stationId_.isEmpty())
            stationId_ = readKeptId();
    }

    QString title() const override { return QStringLiteral("OpenWeatherMap"); }
    Reach reach() const override { return {true, kOwmWindowSecs}; }
    int intervalSecs() const override { return kOwmIntervalSecs; }

    void setStationState(const StationState &state) override
    {
        if (state.position)
            position_ = state.position;
    }

    std::optional<HttpCall> preparation() const override
    {
        if (!stationId_.isEmpty() || !position_)
            return std::nullopt;
        const QJsonObject station{{QStringLiteral("external_id"), externalId_},
                                  {QStringLiteral("name"), QStringLiteral("Nimbrel station")},
                                  {QStringLiteral("latitude"), rounded(position_->latitude, 4)},
                                  {QStringLiteral("longitude"), rounded(position_->longitude, 4)},
                                  // It takes no altitude below sea level.
                                  {QStringLiteral("altitude"), rounded(std::max(0.0, position_->altitudeM), 0)}};
        HttpCall call;
        call.method = "POST";
        call.url = endpoint(QStringLiteral("stations"));
        call.headers.append(qMakePair(QByteArray("Content-Type"), QByteArray("application/json")));
        call.body = QJsonDocument(station).toJson(QJsonDocument::Compact);
        return call;
    }

    Answer prepared(const HttpAnswer &a) override
    {
        if (std::optional<Answer> failed = owmFailure(a)) {
            // A registration refused for its values stays refused until the
            // settings (key, position) change.
            if (failed->verdict == Verdict::Rejected)
                failed->verdict = Verdict::Refused;
            return *failed;
        }
        const QJsonObject o = QJsonDocument::fromJson(a.body).object();
        QString id = o.value(QStringLiteral("ID")).toString();
        if (id.isEmpty())
            id = o.value(QStringLiteral("id")).toString();
        if (!validStationId(id))
            return {Verdict::Retry,
                    QStringLiteral("the registration's answer holds no station ID: %1").arg(shownWords(a.body))};
        stationId_ = id;
        keepId();
        return {Verdict::Delivered, {}};
    }

    std::optional<HttpCall> call(const CurrentConditions &c, const StationState &state, QString *why) const override
    {
        if (state.position)
            position_ = state.position;
        const QDateTime utc = recordUtc(c);
        QString problem;
        if (stationId_.isEmpty())
            problem = position_ ? QStringLiteral("the station is not registered yet")
                                : QStringLiteral("the station cannot be registered before its position is known");
        else if (!utc.isValid())
            problem = QStringLiteral("the record has no time");
        if (!problem.isEmpty()) {
            if (why)
                *why = problem;
            return std::nullopt;
        }

        QJsonObject m{{QStringLiteral("station_id"), stationId_}, {QStringLiteral("dt"), utc.toSecsSinceEpoch()}};
        const auto put = [&m](const char *name, std::optional<double> value, int decimals) {
            if (value)
                m.insert(QLatin1String(name), rounded(*value, decimals));
        };
        const int ms = unitCode(SpeedUnit::Ms);
        if (const ChannelConditions *outdoor = outdoorChannel(c, channel_)) {
            put("temperature", outdoor->temperatureC, 1);
            if (outdoor->humidity)
                m.insert(QStringLiteral("humidity"), *outdoor->humidity);
            put("dew_point", outdoor->dewPointC, 1);
        }
        put("pressure", c.pressureSeaLevelHpa, 1);
        put("wind_speed", c.windSpeedMph ? std::optional(speedInUnit(*c.windSpeedMph, ms)) : std::nullopt, 1);
        put("wind_gust", c.windGustMph ? std::optional(speedInUnit(*c.windGustMph, ms)) : std::nullopt, 1);
        if (const std::optional<int> direction = compassDegrees(c.windDirectionDeg))
            m.insert(QStringLiteral("wind_deg"), *direction);
        put("rain_1h", c.rainLastHourTips ? std::optional(tipsToMm(*c.rainLastHourTips)) : std::nullopt, 2);
        put("rain_24h", c.rainLast24hTips ? std::optional(tipsToMm(*c.rainLast24hTips)) : std::nullopt, 2);

        HttpCall call;
        call.method = "POST";
        call.url = endpoint(QStringLiteral("measurements"));
        call.headers.append(qMakePair(QByteArray("Content-Type"), QByteArray("application/json")));
        call.body = QJsonDocument(QJsonArray{m}).toJson(QJsonDocument::Compact);
        return call;
    }

    Answer answer(const HttpAnswer &a) const override
    {
        if (std::optional<Answer> failed = owmFailure(a)) {
            // The station is unknown to the service (deleted on its site):
            // no record will be taken until the settings change.
            if (a.status == 404)
                failed->verdict = Verdict::Refused;
            return *failed;
        }
        return {Verdict::Delivered, {}};
    }

private:
    QUrl endpoint(const QString &what) const
    {
        QUrl url = url_;
        QString path = url.path(QUrl::FullyEncoded);
        while (path.endsWith(QLatin1Char('/')))
            path.chop(1);
        url.setPath(path + QLatin1Char('/') + what, QUrl::StrictMode);
        QUrlQuery query(url);
        query.removeAllQueryItems(QStringLiteral("appid"));
        url.setQuery(query);
        QString items = url.query(QUrl::FullyEncoded);
        if (!items.isEmpty())
            items += QLatin1Char('&');
        url.setQuery(items + QStringLiteral("appid=") + QString::fromLatin1(QUrl::toPercentEncoding(key_)),
                     QUrl::StrictMode);
        return url;
    }

    QString readKeptId() const
    {
        if (stationFile_.isEmpty())
            return {};
        QByteArray bytes;
        QString why;
        bool complete = false;
        if (readFileStart(stationFile_, kStationFileLimit, bytes, why, false, &complete) != FileRead::Read ||
            !complete)
            return {};
        const QJsonObject o = QJsonDocument::fromJson(bytes).object();
        const QString id = o.value(QStringLiteral("stationId")).toString();
        if (o.value(QStringLiteral("account")).toString() != QLatin1String(account_) || !validStationId(id))
            return {};
        return id;
    }

    void keepId() const
    {
        if (stationFile_.isEmpty())
            return;
        const QJsonObject o{{QStringLiteral("stationId"), stationId_},
                            {QStringLiteral("account"), QString::fromLatin1(account_)}};
        QString why;
        if (!writeFileAtomically(stationFile_, QJsonDocument(o).toJson(QJsonDocument::Compact), &why))
            std::fprintf(stderr, "nimbrel: %s cannot be written: %s; OpenWeatherMap registers the station again "
                                 "after a restart\n",
                         qPrintable(stationFile_), qPrintable(why));
    }

    QUrl url_;
    QString key_;
    QString stationId_;
    QString stationFile_;
    QByteArray account_;
    QString externalId_;
    int channel_;
    // The newest position the station was given; it registers the station.
    mutable std::optional<GeoPosition> position_;
};

}  // namespace

std::unique_ptr<HttpService> makeOpenWeatherMapService(SectionReader &reader, const DestinationContext &context)
{
    const QString key = reader.secret(QStringLiteral("key"), QStringLiteral("keyFile"));
    const QString stationId = reader.text(QStringLiteral("stationId"));
    if (!stationId.isEmpty() && !validStationId(stationId))
        reader.refuse(QStringLiteral("stationId"),
                      QStringLiteral("stationId must be the station's ID from OpenWeatherMap (letters and digits), "
                                     "or empty to register one, not \"%1\"")
                          .arg(stationId));
    const QUrl url = reader.url(QStringLiteral("url"), QUrl(QString::fromLatin1(kOwmUrl)));
    if (!reader.ok())
        return nullptr;
    return std::make_unique<OpenWeatherMapService>(url, key, stationId, context.dataDir, context.outdoorChannel);
}

}  // namespace nimbrel
