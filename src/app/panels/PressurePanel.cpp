#include "PressurePanel.h"

#include "AnimatedPicture.h"
#include "Artwork.h"
#include "PictureBox.h"
#include "TrendChart.h"
#include "Units.h"

#include <QGroupBox>
#include <QLabel>

namespace nimbrel {

using namespace panel;

void PressurePanel::build(QGroupBox *g, LabelNames &names)
{
    // Forecast picture on the left, the recorded extremes below it.
    WeatherImage = tag(new AnimatedPicture(g), QStringLiteral("WeatherImage"), AnimatedPicture::kKind);
    WeatherImage->setStrips(artwork::weatherStrips());
    WeatherImage->setFrameCount(2);
    WeatherImage->setInterval(500);
    WeatherImage->setIndex(artwork::NoForecast);
    WeatherImage->setGeometry(8, 21, 145, 121);
    WeatherImage->setToolTip(QStringLiteral("Состояние погоды"));

    WeatherStateImage = tag(new AnimatedPicture(g), QStringLiteral("WeatherStateImage"), AnimatedPicture::kKind);
    WeatherStateImage->setStrips(artwork::weatherStrips());
    WeatherStateImage->setFrameCount(2);
    WeatherStateImage->setInterval(500);
    WeatherStateImage->setGeometry(8, 21, 145, 121);
    WeatherStateImage->hide();
    WeatherStateL = makeLabel(g, QStringLiteral("WeatherStateL"), QStringLiteral("нестабильная погода"),
                              QRect(8, 126, 145, 16), captionFont(), Qt::AlignCenter);
    WeatherStateL->hide();

    makeMarker(g, names.next(), true, QRect(10, 147, 12, 16));
    MaxPressureL = makeValue(g, "MaxPressureL", kNoPressure, QRect(22, 147, 48, 16), kSmallValue,
                             QStringLiteral("Максимум атмосферного давления"));
    PressL3 = makeUnit(g, "PressL3", pressureUnitNames().value(0), MaxPressureL, 73, 44);
    FromPressureLM = makeLabel(g, QStringLiteral("FromPressureLM"), kSince, QRect(22, 163, 131, 15), captionFont());
    makeMarker(g, names.next(), false, QRect(10, 184, 12, 16));
    MinPressureL = makeValue(g, "MinPressureL", kNoPressure, QRect(22, 184, 48, 16), kSmallValue,
                             QStringLiteral("Минимум атмосферного давления"));
    PressL4 = makeUnit(g, "PressL4", pressureUnitNames().value(0), MinPressureL, 73, 44);
    FromPressureLN = makeLabel(g, QStringLiteral("FromPressureLN"), kSince, QRect(22, 200, 131, 15), captionFont());

    // The two pressures, then the 24-hour chart.
    caption(names, g, QStringLiteral("Давление на уровне моря:"), QRect(164, 19, 260, 15));
    PressureLabel = makeValue(g, "PressureLabel", kNoPressure, QRect(164, 34, 84, 26), kMainValue,
                              QStringLiteral("Давление на уровне моря"));
    PressL1 = makeUnit(g, "PressL1", pressureUnitNames().value(0), PressureLabel, 252, 44);
    PressureTrend = makePicture(g, "PressureTrend", PictureBox::kBitmapKind, artwork::trendArrows(), -1,
                                iconOnBaseline(PressureLabel, 300), kit::Placement::TopLeft,
                                QStringLiteral("Тенденция изменения давления"));
    caption(names, g, QStringLiteral("Атмосферное давление:"), QRect(164, 60, 260, 15));
    PressureLocalL = makeValue(g, "PressureLocalL", kNoPressure, QRect(164, 75, 84, 26), kMainValue,
                               QStringLiteral("Атмосферное давление"));
    PressL2 = makeUnit(g, "PressL2", pressureUnitNames().value(0), PressureLocalL, 252, 44);

    PressureChart = makeChart(g, "PressureChart", MainChart::Pressure, -24, 500, 1100, QRect(164, 106, 260, 112));
}

void PressurePanel::show(const PressureView &view)
{
    showReadings(view);
    showForecast(view);
    showChart(view);
    showTrend(view);
    showUnit(view);
}

void PressurePanel::showReadings(const PressureView &view)
{
    PressureLabel->setText(view.PressureLabel);
    PressureLocalL->setText(view.PressureLocalL);
}

void PressurePanel::showForecast(const PressureView &view)
{
    WeatherImage->setIndex(view.WeatherImage);
    WeatherImage->setAnimating(true);
    WeatherStateImage->setVisible(view.WeatherStateVisible);
    WeatherStateL->setVisible(view.WeatherStateVisible);
}

void PressurePanel::showChart(const PressureView &view)
{
    panel::showChart(PressureChart, view.PressureChart.points, view.PressureChart.yMin, view.PressureChart.yMax);
}

void PressurePanel::showTrend(const PressureView &view)
{
    PressureTrend->setIndex(view.PressureTrend);
}

void PressurePanel::showUnit(const PressureView &view)
{
    setKnownText(unitLabels(), view.PressureUnitCaption);
}

void PressurePanel::showPressureExtremes(const QString &maximum, const QString &minimum)
{
    MaxPressureL->setText(maximum);
    MinPressureL->setText(minimum);
}

void PressurePanel::showExtremes(const ExtremesView &view)
{
    FromPressureLM->setText(view.FromPressureLM);
    FromPressureLN->setText(view.FromPressureLN);
    showPressureExtremes(view.MaxPressureL, view.MinPressureL);
}

}  // namespace nimbrel
