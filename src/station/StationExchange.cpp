#include "StationExchange.h"

#include "BlockFrames.h"

#include <QElapsedTimer>
#include <QThread>
#include <QTimer>
#include <array>

namespace nimbrel {

QString toString(BlockError error)
{
    switch (error) {
    case BlockError::None: return QStringLiteral("ok");
    case BlockError::Timeout: return QStringLiteral("the station did not answer within 10 seconds");
    case BlockError::ShortAnswer: return QStringLiteral("the station's answer was cut short");
    case BlockError::BadStart: return QStringLiteral("the station's answer did not start with 0x5A");
    case BlockError::BadChecksum: return QStringLiteral("the station's answer failed its check byte");
    case BlockError::NoDevice: return QStringLiteral("no station link is open");
    }
    return {};
}

QString toString(WriteError error)
{
    switch (error) {
    case WriteError::None: return QStringLiteral("ok");
    case WriteError::NoAcknowledge: return QStringLiteral("the station did not acknowledge within 10 seconds");
    case WriteError::Refused: return QStringLiteral("the station refused the write");
    case WriteError::NoDevice: return QStringLiteral("no station link is open");
    case WriteError::NotRead: return QStringLiteral("the station's block could not be read before writing it");
    case WriteError::NotConfirmed: return QStringLiteral("the station does not hold what was written");
    }
    return {};
}

StationExchange::StationExchange(StationImage &image, QTimer *readTimeout, QTimer *writeTimeout, Pump pump)
    : image_(image), readTimeout_(readTimeout), writeTimeout_(writeTimeout), pump_(std::move(pump))
{
}

void StationExchange::setLink(const LinkApi *api, USBHandle device)
{
    api_ = api;
    device_ = device;
}

void StationExchange::flush()
{
    if (!api_ || !device_)
        return;
    std::array<std::uint8_t, 1024> scratch{};
    api_->read(device_, scratch.data(), static_cast<std::int32_t>(scratch.size()));
}

// A real link answers within milliseconds: poll tightly at first, then give
// the processor back between polls while still pumping events.
void StationExchange::waitBriefly(int &idlePolls)
{
    pump_();
    if (++idlePolls > 64)
        QThread::usleep(500);
}

BlockError StationExchange::readBlock(int address)
{
    if (!api_ || !device_)
        return BlockError::NoDevice;

    auto command = readCommand(address);
    api_->write(device_, command.data(), kReadCommandSize, 0);

    readTimeout_->start();
    QElapsedTimer waited;
    waited.start();
    int idlePolls = 0;
    for (;;) {
        std::int32_t waiting = 0;
        std::int32_t unused = 0;
        api_->getStatus(device_, &waiting, &unused);
        if (waiting >= kAnswerSize)
            break;
        waitBriefly(idlePolls);
        if (!readTimeout_->isActive())
            return BlockError::Timeout;
        if ((answerWaitMs_ > 0 && waited.hasExpired(answerWaitMs_)) || (cancel_ && cancel_())) {
            readTimeout_->stop();
            return BlockError::Timeout;
        }
        if (!api_ || !device_)
            return BlockError::NoDevice;
    }
    readTimeout_->stop();

    std::array<std::uint8_t, kAnswerSize> answer{};
    const std::int32_t got = api_->read(device_, answer.data(), kAnswerSize);
    const BlockError verdict = checkAnswer(answer, got);
    if (verdict != BlockError::None && verdict != BlockError::BadChecksum)
        return verdict;

    // The bytes reach the image before the check byte counts; a failed
    // block therefore leaves what arrived in the mirror. Events are pumped
    // after every byte so the window stays responsive during a long read.
    for (int i = 0; i < kBlockSize; ++i) {
        if (address + i < kImageSize)
            image_[address + i] = answer[1 + i];
        pump_();
    }

    if (verdict != BlockError::None)
        return verdict;
    ++blocksRead_;
    return BlockError::None;
}

WriteError StationExchange::writeBlock(int address)
{
    if (!api_ || !device_)
        return WriteError::NoDevice;
    flush();

    const std::span<const std::uint8_t, 32> data(image_.data() + address, 32);
    auto frame = writeFrame(address, data);
    api_->write(device_, frame.data(), kWriteFrameSize, 0);

    writeTimeout_->start();
    std::array<std::uint8_t, 1> ack{};
    int idlePolls = 0;
    for (;;) {
        waitBriefly(idlePolls);
        if (!api_ || !device_)
            return WriteError::NoDevice;
        const WriteError verdict = checkAcknowledge(ack, api_->read(device_, ack.data(), 1));
        if (verdict != WriteError::NoAcknowledge) {
            writeTimeout_->stop();
            return verdict;
        }
        if (!writeTimeout_->isActive())
            return WriteError::NoAcknowledge;
    }
}

}  // namespace nimbrel
