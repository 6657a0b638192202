// A plausible history for demonstrations and benchmarks: the simulated
// station's weather, one record per period, ending at a given moment and
// written through the program's own history store.
//
// Shared by `nimbrel-tool gen-history` and the store benchmark, so the
// benchmark measures the same kind of table a user would have.
#pragma once

#include "HistoryStore.h"
#include "Measurement.h"
#include "WeatherGenerator.h"

#include <QDateTime>
#include <cmath>
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <functional>

namespace nimbrel::tool {

struct SyntheticHistory {
    QDateTime end;                     // date of the newest record
    std::int64_t periodSeconds = 300;  // spacing of the records
    std::int64_t records = 0;
    std::uint32_t seed = 1;
    int recordsPerTransaction = 10000;
};

// Records in `years` (of 365.25 days) at one per `periodMinutes`.
inline std::int64_t recordsInYears(double years, int periodMinutes)
{
    if (!(years > 0) || periodMinutes <= 0)
        return 0;
    // A tiny allowance so that spans that divide evenly are not lost to rounding.
    return static_cast<std::int64_t>(std::floor(years * 365.25 * 1440.0 / periodMinutes + 1e-9));
}

// The record the station would have stored at station time t (seconds on its
// clock). The rain counter is the caller's running total.
inline Measurement syntheticMeasurement(const sim::WeatherGenerator &weather, std::int64_t t, std::int32_t rainCount)
{
    const sim::SlotValues v = weather.readings(t);
    Measurement m;
    // The station's clock knows no time zone; UTC keeps every minute of it
    // (no daylight-saving gaps), and the stored text is the same.
    m.Dat = QDateTime::fromSecsSinceEpoch(t, Qt::UTC);
    m.DayWeek = static_cast<std::uint16_t>(v.dayOfWeek);
    m.TempDoor = v.indoor.temperature;
    m.TempDoorState = static_cast<std::uint16_t>(v.indoor.state);
    m.HumDoor = v.indoor.humidity;
    for (int c = 0; c < kChannelCount; ++c) {
        const sim::SensorValues &s = v.channels[static_cast<std::size_t>(c)];
        m.TempCH[c] = s.temperature;
        m.TempCHState[c] = static_cast<std::uint16_t>(s.state);
        m.HumCH[c] = s.humidity;
    }
    m.UV = v.uv;
    m.PressLocal = v.pressure;
    m.PressLocalInvalid = v.pressureInvalid ? 1 : 0;
    m.Weather = static_cast<std::uint16_t>(v.forecast);
    m.WeatherInvalid = v.forecastInvalid ? 1 : 0;
    m.WindChill = v.windChill;
    m.WindChillState = static_cast<std::uint16_t>(v.windChillState);
    m.WindGust = v.windGust;
    m.WindGustState = static_cast<std::uint16_t>(v.windGustState);
    m.WindSpeed = v.windSpeed;
    m.WindSpeedState = static_cast<std::uint16_t>(v.windSpeedState);
    m.RainCount = rainCount;
    m.RainState = static_cast<std::uint16_t>(v.rainState);
    m.WindDirection = static_cast<std::uint16_t>(v.windDirection);
    return m;
}

// Appends the records oldest first, in transactions of
// recordsPerTransaction. `progress` (optional) hears the count written after
// each transaction. False, with the store's lastError, when an append fails.
inline bool writeSyntheticHistory(HistoryStore &store, const SyntheticHistory &h,
                                  const std::function<void(std::int64_t)> &progress = {})
{
    if (!h.end.isValid() || h.periodSeconds <= 0 || h.records <= 0)
        return false;
    const sim::WeatherGenerator weather(h.seed);
    // Station time: the end's clock reading counted as if it were UTC.
    const QDateTime endClock(h.end.date(), h.end.time(), Qt::UTC);
    const std::int64_t last = endClock.toSecsSinceEpoch();
    std::int64_t t = last - (h.records - 1) * h.periodSeconds;
    // The gauge counts tips since the station was reset, in 16 bits.
    std::int64_t tipSeconds = 0;  // rain fallen since the first record, times 3600
    std::int64_t written = 0;
    const std::int64_t chunk = h.recordsPerTransaction > 0 ? h.recordsPerTransaction : h.records;
    while (written < h.records) {
        HistoryStore::Batch batch(store);
        const std::int64_t stop = std::min(h.records, written + chunk);
        for (; written < stop; ++written, t += h.periodSeconds) {
            if (written > 0)
                tipSeconds += weather.rainTipSeconds(t - h.periodSeconds, t);
            const auto rain = static_cast<std::int32_t>((tipSeconds / 3600) % 65536);
            if (store.append(syntheticMeasurement(weather, t, rain)) == AppendResult::Failed)
                return false;
        }
        if (!batch.commit())
            return false;
        if (progress)
            progress(written);
    }
    return true;
}

// A history file at path filled with h's records (benchmarks and
// demonstrations); null, with the reason on stderr, when that fails.
inline std::unique_ptr<HistoryStore> generatedHistoryFile(const QString &path, const SyntheticHistory &h)
{
    HistoryStore::Opened opened = HistoryStore::open(path, QDateTime::currentDateTime());
    if (!opened.store || !writeSyntheticHistory(*opened.store, h)) {
        std::fprintf(stderr, "generating %s failed: %s\n", qPrintable(path),
                     qPrintable(opened.store ? opened.store->lastError() : opened.error));
        return nullptr;
    }
    return std::move(opened.store);
}

}  // namespace nimbrel::tool
