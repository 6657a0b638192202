#include "UvPanel.h"

#include "Artwork.h"
#include "PictureBox.h"
#include "TrendChart.h"
#include "Units.h"

#include <QGroupBox>
#include <QLabel>

namespace nimbrel {

using namespace panel;

void UvPanel::build(QGroupBox *g, LabelNames &names)
{
    UVLabel = makeValue(g, "UVLabel", kNoTemperature, QRect(100, 19, 60, 24), 18, QStringLiteral("Текущее УФИ"));
    caption(names, g, QStringLiteral("Текущее UV:"), besideBaseline(UVLabel, 8, 92, captionFont()));
    UVIL1 = makeUnit(g, "UVIL1", uvUnitNames().value(0), UVLabel, 164, 46);
    // The exposure pictures are up to 200 x 77; the widest are drawn a little
    // smaller to fit under the reading.
    UVIImage = makePicture(g, "UVIImage", PictureBox::kImageKind, artwork::uvPictures(), 0, QRect(8, 44, 204, 68),
                           kit::Placement::Fit, QStringLiteral("Комфортность УФИ"));
    UVIChart = makeChart(g, "UVIChart", MainChart::Uv, -7, 0, 36, QRect(216, 19, 208, 93));
    BatUVI = makePicture(g, "BatUVI", PictureBox::kBitmapKind, artwork::batteryPictures(), -1, titleRowIcon(g),
                         kit::Placement::Fit, QStringLiteral("Состояние батареек"));
}

void UvPanel::show(const UvView &view)
{
    showReading(view);
    showChart(view);
    showBattery(view);
    showUnit(view);
}

void UvPanel::showReading(const UvView &view)
{
    UVLabel->setText(view.UVLabel);
    UVIImage->setIndex(view.UVIImage);
}

void UvPanel::showChart(const UvView &view)
{
    panel::showChart(UVIChart, view.UVIChart.points, view.UVIChart.yMin, view.UVIChart.yMax);
}

void UvPanel::showBattery(const UvView &view)
{
    BatUVI->setIndex(view.BatUVI);
}

void UvPanel::showUnit(const UvView &view)
{
    setKnownText({UVIL1}, view.UVIL1);
}

}  // namespace nimbrel
