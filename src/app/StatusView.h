// What the main window says about the station link, from the engine's
// snapshots: the link state (with the difference between the station's
// clock and the computer's, when they differ) and passing messages in the
// status bar's first panel, the exchange LED, the start-up progress panel with the controls a
// full read locks, and publishing's state in the site panel.
#pragma once

#include "StationSnapshot.h"

#include <QList>
#include <QObject>

class QTimer;
class QWidget;

namespace nimbrel {

class MainWindowUi;

class StatusView : public QObject {
public:
    StatusView(MainWindowUi &ui, QObject *parent);

    // The parts of a snapshot this view shows; other changes pass by.
    void show(const StationSnapshot &s);
    // Says the link state again (a language switch put the panel's caption
    // there); nothing before the first link check.
    void retell();
    // A message in the first panel, which shows the link state again after a while.
    void showMessage(const QString &text);
    void showPublishing(const StationSnapshot &s);
    // The controls a full read started by the poll disables.
    QList<QWidget *> lockedControls() const;

private:
    void showLinkState();
    void showFullRead(bool active);
    void showStage(const StationSnapshot &s);

    MainWindowUi &ui_;
    QTimer *messageTimer_ = nullptr;
    bool linkStateShown_ = false;  // panel 0 holds the link state, not its caption
    bool connected_ = false;
    int linkError_ = 0;
    QString clockText_;  // the station's clock and the computer's differ: by how much
};

}  // namespace nimbrel
