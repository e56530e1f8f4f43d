#include "link/command_envelope.h"

#include <gtest/gtest.h>

#include "link/bus_command.h"
#include "link/crc16.h"
#include "link/frame_header.h"
#include "link/scramble_credentials.h"

namespace korvel {
namespace {

constexpr std::uint32_t kToken = 0x44332211;

Bytes frameFor(ByteView command, std::uint32_t area, std::string_view login = "admin",
               std::string_view password = "secret") {
  const auto credentials = formatCredentials(login, password);
  EXPECT_EQ(credentials.error, CredentialsError::None);
  auto frame = buildCommandFrame(command, area, credentials.field, kToken);
  EXPECT_TRUE(frame);
  return frame.value_or(Bytes{});
}

ByteView envelopeOf(const Bytes& frame) { return ByteView(frame).subspan(FrameHeader::kSize); }

CredentialField unscrambled(const Bytes& frame) {
  CredentialField field;
  const auto env = envelopeOf(frame);
  std::copy_n(env.begin() + envelope::kCredentialsOffset, field.size(), field.begin());
  const auto key = tokenKey(kToken);
  ScrambleCredentials(field.data(), 32, key.data(), 4);
  return field;
}

TEST(CommandEnvelopeTest, SizesFollowTheAreaLength) {
  const Bytes command = {0x03};
  const std::vector<std::pair<std::uint32_t, std::size_t>> cases = {
      {1, 77}, {41, 77}, {42, 78}, {128, 164}, {256, 292}, {1024 + 64, 1124}};
  for (const auto& [area, expected] : cases) {
    const Bytes frame = frameFor(command, area);
    EXPECT_EQ(frame.size(), expected + 12) << "L=" << area;
    EXPECT_EQ(getLe16(frame, FrameHeader::kLengthOffset), expected) << "L=" << area;
    EXPECT_EQ(getLe16(envelopeOf(frame), envelope::kAreaLengthOffset), area) << "L=" << area;
  }
}

TEST(CommandEnvelopeTest, SmallAreaIsPaddedOutsideTheEnvelopeChecksum) {
  const Bytes frame = frameFor(Bytes{0x03}, 1);
  const auto env = envelopeOf(frame);
  EXPECT_EQ(env[36], 0x03);
  for (std::size_t i = 37; i < 77; ++i) EXPECT_EQ(env[i], 0) << i;
  // Covers bytes 2 to 36: the length, the credential field and the one command byte.
  EXPECT_EQ(getLe16(env, 0), Crc16(env.subspan(2, 35)));
}

TEST(CommandEnvelopeTest, ChecksumCoversTheScrambledFieldAndWholeArea) {
  const Bytes command = busCommand(0xFE, 0x0B, Bytes{0, 0, 0, 0});
  const Bytes frame = frameFor(command, 128);
  const auto env = envelopeOf(frame);
  EXPECT_EQ(getLe16(env, 0), Crc16(env.subspan(2, 128 + 34)));
  EXPECT_TRUE(std::equal(command.begin(), command.end(), env.begin() + 36));
}

TEST(CommandEnvelopeTest, CredentialFieldUnscramblesToItsText) {
  const Bytes frame = frameFor(Bytes{0x03}, 1, "admin", "secret");
  const auto field = unscrambled(frame);
  const std::string text(reinterpret_cast<const char*>(field.data()));
  EXPECT_EQ(text, "admin:secret");
  for (std::size_t i = text.size(); i < 32; ++i) EXPECT_EQ(field[i], 0) << i;
}

TEST(CommandEnvelopeTest, EmptyCredentialsAreTheColonAlone) {
  const Bytes frame = frameFor(Bytes{0x03}, 1, "", "");
  const auto env = envelopeOf(frame);
  const auto key = tokenKey(kToken);
  EXPECT_EQ(env[4], ':' ^ key[0]);
  for (std::size_t i = 1; i < 32; ++i) EXPECT_EQ(env[4 + i], key[i % 4]) << i;
}

TEST(CommandEnvelopeTest, DifferentTokensGiveDifferentBytes) {
  const auto credentials = formatCredentials("admin", "secret");
  const auto a = buildCommandFrame(Bytes{0x03}, 1, credentials.field, 1);
  const auto b = buildCommandFrame(Bytes{0x03}, 1, credentials.field, 2);
  EXPECT_NE(*a, *b);
  EXPECT_NE(getLe16(*a, 12), getLe16(*b, 12));
}

TEST(CommandEnvelopeTest, CredentialLimits) {
  const std::string fifteen(15, 'x');
  const auto full = formatCredentials(fifteen, fifteen);
  EXPECT_EQ(full.error, CredentialsError::None);
  EXPECT_EQ(full.field[15], ':');
  EXPECT_EQ(full.field[31], 0);
  EXPECT_EQ(formatCredentials(fifteen, fifteen + "y").error, CredentialsError::TooLong);
  EXPECT_EQ(formatCredentials(std::string(31, 'a'), "").error, CredentialsError::TooLong);
  EXPECT_EQ(formatCredentials("админ", "x").error, CredentialsError::BadCharacter);
  EXPECT_EQ(formatCredentials("a", std::string("b\0c", 3)).error, CredentialsError::BadCharacter);
  // Latin-1 letters are one byte each: 30 of them fit.
  std::string latin;
  for (int i = 0; i < 15; ++i) latin += "\u00E9";
  EXPECT_EQ(formatCredentials(latin, latin).error, CredentialsError::None);
  EXPECT_EQ(formatCredentials(latin, latin).field[0], 0xE9);
}

TEST(CommandEnvelopeTest, RefusesWhatCannotBeFramed) {
  const auto credentials = formatCredentials("", "");
  EXPECT_FALSE(buildCommandFrame(Bytes{1, 2, 3}, 2, credentials.field, 0));
  EXPECT_FALSE(buildCommandFrame(Bytes{1}, envelope::kMaxAreaLength + 1, credentials.field, 0));
  const auto largest = buildCommandFrame(Bytes{1}, envelope::kMaxAreaLength, credentials.field, 0);
  ASSERT_TRUE(largest);
  EXPECT_EQ(largest->size(), 0xFFFFu);
}

TEST(BusCommandTest, CountWrapsForLongArguments) {
  EXPECT_EQ(busCommand(5, 0x03), (Bytes{0x06, 0x02, 0x05, 0x03}));
  EXPECT_EQ(busCommand(0xFE, 0x05, Bytes{1, 2, 3, 4}), (Bytes{0x06, 0x06, 0xFE, 0x05, 1, 2, 3, 4}));
  EXPECT_EQ(busCommand(0xFE, 9, Bytes(1024, 0))[1], 0x02);
  EXPECT_EQ(busCommand(0xFE, 9, Bytes(253, 0))[1], 0xFF);
  EXPECT_EQ(busCommand(0xFE, 9, Bytes(254, 0))[1], 0x00);
}

TEST(EnvelopeSealTest, CoversLengthCredentialsAndTheWholeArea) {
  const std::uint8_t command[] = {0x03};
  const Bytes frame = frameFor(command, 128);
  const ByteView env = envelopeOf(frame);
  EXPECT_TRUE(envelopeSealIntact(env));
  for (const std::size_t at :
       {std::size_t{0}, std::size_t{2}, std::size_t{4}, std::size_t{36}, env.size() - 1}) {
    Bytes broken(env.begin(), env.end());
    broken[at] ^= 0x01;
    EXPECT_FALSE(envelopeSealIntact(broken)) << at;
  }
  // An area length past the envelope's end is no envelope, rather than a read past it.
  EXPECT_FALSE(envelopeSealIntact(env.first(env.size() - 1)));
  EXPECT_FALSE(envelopeSealIntact(env.first(20)));
}

}  // namespace
}  // namespace korvel
