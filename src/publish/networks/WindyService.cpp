// SPDX-License-Identifier: GPL-3.0-or-later
// Windy Stations, v2 observation update: one GET per record with the
// station's ID, the record's time and the readings in metric units
// (temperature and dew point °C, wind and gust m/s, wind direction whole
// degrees 0..359, humidity %, pressure at sea level in Pa, rain of the last
// hour in mm, UV index); the station password goes as a bearer token, kept
// out of addresses and server logs.
//
// Windy takes a record at most every five minutes. It dates each record by
// its time, so past records are sent, oldest first, within a back-fill
// window of one hour: older ones are of no use to a map of the present.
// The answer is read by its HTTP status: 200 took it, 401/403 refused the
// password, 429 and 5xx are tried again, anything else (a record it will
// not take) is passed over with Windy's own words.
#include "HttpService.h"
#include "Networks.h"
#include "Units.h"

#include "QueryItems.h"

#include <algorithm>
#include <cmath>

namespace nimbrel {

namespace {

constexpr char kWindyUrl[] = "https://stations.windy.com/api/v2/observation/update";
constexpr qint64 kWindyBackFillSecs = 3600;
constexpr int kWindyIntervalSecs = 300;

std::optional<double> metresPerSecond(std::optional<double> mph)
{
    return mph ? std::optional(speedInUnit(*mph, unitCode(SpeedUnit::Ms))) : std::nullopt;
}

class WindyService final : public HttpService {
public:
    WindyService(QUrl url, QString stationId, QString password, int channel)
        : url_(std::move(url)), stationId_(std::move(stationId)), password_(std::move(password)), channel_(channel)
    {
    }

    QString title() const override { return QStringLiteral("Windy"); }
    Reach reach() const override { return {true, kWindyBackFillSecs}; }
    int intervalSecs() const override { return kWindyIntervalSecs; }

    std::optional<HttpCall> call(const CurrentConditions &c, const StationState &, QString *why) const override
    {
        QueryItems readings;
        const ChannelConditions &outdoor = c.channels[std::clamp(channel_, 1, kChannelCount) - 1];
        if (outdoor.present) {
            addNumber(readings, "temp", outdoor.temperatureC, 1);
            addNumber(readings, "rh", outdoor.humidity ? std::optional<double>(*outdoor.humidity) : std::nullopt, 0);
            addNumber(readings, "dewpoint", outdoor.dewPointC, 1);
        }
        addNumber(readings, "wind", metresPerSecond(c.windSpeedMph), 1);
        addNumber(readings, "gust", metresPerSecond(c.windGustMph), 1);
        if (c.windDirectionDeg)
            readings.append({QStringLiteral("winddir"), QString::number(std::lround(*c.windDirectionDeg) % 360)});
        // Pa, 100 to the hPa (the history's "PressPa" column holds hPa).
        addNumber(readings, "pressure",
                  c.pressureSeaLevelHpa ? std::optional(*c.pressureSeaLevelHpa * 100.0) : std::nullopt, 0);
        addNumber(readings, "precip",
                  c.rainLastHourTips ? std::optional(tipsToMm(*c.rainLastHourTips)) : std::nullopt, 1);
        addNumber(readings, "uv", c.uvIndex, 1);
        if (readings.isEmpty()) {
            if (why)
                *why = QStringLiteral("it holds no reading");
            return std::nullopt;
        }
        const QDateTime local(c.time.date(), c.time.time());
        QueryItems items{{QStringLiteral("id"), stationId_},
                         {QStringLiteral("time"), local.toUTC().toString(Qt::ISODate)}};
        items << readings;
        HttpCall call;
        call.url = withQuery(url_, items);
        call.headers.append({"Authorization", "Bearer " + password_.toUtf8()});
        return call;
    }

    Answer answer(const HttpAnswer &answer) const override { return commonAnswer(answer, true); }

private:
    QUrl url_;
    QString stationId_;
    QString password_;
    int channel_;
};

}  // namespace

std::unique_ptr<HttpService> makeWindyService(SectionReader &reader, const DestinationContext &context)
{
    const QUrl url = reader.url(QStringLiteral("url"), QUrl(QString::fromLatin1(kWindyUrl)));
    const QString stationId = reader.shaped(QStringLiteral("stationId"), QStringLiteral("[A-Za-z0-9_-]{1,64}"),
                                            QStringLiteral("the station's ID from Windy's station page, such as f0a1b2c3"));
    const QString password = reader.secret(QStringLiteral("password"), QStringLiteral("passwordFile"));
    if (!reader.ok())
        return nullptr;
    return std::make_unique<WindyService>(url, stationId, password, context.outdoorChannel);
}

}  // namespace nimbrel
