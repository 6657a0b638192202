// The station's block protocol frames.
//
//   read command   4 bytes: 0xAF, address low, address high, check
//   read answer   34 bytes: 0x5A, 32 memory bytes, check
//   write frame   37 bytes: 0xAE, address low, address high, 32 bytes, check, 0x00
//   write ack      1 byte:  0x5A
//
// Every check byte is the XOR of the bytes before it.
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

}  // namespace nimbrel
