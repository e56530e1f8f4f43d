#pragma once

#include <cstdint>

#include "common/bytes.h"

namespace korvel {

// Command bytes that the device forwards on its bus: 0x06, a count of the bytes that follow
// (modulo 256, so long records wrap it), the bus address, the command code, the arguments.
namespace bus {
inline constexpr std::uint8_t kMarker = 0x06;
inline constexpr std::uint8_t kProgrammingAddress = 0xFE;  // where a prepared subordinate listens
inline constexpr std::size_t kHeaderSize = 4;
}  // namespace bus

Bytes busCommand(std::uint8_t address, std::uint8_t code, ByteView arguments = {});

}  // namespace korvel
