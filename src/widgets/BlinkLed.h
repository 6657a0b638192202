// The data-exchange indicator: a round LED that shows one of several colour
// pairs (off colour, on colour) and either glows in the on colour or blinks
// between the two.
#pragma once

#include "Component.h"

#include <QColor>
#include <QList>
#include <QPair>
#include <QTimer>
#include <QWidget>

namespace nimbrel {

class BlinkLed : public QWidget, public DumpableComponent {
    Q_OBJECT
public:
    using ColorPair = QPair<QColor, QColor>;  // off, on

    explicit BlinkLed(QWidget *parent = nullptr);

    void setColorPairs(const QList<ColorPair> &pairs);
    // Index into the colour pairs, counted from 0.
    void setColorIndex(int index);
    int colorIndex() const { return index_; }
    void setBlinking(bool blinking);
    bool blinking() const { return blinkTimer_.isActive(); }
    void setBlinkInterval(int ms) { blinkTimer_.setInterval(ms); }

    // The colour shown now.
    QColor currentColor() const;

    void dumpState(QJsonObject &out) const override;
    QSize sizeHint() const override { return {16, 16}; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QList<ColorPair> pairs_;
    int index_ = 0;
    bool lit_ = true;
    QTimer blinkTimer_;
};

}  // namespace nimbrel
