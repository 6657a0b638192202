#include "HistoryQuery.h"

#include "Calibration.h"
#include "HistoryStore.h"
#include "NumberFormat.h"
#include "SummaryReader.h"
#include "Units.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlQuery>
#include <QTimeZone>
#include <QVariant>
#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <unordered_map>

namespace nimbrel::web {

using namespace nimbrel::history;

namespace {

// The units of the MQTT state message: °C, hPa, km/h, mm, UV index.
UnitChoices baseUnits()
{
    UnitChoices u;
    u.rain = unitCode(RainUnit::Mm);
    return u;
}

struct Series {
    QString key;
    PlotField field;
    int decimals = 1;
    QString unit;
    int channel = 0;  // 1..5 for a remote channel's series
};

std::vector<Series> allSeries(const UnitChoices &u)
{
    const QString degrees = QStringLiteral("°") + temperatureUnitName(u.temperature);
    const QString percent = QStringLiteral("%");
    std::vector<Series> s;
    s.push_back({QStringLiteral("pressure_sea_level"), pressureField(u.pressure),
                 u.pressure == unitCode(PressureUnit::InchHg) ? 2 : 1, pressureUnitName(u.pressure)});
    s.push_back({QStringLiteral("indoor_temperature"), indoorTemperatureField(u.temperature), 1, degrees});
    s.push_back({QStringLiteral("indoor_humidity"), indoorHumidityField(), 0, percent});
    for (int ch = 1; ch <= kChannelCount; ++ch) {
        s.push_back({QStringLiteral("channel%1_temperature").arg(ch), channelTemperatureField(ch, u.temperature), 1,
                     degrees, ch});
        s.push_back({QStringLiteral("channel%1_humidity").arg(ch), channelHumidityField(ch), 0, percent, ch});
    }
    s.push_back({QStringLiteral("wind_speed"), windSpeedField(u.speed), 1, speedUnitName(u.speed)});
    s.push_back({QStringLiteral("uv_index"), uvField(u.uv), 1, uvUnitName(u.uv)});
    return s;
}

const QString kRainKey = QStringLiteral("rain");

HistoryAnswer refuse(int status, const QString &sentence)
{
    return {status, QJsonDocument(QJsonObject{{QStringLiteral("error"), sentence}}).toJson(QJsonDocument::Compact)};
}

// An ISO date or date-time; one with an offset is taken to the computer's
// local wall clock, the clock the history is kept in.
std::optional<PlainSeconds> parseTime(const QString &text)
{
    if (text.size() < 10 || text.size() > 32)
        return std::nullopt;
    QDateTime t;
    if (text.size() == 10) {
        const QDate d = QDate::fromString(text, Qt::ISODate);
        if (d.isValid())
            t = QDateTime(d, QTime(0, 0));
    } else {
        t = QDateTime::fromString(text, Qt::ISODate);
        if (t.isValid() && t.timeSpec() != Qt::LocalTime)
            t = t.toLocalTime();
    }
    if (!t.isValid() || t.date().year() < 1900 || t.date().year() > 9999)
        return std::nullopt;
    return plainSeconds(t);
}

// The texts of the values of one answer, each written once by the
// program's number formatter: over ten years the same temperatures,
// humidities and pressures come back thousands of times.
class ValueTexts {
public:
    const QByteArray &text(double y, int decimals)
    {
        const auto key = std::pair{std::bit_cast<std::uint64_t>(y), decimals};
        auto it = texts_.find(key);
        if (it == texts_.end())
            it = texts_.emplace(key, formatFixed(y, decimals, QLatin1Char('.')).toLatin1()).first;
        return it->second;
    }

private:
    struct Hash {
        std::size_t operator()(const std::pair<std::uint64_t, int> &k) const
        {
            return std::hash<std::uint64_t>()(k.first * 31 + static_cast<std::uint64_t>(k.second));
        }
    };
    std::unordered_map<std::pair<std::uint64_t, int>, QByteArray, Hash> texts_;
};

// Writes the points of one series as [seconds, value], or [seconds, null]
// where there is no reading.
class PointWriter {
public:
    PointWriter(QByteArray &out, ValueTexts &texts, int decimals) : out_(out), texts_(texts), decimals_(decimals) {}
    void add(PlainSeconds x, double y) { put(x, texts_.text(y, decimals_)); }
    void addMissing(PlainSeconds x) { put(x, QByteArrayLiteral("null")); }

private:
    void put(PlainSeconds x, const QByteArray &value)
    {
        char digits[24];
        const auto written = std::to_chars(digits, digits + sizeof digits, x).ptr;
        if (count_++ > 0)
            out_ += ',';
        out_ += '[';
        out_.append(digits, written - digits);
        out_ += ',';
        out_ += value;
        out_ += ']';
    }

    QByteArray &out_;
    ValueTexts &texts_;
    int decimals_;
    int count_ = 0;
};

void appendString(QByteArray &out, const QString &text)
{
    // Keys and unit captions only: no character that needs escaping.
    out += '"';
    out += text.toUtf8();
    out += '"';
}

// A channel without a reading is stored as 0.0 °C and 0 % (no sensor, or a
// sensor reporting too low, too high or an error); a real sensor never
// reads 0 % humidity. A channel whose every record in the stretch is
// stored so had no sensor there: its points are null, not zero.
bool noReading(const std::vector<PlotPoint> &temperature, const PlotField &temperatureField,
               const std::vector<PlotPoint> &humidity)
{
    const double zero = temperatureField.value(0.0);
    return std::all_of(temperature.begin(), temperature.end(), [&](const PlotPoint &p) { return p.y == zero; }) &&
           std::all_of(humidity.begin(), humidity.end(), [](const PlotPoint &p) { return p.y == 0.0; });
}

// The counter of the last record at or before t, the start of the first
// interval's rain.
std::optional<std::int32_t> counterAtOrBefore(QSqlDatabase db, PlainSeconds t)
{
    QSqlQuery q(db);
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT RainCount FROM MainSet WHERE Dat <= ? ORDER BY Dat DESC LIMIT 1"));
    q.addBindValue(plainText(t));
    if (!q.exec() || !q.next())
        return std::nullopt;
    return q.value(0).toInt();
}

}  // namespace

// The rain counter's samples for after < Dat <= upTo: every record for short
// intervals, else the last record of each hour or day from the summary, with
// the pieces of buckets at both ends read record by record.
std::vector<RainSample> HistoryQuery::rainSamples(PlainSeconds after, PlainSeconds upTo,
                                                  std::optional<SummaryLevel> level) const
{
    QSqlDatabase db = store_->database();
    std::vector<RainSample> out;
    if (!level) {
        readRainRecords(db, after, upTo, out);
        return out;
    }
    const PlainSeconds size = levelSeconds(*level);
    const std::int64_t firstWhole = bucketOf(after, *level) + 1;
    const std::int64_t lastWhole = bucketOf(upTo + 1, *level) - 1;
    if (lastWhole < firstWhole) {
        readRainRecords(db, after, upTo, out);
        return out;
    }
    readRainRecords(db, after, firstWhole * size, out);
    if (*level == SummaryLevel::Day && daysReady_) {
        // The counter stands at each day's end (SummaryReader.h).
        const auto [begin, end] = days_.range(firstWhole, lastWhole);
        for (const DaySummaryCache::Day *d = begin; d != end; ++d)
            out.push_back({(d->slot + 1) * kSecondsPerDay, d->rainLast});
    } else if (!readSummaryRain(db, *level, firstWhole, lastWhole, out)) {
        QSqlQuery q(db);
        q.setForwardOnly(true);
        q.prepare(QStringLiteral("SELECT RainAt, RainLast FROM HistorySummary WHERE Level = ? AND Slot BETWEEN ? AND ? "
                                 "ORDER BY Slot"));
        q.addBindValue(static_cast<int>(*level));
        q.addBindValue(static_cast<qlonglong>(firstWhole));
        q.addBindValue(static_cast<qlonglong>(lastWhole));
        if (q.exec()) {
            while (q.next()) {
                if (const auto t = plainSecondsFromText(q.value(0).toString()))
                    out.push_back({*t, q.value(1).toInt()});
            }
        }
    }
    readRainRecords(db, (lastWhole + 1) * size, upTo, out);
    return out;
}

std::vector<std::vector<PlotPoint>> HistoryQuery::readSeries(HistorySource::Way way, PlainSeconds after,
                                                           PlainSeconds upTo, int columns,
                                                           const std::vector<PlotField> &fields) const
{
    if (way == HistorySource::Way::Records)
        return source_.read(after, upTo, columns, fields);
    std::vector<MinMaxReducer> reducers;
    for (std::size_t i = 0; i < fields.size(); ++i)
        reducers.emplace_back(static_cast<double>(after), static_cast<double>(upTo), columns);
    const QSqlDatabase db = store_->database();
    if (way == HistorySource::Way::Days && daysReady_) {
        // Both extremes of a day stand at its middle, inside the stretch.
        const auto [begin, end] = days_.range(bucketOf(after + 1, SummaryLevel::Day), bucketOf(upTo, SummaryLevel::Day));
        for (const DaySummaryCache::Day *d = begin; d != end; ++d) {
            const double x = static_cast<double>(std::clamp(d->slot * kSecondsPerDay + kSecondsPerDay / 2, after + 1, upTo));
            for (std::size_t i = 0; i < fields.size(); ++i) {
                const int c = static_cast<int>(fields[i].column);
                reducers[i].add(x, fields[i].value(d->min[c]));
                reducers[i].add(x, fields[i].value(d->max[c]));
            }
        }
    } else if (!readSummaryBuckets(db, way == HistorySource::Way::Days ? SummaryLevel::Day : SummaryLevel::Hour, after,
                                   upTo, fields, reducers)) {
        return source_.read(after, upTo, columns, fields);
    }
    std::vector<std::vector<PlotPoint>> out;
    for (MinMaxReducer &r : reducers)
        out.push_back(r.take());
    return out;
}

HistoryQuery::HistoryQuery(const HistoryStore *store) : store_(store), source_(store) {}

void HistoryQuery::prepare()
{
    source_.prepare();
    days_.clear();
    daysReady_ = false;
}

HistoryAnswer HistoryQuery::answer(const QUrlQuery &query, const UnitChoices &displayUnits) const
{
    const auto text = [&](const char *key) { return query.queryItemValue(QLatin1String(key), QUrl::FullyDecoded); };

    int points = kDefaultPoints;
    if (query.hasQueryItem(QStringLiteral("points"))) {
        bool ok = false;
        points = text("points").toInt(&ok);
        if (!ok || points < 2 || points > kMostPoints)
            return refuse(400, QStringLiteral("points must be a whole number from 2 to %1.").arg(kMostPoints));
    }
    const QString unitsText = text("units");
    if (!unitsText.isEmpty() && unitsText != QLatin1String("base") && unitsText != QLatin1String("display"))
        return refuse(400, QStringLiteral("units must be base or display."));
    const UnitChoices units = unitsText == QLatin1String("display") ? displayUnits : baseUnits();

    std::optional<PlainSeconds> from;
    std::optional<PlainSeconds> to;
    for (auto [key, target] : {std::pair{"from", &from}, std::pair{"to", &to}}) {
        if (!query.hasQueryItem(QLatin1String(key)))
            continue;
        *target = parseTime(text(key));
        if (!*target)
            return refuse(400, QStringLiteral("%1 must be an ISO 8601 date or date-time such as 2026-12-07T10:00:00.")
                                   .arg(QLatin1String(key)));
    }
    if (from && to && *from >= *to)
        return refuse(400, QStringLiteral("from must be earlier than to."));

    // Which series: all, or those named.
    std::vector<Series> series = allSeries(units);
    bool withRain = true;
    if (query.hasQueryItem(QStringLiteral("series"))) {
        const QStringList names = text("series").split(QLatin1Char(','), Qt::SkipEmptyParts);
        if (names.isEmpty() || names.size() > 32)
            return refuse(400, QStringLiteral("series must name one or more series, separated by commas."));
        std::vector<Series> chosen;
        withRain = false;
        for (const QString &name : names) {
            if (name == kRainKey) {
                withRain = true;
                continue;
            }
            const auto it = std::find_if(series.begin(), series.end(), [&](const Series &s) { return s.key == name; });
            if (it == series.end())
                return refuse(400, QStringLiteral("There is no series called \"%1\".").arg(name.left(40)));
            if (std::none_of(chosen.begin(), chosen.end(), [&](const Series &s) { return s.key == name; }))
                chosen.push_back(*it);
        }
        series = std::move(chosen);
    }

    const std::optional<PlainSeconds> oldest = source_.oldest();
    const std::optional<PlainSeconds> newest = source_.newest();
    if (!oldest || !newest)
        return refuse(400, QStringLiteral("The history holds no records yet."));
    const PlainSeconds end = to.value_or(*newest);
    const PlainSeconds start = from.value_or(end - kSecondsPerDay);
    if (start >= end)
        return refuse(400, QStringLiteral("from must be earlier than to."));
    if (end < *oldest || start > *newest)
        return refuse(400, QStringLiteral("The history holds records from %1 to %2; the range asked for lies outside it.")
                               .arg(plainText(*oldest), plainText(*newest)));

    // The stretch actually read: from one second before `from` (so that a
    // record at `from` counts) to `to`, within the stored records.
    const PlainSeconds after = std::max(start - 1, *oldest - 1);
    const PlainSeconds upTo = std::min(end, *newest);
    const int columns = points / 2;
    const double perColumn = static_cast<double>(upTo - after) / columns;
    if (perColumn >= kSecondsPerHour && !source_.summaryUsable())
        return refuse(503, QStringLiteral("The history's summaries are not ready; ask for a shorter range or try again "
                                          "in a minute."));

    // A channel's temperature and humidity are read together, even when only
    // one is asked for: whether the channel had a reading needs both.
    std::vector<PlotField> fields;
    for (const Series &s : series)
        fields.push_back(s.field);
    std::array<int, kChannelCount> temperatureAt;
    std::array<int, kChannelCount> humidityAt;
    temperatureAt.fill(-1);
    humidityAt.fill(-1);
    for (int ch = 1; ch <= kChannelCount; ++ch) {
        const bool asked = std::any_of(series.begin(), series.end(), [&](const Series &s) { return s.channel == ch; });
        if (!asked)
            continue;
        const PlotField t = channelTemperatureField(ch, units.temperature);
        const PlotField h = channelHumidityField(ch);
        for (const PlotField &f : {t, h}) {
            auto it = std::find(fields.begin(), fields.end(), f);
            if (it == fields.end())
                it = fields.insert(fields.end(), f);
            (f == t ? temperatureAt : humidityAt)[static_cast<std::size_t>(ch - 1)] =
                static_cast<int>(it - fields.begin());
        }
    }
    // Corrected once here, so that a channel's "no reading" is judged on
    // the corrected zero.
    fields = calibrated(std::move(fields), store_->calibration());
    const auto way = source_.wayFor(after, upTo, columns);
    if (source_.summaryUsable())
        daysReady_ = days_.refresh(store_->database(), *oldest, *newest);
    const std::vector<std::vector<PlotPoint>> read = readSeries(way, after, upTo, columns, fields);
    std::array<bool, kChannelCount> channelUnused{};
    for (std::size_t c = 0; c < channelUnused.size(); ++c) {
        if (temperatureAt[c] >= 0)
            channelUnused[c] = noReading(read[static_cast<std::size_t>(temperatureAt[c])],
                                         fields[static_cast<std::size_t>(temperatureAt[c])],
                                         read[static_cast<std::size_t>(humidityAt[c])]);
    }

    ValueTexts texts;
    QByteArray out;
    out.reserve(static_cast<qsizetype>(series.size() + 1) * points * 18 + 256);
    out += "{\"from\":";
    appendString(out, plainText(after + 1));
    out += ",\"to\":";
    appendString(out, plainText(upTo));
    out += ",\"points\":";
    out += QByteArray::number(points);
    out += ",\"read\":";
    out += way == HistorySource::Way::Records ? "\"records\"" : way == HistorySource::Way::Hours ? "\"hours\"" : "\"days\"";
    out += ",\"series\":[";
    for (std::size_t i = 0; i < series.size(); ++i) {
        if (i > 0)
            out += ',';
        out += "{\"key\":";
        appendString(out, series[i].key);
        out += ",\"unit\":";
        appendString(out, series[i].unit);
        out += ",\"points\":[";
        PointWriter points(out, texts, series[i].decimals);
        const bool missing = series[i].channel > 0 && channelUnused[static_cast<std::size_t>(series[i].channel - 1)];
        for (const PlotPoint &p : read[i]) {
            if (missing)
                points.addMissing(static_cast<PlainSeconds>(p.x));
            else
                points.add(static_cast<PlainSeconds>(p.x), p.y);
        }
        out += "]}";
    }

    if (withRain) {
        // Rain as the rise of the gauge's counter over each of `points`
        // equal intervals; a counter that went down (the station was reset)
        // adds nothing, and the next interval counts from the lower value.
        // Over more than two days the intervals are at least an hour long,
        // so the counter comes from the summaries, never record by record.
        PlainSeconds width = std::max<PlainSeconds>(1, (upTo - after + points - 1) / points);
        if (source_.summaryUsable() && upTo - after > 2 * kSecondsPerDay)
            width = std::max(width, kSecondsPerHour);
        std::optional<SummaryLevel> level;
        if (source_.summaryUsable() && width >= kSecondsPerDay)
            level = SummaryLevel::Day;
        else if (source_.summaryUsable() && width >= kSecondsPerHour)
            level = SummaryLevel::Hour;
        QSqlDatabase db = store_->database();
        const std::vector<RainSample> samples = rainSamples(after, upTo, level);
        std::vector<std::int64_t> tips(static_cast<std::size_t>(points), 0);
        std::optional<std::int32_t> previous = counterAtOrBefore(db, after);
        for (const RainSample &s : samples) {
            if (previous && s.count > *previous) {
                const auto interval = std::clamp<std::int64_t>((s.t - after - 1) / width, 0, points - 1);
                tips[static_cast<std::size_t>(interval)] += s.count - *previous;
            }
            previous = s.count;
        }
        const Calibration *calibration = store_->calibration();
        const double factor = rainTipFactor(units.rain) * (calibration ? calibration->rainAmount(1) : 1.0);
        const int decimals = units.rain == unitCode(RainUnit::Mm) ? 1 : 2;
        if (!series.empty())
            out += ',';
        out += "{\"key\":\"rain\",\"unit\":";
        appendString(out, rainUnitName(units.rain));
        out += ",\"interval\":";
        out += QByteArray::number(static_cast<qlonglong>(width));
        out += ",\"points\":[";
        PointWriter rain(out, texts, decimals);
        for (int i = 0; i < points; ++i) {
            const PlainSeconds t = after + 1 + i * width;
            if (t > upTo)
                break;
            rain.add(t, static_cast<double>(tips[static_cast<std::size_t>(i)]) * factor);
        }
        out += "]}";
    }
    out += "]}";
    return {200, out};
}

}  // namespace nimbrel::web
