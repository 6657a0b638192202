// The station's block protocol frames.
//
//   read command   4 bytes: 0xAF, address low, address high, check
//   read answer   34 bytes: 0x5A, 32 memory bytes, check
//   write frame   37 bytes: 0xAE, address low, address high, 32 bytes, check, 0x00
//   write ack      1 byte:  0x5A
//
// Every check byte is the XOR of the bytes before it.
//
// The checks of what comes back are plain functions of the received bytes, so
// a spoiled or hostile answer can be tried without a link.
#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace nimbrel {

constexpr std::uint8_t kReadCommand = 0xAF;
constexpr std::uint8_t kWriteCommand = 0xAE;
constexpr std::uint8_t kAnswerStart = 0x5A;  // 'Z'
constexpr std::uint8_t kWriteAck = 0x5A;
constexpr int kReadCommandSize = 4;
constexpr int kAnswerSize = 34;
constexpr int kWriteFrameSize = 37;

std::array<std::uint8_t, kReadCommandSize> readCommand(int address);

// data must hold 32 bytes.
std::array<std::uint8_t, kWriteFrameSize> writeFrame(int address, std::span<const std::uint8_t, 32> data);

// 0x5A XOR the 32 data bytes of an answer.
std::uint8_t answerCheck(std::span<const std::uint8_t, 32> data);

enum class BlockError {
    None,
    Timeout,      // fewer than 34 bytes arrived before the read time-out
    ShortAnswer,  // the link gave back fewer bytes than the answer's 34
    BadStart,     // the answer did not start with 0x5A
    BadChecksum,  // the check byte does not match the 32 bytes (they were copied all the same)
    NoDevice,     // no device handle
};

enum class WriteError {
    None,
    NoAcknowledge,  // nothing came back before the write time-out
    Refused,        // the station answered with something other than 0x5A
    NoDevice,
    NotRead,        // the block could not be read fresh before writing: nothing was sent
    NotConfirmed,   // the block read back afterwards does not hold what was written
};

// Judges a read answer: `buffer` holds what the link wrote, `received` is the
// count the link reported (negative for a link error). Anything but exactly
// 34 bytes is ShortAnswer; then the start byte, then the check byte. The data
// bytes of a BadChecksum answer are whole and in place.
BlockError checkAnswer(std::span<const std::uint8_t> buffer, std::int32_t received);

// Judges the reply to a write frame: `received` is the link's count for a
// read of one byte into `reply`. Nothing yet is NoAcknowledge (the caller
// keeps waiting); any reply but 0x5A, a link error included, is Refused.
WriteError checkAcknowledge(std::span<const std::uint8_t> reply, std::int32_t received);

}  // namespace nimbrel
