// The history window's layout: the tool bar's check boxes and period strip,
// the chart panels sharing the height the shown groups leave, and one left
// edge for every chart.
#include "TForm3.h"

#include "PanelStatusBar.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QTimer>

#include <algorithm>

namespace nimbrel {

using namespace history;

void TForm3::CheckBox1Click()
{
    layoutPanels();
}

void TForm3::layoutPanels()
{
    const bool shown[6] = {CheckBox1->isChecked(),
                           CheckBox2->isChecked() || CheckBox7->isChecked(),
                           CheckBox3->isChecked() || CheckBox8->isChecked(),
                           CheckBox4->isChecked(),
                           CheckBox5->isChecked(),
                           CheckBox6->isChecked()};
    // The check boxes take the room their texts need in the chosen language.
    // Those that would run under the period strip (kept at the right edge,
    // reachable on a narrow screen) continue on another row below, whole.
    const int stripX = std::max(4, width() - kPeriodStripWidth);
    int right = 6;
    int row = 0;
    for (QCheckBox *box : {CheckBox1, CheckBox2, CheckBox7, CheckBox3, CheckBox8, CheckBox4, CheckBox5, CheckBox6}) {
        const int w = box->sizeHint().width() + 4;
        const int limit = row == 0 ? stripX - 4 : width();
        if (right > 6 && right + w > limit) {
            ++row;
            right = 6;
        }
        box->setGeometry(right, 7 + row * kCheckRowHeight, w, 20);
        right += w + 4;
    }
    checksRight_ = row == 0 ? right : stripX;
    const int toolBarHeight = kToolBarHeight + row * kCheckRowHeight;
    const PanelHeights heights = panelHeights(shown, frameGeometry().height(), kStatusBarHeight, toolBarHeight);
    Panel3->setGeometry(0, 0, width(), toolBarHeight);
    const int x = std::max(4, std::min(checksRight_ + 4, stripX));
    periodStrip_->setGeometry(x, 0, std::max(kPeriodStripWidth, width() - x), kToolBarHeight);
    periodStrip_->raise();
    Label1->setGeometry(6, 7, 52, 20);
    IntervalBox->setGeometry(60, 6, 90, 22);
    Label2->setGeometry(158, 7, 104, 20);
    SelDate->setGeometry(264, 6, 110, 22);
    int y = toolBarHeight;
    QWidget *panels[] = {PressurePanel, TemperPanel, HumPanel, WindPanel, RainPanel, UVIPanel};
    for (int i = 0; i < ChartCount; ++i) {
        panels[i]->setGeometry(0, y, width(), heights.heights[i]);
        chart(static_cast<Chart>(i))->setGeometry(0, 0, width(), heights.heights[i]);
        // A hidden group's panel keeps one pixel row; its chart would paint a
        // strip of its lines there.
        chart(static_cast<Chart>(i))->setVisible(heights.heights[i] > 1);
        y += heights.heights[i];
    }
    sStatusBar1->setGeometry(0, height() - kStatusBarHeight, width(), kStatusBarHeight);
    alignCharts();
}

void TForm3::alignCharts()
{
    int widest = 0;
    for (int c = 0; c < ChartCount; ++c) {
        const HistoryChart *ch = chart(static_cast<Chart>(c));
        // A hidden group's labels do not widen the others.
        if (ch && ch->height() > 1)
            widest = std::max(widest, ch->valueLabelWidth());
    }
    if (widest == chartMargin_)
        return;
    chartMargin_ = widest;
    for (int c = 0; c < ChartCount; ++c)
        if (HistoryChart *ch = chart(static_cast<Chart>(c)))
            ch->setLeftMargin(std::max(widest, 1));
}

void TForm3::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    layoutPanels();
    CheckBox1Click();
    if (isVisible()) {
        // The widths changed: read again at the new resolution.
        for (int c = 0; c < ChartCount; ++c)
            rereadPending_[c] = c != Rain;
        rereadTimer_->start();
    }
}

}  // namespace nimbrel
