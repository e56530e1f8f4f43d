#include "link/scramble_credentials.h"

#include <gtest/gtest.h>

#include <array>

namespace korvel {
namespace {

const std::array<std::uint8_t, 4> kKey = {0x11, 0x22, 0x33, 0x44};

TEST(ScrambleCredentialsTest, ZeroFieldTakesTheKeyRepeated) {
  std::array<std::uint8_t, 32> field{};
  ScrambleCredentials(field.data(), 32, kKey.data(), 4);
  for (std::size_t i = 0; i < field.size(); ++i) EXPECT_EQ(field[i], kKey[i % 4]) << i;
}

TEST(ScrambleCredentialsTest, KeyRestartsAfterItsLastByte) {
  std::array<std::uint8_t, 6> buffer = {1, 2, 3, 4, 5, 6};
  ScrambleCredentials(buffer.data(), 6, kKey.data(), 4);
  const std::array<std::uint8_t, 6> expected = {1 ^ 0x11, 2 ^ 0x22, 3 ^ 0x33,
                                                4 ^ 0x44, 5 ^ 0x11, 6 ^ 0x22};
  EXPECT_EQ(buffer, expected);
}

TEST(ScrambleCredentialsTest, LengthZeroAndTwiceAreNoChange) {
  std::array<std::uint8_t, 5> buffer = {9, 8, 7, 6, 5};
  const auto original = buffer;
  ScrambleCredentials(buffer.data(), 0, kKey.data(), 4);
  EXPECT_EQ(buffer, original);
  ScrambleCredentials(buffer.data(), 5, kKey.data(), 4);
  EXPECT_NE(buffer, original);
  ScrambleCredentials(buffer.data(), 5, kKey.data(), 4);
  EXPECT_EQ(buffer, original);
}

}  // namespace
}  // namespace korvel
