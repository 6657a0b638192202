#include "PanelKit.h"

#include "PictureBox.h"
#include "PowerMeter.h"
#include "TrendChart.h"

#include <QComboBox>
#include <QStyle>
#include <QSignalBlocker>
#include <QStyleOptionComboBox>
#include <QFontMetrics>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QSpinBox>

namespace nimbrel::panel {

QFont condensed(int pixels, bool bold)
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

QString LabelNames::next()
{
    // Label1, Label10, Label11 and Label20 to Label27 are named by design
    // (the settings strip and the progress panel).
    auto taken = [](int n) { return n == 1 || n == 10 || n == 11 || (n >= 20 && n <= 27); };
    while (taken(next_))
        ++next_;
    return QStringLiteral("Label%1").arg(next_++);
}

QLabel *makeLabel(QWidget *parent, const QString &name, const QString &text, const QRect &geometry,
                  const QFont &font, Qt::Alignment alignment)
{
    auto *label = tag(new QLabel(text, parent), name, "TLabel");
    label->setTextFormat(Qt::PlainText);
    label->setFont(font);
    label->setAlignment(alignment);
    label->setGeometry(geometry);
    return label;
}

QLabel *makeValue(QWidget *parent, const char *name, const QString &text, const QRect &geometry, int pixels,
                  const QString &hint)
{
    QLabel *label = makeLabel(parent, QString::fromLatin1(name), text, geometry, valueFont(pixels),
                              Qt::AlignRight | Qt::AlignBottom);
    label->setToolTip(hint);
    return label;
}

QLabel *caption(LabelNames &names, QWidget *parent, const QString &text, const QRect &geometry, bool wrap)
{
    QLabel *label = makeLabel(parent, names.next(), text, geometry, captionFont(), Qt::AlignLeft | Qt::AlignBottom);
    label->setWordWrap(wrap);
    return label;
}

int baselineOf(const QLabel *label)
{
    return label->geometry().bottom() + 1 - QFontMetrics(label->font()).descent();
}

QRect besideBaseline(const QLabel *value, int x, int width, const QFont &font)
{
    const QFontMetrics fm(font);
    return QRect(x, baselineOf(value) - fm.ascent(), width, fm.height());
}

QRect iconOnBaseline(const QLabel *value, int x)
{
    return QRect(x, baselineOf(value) - 14, 16, 16);
}

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
                        int index, const QRect &geometry, kit::Placement placement, const QString &hint)
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
                     const QString &hint)
{
    auto *box = tag(new QComboBox(parent), QString::fromLatin1(name), "TComboBox");
    box->addItems(items);
    box->setCurrentIndex(index);
    box->setGeometry(geometry);
    box->setToolTip(hint);
    return box;
}

void nameChannelItems(QComboBox *box, const std::array<QString, 5> &names)
{
    QStyleOptionComboBox option;
    option.initFrom(box);
    option.editable = box->isEditable();
    const int room =
        box->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, box).width() - 2;
    const QFontMetrics metrics(box->font());
    const QSignalBlocker block(box);
    const int chosen = box->currentIndex();
    for (int i = 0; i < box->count() && i < static_cast<int>(names.size()); ++i) {
        const QString &name = names[static_cast<std::size_t>(i)];
        const QString item = box->itemText(i);
        if (name.isEmpty() || item == name)
            continue;
        box->setItemData(i, name, Qt::ToolTipRole);
        if (metrics.horizontalAdvance(name) <= room)
            box->setItemText(i, name);
    }
    box->setCurrentIndex(chosen);
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

TrendChart *makeChart(QWidget *parent, const char *name, MainChart kind, double xMin, double yMin, double yMax,
                      const QRect &geometry)
{
    auto *chart = tag(new TrendChart(parent), QString::fromLatin1(name), TrendChart::kKind);
    chart->setSeriesTitle(chartSeriesTitle(kind));
    chart->setXLabelFormat(chartXLabelFormat(kind));
    chart->setXRange(xMin, 0);
    chart->setYRange(yMin, yMax);
    chart->setGeometry(geometry);
    chart->setToolTip(chartDesignedHint(kind));
    // The point under the mouse, or no hint at all off the points.
    QObject::connect(chart, &TrendChart::mouseMoved, chart, [chart, kind](Qt::KeyboardModifiers, const QPoint &at) {
        const int index = chart->pointAt(at);
        chart->setToolTip(index >= 0 ? chartPointHint(kind, chart->point(index)) : QString());
    });
    return chart;
}

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

QRect titleRowIcon(const QGroupBox *box)
{
    return QRect(box->width() - 26, 0, 20, 17);
}

void setKnownText(const QList<QLabel *> &labels, const QString &text)
{
    if (text.isEmpty())
        return;
    for (QLabel *label : labels)
        label->setText(text);
}

void showChart(TrendChart *chart, const QList<QPointF> &points, double yMin, double yMax)
{
    // A redraw costs about a millisecond: a chart that already shows these
    // points on this axis (the unit handlers at the end of every refresh)
    // is left as it is.
    bool same = chart->pointCount() == points.size() && chart->yMin() == yMin && chart->yMax() == yMax;
    for (int i = 0; same && i < points.size(); ++i)
        same = chart->point(i) == points[i];
    if (same)
        return;
    chart->setYRange(yMin, yMax);
    chart->setPoints(points);
}

}  // namespace nimbrel::panel
