#include "MainWindowUi.h"

#include "PictureBox.h"
#include "ScrollText.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScrollArea>
#include <QSpinBox>

#include "Units.h"

namespace nimbrel {

using namespace panel;

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

    // In this order: the unnamed captions are numbered as they are built.
    pressure_.build(GroupBox1, labelNames_);
    uv_.build(GroupBox3, labelNames_);
    TimeLocationPanel::build(GroupBox4, GroupBox2, labelNames_);
    temperature_.build(GroupBox7, labelNames_);
    rain_.build(GroupBox6, labelNames_);
    wind_.build(GroupBox5, labelNames_);

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
    HistoryTemp->setToolTip(QStringLiteral("Просмотр истории показаний"));
    BitBtn1 = tag(new QPushButton(QStringLiteral("Меню"), Panel4), QStringLiteral("BitBtn1"), "TBitBtn");
    BitBtn1->setGeometry(6, 25, 86, 22);

    PopupMenu1 = tag(new QMenu(form), QStringLiteral("PopupMenu1"), "TPopupMenu");
    N1 = tag(new QAction(QStringLiteral("Очистить историю значений"), PopupMenu1), QStringLiteral("N1"), "TMenuItem");
    PopupMenu1->addAction(N1);
    ExportHistoryItem = tag(new QAction(QStringLiteral("Экспорт истории…"), PopupMenu1),
                            QStringLiteral("ExportHistoryItem"), "TMenuItem");
    OpenDataFolderItem = tag(new QAction(QStringLiteral("Открыть папку данных"), PopupMenu1),
                             QStringLiteral("OpenDataFolderItem"), "TMenuItem");
    PopupMenu1->addActions({ExportHistoryItem, OpenDataFolderItem});
    // The export's choices, in the save dialog's list of file types; hidden:
    // the menu reads its items, so that they follow the language.
    ExportFormatBox = tag(new QComboBox(form), QStringLiteral("ExportFormatBox"), "TComboBox");
    ExportFormatBox->addItems({QStringLiteral("CSV, единицы СИ"), QStringLiteral("CSV, ваши единицы"),
                               QStringLiteral("JSON lines"), QStringLiteral("Архив weewx, SQLite")});
    ExportFormatBox->hide();
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
    return temperature_.unitPictures() << wind_.windChillUnitPicture();
}

QList<QLabel *> MainWindowUi::pressureUnitLabels() const
{
    return pressure_.unitLabels();
}

QList<QLabel *> MainWindowUi::speedUnitLabels() const
{
    return wind_.unitLabels();
}

QList<QLabel *> MainWindowUi::rainUnitLabels() const
{
    return rain_.unitLabels();
}

void MainWindowUi::applyChoices(const Settings &stored)
{
    auto apply = [](QComboBox *box, int index) {
        if (index >= 0 && index < box->count()) {
            const QSignalBlocker block(box);
            box->setCurrentIndex(index);
        }
    };
    apply(LangBox, stored.Lang);
    apply(TempEdBox, stored.Temp);
    apply(PressureEdBox, stored.Press);
    apply(SpeedEdBox, stored.Speed);
    apply(RainEdBox, stored.Rain);
    apply(UVIEdBox, stored.UVI);
    IsUserCity->setChecked(stored.UserCoord != 0);
}

void MainWindowUi::showTemperatureUnit(const TemperatureView &view, const Measurement &m)
{
    temperature_.show(view);
    wind_.showWindChill(formatWindChill(m, m.TemperatureUnit), view.TemperatureUnitPicture);
}

void MainWindowUi::showPressureUnit(const PressureView &view, const Measurement &m)
{
    pressure_.show(view);
    pressure_.showPressureExtremes(formatMaxPressure(m), formatMinPressure(m));
}

void MainWindowUi::showRainUnit(const RainView &view)
{
    rain_.showReadings(view);
    rain_.showUnit(view);
}

void MainWindowUi::showExtremes(const ExtremesView &view)
{
    pressure_.showExtremes(view);
    temperature_.showExtremes(view);
    wind_.showExtremes(view);
}

}  // namespace nimbrel
