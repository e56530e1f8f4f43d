#include "link/crc16.h"

#include <gtest/gtest.h>

#include <random>
#include <string_view>

namespace korvel {
namespace {

std::uint16_t crcOf(std::string_view text) {
  return Crc16(reinterpret_cast<const std::uint8_t*>(text.data()),
               static_cast<std::int32_t>(text.size()));
}

// CRC-16/CCITT-FALSE one bit at a time, as it is defined.
std::uint16_t bitwiseStep(std::uint16_t reg, std::uint8_t byte) {
  reg ^= static_cast<std::uint16_t>(byte << 8);
  for (int bit = 0; bit < 8; ++bit) {
    reg = static_cast<std::uint16_t>((reg & 0x8000) ? (reg << 1) ^ 0x1021 : reg << 1);
  }
  return reg;
}

std::uint16_t bitwiseCrc(const std::uint8_t* data, std::size_t length) {
  std::uint16_t reg = 0xFFFF;
  for (std::size_t i = 0; i < length; ++i) reg = bitwiseStep(reg, data[i]);
  return reg;
}

Bytes randomBytes(std::size_t size, std::uint32_t seed) {
  std::mt19937 random(seed);
  Bytes bytes(size);
  for (auto& byte : bytes) byte = static_cast<std::uint8_t>(random());
  return bytes;
}

TEST(Crc16Test, PublishedCheckValues) {
  EXPECT_EQ(crcOf(""), 0xFFFF);
  EXPECT_EQ(crcOf("123456789"), 0x29B1);
  EXPECT_EQ(crcOf("abc"), 0x514A);
  const std::uint8_t zero = 0;
  EXPECT_EQ(Crc16(&zero, 1), 0xE1F0);
  EXPECT_EQ(Crc16(&zero, -1), 0xFFFF);  // nothing to check
  EXPECT_EQ(Crc16FromTables(&zero, -1), 0xFFFF);
}

// Every length up to beyond the largest frame a record command makes in practice, starting at
// every offset within a step, so that each split between whole steps and single bytes is met.
TEST(Crc16Test, AgreesWithTheBitwiseDefinitionForEveryLengthAndStart) {
  const Bytes bytes = randomBytes(2000 + 16, 12345);
  for (std::size_t start = 0; start < 16; ++start) {
    const std::uint8_t* data = bytes.data() + start;
    std::uint16_t expected = 0xFFFF;
    for (std::size_t length = 0; length <= 2000; ++length) {
      const auto size = static_cast<std::int32_t>(length);
      ASSERT_EQ(Crc16(data, size), expected) << "start " << start << ", length " << length;
      ASSERT_EQ(Crc16FromTables(data, size), expected)
          << "tables, start " << start << ", length " << length;
      if (length < 2000) expected = bitwiseStep(expected, data[length]);
    }
  }
}

TEST(Crc16Test, AgreesWithTheBitwiseDefinitionOnRandomFrames) {
  std::mt19937 random(2026);
  for (int i = 0; i < 50; ++i) {
    const Bytes bytes = randomBytes(random() % 65536, static_cast<std::uint32_t>(random()));
    const std::uint16_t expected = bitwiseCrc(bytes.data(), bytes.size());
    ASSERT_EQ(Crc16(bytes), expected) << "size " << bytes.size();
    ASSERT_EQ(Crc16FromTables(bytes.data(), static_cast<std::int32_t>(bytes.size())), expected)
        << "tables, size " << bytes.size();
  }
  // Runs of the bytes that drive a table to its edges.
  for (const std::uint8_t fill :
       {std::uint8_t{0x00}, std::uint8_t{0xFF}, std::uint8_t{0x80}, std::uint8_t{0x01}}) {
    const Bytes bytes(1036, fill);
    EXPECT_EQ(Crc16(bytes), bitwiseCrc(bytes.data(), bytes.size())) << int{fill};
    EXPECT_EQ(Crc16FromTables(bytes.data(), 1036), Crc16(bytes)) << int{fill};
  }
}

}  // namespace
}  // namespace korvel
