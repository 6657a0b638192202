// Building blocks the main window's panels share: the type faces, labels
// placed on a reading's baseline, pictures, lists, gauges and trend charts,
// and the numbering of the unnamed captions.
#pragma once

#include "Component.h"
#include "KitStyle.h"
#include "ShortHistoryChart.h"

#include <QFont>
#include <array>
#include <QList>
#include <QPixmap>
#include <QRect>
#include <QString>
#include <QStringList>

class QComboBox;
class QGroupBox;
class QLabel;
class QSpinBox;
class QWidget;

namespace nimbrel {

class PictureBox;
class PowerMeter;
class TrendChart;

namespace panel {

// ---- Type -------------------------------------------------------------------
//
// Captions are set in a condensed face so they leave room for longer
// translations; readings are bold and larger, sized by importance.
QFont condensed(int pixels, bool bold = false);
QFont captionFont();
QFont stripFont();
QFont valueFont(int pixels);
QFont titleFont();

// Reading sizes: the main reading of a panel, secondary readings, and the
// small figures of extremes and limits.
inline constexpr int kMainValue = 20;
inline constexpr int kTemperatureValue = 22;
inline constexpr int kSecondValue = 15;
inline constexpr int kSmallValue = 11;

// The designed texts of the readings, shown until the first refresh writes
// them.
inline const QString kNoTemperature = QStringLiteral("--,-");
inline const QString kNoPressure = QStringLiteral("----,-");
inline const QString kSince = QStringLiteral("С :");

// The unnamed captions of the window are Label2, Label3, ... in the order
// they are built, leaving out the numbers the settings strip and the
// progress panel name by design. One sequence serves every panel.
class LabelNames {
public:
    QString next();

private:
    int next_ = 2;
};

template <class T>
T *tag(T *object, const QString &name, const char *kind)
{
    object->setObjectName(name);
    object->setProperty(kKindProperty, QString::fromLatin1(kind));
    return object;
}

QLabel *makeLabel(QWidget *parent, const QString &name, const QString &text, const QRect &geometry,
                  const QFont &font, Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter);
// A reading: right-aligned on its baseline, so a unit caption set beside it
// with besideBaseline() lines up with the figures.
QLabel *makeValue(QWidget *parent, const char *name, const QString &text, const QRect &geometry, int pixels,
                  const QString &hint = QString());
// A caption beside a value, named by the next free Label<n>.
QLabel *caption(LabelNames &names, QWidget *parent, const QString &text, const QRect &geometry, bool wrap = false);

// Baseline of a bottom-aligned label.
int baselineOf(const QLabel *label);
// The rectangle of a one-line label in the given font whose baseline is the
// value's.
QRect besideBaseline(const QLabel *value, int x, int width, const QFont &font);
// A 16-pixel sign or arrow sitting on the value's baseline.
QRect iconOnBaseline(const QLabel *value, int x);
// Room for a caption of the given number of lines whose last line sits on
// the value's baseline.
QRect captionOnBaseline(const QLabel *value, int x, int width, int lines);
// A unit caption on the value's baseline.
QLabel *makeUnit(QWidget *parent, const char *name, const QString &text, const QLabel *value, int x, int width);

PictureBox *makePicture(QWidget *parent, const char *name, const char *kind, const QList<QPixmap> &pictures,
                        int index, const QRect &geometry, kit::Placement placement = kit::Placement::TopLeft,
                        const QString &hint = QString());
QComboBox *makeCombo(QWidget *parent, const char *name, const QStringList &items, int index, const QRect &geometry,
                     const QString &hint = QString());
// The channel boxes' items ("CH1".."CH5"): a named channel's item shows its
// name where the box has room for it, its designed text otherwise; the item's
// hint names it either way. Again after every translation, which puts the
// designed texts back.
void nameChannelItems(QComboBox *box, const std::array<QString, 5> &names);
QSpinBox *makeNumberEdit(QWidget *parent, const char *name, int minimum, int maximum, const QRect &geometry);
PowerMeter *makeGauge(QWidget *parent, const char *name, const QString &caption, const QRect &geometry,
                      const QString &hint);
// A trend chart with its designed series title, hint and x-axis pattern.
// Its hint becomes the hint of the point under the mouse once the mouse
// moves over it; the axis labels go through the program's number formatter.
TrendChart *makeChart(QWidget *parent, const char *name, MainChart chart, double xMin, double yMin, double yMax,
                      const QRect &geometry);
// Markers of the recorded extremes, coloured as the thermometers' markers.
QLabel *makeMarker(QWidget *parent, const QString &name, bool maximum, const QRect &geometry);
void addSeparator(QWidget *parent, const QRect &geometry);
// Battery pictures sit at the right end of their group box's title row.
QRect titleRowIcon(const QGroupBox *box);

// Writes a label only when its text is known: an empty caption from a view
// means "unknown unit, keep what it shows".
void setKnownText(const QList<QLabel *> &labels, const QString &text);

// Points and vertical axis of a chart; its texts stay as built (a language
// switch may have replaced them).
void showChart(TrendChart *chart, const QList<QPointF> &points, double yMin, double yMax);

}  // namespace panel
}  // namespace nimbrel
