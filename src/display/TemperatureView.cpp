#include "TemperatureView.h"

#include "DewPoint.h"
#include "Placeholders.h"
#include "Units.h"

#include <cmath>

namespace nimbrel {

namespace {

// Comfort bounds: °C and % relative humidity.
constexpr double kComfortWarmFrom = 19.0;
constexpr double kComfortHotFrom = 25.0;
constexpr int kComfortDryBelow = 40;
constexpr int kComfortHumidAbove = 60;

// Entries of the summary's trend list: indoor temperature and humidity,
// then temperature and humidity of each channel.
constexpr int kIndoorTemperatureTrend = 0;
constexpr int kIndoorHumidityTrend = 1;
constexpr int channelTemperatureTrend(int channel) { return 2 + 2 * channel; }
constexpr int channelHumidityTrend(int channel) { return 3 + 2 * channel; }
// Entry 0 of the minima and maxima is the indoor sensor; channel n is n + 1.
constexpr int kIndoorExtreme = 0;
constexpr int channelExtreme(int channel) { return channel + 1; }

bool isChannel(int channel) { return channel >= 0 && channel < kChannelCount; }

QString noText() { return {}; }

QString missing() { return QString::fromUtf8(kPlaceholderNoReading); }

QString alarmText(const char *prefix, double celsius, int state, int unit)
{
    const QString value = state == kStateReading ? oneDecimal(shownTemperature(celsius, unit))
                                                 : QString::fromUtf8(kPlaceholderNoReading);
    return QString::fromLatin1(prefix) + value;
}

}  // namespace

int comfortIndex(double temperatureC, int humidity)
{
    const bool mild = temperatureC >= kComfortWarmFrom && temperatureC < kComfortHotFrom;
    int index = kComfortCold;
    if (mild && humidity < kComfortDryBelow)
        index = kComfortDry;
    if (temperatureC >= kComfortHotFrom && humidity <= kComfortHumidAbove)
        index = kComfortHot;
    if (mild && humidity >= kComfortDryBelow && humidity <= kComfortHumidAbove)
        index = kComfortComfortable;
    if (humidity > kComfortHumidAbove)
        index = kComfortHumid;
    return index;
}

ThermometerScale indoorThermometerScale(int temperatureUnit)
{
    return temperatureUnit == unitCode(TemperatureUnit::Fahrenheit) ? ThermometerScale{14, 140}
                                                                    : ThermometerScale{-10, 60};
}

ThermometerScale channelThermometerScale(int temperatureUnit)
{
    return temperatureUnit == unitCode(TemperatureUnit::Fahrenheit) ? ThermometerScale{-40, 176}
                                                                    : ThermometerScale{-40, 80};
}

QString formatIndoorTemperature(const Measurement &m, int temperatureUnit)
{
    return readingText(Reading::IndoorTemperature, m.TempDoorState, shownTemperature(m.TempDoor, temperatureUnit), 1);
}

QString formatIndoorHumidity(const Measurement &m) { return indoorHumidityText(m.HumDoor, m.TempDoorState); }

double indoorHumidityGauge(const Measurement &m) { return humidityGaugeValue(m.HumDoor, m.TempDoorState); }

QString formatIndoorDewPoint(const Measurement &m, int temperatureUnit)
{
    const double dew = shownTemperature(dewPoint(m.HumDoor, m.TempDoor), temperatureUnit);
    return readingText(Reading::IndoorTemperature, m.TempDoorState, dew, 1);
}

int indoorComfortIndex(const Measurement &m) { return comfortIndex(m.TempDoor, m.HumDoor); }

QString formatChannelTemperature(const Measurement &m, int channel, int temperatureUnit)
{
    if (!isChannel(channel))
        return noText();
    const double shown = shownChannelTemperature(m.TempCH[channel], m.HumCH[channel], temperatureUnit);
    return readingText(Reading::ChannelTemperature, m.TempCHState[channel], shown, 1);
}

QString formatChannelHumidity(const Measurement &m, int channel)
{
    if (!isChannel(channel))
        return QString::fromUtf8(kPlaceholderHumidity);
    return channelHumidityText(m.HumCH[channel], m.TempCHState[channel]);
}

double channelHumidityGauge(const Measurement &m, int channel)
{
    return isChannel(channel) ? humidityGaugeValue(m.HumCH[channel], m.TempCHState[channel]) : 0.0;
}

double channelThermometerValue(const Measurement &m, int channel, int temperatureUnit)
{
    if (!isChannel(channel) || m.TempCHState[channel] != kStateReading)
        return 0.0;
    return shownChannelTemperature(m.TempCH[channel], m.HumCH[channel], temperatureUnit);
}

QString formatChannelDewPoint(const Measurement &m, int channel, int temperatureUnit)
{
    if (!isChannel(channel))
        return noText();
    // A humidity of 100 % or more is no reading and counts as 0 here; an
    // all-zero channel keeps a dew point of 0 in either unit.
    const int humidity = m.HumCH[channel] < kHumidityLimit ? m.HumCH[channel] : 0;
    const double t = m.TempCH[channel];
    double dew = 0.0;
    if (t != 0.0 || humidity != 0)
        dew = shownTemperature(dewPoint(humidity, t), temperatureUnit);
    return readingText(Reading::ChannelTemperature, m.TempCHState[channel], dew, 1);
}

int channelComfortIndex(const Measurement &m, int channel)
{
    return isChannel(channel) ? comfortIndex(m.TempCH[channel], m.HumCH[channel]) : kComfortCold;
}

IndoorSide indoorSide(const Measurement &m, const StationSummary &s, int temperatureUnit)
{
    IndoorSide v;
    const bool reading = m.TempDoorState == kStateReading;
    v.TempDoorLabel = formatIndoorTemperature(m, temperatureUnit);
    v.HumDoorLabel = formatIndoorHumidity(m);
    v.HumMeter = indoorHumidityGauge(m);
    v.TochkaRosDoorL = formatIndoorDewPoint(m, temperatureUnit);
    v.ComfState = indoorComfortIndex(m);

    v.Termo1.scale = indoorThermometerScale(temperatureUnit);
    v.Termo1.value = reading ? shownTemperature(m.TempDoor, temperatureUnit) : 0.0;
    // The labels show the stored extremes whatever their state; only the
    // markers drop to 0.
    const double max = shownTemperature(s.TempMax[kIndoorExtreme], temperatureUnit);
    const double min = shownTemperature(s.TempMin[kIndoorExtreme], temperatureUnit);
    v.Termo1.maxMarker = s.TempMaxState[kIndoorExtreme] == kStateReading ? max : 0.0;
    v.Termo1.minMarker = s.TempMinState[kIndoorExtreme] == kStateReading ? min : 0.0;
    v.MaxTempDoorLabel = oneDecimal(max);
    v.MinTempDoorLabel = oneDecimal(min);

    v.UTAL = alarmText("Hi:", s.TempAlarmHigh, s.TempAlarmHighState, temperatureUnit);
    v.LTAL = alarmText("Lo:", s.TempAlarmLow, s.TempAlarmLowState, temperatureUnit);
    v.TempDoorTrend = trendImage(s.Trend[kIndoorTemperatureTrend]);
    v.HumDoorTrend = trendImage(s.Trend[kIndoorHumidityTrend]);
    if (s.Unread) {
        // No header yet: no extremes, alarm limits or trends are known.
        v.Termo1.maxMarker = v.Termo1.minMarker = 0.0;
        v.MaxTempDoorLabel = v.MinTempDoorLabel = missing();
        v.UTAL = QStringLiteral("Hi:") + missing();
        v.LTAL = QStringLiteral("Lo:") + missing();
        v.TempDoorTrend = v.HumDoorTrend = -1;
    }
    if (m.NoRecord) {
        // No record yet: no reading, no comfort word, an empty column.
        v.TempDoorLabel = v.TochkaRosDoorL = missing();
        v.HumDoorLabel = QString::fromUtf8(kPlaceholderHumidity);
        v.HumMeter = 0.0;
        v.ComfStateLEmpty = true;
        v.Termo1.value = v.Termo1.scale.minimum;
    }
    return v;
}

ChannelSide channelSide(const Measurement &m, const StationSummary &s, const UnitChoices &units)
{
    ChannelSide v;
    const int c = units.channel;
    const int unit = units.temperature;
    v.CHBox = c;
    v.TempCHLabel = formatChannelTemperature(m, c, unit);
    v.HumCHLabel = formatChannelHumidity(m, c);
    v.HumMeter1 = channelHumidityGauge(m, c);
    v.TochkaRosCHL = formatChannelDewPoint(m, c, unit);
    v.ComfStateCH = channelComfortIndex(m, c);
    v.ComfState1LEmpty = !isChannel(c) || v.TempCHLabel == QLatin1String(kPlaceholderNoReading);
    v.Termo2.scale = channelThermometerScale(unit);
    v.Termo2.value = channelThermometerValue(m, c, unit);
    if (m.NoRecord) {
        // No record yet: no reading, no comfort word, an empty column.
        v.TempCHLabel = v.TochkaRosCHL = missing();
        v.HumCHLabel = QString::fromUtf8(kPlaceholderHumidity);
        v.HumMeter1 = 0.0;
        v.ComfState1LEmpty = true;
        v.Termo2.value = v.Termo2.scale.minimum;
    }
    if (!isChannel(c))
        return v;
    if (s.Unread) {
        // No header yet: the channel's extremes, trends and battery are unknown.
        v.MaxTempCHL = v.MinTempCHL = missing();
        return v;
    }

    // A channel's missing extreme counts as 0 °C before the conversion.
    const int e = channelExtreme(c);
    const double max = shownTemperature(s.TempMaxState[e] == kStateReading ? s.TempMax[e] : 0.0, unit);
    const double min = shownTemperature(s.TempMinState[e] == kStateReading ? s.TempMin[e] : 0.0, unit);
    v.Termo2.maxMarker = max;
    v.Termo2.minMarker = min;
    v.MaxTempCHL = oneDecimal(max);
    v.MinTempCHL = oneDecimal(min);
    v.TempCHTrend = trendImage(s.Trend[channelTemperatureTrend(c)]);
    v.HumCHTrend = trendImage(s.Trend[channelHumidityTrend(c)]);
    v.BatCH = batteryImage(s.BatteryFlag[c], m.TempCHState[c] != kStateReading);
    return v;
}

TemperatureView temperatureView(const Measurement &m, const StationSummary &s, const UnitChoices &units)
{
    TemperatureView v;
    v.indoor = indoorSide(m, s, units.temperature);
    v.channel = channelSide(m, s, units);
    v.TemperatureUnitPicture = units.temperature == unitCode(TemperatureUnit::Fahrenheit) ? 1 : 0;
    return v;
}

}  // namespace nimbrel
