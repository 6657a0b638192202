#include "Acquisition.h"

#include <QTimer>

namespace nimbrel {

namespace {
constexpr int kRingEnd = 8161;  // the walk stops before this position
}

Acquisition::Acquisition(AcquisitionHost &host, StationImage &image, StationExchange &exchange,
                         QTimer *pollTimer)
    : host_(host), image_(image), exchange_(exchange), pollTimer_(pollTimer)
{
}

int Acquisition::ringWalkStart(int newestPosition)
{
    // Integer division truncates toward zero, so 219 (slot 0) stays 219.
    return newestPosition - ((newestPosition - 255) / kSlotSize) * kSlotSize;
}

bool Acquisition::readOrRecord(int address)
{
    lastBlockError_ = exchange_.readBlock(address);
    return lastBlockError_ == BlockError::None;
}

FullReadResult Acquisition::fullRead()
{
    if (!connected) {
        host_.showStage(ReadStage::NoStation);
        host_.showStoredData();
        return FullReadResult::NoStation;
    }

    host_.showStage(ReadStage::LoadingFromStation);
    host_.setProgress(0);
    exchange_.flush();

    for (int address = 0; address < kStationMemorySize; address += kBlockSize) {
        if (!readOrRecord(address)) {
            if (lastBlockError_ == BlockError::BadChecksum)
                host_.repaintWindow();
            return FullReadResult::BlockFailed;
        }
        host_.setProgress(address + kBlockSize);
    }

    if (connected)
        host_.saveHeaderCopy();

    // A station that names a slot past the ring's end is answering
    // nonsense: taking it over would read past the station's memory.
    if (image_[kSlotIndexByte] >= kSlotCount) {
        host_.repaintWindow();
        return FullReadResult::BadSlotIndex;
    }
    const int current = image_.newestSlotPosition();
    lastRecordPosition = 0;
    host_.showStage(ReadStage::SavingToComputer);

    host_.beginTakeOver();
    for (int p = ringWalkStart(current); p < kRingEnd; p += kSlotSize) {
        recordPosition = p;
        if (!host_.takeOverSlot(p)) {
            host_.endTakeOver();
            host_.repaintWindow();
            return FullReadResult::SlotRejected;
        }
        host_.setProgress(p + kSlotSize + kStationMemorySize);
    }
    host_.endTakeOver();

    recordPosition = current;
    incrementalRead();
    return FullReadResult::Completed;
}

PollResult Acquisition::incrementalRead()
{
    if (!connected) {
        host_.repaintWindow();
        return PollResult::NotConnected;
    }

    exchange_.flush();
    if (!readOrRecord(kIndexBlock)) {
        host_.repaintWindow();
        return PollResult::ReadFailed;
    }

    if (image_[kSlotIndexByte] >= kSlotCount) {
        host_.repaintWindow();
        return PollResult::ReadFailed;
    }
    const int current = image_.newestSlotPosition();
    recordPosition = current;
    const int old = lastRecordPosition;

    if (current == old) {
        host_.repaintWindow();
        return PollResult::NoNewRecord;
    }
    // A step from the last slot (8123) to any slot counts as one step: the
    // ring wrapped.
    if (current - old != kSlotSize && old != 0 && old < kLastSlotPosition) {
        lastRecordPosition = 0;
        host_.repaintWindow();
        return PollResult::Gap;
    }

    if (pollTimer_)
        pollTimer_->setInterval(pollIntervalMs);
    lastRecordPosition = current;
    exchange_.flush();

    for (int address = 0; address < kHeaderSize; address += kBlockSize) {
        if (!readOrRecord(address)) {
            host_.repaintWindow();
            lastRecordPosition = old;
            return PollResult::ReadFailed;
        }
    }
    if (!readOrRecord(current) || !readOrRecord(current + kBlockSize)) {
        host_.repaintWindow();
        lastRecordPosition = old;
        return PollResult::ReadFailed;
    }

    if (!host_.takeOverNewest(current)) {
        host_.repaintWindow();
        lastRecordPosition = old;
        return PollResult::Rejected;
    }

    host_.repaintWindow();
    host_.newRecordTaken();
    return PollResult::NewRecord;
}

}  // namespace nimbrel
