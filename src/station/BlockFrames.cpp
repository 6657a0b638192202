#include "BlockFrames.h"

namespace nimbrel {

std::array<std::uint8_t, kReadCommandSize> readCommand(int address)
{
    const auto lo = static_cast<std::uint8_t>(address & 0xFF);
    const auto hi = static_cast<std::uint8_t>((address >> 8) & 0xFF);
    return {kReadCommand, lo, hi, static_cast<std::uint8_t>(kReadCommand ^ lo ^ hi)};
}

std::array<std::uint8_t, kWriteFrameSize> writeFrame(int address, std::span<const std::uint8_t, 32> data)
{
    std::array<std::uint8_t, kWriteFrameSize> frame{};
    const auto lo = static_cast<std::uint8_t>(address & 0xFF);
    const auto hi = static_cast<std::uint8_t>((address >> 8) & 0xFF);
    frame[0] = kWriteCommand;
    frame[1] = lo;
    frame[2] = hi;
    std::uint8_t check = kWriteCommand ^ lo ^ hi;
    for (int i = 0; i < 32; ++i) {
        frame[3 + i] = data[i];
        check ^= data[i];
    }
    frame[35] = check;
    frame[36] = 0x00;
    return frame;
}

std::uint8_t answerCheck(std::span<const std::uint8_t, 32> data)
{
    std::uint8_t check = kAnswerStart;
    for (std::uint8_t b : data)
        check ^= b;
    return check;
}

BlockError checkAnswer(std::span<const std::uint8_t> buffer, std::int32_t received)
{
    if (received != kAnswerSize || buffer.size() < static_cast<std::size_t>(kAnswerSize))
        return BlockError::ShortAnswer;
    if (buffer[0] != kAnswerStart)
        return BlockError::BadStart;
    if (answerCheck(buffer.subspan<1, 32>()) != buffer[33])
        return BlockError::BadChecksum;
    return BlockError::None;
}

WriteError checkAcknowledge(std::span<const std::uint8_t> reply, std::int32_t received)
{
    if (received == 0)
        return WriteError::NoAcknowledge;
    if (received < 0 || reply.empty())
        return WriteError::Refused;
    return reply[0] == kWriteAck ? WriteError::None : WriteError::Refused;
}

}  // namespace nimbrel
