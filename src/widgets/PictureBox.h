// Shows one entry of a picture list, chosen by index. An index outside the
// list shows nothing and is kept as it is, so the list can be filled later.
#pragma once

#include "Component.h"
#include "KitStyle.h"

#include <QList>
#include <QPixmap>
#include <QWidget>

namespace nimbrel {

class PictureBox : public QWidget, public DumpableComponent {
    Q_OBJECT
public:
    // The same widget serves both picture kinds of the windows.
    static constexpr const char *kImageKind = "TImage";
    static constexpr const char *kBitmapKind = "TVrBitmapImage";

    explicit PictureBox(QWidget *parent = nullptr);

    void setPictures(const QList<QPixmap> &pictures);
    const QList<QPixmap> &pictures() const { return pictures_; }
    void setIndex(int index);
    int index() const { return index_; }
    // Whether the index names a picture that is drawn.
    bool showsPicture() const;

    // TopLeft by default.
    void setPlacement(kit::Placement placement);
    kit::Placement placement() const { return placement_; }

    void dumpState(QJsonObject &out) const override;
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QList<QPixmap> pictures_;
    int index_ = -1;
    kit::Placement placement_ = kit::Placement::TopLeft;
};

}  // namespace nimbrel
