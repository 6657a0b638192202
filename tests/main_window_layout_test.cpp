// The main window as a user meets it: every component in its region with its
// designed texts, hints, lists and states; regions of the designed sizes,
// docked as designed; nothing overlapping or clipped, also when a
// translation runs 40 % longer than the Russian text; and the trend chart
// and up-down widgets behaving as the panels expect.
#include "TForm1.h"
#include "AnimatedPicture.h"
#include "PanelStatusBar.h"
#include "PictureBox.h"
#include "PowerMeter.h"
#include "ScrollText.h"
#include "ThermoMeter.h"
#include "TrendChart.h"
#include "UiDump.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QJsonArray>
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScrollArea>
#include <QSpinBox>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QStyleOptionGroupBox>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <memory>

using namespace nimbrel;

namespace {

// Texts as a translation 40 % longer than the Russian would make them: the
// text, then as many more characters of its own again as a further word.
QString longer(const QString &text)
{
    const int extra = int(std::ceil(text.size() * 0.4));
    QString more;
    while (more.size() < extra - 1)
        more += text;
    return text + QLatin1Char(' ') + more.left(extra - 1);
}

bool hasLetters(const QString &text)
{
    for (QChar c : text) {
        if (c.isLetter())
            return true;
    }
    return false;
}

// Whether the label shows the text whole in its rectangle (word-wrapped
// labels may take more lines, as long as no word is cut and the lines fit).
bool labelFits(const QLabel *label, const QString &text, QString *why)
{
    const QFontMetrics fm(label->font());
    const QRect area = label->contentsRect();
    QRect needed;
    if (label->wordWrap())
        needed = fm.boundingRect(QRect(0, 0, area.width(), 10000), Qt::TextWordWrap | Qt::AlignLeft, text);
    else
        needed = QRect(0, 0, fm.horizontalAdvance(text), fm.height());
    if (needed.width() <= area.width() && needed.height() <= area.height())
        return true;
    *why = QStringLiteral("\"%1\" needs %2 x %3, %4 has %5 x %6")
               .arg(text)
               .arg(needed.width())
               .arg(needed.height())
               .arg(label->objectName())
               .arg(area.width())
               .arg(area.height());
    return false;
}

QRect groupContents(const QGroupBox *box)
{
    QStyleOptionGroupBox option;
    option.initFrom(box);
    option.text = box->title();
    option.lineWidth = 1;
    option.midLineWidth = 0;
    option.subControls = QStyle::SC_GroupBoxFrame;
    if (!box->title().isEmpty())
        option.subControls |= QStyle::SC_GroupBoxLabel;
    return box->style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxContents, box);
}

QString designedText(const QObject *object)
{
    if (auto *label = qobject_cast<const QLabel *>(object))
        return label->text();
    if (auto *box = qobject_cast<const QGroupBox *>(object))
        return box->title();
    if (auto *button = qobject_cast<const QAbstractButton *>(object))
        return button->text();
    if (auto *meter = qobject_cast<const ThermoMeter *>(object))
        return meter->caption();
    if (auto *gauge = qobject_cast<const PowerMeter *>(object))
        return gauge->caption();
    if (auto *chart = qobject_cast<const TrendChart *>(object))
        return chart->seriesTitle();
    if (auto *ticker = qobject_cast<const ScrollText *>(object))
        return ticker->text();
    return QString();
}

// Marks a row whose text is a reading the refresh writes: not compared.
const QString kAnyText = QStringLiteral("\x01");

}  // namespace

class MainWindowLayoutTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;
    AppContext context_;
    std::unique_ptr<StationEngine> engine_;
    std::unique_ptr<TForm1> form_;

    template <class T = QObject>
    T *find(const QString &name) const
    {
        return form_->findChild<T *>(name);
    }

    QList<QWidget *> containers() const
    {
        QList<QWidget *> all;
        for (const char *name : {"GroupBox1", "GroupBox2", "GroupBox3", "GroupBox4", "GroupBox5", "GroupBox6",
                                 "GroupBox7", "GroupBox8", "Panel4"})
            all << find<QWidget>(QString::fromLatin1(name));
        return all;
    }

    // Named components shown as designed, directly inside the container.
    static QList<QWidget *> shownComponents(const QWidget *container)
    {
        QList<QWidget *> shown;
        const QList<QWidget *> children = container->findChildren<QWidget *>(Qt::FindDirectChildrenOnly);
        for (QWidget *w : children) {
            if (!w->objectName().isEmpty() && !componentKind(w).isEmpty() && !w->isHidden())
                shown << w;
        }
        return shown;
    }

    // The readings: labels whose text the refresh, the clock or a unit
    // handler writes, with the longest texts they can get.
    static QHash<QString, QStringList> readings()
    {
        const QStringList pressure = {QStringLiteral("----,-"), QStringLiteral("1100.0"), QStringLiteral("32.48")};
        const QStringList temperature = {QStringLiteral("-40.0"), QStringLiteral("176.0"), QStringLiteral("--,-"),
                                         QStringLiteral("HH")};
        const QStringList speed = {QStringLiteral("322.0"), QStringLiteral("UU.UU"), QStringLiteral("--,-")};
        const QStringList since = {QStringLiteral("28.12.2026 23:59"), QStringLiteral("С :")};
        const QStringList clock = {QStringLiteral("23:59"), QStringLiteral("24:00"), QStringLiteral(" ")};
        const QStringList rain = {QStringLiteral("1999.99"), QStringLiteral("0")};
        QStringList comfort;
        for (const char *word : {"Холодно", "Сухо", "Жарко", "Комфортно", "Влажно"})
            comfort << longer(QString::fromUtf8(word));
        QHash<QString, QStringList> r;
        for (const char *n : {"PressureLabel", "PressureLocalL", "MaxPressureL", "MinPressureL"})
            r.insert(QString::fromLatin1(n), pressure);
        for (const char *n : {"PressL1", "PressL2", "PressL3", "PressL4"})
            r.insert(QString::fromLatin1(n), {QStringLiteral("inchHg"), QStringLiteral("mmHg"), QStringLiteral("mBar")});
        for (const char *n : {"SL1", "SL2", "SL3", "SL4", "SL5", "SL6"})
            r.insert(QString::fromLatin1(n), {QStringLiteral("knots"), QStringLiteral("km/h"), QStringLiteral("m/s")});
        for (const char *n : {"RL1", "RL2", "RL3", "RL4"})
            r.insert(QString::fromLatin1(n), {QStringLiteral("inch"), QStringLiteral("mm")});
        r.insert(QStringLiteral("UVIL1"), {QStringLiteral("MED/h"), QStringLiteral("UVI")});
        for (const char *n : {"FromPressureLM", "FromPressureLN", "FromTempDoorLM", "FromTempDoorLN", "FromTempCHLM",
                              "FromTempCHLN", "FromWindSpeedL", "FromWindGustL", "FromRainL"})
            r.insert(QString::fromLatin1(n), since);
        r.insert(QStringLiteral("UVLabel"), {QStringLiteral("99.0"), QStringLiteral("41.9")});
        r.insert(QStringLiteral("LocalTime"), {QStringLiteral("23:59:59")});
        r.insert(QStringLiteral("LocalDate"), {QStringLiteral("30 сентября 2026"), QStringLiteral("30 September 2026")});
        r.insert(QStringLiteral("WeekDayL"), {QStringLiteral("Воскресенье"), QStringLiteral("Wednesday")});
        r.insert(QStringLiteral("NumWeekL"), {QStringLiteral("53")});
        r.insert(QStringLiteral("NumDayL"), {QStringLiteral("999/999"), QStringLiteral("366/0")});
        for (const char *n : {"VoshodL", "ZahodL", "VoshodMoonL", "DlinaDnyL"})
            r.insert(QString::fromLatin1(n), clock);
        r.insert(QStringLiteral("ZahodMoonL"), clock + QStringList{QStringLiteral(" т")});
        for (const char *n : {"TempDoorLabel", "TempCHLabel", "TochkaRosDoorL", "TochkaRosCHL", "MaxTempDoorLabel",
                              "MinTempDoorLabel", "MaxTempCHL", "MinTempCHL"})
            r.insert(QString::fromLatin1(n), temperature);
        r.insert(QStringLiteral("HumDoorLabel"), {QStringLiteral("100"), QStringLiteral("55")});
        r.insert(QStringLiteral("HumCHLabel"), {QStringLiteral("99"), QStringLiteral("--")});
        r.insert(QStringLiteral("ComfStateL"), comfort);
        r.insert(QStringLiteral("ComfState1L"), comfort);
        r.insert(QStringLiteral("UTAL"), {QStringLiteral("Hi:176.0"), QStringLiteral("Hi:-40.0"), QStringLiteral("Hi:--,-")});
        r.insert(QStringLiteral("LTAL"), {QStringLiteral("Lo:176.0"), QStringLiteral("Lo:-40.0"), QStringLiteral("Lo:--,-")});
        for (const char *n : {"RainLHL", "RainLDL", "AllRainL"})
            r.insert(QString::fromLatin1(n), rain);
        r.insert(QStringLiteral("RainLL"), {QStringLiteral("1375.00")});
        r.insert(QStringLiteral("RAL"), {QStringLiteral("Hi:1375.00")});
        for (const char *n : {"WindSpeedL", "WindGustL", "MaxWindSpeedL", "MaxWindGustL"})
            r.insert(QString::fromLatin1(n), speed);
        r.insert(QStringLiteral("WSAL"), {QStringLiteral("Hi:322.0")});
        r.insert(QStringLiteral("WGAL"), {QStringLiteral("Hi:322.0")});
        r.insert(QStringLiteral("WindChillL"), {QStringLiteral("-40.0"), QStringLiteral("210.2"), QStringLiteral("UU.UU")});
        r.insert(QStringLiteral("WindDirectionLabel"), {QStringLiteral("WNW"), QStringLiteral("NNW")});
        r.insert(QStringLiteral("WindDirectionLabel1"), {QStringLiteral("337,5"), QStringLiteral("292,5")});
        return r;
    }

    // Every component of the window's regions, as designed.
    static void componentTable()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("hint");
        auto row = [](const char *name, const char *kind, const QString &text, const char *hint = "") {
            QTest::newRow(name) << QString::fromLatin1(kind) << text << QString::fromUtf8(hint);
        };
        auto t = [](const char *text) { return QString::fromUtf8(text); };

        // Regions.
        row("ScrollBox1", "TScrollBox", kAnyText);
        for (const char *n : {"Panel1", "Panel2", "Panel3", "Panel4"})
            row(n, "TPanel", kAnyText);
        row("GroupBox1", "TGroupBox", t("Прогноз погоды и атмосферное давление"));
        row("GroupBox3", "TGroupBox", t("УФИ"));
        row("GroupBox4", "TGroupBox", t("Время и дата"));
        row("GroupBox2", "TGroupBox", t("Восход/заход"));
        row("GroupBox7", "TGroupBox", t("Температура и влажность"));
        row("GroupBox6", "TGroupBox", t("Осадки"));
        row("GroupBox5", "TGroupBox", t("Ветер"));

        // Pressure and forecast.
        row("PressureLabel", "TLabel", kAnyText, "Давление на уровне моря");
        row("PressureLocalL", "TLabel", kAnyText, "Атмосферное давление");
        row("PressureTrend", "TVrBitmapImage", kAnyText, "Тенденция изменения давления");
        row("WeatherImage", "TVrAnimate", kAnyText, "Состояние погоды");
        row("WeatherStateImage", "TVrAnimate", kAnyText);
        row("WeatherStateL", "TLabel", t("нестабильная погода"));
        row("PressureChart", "TChart", t("Давление за последние 24 часа"), "Давление за последние 24 часа");
        row("MaxPressureL", "TLabel", kAnyText, "Максимум атмосферного давления");
        row("MinPressureL", "TLabel", kAnyText, "Минимум атмосферного давления");
        for (const char *n : {"PressL1", "PressL2", "PressL3", "PressL4"})
            row(n, "TLabel", t("hPa"));
        for (const char *n : {"FromPressureLM", "FromPressureLN", "FromTempDoorLM", "FromTempDoorLN", "FromTempCHLM",
                              "FromTempCHLN", "FromWindSpeedL", "FromWindGustL", "FromRainL"})
            row(n, "TLabel", t("С :"));

        // Temperature and humidity.
        row("TempDoorLabel", "TLabel", kAnyText, "Текущая температура");
        row("HumDoorLabel", "TLabel", kAnyText, "Влажность ");
        row("TochkaRosDoorL", "TLabel", kAnyText, "Точка росы");
        row("ComfStateL", "TLabel", kAnyText, "Комфортность");
        row("TempCHLabel", "TLabel", kAnyText, "Текущая температура канала");
        row("HumCHLabel", "TLabel", kAnyText, "Влажность канала");
        row("TochkaRosCHL", "TLabel", kAnyText, "Точка росы канала");
        row("ComfState1L", "TLabel", kAnyText, "Комфортность");
        row("Termo1", "TvrThermoMeter", t("Температура"), "Температура");
        row("Termo2", "TvrThermoMeter", t("Температура канала"), "Температура канала");
        row("MaxTempDoorLabel", "TLabel", kAnyText, "Максимум температуры");
        row("MinTempDoorLabel", "TLabel", kAnyText, "Минимум температуры");
        row("MaxTempCHL", "TLabel", kAnyText, "Максимум температуры канала");
        row("MinTempCHL", "TLabel", kAnyText, "Минимум температуры канала");
        row("UTAL", "TLabel", kAnyText);
        row("LTAL", "TLabel", kAnyText);
        row("HumMeter", "TVrPowerMeter", QString(), "Влажность");
        row("HumMeter1", "TVrPowerMeter", QString(), "Влажность канала");
        for (const char *n : {"TempDoorTrend", "HumDoorTrend", "TempCHTrend", "HumCHTrend"})
            row(n, "TVrBitmapImage", kAnyText);
        row("BatCH", "TVrBitmapImage", kAnyText, "Состояние батареек");
        row("TAS", "TImage", kAnyText);
        row("ComfState", "TComboBox", kAnyText);
        row("ComfStateCH", "TComboBox", kAnyText);
        row("CHBox", "TComboBox", kAnyText);
        for (const char *n : {"TL1", "TL2", "TL3", "TL4", "TL5", "TL6", "TL7", "TL8", "TL9"})
            row(n, "TImage", kAnyText);

        // Wind.
        row("WindSpeedL", "TLabel", kAnyText, "Скорость ветра");
        row("WindGustL", "TLabel", kAnyText, "Порыв ветра");
        row("MaxWindSpeedL", "TLabel", kAnyText, "Максимум скорости ветра");
        row("MaxWindGustL", "TLabel", kAnyText, "Максимум порыва ветра");
        row("WSAL", "TLabel", kAnyText);
        row("WGAL", "TLabel", kAnyText);
        row("WSAS", "TImage", kAnyText);
        row("WGAS", "TImage", kAnyText);
        row("WindDirectionLabel", "TLabel", kAnyText, "Направление ветра");
        row("WindDirectionLabel1", "TLabel", kAnyText, "Направление ветра");
        row("Compass", "TVrBitmapImage", kAnyText);
        row("WindChillL", "TLabel", kAnyText, "Температура с учётом ветра");
        row("BatWind", "TVrBitmapImage", kAnyText, "Состояние батареек");
        // Its own texts, not the UV chart's.
        row("WindSpeedChart", "TChart", t("Скорость ветра"), "Скорость ветра за последние 7 дней");
        for (const char *n : {"SL1", "SL2", "SL3", "SL4", "SL5", "SL6"})
            row(n, "TLabel", t("km/h"));

        // Rain.
        row("RainLHL", "TLabel", kAnyText, "Осадки за последний час");
        row("RainLHV", "TVrPowerMeter", t("За час"), "Осадки за последний час");
        row("RainLDL", "TLabel", kAnyText, "Осадки за последние 24 часа");
        row("RainLDV", "TVrPowerMeter", t("За 24 ч"), "Осадки за последние 24 часа");
        row("RainBox", "TComboBox", kAnyText);
        row("RainLL", "TLabel", kAnyText);
        row("RainLV", "TVrPowerMeter", QString());
        row("AllRainL", "TLabel", kAnyText);
        row("RAL", "TLabel", kAnyText);
        row("RAS", "TImage", kAnyText);
        row("BatRain", "TVrBitmapImage", kAnyText, "Состояние батареек");
        for (const char *n : {"RL1", "RL2", "RL3", "RL4"})
            row(n, "TLabel", t("inch"));

        // UV.
        row("UVLabel", "TLabel", kAnyText, "Текущее УФИ");
        row("UVIImage", "TImage", kAnyText, "Комфортность УФИ");
        row("UVIChart", "TChart", t("UVI"), "УФИ за последние 7 дней");
        row("BatUVI", "TVrBitmapImage", kAnyText, "Состояние батареек");
        row("UVIL1", "TLabel", t("UVI"));

        // Time, date and location.
        row("LocalDate", "TLabel", kAnyText, "Дата");
        row("LocalTime", "TLabel", kAnyText, "Время");
        row("WeekDayL", "TLabel", t("12:38"), "День недели");
        row("NumWeekL", "TLabel", t("99"), "Номер недели");
        row("NumDayL", "TLabel", t("999/999"), "Номер дня");
        row("DSTL", "TLabel", kAnyText);
        row("IsUserCity", "TCheckBox", t("User"), "Выбор пользователем");
        row("CityBox", "TComboBox", kAnyText, "Местоположение");
        for (const char *n : {"LatitudeLM", "LatitudeLS", "LongitudeLM", "LongitudeLS", "TL"})
            row(n, "TEdit", kAnyText);
        for (const char *n : {"LatitudeLMUD", "LatitudeLSUD", "LongitudeLMUD", "LongitudeLSUD", "TLUD"})
            row(n, "TUpDown", kAnyText);
        row("LocBox1", "TComboBox", kAnyText);
        row("LocBox2", "TComboBox", kAnyText);

        // Sun and moon.
        row("VoshodL", "TLabel", t("6:08"), "Восход Солнца");
        row("ZahodL", "TLabel", t("7:13"), "Заход Солнца");
        row("DlinaDnyL", "TLabel", t("23:23"), "Долгота дня");
        row("VoshodMoonL", "TLabel", kAnyText, "Восход Луны");
        row("ZahodMoonL", "TLabel", kAnyText, "Заход Луны");
        row("ZemlyImage", "TImage", kAnyText);
        row("MoonImage", "TImage", kAnyText, "Фаза Луны");

        // Settings strip.
        row("HistoryTemp", "TBitBtn", t("История"), "Просмотр истории показаний");
        row("BitBtn1", "TBitBtn", t("Меню"));
        row("Label27", "TLabel", t("Язык интерфеса:"));
        row("LangBox", "TComboBox", kAnyText, "Язык интерфейса");
        row("Label25", "TLabel", t("Уровень моря:"));
        row("PressLevel", "TEdit", kAnyText, "Уровень моря");
        row("SpeedButton1", "TSpeedButton", kAnyText, "Подтвердить изменение уровня моря");
        row("Label20", "TLabel", t("Период обмена:"));
        row("PeriodBox", "TComboBox", kAnyText, "Период обмена");
        row("Label23", "TLabel", t("Температура:"));
        row("Label22", "TLabel", t("Давление:"));
        row("Label1", "TLabel", t("Скорость:"));
        row("Label21", "TLabel", t("Осадки:"));
        row("Label24", "TLabel", t("Излучение:"));
        for (const char *n : {"TempEdBox", "PressureEdBox", "SpeedEdBox", "RainEdBox", "UVIEdBox"})
            row(n, "TComboBox", kAnyText);
        row("VrScrollText1", "TVrScrollText", kAnyText);
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(dir_.isValid());
        context_.workDir = dir_.path();
        engine_ = std::make_unique<StationEngine>(context_);
        form_ = std::make_unique<TForm1>(*engine_);
        // Layout checks look at the window as designed, before the start-up
        // panel is lifted and any value is written.
        form_->ui.TempPanel->hide();
    }

    void cleanupTestCase() { form_.reset(); }

    void everyComponentAsDesigned_data() { componentTable(); }
    void everyComponentAsDesigned()
    {
        QFETCH(QString, kind);
        QFETCH(QString, text);
        QFETCH(QString, hint);
        const QString name = QString::fromLatin1(QTest::currentDataTag());
        QObject *object = find(name);
        QVERIFY2(object, qPrintable(name + QStringLiteral(" is missing")));
        QCOMPARE(componentKind(object), kind);
        if (text != kAnyText)
            QCOMPARE(designedText(object), text);
        if (auto *widget = qobject_cast<QWidget *>(object))
            QCOMPARE(widget->toolTip(), hint);
    }

    void dumpNamesEveryComponentWithItsKind_data() { componentTable(); }
    void dumpNamesEveryComponentWithItsKind()
    {
        QFETCH(QString, kind);
        static const QJsonObject dump = dumpComponents(form_.get());
        const QString name = QString::fromLatin1(QTest::currentDataTag());
        QVERIFY2(dump.contains(name), qPrintable(name));
        QCOMPARE(dump[name][QStringLiteral("kind")].toString(), kind);
    }

    void listsAsDesigned_data()
    {
        QTest::addColumn<QStringList>("items");
        QTest::addColumn<int>("index");
        const QStringList comfort = {QStringLiteral("Холодно"), QStringLiteral("Сухо"), QStringLiteral("Жарко"),
                                     QStringLiteral("Комфортно"), QStringLiteral("Влажно")};
        QTest::newRow("CHBox") << QStringList{"CH1", "CH2", "CH3", "CH4", "CH5"} << 0;
        QTest::newRow("RainBox") << QStringList{QStringLiteral("вчера"), QStringLiteral("неделя"), QStringLiteral("месяц")} << 0;
        QTest::newRow("ComfState") << comfort << 0;
        QTest::newRow("ComfStateCH") << comfort << 0;
        QTest::newRow("LocBox1") << QStringList{QStringLiteral("C"), QStringLiteral("Ю")} << 0;
        QTest::newRow("LocBox2") << QStringList{QStringLiteral("З"), QStringLiteral("В")} << 0;
        QTest::newRow("CityBox") << QStringList{} << -1;
        QTest::newRow("LangBox") << QStringList{QStringLiteral("Русский"), QStringLiteral("Английский"),
                                                QStringLiteral("Немецкий"), QStringLiteral("Французский"),
                                                QStringLiteral("Итальянский")}
                                 << 1;
        QTest::newRow("PeriodBox") << QStringList{QStringLiteral("5 мин"), QStringLiteral("10 мин"),
                                                  QStringLiteral("20 мин"), QStringLiteral("30 мин"),
                                                  QStringLiteral("1 час"), QStringLiteral("1.5 часа"),
                                                  QStringLiteral("2 часа"), QStringLiteral("3 часа"),
                                                  QStringLiteral("4 часа"), QStringLiteral("6 часов"),
                                                  QStringLiteral("1 день")}
                                   << 5;
        QTest::newRow("TempEdBox") << QStringList{"C", "F"} << 0;
        QTest::newRow("PressureEdBox") << QStringList{"hPa", "mBar", "mmHg", "inchHg"} << 0;
        QTest::newRow("SpeedEdBox") << QStringList{"km/h", "mph", "m/s", "knots"} << 0;
        QTest::newRow("RainEdBox") << QStringList{"inch", "mm"} << 0;
        QTest::newRow("UVIEdBox") << QStringList{"UVI", "MED/h"} << 0;
    }
    void listsAsDesigned()
    {
        QFETCH(QStringList, items);
        QFETCH(int, index);
        auto *box = find<QComboBox>(QString::fromLatin1(QTest::currentDataTag()));
        QVERIFY(box);
        QStringList shown;
        for (int i = 0; i < box->count(); ++i)
            shown << box->itemText(i);
        QCOMPARE(shown, items);
        QCOMPARE(box->currentIndex(), index);
    }

    // What is hidden or disabled when the window opens.
    void designedStates_data()
    {
        QTest::addColumn<bool>("shown");
        QTest::addColumn<bool>("enabled");
        for (const char *n : {"WeatherStateImage", "WeatherStateL", "ComfState", "ComfStateCH", "DSTL"})
            QTest::newRow(n) << false << true;
        QTest::newRow("CityBox") << true << false;
        for (const char *n : {"LatitudeLM", "LatitudeLS", "LongitudeLM", "LongitudeLS", "LatitudeLMUD",
                              "LatitudeLSUD", "LongitudeLMUD", "LongitudeLSUD", "LocBox1", "LocBox2", "TL", "TLUD"})
            QTest::newRow(n) << true << false;
        for (const char *n : {"IsUserCity", "CHBox", "RainBox", "WeatherImage", "VrScrollText1", "PressLevel"})
            QTest::newRow(n) << true << true;
    }
    void designedStates()
    {
        QFETCH(bool, shown);
        QFETCH(bool, enabled);
        auto *w = find<QWidget>(QString::fromLatin1(QTest::currentDataTag()));
        QVERIFY(w);
        QCOMPARE(!w->isHidden(), shown);
        QCOMPARE(w->isEnabled(), enabled);
    }

    void picturesStartAsDesigned_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("pictures");
        QTest::addColumn<QSize>("size");
        // The alarm picture of the indoor limits keeps the outline bell.
        QTest::newRow("TAS") << 1 << 2 << QSize(16, 16);
        for (const char *n : {"TL1", "TL2", "TL3", "TL4", "TL5", "TL6", "TL7", "TL8", "TL9"})
            QTest::newRow(n) << 0 << 2 << QSize(16, 16);
        QTest::newRow("MoonImage") << 0 << 36 << QSize(90, 81);
        QTest::newRow("ZemlyImage") << 0 << 12 << QSize(160, 70);
        QTest::newRow("Compass") << 0 << 16 << QSize(84, 84);
        QTest::newRow("UVIImage") << 0 << 11 << QSize(204, 68);
        for (const char *n : {"PressureTrend", "TempDoorTrend", "HumDoorTrend", "TempCHTrend", "HumCHTrend"})
            QTest::newRow(n) << -1 << 3 << QSize(16, 16);
    }
    void picturesStartAsDesigned()
    {
        QFETCH(int, index);
        QFETCH(int, pictures);
        QFETCH(QSize, size);
        auto *box = find<PictureBox>(QString::fromLatin1(QTest::currentDataTag()));
        QVERIFY(box);
        QCOMPARE(box->index(), index);
        QCOMPARE(box->pictures().size(), pictures);
        QCOMPARE(box->size(), size);
    }

    void weatherPictureShowsFramesOfItsList()
    {
        auto *weather = find<AnimatedPicture>(QStringLiteral("WeatherImage"));
        QCOMPARE(weather->strips().size(), 8);
        QCOMPARE(weather->frameCount(), 2);
        QCOMPARE(weather->interval(), 500);
        QCOMPARE(weather->frameSize(), QSize(145, 121));
        QCOMPARE(weather->size(), QSize(145, 121));
    }

    void thermometersOnTheirCelsiusScales()
    {
        auto *indoor = find<ThermoMeter>(QStringLiteral("Termo1"));
        auto *channel = find<ThermoMeter>(QStringLiteral("Termo2"));
        QCOMPARE(QPair(indoor->scaleMin(), indoor->scaleMax()), QPair(-10, 60));
        QCOMPARE(QPair(channel->scaleMin(), channel->scaleMax()), QPair(-40, 80));
        for (ThermoMeter *t : {indoor, channel})
            QCOMPARE(QPair(t->majorStep(), t->minorStep()), QPair(20, 10));
    }

    void chartsAsDesigned_data()
    {
        QTest::addColumn<QString>("xZero");
        QTest::addColumn<double>("xMin");
        QTest::addColumn<QString>("xMinLabel");
        QTest::newRow("PressureChart") << QStringLiteral("0h") << -24.0 << QStringLiteral("-24h");
        QTest::newRow("UVIChart") << QStringLiteral("0d") << -7.0 << QStringLiteral("-7d");
        QTest::newRow("WindSpeedChart") << QStringLiteral("0d") << -7.0 << QStringLiteral("-7d");
    }
    void chartsAsDesigned()
    {
        QFETCH(QString, xZero);
        QFETCH(double, xMin);
        QFETCH(QString, xMinLabel);
        auto *chart = find<TrendChart>(QString::fromLatin1(QTest::currentDataTag()));
        QVERIFY(chart);
        QCOMPARE(chart->formatXLabel(0), xZero);
        QCOMPARE(chart->formatXLabel(xMin), xMinLabel);
        QCOMPARE(chart->xMin(), xMin);
        QCOMPARE(chart->xMax(), 0.0);
        QCOMPARE(chart->pointCount(), 0);
    }

    // The regions' sizes and their docking.
    void regionsOfTheDesignedSizes_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::newRow("ScrollBox1") << QSize(870, 647);
        QTest::newRow("Panel1") << QSize(865, 593);
        QTest::newRow("Panel2") << QSize(432, 593);
        QTest::newRow("GroupBox1") << QSize(430, 224);
        QTest::newRow("GroupBox3") << QSize(430, 116);
        QTest::newRow("GroupBox4") << QSize(430, 136);
        QTest::newRow("GroupBox2") << QSize(430, 118);
        QTest::newRow("GroupBox7") << QSize(429, 258);
        QTest::newRow("GroupBox6") << QSize(429, 132);
        QTest::newRow("GroupBox5") << QSize(429, 199);
        QTest::newRow("Panel4") << QSize(866, 49);
        QTest::newRow("VrScrollText1") << QSize(110, 16);
    }
    void regionsOfTheDesignedSizes()
    {
        QFETCH(QSize, size);
        auto *w = find<QWidget>(QString::fromLatin1(QTest::currentDataTag()));
        QVERIFY(w);
        QCOMPARE(w->size(), size);
    }

    void regionsDockedAsDesigned()
    {
        auto geometry = [this](const char *name) { return find<QWidget>(QString::fromLatin1(name))->geometry(); };
        const QRect panel2 = geometry("Panel2");
        const QRect panel3 = geometry("Panel3");
        // Left column: pressure at the top, UV and time below it in turn, sun
        // and moon on the bottom edge.
        QCOMPARE(geometry("GroupBox1").top(), 0);
        QCOMPARE(geometry("GroupBox3").top(), geometry("GroupBox1").bottom() + 1);
        QCOMPARE(geometry("GroupBox4").top(), geometry("GroupBox3").bottom() + 1);
        QCOMPARE(geometry("GroupBox2").bottom(), panel2.height() - 1);
        QCOMPARE(panel3.left(), panel2.right() + 1);
        QCOMPARE(panel2.left(), 0);
        // Right column: wind on the bottom edge, rain on it, temperature
        // filling the rest; all inside the column's 2-pixel border.
        QCOMPARE(geometry("GroupBox5").bottom(), panel3.height() - 3);
        QCOMPARE(geometry("GroupBox6").bottom() + 1, geometry("GroupBox5").top());
        QCOMPARE(geometry("GroupBox7").bottom() + 1, geometry("GroupBox6").top());
        QCOMPARE(geometry("GroupBox7").top(), 2);
        // The settings strip at the bottom of the scroll box's content, the
        // ticker in its right end, just above the status bar.
        const QWidget *content = form_->ui.ScrollBox1->widget();
        QCOMPARE(geometry("Panel4").bottom(), content->height() - 1);
        QCOMPARE(geometry("Panel1").top(), 0);
        const QRect ticker = geometry("VrScrollText1");
        QVERIFY(ticker.right() > geometry("Panel4").width() - 20);
        QVERIFY(ticker.bottom() > geometry("Panel4").height() - 10);
        QCOMPARE(form_->ui.ScrollBox1->geometry().bottom() + 1, form_->ui.sStatusBar1->geometry().top());
    }

    // No component covers another, and every component stays inside its box
    // and below the box's title, except the battery signs that sit in the
    // title row by design.
    void componentsNeitherOverlapNorLeaveTheirBox_data()
    {
        QTest::addColumn<QWidget *>("container");
        for (QWidget *c : containers())
            QTest::newRow(qPrintable(c->objectName())) << c;
    }
    void componentsNeitherOverlapNorLeaveTheirBox()
    {
        QFETCH(QWidget *, container);
        const QStringList inTitleRow = {QStringLiteral("BatUVI"), QStringLiteral("BatRain"), QStringLiteral("BatWind")};
        const QList<QWidget *> shown = shownComponents(container);
        QVERIFY(!shown.isEmpty());
        // Inside the frame; below the title of a titled box.
        QRect area = container->rect().adjusted(1, 1, -1, -1);
        if (auto *box = qobject_cast<QGroupBox *>(container); box && !box->title().isEmpty())
            area = groupContents(box);
        for (QWidget *w : shown) {
            QRect allowed = area;
            if (inTitleRow.contains(w->objectName()))
                allowed.setTop(0);
            QVERIFY2(allowed.contains(w->geometry()),
                     qPrintable(QStringLiteral("%1 at (%2, %3, %4 x %5) leaves (%6, %7, %8 x %9)")
                                    .arg(w->objectName())
                                    .arg(w->x())
                                    .arg(w->y())
                                    .arg(w->width())
                                    .arg(w->height())
                                    .arg(allowed.x())
                                    .arg(allowed.y())
                                    .arg(allowed.width())
                                    .arg(allowed.height())));
        }
        for (int i = 0; i < shown.size(); ++i) {
            for (int j = i + 1; j < shown.size(); ++j) {
                QVERIFY2(!shown[i]->geometry().intersects(shown[j]->geometry()),
                         qPrintable(shown[i]->objectName() + QStringLiteral(" overlaps ") + shown[j]->objectName()));
            }
        }
    }

    // Fixed captions keep room for translations 40 % longer.
    void captionsFitLongerTranslations()
    {
        const QHash<QString, QStringList> values = readings();
        const QList<QLabel *> labels = form_->ui.ScrollBox1->widget()->findChildren<QLabel *>();
        int checked = 0;
        for (QLabel *label : labels) {
            if (label->isHidden() || values.contains(label->objectName()) || !hasLetters(label->text()))
                continue;
            QString why;
            QVERIFY2(labelFits(label, longer(label->text()), &why), qPrintable(why));
            ++checked;
        }
        QVERIFY(checked >= 30);
    }

    void readingsFitTheirLongestTexts()
    {
        const QHash<QString, QStringList> values = readings();
        for (auto it = values.cbegin(); it != values.cend(); ++it) {
            auto *label = find<QLabel>(it.key());
            QVERIFY2(label, qPrintable(it.key()));
            for (const QString &text : it.value()) {
                QString why;
                QVERIFY2(labelFits(label, text, &why), qPrintable(why));
            }
        }
    }

    void groupTitlesFitLongerTranslations()
    {
        const QList<QGroupBox *> boxes = form_->ui.ScrollBox1->widget()->findChildren<QGroupBox *>();
        for (QGroupBox *box : boxes) {
            if (box->title().isEmpty())
                continue;
            // The title runs from the frame's left inset; batteries keep the
            // right end of the row.
            int room = box->width() - 16;
            for (QWidget *w : box->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
                if (w->y() < groupContents(box).top() && !w->isHidden())
                    room = std::min(room, w->x() - 8);
            }
            const int needed = QFontMetrics(box->font()).horizontalAdvance(longer(box->title()));
            QVERIFY2(needed <= room, qPrintable(QStringLiteral("%1: %2 > %3").arg(box->objectName()).arg(needed).arg(room)));
        }
    }

    void buttonCaptionsFitLongerTranslations_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("history") << QStringLiteral("HistoryTemp");
        QTest::newRow("menu") << QStringLiteral("BitBtn1");
        QTest::newRow("user city") << QStringLiteral("IsUserCity");
    }
    void buttonCaptionsFitLongerTranslations()
    {
        QFETCH(QString, name);
        auto *button = find<QAbstractButton>(name);
        QVERIFY(button);
        const QString original = button->text();
        button->setText(longer(original));
        const int needed = button->sizeHint().width() - (qobject_cast<QPushButton *>(button) ? 16 : 0);
        button->setText(original);
        QVERIFY2(needed <= button->width(), qPrintable(QStringLiteral("%1 > %2").arg(needed).arg(button->width())));
    }

    // Every item of every shown list reads whole in its box.
    void listItemsFitTheirBoxes()
    {
        const QList<QComboBox *> boxes = form_->ui.ScrollBox1->widget()->findChildren<QComboBox *>();
        for (QComboBox *box : boxes) {
            if (box->isHidden())
                continue;
            QStyleOptionComboBox option;
            option.initFrom(box);
            option.rect = box->rect();
            const QRect field = box->style()->subControlRect(QStyle::CC_ComboBox, &option,
                                                             QStyle::SC_ComboBoxEditField, box);
            const QFontMetrics fm(box->font());
            for (int i = 0; i < box->count(); ++i) {
                QVERIFY2(fm.horizontalAdvance(box->itemText(i)) <= field.width(),
                         qPrintable(box->objectName() + QStringLiteral(": ") + box->itemText(i)));
            }
        }
    }

    // ---- Up-down buttons and the time-zone edit ----------------------------

    void upDownsStepWithinTheRange_data()
    {
        QTest::addColumn<QString>("upDown");
        QTest::addColumn<double>("start");
        QTest::addColumn<int>("steps");  // positive: up
        QTest::addColumn<double>("expected");
        QTest::newRow("minutes stop at 59") << QStringLiteral("LatitudeLSUD") << 58.0 << 3 << 59.0;
        QTest::newRow("minutes stop at 0") << QStringLiteral("LongitudeLSUD") << 1.0 << -4 << 0.0;
        QTest::newRow("degrees stop at 179") << QStringLiteral("LongitudeLMUD") << 178.0 << 2 << 179.0;
        QTest::newRow("degrees step down") << QStringLiteral("LatitudeLMUD") << 55.0 << -1 << 54.0;
        QTest::newRow("zone by half hours") << QStringLiteral("TLUD") << 5.5 << 1 << 6.0;
        QTest::newRow("zone stops at 14") << QStringLiteral("TLUD") << 13.5 << 4 << 14.0;
        QTest::newRow("zone stops at -12") << QStringLiteral("TLUD") << -11.0 << -5 << -12.0;
    }
    void upDownsStepWithinTheRange()
    {
        QFETCH(QString, upDown);
        QFETCH(double, start);
        QFETCH(int, steps);
        QFETCH(double, expected);
        auto *ud = find<UpDown>(upDown);
        QVERIFY(ud);
        QAbstractSpinBox *edit = ud->associate();
        QCOMPARE(edit->objectName() + QStringLiteral("UD"), upDown);
        auto value = [edit] {
            if (auto *d = qobject_cast<QDoubleSpinBox *>(edit))
                return d->value();
            return double(qobject_cast<QSpinBox *>(edit)->value());
        };
        auto set = [edit](double v) {
            if (auto *d = qobject_cast<QDoubleSpinBox *>(edit))
                d->setValue(v);
            else
                qobject_cast<QSpinBox *>(edit)->setValue(int(v));
        };
        set(start);
        for (int i = 0; i < std::abs(steps); ++i)
            steps > 0 ? ud->stepUp() : ud->stepDown();
        QCOMPARE(value(), expected);
    }

    void timeZoneKeepsNegativeAndHalfHourZones_data()
    {
        QTest::addColumn<double>("zone");
        QTest::addColumn<QString>("text");  // as many decimals as the zone needs
        QTest::newRow("India") << 5.5 << "5.5";
        QTest::newRow("Newfoundland") << -3.5 << "-3.5";
        QTest::newRow("Kiribati") << 14.0 << "14";
        QTest::newRow("Baker Island") << -12.0 << "-12";
        QTest::newRow("Nepal") << 5.75 << "5.75";
        QTest::newRow("Chatham Islands") << 12.75 << "12.75";
        QTest::newRow("Moscow") << 3.0 << "3";
        QTest::newRow("Greenwich") << 0.0 << "0";
    }
    void timeZoneKeepsNegativeAndHalfHourZones()
    {
        QFETCH(double, zone);
        QFETCH(QString, text);
        form_->ui.TL->setValue(zone);
        QCOMPARE(form_->ui.TL->value(), zone);
        QCOMPARE(form_->ui.TL->text(), text.replace(QLatin1Char('.'), QLocale().decimalPoint()));
    }

    // The ends of every number edit's range read whole in the edit.
    void numberEditsShowTheirWholeRange()
    {
        const QList<QAbstractSpinBox *> edits = form_->ui.ScrollBox1->widget()->findChildren<QAbstractSpinBox *>();
        QVERIFY(edits.size() >= 5);  // the coordinates and the zone
        for (QAbstractSpinBox *edit : edits) {
            QStringList texts;
            if (auto *whole = qobject_cast<QSpinBox *>(edit)) {
                const int kept = whole->value();
                for (int v : {whole->minimum(), whole->maximum()}) {
                    whole->setValue(v);
                    texts << whole->text();
                }
                whole->setValue(kept);
            } else if (auto *real = qobject_cast<QDoubleSpinBox *>(edit)) {
                const double kept = real->value();
                for (double v : {real->minimum() + 0.75, real->maximum() - 0.25}) {
                    real->setValue(v);
                    texts << real->text();
                }
                real->setValue(kept);
            }
            // The frame and the text margins take about 4 pixels a side.
            const QFontMetrics fm(edit->font());
            for (const QString &text : texts)
                QVERIFY2(fm.horizontalAdvance(text) + 8 <= edit->width(), qPrintable(edit->objectName() + QLatin1Char(' ') + text));
        }
    }

    void escapeRestoresTheTimeZone()
    {
        QDoubleSpinBox *zone = form_->ui.TL;
        zone->setValue(3.0);
        zone->setEnabled(true);
        QFocusEvent focusIn(QEvent::FocusIn);
        QCoreApplication::sendEvent(zone, &focusIn);
        zone->setValue(7.5);
        QTest::keyClick(zone, Qt::Key_Escape);
        QCOMPARE(zone->value(), 3.0);
        zone->setEnabled(false);
    }

    // ---- Trend chart -------------------------------------------------------

    void chartLabelsFollowTheirPattern_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QString>("expected");
        QLocale plain(QLocale::C);
        plain.setNumberOptions(QLocale::OmitGroupSeparator);
        const QLocale german(QLocale::German, QLocale::Germany);
        QTest::newRow("hours back") << -24.0 << "#,##0.###h" << plain << "-24h";
        QTest::newRow("now") << 0.0 << "#,##0.###h" << plain << "0h";
        QTest::newRow("tiny negative is zero") << -0.0001 << "#,##0.###d" << plain << "0d";
        QTest::newRow("fraction trimmed") << -2.5 << "#,##0.###d" << plain << "-2.5d";
        QTest::newRow("three decimals at most") << 1.23456 << "#,##0.###" << plain << "1.235";
        QTest::newRow("grouping left out") << 12345.0 << "#,##0.###" << plain << "12345";
        QTest::newRow("grouping by locale") << 12345.5 << "#,##0.###" << german << "12.345,5";
        QTest::newRow("no grouping asked") << 12345.0 << "0.0" << german << "12345,0";
        QTest::newRow("fixed decimals kept") << 3.0 << "0.00" << plain << "3.00";
        QTest::newRow("mixed decimals") << 2.5 << "0.0#" << plain << "2.5";
        QTest::newRow("prefix and suffix") << 7.0 << "~0 days" << plain << "~7 days";
    }
    void chartLabelsFollowTheirPattern()
    {
        QFETCH(double, value);
        QFETCH(QString, pattern);
        QFETCH(QLocale, locale);
        QFETCH(QString, expected);
        QCOMPARE(TrendChart::formatWithPattern(value, pattern, locale), expected);
    }

    void chartFindsThePointUnderTheMouse()
    {
        TrendChart chart;
        chart.resize(200, 100);
        chart.setXRange(-7, 0);
        chart.setYRange(0, 20);
        const double speeds[] = {0, 8.05, 8.05, 19.32, 19.32, 19.32, 19.32, 19.32};
        for (int k = 7; k >= 0; --k)
            chart.addPoint(-k, speeds[7 - k]);
        chart.show();
        QVERIFY(QTest::qWaitForWindowExposed(&chart));
        for (int i = 0; i < chart.pointCount(); ++i) {
            const QPoint at = chart.pointPosition(i).toPoint();
            QVERIFY2(chart.rect().contains(at), qPrintable(QString::number(i)));
            QCOMPARE(chart.pointAt(at), i);
            QCOMPARE(chart.pointAt(at + QPoint(3, -2)), i);
        }
        // Newest point at the right end, the oldest at the left.
        QVERIFY(chart.pointPosition(7).x() > chart.pointPosition(0).x());
        QVERIFY(chart.pointPosition(7).y() < chart.pointPosition(0).y());
        // Between two points on the line, and far from any.
        const QPointF between = (chart.pointPosition(0) + chart.pointPosition(1)) / 2;
        QCOMPARE(chart.pointAt(between.toPoint()), -1);
        QCOMPARE(chart.pointAt(QPoint(2, 2)), -1);
        chart.clear();
        QCOMPARE(chart.pointAt(QPoint(100, 50)), -1);
    }

    void chartReportsMouseMoves()
    {
        TrendChart chart;
        chart.resize(200, 100);
        chart.show();
        QVERIFY(QTest::qWaitForWindowExposed(&chart));
        QList<QPoint> seen;
        connect(&chart, &TrendChart::mouseMoved, this,
                [&seen](Qt::KeyboardModifiers, const QPoint &position) { seen << position; });
        QWidget *plot = chart.childAt(50, 50);
        QVERIFY(plot);
        QTest::mouseMove(plot, QPoint(60, 40));
        QTRY_VERIFY_WITH_TIMEOUT(!seen.isEmpty(), 60000);  // a net only
        QCOMPARE(seen.last(), QPoint(60, 40));
    }

    void chartDumpsItsSeriesAndAxes()
    {
        TrendChart chart;
        chart.setSeriesTitle(QStringLiteral("Давление за последние 24 часа"));
        chart.setXRange(-24, 0);
        chart.setYRange(1008, 1016);
        chart.addPoint(-1, 1012.5);
        chart.addPoint(0, 1013.25, QStringLiteral("now"));
        QJsonObject out;
        chart.dumpState(out);
        const QJsonArray series = out[QStringLiteral("series")].toArray();
        QCOMPARE(series.size(), 1);
        QCOMPARE(series[0][QStringLiteral("title")].toString(), QStringLiteral("Давление за последние 24 часа"));
        const QJsonArray points = series[0][QStringLiteral("points")].toArray();
        QCOMPARE(points.size(), 2);
        QCOMPARE(points[1].toArray(), (QJsonArray{0.0, 1013.25, QStringLiteral("now")}));
        QCOMPARE(points[0].toArray(), (QJsonArray{-1.0, 1012.5, QString()}));
        QCOMPARE(out[QStringLiteral("seriesTitle")].toString(), QStringLiteral("Давление за последние 24 часа"));
        QCOMPARE(out[QStringLiteral("points")].toArray(),
                 (QJsonArray{QJsonArray{-1.0, 1012.5}, QJsonArray{0.0, 1013.25}}));
        QCOMPARE(out[QStringLiteral("xMin")].toDouble(), -24.0);
        QCOMPARE(out[QStringLiteral("xMax")].toDouble(), 0.0);
        QCOMPARE(out[QStringLiteral("yMin")].toDouble(), 1008.0);
        QCOMPARE(out[QStringLiteral("yMax")].toDouble(), 1016.0);
    }

    // The chart fill sets the axis bounds one at a time; a bound past the
    // other carries it along instead of turning the range over.
    void chartBoundsSetOneAtATime_data()
    {
        QTest::addColumn<QList<double>>("steps");  // alternating: 0 = minimum, 1 = maximum, then the value
        QTest::addColumn<double>("yMin");
        QTest::addColumn<double>("yMax");
        QTest::newRow("fill order: 0, high, low") << QList<double>{0, 0, 1, 1100, 0, 500} << 500.0 << 1100.0;
        QTest::newRow("minimum above maximum") << QList<double>{1, 10, 0, 30} << 30.0 << 31.0;
        QTest::newRow("maximum below minimum") << QList<double>{0, 5, 1, 2} << 1.0 << 2.0;
        QTest::newRow("minimum onto maximum") << QList<double>{1, 4, 0, 4} << 4.0 << 5.0;
    }
    void chartBoundsSetOneAtATime()
    {
        QFETCH(QList<double>, steps);
        QFETCH(double, yMin);
        QFETCH(double, yMax);
        TrendChart chart;
        chart.setYRange(0, 1);
        for (int i = 0; i + 1 < steps.size(); i += 2)
            steps[i] == 0 ? chart.setYMinimum(steps[i + 1]) : chart.setYMaximum(steps[i + 1]);
        QCOMPARE(chart.yMin(), yMin);
        QCOMPARE(chart.yMax(), yMax);
    }

    void chartRenamesOnlyItsOwnSeries()
    {
        TrendChart chart;
        chart.setSeriesTitle(QStringLiteral("UVI"));
        QVERIFY(!chart.setSeriesTitle(1, QStringLiteral("Pressure")));
        QCOMPARE(chart.seriesTitle(), QStringLiteral("UVI"));
        QVERIFY(chart.setSeriesTitle(0, QStringLiteral("UV index")));
        QCOMPARE(chart.seriesTitle(), QStringLiteral("UV index"));
        QCOMPARE(chart.seriesCount(), 1);
    }
};

QTEST_MAIN(MainWindowLayoutTest)
#include "main_window_layout_test.moc"
