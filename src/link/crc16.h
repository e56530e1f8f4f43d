#pragma once

#include <cstdint>

#include "common/bytes.h"

namespace korvel {

// CRC-16/CCITT-FALSE: polynomial 0x1021, register starts at 0xFFFF, no reflection, no final XOR.
// Protects every frame and, a second time, every command envelope.
std::uint16_t Crc16(const std::uint8_t* data, std::int32_t length);

inline std::uint16_t Crc16(ByteView bytes) {
  return Crc16(bytes.data(), static_cast<std::int32_t>(bytes.size()));
}

// The same checksum from tables alone, as processors without carry-less multiplication compute
// it; Crc16 uses it there.
std::uint16_t Crc16FromTables(const std::uint8_t* data, std::int32_t length);

}  // namespace korvel
