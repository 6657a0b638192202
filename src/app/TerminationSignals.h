// Turns the signals that end a desktop session's programs (SIGTERM from
// kill or a shutting-down system, SIGINT from Ctrl+C, SIGHUP when the user
// logs out or the terminal closes) into an ordinary Qt signal, so the program
// ends the way it does when the window is closed: settings saved, the station
// link closed, the tables written.
//
// The signal handler only writes one byte into a pipe; a socket notifier
// reads it from the event loop. The handler is set up to fire once: a second
// signal while the program is still shutting down ends it at once.
#pragma once

#include <QObject>

class QSocketNotifier;

namespace nimbrel {

class TerminationSignals : public QObject {
    Q_OBJECT
public:
    // One object at a time: it owns the process's handlers for the three signals.
    explicit TerminationSignals(QObject *parent = nullptr);
    ~TerminationSignals() override;

    // False when the pipe or the handlers could not be set up; the signals
    // then keep their default effect.
    bool isWatching() const { return notifier_ != nullptr; }
    // A signal arrived (emitted once per signal, from the event loop).
    bool hasReceived() const { return received_; }

Q_SIGNALS:
    void received(int signalNumber);

private:
    void readPipe();

    QSocketNotifier *notifier_ = nullptr;
    bool received_ = false;
};

}  // namespace nimbrel
