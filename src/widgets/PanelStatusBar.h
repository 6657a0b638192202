// A status bar of fixed-width text panels, addressed by panel number.
#pragma once

#include "Component.h"

#include <QLabel>
#include <QList>
#include <QWidget>

namespace nimbrel {

class PanelStatusBar : public QWidget, public DumpableComponent {
    Q_OBJECT
public:
    explicit PanelStatusBar(QWidget *parent = nullptr);

    int addPanel(const QString &text, int width, Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter);
    int panelCount() const { return static_cast<int>(panels_.size()); }
    void setPanelText(int index, const QString &text);
    QString panelText(int index) const;

    void dumpState(QJsonObject &out) const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QList<QLabel *> panels_;
    int nextX_ = 0;
};

}  // namespace nimbrel
