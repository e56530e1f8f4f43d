#pragma once

#include <cstddef>
#include <cstdint>

#include "common/bytes.h"

namespace korvel {

// The 12 bytes that begin every request and reply frame.
struct FrameHeader {
  static constexpr std::size_t kSize = 12;
  static constexpr std::size_t kChecksumOffset = 0;
  static constexpr std::size_t kLengthOffset = 2;
  static constexpr std::size_t kTokenOffset = 4;
  static constexpr std::size_t kSequenceOffset = 8;
  // The whole frame must fit the 16-bit length field together with its header.
  static constexpr std::size_t kMaxPayload = 0xFFFF - kSize;

  std::uint16_t checksum = 0;
  std::uint16_t length = 0;  // payload bytes after the header
  std::uint32_t token = 0;
  std::uint32_t sequence = 0;

  static FrameHeader read(ByteView frame) {
    return {getLe16(frame, kChecksumOffset), getLe16(frame, kLengthOffset),
            getLe32(frame, kTokenOffset), getLe32(frame, kSequenceOffset)};
  }

  void write(MutableByteView frame) const {
    putLe16(frame, kChecksumOffset, checksum);
    putLe16(frame, kLengthOffset, length);
    putLe32(frame, kTokenOffset, token);
    putLe32(frame, kSequenceOffset, sequence);
  }
};

// Reply conventions shared by every procedure: offsets from the reply frame's first byte.
namespace reply {
inline constexpr std::size_t kStatusOffset = 12;
inline constexpr std::uint8_t kStatusOk = 1;
// The device never answers with fewer payload bytes than this, nor with more than it was sent.
inline constexpr std::uint16_t kMinLength = 77;
}  // namespace reply

}  // namespace korvel
