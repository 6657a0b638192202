// A vertical glass thermometer: bulb and tube with a red column for the
// current value, an orange maximum and a blue minimum marker beside the tube,
// an integer scale with major and minor ticks, and an optional caption that
// runs up the left side.
//
// The widget keeps the values it is given and clamps only what it shows, so
// a scale that changes after the values (a unit switch) shows them right.
#pragma once

#include "Component.h"

#include <QList>
#include <QString>
#include <QWidget>

namespace nimbrel {

class ThermoMeter : public QWidget, public DumpableComponent {
    Q_OBJECT
    Q_PROPERTY(QString caption READ caption WRITE setCaption)
public:
    static constexpr const char *kKind = "TvrThermoMeter";

    explicit ThermoMeter(QWidget *parent = nullptr);

    // Column height and the two markers, in scale units. The getters return
    // what is shown, clamped to the scale.
    void setValue(double value);
    double value() const { return clamped(value_); }
    void setMaxMarker(double value);
    double maxMarker() const { return clamped(max_); }
    void setMinMarker(double value);
    double minMarker() const { return clamped(min_); }

    // A reversed range is put in order; an empty one is widened by one.
    void setScale(int minimum, int maximum);
    int scaleMin() const { return scaleMin_; }
    int scaleMax() const { return scaleMax_; }

    // Major ticks carry a label; both sit on multiples of their step.
    void setTickSteps(int major, int minor);
    int majorStep() const { return majorStep_; }
    int minorStep() const { return minorStep_; }

    void setCaption(const QString &caption);
    QString caption() const { return caption_; }

    // Multiples of step within [minimum, maximum], ascending.
    static QList<int> ticksBetween(int minimum, int maximum, int step);

    void dumpState(QJsonObject &out) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    struct Layout;
    Layout layoutFor(const QSizeF &size) const;
    double clamped(double v) const;
    QList<int> labelledValues() const;
    qreal contentWidth() const;

    double value_ = 0.0;
    double max_ = 0.0;
    double min_ = 0.0;
    int scaleMin_ = -10;
    int scaleMax_ = 60;
    int majorStep_ = 20;
    int minorStep_ = 10;
    QString caption_;
};

}  // namespace nimbrel
