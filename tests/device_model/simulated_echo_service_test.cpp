// The in-process echo facility and the conversation log, driven through the program's own link.
#include <gtest/gtest.h>

#include <initializer_list>

#include "device_model/device_requests.h"
#include "device_model/image_builder.h"
#include "device_model/simulated_echo_service.h"
#include "link/command_envelope.h"
#include "link/echo_link.h"

namespace korvel {
namespace {

const Ipv4Address kDevice(127, 0, 0, 2);

class SimulatedEchoServiceTest : public ::testing::Test {
 protected:
  SimulatedDevice device;
  SimulatedEchoService service{device, kDevice};
  std::chrono::nanoseconds now{0};

  void SetUp() override {
    device.setClock([this] { return now; });
  }

  std::optional<ByteView> info(EchoLink& link) {
    const std::uint8_t command[] = {0x03};
    Bytes frame = *buildCommandFrame(command, 1, formatCredentials("admin", "admin").field,
                                     link.sessionToken());
    return link.request(frame, 1000, 5);
  }
};

TEST_F(SimulatedEchoServiceTest, TheLinkGetsAValidatedReply) {
  EchoLink link(service, kDevice, 0xCAFE0001);
  const auto reply = info(link);
  ASSERT_TRUE(reply);
  EXPECT_EQ((*reply)[12], 1);
  EXPECT_EQ(getLe32(*reply, 13), 0x000012ABu);
  EXPECT_EQ(link.sequence(), 1u);
  EXPECT_EQ(service.exchanges(), 1u);
}

TEST_F(SimulatedEchoServiceTest, OtherAddressesAreSilentAndTheDeviceHearsNothing) {
  EchoLink link(service, Ipv4Address::fromHostOrder(0x7F000003), 1);
  EXPECT_FALSE(info(link));
  EXPECT_EQ(service.exchanges(), 5u);
  EXPECT_TRUE(device.log().empty());
}

TEST_F(SimulatedEchoServiceTest, ARefusedOpeningGivesALinkWithoutChannel) {
  service.refuseOpening({EchoFailureKind::NotPermitted, 1, "Operation not permitted", ""});
  EchoLink link(service, kDevice, 1);
  EXPECT_FALSE(link.isOpen());
  EXPECT_EQ(link.openFailure().kind, EchoFailureKind::NotPermitted);
  EXPECT_FALSE(info(link));
  EXPECT_EQ(service.exchanges(), 0u);
}

TEST_F(SimulatedEchoServiceTest, AReplyDelayedPastTheTimeoutNeverArrives) {
  device.faults().add({FaultKind::Delay, {}, firstRequests(2), 0, std::chrono::milliseconds(1000)});
  EchoLink link(service, kDevice, 7);
  ASSERT_TRUE(info(link));
  EXPECT_EQ(service.exchanges(), 3u);
  EXPECT_EQ(device.log().size(), 3u);
  EXPECT_TRUE(device.log()[1].repeated);
}

TEST_F(SimulatedEchoServiceTest, ALateReplyDoesNotReachTheLinkInProcess) {
  device.faults().corrupt(FaultKind::LateReply, onlyRequest(2));
  EchoLink link(service, kDevice, 7);
  ASSERT_TRUE(info(link));
  const auto second = info(link);
  ASSERT_TRUE(second);
  EXPECT_EQ(getLe32(*second, 8), 1u);
  EXPECT_TRUE(device.log().back().lateReplyFirst);
}

TEST_F(SimulatedEchoServiceTest, BrokenRepliesAreRefusedByTheLinkAndTheAttemptRepeated) {
  for (const FaultKind kind :
       {FaultKind::BadChecksum, FaultKind::SameToken, FaultKind::LengthTooShort,
        FaultKind::LengthTooLong, FaultKind::DropReply, FaultKind::DropRequest}) {
    SCOPED_TRACE(faultKindName(kind));
    device.faults().clear();
    device.log().clear();
    device.faults().corrupt(kind, firstRequests(4));
    EchoLink link(service, kDevice, 0x600D0000u + static_cast<std::uint32_t>(kind));
    ASSERT_TRUE(info(link));
    ASSERT_EQ(device.log().size(), 5u);
    for (std::size_t i = 0; i < 5; ++i) EXPECT_EQ(device.log()[i].sequence, 0u);
  }
}

TEST_F(SimulatedEchoServiceTest, TheLogShowsOrderTokensSequencesAndPauses) {
  device.faults().dropReplies(onlyRequest(2));
  EchoLink first(service, kDevice, 0x11111111);
  ASSERT_TRUE(info(first));
  now += std::chrono::milliseconds(222);
  ASSERT_TRUE(info(first));  // the second exchange loses its reply, the third gets through
  now += std::chrono::seconds(2);
  EchoLink second(service, kDevice, 0x22222222);
  ASSERT_TRUE(info(second));

  const auto& log = device.log();
  ASSERT_EQ(log.size(), 4u);
  EXPECT_EQ(log[0].token, 0x11111111u);
  EXPECT_EQ(log[0].sequence, 0u);
  EXPECT_EQ(log[1].sequence, 1u);
  EXPECT_FALSE(log[1].status);
  EXPECT_EQ(log[2].sequence, 1u);
  EXPECT_TRUE(log[2].repeated);
  EXPECT_EQ(log[3].token, 0x22222222u);
  EXPECT_EQ(log[3].sequence, 0u);
  EXPECT_EQ(log[1].time - log[0].time, std::chrono::milliseconds(222));
  EXPECT_EQ(log[3].time - log[2].time, std::chrono::seconds(2));
  for (const auto& entry : log) {
    EXPECT_EQ(entry.kind, RequestKind::DeviceCommand);
    EXPECT_EQ(entry.code, 0x03);
  }
  EXPECT_NE(describe(log[1]).find("silence"), std::string::npos) << describe(log[1]);
}

}  // namespace
}  // namespace korvel
