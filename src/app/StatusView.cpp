#include "StatusView.h"

#include "BlinkLed.h"
#include "ClockSkew.h"
#include "LinkApi.h"
#include "MainWindowUi.h"
#include "PanelStatusBar.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

namespace nimbrel {

namespace {

// Colour pairs of the exchange LED, counted from 0: the exchange shows pair 3
// blinking (lime), idle shows pair 1 steady (aqua).
constexpr int kLedIdle = 1;
constexpr int kLedExchange = 3;
// "nimbrel.org", right of the version: publishing's state in a word.
constexpr int kSitePanel = 4;
constexpr int kMessageMs = 10000;

}  // namespace

StatusView::StatusView(MainWindowUi &ui, QObject *parent) : QObject(parent), ui_(ui)
{
    messageTimer_ = new QTimer(this);
    messageTimer_->setSingleShot(true);
    connect(messageTimer_, &QTimer::timeout, this, &StatusView::showLinkState);
}

void StatusView::show(const StationSnapshot &s)
{
    connected_ = s.connected;
    linkError_ = s.linkError;
    // The clocks' difference goes with the link state; a passing message
    // keeps the panel until it is over.
    const QString clock = clockSkewSentence(ClockSkew{s.clockAheadSecs});
    if (clock != clockText_) {
        clockText_ = clock;
        if (linkStateShown_ && !messageTimer_->isActive() && s.change != SnapshotChange::Connection &&
            s.change != SnapshotChange::LinkError)
            showLinkState();
    }
    switch (s.change) {
    case SnapshotChange::Connection:
        showLinkState();
        if (s.connected) {
            ui_.TempPanel->show();
            ui_.TempPanel->raise();
        }
        break;
    case SnapshotChange::LinkError: showLinkState(); break;
    case SnapshotChange::Exchange:
        ui_.ObmenLed->setColorIndex(s.exchangeActive ? kLedExchange : kLedIdle);
        ui_.ObmenLed->setBlinking(s.exchangeActive);
        break;
    case SnapshotChange::FullRead: showFullRead(s.fullReadActive); break;
    case SnapshotChange::Stage: showStage(s); break;
    case SnapshotChange::Progress: ui_.ProgressBar1->setValue(qMin(s.progress, ui_.ProgressBar1->maximum())); break;
    case SnapshotChange::Publishing: showPublishing(s); break;
    default: break;
    }
}

void StatusView::retell()
{
    if (linkStateShown_)
        showLinkState();
}

void StatusView::showLinkState()
{
    linkStateShown_ = true;
    QString text = connected_ ? ui_.StationOn->text() : ui_.StationOff->text();
    if (!connected_ && linkError_ == USBLINK_NO_PERMISSION)
        text = ui_.NoAccess->text();
    else if (!connected_ && linkError_ == USBLINK_OPEN_FAILED)
        text = ui_.NoOpen->text();
    if (!clockText_.isEmpty())
        text += QStringLiteral(" \u2014 ") + clockText_;
    ui_.sStatusBar1->setPanelText(0, text);
}

void StatusView::showMessage(const QString &text)
{
    ui_.sStatusBar1->setPanelText(0, text);
    messageTimer_->start(kMessageMs);
}

QList<QWidget *> StatusView::lockedControls() const
{
    return {ui_.TempEdBox, ui_.PressureEdBox, ui_.SpeedEdBox,   ui_.RainEdBox, ui_.PeriodBox,
            ui_.UVIEdBox,  ui_.SpeedButton1,  ui_.PressLevel,   ui_.BitBtn1};
}

// A full read shows the progress panel and keeps the unit and station
// settings, and the menu with the clearing of the history, locked until it
// ends.
void StatusView::showFullRead(bool active)
{
    for (QWidget *w : lockedControls())
        w->setEnabled(!active);
    ui_.N1->setEnabled(!active);
    ui_.TempPanel->setVisible(active);
    if (active)
        ui_.TempPanel->raise();
}

void StatusView::showStage(const StationSnapshot &s)
{
    QString text;
    switch (s.stage) {
    case ReadStage::LoadingFromStation: text = ui_.LoadFrom->text(); break;
    case ReadStage::SavingToComputer: text = ui_.SaveFrom->text(); break;
    case ReadStage::NoStation: text = ui_.ErrorConnect->text(); break;
    }
    if (s.stageAttempt > 1)
        text += QStringLiteral(" (%1 %2)").arg(ui_.RepeatRead->text()).arg(s.stageAttempt);
    ui_.Label10->setText(text);
}

// The status bar has no room for a panel of its own: the site panel says in
// a word what is wrong with publishing, its hint the whole sentences.
void StatusView::showPublishing(const StationSnapshot &s)
{
    if (s.publishWord.isEmpty())
        return;
    ui_.sStatusBar1->setPanelText(kSitePanel, s.publishWord);
    ui_.sStatusBar1->setToolTip(s.publishLines.join(QLatin1Char('\n')));
}

}  // namespace nimbrel
