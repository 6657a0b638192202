#include "TerminationSignals.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace nimbrel {

namespace {

constexpr int kWatched[] = {SIGTERM, SIGINT, SIGHUP};

// Written by the handler, read by the event loop. -1 while nobody watches.
int pipeEnds[2] = {-1, -1};

extern "C" void onTerminationSignal(int signalNumber)
{
    const int savedErrno = errno;
    const unsigned char byte = static_cast<unsigned char>(signalNumber);
    if (pipeEnds[1] >= 0)
        (void)!::write(pipeEnds[1], &byte, 1);
    errno = savedErrno;
}

void restoreDefaults()
{
    for (int signalNumber : kWatched)
        std::signal(signalNumber, SIG_DFL);
}

}  // namespace

TerminationSignals::TerminationSignals(QObject *parent) : QObject(parent)
{
    if (pipeEnds[0] >= 0 || ::pipe2(pipeEnds, O_CLOEXEC | O_NONBLOCK) != 0) {
        if (pipeEnds[0] < 0)
            pipeEnds[0] = pipeEnds[1] = -1;
        return;
    }
    struct sigaction action = {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    // Once: the handler gives way to the default after the first signal.
    action.sa_flags = SA_RESTART | SA_RESETHAND;
    for (int signalNumber : kWatched)
        ::sigaction(signalNumber, &action, nullptr);
    notifier_ = new QSocketNotifier(pipeEnds[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &TerminationSignals::readPipe);
}

TerminationSignals::~TerminationSignals()
{
    if (!notifier_)
        return;
    restoreDefaults();
    delete notifier_;
    ::close(pipeEnds[0]);
    ::close(pipeEnds[1]);
    pipeEnds[0] = pipeEnds[1] = -1;
}

void TerminationSignals::readPipe()
{
    unsigned char byte = 0;
    while (::read(pipeEnds[0], &byte, 1) == 1) {
        received_ = true;
        Q_EMIT received(byte);
    }
}

}  // namespace nimbrel
