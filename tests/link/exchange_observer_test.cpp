#include <gtest/gtest.h>

#include "device_model/simulated_device.h"
#include "device_model/simulated_echo_service.h"
#include "link/bus_command.h"
#include "link/command_envelope.h"
#include "link/device_protocol.h"
#include "link/echo_link.h"
#include "link/frame_header.h"
#include "link/request_description.h"
#include "support/recording_exchanges.h"
#include "support/scripted_echo_service.h"

namespace korvel {
namespace {

constexpr std::uint32_t kToken = 0x600DF00D;
const Ipv4Address kDevice(127, 0, 0, 2);

Bytes commandFrame(ByteView command, std::uint32_t areaLength) {
  const auto credentials = formatCredentials("admin", "admin");
  return *buildCommandFrame(command, areaLength, credentials.field, kToken);
}

Bytes infoFrame() {
  const std::uint8_t command[] = {command::kDeviceInfo};
  return commandFrame(command, 1);
}

Bytes rawFrame(std::size_t payload) {
  Bytes frame(FrameHeader::kSize + payload, 0x5A);
  FrameHeader header;
  header.length = static_cast<std::uint16_t>(payload);
  header.write(frame);
  return frame;
}

// A link to the simulated device whose every echo exchange is recorded.
class LinkExchangesTest : public ::testing::Test {
 protected:
  LinkExchangesTest() { link.setExchangeObserver(&seen); }

  const EchoExchange& at(std::size_t index) const { return seen.seen.at(index).exchange; }

  SimulatedDevice device;
  SimulatedEchoService echo{device, kDevice};
  EchoLink link{echo, kDevice, kToken};
  test::RecordingExchanges seen;
};

TEST_F(LinkExchangesTest, DroppedRepliesAreTimeoutsAndAttemptsCountFromOne) {
  device.faults().dropReplies(firstRequests(2));
  Bytes frame = infoFrame();
  const auto reply = link.request(frame, 1000, 5);
  ASSERT_TRUE(reply);

  using R = ExchangeResult;
  EXPECT_EQ(seen.results(), (std::vector{R::NoReply, R::NoReply, R::Accepted}));
  for (std::size_t i = 0; i < seen.seen.size(); ++i) {
    EXPECT_EQ(at(i).attempt, static_cast<int>(i) + 1);
    EXPECT_EQ(at(i).attempts, 5);
    EXPECT_EQ(at(i).targetAddress, kDevice);
    EXPECT_EQ(seen.seen[i].sent, frame);  // the stamped frame, byte for byte
  }
  EXPECT_EQ(at(2).status, 1);
  EXPECT_EQ(at(2).replyLength, FrameHeader::read(*reply).length);
  EXPECT_EQ(seen.seen[2].reply, Bytes(reply->begin(), reply->end()));
  EXPECT_EQ(echo.exchanges(), 3u);
}

TEST_F(LinkExchangesTest, RejectedRepliesNameTheCheckTheyFailed) {
  device.faults()
      .corrupt(FaultKind::BadChecksum, onlyRequest(1))
      .corrupt(FaultKind::SameToken, onlyRequest(2))
      .corrupt(FaultKind::LengthTooShort, onlyRequest(3));
  Bytes frame = infoFrame();
  ASSERT_TRUE(link.request(frame, 1000, 5));

  using R = ExchangeResult;
  EXPECT_EQ(seen.results(), (std::vector{R::Rejected, R::Rejected, R::Rejected, R::Accepted}));
  EXPECT_EQ(at(0).rejectedBy, ReplyCheck::Checksum);
  EXPECT_EQ(at(1).rejectedBy, ReplyCheck::Token);
  EXPECT_EQ(at(2).rejectedBy, ReplyCheck::LengthBelowMinimum);
  EXPECT_EQ(at(3).attempt, 4);
  // A rejected reply is still shown as it came.
  EXPECT_EQ(seen.seen[1].reply.size(), FrameHeader::kSize + reply::kMinLength);
}

TEST_F(LinkExchangesTest, SequenceIsTheOneEachFrameCarried) {
  const std::uint8_t ready[] = {bus::kMarker, 2, bus::kProgrammingAddress, bus::kReady};
  device.faults().dropRequests(onlyRequest(2));
  Bytes first = infoFrame();
  Bytes second = commandFrame(ready, 128);
  ASSERT_TRUE(link.request(first, 1000, 5));
  ASSERT_TRUE(link.request(second, 1000, 5));

  ASSERT_EQ(seen.seen.size(), 3u);
  EXPECT_EQ(at(0).sequence, 0u);
  EXPECT_EQ(at(1).sequence, 1u);  // lost on its way
  EXPECT_EQ(at(2).sequence, 1u);  // the same number again
  EXPECT_EQ(at(2).attempt, 2);
  for (const auto& s : seen.seen)
    EXPECT_EQ(s.exchange.sequence, FrameHeader::read(s.sent).sequence);
  // What reached the device carried the same numbers.
  ASSERT_EQ(device.log().size(), 3u);
  for (std::size_t i = 0; i < 3; ++i) EXPECT_EQ(device.log()[i].sequence, at(i).sequence);
}

TEST_F(LinkExchangesTest, ASendRefusedForItsSizeIsTheRequestsLast) {
  echo.refuseSendsLargerThan(200);
  Bytes frame = rawFrame(500);
  EXPECT_FALSE(link.request(frame, 1000, 5));
  ASSERT_EQ(seen.seen.size(), 1u);
  EXPECT_EQ(at(0).result, ExchangeResult::Refused);
  EXPECT_EQ(at(0).refusal, EchoFailureKind::TooLarge);
  EXPECT_EQ(at(0).attempts, 5);
}

TEST_F(LinkExchangesTest, BareSendsAreToldUncheckedAsTheirOnlyAttempt) {
  const Bytes frame = infoFrame();  // not stamped: the device does not answer it
  EXPECT_FALSE(link.send(frame, 1000));
  Bytes stamped = infoFrame();
  ASSERT_TRUE(link.request(stamped, 1000, 1));
  ASSERT_TRUE(link.send(stamped, 1000));  // the same frame again: the device answers it again

  ASSERT_EQ(seen.seen.size(), 3u);
  EXPECT_EQ(at(0).result, ExchangeResult::NoReply);
  EXPECT_EQ(at(0).attempt, 1);
  EXPECT_EQ(at(0).attempts, 1);
  EXPECT_EQ(at(2).result, ExchangeResult::Received);
  EXPECT_FALSE(seen.seen[2].reply.empty());
}

TEST(LinkExchangesRefusedTest, ALinkWithoutIcmpReportsEveryAttemptRefused) {
  SimulatedDevice device;
  SimulatedEchoService echo{device, kDevice};
  echo.refuseOpening({EchoFailureKind::NotPermitted, 1, "Operation not permitted", ""});
  EchoLink link{echo, kDevice, kToken};
  test::RecordingExchanges seen;
  link.setExchangeObserver(&seen);
  Bytes frame = infoFrame();
  EXPECT_FALSE(link.request(frame, 1000, 3));
  ASSERT_EQ(seen.seen.size(), 3u);
  for (const auto& s : seen.seen) {
    EXPECT_EQ(s.exchange.result, ExchangeResult::Refused);
    EXPECT_EQ(s.exchange.refusal, EchoFailureKind::NotPermitted);
  }
  EXPECT_EQ(echo.exchanges(), 0u);
}

// Replies no device sends, scripted byte by byte.
TEST(LinkExchangesScriptedTest, MalformedRepliesNameTheirCheck) {
  test::ScriptedEchoService service;
  EchoLink link{service, kDevice, kToken};
  test::RecordingExchanges seen;
  link.setExchangeObserver(&seen);
  Bytes frame = infoFrame();
  // As long as the request, but its length field claims one byte more than the request carried.
  Bytes longer(frame.size(), 0);
  FrameHeader{0, reply::kMinLength + 1, ~kToken, 0}.write(longer);
  service.reply(Bytes(5, 0));
  service.reply(longer);
  EXPECT_FALSE(link.request(frame, 1000, 2));
  ASSERT_EQ(seen.seen.size(), 2u);
  EXPECT_EQ(seen.seen[0].exchange.rejectedBy, ReplyCheck::Truncated);
  EXPECT_EQ(seen.seen[0].reply.size(), 5u);
  EXPECT_EQ(seen.seen[1].exchange.rejectedBy, ReplyCheck::LengthAboveRequest);
}

TEST(RequestDescriptionTest, SaysWhatEachKindOfFrameCarries) {
  const std::uint8_t info[] = {command::kDeviceInfo};
  EXPECT_EQ(describeRequest(commandFrame(info, 1)), "command 0x03");

  const Bytes leave = busCommand(5, bus::kLeaveAddress);
  EXPECT_EQ(describeRequest(commandFrame(leave, 128)), "bus command 0x07, address 5");
  const RequestSummary summary = summarizeRequest(commandFrame(leave, 128));
  EXPECT_EQ(summary.kind, RequestSummary::Kind::BusCommand);
  EXPECT_EQ(summary.length, 128u);

  const Bytes record = busCommand(bus::kProgrammingAddress, 0x21, Bytes(1024, 7));
  EXPECT_EQ(describeRequest(commandFrame(record, 1024 + 64)), "bus command 0x21, address 254");

  EXPECT_EQ(describeRequest(rawFrame(1024)), "data record, 1024 bytes");
}

TEST(RequestDescriptionTest, ABrokenEnvelopeIsARecordAndABrokenFrameUnreadable) {
  // A record that starts like an envelope but whose envelope checksum does not hold is what the
  // boot monitor takes as data.
  Bytes frame = infoFrame();
  frame[FrameHeader::kSize + envelope::kCredentialsOffset] ^= 0xFF;
  EXPECT_EQ(describeRequest(frame), "data record, 77 bytes");

  Bytes cut = rawFrame(100);
  cut.resize(50);
  EXPECT_EQ(describeRequest(cut), "unreadable frame, 50 bytes");
  EXPECT_EQ(describeRequest(Bytes(5, 0)), "unreadable frame, 5 bytes");
}

}  // namespace
}  // namespace korvel
