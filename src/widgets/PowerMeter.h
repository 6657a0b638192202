// A bar gauge in LED style: a dark display face holding a row of segments
// that light from the low end, shading from pale to deep blue, grouped in
// fives so quarters of the range read at a glance. An optional caption sits
// before the face. Laid out horizontally, or vertically (filling upwards)
// when the widget is taller than wide.
#pragma once

#include "Component.h"

#include <QString>
#include <QWidget>

namespace nimbrel {

class PowerMeter : public QWidget, public DumpableComponent {
    Q_OBJECT
    Q_PROPERTY(QString caption READ caption WRITE setCaption)
public:
    static constexpr const char *kKind = "TVrPowerMeter";
    static constexpr int kSegments = 20;

    explicit PowerMeter(QWidget *parent = nullptr);

    // The value is kept as given; value() and the drawing clamp it to the range.
    void setValue(double value);
    double value() const;
    void setRange(double minimum, double maximum);
    double minimum() const { return minimum_; }
    double maximum() const { return maximum_; }

    void setCaption(const QString &caption);
    QString caption() const { return caption_; }
    // A caption band of fixed width (pixels, 0: as wide as the caption), so
    // that gauges in a column keep their faces aligned whatever their
    // captions say; a longer caption is cut short.
    void setCaptionWidth(int pixels);
    int captionWidth() const { return captionWidth_; }

    // Segments lit for the current value: a segment lights once the value
    // reaches its middle.
    int litSegments() const;

    void dumpState(QJsonObject &out) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    qreal captionBand() const;

    int captionWidth_ = 0;
    double value_ = 0.0;
    double minimum_ = 0.0;
    double maximum_ = 100.0;
    QString caption_;
};

}  // namespace nimbrel
