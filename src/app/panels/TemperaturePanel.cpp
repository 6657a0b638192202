#include "TemperaturePanel.h"

#include "Artwork.h"
#include "PictureBox.h"
#include "PowerMeter.h"
#include "ThermoMeter.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>

namespace nimbrel {

using namespace panel;

void TemperaturePanel::build(QGroupBox *g, LabelNames &names)
{
    const QList<QPixmap> signs = artwork::unitSigns();
    const QList<QPixmap> arrows = artwork::trendArrows();
    const QStringList comfortWords = {QStringLiteral("Холодно"), QStringLiteral("Сухо"), QStringLiteral("Жарко"),
                                      QStringLiteral("Комфортно"), QStringLiteral("Влажно")};

    // The two halves share one layout: thermometer on the left, then the
    // readings in a column.
    struct Side {
        int dx;
        const char *termo;
        const char *termoCaption;
        int scaleMin;
        int scaleMax;
        const char *temp;
        const char *tempHint;
        const char *tempSign;
        const char *tempTrend;
        const char *hum;
        const char *humHint;
        const char *humTrend;
        const char *meter;
        const char *meterHint;
        const char *dew;
        const char *dewHint;
        const char *dewSign;
        const char *comfort;
        const char *max;
        const char *maxHint;
        const char *maxSign;
        const char *maxSince;
        const char *min;
        const char *minHint;
        const char *minSign;
        const char *minSince;
    };
    const Side sides[] = {
        {0, "Termo1", "Температура", -10, 60, "TempDoorLabel", "Текущая температура", "TL1", "TempDoorTrend",
         "HumDoorLabel", "Влажность ", "HumDoorTrend", "HumMeter", "Влажность", "TochkaRosDoorL", "Точка росы", "TL2",
         "ComfStateL", "MaxTempDoorLabel", "Максимум температуры", "TL3", "FromTempDoorLM", "MinTempDoorLabel",
         "Минимум температуры", "TL4", "FromTempDoorLN"},
        {212, "Termo2", "Температура канала", -40, 80, "TempCHLabel", "Текущая температура канала", "TL5",
         "TempCHTrend", "HumCHLabel", "Влажность канала", "HumCHTrend", "HumMeter1", "Влажность канала",
         "TochkaRosCHL", "Точка росы канала", "TL6", "ComfState1L", "MaxTempCHL", "Максимум температуры канала", "TL7",
         "FromTempCHLM", "MinTempCHL", "Минимум температуры канала", "TL8", "FromTempCHLN"},
    };
    for (const Side &s : sides) {
        auto *termo = tag(new ThermoMeter(g), QString::fromLatin1(s.termo), ThermoMeter::kKind);
        termo->setCaption(QString::fromUtf8(s.termoCaption));
        termo->setToolTip(QString::fromUtf8(s.termoCaption));
        termo->setScale(s.scaleMin, s.scaleMax);
        termo->setTickSteps(20, 10);
        termo->setGeometry(6 + s.dx, 22, 58, 230);

        const int x = 68 + s.dx;
        QLabel *temp = makeValue(g, s.temp, kNoTemperature, QRect(x, 40, 86, 30), kTemperatureValue,
                                 QString::fromUtf8(s.tempHint));
        PictureBox *tempSign = makePicture(g, s.tempSign, PictureBox::kImageKind, signs, 0, iconOnBaseline(temp, x + 90));
        PictureBox *tempTrend = makePicture(g, s.tempTrend, PictureBox::kBitmapKind, arrows, -1,
                                            iconOnBaseline(temp, x + 110));

        QLabel *hum = makeValue(g, s.hum, QStringLiteral("--"), QRect(x, 72, 86, 24), 18, QString::fromUtf8(s.humHint));
        makeLabel(g, names.next(), QStringLiteral("%"), besideBaseline(hum, x + 92, 14, captionFont()),
                  captionFont(), Qt::AlignLeft | Qt::AlignTop);
        PictureBox *humTrend = makePicture(g, s.humTrend, PictureBox::kBitmapKind, arrows, -1,
                                           iconOnBaseline(hum, x + 110));
        PowerMeter *meter = makeGauge(g, s.meter, QString(), QRect(x, 99, 142, 12), QString::fromUtf8(s.meterHint));

        caption(names, g, QStringLiteral("Точка росы:"), QRect(x, 114, 142, 14));
        QLabel *dew = makeValue(g, s.dew, kNoTemperature, QRect(x, 128, 86, 22), kSecondValue,
                                QString::fromUtf8(s.dewHint));
        PictureBox *dewSign = makePicture(g, s.dewSign, PictureBox::kImageKind, signs, 0, iconOnBaseline(dew, x + 90));
        QLabel *comfort = makeLabel(g, QString::fromLatin1(s.comfort), QString(), QRect(x, 153, 142, 17),
                                    condensed(12, true), Qt::AlignLeft | Qt::AlignVCenter);
        comfort->setToolTip(QStringLiteral("Комфортность"));

        makeMarker(g, names.next(), true, QRect(x, 176, 12, 16));
        QLabel *max = makeValue(g, s.max, kNoTemperature, QRect(x + 12, 176, 48, 16), 12, QString::fromUtf8(s.maxHint));
        PictureBox *maxSign = makePicture(g, s.maxSign, PictureBox::kImageKind, signs, 0, iconOnBaseline(max, x + 62));
        QLabel *maxSince = makeLabel(g, QString::fromLatin1(s.maxSince), kSince, QRect(x + 12, 192, 130, 15),
                                     captionFont());
        makeMarker(g, names.next(), false, QRect(x, 211, 12, 16));
        QLabel *min = makeValue(g, s.min, kNoTemperature, QRect(x + 12, 211, 48, 16), 12, QString::fromUtf8(s.minHint));
        PictureBox *minSign = makePicture(g, s.minSign, PictureBox::kImageKind, signs, 0, iconOnBaseline(min, x + 62));
        QLabel *minSince = makeLabel(g, QString::fromLatin1(s.minSince), kSince, QRect(x + 12, 227, 130, 15),
                                     captionFont());

        if (s.dx == 0) {
            Termo1 = termo;
            TempDoorLabel = temp;
            TL1 = tempSign;
            TempDoorTrend = tempTrend;
            HumDoorLabel = hum;
            HumDoorTrend = humTrend;
            HumMeter = meter;
            TochkaRosDoorL = dew;
            TL2 = dewSign;
            ComfStateL = comfort;
            MaxTempDoorLabel = max;
            TL3 = maxSign;
            FromTempDoorLM = maxSince;
            MinTempDoorLabel = min;
            TL4 = minSign;
            FromTempDoorLN = minSince;
        } else {
            Termo2 = termo;
            TempCHLabel = temp;
            TL5 = tempSign;
            TempCHTrend = tempTrend;
            HumCHLabel = hum;
            HumCHTrend = humTrend;
            HumMeter1 = meter;
            TochkaRosCHL = dew;
            TL6 = dewSign;
            ComfState1L = comfort;
            MaxTempCHL = max;
            TL7 = maxSign;
            FromTempCHLM = maxSince;
            MinTempCHL = min;
            TL8 = minSign;
            FromTempCHLN = minSince;
        }
    }

    // Indoor alarm limits and their bell; channel choice and its battery.
    TAS = makePicture(g, "TAS", PictureBox::kImageKind, artwork::alarmBells(), 1, QRect(68, 21, 16, 16));
    UTAL = makeLabel(g, QStringLiteral("UTAL"), QStringLiteral("Hi:--,-"), QRect(86, 20, 60, 18), captionFont());
    LTAL = makeLabel(g, QStringLiteral("LTAL"), QStringLiteral("Lo:--,-"), QRect(148, 20, 60, 18), captionFont());
    CHBox = makeCombo(g, "CHBox",
                      {QStringLiteral("CH1"), QStringLiteral("CH2"), QStringLiteral("CH3"), QStringLiteral("CH4"),
                       QStringLiteral("CH5")},
                      0, QRect(280, 19, 70, 21));
    BatCH = makePicture(g, "BatCH", PictureBox::kBitmapKind, artwork::batteryPictures(), -1, QRect(398, 19, 22, 22),
                        kit::Placement::TopLeft, QStringLiteral("Состояние батареек"));

    addSeparator(g, QRect(213, 22, 2, 228));

    // Word lists of the comfort labels, hidden: the code reads their items.
    ComfState = makeCombo(g, "ComfState", comfortWords, 0, QRect(68, 153, 142, 17));
    ComfState->hide();
    ComfStateCH = makeCombo(g, "ComfStateCH", comfortWords, 0, QRect(280, 153, 142, 17));
    ComfStateCH->hide();
}

void TemperaturePanel::show(const TemperatureView &view)
{
    showIndoorReadings(view);
    showChannelReadings(view);
    showThermometers(view);
    showDewPointsAndComfort(view);
    showBattery(view);
    showTrends(view);
    showUnit(view);
}

void TemperaturePanel::showIndoorReadings(const TemperatureView &view)
{
    TempDoorLabel->setText(view.indoor.TempDoorLabel);
    HumDoorLabel->setText(view.indoor.HumDoorLabel);
    HumMeter->setValue(view.indoor.HumMeter);
}

void TemperaturePanel::showChannelReadings(const TemperatureView &view)
{
    TempCHLabel->setText(view.channel.TempCHLabel);
    HumCHLabel->setText(view.channel.HumCHLabel);
    HumMeter1->setValue(view.channel.HumMeter1);
}

void TemperaturePanel::showThermometers(const TemperatureView &view)
{
    const auto set = [](ThermoMeter *termo, const ThermometerView &v) {
        termo->setValue(v.value);
        termo->setMaxMarker(v.maxMarker);
        termo->setMinMarker(v.minMarker);
    };
    set(Termo1, view.indoor.Termo1);
    MaxTempDoorLabel->setText(view.indoor.MaxTempDoorLabel);
    MinTempDoorLabel->setText(view.indoor.MinTempDoorLabel);
    UTAL->setText(view.indoor.UTAL);
    LTAL->setText(view.indoor.LTAL);
    set(Termo2, view.channel.Termo2);
    MaxTempCHL->setText(view.channel.MaxTempCHL);
    MinTempCHL->setText(view.channel.MinTempCHL);
}

void TemperaturePanel::showComfort(QLabel *label, QComboBox *words, int index, bool empty)
{
    words->setCurrentIndex(index);
    label->setText(empty ? QString() : words->currentText());
}

void TemperaturePanel::showDewPointsAndComfort(const TemperatureView &view)
{
    TochkaRosDoorL->setText(view.indoor.TochkaRosDoorL);
    TochkaRosCHL->setText(view.channel.TochkaRosCHL);
    showComfort(ComfStateL, ComfState, view.indoor.ComfState, view.indoor.ComfStateLEmpty);
    showComfort(ComfState1L, ComfStateCH, view.channel.ComfStateCH, view.channel.ComfState1LEmpty);
}

void TemperaturePanel::showBattery(const TemperatureView &view)
{
    BatCH->setIndex(view.channel.BatCH);
}

void TemperaturePanel::showTrends(const TemperatureView &view)
{
    TempDoorTrend->setIndex(view.indoor.TempDoorTrend);
    HumDoorTrend->setIndex(view.indoor.HumDoorTrend);
    TempCHTrend->setIndex(view.channel.TempCHTrend);
    HumCHTrend->setIndex(view.channel.HumCHTrend);
}

void TemperaturePanel::showUnit(const TemperatureView &view)
{
    Termo1->setScale(view.indoor.Termo1.scale.minimum, view.indoor.Termo1.scale.maximum);
    Termo2->setScale(view.channel.Termo2.scale.minimum, view.channel.Termo2.scale.maximum);
    for (PictureBox *sign : unitPictures())
        sign->setIndex(view.TemperatureUnitPicture);
}

// The whole channel side at once, so that no value of the channel shown
// before stays beside the new one's; the comfort word follows the
// refresh's rule (cleared for a channel without a reading).
void TemperaturePanel::showChannelChoice(const ChannelSide &side, const ExtremesView &extremes)
{
    TempCHLabel->setText(side.TempCHLabel);
    HumCHLabel->setText(side.HumCHLabel);
    HumMeter1->setValue(side.HumMeter1);
    TochkaRosCHL->setText(side.TochkaRosCHL);
    showComfort(ComfState1L, ComfStateCH, side.ComfStateCH, side.ComfState1LEmpty);
    Termo2->setValue(side.Termo2.value);
    Termo2->setMaxMarker(side.Termo2.maxMarker);
    Termo2->setMinMarker(side.Termo2.minMarker);
    MaxTempCHL->setText(side.MaxTempCHL);
    MinTempCHL->setText(side.MinTempCHL);
    FromTempCHLM->setText(extremes.FromTempCHLM);
    FromTempCHLN->setText(extremes.FromTempCHLN);
    TempCHTrend->setIndex(side.TempCHTrend);
    HumCHTrend->setIndex(side.HumCHTrend);
    BatCH->setIndex(side.BatCH);
}

void TemperaturePanel::showExtremes(const ExtremesView &view)
{
    FromTempDoorLM->setText(view.FromTempDoorLM);
    FromTempDoorLN->setText(view.FromTempDoorLN);
    FromTempCHLM->setText(view.FromTempCHLM);
    FromTempCHLN->setText(view.FromTempCHLN);
}

}  // namespace nimbrel
