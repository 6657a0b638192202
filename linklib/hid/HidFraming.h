// How the station's byte stream rides on HID reports.
//
// The station is an 8-byte-report HID device without numbered reports. Its
// protocol is a plain byte stream (4-byte read commands, 37-byte write
// frames, 34-byte answers, 1-byte acknowledgements); these functions are the
// only place that knows how that stream is cut into reports and put back
// together. The framing below is an ASSUMPTION about the station's firmware,
// not something we have seen documented:
//
//   Host -> station (output): the bytes are sent in 8-byte output reports,
//   report id 0, in order; the last report is padded with 0x00. The station
//   knows from the command byte how many bytes belong to the command, so the
//   padding is never read as data.
//
//   Station -> host (input): every 8-byte input report carries a count in its
//   first byte (1..7) followed by that many payload bytes; the rest of the
//   report is filler. A count of 0 is an empty report. A count above 7, or
//   one that reaches past the end of the report, marks a malformed report,
//   whose bytes are not trusted at all.
//
// If a station turns out to frame differently, change the constants and the
// two functions in this header and HidFraming.cpp; nothing else in the
// library looks inside a report.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace nimbrel::hid {

// Data bytes in one report, both directions.
inline constexpr std::size_t kReportSize = 8;
// The station uses unnumbered reports; hidapi then wants report id 0 in
// front of every output report.
inline constexpr std::uint8_t kOutputReportId = 0x00;
inline constexpr std::uint8_t kOutputPadding = 0x00;
// Bytes handed to the device per output report: report id, then data.
inline constexpr std::size_t kOutputReportBytes = 1 + kReportSize;
// Largest payload one input report can carry.
inline constexpr std::size_t kMaxInputPayload = kReportSize - 1;
// Room for one input report as read from the device. Larger than the
// station's report so an unexpected long report is seen (and judged) whole
// instead of being cut off by the read.
inline constexpr std::size_t kInputReportCapacity = 64;

using OutputReport = std::array<std::uint8_t, kOutputReportBytes>;

// Cuts bytes into output reports, ready to write one by one. No bytes, no
// reports.
std::vector<OutputReport> frameOutput(std::span<const std::uint8_t> bytes);

struct InputPayload {
    std::span<const std::uint8_t> bytes;  // points into the report given
    bool malformed = false;               // the report broke the framing rules
};

// The payload one input report carries.
InputPayload unframeInput(std::span<const std::uint8_t> report);

}  // namespace nimbrel::hid
