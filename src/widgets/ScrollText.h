// A narrow ticker display that scrolls its text from right to left at a
// steady speed. Copies of the text follow each other one cycle apart, so the
// strip wraps without a jump. The timer only runs while the strip is shown.
#pragma once

#include "Component.h"

#include <QElapsedTimer>
#include <QString>
#include <QTimer>
#include <QWidget>

namespace nimbrel {

class ScrollText : public QWidget, public DumpableComponent {
    Q_OBJECT
    Q_PROPERTY(QString text READ text WRITE setText)
public:
    static constexpr const char *kKind = "TVrScrollText";

    explicit ScrollText(QWidget *parent = nullptr);

    // A new text starts at the left edge.
    void setText(const QString &text);
    QString text() const { return text_; }

    // Pixels per second, in the strip's logical space (16 high).
    void setSpeed(qreal pixelsPerSecond) { speed_ = pixelsPerSecond; }
    qreal speed() const { return speed_; }
    void setScrolling(bool scrolling);
    bool scrolling() const { return scrolling_; }
    bool timerRunning() const { return timer_.isActive(); }
    void setTickInterval(int ms) { timer_.setInterval(ms); }

    // Distance from one copy of the text to the next: the text and a gap,
    // at least the strip's width so a short text is never shown twice.
    qreal cycle() const;
    // How far the text has moved left, in [0, cycle()).
    qreal offset() const { return offset_; }
    // Moves the text left by the given distance (right if negative).
    void scrollBy(qreal pixels);

    void dumpState(QJsonObject &out) const override;
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void tick();
    void syncTimer();
    qreal logicalScale() const;

    QString text_;
    qreal speed_ = 30.0;
    qreal offset_ = 0.0;
    bool scrolling_ = true;
    QTimer timer_;
    QElapsedTimer clock_;
};

}  // namespace nimbrel
