// How the device reads what it receives: the frame and envelope tests, the credentials, and
// silence for anything malformed.
#include <gtest/gtest.h>

#include "device_model/device_requests.h"
#include "device_model/device_status.h"
#include "device_model/simulated_device.h"

namespace korvel {
namespace {

using test::deviceCommand;
using test::kToken;

TEST(DeviceFrameTest, AnswersASoundRequestWithAReplyTheLinkAccepts) {
  SimulatedDevice device;
  const Bytes request = deviceCommand(0x03, 41);
  const auto reply = device.answer(request);
  ASSERT_TRUE(reply);
  EXPECT_TRUE(test::passesLinkTests(*reply, request));
  EXPECT_EQ(FrameHeader::read(*reply).sequence, 41u);
  EXPECT_EQ(FrameHeader::read(*reply).token, ~kToken);
}

TEST(DeviceFrameTest, EveryTruncationOfARequestIsAnsweredWithSilence) {
  SimulatedDevice device;
  const Bytes request = deviceCommand(0x03);
  for (std::size_t size = 0; size < request.size(); ++size) {
    EXPECT_FALSE(device.answer(ByteView(request).first(size))) << "first " << size << " bytes";
  }
  EXPECT_EQ(device.log().size(), request.size());
  EXPECT_EQ(device.log().back().kind, RequestKind::Malformed);
}

TEST(DeviceFrameTest, ABrokenFrameOrEnvelopeIsAnsweredWithSilence) {
  SimulatedDevice device;
  const Bytes good = deviceCommand(0x03);

  Bytes frameChecksum = good;
  frameChecksum[0] ^= 0x01;
  Bytes payloadBit = good;
  payloadBit[60] ^= 0x80;  // frame checksum no longer fits
  Bytes envelopeChecksum = good;
  envelopeChecksum[12] ^= 0x01;
  envelopeChecksum = test::stamped(envelopeChecksum, kToken, 0);
  Bytes areaLength = good;
  areaLength[14] = 2;  // the envelope checksum would have to cover another byte
  areaLength = test::stamped(areaLength, kToken, 0);
  Bytes longerThanLength = good;
  longerThanLength.push_back(0);

  for (const Bytes* bad :
       {&frameChecksum, &payloadBit, &envelopeChecksum, &areaLength, &longerThanLength}) {
    EXPECT_FALSE(device.answer(*bad));
    EXPECT_EQ(device.log().back().kind, RequestKind::Malformed) << describe(device.log().back());
  }
  EXPECT_TRUE(device.answer(good));
}

TEST(DeviceFrameTest, GarbageNeverCrashesTheDevice) {
  SimulatedDevice device(DeviceConfig{.subordinates = {{5, {}}}});
  std::uint32_t state = 7;
  for (int round = 0; round < 2000; ++round) {
    Bytes frame = round % 2 ? deviceCommand(0x03) : test::busRecord(0x21, Bytes(40, 0x5A));
    state = state * 1103515245u + 12345u;
    frame[state % frame.size()] = static_cast<std::uint8_t>(state >> 16);
    frame.resize(frame.size() - (state >> 8) % 3);
    // Keep the frame sound half the time, so the envelope is what gets tested.
    if (round % 4 < 2 && frame.size() >= FrameHeader::kSize) {
      putLe16(frame, FrameHeader::kLengthOffset, static_cast<std::uint16_t>(frame.size() - 12));
      frame = test::stamped(frame, kToken, 0);
    }
    (void)device.answer(frame);
  }
  EXPECT_EQ(device.log().size(), 2000u);
}

TEST(DeviceFrameTest, CredentialsAreUnscrambledWithTheFramesOwnToken) {
  SimulatedDevice device(DeviceConfig{.login = "oper\xE4tor", .password = "s3cret"});
  const std::uint8_t command[] = {0x03};
  for (const std::uint32_t token : {0x00000000u, 0xFFFFFFFFu, 0x12345678u}) {
    const auto reply =
        device.answer(test::commandRequest(command, 1, 0, token, "oper\xC3\xA4tor", "s3cret"));
    ASSERT_TRUE(reply);
    EXPECT_EQ((*reply)[12], device_status::kOk) << std::hex << token;
  }
}

TEST(DeviceFrameTest, WrongCredentialsGetAnAnswerWithAFailingStatusAndChangeNothing) {
  SimulatedDevice device;
  const std::uint8_t enter[] = {0x07};
  const std::pair<const char*, const char*> wrong[] = {
      {"admin", "admim"}, {"Admin", "admin"}, {"admin", ""}, {"", ""}, {"admin:admin", ""}};
  for (const auto& [login, password] : wrong) {
    const Bytes request = test::commandRequest(enter, 1, 0, kToken, login, password);
    const auto reply = device.answer(request);
    ASSERT_TRUE(reply) << login << ":" << password;
    EXPECT_TRUE(test::passesLinkTests(*reply, request));
    EXPECT_NE((*reply)[12], device_status::kOk) << login << ":" << password;
  }
  EXPECT_FALSE(device.inBootMonitor());

  // The device's password travelling under another session's key is wrong too.
  Bytes foreignKey = test::commandRequest(enter, 1, 0, 0x11111111);
  foreignKey = test::stamped(foreignKey, 0x22222222, 0);
  const auto reply = device.answer(foreignKey);
  ASSERT_TRUE(reply);
  EXPECT_NE((*reply)[12], device_status::kOk);
  EXPECT_FALSE(device.inBootMonitor());
}

}  // namespace
}  // namespace korvel
