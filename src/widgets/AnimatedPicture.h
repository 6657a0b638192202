// Shows one strip of a list of animation strips, cycling through the strip's
// frames while animating. Each strip holds its frames side by side, so a
// two-frame strip 290 wide shows frames 145 wide. An index outside the list
// shows nothing and is kept as it is.
#pragma once

#include "Component.h"
#include "KitStyle.h"

#include <QList>
#include <QPixmap>
#include <QTimer>
#include <QWidget>

namespace nimbrel {

class AnimatedPicture : public QWidget, public DumpableComponent {
    Q_OBJECT
public:
    static constexpr const char *kKind = "TVrAnimate";

    explicit AnimatedPicture(QWidget *parent = nullptr);

    void setStrips(const QList<QPixmap> &strips);
    const QList<QPixmap> &strips() const { return strips_; }
    // Choosing another strip starts it at its first frame.
    void setIndex(int index);
    int index() const { return index_; }
    bool showsPicture() const;

    void setFrameCount(int frames);
    int frameCount() const { return frames_; }
    int currentFrame() const { return frame_; }
    // Size of one frame of the list's strips, in device-independent pixels.
    QSize frameSize() const;

    // Switching on while running keeps the rhythm; switching off freezes the
    // frame shown.
    void setAnimating(bool animating);
    bool animating() const { return timer_.isActive(); }
    void setInterval(int ms) { timer_.setInterval(ms); }
    int interval() const { return timer_.interval(); }
    // Moves to the next frame, as the timer does.
    void advanceFrame();

    // Center by default.
    void setPlacement(kit::Placement placement);
    kit::Placement placement() const { return placement_; }

    void dumpState(QJsonObject &out) const override;
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QList<QPixmap> strips_;
    int index_ = -1;
    int frames_ = 2;
    int frame_ = 0;
    kit::Placement placement_ = kit::Placement::Center;
    QTimer timer_;
};

}  // namespace nimbrel
