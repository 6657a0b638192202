#include "WindPanel.h"

#include "Artwork.h"
#include "PictureBox.h"
#include "TrendChart.h"
#include "Units.h"

#include <QGroupBox>
#include <QLabel>

namespace nimbrel {

using namespace panel;

void WindPanel::build(QGroupBox *g, LabelNames &names)
{
    const QList<QPixmap> bells = artwork::alarmBells();
    const QString speedUnit = speedUnitNames().value(0);

    // Speed and gust: caption and reading, then the recorded maximum with
    // its time and the alarm limit with its bell, indented beneath.
    struct Block {
        int y;
        const char *caption;
        const char *value;
        const char *hint;
        const char *unit;
        const char *max;
        const char *maxHint;
        const char *maxUnit;
        const char *since;
        const char *bell;
        const char *alarm;
        const char *alarmUnit;
    };
    const Block blocks[] = {
        {19, "Скорость ветра:", "WindSpeedL", "Скорость ветра", "SL1", "MaxWindSpeedL", "Максимум скорости ветра", "SL3",
         "FromWindSpeedL", "WSAS", "WSAL", "SL5"},
        {83, "Порыв ветра:", "WindGustL", "Порыв ветра", "SL2", "MaxWindGustL", "Максимум порыва ветра", "SL4",
         "FromWindGustL", "WGAS", "WGAL", "SL6"},
    };
    for (const Block &b : blocks) {
        QLabel *value = makeValue(g, b.value, kNoTemperature, QRect(124, b.y, 74, 28), kMainValue,
                                  QString::fromUtf8(b.hint));
        caption(names, g, QString::fromUtf8(b.caption), captionOnBaseline(value, 6, 116, 2), true);
        QLabel *unit = makeUnit(g, b.unit, speedUnit, value, 202, 36);

        makeMarker(g, names.next(), true, QRect(16, b.y + 31, 12, 15));
        QLabel *max = makeValue(g, b.max, kNoTemperature, QRect(28, b.y + 31, 52, 15), kSmallValue,
                                QString::fromUtf8(b.maxHint));
        QLabel *maxUnit = makeUnit(g, b.maxUnit, speedUnit, max, 83, 34);
        QLabel *since = makeLabel(g, QString::fromLatin1(b.since), kSince, QRect(120, b.y + 31, 116, 15), captionFont(),
                                  Qt::AlignLeft | Qt::AlignBottom);
        PictureBox *bell = makePicture(g, b.bell, PictureBox::kImageKind, bells, 1, QRect(12, b.y + 47, 16, 16));
        QLabel *alarm = makeLabel(g, QString::fromLatin1(b.alarm), QStringLiteral("Hi:--,-"),
                                  QRect(28, b.y + 47, 52, 15), captionFont(), Qt::AlignRight | Qt::AlignBottom);
        QLabel *alarmUnit = makeUnit(g, b.alarmUnit, speedUnit, alarm, 83, 34);

        if (b.y == blocks[0].y) {
            WindSpeedL = value;
            SL1 = unit;
            MaxWindSpeedL = max;
            SL3 = maxUnit;
            FromWindSpeedL = since;
            WSAS = bell;
            WSAL = alarm;
            SL5 = alarmUnit;
        } else {
            WindGustL = value;
            SL2 = unit;
            MaxWindGustL = max;
            SL4 = maxUnit;
            FromWindGustL = since;
            WGAS = bell;
            WGAL = alarm;
            SL6 = alarmUnit;
        }
    }

    // The longest caption of the panel: room for a third line.
    WindChillL = makeValue(g, "WindChillL", kNoTemperature, QRect(124, 159, 74, 28), kMainValue,
                           QStringLiteral("Температура с учётом ветра"));
    caption(names, g, QStringLiteral("Температура с учётом ветра:"), captionOnBaseline(WindChillL, 6, 116, 3), true);
    TL9 = makePicture(g, "TL9", PictureBox::kImageKind, artwork::unitSigns(), 0, iconOnBaseline(WindChillL, 202));

    addSeparator(g, QRect(239, 22, 2, 170));

    // The 7-day chart above; the direction, as a rose and in words, below.
    WindSpeedChart = makeChart(g, "WindSpeedChart", MainChart::WindSpeed, -7, 0, 200, QRect(244, 19, 180, 88));
    Compass = makePicture(g, "Compass", PictureBox::kBitmapKind, artwork::compassRoses(), 0, QRect(244, 110, 84, 84),
                          kit::Placement::Fit);
    caption(names, g, QStringLiteral("Направление ветра:"), QRect(332, 110, 92, 26), true);
    WindDirectionLabel = makeLabel(g, QStringLiteral("WindDirectionLabel"), QStringLiteral("N"), QRect(332, 139, 92, 24),
                                   valueFont(18), Qt::AlignLeft | Qt::AlignBottom);
    WindDirectionLabel->setToolTip(QStringLiteral("Направление ветра"));
    // Degrees right-aligned against their sign.
    WindDirectionLabel1 = makeLabel(g, QStringLiteral("WindDirectionLabel1"), QStringLiteral("0"), QRect(332, 165, 44, 17),
                                    valueFont(12), Qt::AlignRight | Qt::AlignBottom);
    WindDirectionLabel1->setToolTip(QStringLiteral("Направление ветра"));
    makeLabel(g, names.next(), QStringLiteral("°"), QRect(376, 165, 12, 17), valueFont(12),
              Qt::AlignLeft | Qt::AlignBottom);

    BatWind = makePicture(g, "BatWind", PictureBox::kBitmapKind, artwork::batteryPictures(), -1, titleRowIcon(g),
                          kit::Placement::Fit, QStringLiteral("Состояние батареек"));
}

void WindPanel::show(const WindView &view)
{
    showDirection(view);
    showChart(view);
    showBattery(view);
    showReadings(view);
    showUnit(view);
}

void WindPanel::showDirection(const WindView &view)
{
    WindDirectionLabel->setText(view.WindDirectionLabel);
    WindDirectionLabel1->setText(view.WindDirectionLabel1);
    Compass->setIndex(view.Compass);
}

void WindPanel::showChart(const WindView &view)
{
    panel::showChart(WindSpeedChart, view.WindSpeedChart.points, view.WindSpeedChart.yMin,
                     view.WindSpeedChart.yMax);
}

void WindPanel::showBattery(const WindView &view)
{
    BatWind->setIndex(view.BatWind);
}

void WindPanel::showReadings(const WindView &view)
{
    WindChillL->setText(view.WindChillL);
    WindSpeedL->setText(view.WindSpeedL);
    MaxWindSpeedL->setText(view.MaxWindSpeedL);
    WindGustL->setText(view.WindGustL);
    MaxWindGustL->setText(view.MaxWindGustL);
    WSAL->setText(view.WSAL);
    WSAS->setIndex(view.WSAS);
    WGAL->setText(view.WGAL);
    WGAS->setIndex(view.WGAS);
}

void WindPanel::showUnit(const WindView &view)
{
    setKnownText(unitLabels(), view.SpeedUnitCaption);
}

void WindPanel::showWindChill(const QString &text, int temperatureUnitPicture)
{
    WindChillL->setText(text);
    TL9->setIndex(temperatureUnitPicture);
}

void WindPanel::showExtremes(const ExtremesView &view)
{
    FromWindSpeedL->setText(view.FromWindSpeedL);
    FromWindGustL->setText(view.FromWindGustL);
}

}  // namespace nimbrel
