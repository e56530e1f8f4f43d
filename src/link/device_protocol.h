#pragma once

#include <cstddef>
#include <cstdint>

#include "link/frame_header.h"

namespace korvel {

// Command codes and reply offsets that the program and the device agree on. Reply offsets count
// from the first byte of the reply frame.

namespace command {
inline constexpr std::uint8_t kDeviceInfo = 0x03;
inline constexpr std::uint8_t kEnterBootMonitor = 0x07;
}  // namespace command

namespace bus {
inline constexpr std::uint8_t kQuery = 0x03;
inline constexpr std::uint8_t kSetAddress = 0x04;
inline constexpr std::uint8_t kHandBack = 0x05;
inline constexpr std::uint8_t kLeaveAddress = 0x07;
inline constexpr std::uint8_t kReady = 0x08;
inline constexpr std::uint8_t kRestoreStart = 0x0B;

// The subordinate's answer follows the device's 77-byte reply: its first byte acknowledges a
// forwarded record, bytes 32 to 35 of the query's answer hold the value the restore hands back.
inline constexpr std::size_t kReplyOffset = FrameHeader::kSize + reply::kMinLength;
inline constexpr std::size_t kResendByteOffset = kReplyOffset;
inline constexpr std::size_t kSavedValueOffset = kReplyOffset + 32;
inline constexpr std::size_t kSavedValueSize = 4;
}  // namespace bus

// The information reply.
namespace device_info {
inline constexpr std::size_t kBoardId = 13;
inline constexpr std::size_t kSerial = 17;
inline constexpr std::size_t kText1 = 21;
inline constexpr std::size_t kBootVersion = 53;
inline constexpr std::size_t kText2 = 55;
inline constexpr std::size_t kProgramVersion = 87;
inline constexpr std::size_t kTextSize = 32;
}  // namespace device_info

}  // namespace korvel
