#include "ExtremesView.h"

#include "FromTimeText.h"
#include "NumberFormat.h"
#include "StationPressure.h"
#include "Units.h"

namespace nimbrel {

namespace {

QString pressureText(double pressureHpa, const Measurement &m)
{
    // No record yet: the history has no pressure to show the extremes of.
    if (m.PressLocalInvalid != 0 || m.NoRecord)
        return QString::fromLatin1(kPressurePlaceholder);
    return formatFloat(kPatternOneDecimal, pressureInUnit(pressureHpa, m.PressureUnit));
}

}  // namespace

QString formatMaxPressure(const Measurement &m)
{
    return pressureText(m.PressureMax, m);
}

QString formatMinPressure(const Measurement &m)
{
    return pressureText(m.PressureMin, m);
}

ExtremesView extremesView(const Measurement &m, const RecordedExtremes &e)
{
    ExtremesView v;
    v.FromTempDoorLM = fromTimeText(e.TempDoorMax.Dat);
    v.FromTempDoorLN = fromTimeText(e.TempDoorMin.Dat);
    const int channel = m.SelectedChannel;
    if (channel >= 0 && channel < kChannelCount) {
        v.FromTempCHLM = fromTimeText(e.TempCHMax[channel].Dat);
        v.FromTempCHLN = fromTimeText(e.TempCHMin[channel].Dat);
    } else {
        // Never updated: they keep the oldest record's time.
        v.FromTempCHLM = v.FromTempCHLN = fromTimeText(e.oldestDat);
    }
    v.FromWindSpeedL = fromTimeText(e.WindSpeedMax.Dat);
    v.FromWindGustL = fromTimeText(e.WindGustMax.Dat);
    v.FromPressureLM = fromTimeText(e.PressLocalMax.Dat);
    v.FromPressureLN = fromTimeText(e.PressLocalMin.Dat);
    v.PressureMax = e.PressLocalMax.value;
    v.PressureMin = e.PressLocalMin.value;
    Measurement shown = m;
    keepPressureExtremes(v, shown);
    v.MaxPressureL = formatMaxPressure(shown);
    v.MinPressureL = formatMinPressure(shown);
    return v;
}

ExtremesView extremesView(const Measurement &m, const HistoryStore *store)
{
    return extremesView(m, store ? recordedExtremes(*store) : RecordedExtremes{});
}

void keepPressureExtremes(const ExtremesView &view, Measurement &m)
{
    m.PressureMax = view.PressureMax;
    m.PressureMin = view.PressureMin;
}

}  // namespace nimbrel
