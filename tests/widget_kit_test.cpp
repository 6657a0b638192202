// The painted widget kit, offscreen: what each widget keeps and reports, and
// what it draws (column heights, marker order, lit segments, frames, and the
// ticker's continuity across its wrap).
#include "AnimatedPicture.h"
#include "PictureBox.h"
#include "PowerMeter.h"
#include "ScrollText.h"
#include "ThermoMeter.h"

#include <QJsonObject>
#include <QPainter>
#include <QTest>

#include <cmath>
#include <functional>
#include <limits>
#include <memory>

using namespace nimbrel;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

QImage snapshot(QWidget &w)
{
    return w.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

int countPixels(const QImage &image, const std::function<bool(QColor)> &match, QRect area = {})
{
    if (area.isNull())
        area = image.rect();
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            n += match(image.pixelColor(x, y)) ? 1 : 0;
    return n;
}

// Mean row of the matching pixels, -1 when there are none.
double meanRow(const QImage &image, const std::function<bool(QColor)> &match)
{
    double sum = 0;
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (match(image.pixelColor(x, y))) {
                sum += y;
                ++n;
            }
    return n ? sum / n : -1;
}

bool isMercury(QColor c) { return c.red() > 150 && c.green() < 80 && c.blue() < 80; }
// Close to a colour, allowing for antialiasing at the edges.
bool near(QColor c, QColor target, int tolerance = 40)
{
    return std::abs(c.red() - target.red()) + std::abs(c.green() - target.green()) +
               std::abs(c.blue() - target.blue()) <=
           tolerance;
}
bool isMaxMarker(QColor c) { return near(c, kit::kMaxMarker); }
bool isMinMarker(QColor c) { return near(c, kit::kMinMarker); }
bool isLitSegment(QColor c) { return c.blue() > 180 && c.blue() - c.red() > 60; }

// Nothing drawn over the window background.
bool isBlank(const QWidget &w, const QImage &image)
{
    const QColor background = w.palette().color(QPalette::Window);
    return countPixels(image, [&](QColor c) { return c != background; }) == 0;
}

QPixmap solid(QSize size, QColor colour)
{
    QPixmap pixmap(size);
    pixmap.fill(colour);
    return pixmap;
}

// A strip of frames side by side, each in one colour.
QPixmap strip(QSize frame, const QList<QColor> &colours)
{
    QPixmap pixmap(frame.width() * int(colours.size()), frame.height());
    QPainter p(&pixmap);
    for (int i = 0; i < colours.size(); ++i)
        p.fillRect(QRect(QPoint(i * frame.width(), 0), frame), colours[i]);
    return pixmap;
}

}  // namespace

class WidgetKitTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Thermometer
    void ticksBetween_data();
    void ticksBetween();
    void thermometerClamps_data();
    void thermometerClamps();
    void thermometerScaleOrdered_data();
    void thermometerScaleOrdered();
    void thermometerRescaleShowsKeptValues();
    void thermometerColumnRisesWithValue();
    void thermometerDrawsClampedValue_data();
    void thermometerDrawsClampedValue();
    void thermometerMarkersInOrder_data();
    void thermometerMarkersInOrder();

    // Bar gauge
    void gaugeLitSegments_data();
    void gaugeLitSegments();
    void gaugeFillsFromLowEnd_data();
    void gaugeFillsFromLowEnd();

    // Pictures
    void pictureIndex_data();
    void pictureIndex();
    void picturePlacement_data();
    void picturePlacement();

    // Animation
    void animationFrameSize();
    void animationFrames_data();
    void animationFrames();
    void animationTimerAlternates();
    void animationNewStripStartsAtFirstFrame();
    void animationIndexOutside();

    // Ticker
    void tickerScrollBy_data();
    void tickerScrollBy();
    void tickerCycleAtLeastWidth();
    void tickerMovesContinuously_data();
    void tickerMovesContinuously();
    void tickerRunsOnlyWhileShown();

    // All
    void dumpState_data();
    void dumpState();
    void renders_data();
    void renders();
};

// ---- thermometer ---------------------------------------------------------------

void WidgetKitTest::ticksBetween_data()
{
    QTest::addColumn<int>("minimum");
    QTest::addColumn<int>("maximum");
    QTest::addColumn<int>("step");
    QTest::addColumn<QList<int>>("ticks");
    QTest::newRow("celsius majors") << -10 << 60 << 20 << QList<int>{0, 20, 40, 60};
    QTest::newRow("celsius minors") << -10 << 60 << 10 << QList<int>{-10, 0, 10, 20, 30, 40, 50, 60};
    QTest::newRow("fahrenheit majors") << 14 << 140 << 20 << QList<int>{20, 40, 60, 80, 100, 120, 140};
    QTest::newRow("negative on a multiple") << -40 << 50 << 20 << QList<int>{-40, -20, 0, 20, 40};
    QTest::newRow("negative between multiples") << -15 << 5 << 10 << QList<int>{-10, 0};
    QTest::newRow("all negative") << -35 << -1 << 10 << QList<int>{-30, -20, -10};
    QTest::newRow("none inside") << 1 << 9 << 10 << QList<int>{};
    QTest::newRow("single point") << 20 << 20 << 20 << QList<int>{20};
    QTest::newRow("zero step") << 0 << 10 << 0 << QList<int>{};
    QTest::newRow("reversed range") << 10 << 0 << 5 << QList<int>{};
}

void WidgetKitTest::ticksBetween()
{
    QFETCH(int, minimum);
    QFETCH(int, maximum);
    QFETCH(int, step);
    QFETCH(QList<int>, ticks);
    QCOMPARE(ThermoMeter::ticksBetween(minimum, maximum, step), ticks);
}

void WidgetKitTest::thermometerClamps_data()
{
    QTest::addColumn<int>("scaleMin");
    QTest::addColumn<int>("scaleMax");
    QTest::addColumn<double>("input");
    QTest::addColumn<double>("shown");
    QTest::newRow("inside") << -10 << 60 << 22.5 << 22.5;
    QTest::newRow("below") << -10 << 60 << -30.0 << -10.0;
    QTest::newRow("above") << -10 << 60 << 75.0 << 60.0;
    QTest::newRow("at the top") << -10 << 60 << 60.0 << 60.0;
    QTest::newRow("zero on a fahrenheit scale") << 14 << 140 << 0.0 << 14.0;
    QTest::newRow("fahrenheit inside") << 14 << 140 << 71.6 << 71.6;
    QTest::newRow("not a number") << -10 << 60 << kNaN << -10.0;
}

void WidgetKitTest::thermometerClamps()
{
    QFETCH(int, scaleMin);
    QFETCH(int, scaleMax);
    QFETCH(double, input);
    QFETCH(double, shown);
    ThermoMeter t;
    t.setScale(scaleMin, scaleMax);
    t.setValue(input);
    t.setMaxMarker(input);
    t.setMinMarker(input);
    QCOMPARE(t.value(), shown);
    QCOMPARE(t.maxMarker(), shown);
    QCOMPARE(t.minMarker(), shown);
    QJsonObject out;
    t.dumpState(out);
    QCOMPARE(out.value(QStringLiteral("value")).toDouble(), shown);
    QCOMPARE(out.value(QStringLiteral("max")).toDouble(), shown);
    QCOMPARE(out.value(QStringLiteral("min")).toDouble(), shown);
}

void WidgetKitTest::thermometerScaleOrdered_data()
{
    QTest::addColumn<int>("minimum");
    QTest::addColumn<int>("maximum");
    QTest::addColumn<int>("scaleMin");
    QTest::addColumn<int>("scaleMax");
    QTest::newRow("in order") << -10 << 60 << -10 << 60;
    QTest::newRow("reversed") << 140 << 14 << 14 << 140;
    QTest::newRow("empty") << 5 << 5 << 5 << 6;
}

void WidgetKitTest::thermometerScaleOrdered()
{
    QFETCH(int, minimum);
    QFETCH(int, maximum);
    QFETCH(int, scaleMin);
    QFETCH(int, scaleMax);
    ThermoMeter t;
    t.setScale(minimum, maximum);
    QCOMPARE(t.scaleMin(), scaleMin);
    QCOMPARE(t.scaleMax(), scaleMax);
    t.resize(t.sizeHint());
    QVERIFY(!isBlank(t, snapshot(t)));  // an empty range must not break the drawing
}

void WidgetKitTest::thermometerRescaleShowsKeptValues()
{
    // Values in Fahrenheit can arrive before the scale switches to it.
    ThermoMeter t;
    t.setScale(-10, 60);
    t.setValue(100.4);
    t.setMaxMarker(104.0);
    t.setMinMarker(2.0);
    QCOMPARE(t.value(), 60.0);
    QCOMPARE(t.maxMarker(), 60.0);
    QCOMPARE(t.minMarker(), 2.0);
    t.setScale(14, 140);
    QCOMPARE(t.value(), 100.4);
    QCOMPARE(t.maxMarker(), 104.0);
    QCOMPARE(t.minMarker(), 14.0);
}

void WidgetKitTest::thermometerColumnRisesWithValue()
{
    ThermoMeter t;
    t.resize(50, 180);
    int previous = -1;
    for (double v : {-10.0, 0.0, 15.0, 30.0, 45.0, 60.0}) {
        t.setValue(v);
        const int red = countPixels(snapshot(t), isMercury);
        QVERIFY2(red > previous, qPrintable(QStringLiteral("column at %1 not taller").arg(v)));
        previous = red;
    }
}

void WidgetKitTest::thermometerDrawsClampedValue_data()
{
    QTest::addColumn<double>("outside");
    QTest::addColumn<double>("end");
    QTest::newRow("above the scale") << 200.0 << 60.0;
    QTest::newRow("below the scale") << -50.0 << -10.0;
}

void WidgetKitTest::thermometerDrawsClampedValue()
{
    QFETCH(double, outside);
    QFETCH(double, end);
    ThermoMeter t;
    t.resize(50, 180);
    t.setCaption(QStringLiteral("Temperature"));
    t.setValue(end);
    t.setMaxMarker(end);
    const QImage atEnd = snapshot(t);
    t.setValue(outside);
    t.setMaxMarker(outside);
    QCOMPARE(snapshot(t), atEnd);
}

void WidgetKitTest::thermometerMarkersInOrder_data()
{
    QTest::addColumn<int>("scaleMin");
    QTest::addColumn<int>("scaleMax");
    QTest::addColumn<double>("maximum");
    QTest::addColumn<double>("minimum");
    QTest::newRow("celsius") << -10 << 60 << 27.0 << -4.0;
    QTest::newRow("fahrenheit") << 14 << 140 << 95.0 << 40.0;
    QTest::newRow("close together") << -10 << 60 << 21.0 << 15.0;
}

void WidgetKitTest::thermometerMarkersInOrder()
{
    QFETCH(int, scaleMin);
    QFETCH(int, scaleMax);
    QFETCH(double, maximum);
    QFETCH(double, minimum);
    ThermoMeter t;
    t.resize(56, 180);
    t.setScale(scaleMin, scaleMax);
    t.setValue(scaleMin);
    t.setMaxMarker(maximum);
    t.setMinMarker(minimum);
    const QImage image = snapshot(t);
    const double maxRow = meanRow(image, isMaxMarker);
    const double minRow = meanRow(image, isMinMarker);
    QVERIFY(maxRow >= 0);
    QVERIFY(minRow >= 0);
    QVERIFY2(maxRow < minRow, "the maximum marker must sit above the minimum marker");
}

// ---- bar gauge -----------------------------------------------------------------

void WidgetKitTest::gaugeLitSegments_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("lit");
    QTest::newRow("empty") << 0.0 << 0;
    QTest::newRow("below half a segment") << 2.4 << 0;
    QTest::newRow("half a segment") << 2.5 << 1;
    QTest::newRow("47 %") << 47.0 << 9;
    QTest::newRow("half") << 50.0 << 10;
    QTest::newRow("just short of full") << 97.4 << 19;
    QTest::newRow("full") << 100.0 << PowerMeter::kSegments;
    QTest::newRow("over the range") << 150.0 << PowerMeter::kSegments;
    QTest::newRow("negative") << -5.0 << 0;
    QTest::newRow("not a number") << kNaN << 0;
}

void WidgetKitTest::gaugeLitSegments()
{
    QFETCH(double, value);
    QFETCH(int, lit);
    PowerMeter m;
    m.setValue(value);
    QCOMPARE(m.litSegments(), lit);
    QVERIFY(m.value() >= 0.0 && m.value() <= 100.0);
}

void WidgetKitTest::gaugeFillsFromLowEnd_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QRect>("lowHalf");
    QTest::addColumn<QRect>("highHalf");
    QTest::newRow("horizontal") << QSize(150, 20) << QString() << QRect(0, 0, 75, 20) << QRect(75, 0, 75, 20);
    QTest::newRow("horizontal with caption")
        << QSize(230, 20) << QStringLiteral("Humidity") << QRect(0, 0, 150, 20) << QRect(150, 0, 80, 20);
    QTest::newRow("vertical") << QSize(20, 150) << QString() << QRect(0, 75, 20, 75) << QRect(0, 0, 20, 75);
}

void WidgetKitTest::gaugeFillsFromLowEnd()
{
    QFETCH(QSize, size);
    QFETCH(QString, caption);
    QFETCH(QRect, lowHalf);
    QFETCH(QRect, highHalf);
    PowerMeter m;
    m.resize(size);
    m.setCaption(caption);
    m.setValue(30);
    const QImage image = snapshot(m);
    QVERIFY(countPixels(image, isLitSegment, lowHalf) > 0);
    QCOMPARE(countPixels(image, isLitSegment, highHalf), 0);
    m.setValue(0);
    QCOMPARE(countPixels(snapshot(m), isLitSegment), 0);
}

// ---- pictures ------------------------------------------------------------------

void WidgetKitTest::pictureIndex_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("index");
    QTest::addColumn<bool>("shows");
    QTest::newRow("first") << 3 << 0 << true;
    QTest::newRow("last") << 3 << 2 << true;
    QTest::newRow("one past the end") << 3 << 3 << false;
    QTest::newRow("minus one") << 3 << -1 << false;
    QTest::newRow("empty list") << 0 << 0 << false;
}

void WidgetKitTest::pictureIndex()
{
    QFETCH(int, count);
    QFETCH(int, index);
    QFETCH(bool, shows);
    const QList<QColor> colours{Qt::red, Qt::green, Qt::blue};
    QList<QPixmap> pictures;
    for (int i = 0; i < count; ++i)
        pictures.append(solid(QSize(16, 16), colours[i]));

    PictureBox blank;
    blank.resize(16, 16);
    PictureBox box;
    box.resize(16, 16);
    box.setPictures(pictures);
    box.setIndex(index);
    QCOMPARE(box.index(), index);
    QCOMPARE(box.showsPicture(), shows);
    QJsonObject out;
    box.dumpState(out);
    QCOMPARE(out.value(QStringLiteral("image")).toInt(), index);
    const QImage image = snapshot(box);
    if (shows)
        QCOMPARE(image.pixelColor(8, 8), colours[index]);
    else
        QCOMPARE(image, snapshot(blank));
}

void WidgetKitTest::picturePlacement_data()
{
    QTest::addColumn<kit::Placement>("placement");
    QTest::addColumn<QSize>("picture");
    QTest::addColumn<QPoint>("inside");
    QTest::addColumn<QPoint>("outside");
    // The widget is 40 × 40 in every row.
    QTest::newRow("top left") << kit::Placement::TopLeft << QSize(10, 10) << QPoint(2, 2) << QPoint(20, 20);
    QTest::newRow("centred") << kit::Placement::Center << QSize(10, 10) << QPoint(20, 20) << QPoint(2, 2);
    QTest::newRow("stretched") << kit::Placement::Stretch << QSize(10, 10) << QPoint(38, 38) << QPoint(-1, -1);
    QTest::newRow("fitted wide") << kit::Placement::Fit << QSize(20, 10) << QPoint(2, 20) << QPoint(20, 3);
    QTest::newRow("fitted tall") << kit::Placement::Fit << QSize(10, 20) << QPoint(20, 2) << QPoint(3, 20);
}

void WidgetKitTest::picturePlacement()
{
    QFETCH(kit::Placement, placement);
    QFETCH(QSize, picture);
    QFETCH(QPoint, inside);
    QFETCH(QPoint, outside);
    PictureBox box;
    box.resize(40, 40);
    box.setPlacement(placement);
    box.setPictures({solid(picture, Qt::magenta)});
    box.setIndex(0);
    const QImage image = snapshot(box);
    QCOMPARE(image.pixelColor(inside), QColor(Qt::magenta));
    if (image.rect().contains(outside))
        QVERIFY(image.pixelColor(outside) != QColor(Qt::magenta));
}

// ---- animation -----------------------------------------------------------------

void WidgetKitTest::animationFrameSize()
{
    AnimatedPicture a;
    a.setStrips({solid(QSize(290, 121), Qt::gray)});
    QCOMPARE(a.frameSize(), QSize(145, 121));
    QCOMPARE(a.sizeHint(), QSize(145, 121));
}

void WidgetKitTest::animationFrames_data()
{
    QTest::addColumn<int>("frames");
    QTest::addColumn<int>("advances");
    QTest::addColumn<int>("frame");
    QTest::newRow("two, at rest") << 2 << 0 << 0;
    QTest::newRow("two, once") << 2 << 1 << 1;
    QTest::newRow("two, back to the first") << 2 << 2 << 0;
    QTest::newRow("two, five times") << 2 << 5 << 1;
    QTest::newRow("three, twice") << 3 << 2 << 2;
    QTest::newRow("three, wraps") << 3 << 3 << 0;
}

void WidgetKitTest::animationFrames()
{
    QFETCH(int, frames);
    QFETCH(int, advances);
    QFETCH(int, frame);
    const QList<QColor> colours{Qt::red, Qt::blue, Qt::green};
    AnimatedPicture a;
    a.resize(10, 10);
    a.setFrameCount(frames);
    a.setStrips({strip(QSize(10, 10), colours.mid(0, frames))});
    a.setIndex(0);
    for (int i = 0; i < advances; ++i)
        a.advanceFrame();
    QCOMPARE(a.currentFrame(), frame);
    QCOMPARE(snapshot(a).pixelColor(5, 5), colours[frame]);
}

void WidgetKitTest::animationTimerAlternates()
{
    AnimatedPicture a;
    QCOMPARE(a.interval(), 500);
    a.setStrips({strip(QSize(10, 10), {Qt::red, Qt::blue})});
    a.setIndex(0);
    a.setInterval(20);
    a.setAnimating(true);
    QTRY_COMPARE_WITH_TIMEOUT(a.currentFrame(), 1, 60000);  // a net only
    QTRY_COMPARE_WITH_TIMEOUT(a.currentFrame(), 0, 60000);  // a net only
    a.setAnimating(false);
    const int frozen = a.currentFrame();
    QTest::qWait(100);
    QCOMPARE(a.currentFrame(), frozen);
}

void WidgetKitTest::animationNewStripStartsAtFirstFrame()
{
    AnimatedPicture a;
    a.setStrips({strip(QSize(10, 10), {Qt::red, Qt::blue}), strip(QSize(10, 10), {Qt::green, Qt::yellow})});
    a.setIndex(0);
    a.advanceFrame();
    a.setIndex(0);  // the refresh sets the same strip again: keep going
    QCOMPARE(a.currentFrame(), 1);
    a.setIndex(1);
    QCOMPARE(a.currentFrame(), 0);
}

void WidgetKitTest::animationIndexOutside()
{
    AnimatedPicture blank;
    blank.resize(20, 20);
    AnimatedPicture a;
    a.resize(20, 20);
    a.setStrips(QList<QPixmap>(8, strip(QSize(20, 20), {Qt::red, Qt::blue})));
    a.setIndex(8);
    a.setAnimating(true);
    QVERIFY(!a.showsPicture());
    QCOMPARE(snapshot(a), snapshot(blank));
    a.advanceFrame();
    QCOMPARE(snapshot(a), snapshot(blank));
}

// ---- ticker --------------------------------------------------------------------

void WidgetKitTest::tickerScrollBy_data()
{
    // Steps and the expected offset, in cycles.
    QTest::addColumn<QList<double>>("steps");
    QTest::addColumn<double>("offset");
    QTest::newRow("a quarter") << QList<double>{0.25} << 0.25;
    QTest::newRow("past the wrap") << QList<double>{0.75, 0.5} << 0.25;
    QTest::newRow("exactly one cycle") << QList<double>{1.0} << 0.0;
    QTest::newRow("several cycles") << QList<double>{3.5} << 0.5;
    QTest::newRow("backwards") << QList<double>{-0.25} << 0.75;
}

void WidgetKitTest::tickerScrollBy()
{
    QFETCH(QList<double>, steps);
    QFETCH(double, offset);
    ScrollText s;
    s.resize(110, 16);
    s.setText(QStringLiteral("Nimbrel weather station, indoor and outdoor"));
    const double cycle = s.cycle();
    for (double step : steps)
        s.scrollBy(step * cycle);
    QVERIFY2(std::abs(s.offset() - offset * cycle) < 1e-6, qPrintable(QString::number(s.offset())));
    s.setText(QStringLiteral("another text"));
    QCOMPARE(s.offset(), 0.0);
}

void WidgetKitTest::tickerCycleAtLeastWidth()
{
    ScrollText s;
    s.resize(110, 16);
    s.setText(QStringLiteral("Hi"));
    QCOMPARE(s.cycle(), 110.0);
    s.setText(QStringLiteral("A caption far longer than the strip it scrolls in"));
    QVERIFY(s.cycle() > 110.0 + 30.0);
}

void WidgetKitTest::tickerMovesContinuously_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("fromEnd");  // start this far before the wrap; -1 starts at 0
    QTest::newRow("long text, from the start") << QStringLiteral("Nimbrel weather station") << -1;
    QTest::newRow("long text, across the wrap") << QStringLiteral("Nimbrel weather station") << 2;
    QTest::newRow("short text, across the wrap") << QStringLiteral("Nimbrel") << 3;
}

void WidgetKitTest::tickerMovesContinuously()
{
    // Four pixels further on, the inside of the strip is the same picture
    // moved four pixels left, also when the step crosses the wrap.
    QFETCH(QString, text);
    QFETCH(int, fromEnd);
    constexpr int step = 4;
    ScrollText s;
    s.resize(110, 16);
    s.setText(text);
    if (fromEnd >= 0)
        s.scrollBy(s.cycle() - fromEnd);
    const QImage before = snapshot(s);
    s.scrollBy(step);
    const QImage after = snapshot(s);
    QVERIFY(before != after);
    // Leave out the faded ends.
    const QRect inside(10, 2, 110 - 20 - step, 12);
    QCOMPARE(after.copy(inside), before.copy(inside.translated(step, 0)));
}

void WidgetKitTest::tickerRunsOnlyWhileShown()
{
    ScrollText s;
    s.resize(110, 16);
    s.setText(QStringLiteral("Nimbrel weather station"));
    s.setTickInterval(10);
    QVERIFY(!s.timerRunning());
    s.show();
    QVERIFY(s.timerRunning());
    QTRY_VERIFY_WITH_TIMEOUT(s.offset() > 0, 60000);  // a net only
    s.hide();
    QVERIFY(!s.timerRunning());
    s.show();
    s.setScrolling(false);
    QVERIFY(!s.timerRunning());
    const double held = s.offset();
    QTest::qWait(60);
    QCOMPARE(s.offset(), held);
}

// ---- all widgets ---------------------------------------------------------------

void WidgetKitTest::dumpState_data()
{
    QTest::addColumn<QString>("widget");
    QTest::addColumn<QJsonObject>("expected");
    QTest::newRow("thermometer") << "thermometer"
                                 << QJsonObject{{"value", 71.6}, {"max", 95.0}, {"min", 14.0},
                                                {"scaleMin", 14}, {"scaleMax", 140}, {"text", "Temperature"}};
    QTest::newRow("gauge") << "gauge" << QJsonObject{{"value", 47.0}, {"text", "Humidity"}};
    QTest::newRow("picture") << "picture" << QJsonObject{{"image", -1}};
    QTest::newRow("animation") << "animation" << QJsonObject{{"image", 7}, {"animating", true}};
    QTest::newRow("ticker") << "ticker" << QJsonObject{{"text", "Nimbrel"}};
}

void WidgetKitTest::dumpState()
{
    QFETCH(QString, widget);
    QFETCH(QJsonObject, expected);
    QJsonObject out;
    if (widget == QLatin1String("thermometer")) {
        ThermoMeter t;
        t.setScale(14, 140);
        t.setValue(71.6);
        t.setMaxMarker(95.0);
        t.setMinMarker(-4.0);
        t.setCaption(QStringLiteral("Temperature"));
        t.dumpState(out);
    } else if (widget == QLatin1String("gauge")) {
        PowerMeter m;
        m.setValue(47);
        m.setCaption(QStringLiteral("Humidity"));
        m.dumpState(out);
    } else if (widget == QLatin1String("picture")) {
        PictureBox b;
        b.dumpState(out);
    } else if (widget == QLatin1String("animation")) {
        AnimatedPicture a;
        a.setStrips(QList<QPixmap>(8, solid(QSize(290, 121), Qt::gray)));
        a.setIndex(7);
        a.setAnimating(true);
        a.dumpState(out);
    } else {
        ScrollText s;
        s.setText(QStringLiteral("Nimbrel"));
        s.dumpState(out);
    }
    QCOMPARE(out, expected);
}

void WidgetKitTest::renders_data()
{
    QTest::addColumn<QString>("widget");
    QTest::newRow("thermometer") << "thermometer";
    QTest::newRow("gauge") << "gauge";
    QTest::newRow("picture") << "picture";
    QTest::newRow("animation") << "animation";
    QTest::newRow("ticker") << "ticker";
}

void WidgetKitTest::renders()
{
    // Each widget at the size the main window gives it draws something, and
    // draws something else after its shown state changes.
    QFETCH(QString, widget);
    std::unique_ptr<QWidget> w;
    std::function<void()> change;
    if (widget == QLatin1String("thermometer")) {
        auto *t = new ThermoMeter;
        t->resize(50, 180);
        t->setCaption(QStringLiteral("Temperature"));
        t->setValue(20);
        change = [t] { t->setValue(21); };
        w.reset(t);
    } else if (widget == QLatin1String("gauge")) {
        auto *m = new PowerMeter;
        m->resize(150, 20);
        m->setValue(40);
        change = [m] { m->setValue(45); };
        w.reset(m);
    } else if (widget == QLatin1String("picture")) {
        auto *b = new PictureBox;
        b->resize(22, 22);
        b->setPictures({solid(QSize(22, 22), Qt::red), solid(QSize(22, 22), Qt::darkGreen)});
        b->setIndex(0);
        change = [b] { b->setIndex(1); };
        w.reset(b);
    } else if (widget == QLatin1String("animation")) {
        auto *a = new AnimatedPicture;
        a->resize(145, 121);
        a->setStrips({strip(QSize(145, 121), {Qt::cyan, Qt::darkCyan})});
        a->setIndex(0);
        change = [a] { a->advanceFrame(); };
        w.reset(a);
    } else {
        auto *s = new ScrollText;
        s->resize(110, 16);
        s->setText(QStringLiteral("Nimbrel"));
        change = [s] { s->scrollBy(1); };
        w.reset(s);
    }
    const QImage before = snapshot(*w);
    QVERIFY(!isBlank(*w, before));
    change();
    QVERIFY(snapshot(*w) != before);
}

QTEST_MAIN(WidgetKitTest)
#include "widget_kit_test.moc"
