// SPDX-License-Identifier: GPL-3.0-or-later
// The Met Office's Weather Observations Website (WOW), automatic reading
// upload: one GET per record to /automaticreading with siteid,
// siteAuthenticationKey, dateutc, softwaretype and the PWS-style fields in
// imperial units (°F, mph, inches of rain and of mercury).
//
// WOW dates each reading by its dateutc, so past records are sent, oldest
// first, within a back-fill window of one day (older outages are for its
// bulk import). Its documentation names no rate; one record a minute at
// most keeps a catch-up short and the load light. An answer is read by its
// HTTP status: 200 took the reading, 401/403 refused the site's key, 429
// and 5xx are tried again, anything else (a reading it will not take) is
// passed over with WOW's own words.
#include "HttpService.h"
#include "Networks.h"
#include "WeatherUpload.h"

#include "QueryItems.h"

#include <QSet>

namespace nimbrel {

namespace {

constexpr char kWowUrl[] = "https://wow.metoffice.gov.uk/automaticreading";
constexpr qint64 kWowBackFillSecs = 24 * 3600;
constexpr int kWowIntervalSecs = 60;

class WowService final : public HttpService {
public:
    WowService(QUrl url, QString siteId, QString key, int channel, QString softwareType)
        : url_(std::move(url)), softwareType_(std::move(softwareType))
    {
        settings_.stationId = std::move(siteId);
        settings_.key = std::move(key);
        settings_.channel = channel;
    }

    QString title() const override { return QStringLiteral("WOW"); }
    Reach reach() const override { return {true, kWowBackFillSecs}; }
    int intervalSecs() const override { return kWowIntervalSecs; }

    std::optional<HttpCall> call(const CurrentConditions &c, const StationState &, QString *why) const override
    {
        // The PWS fields under WOW's names; WOW takes no UV index and no action.
        static const QSet<QString> notForWow{QStringLiteral("ID"), QStringLiteral("PASSWORD"),
                                             QStringLiteral("action"), QStringLiteral("UV")};
        static const QSet<QString> notWeather{QStringLiteral("dateutc"), QStringLiteral("softwaretype")};
        QueryItems items{{QStringLiteral("siteid"), settings_.stationId},
                         {QStringLiteral("siteAuthenticationKey"), settings_.key}};
        int readings = 0;
        for (const auto &item : uploadQuery(settings_, c, softwareType_).queryItems(QUrl::FullyDecoded)) {
            if (notForWow.contains(item.first))
                continue;
            readings += notWeather.contains(item.first) ? 0 : 1;
            items << item;
        }
        if (readings == 0) {
            if (why)
                *why = QStringLiteral("it holds no reading WOW takes");
            return std::nullopt;
        }
        HttpCall call;
        call.url = withQuery(url_, items);
        return call;
    }

    Answer answer(const HttpAnswer &answer) const override { return commonAnswer(answer, true); }

private:
    QUrl url_;
    UploadSettings settings_;
    QString softwareType_;
};

}  // namespace

std::unique_ptr<HttpService> makeWowService(SectionReader &reader, const DestinationContext &context)
{
    const QUrl url = reader.url(QStringLiteral("url"), QUrl(QString::fromLatin1(kWowUrl)));
    // A number on older sites, a GUID on newer ones.
    const QString siteId = reader.shaped(
        QStringLiteral("siteId"),
        QStringLiteral("[0-9]{1,12}|[0-9A-Fa-f]{8}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{12}"),
        QStringLiteral("the site's number or its ID such as 9a8b7c6d-1234-5678-9abc-def012345678"));
    const QString key = reader.secret(QStringLiteral("key"), QStringLiteral("keyFile"));
    if (!reader.ok())
        return nullptr;
    return std::make_unique<WowService>(url, siteId, key, context.outdoorChannel,
                                        QStringLiteral("Nimbrel ") + context.softwareVersion);
}

}  // namespace nimbrel
