#include "TForm3.h"

#include "Component.h"
#include "DateFormat.h"
#include "FromTimeText.h"
#include "HistoryStore.h"
#include "KitStyle.h"
#include "NumberFormat.h"
#include "PanelStatusBar.h"
#include "LangTable.h"
#include "StationEngine.h"
#include "Translation.h"
#include "Units.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateEdit>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

namespace nimbrel {

using namespace history;

namespace {

const QColor kPink(255, 128, 255);
const QColor kOrange(255, 128, 0);
const QColor kOlive(128, 128, 0);

// A chart's panel; the dump reports its height, which the check boxes set.
class ChartPanel : public QWidget, public DumpableComponent {
public:
    explicit ChartPanel(QWidget *parent) : QWidget(parent) {}
    void dumpState(QJsonObject &out) const override { out.insert(QStringLiteral("height"), height()); }
};

}  // namespace

TForm3::TForm3(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("TForm3"));
    setProperty(kKindProperty, QStringLiteral("TForm3"));
    setWindowTitle(QStringLiteral("История значений"));
    setAutoFillBackground(true);
    resize(1200, 860);
    rereadTimer_ = new QTimer(this);
    rereadTimer_->setSingleShot(true);
    rereadTimer_->setInterval(30);
    connect(rereadTimer_, &QTimer::timeout, this, [this] {
        for (int c = 0; c < ChartCount; ++c) {
            if (rereadPending_[c])
                readChart(static_cast<Chart>(c));
            rereadPending_[c] = false;
        }
    });
    build();
    FormCreate();
}

void TForm3::FormCreate()
{
    // The window speaks the engine's language from the moment it is joined
    // to it (connectTo), and follows every switch.
}

QComboBox *TForm3::selector(QWidget *panel, const char *name, const QStringList &items, int x, int width)
{
    auto *box = named(new QComboBox(panel), name, "TComboBox");
    box->addItems(items);
    box->setGeometry(x, 1, width, 20);
    box->setFont(kit::labelFont(11));
    return box;
}

void TForm3::build()
{
    Panel3 = named(new QWidget(this), "Panel3", "TPanel");
    Panel3->setGeometry(0, 0, width(), kToolBarHeight);
    struct Box {
        QCheckBox **box;
        const char *name;
        const char *text;
        const char *hint;
    };
    const Box boxes[] = {
        {&CheckBox1, "CheckBox1", "Давление", "Показать/спрятать историю давления"},
        {&CheckBox2, "CheckBox2", "Температура", "Показать/спрятать историю температуры"},
        {&CheckBox7, "CheckBox7", "Температура канала", "Показать/спрятать историю температуры канала"},
        {&CheckBox3, "CheckBox3", "Влажность", "Показать/спрятать историю влажности"},
        {&CheckBox8, "CheckBox8", "Влажность канала", "Показать/спрятать историю влажности канала"},
        {&CheckBox4, "CheckBox4", "Ветер", "Показать/спрятать историю скорости ветра"},
        {&CheckBox5, "CheckBox5", "Осадки", "Показать/спрятать историю количества осадков"},
        {&CheckBox6, "CheckBox6", "УФИ", "Показать/спрятать историю УФИ"},
    };
    int x = 6;
    for (const Box &b : boxes) {
        auto *box = named(new QCheckBox(QString::fromUtf8(b.text), Panel3), b.name, "TCheckBox");
        box->setToolTip(QString::fromUtf8(b.hint));
        box->setChecked(true);
        const int w = box->sizeHint().width() + 4;
        box->setGeometry(x, 7, w, 20);
        x += w + 4;
        *b.box = box;
    }
    // The period and the date share an opaque strip at the right.
    periodStrip_ = new QWidget(Panel3);
    periodStrip_->setAutoFillBackground(true);
    Label1 = named(new QLabel(QStringLiteral("Период"), periodStrip_), "Label1", "TLabel");
    IntervalBox = named(new QComboBox(periodStrip_), "IntervalBox", "TComboBox");
    IntervalBox->addItems(intervalItems());
    IntervalBox->setEditable(true);
    IntervalBox->setInsertPolicy(QComboBox::NoInsert);
    IntervalBox->setCurrentIndex(static_cast<int>(Interval::Week));
    IntervalBox->setToolTip(QStringLiteral("Просматриваемый период"));
    Label2 = named(new QLabel(QStringLiteral("Последняя дата"), periodStrip_), "Label2", "TLabel");
    SelDate = named(new QDateEdit(periodStrip_), "SelDate", "TDateTimePicker");
    SelDate->setCalendarPopup(true);
    SelDate->setToolTip(QStringLiteral("Последняя дата на графике истории"));
    checksRight_ = x;

    struct PanelSpec {
        QWidget **panel;
        HistoryChart **chart;
        const char *panelName;
        const char *chartName;
        HistoryChart::Kind kind;
    };
    const PanelSpec panels[] = {
        {&PressurePanel, &PressureChart, "PressurePanel", "PressureChart", HistoryChart::Kind::Lines},
        {&TemperPanel, &TempChart, "TemperPanel", "TempChart", HistoryChart::Kind::Lines},
        {&HumPanel, &HumChart, "HumPanel", "HumChart", HistoryChart::Kind::Lines},
        {&WindPanel, &WindChart, "WindPanel", "WindChart", HistoryChart::Kind::Lines},
        {&RainPanel, &RainChart, "RainPanel", "RainChart", HistoryChart::Kind::Bars},
        {&UVIPanel, &UVIChart, "UVIPanel", "UVIChart", HistoryChart::Kind::Lines},
    };
    for (int i = 0; i < ChartCount; ++i) {
        const PanelSpec &p = panels[i];
        *p.panel = named(new ChartPanel(this), p.panelName, "TPanel");
        *p.chart = named(new HistoryChart(p.kind, *p.panel), p.chartName, "TChart");
        const Chart c = static_cast<Chart>(i);
        if (p.kind == HistoryChart::Kind::Lines) {
            connect(*p.chart, &HistoryChart::rangeChangedByUser, this, [this, c](double, double) {
                rereadPending_[c] = true;
                rereadTimer_->start();
            });
        }
        connect(*p.chart, &HistoryChart::mouseMoved, this, [this, c](const QPoint &at) { showHint(c, at); });
        connect(*p.chart, &HistoryChart::valueRangeChanged, this, [this] { alignCharts(); });
    }
    PressureChart->addSeries(QStringLiteral("Давление"), Qt::red);
    TempChart->addSeries(QStringLiteral("Температура внутри"), kPink);
    TempChart->addSeries(QStringLiteral("Температура канала"), kOrange);
    HumChart->addSeries(QStringLiteral("Влажность внутри"), kPink);
    HumChart->addSeries(QStringLiteral("Влажность канала"), kOlive);
    WindChart->addSeries(QStringLiteral("Скорость ветра"), Qt::red);
    RainChart->addSeries(QStringLiteral("Осадки"), Qt::red);
    UVIChart->addSeries(QStringLiteral("УФИ"), Qt::red);

    channelSeriesTitles_ = {TempChart->seriesTitle(1), HumChart->seriesTitle(1)};
    const QStringList channels{QStringLiteral("CH1"), QStringLiteral("CH2"), QStringLiteral("CH3"),
                               QStringLiteral("CH4"), QStringLiteral("CH5")};
    PressureEdBox = selector(PressurePanel, "PressureEdBox", pressureUnitNames(), 4, 70);
    TempEdBox = selector(TemperPanel, "TempEdBox", temperatureUnitNames(), 4, 50);
    CHBox = selector(TemperPanel, "CHBox", channels, 58, 60);
    CH1Box = selector(HumPanel, "CH1Box", channels, 4, 60);
    for (QComboBox *box : {CHBox, CH1Box}) {
        box->setEditable(true);
        box->setInsertPolicy(QComboBox::NoInsert);
    }
    SpeedEdBox = selector(WindPanel, "SpeedEdBox", speedUnitNames(), 4, 70);
    RainEdBox = selector(RainPanel, "RainEdBox", rainUnitNames(), 4, 60);
    ComboBox1 = selector(RainPanel, "ComboBox1", rainSumPeriodItems(), 68, 80);
    ComboBox1->setToolTip(QStringLiteral("Период суммирования количества осадков"));
    UVIEdBox = selector(UVIPanel, "UVIEdBox", uvUnitNames(), 4, 70);
    // The legend starts right of the selectors.
    for (int c = 0; c < ChartCount; ++c) {
        int right = 0;
        for (QComboBox *box : chart(static_cast<Chart>(c))->parentWidget()->findChildren<QComboBox *>())
            right = std::max(right, box->geometry().right());
        chart(static_cast<Chart>(c))->setLegendInset(right + 12);
    }

    sStatusBar1 = named(new PanelStatusBar(this), "sStatusBar1", "TStatusBar");
    sStatusBar1->resize(width(), kStatusBarHeight);  // the panels take its height
    sStatusBar1->addPanel(QStringLiteral("Последнее обновление:"), 250);
    sStatusBar1->addPanel(QString(), 150);

    connect(IntervalBox, &QComboBox::activated, this, [this] { IntervalBoxChange(); });
    connect(SelDate, &QDateEdit::dateChanged, this, [this] { DateTimePicker1Change(); });
    connect(ComboBox1, &QComboBox::activated, this, [this] { ComboBox1Change(); });
    connect(PressureEdBox, &QComboBox::activated, this, [this] { PressureEdBoxChange(); });
    connect(TempEdBox, &QComboBox::activated, this, [this] { TempEdBoxChange(); });
    connect(CHBox, &QComboBox::activated, this, [this] { CHBoxChange(); });
    connect(CH1Box, &QComboBox::activated, this, [this] { CH1BoxChange(); });
    connect(SpeedEdBox, &QComboBox::activated, this, [this] { SpeedEdBoxChange(); });
    connect(RainEdBox, &QComboBox::activated, this, [this] { RainEdBoxChange(); });
    connect(UVIEdBox, &QComboBox::activated, this, [this] { UVIEdBoxChange(); });
    // The four series boxes also show or hide their line.
    const std::pair<QCheckBox *, std::pair<HistoryChart *, int>> lines[] = {
        {CheckBox2, {TempChart, 0}}, {CheckBox7, {TempChart, 1}}, {CheckBox3, {HumChart, 0}}, {CheckBox8, {HumChart, 1}}};
    for (const auto &[box, target] : lines) {
        connect(box, &QCheckBox::clicked, this, [this, box = box, target = target] {
            target.first->setSeriesVisible(target.second, box->isChecked());
            CheckBox1Click();
        });
    }
    for (QCheckBox *box : {CheckBox1, CheckBox4, CheckBox5, CheckBox6})
        connect(box, &QCheckBox::clicked, this, [this] { CheckBox1Click(); });

    for (int c = 0; c < ChartCount; ++c)
        chart(static_cast<Chart>(c))->setTimeRange(static_cast<double>(start_), static_cast<double>(end_));
    layoutPanels();
}

void TForm3::setHistory(std::function<const HistoryStore *()> history)
{
    history_ = std::move(history);
}

void TForm3::setReadings(std::function<Measurement()> readings)
{
    readings_ = std::move(readings);
}

void TForm3::setToday(std::function<QDate()> today)
{
    today_ = std::move(today);
}

void TForm3::connectTo(StationEngine &engine)
{
    setHistory([&engine] { return engine.history(); });
    setReadings([&engine] { return engine.snapshot()->record; });
    clock_ = [&engine] { return engine.now(); };
    connect(&engine, &StationEngine::changed, this, [this, &engine](const SnapshotPtr &s) {
        switch (s->change) {
        case SnapshotChange::Record:
        case SnapshotChange::HistoryCleared: recordTaken(); break;
        case SnapshotChange::Language: translate(engine, s->language); break;
        default: break;
        }
    });
    translate(engine, engine.snapshot()->language);
}

void TForm3::translate(const StationEngine &engine, int language)
{
    dateLocale_ = languageLocale(language);
    std::unique_ptr<LangTable> table = engine.openTranslations();
    // A table that went missing leaves every text as it is.
    if (table && !languageColumn(language).isEmpty()) {
        translateWindow(this, table->rows(3), language, true);
        channelSeriesTitles_ = {TempChart->seriesTitle(1), HumChart->seriesTitle(1)};
    }
    channelNames_ = engine.publishSettings().channels.names;
    showChannelNames();
    SelDate->setLocale(dateLocale_);
    // The check boxes' new texts take new room; the time shown speaks the language.
    layoutPanels();
    if (!sStatusBar1->panelText(1).isEmpty())
        showReadingsTime(engine.snapshot()->record.Dat);
}

HistoryChart *TForm3::chart(Chart c) const
{
    switch (c) {
    case Pressure:
        return PressureChart;
    case Temper:
        return TempChart;
    case Hum:
        return HumChart;
    case Wind:
        return WindChart;
    case Rain:
        return RainChart;
    case Uvi:
    case ChartCount:
        break;
    }
    return UVIChart;
}

Interval TForm3::interval() const
{
    return static_cast<Interval>(intervalIndex_);
}

std::vector<PlotField> TForm3::fieldsOf(Chart c) const
{
    const int channel = CHBox->currentIndex() + 1;
    switch (c) {
    case Pressure:
        return {pressureField(PressureEdBox->currentIndex())};
    case Temper:
        return {indoorTemperatureField(TempEdBox->currentIndex()),
                channelTemperatureField(channel, TempEdBox->currentIndex())};
    case Hum:
        return {indoorHumidityField(), channelHumidityField(channel)};
    case Wind:
        return {windSpeedField(SpeedEdBox->currentIndex())};
    case Uvi:
        return {uvField(UVIEdBox->currentIndex())};
    case Rain:
    case ChartCount:
        break;
    }
    return {};
}

void TForm3::readChart(Chart c)
{
    HistoryChart *target = chart(c);
    const std::vector<PlotField> fields = fieldsOf(c);
    if (fields.empty())
        return;
    const auto from = static_cast<PlainSeconds>(std::floor(target->xMin()));
    const auto to = static_cast<PlainSeconds>(std::ceil(target->xMax()));
    const auto series = source_.read(from, to, target->plotColumns(), fields);
    for (std::size_t s = 0; s < series.size(); ++s)
        target->setSeriesData(static_cast<int>(s), series[s]);
}

void TForm3::readAllCharts()
{
    // One read for the charts that show the window as it is.
    std::vector<PlotField> fields;
    std::vector<std::pair<Chart, int>> owners;
    int columns = 100;
    for (Chart c : {Pressure, Temper, Hum, Wind, Uvi}) {
        HistoryChart *target = chart(c);
        if (target->xMin() != static_cast<double>(start_) || target->xMax() != static_cast<double>(end_)) {
            readChart(c);
            continue;
        }
        columns = std::max(columns, target->plotColumns());
        const std::vector<PlotField> own = fieldsOf(c);
        for (std::size_t s = 0; s < own.size(); ++s) {
            fields.push_back(own[s]);
            owners.emplace_back(c, static_cast<int>(s));
        }
    }
    const auto series = source_.read(start_, end_, columns, fields);
    for (std::size_t i = 0; i < series.size(); ++i)
        chart(owners[i].first)->setSeriesData(owners[i].second, series[i]);
}

void TForm3::HistoryTempClick()
{
    QElapsedTimer timer;
    timer.start();
    // Every record is committed as it arrives: the file is read as it is.
    source_.setStore(history_ ? history_() : nullptr);
    source_.prepareWhenNeeded();

    const Measurement readings = readings_ ? readings_() : Measurement();
    QDateTime at = readings.Dat;
    if (!at.isValid()) {
        if (const auto newest = source_.newest())
            at = plainDateTime(*newest);
        else
            at = QDateTime(today_ ? today_() : QDate::currentDate(), QTime(0, 0), Qt::UTC);
    }
    end_ = windowEndOf(at.date());
    start_ = plainSeconds(at);
    {
        const QSignalBlocker block(SelDate);
        SelDate->setDate(at.date());
    }
    setWindowModality(Qt::ApplicationModal);
    showMaximized();
    layoutPanels();
    IntervalBoxChange();
    showReadingsTime(readings.Dat);
    for (int c = 0; c < ChartCount; ++c)
        chart(static_cast<Chart>(c))->replotNow();
    openMs_ = static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

// The main window's "last update" says the same: the record's time, or the
// computer's before any record has been read.
void TForm3::showReadingsTime(const QDateTime &recordTime)
{
    sStatusBar1->setPanelText(1, lastUpdateText(recordTime, clock_ ? clock_() : QDateTime::currentDateTime(), dateLocale_));
}

void TForm3::DateTimePicker1Change()
{
    end_ = windowEndOf(SelDate->date());
    IntervalBoxChange();
}

void TForm3::IntervalBoxChange()
{
    // Typed text that names no item leaves the interval as it was.
    if (IntervalBox->currentIndex() >= 0 && IntervalBox->currentText() == IntervalBox->itemText(IntervalBox->currentIndex()))
        intervalIndex_ = IntervalBox->currentIndex();
    start_ = history::windowStart(interval(), end_, source_.oldest());
    const QString format = intervalAxisFormat(interval());
    for (int c = 0; c < ChartCount; ++c) {
        HistoryChart *target = chart(static_cast<Chart>(c));
        target->setTimeRange(static_cast<double>(start_), static_cast<double>(end_));
        if (c != Rain)
            target->setTimeFormat(format);
    }
    // The selectors again, in their order, then one read for all charts.
    TempChart->setSeriesVisible(0, CheckBox2->isChecked());
    TempChart->setSeriesVisible(1, CheckBox7->isChecked());
    HumChart->setSeriesVisible(0, CheckBox3->isChecked());
    HumChart->setSeriesVisible(1, CheckBox8->isChecked());
    if (CH1Box->currentIndex() != CHBox->currentIndex())
        CH1Box->setCurrentIndex(CHBox->currentIndex());
    readAllCharts();
    RainEdBoxChange();
}

void TForm3::PressureEdBoxChange()
{
    readChart(Pressure);
}

void TForm3::TempEdBoxChange()
{
    readChart(Temper);
}


void TForm3::SpeedEdBoxChange()
{
    readChart(Wind);
}

void TForm3::UVIEdBoxChange()
{
    readChart(Uvi);
}

void TForm3::RainEdBoxChange()
{
    ComboBox1Change();
}

void TForm3::ComboBox1Change()
{
    RainChart->setToolTip(QString());
    const auto period = static_cast<RainSumPeriod>(std::max(0, ComboBox1->currentIndex()));
    const double factor = rainTipFactor(RainEdBox->currentIndex()) * source_.rainFactor();
    const bool empty = source_.empty();
    RainChart->setBars(
        aggregateRain(start_, end_, period, factor, source_.rainSamples(start_, end_), empty));
}

void TForm3::closeEvent(QCloseEvent *event)
{
    // Only hidden: the selectors and the window keep their state.
    source_.setStore(nullptr);
    QWidget::closeEvent(event);
}

void TForm3::showHint(Chart c, const QPoint &position)
{
    HistoryChart *target = chart(c);
    std::optional<QPointF> p = target->pointAt(position, 0);
    if (!p && (c == Temper || c == Hum))
        p = target->pointAt(position, 1);
    QString text;
    if (p) {
        text = dateLocale_.toString(plainDateTime(static_cast<PlainSeconds>(p->x())), QLocale::ShortFormat) +
               QStringLiteral(" : ") + formatFloat(kPatternTwoDecimals, p->y());
    }
    if (c == Rain)
        RainChart->setToolTip(text);
    else
        sStatusBar1->setPanelText(1, text);
}

void TForm3::recordTaken()
{
    if (!isVisible())
        return;
    source_.setStore(history_ ? history_() : nullptr);
    source_.prepareWhenNeeded();
    for (Chart c : {Pressure, Temper, Hum, Wind, Uvi})
        readChart(c);
    RainEdBoxChange();
    const Measurement readings = readings_ ? readings_() : Measurement();
    showReadingsTime(readings.Dat);
}

QJsonObject TForm3::measureIntervalSwitches()
{
    QJsonObject out;
    const int shown = IntervalBox->currentIndex();
    for (int i = 0; i < IntervalBox->count(); ++i) {
        QElapsedTimer timer;
        timer.start();
        IntervalBox->setCurrentIndex(i);
        IntervalBoxChange();
        for (int c = 0; c < ChartCount; ++c)
            chart(static_cast<Chart>(c))->replotNow();
        out.insert(IntervalBox->itemText(i), static_cast<double>(timer.nsecsElapsed()) / 1e6);
    }
    IntervalBox->setCurrentIndex(shown);
    IntervalBoxChange();
    return out;
}

}  // namespace nimbrel
