// One class speaks the block protocol over the link library's operations.
//
// All waiting is done on the caller's (GUI) thread by pumping the event queue,
// so timers and user input keep running during an exchange and may re-enter
// the program; the caller guards whole sequences with its busy flag. The two
// time-outs are the main window's timers: an exchange arms one and treats the
// timer no longer being active as the time-out, exactly as the timer's own
// handler leaves it.
#pragma once

#include "BlockFrames.h"
#include "LinkApi.h"
#include "StationImage.h"

#include <QString>
#include <functional>

class QTimer;

namespace nimbrel {

QString toString(BlockError error);
QString toString(WriteError error);

class StationExchange {
public:
    using Pump = std::function<void()>;

    // readTimeout and writeTimeout are single-purpose timers whose timeout
    // handler stops them; pump processes pending events once.
    StationExchange(StationImage &image, QTimer *readTimeout, QTimer *writeTimeout, Pump pump);

    void setLink(const LinkApi *api, USBHandle device);
    USBHandle device() const { return device_; }
    const LinkApi *api() const { return api_; }

    // Discards whatever the link still holds (one read of up to 1024 bytes).
    void flush();
    // Reads 32 bytes at address into the image.
    BlockError readBlock(int address);
    // Besides the read time-out timer, one read gives up after this many
    // milliseconds without a whole answer (0: only the timer decides).
    void setAnswerWait(int ms) { answerWaitMs_ = ms; }
    // A read whose answer is awaited gives up (as timed out) as soon as this
    // says so: the program hands the station over or ends. The answer, if it
    // comes, is left for the next flush.
    void setCancel(std::function<bool()> cancel) { cancel_ = std::move(cancel); }
    // Sends image[address .. address+31] to the station; true when acknowledged.
    WriteError writeBlock(int address);

    // Blocks read since construction, for the status of a long read.
    long blocksRead() const { return blocksRead_; }

private:
    void waitBriefly(int &idlePolls);

    StationImage &image_;
    QTimer *readTimeout_;
    QTimer *writeTimeout_;
    Pump pump_;
    const LinkApi *api_ = nullptr;
    USBHandle device_ = nullptr;
    long blocksRead_ = 0;
    int answerWaitMs_ = 0;
    std::function<bool()> cancel_;
};

}  // namespace nimbrel
