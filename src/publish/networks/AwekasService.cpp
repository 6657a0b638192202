// SPDX-License-Identifier: GPL-3.0-or-later
// AWEKAS: one GET per record, the record as one text of 25 fields
// separated by semicolons in the query item `val`:
//
//   user; MD5 of the password (hex); date dd.MM.yyyy; time HH:mm (both
//   UTC); temperature °C; humidity %; sea-level pressure hPa; rain since
//   midnight mm; wind km/h; wind direction degrees; weather condition;
//   warning text; snow cm; language; pressure tendency; gust km/h; solar
//   radiation W/m²; UV index; brightness lux; sunshine hours; soil
//   temperature °C; rain rate mm/h; software flag NNNN_X.Y; longitude;
//   latitude
//
// A value without a reading, or one the station does not measure, is left
// empty. AWEKAS shows what it gets as the station's present weather, so it
// gets only the newest record, never one older than ten minutes (an older
// one would stand for the present on its map), and at most one every five
// minutes (its standard accounts update no more often). It answers "OK"
// when it took the record; a wrong user or password ("Benutzer/Passwort
// Fehler") stops the tries until the settings change, and any other words
// are tried again after a pause.
#include "Networks.h"

#include "HttpService.h"
#include "ServiceText.h"
#include "Units.h"

#include <QCryptographicHash>
#include <QStringList>

namespace nimbrel {

namespace {

using namespace networks;

constexpr qint64 kAwekasStaleSecs = 600;
constexpr int kAwekasIntervalSecs = 300;
constexpr int kAwekasFields = 25;
const char kAwekasUrl[] = "http://data.awekas.at/eingabe_pruefung.php";

// "NIMB_1.4" from "1.4.0": the software flag takes a major and a minor number.
QString softwareFlag(const QString &version)
{
    const QStringList parts = version.split(QLatin1Char('.'));
    const QString shortVersion = parts.size() >= 2 ? parts[0] + QLatin1Char('.') + parts[1] : version;
    return QStringLiteral("NIMB_") + (shortVersion.isEmpty() ? QStringLiteral("0.0") : shortVersion);
}

std::optional<double> kmh(std::optional<double> mph)
{
    return mph ? std::optional(speedInUnit(*mph, unitCode(SpeedUnit::Kmh))) : std::nullopt;
}

QString field(std::optional<double> value, int decimals)
{
    return value ? decimalText(*value, decimals) : QString();
}

class AwekasService : public HttpService {
public:
    AwekasService(QUrl url, QString user, QString password, QString version, int channel)
        : url_(std::move(url)),
          user_(std::move(user)),
          passwordMd5_(QCryptographicHash::hash(password.toUtf8(), QCryptographicHash::Md5).toHex()),
          flag_(softwareFlag(version)),
          channel_(channel)
    {
    }

    QString title() const override { return QStringLiteral("AWEKAS"); }
    Reach reach() const override { return {false, kAwekasStaleSecs}; }
    int intervalSecs() const override { return kAwekasIntervalSecs; }

    std::optional<HttpCall> call(const CurrentConditions &c, const StationState &state, QString *why) const override
    {
        const QDateTime utc = recordUtc(c);
        if (!utc.isValid()) {
            if (why)
                *why = QStringLiteral("the record has no time");
            return std::nullopt;
        }
        QStringList f;
        f.reserve(kAwekasFields);
        f << user_ << QString::fromLatin1(passwordMd5_) << utc.toString(QStringLiteral("dd.MM.yyyy"))
          << utc.toString(QStringLiteral("HH:mm"));
        const ChannelConditions *outdoor = outdoorChannel(c, channel_);
        f << field(outdoor ? outdoor->temperatureC : std::nullopt, 1);
        f << (outdoor && outdoor->humidity ? QString::number(*outdoor->humidity) : QString());
        f << field(c.pressureSeaLevelHpa, 1);
        f << field(c.rainSinceMidnightTips ? std::optional(tipsToMm(*c.rainSinceMidnightTips)) : std::nullopt, 1);
        f << field(kmh(c.windSpeedMph), 1);
        const std::optional<int> direction = compassDegrees(c.windDirectionDeg);
        f << (direction ? QString::number(*direction) : QString());
        // Weather condition, warning text, snow depth: not measured.
        f << QString() << QString() << QString();
        f << QStringLiteral("en");
        f << QString();  // pressure tendency: the station's trend is not in the record
        f << field(kmh(c.windGustMph), 1);
        f << QString();  // solar radiation
        f << field(c.uvIndex, 1);
        f << QString() << QString() << QString() << QString();  // brightness, sunshine, soil, rain rate
        f << flag_;
        if (state.position)
            f << decimalText(state.position->longitude, 4) << decimalText(state.position->latitude, 4);
        else
            f << QString() << QString();

        // Every character outside the unreserved set percent-encoded, so
        // that the text reaches the service as written.
        QUrl url = url_;
        QStringList items;
        if (url.hasQuery())
            items << url.query(QUrl::FullyEncoded);
        items << QStringLiteral("val=") + QString::fromLatin1(QUrl::toPercentEncoding(f.join(QLatin1Char(';'))));
        url.setQuery(items.join(QLatin1Char('&')), QUrl::StrictMode);
        HttpCall call;
        call.url = url;
        return call;
    }

    Answer answer(const HttpAnswer &a) const override
    {
        if (std::optional<Answer> failed = httpFailure(a))
            return *failed;
        const QString words = QString::fromUtf8(a.body).trimmed();
        if (words.compare(QLatin1String("OK"), Qt::CaseInsensitive) == 0)
            return {Verdict::Delivered, {}};
        // "Benutzer/Passwort Fehler": the login is wrong, and stays wrong
        // until the settings change.
        if (words.contains(QLatin1String("Benutzer"), Qt::CaseInsensitive) ||
            words.contains(QLatin1String("Passwort"), Qt::CaseInsensitive) ||
            words.contains(QLatin1String("password"), Qt::CaseInsensitive))
            return {Verdict::Refused, shownWords(a.body)};
        // Any other words: tried again after a pause (a proxy's page, a
        // server in maintenance); a newer record takes the place of this one.
        return {Verdict::Retry, shownWords(a.body)};
    }

private:
    QUrl url_;
    QString user_;
    QByteArray passwordMd5_;
    QString flag_;
    int channel_;
};

}  // namespace

std::unique_ptr<HttpService> makeAwekasService(SectionReader &reader, const DestinationContext &context)
{
    // A semicolon would end the user name early in the record's text.
    const QString user = reader.shaped(QStringLiteral("user"), QStringLiteral("[^;\\s]{1,64}"),
                                       QStringLiteral("an AWEKAS user name without spaces or semicolons"));
    const QString password = reader.secret(QStringLiteral("password"), QStringLiteral("passwordFile"));
    const QUrl url = reader.url(QStringLiteral("url"), QUrl(QString::fromLatin1(kAwekasUrl)));
    if (!reader.ok())
        return nullptr;
    return std::make_unique<AwekasService>(url, user, password, context.softwareVersion, context.outdoorChannel);
}

}  // namespace nimbrel
