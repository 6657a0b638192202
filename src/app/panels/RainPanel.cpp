#include "RainPanel.h"

#include "Artwork.h"
#include "PictureBox.h"
#include "PowerMeter.h"
#include "Units.h"

#include <QComboBox>
#include <QFontMetricsF>
#include <QGroupBox>
#include <QLabel>

#include <cmath>

namespace nimbrel {

using namespace panel;

void RainPanel::build(QGroupBox *g, LabelNames &names)
{

    // Three gauge rows whose display faces start at one x, whatever the
    // length of the gauges' own captions; the period row has the period
    // box in place of a caption.
    const int faceX = 94;
    const int faceEnd = 196;
    const int valueX = 198;
    const int unitX = 269;
    auto captionBand = [](const QString &text) {
        return int(std::ceil(QFontMetricsF(kit::labelFont(11)).horizontalAdvance(text))) + 6;
    };
    auto gaugeRect = [&](const QString &text, int y) {
        const int x = faceX - captionBand(text);
        return QRect(x, y, faceEnd - x, 20);
    };
    const QString hourHint = QStringLiteral("Осадки за последний час");
    const QString dayHint = QStringLiteral("Осадки за последние 24 часа");

    RainLHV = makeGauge(g, "RainLHV", QStringLiteral("За час"), gaugeRect(QStringLiteral("За час"), 21), hourHint);
    RainLHL = makeValue(g, "RainLHL", QStringLiteral("0"), QRect(valueX, 19, 68, 22), kSecondValue, hourHint);
    RL1 = makeUnit(g, "RL1", rainUnitNames().value(0), RainLHL, unitX, 30);

    RainLDV = makeGauge(g, "RainLDV", QStringLiteral("За 24 ч"), gaugeRect(QStringLiteral("За 24 ч"), 45), dayHint);
    // The faces stay at faceX whatever a translation makes of the captions.
    for (PowerMeter *gauge : {RainLHV, RainLDV})
        gauge->setCaptionWidth(faceX - gauge->x());
    RainLDL = makeValue(g, "RainLDL", QStringLiteral("0"), QRect(valueX, 43, 68, 22), kSecondValue, dayHint);
    RL2 = makeUnit(g, "RL2", rainUnitNames().value(0), RainLDL, unitX, 30);

    RainBox = makeCombo(g, "RainBox", {QStringLiteral("вчера"), QStringLiteral("неделя"), QStringLiteral("месяц")}, 0,
                        QRect(6, 69, faceX - 10, 20));
    RainLV = makeGauge(g, "RainLV", QString(), QRect(faceX, 69, faceEnd - faceX, 20), QString());
    RainLL = makeValue(g, "RainLL", QStringLiteral("0.00"), QRect(valueX, 67, 68, 22), kSecondValue);
    RL3 = makeUnit(g, "RL3", rainUnitNames().value(0), RainLL, unitX, 30);

    RAS = makePicture(g, "RAS", PictureBox::kImageKind, artwork::alarmBells(), 1, QRect(faceX + 2, 98, 16, 16));
    RAL = makeLabel(g, QStringLiteral("RAL"), QStringLiteral("Hi:--,-"), QRect(faceX + 20, 97, 96, 18), captionFont());

    addSeparator(g, QRect(303, 22, 2, 100));

    // The total since the last reset mark of the rain sensor.
    caption(names, g, QStringLiteral("Всего осадков:"), QRect(310, 19, 114, 15));
    AllRainL = makeValue(g, "AllRainL", QStringLiteral("0.00"), QRect(310, 34, 84, 24), 18);
    RL4 = makeUnit(g, "RL4", rainUnitNames().value(0), AllRainL, 396, 28);
    FromRainL = makeLabel(g, QStringLiteral("FromRainL"), kSince, QRect(310, 60, 114, 15), captionFont());

    BatRain = makePicture(g, "BatRain", PictureBox::kBitmapKind, artwork::batteryPictures(), -1, titleRowIcon(g),
                          kit::Placement::Fit, QStringLiteral("Состояние батареек"));
}

void RainPanel::show(const RainView &view)
{
    showBattery(view);
    showReadings(view);
    showUnit(view);
}

void RainPanel::showBattery(const RainView &view)
{
    BatRain->setIndex(view.BatRain);
}

void RainPanel::showReadings(const RainView &view)
{
    RainLHL->setText(view.RainLHL);
    RainLHV->setValue(view.RainLHV);
    RainLDL->setText(view.RainLDL);
    RainLDV->setValue(view.RainLDV);
    showPeriod(view.period);
    RAL->setText(view.RAL);
    AllRainL->setText(view.AllRainL);
    FromRainL->setText(view.FromRainL);
    RAS->setIndex(view.RAS);
}

void RainPanel::showUnit(const RainView &view)
{
    setKnownText(unitLabels(), view.unitCaption);
}

void RainPanel::showPeriod(const RainPeriodView &view)
{
    if (!view.shown)
        return;
    RainLL->setText(view.RainLL);
    RainLV->setValue(view.RainLV);
}

}  // namespace nimbrel
