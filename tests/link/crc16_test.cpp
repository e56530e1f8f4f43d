#include "link/crc16.h"

#include <gtest/gtest.h>

#include <string_view>

namespace korvel {
namespace {

std::uint16_t crcOf(std::string_view text) {
  return Crc16(reinterpret_cast<const std::uint8_t*>(text.data()),
               static_cast<std::int32_t>(text.size()));
}

std::uint16_t bitwiseCrc(ByteView bytes) {
  std::uint16_t reg = 0xFFFF;
  for (const auto byte : bytes) {
    reg ^= static_cast<std::uint16_t>(byte << 8);
    for (int bit = 0; bit < 8; ++bit) {
      reg = static_cast<std::uint16_t>((reg & 0x8000) ? (reg << 1) ^ 0x1021 : reg << 1);
    }
  }
  return reg;
}

TEST(Crc16Test, PublishedCheckValues) {
  EXPECT_EQ(crcOf(""), 0xFFFF);
  EXPECT_EQ(crcOf("123456789"), 0x29B1);
  EXPECT_EQ(crcOf("abc"), 0x514A);
  const std::uint8_t zero = 0;
  EXPECT_EQ(Crc16(&zero, 1), 0xE1F0);
}

TEST(Crc16Test, NibbleTable) {
  EXPECT_EQ(crc16TableEntry(0), 0x0000);
  EXPECT_EQ(crc16TableEntry(1), 0x1021);
  EXPECT_EQ(crc16TableEntry(8), 0x8108);
  EXPECT_EQ(crc16TableEntry(15), 0xF1EF);
}

TEST(Crc16Test, AgreesWithTheBitwiseDefinition) {
  Bytes bytes;
  std::uint32_t state = 12345;
  for (int length = 0; length < 300; ++length) {
    EXPECT_EQ(Crc16(bytes), bitwiseCrc(bytes)) << "length " << length;
    state = state * 1664525u + 1013904223u;
    bytes.push_back(static_cast<std::uint8_t>(state >> 24));
  }
}

}  // namespace
}  // namespace korvel
