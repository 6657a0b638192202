// The station's answers to a block read and to a block write, as a link that
// lies could give them back: through the pure checks, and through the
// exchange with a scripted link in front of it.
//
// Input: address (2 bytes, taken modulo the station's 8192), the count the
// link reports for the answer (1 signed byte), the 34 answer bytes, then
// pairs (count, byte) the link gives back for the write acknowledgement,
// one pair per read (48 at most); when they run out the write times out.
#include "BlockFrames.h"
#include "FuzzSupport.h"
#include "StationExchange.h"

#include <QTimer>
#include <array>
#include <vector>

using namespace nimbrel;

namespace {

struct Script {
    std::int8_t answerCount = 0;
    std::array<std::uint8_t, kAnswerSize> answer{};
    std::vector<std::pair<std::int8_t, std::uint8_t>> acks;
    std::size_t nextAck = 0;
};

Script &script(USBHandle device)
{
    return *static_cast<Script *>(device);
}

std::int32_t linkWrite(USBHandle, const std::uint8_t *, std::int32_t length, std::int32_t)
{
    return length;
}

std::int32_t linkStatus(USBHandle, std::int32_t *waiting, std::int32_t *free)
{
    *waiting = kAnswerSize;
    *free = 0;
    return 0;
}

// The flush and the answer read ask for at least 34 bytes; the acknowledgement
// read asks for one.
std::int32_t linkRead(USBHandle device, std::uint8_t *buffer, std::int32_t length)
{
    Script &s = script(device);
    if (length >= kAnswerSize) {
        if (length == kAnswerSize) {
            std::copy(s.answer.begin(), s.answer.end(), buffer);
            return s.answerCount;
        }
        return 0;  // a flush finds nothing
    }
    if (s.nextAck >= s.acks.size())
        return 0;
    const auto [count, byte] = s.acks[s.nextAck++];
    if (count > 0)
        buffer[0] = byte;
    return count;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    fuzz::startQuietQt();
    fuzz::InputBytes in(data, size);
    Script s;
    int address = in.byte();
    address = (address | in.byte() << 8) % kStationMemorySize;
    s.answerCount = static_cast<std::int8_t>(in.byte());
    for (auto &b : s.answer)
        b = in.byte();
    // Past 64 empty polls the exchange sleeps between them: keep the script short.
    while (in.restSize() >= 2 && s.acks.size() < 48) {
        const auto count = static_cast<std::int8_t>(in.byte());
        s.acks.emplace_back(count, in.byte());
    }

    // The pure checks against frames built the way the station builds them.
    const BlockError verdict = checkAnswer(s.answer, s.answerCount);
    const std::span<const std::uint8_t, 32> payload(s.answer.data() + 1, 32);
    const bool wellFormed = s.answerCount == kAnswerSize && s.answer[0] == kAnswerStart;
    NIMBREL_FUZZ_CHECK((verdict == BlockError::None) == (wellFormed && s.answer[33] == answerCheck(payload)));
    NIMBREL_FUZZ_CHECK(checkAnswer(std::span(s.answer).first(static_cast<std::size_t>(in.restSize() % kAnswerSize)),
                                   kAnswerSize) == BlockError::ShortAnswer);

    // The same bytes through the exchange.
    StationImage image;
    QTimer readTimeout;
    QTimer writeTimeout;
    readTimeout.setSingleShot(true);
    writeTimeout.setSingleShot(true);
    StationExchange exchange(image, &readTimeout, &writeTimeout, [&] {
        if (s.nextAck >= s.acks.size())
            writeTimeout.stop();
    });
    LinkApi api;
    api.write = linkWrite;
    api.getStatus = linkStatus;
    api.read = linkRead;
    exchange.setLink(&api, &s);

    const StationImage before = image;
    NIMBREL_FUZZ_CHECK(exchange.readBlock(address) == verdict);
    for (int i = 0; i < kImageSize; ++i) {
        const bool written = i >= address && i < address + kBlockSize &&
                             (verdict == BlockError::None || verdict == BlockError::BadChecksum);
        NIMBREL_FUZZ_CHECK(image[i] == (written ? s.answer[static_cast<std::size_t>(1 + i - address)] : before[i]));
    }

    WriteError expected = WriteError::NoAcknowledge;
    for (const auto &[count, byte] : s.acks) {
        const std::array<std::uint8_t, 1> reply{byte};
        expected = checkAcknowledge(reply, count);
        if (expected != WriteError::NoAcknowledge)
            break;
    }
    NIMBREL_FUZZ_CHECK(exchange.writeBlock(address) == expected);
    return 0;
}
