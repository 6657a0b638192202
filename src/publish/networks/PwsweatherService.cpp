// SPDX-License-Identifier: GPL-3.0-or-later
// PWSweather: the personal-weather-station upload protocol (the same query
// as the weather-network upload: ID, PASSWORD, dateutc and the fields in
// imperial units) to PWSweather's own server.
//
// The server answers 200 to most requests, a wrong key included, so the
// body decides: the protocol's "success", PWSweather's JSON with
// "success": true, or its older page saying the data were logged. An
// answer that speaks of the station ID or the password (or key) is a
// refused login; any other 2xx answer is a record it would not take.
//
// The protocol dates each record by dateutc and is meant for current
// conditions: past records are sent, oldest first, within ten minutes of
// their time as the upload does, at most one a minute.
#include "HttpService.h"
#include "Networks.h"
#include "WeatherUpload.h"

#include "QueryItems.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace nimbrel {

namespace {

constexpr char kPwsweatherUrl[] = "https://pwsupdate.pwsweather.com/api/v1/submitwx";
constexpr int kPwsweatherIntervalSecs = 60;

bool speaksOfLogin(const QString &words)
{
    const QString w = words.toLower();
    for (const char *sign : {"password", "station id", "stationid", "invalid key", "api key", "unauthorized",
                             "not a valid station", "invalid_station", "invalid station"})
        if (w.contains(QLatin1String(sign)))
            return true;
    return false;
}

class PwsweatherService final : public HttpService {
public:
    PwsweatherService(QUrl url, QString stationId, QString key, int channel, QString softwareType)
        : url_(std::move(url)), softwareType_(std::move(softwareType))
    {
        settings_.stationId = std::move(stationId);
        settings_.key = std::move(key);
        settings_.channel = channel;
    }

    QString title() const override { return QStringLiteral("PWSweather"); }
    Reach reach() const override { return {true, kUploadMaxAgeSecs}; }
    int intervalSecs() const override { return kPwsweatherIntervalSecs; }

    std::optional<HttpCall> call(const CurrentConditions &c, const StationState &, QString *) const override
    {
        HttpCall call;
        call.url = withQuery(url_, uploadQuery(settings_, c, softwareType_).queryItems(QUrl::FullyDecoded));
        return call;
    }

    Answer answer(const HttpAnswer &answer) const override
    {
        const QString body = QString::fromUtf8(answer.body).trimmed();
        const QJsonObject json = QJsonDocument::fromJson(answer.body).object();
        QString said = body;
        if (!json.isEmpty()) {
            const QJsonValue error = json.value(QStringLiteral("error"));
            said = error.isObject() ? error.toObject().value(QStringLiteral("description")).toString() +
                                          QLatin1Char(' ') + error.toObject().value(QStringLiteral("code")).toString()
                                    : error.toString();
        }
        const bool took = body.compare(QLatin1String("success"), Qt::CaseInsensitive) == 0 ||
                          json.value(QStringLiteral("success")).toBool() ||
                          (json.isEmpty() && body.contains(QLatin1String("Data Logged"), Qt::CaseInsensitive));
        Answer a = commonAnswer(answer, took);
        if (a.verdict != Verdict::Delivered && a.verdict != Verdict::Retry && speaksOfLogin(said))
            a.verdict = Verdict::Refused;
        return a;
    }

private:
    QUrl url_;
    UploadSettings settings_;
    QString softwareType_;
};

}  // namespace

std::unique_ptr<HttpService> makePwsweatherService(SectionReader &reader, const DestinationContext &context)
{
    const QUrl url = reader.url(QStringLiteral("url"), QUrl(QString::fromLatin1(kPwsweatherUrl)));
    const QString stationId = reader.shaped(QStringLiteral("stationId"), QStringLiteral("[A-Za-z0-9_-]{1,32}"),
                                            QStringLiteral("the station's ID of letters and digits such as MYSTATION1"));
    const QString key = reader.secret(QStringLiteral("key"), QStringLiteral("keyFile"));
    if (!reader.ok())
        return nullptr;
    return std::make_unique<PwsweatherService>(url, stationId, key, context.outdoorChannel,
                                               QStringLiteral("Nimbrel ") + context.softwareVersion);
}

}  // namespace nimbrel
