#pragma once

#include <cstddef>
#include <cstdint>

namespace korvel {

// Command codes that the program and the device agree on; the replies' fields are read and written
// by the types in device_replies.h.

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
}  // namespace bus

}  // namespace korvel
