#include "MainWindowUi.h"
#include "ZoneSpinBox.h"

#include "AnimatedPicture.h"
#include "Artwork.h"
#include "KitStyle.h"
#include "PictureBox.h"
#include "PowerMeter.h"
#include "ScrollText.h"
#include "ThermoMeter.h"
#include "TrendChart.h"
#include "Units.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QEvent>
#include <QFontMetrics>
#include <QFontMetricsF>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScrollArea>
#include <QSpinBox>
#include <QToolButton>

#include <cmath>

namespace nimbrel {

namespace {

// ---- Type ---------------------------------------------------------------
//
// Captions are set in a condensed face so they leave room for longer
// translations; readings are bold and larger, sized by importance.

QFont condensed(int pixels, bool bold = false)
{
    QFont font(QStringLiteral("DejaVu Sans Condensed"));
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

QFont captionFont()
{
    return condensed(11);
}

QFont stripFont()
{
    return condensed(10);
}

QFont valueFont(int pixels)
{
    return kit::labelFont(pixels, QFont::Bold);
}

QFont titleFont()
{
    return kit::labelFont(11, QFont::Bold);
}

// Reading sizes: the main reading of a panel, secondary readings, and the
// small figures of extremes and limits.
constexpr int kMainValue = 20;
constexpr int kTemperatureValue = 22;
constexpr int kSecondValue = 15;
constexpr int kSmallValue = 11;

// ---- Building blocks ----------------------------------------------------

template <class T>
T *tag(T *object, const QString &name, const char *kind)
{
    object->setObjectName(name);
    object->setProperty(kKindProperty, QString::fromLatin1(kind));
    return object;
}

QLabel *makeLabel(QWidget *parent, const QString &name, const QString &text, const QRect &geometry,
                  const QFont &font, Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter)
{
    auto *label = tag(new QLabel(text, parent), name, "TLabel");
    label->setTextFormat(Qt::PlainText);
    label->setFont(font);
    label->setAlignment(alignment);
    label->setGeometry(geometry);
    return label;
}

// A reading: right-aligned on its baseline, so a unit caption set beside it
// with besideBaseline() lines up with the figures.
QLabel *makeValue(QWidget *parent, const char *name, const QString &text, const QRect &geometry, int pixels,
                  const QString &hint = QString())
{
    QLabel *label = makeLabel(parent, QString::fromLatin1(name), text, geometry, valueFont(pixels),
                              Qt::AlignRight | Qt::AlignBottom);
    label->setToolTip(hint);
    return label;
}

// Baseline of a bottom-aligned label.
int baselineOf(const QLabel *label)
{
    return label->geometry().bottom() + 1 - QFontMetrics(label->font()).descent();
}

// The rectangle of a one-line label in the given font whose baseline is the
// value's.
QRect besideBaseline(const QLabel *value, int x, int width, const QFont &font)
{
    const QFontMetrics fm(font);
    return QRect(x, baselineOf(value) - fm.ascent(), width, fm.height());
}

// A 16-pixel sign or arrow sitting on the value's baseline.
QRect iconOnBaseline(const QLabel *value, int x)
{
    return QRect(x, baselineOf(value) - 14, 16, 16);
}

// Room for a caption of the given number of lines whose last line sits on
// the value's baseline.
QRect captionOnBaseline(const QLabel *value, int x, int width, int lines)
{
    const QFontMetrics fm(captionFont());
    const int bottom = baselineOf(value) + fm.descent();
    const int height = lines * fm.lineSpacing();
    return QRect(x, bottom - height, width, height);
}

QLabel *makeUnit(QWidget *parent, const char *name, const QString &text, const QLabel *value, int x, int width)
{
    const QFont font = captionFont();
    return makeLabel(parent, QString::fromLatin1(name), text, besideBaseline(value, x, width, font), font,
                     Qt::AlignLeft | Qt::AlignTop);
}

PictureBox *makePicture(QWidget *parent, const char *name, const char *kind, const QList<QPixmap> &pictures,
                        int index, const QRect &geometry, kit::Placement placement = kit::Placement::TopLeft,
                        const QString &hint = QString())
{
    auto *box = tag(new PictureBox(parent), QString::fromLatin1(name), kind);
    box->setPictures(pictures);
    box->setIndex(index);
    box->setPlacement(placement);
    box->setGeometry(geometry);
    box->setToolTip(hint);
    return box;
}

QComboBox *makeCombo(QWidget *parent, const char *name, const QStringList &items, int index, const QRect &geometry,
                     const QString &hint = QString())
{
    auto *box = tag(new QComboBox(parent), QString::fromLatin1(name), "TComboBox");
    box->addItems(items);
    box->setCurrentIndex(index);
    box->setGeometry(geometry);
    box->setToolTip(hint);
    return box;
}

QSpinBox *makeNumberEdit(QWidget *parent, const char *name, int minimum, int maximum, const QRect &geometry)
{
    auto *edit = tag(new QSpinBox(parent), QString::fromLatin1(name), "TEdit");
    edit->setRange(minimum, maximum);
    edit->setButtonSymbols(QAbstractSpinBox::NoButtons);
    edit->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    edit->setGeometry(geometry);
    return edit;
}

PowerMeter *makeGauge(QWidget *parent, const char *name, const QString &caption, const QRect &geometry,
                      const QString &hint)
{
    auto *gauge = tag(new PowerMeter(parent), QString::fromLatin1(name), PowerMeter::kKind);
    gauge->setRange(0, 100);
    gauge->setCaption(caption);
    gauge->setGeometry(geometry);
    gauge->setToolTip(hint);
    return gauge;
}

TrendChart *makeChart(QWidget *parent, const char *name, const QString &seriesTitle, const QString &xFormat,
                      double xMin, double yMin, double yMax, const QRect &geometry, const QString &hint)
{
    auto *chart = tag(new TrendChart(parent), QString::fromLatin1(name), TrendChart::kKind);
    chart->setSeriesTitle(seriesTitle);
    chart->setXLabelFormat(xFormat);
    chart->setXRange(xMin, 0);
    chart->setYRange(yMin, yMax);
    chart->setGeometry(geometry);
    chart->setToolTip(hint);
    return chart;
}

// Markers of the recorded extremes, coloured as the thermometers' markers.
QLabel *makeMarker(QWidget *parent, const QString &name, bool maximum, const QRect &geometry)
{
    QLabel *label = makeLabel(parent, name, maximum ? QStringLiteral("▲") : QStringLiteral("▼"), geometry,
                              kit::labelFont(9), Qt::AlignLeft | Qt::AlignBottom);
    QPalette pal = label->palette();
    pal.setColor(QPalette::WindowText, maximum ? kit::kMaxMarker : kit::kMinMarker);
    label->setPalette(pal);
    return label;
}

void addSeparator(QWidget *parent, const QRect &geometry)
{
    auto *line = new QFrame(parent);
    line->setFrameShape(geometry.width() < geometry.height() ? QFrame::VLine : QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    line->setGeometry(geometry);
}

// Captions and hints of the time labels are kept, but their hints stay
// silent: the date and time speak for themselves.
class SilentHint : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject *, QEvent *event) override { return event->type() == QEvent::ToolTip; }
};

// Esc in the time-zone edit puts back the value it had when it got focus.
class EscapeRestores : public QObject {
public:
    explicit EscapeRestores(QDoubleSpinBox *edit) : QObject(edit), edit_(edit) { edit->installEventFilter(this); }

    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::FocusIn) {
            saved_ = edit_->value();
        } else if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape) {
            edit_->setValue(saved_);
            edit_->selectAll();
            return true;
        }
        return false;
    }

private:
    QDoubleSpinBox *edit_;
    double saved_ = 0.0;
};

// The designed placeholder texts of the readings, shown until the first
// refresh writes them.
const QString kNoTemperature = QStringLiteral("--,-");
const QString kNoPressure = QStringLiteral("----,-");
const QString kSince = QStringLiteral("С :");

// Battery pictures sit at the right end of their group box's title row.
QRect titleRowIcon(const QGroupBox *box)
{
    return QRect(box->width() - 26, 0, 20, 17);
}

}  // namespace

// ---- UpDown ---------------------------------------------------------------

UpDown::UpDown(QAbstractSpinBox *associate, QWidget *parent)
    : QWidget(parent), associate_(associate), up_(new QToolButton(this)), down_(new QToolButton(this))
{
    up_->setArrowType(Qt::UpArrow);
    down_->setArrowType(Qt::DownArrow);
    for (QToolButton *button : {up_, down_}) {
        button->setAutoRepeat(true);
        button->setFocusPolicy(Qt::NoFocus);
        button->setIconSize(QSize(7, 7));
    }
    connect(up_, &QToolButton::clicked, this, &UpDown::stepUp);
    connect(down_, &QToolButton::clicked, this, &UpDown::stepDown);
}

void UpDown::stepUp()
{
    associate_->stepBy(1);
}

void UpDown::stepDown()
{
    associate_->stepBy(-1);
}

void UpDown::dumpState(QJsonObject &out) const
{
    out.insert(QStringLiteral("associate"), associate_->objectName());
}

void UpDown::resizeEvent(QResizeEvent *)
{
    const int half = height() / 2;
    up_->setGeometry(0, 0, width(), half);
    down_->setGeometry(0, half, width(), height() - half);
}

// ---- The window -------------------------------------------------------------

QString MainWindowUi::nextLabelName()
{
    // Label1, Label10, Label11 and Label20 to Label27 are named by design
    // (the settings strip and the progress panel).
    auto taken = [](int n) { return n == 1 || n == 10 || n == 11 || (n >= 20 && n <= 27); };
    while (taken(nextLabel_))
        ++nextLabel_;
    return QStringLiteral("Label%1").arg(nextLabel_++);
}

QLabel *MainWindowUi::caption(QWidget *parent, const QString &text, const QRect &geometry, bool wrap)
{
    QLabel *label = makeLabel(parent, nextLabelName(), text, geometry, captionFont(), Qt::AlignLeft | Qt::AlignBottom);
    label->setWordWrap(wrap);
    return label;
}

void MainWindowUi::build(QWidget *form)
{
    ScrollBox1 = tag(new QScrollArea(form), QStringLiteral("ScrollBox1"), "TScrollBox");
    ScrollBox1->setGeometry(0, 0, kClientWidth, kScrollHeight);
    ScrollBox1->setFrameShape(QFrame::NoFrame);
    ScrollBox1->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    content = new QWidget;
    content->setFixedSize(866, 645);
    content->setFont(captionFont());
    ScrollBox1->setWidget(content);

    Panel1 = tag(new QFrame(content), QStringLiteral("Panel1"), "TPanel");
    Panel1->setGeometry(0, 0, 865, 593);
    Panel2 = tag(new QFrame(Panel1), QStringLiteral("Panel2"), "TPanel");
    Panel2->setGeometry(0, 0, 432, 593);
    Panel3 = tag(new QFrame(Panel1), QStringLiteral("Panel3"), "TPanel");
    Panel3->setGeometry(432, 0, 433, 593);

    // Left column: pressure docked at the top, UV below it, the time and
    // date box below that, sun and moon docked at the bottom (it reaches one
    // pixel into the box above, as designed). Right column, inside a 2-pixel
    // border: temperature fills what the rain and wind boxes, docked at the
    // bottom, leave.
    struct Box {
        QGroupBox **target;
        const char *name;
        const char *caption;
        QFrame *column;
        QRect geometry;
    };
    const Box boxes[] = {
        {&GroupBox1, "GroupBox1", "Прогноз погоды и атмосферное давление", Panel2, {1, 0, 430, 224}},
        {&GroupBox3, "GroupBox3", "УФИ", Panel2, {1, 224, 430, 116}},
        {&GroupBox4, "GroupBox4", "Время и дата", Panel2, {1, 340, 430, 136}},
        {&GroupBox2, "GroupBox2", "Восход/заход", Panel2, {1, 593 - 118, 430, 118}},
        {&GroupBox7, "GroupBox7", "Температура и влажность", Panel3, {2, 2, 429, 589 - 199 - 132}},
        {&GroupBox6, "GroupBox6", "Осадки", Panel3, {2, 591 - 199 - 132, 429, 132}},
        {&GroupBox5, "GroupBox5", "Ветер", Panel3, {2, 591 - 199, 429, 199}},
    };
    for (const Box &b : boxes) {
        auto *box = tag(new QGroupBox(QString::fromUtf8(b.caption), b.column), QString::fromLatin1(b.name),
                        "TGroupBox");
        box->setGeometry(b.geometry);
        box->setFont(titleFont());
        *b.target = box;
    }

    buildPressure();
    buildUv();
    buildTimeAndLocation();
    buildSunAndMoon();
    buildTemperature();
    buildRain();
    buildWind();

    // The group boxes' bold title face is for the titles only: every child
    // that has no face of its own gets the caption face.
    for (QGroupBox *box : {GroupBox1, GroupBox2, GroupBox3, GroupBox4, GroupBox5, GroupBox6, GroupBox7}) {
        const QList<QWidget *> children = box->findChildren<QWidget *>();
        for (QWidget *child : children) {
            if (!child->testAttribute(Qt::WA_SetFont))
                child->setFont(captionFont());
        }
    }
}

void MainWindowUi::buildPressure()
{
    QGroupBox *g = GroupBox1;

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

    makeMarker(g, nextLabelName(), true, QRect(10, 147, 12, 16));
    MaxPressureL = makeValue(g, "MaxPressureL", kNoPressure, QRect(22, 147, 48, 16), kSmallValue,
                             QStringLiteral("Максимум атмосферного давления"));
    PressL3 = makeUnit(g, "PressL3", pressureUnitNames().value(0), MaxPressureL, 73, 44);
    FromPressureLM = makeLabel(g, QStringLiteral("FromPressureLM"), kSince, QRect(22, 163, 131, 15), captionFont());
    makeMarker(g, nextLabelName(), false, QRect(10, 184, 12, 16));
    MinPressureL = makeValue(g, "MinPressureL", kNoPressure, QRect(22, 184, 48, 16), kSmallValue,
                             QStringLiteral("Минимум атмосферного давления"));
    PressL4 = makeUnit(g, "PressL4", pressureUnitNames().value(0), MinPressureL, 73, 44);
    FromPressureLN = makeLabel(g, QStringLiteral("FromPressureLN"), kSince, QRect(22, 200, 131, 15), captionFont());

    // The two pressures, then the 24-hour chart.
    caption(g, QStringLiteral("Давление на уровне моря:"), QRect(164, 19, 260, 15));
    PressureLabel = makeValue(g, "PressureLabel", kNoPressure, QRect(164, 34, 84, 26), kMainValue,
                              QStringLiteral("Давление на уровне моря"));
    PressL1 = makeUnit(g, "PressL1", pressureUnitNames().value(0), PressureLabel, 252, 44);
    PressureTrend = makePicture(g, "PressureTrend", PictureBox::kBitmapKind, artwork::trendArrows(), -1,
                                iconOnBaseline(PressureLabel, 300), kit::Placement::TopLeft,
                                QStringLiteral("Тенденция изменения давления"));
    caption(g, QStringLiteral("Атмосферное давление:"), QRect(164, 60, 260, 15));
    PressureLocalL = makeValue(g, "PressureLocalL", kNoPressure, QRect(164, 75, 84, 26), kMainValue,
                               QStringLiteral("Атмосферное давление"));
    PressL2 = makeUnit(g, "PressL2", pressureUnitNames().value(0), PressureLocalL, 252, 44);

    PressureChart = makeChart(g, "PressureChart", QStringLiteral("Давление за последние 24 часа"),
                              QStringLiteral("#,##0.###h"), -24, 500, 1100, QRect(164, 106, 260, 112),
                              QStringLiteral("Давление за последние 24 часа"));
}

void MainWindowUi::buildUv()
{
    QGroupBox *g = GroupBox3;
    UVLabel = makeValue(g, "UVLabel", kNoTemperature, QRect(100, 19, 60, 24), 18, QStringLiteral("Текущее УФИ"));
    caption(g, QStringLiteral("Текущее UV:"), besideBaseline(UVLabel, 8, 92, captionFont()));
    UVIL1 = makeUnit(g, "UVIL1", uvUnitNames().value(0), UVLabel, 164, 46);
    // The exposure pictures are up to 200 x 77; the widest are drawn a little
    // smaller to fit under the reading.
    UVIImage = makePicture(g, "UVIImage", PictureBox::kImageKind, artwork::uvPictures(), 0, QRect(8, 44, 204, 68),
                           kit::Placement::Fit, QStringLiteral("Комфортность УФИ"));
    UVIChart = makeChart(g, "UVIChart", QStringLiteral("UVI"), QStringLiteral("#,##0.###d"), -7, 0, 36,
                         QRect(216, 19, 208, 93), QStringLiteral("УФИ за последние 7 дней"));
    BatUVI = makePicture(g, "BatUVI", PictureBox::kBitmapKind, artwork::batteryPictures(), -1, titleRowIcon(g),
                         kit::Placement::Fit, QStringLiteral("Состояние батареек"));
}

void MainWindowUi::buildTimeAndLocation()
{
    QGroupBox *g = GroupBox4;
    auto *silent = new SilentHint(g);

    // Clock and calendar on the left.
    LocalTime = makeLabel(g, QStringLiteral("LocalTime"), QStringLiteral("12:38"), QRect(8, 19, 140, 28),
                          valueFont(kTemperatureValue), Qt::AlignLeft | Qt::AlignBottom);
    LocalTime->setToolTip(QStringLiteral("Время"));
    LocalTime->installEventFilter(silent);
    LocalDate = makeLabel(g, QStringLiteral("LocalDate"), QStringLiteral("12:38"), QRect(8, 47, 140, 16),
                          condensed(12, true));
    LocalDate->setToolTip(QStringLiteral("Дата"));
    LocalDate->installEventFilter(silent);
    WeekDayL = makeLabel(g, QStringLiteral("WeekDayL"), QStringLiteral("12:38"), QRect(8, 63, 140, 16), condensed(12));
    WeekDayL->setToolTip(QStringLiteral("День недели"));
    caption(g, QStringLiteral("Неделя:"), QRect(8, 86, 62, 15));
    NumWeekL = makeLabel(g, QStringLiteral("NumWeekL"), QStringLiteral("99"), QRect(72, 86, 76, 15),
                         condensed(11, true), Qt::AlignLeft | Qt::AlignBottom);
    NumWeekL->setToolTip(QStringLiteral("Номер недели"));
    caption(g, QStringLiteral("День:"), QRect(8, 102, 62, 15));
    NumDayL = makeLabel(g, QStringLiteral("NumDayL"), QStringLiteral("999/999"), QRect(72, 102, 76, 15),
                        condensed(11, true), Qt::AlignLeft | Qt::AlignBottom);
    NumDayL->setToolTip(QStringLiteral("Номер дня"));
    // Carries the daylight-saving rule's name; designed hidden.
    DSTL = makeLabel(g, QStringLiteral("DSTL"), QString(), QRect(232, 0, 192, 16), captionFont(),
                     Qt::AlignRight | Qt::AlignVCenter);
    DSTL->hide();

    addSeparator(g, QRect(151, 22, 2, 106));

    // Location on the right.
    caption(g, QStringLiteral("Местоположение:"), QRect(158, 19, 196, 16));
    IsUserCity = tag(new QCheckBox(QStringLiteral("User"), g), QStringLiteral("IsUserCity"), "TCheckBox");
    IsUserCity->setGeometry(362, 19, 62, 18);
    IsUserCity->setToolTip(QStringLiteral("Выбор пользователем"));
    CityBox = makeCombo(g, "CityBox", {}, -1, QRect(158, 37, 266, 22), QStringLiteral("Местоположение"));
    CityBox->setEnabled(false);

    const int editX = 268;
    auto coordinateRow = [&](const QString &text, int y, const char *degrees, const char *degreesUd,
                             const char *minutes, const char *minutesUd, const char *hemisphere,
                             const QStringList &sides, QSpinBox *&degreesEdit, UpDown *&degreesUpDown,
                             QSpinBox *&minutesEdit, UpDown *&minutesUpDown, QComboBox *&hemisphereBox) {
        caption(g, text, QRect(158, y, editX - 160, 22))->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        degreesEdit = makeNumberEdit(g, degrees, 0, 179, QRect(editX, y, 36, 22));
        degreesUpDown = tag(new UpDown(degreesEdit, g), QString::fromLatin1(degreesUd), UpDown::kKind);
        degreesUpDown->setGeometry(editX + 36, y, 15, 22);
        minutesEdit = makeNumberEdit(g, minutes, 0, 59, QRect(editX + 55, y, 32, 22));
        minutesUpDown = tag(new UpDown(minutesEdit, g), QString::fromLatin1(minutesUd), UpDown::kKind);
        minutesUpDown->setGeometry(editX + 87, y, 15, 22);
        hemisphereBox = makeCombo(g, hemisphere, sides, 0, QRect(editX + 106, y, 50, 22));
    };
    coordinateRow(QStringLiteral("Широта:"), 62, "LatitudeLM", "LatitudeLMUD", "LatitudeLS", "LatitudeLSUD",
                  "LocBox1", {QStringLiteral("C"), QStringLiteral("Ю")}, LatitudeLM, LatitudeLMUD, LatitudeLS,
                  LatitudeLSUD, LocBox1);
    coordinateRow(QStringLiteral("Долгота:"), 86, "LongitudeLM", "LongitudeLMUD", "LongitudeLS", "LongitudeLSUD",
                  "LocBox2", {QStringLiteral("З"), QStringLiteral("В")}, LongitudeLM, LongitudeLMUD, LongitudeLS,
                  LongitudeLSUD, LocBox2);

    caption(g, QStringLiteral("Часовой пояс:"), QRect(158, 110, editX - 160, 22))
        ->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    TL = tag(new ZoneSpinBox(g), QStringLiteral("TL"), "TEdit");
    TL->setRange(-12.0, 14.0);
    TL->setSingleStep(0.5);
    // Two decimals keep quarter-hour zones (+5:45) as the city table gives them.
    TL->setDecimals(2);
    TL->setButtonSymbols(QAbstractSpinBox::NoButtons);
    TL->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    TL->setGeometry(editX, 110, 52, 22);
    new EscapeRestores(TL);
    TLUD = tag(new UpDown(TL, g), QStringLiteral("TLUD"), UpDown::kKind);
    TLUD->setGeometry(editX + 52, 110, 15, 22);

    for (QWidget *control : coordinateControls())
        control->setEnabled(false);
}

void MainWindowUi::buildSunAndMoon()
{
    QGroupBox *g = GroupBox2;

    // Rise and set of the sun (top) and the moon (bottom) in a 2 x 2 grid,
    // each caption above its time.
    struct Cell {
        const char *caption;
        const char *name;
        const char *text;
        const char *hint;
        int pixels;
        QLabel **target;
    };
    const Cell cells[] = {
        {"Восход Солнца:", "VoshodL", "6:08", "Восход Солнца", 18, &VoshodL},
        {"Заход Солнца:", "ZahodL", "7:13", "Заход Солнца", 18, &ZahodL},
        {"Восход Луны:", "VoshodMoonL", "--:--", "Восход Луны", kSecondValue, &VoshodMoonL},
        {"Заход Луны:", "ZahodMoonL", "--:--", "Заход Луны", kSecondValue, &ZahodMoonL},
    };
    for (int i = 0; i < 4; ++i) {
        const Cell &c = cells[i];
        const int x = i % 2 == 0 ? 6 : 88;
        const int y = i < 2 ? 19 : 67;
        QLabel *label = caption(g, QString::fromUtf8(c.caption), QRect(x, y, 80, 26), true);
        label->setAlignment(Qt::AlignRight | Qt::AlignBottom);
        *c.target = makeValue(g, c.name, QString::fromUtf8(c.text), QRect(x, y + 26, 80, i < 2 ? 22 : 20), c.pixels,
                              QString::fromUtf8(c.hint));
    }
    VoshodL->setFont(kit::labelFont(18, QFont::Black));

    ZemlyImage = makePicture(g, "ZemlyImage", PictureBox::kImageKind, artwork::earthPictures(), 0,
                             QRect(172, 21, 160, 70));
    DlinaDnyL = makeValue(g, "DlinaDnyL", QStringLiteral("23:23"), QRect(272, 93, 60, 20), kSecondValue,
                          QStringLiteral("Долгота дня"));
    caption(g, QStringLiteral("Долгота дня:"), besideBaseline(DlinaDnyL, 172, 98, captionFont()));

    QLabel *phase = caption(g, QStringLiteral("Фаза Луны:"), QRect(336, 19, 90, 14));
    phase->setAlignment(Qt::AlignHCenter | Qt::AlignBottom);
    MoonImage = makePicture(g, "MoonImage", PictureBox::kImageKind, artwork::moonPhases(), 0,
                            QRect(336, 33, 90, 81), kit::Placement::Stretch, QStringLiteral("Фаза Луны"));
}

void MainWindowUi::buildTemperature()
{
    QGroupBox *g = GroupBox7;
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
        makeLabel(g, nextLabelName(), QStringLiteral("%"), besideBaseline(hum, x + 92, 14, captionFont()),
                  captionFont(), Qt::AlignLeft | Qt::AlignTop);
        PictureBox *humTrend = makePicture(g, s.humTrend, PictureBox::kBitmapKind, arrows, -1,
                                           iconOnBaseline(hum, x + 110));
        PowerMeter *meter = makeGauge(g, s.meter, QString(), QRect(x, 99, 142, 12), QString::fromUtf8(s.meterHint));

        caption(g, QStringLiteral("Точка росы:"), QRect(x, 114, 142, 14));
        QLabel *dew = makeValue(g, s.dew, kNoTemperature, QRect(x, 128, 86, 22), kSecondValue,
                                QString::fromUtf8(s.dewHint));
        PictureBox *dewSign = makePicture(g, s.dewSign, PictureBox::kImageKind, signs, 0, iconOnBaseline(dew, x + 90));
        QLabel *comfort = makeLabel(g, QString::fromLatin1(s.comfort), QString(), QRect(x, 153, 142, 17),
                                    condensed(12, true), Qt::AlignLeft | Qt::AlignVCenter);
        comfort->setToolTip(QStringLiteral("Комфортность"));

        makeMarker(g, nextLabelName(), true, QRect(x, 176, 12, 16));
        QLabel *max = makeValue(g, s.max, kNoTemperature, QRect(x + 12, 176, 48, 16), 12, QString::fromUtf8(s.maxHint));
        PictureBox *maxSign = makePicture(g, s.maxSign, PictureBox::kImageKind, signs, 0, iconOnBaseline(max, x + 62));
        QLabel *maxSince = makeLabel(g, QString::fromLatin1(s.maxSince), kSince, QRect(x + 12, 192, 130, 15),
                                     captionFont());
        makeMarker(g, nextLabelName(), false, QRect(x, 211, 12, 16));
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

void MainWindowUi::buildRain()
{
    QGroupBox *g = GroupBox6;

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
    caption(g, QStringLiteral("Всего осадков:"), QRect(310, 19, 114, 15));
    AllRainL = makeValue(g, "AllRainL", QStringLiteral("0.00"), QRect(310, 34, 84, 24), 18);
    RL4 = makeUnit(g, "RL4", rainUnitNames().value(0), AllRainL, 396, 28);
    FromRainL = makeLabel(g, QStringLiteral("FromRainL"), kSince, QRect(310, 60, 114, 15), captionFont());

    BatRain = makePicture(g, "BatRain", PictureBox::kBitmapKind, artwork::batteryPictures(), -1, titleRowIcon(g),
                          kit::Placement::Fit, QStringLiteral("Состояние батареек"));
}

void MainWindowUi::buildWind()
{
    QGroupBox *g = GroupBox5;
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
        caption(g, QString::fromUtf8(b.caption), captionOnBaseline(value, 6, 116, 2), true);
        QLabel *unit = makeUnit(g, b.unit, speedUnit, value, 202, 36);

        makeMarker(g, nextLabelName(), true, QRect(16, b.y + 31, 12, 15));
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
    caption(g, QStringLiteral("Температура с учётом ветра:"), captionOnBaseline(WindChillL, 6, 116, 3), true);
    TL9 = makePicture(g, "TL9", PictureBox::kImageKind, artwork::unitSigns(), 0, iconOnBaseline(WindChillL, 202));

    addSeparator(g, QRect(239, 22, 2, 170));

    // The 7-day chart above; the direction, as a rose and in words, below.
    WindSpeedChart = makeChart(g, "WindSpeedChart", QStringLiteral("UVI"), QStringLiteral("#,##0.###d"), -7, 0, 200,
                               QRect(244, 19, 180, 88), QStringLiteral("УФИ за последние 7 дней"));
    Compass = makePicture(g, "Compass", PictureBox::kBitmapKind, artwork::compassRoses(), 0, QRect(244, 110, 84, 84),
                          kit::Placement::Fit);
    caption(g, QStringLiteral("Направление ветра:"), QRect(332, 110, 92, 26), true);
    WindDirectionLabel = makeLabel(g, QStringLiteral("WindDirectionLabel"), QStringLiteral("N"), QRect(332, 139, 92, 24),
                                   valueFont(18), Qt::AlignLeft | Qt::AlignBottom);
    WindDirectionLabel->setToolTip(QStringLiteral("Направление ветра"));
    // Degrees right-aligned against their sign.
    WindDirectionLabel1 = makeLabel(g, QStringLiteral("WindDirectionLabel1"), QStringLiteral("0"), QRect(332, 165, 44, 17),
                                    valueFont(12), Qt::AlignRight | Qt::AlignBottom);
    WindDirectionLabel1->setToolTip(QStringLiteral("Направление ветра"));
    makeLabel(g, nextLabelName(), QStringLiteral("°"), QRect(376, 165, 12, 17), valueFont(12),
              Qt::AlignLeft | Qt::AlignBottom);

    BatWind = makePicture(g, "BatWind", PictureBox::kBitmapKind, artwork::batteryPictures(), -1, titleRowIcon(g),
                          kit::Placement::Fit, QStringLiteral("Состояние батареек"));
}

void MainWindowUi::buildSettingsStrip(QWidget *form)
{
    Panel4 = tag(new QFrame(content), QStringLiteral("Panel4"), "TPanel");
    Panel4->setGeometry(0, 596, 866, 49);
    Panel4->setFrameShape(QFrame::StyledPanel);
    Panel4->setFont(captionFont());

    // Each setting is a caption above its control. Captions sit on the line
    // just above the control and may take a second line above it when a
    // translation needs one.
    auto stripCaption = [](QWidget *parent, const char *name, const QString &text, const QRect &geometry) {
        QLabel *label = makeLabel(parent, QString::fromLatin1(name), text, geometry, stripFont(),
                                  Qt::AlignLeft | Qt::AlignBottom);
        label->setWordWrap(true);
        return label;
    };

    HistoryTemp = tag(new QPushButton(QStringLiteral("История"), Panel4), QStringLiteral("HistoryTemp"), "TBitBtn");
    HistoryTemp->setGeometry(6, 2, 86, 22);
    BitBtn1 = tag(new QPushButton(QStringLiteral("Меню"), Panel4), QStringLiteral("BitBtn1"), "TBitBtn");
    BitBtn1->setGeometry(6, 25, 86, 22);

    PopupMenu1 = tag(new QMenu(form), QStringLiteral("PopupMenu1"), "TPopupMenu");
    N1 = tag(new QAction(QStringLiteral("Очистить историю значений"), PopupMenu1), QStringLiteral("N1"), "TMenuItem");
    PopupMenu1->addAction(N1);
    ExportHistoryItem = tag(new QAction(QStringLiteral("Export history…"), PopupMenu1),
                            QStringLiteral("ExportHistoryItem"), "TMenuItem");
    OpenDataFolderItem = tag(new QAction(QStringLiteral("Open data folder"), PopupMenu1),
                             QStringLiteral("OpenDataFolderItem"), "TMenuItem");
    PopupMenu1->addActions({ExportHistoryItem, OpenDataFolderItem});
    auto *separator = tag(new QAction(PopupMenu1), QStringLiteral("N2"), "TMenuItem");
    separator->setSeparator(true);
    separator->setVisible(false);
    PopupMenu1->addAction(separator);
    for (const char *name : {"N3", "N4"}) {
        auto *item = tag(new QAction(QStringLiteral("ToText"), PopupMenu1), QString::fromLatin1(name), "TMenuItem");
        item->setVisible(false);
        PopupMenu1->addAction(item);
    }

    const int labelY = 1;
    const int labelH = 24;
    const int controlY = 26;
    const int controlH = 20;

    stripCaption(Panel4, "Label27", QStringLiteral("Язык интерфеса:"), QRect(100, labelY, 106, labelH));
    LangBox = makeCombo(Panel4, "LangBox",
                        {QStringLiteral("Русский"), QStringLiteral("Английский"), QStringLiteral("Немецкий"),
                         QStringLiteral("Французский"), QStringLiteral("Итальянский")},
                        1, QRect(100, controlY, 106, controlH), QStringLiteral("Язык интерфейса"));

    stripCaption(Panel4, "Label25", QStringLiteral("Уровень моря:"), QRect(214, labelY, 84, labelH));
    // A plain edit: what the user types is checked when confirmed, so a
    // mistyped altitude is refused with a reason instead of silently changed.
    PressLevel = tag(new QLineEdit(QStringLiteral("0"), Panel4), QStringLiteral("PressLevel"), "TEdit");
    PressLevel->setMaxLength(7);
    PressLevel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    PressLevel->setGeometry(214, controlY, 60, controlH);
    PressLevel->setToolTip(QStringLiteral("Уровень моря"));
    SpeedButton1 = tag(new QPushButton(QStringLiteral("✓"), Panel4), QStringLiteral("SpeedButton1"), "TSpeedButton");
    SpeedButton1->setGeometry(276, controlY, 22, controlH);
    SpeedButton1->setToolTip(QStringLiteral("Подтвердить изменение уровня моря"));

    stripCaption(Panel4, "Label20", QStringLiteral("Период обмена:"), QRect(306, labelY, 88, labelH));
    PeriodBox = makeCombo(Panel4, "PeriodBox",
                          {QStringLiteral("5 мин"), QStringLiteral("10 мин"), QStringLiteral("20 мин"),
                           QStringLiteral("30 мин"), QStringLiteral("1 час"), QStringLiteral("1.5 часа"),
                           QStringLiteral("2 часа"), QStringLiteral("3 часа"), QStringLiteral("4 часа"),
                           QStringLiteral("6 часов"), QStringLiteral("1 день")},
                          5, QRect(306, controlY, 88, controlH), QStringLiteral("Период обмена"));

    // The five unit selectors in a frame of their own.
    GroupBox8 = tag(new QGroupBox(Panel4), QStringLiteral("GroupBox8"), "TGroupBox");
    GroupBox8->setGeometry(402, 1, 346, 47);
    struct Unit {
        const char *label;
        const char *caption;
        const char *box;
        QStringList items;
        QComboBox **target;
        int width;
    };
    const Unit units[] = {
        {"Label23", "Температура:", "TempEdBox", temperatureUnitNames(), &TempEdBox, 68},
        {"Label22", "Давление:", "PressureEdBox", pressureUnitNames(), &PressureEdBox, 64},
        {"Label1", "Скорость:", "SpeedEdBox", speedUnitNames(), &SpeedEdBox, 64},
        {"Label21", "Осадки:", "RainEdBox", rainUnitNames(), &RainEdBox, 60},
        {"Label24", "Излучение:", "UVIEdBox", uvUnitNames(), &UVIEdBox, 64},
    };
    int x = 5;
    for (const Unit &u : units) {
        stripCaption(GroupBox8, u.label, QString::fromUtf8(u.caption), QRect(x, 1, u.width, 24));
        *u.target = makeCombo(GroupBox8, u.box, u.items, 0, QRect(x, 25, u.width, controlH));
        x += u.width + 4;
    }

    VrScrollText1 = tag(new ScrollText(Panel4), QStringLiteral("VrScrollText1"), ScrollText::kKind);
    VrScrollText1->setText(QStringLiteral("Nimbrel — home weather station · nimbrel.org"));
    VrScrollText1->setGeometry(752, 28, 110, 16);
}

QList<PictureBox *> MainWindowUi::temperatureUnitPictures() const
{
    return {TL1, TL2, TL3, TL4, TL5, TL6, TL7, TL8, TL9};
}

QList<QLabel *> MainWindowUi::pressureUnitLabels() const
{
    return {PressL1, PressL2, PressL3, PressL4};
}

QList<QLabel *> MainWindowUi::speedUnitLabels() const
{
    return {SL1, SL2, SL3, SL4, SL5, SL6};
}

QList<QLabel *> MainWindowUi::rainUnitLabels() const
{
    return {RL1, RL2, RL3, RL4};
}

QList<QWidget *> MainWindowUi::coordinateControls() const
{
    return {LatitudeLMUD, LatitudeLM, LatitudeLS, LatitudeLSUD, LocBox1, LongitudeLM,
            LongitudeLMUD, LongitudeLS, LongitudeLSUD, LocBox2, TL, TLUD};
}

}  // namespace nimbrel
