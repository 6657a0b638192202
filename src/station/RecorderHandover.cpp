// The recorder's side of a handover between programs: leaving its mirror of
// the station for the next program, and carrying on from one left for it.
#include "Recorder.h"

#include "HeaderCopy.h"
#include "SafeFile.h"

#include <QFile>

namespace nimbrel {

namespace {

// The slot holds no year: a record is the one meant when month, day and
// time of day agree.
bool sameRecordTime(const QDateTime &a, const QDateTime &b)
{
    return a.isValid() && b.isValid() && a.date().month() == b.date().month() && a.date().day() == b.date().day() &&
           a.time() == b.time();
}

}  // namespace

bool Recorder::leaveHandover()
{
    if (handoverPath_.isEmpty())
        return false;
    // Only a mirror that holds every record up to its newest, all stored:
    // records kept for a failing history are read again from the station.
    Measurement slot;
    const bool stands = connected_ && !busy_ && !fullReadRunning_ && headerRead_ && lastRecordPosition_ != 0 &&
                        writer_.keptCount() == 0 && !writer_.failing() && !writer_.readBackDue() &&
                        decodeSlot(image_, lastRecordPosition_, slot) && sameRecordTime(slot.Dat, measurement_.Dat);
    if (!stands) {
        // One this program did not take is not the next program's either.
        if (isPlainFileOrAbsent(handoverPath_))
            QFile::remove(handoverPath_);
        return false;
    }
    HandoverMirror mirror;
    mirror.image = image_;
    mirror.newestPosition = lastRecordPosition_;
    mirror.newestDate = measurement_.Dat;
    mirror.newestRain = measurement_.RainCount;
    mirror.leftAtMs = QDateTime::currentMSecsSinceEpoch();
    QString why;
    if (!saveHandoverMirror(handoverPath_, mirror, &why)) {
        qWarning("The station's mirror cannot be left for the next program: %s", qPrintable(why));
        return false;
    }
    return true;
}

bool Recorder::takeMirror()
{
    mirror_.reset();
    if (!handoverPath_.isEmpty())
        mirror_ = takeHandoverMirror(handoverPath_);
    return mirror_.has_value();
}

// Reads the station's header (the slot index among it) over the mirror and
// carries on polling from the mirror's newest record when the station agrees;
// false when a full read is due instead.
bool Recorder::continueFromMirror(HandoverMirror mirror)
{
    if (!handoverMirrorFresh(mirror, QDateTime::currentMSecsSinceEpoch()))
        return false;
    image_ = mirror.image;
    forgetMirror();
    exchange_->flush();
    for (int address = 0; address < kHeaderSize; address += kBlockSize)
        if (readBlockWithRetries(address) != BlockError::None)
            return false;
    Measurement newest;
    if (!handoverHeaderAgrees(mirror.image, image_) || image_[kSlotIndexByte] >= kSlotCount ||
        !decodeSlot(image_, mirror.newestPosition, newest) || !sameRecordTime(newest.Dat, mirror.newestDate))
        return false;

    newest.Dat = mirror.newestDate;
    newest.RainCount = mirror.newestRain;
    measurement_ = newest;
    headerRead_ = true;
    lastRecordPosition_ = mirror.newestPosition;
    ++handoversContinued_;
    QString why;
    if (!headerCopyPath_.isEmpty() && !saveHeaderCopy(headerCopyPath_, image_, &why))
        Q_EMIT headerCopyNotSaved(why);

    const int current = image_.newestSlotPosition();
    recordPosition_ = current;
    if (current != lastRecordPosition_) {
        continuingAfter_ = mirror.newestDate;
        const PollResult caughtUp = readNewSlots(current, true);
        continuingAfter_ = QDateTime();
        if (caughtUp == PollResult::NewRecord)
            return true;
        if (caughtUp != PollResult::ReadFailed) {
            // The ring moved too far, or went round: read in full.
            --handoversContinued_;
            lastRecordPosition_ = 0;
            return false;
        }
        // The link failed on the way: the next poll catches up from the
        // mirror's newest record, which meanwhile is the current one.
    }
    redecodeHeader();
    Q_EMIT currentRecordRead(measurement_);
    Q_EMIT recordTaken();
    Q_EMIT repaintRequested();
    return true;
}

}  // namespace nimbrel
