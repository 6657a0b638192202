#include "PanelStatusBar.h"

#include <QJsonArray>
#include <QPainter>

namespace nimbrel {

PanelStatusBar::PanelStatusBar(QWidget *parent) : QWidget(parent)
{
    setAutoFillBackground(true);
}

int PanelStatusBar::addPanel(const QString &text, int width, Qt::Alignment alignment)
{
    auto *label = new QLabel(text, this);
    label->setAlignment(alignment);
    label->setGeometry(nextX_ + 2, 0, width - 3, height());
    label->setTextFormat(Qt::PlainText);
    nextX_ += width;
    panels_.append(label);
    return static_cast<int>(panels_.size()) - 1;
}

void PanelStatusBar::setPanelText(int index, const QString &text)
{
    if (index >= 0 && index < panels_.size())
        panels_[index]->setText(text);
}

QString PanelStatusBar::panelText(int index) const
{
    return index >= 0 && index < panels_.size() ? panels_[index]->text() : QString();
}

void PanelStatusBar::dumpState(QJsonObject &out) const
{
    QJsonArray panels;
    for (const QLabel *label : panels_)
        panels.append(label->text());
    out.insert(QStringLiteral("panels"), panels);
}

void PanelStatusBar::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.fillRect(rect(), palette().window());
    p.setPen(palette().mid().color());
    p.drawLine(0, 0, width(), 0);
    int x = 0;
    for (const QLabel *label : panels_) {
        x = label->geometry().right() + 3;
        p.drawLine(x, 3, x, height() - 3);
    }
}

}  // namespace nimbrel
