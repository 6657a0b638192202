#include "TimeLocationPanel.h"
#include "ZoneSpinBox.h"

#include "Artwork.h"
#include "CalendarFields.h"
#include "DaylightSaving.h"
#include "PictureBox.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLocale>
#include <QLabel>
#include <QSpinBox>
#include <QToolButton>

namespace nimbrel {

using namespace panel;

namespace {

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

// ---- The boxes ----------------------------------------------------------------

void TimeLocationPanel::build(QGroupBox *timeBox, QGroupBox *skyBox, LabelNames &names)
{
    buildTimeAndLocation(timeBox, names);
    buildSunAndMoon(skyBox, names);
}

void TimeLocationPanel::buildTimeAndLocation(QGroupBox *g, LabelNames &names)
{
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
    caption(names, g, QStringLiteral("Неделя:"), QRect(8, 86, 62, 15));
    NumWeekL = makeLabel(g, QStringLiteral("NumWeekL"), QStringLiteral("99"), QRect(72, 86, 76, 15),
                         condensed(11, true), Qt::AlignLeft | Qt::AlignBottom);
    NumWeekL->setToolTip(QStringLiteral("Номер недели"));
    caption(names, g, QStringLiteral("День:"), QRect(8, 102, 62, 15));
    NumDayL = makeLabel(g, QStringLiteral("NumDayL"), QStringLiteral("999/999"), QRect(72, 102, 76, 15),
                        condensed(11, true), Qt::AlignLeft | Qt::AlignBottom);
    NumDayL->setToolTip(QStringLiteral("Номер дня"));
    // Carries the daylight-saving rule's name; designed hidden.
    DSTL = makeLabel(g, QStringLiteral("DSTL"), QString(), QRect(232, 0, 192, 16), captionFont(),
                     Qt::AlignRight | Qt::AlignVCenter);
    DSTL->hide();

    addSeparator(g, QRect(151, 22, 2, 106));

    // Location on the right.
    caption(names, g, QStringLiteral("Местоположение:"), QRect(158, 19, 196, 16));
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
        caption(names, g, text, QRect(158, y, editX - 160, 22))->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
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

    caption(names, g, QStringLiteral("Часовой пояс:"), QRect(158, 110, editX - 160, 22))
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

void TimeLocationPanel::buildSunAndMoon(QGroupBox *g, LabelNames &names)
{

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
        QLabel *label = caption(names, g, QString::fromUtf8(c.caption), QRect(x, y, 80, 26), true);
        label->setAlignment(Qt::AlignRight | Qt::AlignBottom);
        *c.target = makeValue(g, c.name, QString::fromUtf8(c.text), QRect(x, y + 26, 80, i < 2 ? 22 : 20), c.pixels,
                              QString::fromUtf8(c.hint));
    }
    VoshodL->setFont(kit::labelFont(18, QFont::Black));

    ZemlyImage = makePicture(g, "ZemlyImage", PictureBox::kImageKind, artwork::earthPictures(), 0,
                             QRect(172, 21, 160, 70));
    DlinaDnyL = makeValue(g, "DlinaDnyL", QStringLiteral("23:23"), QRect(272, 93, 60, 20), kSecondValue,
                          QStringLiteral("Долгота дня"));
    caption(names, g, QStringLiteral("Долгота дня:"), besideBaseline(DlinaDnyL, 172, 98, captionFont()));

    QLabel *phase = caption(names, g, QStringLiteral("Фаза Луны:"), QRect(336, 19, 90, 14));
    phase->setAlignment(Qt::AlignHCenter | Qt::AlignBottom);
    MoonImage = makePicture(g, "MoonImage", PictureBox::kImageKind, artwork::moonPhases(), 0,
                            QRect(336, 33, 90, 81), kit::Placement::Stretch, QStringLiteral("Фаза Луны"));
}

void TimeLocationPanel::show(const astro::SkyLabels &sky)
{
    VoshodL->setText(sky.VoshodL);
    ZahodL->setText(sky.ZahodL);
    DlinaDnyL->setText(sky.DlinaDnyL);
    VoshodMoonL->setText(sky.VoshodMoonL);
    ZahodMoonL->setText(sky.ZahodMoonL);
    MoonImage->setIndex(sky.moonPicture);
    ZemlyImage->setIndex(sky.earthPicture);
}

void TimeLocationPanel::showCalendar(const QDate &today, const QLocale &locale)
{
    WeekDayL->setText(astro::WeekdayText(today, locale));
    NumWeekL->setText(QString::number(astro::WeekNumber(today)));
    NumDayL->setText(astro::DayOfYearText(today));
}

void TimeLocationPanel::showHemispheresAndZone(const StationSummary &s)
{
    LocBox1->setCurrentIndex(s.Hemispheres < 2 ? 0 : 1);
    LocBox2->setCurrentIndex(s.Hemispheres == 1 || s.Hemispheres == 3 ? 1 : 0);
    TL->setValue(s.TimeZone);
}

void TimeLocationPanel::showCoordinates(const StationSummary &s)
{
    LatitudeLM->setValue(s.LatMin);
    LatitudeLS->setValue(s.LatSec);
    LongitudeLM->setValue(s.LongMin);
    LongitudeLS->setValue(s.LongSec);
}

void TimeLocationPanel::showDaylightSaving(int dstCode)
{
    if (const std::optional<QString> name = astro::DaylightSavingRuleName(dstCode))
        DSTL->setText(*name);
}

void TimeLocationPanel::fillCities(const std::vector<CityRow> &rows)
{
    const QSignalBlocker block(CityBox);
    CityBox->clear();
    for (const CityRow &row : rows)
        CityBox->addItem(row.Name, row.Code);
    CityBox->model()->sort(0);
    CityBox->setCurrentIndex(-1);
}

LocationOverride TimeLocationPanel::showCity(const CityRow &row)
{
    LatitudeLM->setValue(row.LatMin);
    LatitudeLS->setValue(row.LatSec);
    LongitudeLM->setValue(row.LongMin);
    LongitudeLS->setValue(row.LongSec);
    LocBox1->setCurrentIndex(row.IsLat);
    LocBox2->setCurrentIndex(row.IsLon);
    TL->setValue(row.TimeZone);
    LocationOverride shown;
    shown.LatMin = LatitudeLM->value();
    shown.LatSec = LatitudeLS->value();
    shown.LongMin = LongitudeLM->value();
    shown.LongSec = LongitudeLS->value();
    shown.Hemispheres = LocBox2->currentIndex() + 2 * LocBox1->currentIndex();
    shown.TimeZone = TL->value();
    return shown;
}

QList<QWidget *> TimeLocationPanel::coordinateControls() const
{
    return {LatitudeLMUD, LatitudeLM, LatitudeLS, LatitudeLSUD, LocBox1, LongitudeLM,
            LongitudeLMUD, LongitudeLS, LongitudeLSUD, LocBox2, TL, TLUD};
}

}  // namespace nimbrel
