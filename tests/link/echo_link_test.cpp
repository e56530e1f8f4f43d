#include "link/echo_link.h"

#include <gtest/gtest.h>

#include "link/crc16.h"
#include "link/frame_header.h"
#include "support/scripted_echo_service.h"

namespace korvel {
namespace {

constexpr std::uint32_t kToken = 0xA5C3F00F;

// A frame with `length` payload bytes, as a caller hands it to request().
Bytes requestFrame(std::uint16_t length) {
  Bytes frame(FrameHeader::kSize + length, 0);
  putLe16(frame, FrameHeader::kLengthOffset, length);
  for (std::size_t i = FrameHeader::kSize; i < frame.size(); ++i)
    frame[i] = static_cast<std::uint8_t>(i);
  return frame;
}

// A device reply: `length` payload bytes, status 1, the inverted token and a correct checksum.
Bytes deviceReply(std::uint16_t length, std::uint32_t token = ~kToken) {
  Bytes reply(FrameHeader::kSize + length, 0);
  FrameHeader header{0, length, token, 0};
  header.write(reply);
  reply[12] = 1;
  header.checksum = Crc16(ByteView(reply).subspan(2));
  header.write(reply);
  return reply;
}

class EchoLinkTest : public ::testing::Test {
 protected:
  test::ScriptedEchoService service;
  EchoLink link{service, Ipv4Address::fromHostOrder(0x7F000002), kToken};
};

TEST_F(EchoLinkTest, StampsTokenSequenceAndChecksum) {
  service.reply(deviceReply(77));
  Bytes frame = requestFrame(77);
  ASSERT_TRUE(link.request(frame, 1000, 5));
  ASSERT_EQ(service.sent.size(), 1u);
  const auto& sent = service.sent[0].data;
  const auto header = FrameHeader::read(sent);
  EXPECT_EQ(header.token, kToken);
  EXPECT_EQ(header.sequence, 0u);
  EXPECT_EQ(header.checksum, Crc16(ByteView(sent).subspan(2)));
  EXPECT_EQ(sent, frame);
}

TEST_F(EchoLinkTest, ReplyLengthBounds) {
  Bytes frame = requestFrame(80);
  service.reply(deviceReply(76));
  service.reply(deviceReply(81));
  service.reply(deviceReply(80));
  const auto reply = link.request(frame, 1000, 5);
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->size(), 92u);
  EXPECT_EQ(service.sent.size(), 3u);

  Bytes small = requestFrame(77);
  service.reply(deviceReply(77));
  EXPECT_TRUE(link.request(small, 1000, 5));
}

TEST_F(EchoLinkTest, ShortRequestCanNeverBeAnswered) {
  Bytes frame = requestFrame(20);
  service.responder = [](ByteView) { return deviceReply(20); };
  EXPECT_FALSE(link.request(frame, 1000, 5));
  EXPECT_EQ(service.sent.size(), 5u);
  EXPECT_EQ(link.sequence(), 0u);
}

TEST_F(EchoLinkTest, TokenMustBeTheExactComplement) {
  Bytes frame = requestFrame(77);
  service.reply(deviceReply(77, kToken));                // echoed unchanged
  service.reply(deviceReply(77, ~kToken ^ 0x00010000));  // one bit off
  EXPECT_FALSE(link.request(frame, 1000, 2));
  service.reply(deviceReply(77));
  EXPECT_TRUE(link.request(frame, 1000, 1));
}

TEST_F(EchoLinkTest, BadChecksumIsRetriedWithTheSameBytes) {
  Bytes frame = requestFrame(77);
  Bytes corrupted = deviceReply(77);
  corrupted[40] ^= 0xFF;
  service.reply(corrupted);
  service.reply(deviceReply(77));
  EXPECT_TRUE(link.request(frame, 1000, 5));
  ASSERT_EQ(service.sent.size(), 2u);
  EXPECT_EQ(service.sent[0].data, service.sent[1].data);
}

TEST_F(EchoLinkTest, TruncatedReplyIsRejectedWithoutReadingPastIt) {
  Bytes frame = requestFrame(100);
  Bytes whole = deviceReply(100);
  service.reply(Bytes(whole.begin(), whole.begin() + 60));  // length field says 100
  service.reply(Bytes(whole.begin(), whole.begin() + 5));   // not even a header
  service.reply(Bytes{});
  EXPECT_FALSE(link.request(frame, 1000, 3));
}

TEST_F(EchoLinkTest, SequenceAdvancesOnlyOnValidReplies) {
  Bytes frame = requestFrame(77);
  service.reply(deviceReply(77));
  ASSERT_TRUE(link.request(frame, 1000, 1));
  service.silence(3);
  EXPECT_FALSE(link.request(frame, 1000, 3));
  EXPECT_EQ(link.sequence(), 1u);
  service.reply(deviceReply(77));
  ASSERT_TRUE(link.request(frame, 1000, 1));
  EXPECT_EQ(FrameHeader::read(service.sent[0].data).sequence, 0u);
  EXPECT_EQ(FrameHeader::read(service.sent[1].data).sequence, 1u);
  EXPECT_EQ(FrameHeader::read(service.sent[4].data).sequence, 1u);
  EXPECT_EQ(link.sequence(), 2u);
}

TEST_F(EchoLinkTest, NoAttemptsSendNothing) {
  Bytes frame = requestFrame(77);
  EXPECT_FALSE(link.request(frame, 1000, 0));
  EXPECT_FALSE(link.request(frame, 1000, -3));
  EXPECT_TRUE(service.sent.empty());
}

TEST_F(EchoLinkTest, ReplyBufferGrowsAndIsReused) {
  service.responder = [](ByteView) { return std::nullopt; };
  EXPECT_FALSE(link.send(Bytes(89, 0), 1000));
  EXPECT_EQ(link.replyBufferSize(), 117u);
  EXPECT_FALSE(link.send(Bytes(176, 0), 1000));
  EXPECT_EQ(link.replyBufferSize(), 204u);
  EXPECT_FALSE(link.send(Bytes(89, 0), 1000));
  EXPECT_EQ(link.replyBufferSize(), 204u);
  EXPECT_EQ(link.lastReplyRoom(), 117u);
  EXPECT_EQ(service.sent.back().replyRoom, 89u);
  EXPECT_FALSE(link.send(Bytes(3, 0), 1000));
  EXPECT_EQ(link.lastReplyRoom(), 36u);
}

TEST_F(EchoLinkTest, FramesThatLieAboutTheirLengthAreNotSent) {
  Bytes frame = requestFrame(77);
  frame.resize(50);  // length field still says 77
  EXPECT_FALSE(link.request(frame, 1000, 5));
  Bytes tiny(5, 0);
  EXPECT_FALSE(link.request(tiny, 1000, 5));
  EXPECT_TRUE(service.sent.empty());
}

TEST(EchoLinkServiceTest, UnavailableServiceAnswersNothingAtOnce) {
  test::ScriptedEchoService service;
  service.refuseWith = {EchoFailureKind::NotPermitted, 13, "Permission denied", ""};
  EchoLink link(service, Ipv4Address(), kToken);
  EXPECT_FALSE(link.isOpen());
  EXPECT_EQ(link.openFailure().kind, EchoFailureKind::NotPermitted);
  Bytes frame = requestFrame(77);
  EXPECT_FALSE(link.request(frame, 1000, 5));
  EXPECT_TRUE(service.sent.empty());
}

}  // namespace
}  // namespace korvel
