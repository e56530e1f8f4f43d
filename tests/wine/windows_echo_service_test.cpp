#include "link/icmp/windows_echo_service.h"

#include <gtest/gtest.h>

#include <cstring>

#include "link/echo_link.h"
#include "wine/fake_icmp_helper.h"

namespace korvel {
namespace {

using test::FakeIcmpHelper;
using test::writeEchoReply;
using Call = FakeIcmpHelper::Call;
using Outcome = FakeIcmpHelper::Outcome;

const Ipv4Address kTargetAddress(127, 0, 0, 2);
const IPAddr kTarget = kTargetAddress.networkOrder();
const Bytes kRequest{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
const Bytes kReply{0xA0, 0xA1, 0xA2, 0xA3, 0xA4};

// How the system answers a good echo on either path.
Outcome answerWith(Call& call, ULONG status = IP_SUCCESS, IPAddr from = kTarget) {
  writeEchoReply(call, status, from, kReply);
  return call.async ? Outcome{0, ERROR_IO_PENDING, true} : Outcome{1, 0, true};
}

class WindowsEchoChannelTest : public ::testing::Test {
 protected:
  std::optional<Bytes> echo(std::uint32_t timeoutMs = 1000) {
    Bytes room(kRequest.size(), 0);
    const auto size = channel->echo(kTargetAddress, kRequest, room, timeoutMs);
    if (!size) return std::nullopt;
    return Bytes(room.begin(), room.begin() + static_cast<std::ptrdiff_t>(*size));
  }

  FakeIcmpHelper helper;
  WindowsEchoService service{&helper};
  EchoFailure failure;
  std::unique_ptr<EchoChannel> channel = service.open(failure);
};

TEST_F(WindowsEchoChannelTest, BelowVersion6TheBlockingCallGoesWithTimeToLive15) {
  helper.version = 5;
  helper.answer = [](Call& call) { return answerWith(call); };
  EXPECT_EQ(echo(700), kReply);
  ASSERT_EQ(helper.calls.size(), 1u);
  const Call& call = helper.calls[0];
  EXPECT_FALSE(call.async);
  EXPECT_EQ(call.ttl, 15);
  EXPECT_EQ(call.flags, IP_FLAG_DF);
  EXPECT_EQ(call.target, kTarget);
  EXPECT_EQ(call.data, kRequest);
  EXPECT_EQ(call.timeoutMs, 700u);
}

TEST_F(WindowsEchoChannelTest, FromVersion6TheEventCallGoesWithTimeToLive64) {
  for (const DWORD version : {6, 10}) {
    helper.version = version;
    helper.answer = [](Call& call) { return answerWith(call); };
    EXPECT_EQ(echo(900), kReply);
    const Call& call = helper.calls.back();
    EXPECT_TRUE(call.async);
    EXPECT_NE(call.event, nullptr);
    EXPECT_EQ(call.ttl, 64);
    EXPECT_EQ(call.flags, IP_FLAG_DF);
    EXPECT_EQ(call.data, kRequest);
    EXPECT_EQ(call.timeoutMs, 900u);
  }
}

TEST_F(WindowsEchoChannelTest, UnderWineTheBlockingCallGoesOnEveryVersion) {
  helper.wine = true;
  for (const DWORD version : {5, 6, 10}) {
    helper.version = version;
    helper.answer = [](Call& call) { return answerWith(call); };
    EXPECT_EQ(echo(900), kReply);
    EXPECT_FALSE(helper.calls.back().async) << "version " << version;
    EXPECT_EQ(helper.calls.back().ttl, 15);
  }
}

TEST_F(WindowsEchoChannelTest, ARequestTooLargeForTheRouteIsToldApartOnBothPaths) {
  // Below version 6 the blocking call fails with the status as its error; from 6 on the reply
  // record carries it.
  helper.version = 5;
  helper.answer = [](Call&) { return Outcome{0, IP_PACKET_TOO_BIG, true}; };
  EXPECT_EQ(echo(), std::nullopt);
  EXPECT_EQ(channel->lastSendFailure(), EchoFailureKind::TooLarge);
  helper.answer = [](Call&) { return Outcome{0, IP_REQ_TIMED_OUT, true}; };
  EXPECT_EQ(echo(), std::nullopt);
  EXPECT_EQ(channel->lastSendFailure(), EchoFailureKind::None);

  helper.version = 10;
  helper.answer = [](Call& call) {
    ICMP_ECHO_REPLY record{};
    record.Status = IP_PACKET_TOO_BIG;
    std::memcpy(call.reply, &record, sizeof record);
    return Outcome{0, ERROR_IO_PENDING, true};
  };
  EXPECT_EQ(echo(), std::nullopt);
  EXPECT_EQ(channel->lastSendFailure(), EchoFailureKind::TooLarge);
  helper.answer = [](Call& call) { return answerWith(call); };
  EXPECT_EQ(echo(), kReply);
  EXPECT_EQ(channel->lastSendFailure(), EchoFailureKind::None);
  EXPECT_EQ(channel->refusal(), nullptr);  // the next, smaller request may well go out
}

TEST_F(WindowsEchoChannelTest, TheVersionIsReadOnEverySend) {
  helper.answer = [](Call& call) { return answerWith(call); };
  helper.version = 5;
  echo();
  helper.version = 6;
  echo();
  ASSERT_EQ(helper.calls.size(), 2u);
  EXPECT_FALSE(helper.calls[0].async);
  EXPECT_TRUE(helper.calls[1].async);
  EXPECT_EQ(helper.versionReads, 2);
}

// The 28 bytes of the 32-bit reply record are too few for the record a 64-bit system writes.
TEST_F(WindowsEchoChannelTest, TheSystemGetsRoomForItsOwnRecordTheDataAndAnErrorMessage) {
  echo();
  ASSERT_EQ(helper.calls.size(), 1u);
  EXPECT_GE(helper.calls[0].replySize, sizeof(ICMP_ECHO_REPLY) + kRequest.size() + 8);
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(helper.calls[0].reply) % alignof(ICMP_ECHO_REPLY), 0u);
}

// Wine's echo service signals the event without writing anything when it could not open its
// socket; the zero status in the untouched record must not pass for a reply.
TEST_F(WindowsEchoChannelTest, AnEventWithoutAReplyIsNoReplyEvenAfterAGoodOne) {
  helper.answer = [](Call& call) { return answerWith(call); };
  ASSERT_EQ(echo(), kReply);
  helper.answer = [](Call&) { return Outcome{0, ERROR_IO_PENDING, true}; };
  EXPECT_EQ(echo(), std::nullopt);
  EXPECT_EQ(echo(), std::nullopt);
  EXPECT_EQ(channel->refusal(), nullptr);
}

TEST_F(WindowsEchoChannelTest, NoReplyCountedIsNoReplyWhateverTheRecordSays) {
  helper.version = 5;
  helper.answer = [](Call& call) {
    writeEchoReply(call, IP_SUCCESS, kTarget, kReply);
    return Outcome{0, IP_REQ_TIMED_OUT, true};
  };
  EXPECT_EQ(echo(), std::nullopt);
}

TEST_F(WindowsEchoChannelTest, OnlyASuccessfulEchoReplyFromTheTargetCounts) {
  for (const DWORD version : {5, 10}) {
    helper.version = version;
    helper.answer = [](Call& call) { return answerWith(call, IP_DEST_HOST_UNREACHABLE); };
    EXPECT_EQ(echo(), std::nullopt);
    helper.answer = [](Call& call) { return answerWith(call, IP_TTL_EXPIRED_TRANSIT); };
    EXPECT_EQ(echo(), std::nullopt);
    helper.answer = [](Call& call) {
      return answerWith(call, IP_SUCCESS, Ipv4Address(127, 0, 0, 3).networkOrder());
    };
    EXPECT_EQ(echo(), std::nullopt);
  }
}

TEST_F(WindowsEchoChannelTest, DataOutsideWhatTheSystemWasGivenIsNeverRead) {
  helper.version = 5;
  const std::vector<std::function<void(Call&)>> badRecords{
      // data pointer inside the record itself
      [](Call& call) { writeEchoReply(call, IP_SUCCESS, kTarget, kReply, call.reply + 4); },
      // data pointer past the end of the buffer
      [](Call& call) {
        writeEchoReply(call, IP_SUCCESS, kTarget, kReply, call.reply + call.replySize + 1);
      },
      // size that runs past the end of the buffer
      [](Call& call) {
        writeEchoReply(call, IP_SUCCESS, kTarget, kReply, std::nullopt,
                       static_cast<USHORT>(call.replySize));
      },
      // no data pointer at all
      [](Call& call) {
        writeEchoReply(call, IP_SUCCESS, kTarget, kReply, static_cast<std::uint8_t*>(nullptr));
      },
  };
  for (const auto& write : badRecords) {
    helper.answer = [&write](Call& call) {
      write(call);
      return Outcome{1, 0, true};
    };
    EXPECT_EQ(echo(), std::nullopt);
  }
}

TEST_F(WindowsEchoChannelTest, AReplyLargerThanTheRoomGivenIsNoReply) {
  helper.answer = [](Call& call) {
    writeEchoReply(call, IP_SUCCESS, kTarget, Bytes(kRequest.size() + 1, 0x55));
    return Outcome{0, ERROR_IO_PENDING, true};
  };
  EXPECT_EQ(echo(), std::nullopt);
}

TEST_F(WindowsEchoChannelTest, AccessDeniedIsARefusalThatNamesTheCall) {
  helper.version = 5;
  helper.answer = [](Call&) { return Outcome{0, ERROR_ACCESS_DENIED, true}; };
  EXPECT_EQ(echo(), std::nullopt);
  ASSERT_NE(channel->refusal(), nullptr);
  EXPECT_EQ(channel->refusal()->kind, EchoFailureKind::NotPermitted);
  EXPECT_EQ(channel->refusal()->nativeCode, static_cast<int>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(channel->refusal()->detail.rfind("IcmpSendEcho: ", 0), 0u)
      << channel->refusal()->detail;
}

TEST_F(WindowsEchoChannelTest, AnEventCallRefusedAtOnceIsNotWaitedFor) {
  helper.answer = [](Call&) { return Outcome{0, ERROR_ACCESS_DENIED, false}; };
  EXPECT_EQ(echo(0), std::nullopt);
  ASSERT_NE(channel->refusal(), nullptr);
  EXPECT_EQ(channel->refusal()->kind, EchoFailureKind::NotPermitted);
}

TEST_F(WindowsEchoChannelTest, NoAnswerInTimeIsNoRefusal) {
  helper.version = 5;
  helper.answer = [](Call&) { return Outcome{0, IP_REQ_TIMED_OUT, true}; };
  EXPECT_EQ(echo(), std::nullopt);
  helper.version = 10;
  helper.answer = [](Call&) { return Outcome{0, ERROR_IO_PENDING, false}; };
  EXPECT_EQ(echo(0), std::nullopt);
  EXPECT_EQ(channel->refusal(), nullptr);
  ::SetEvent(helper.calls.back().event);  // the system gives up too; the channel need not wait
}

// An echo whose event has not fired by the timeout may still complete: its reply must land in a
// buffer of its own, never in the one a later send reads.
TEST_F(WindowsEchoChannelTest, AnEchoCompletingLateNeverAnswersALaterSend) {
  helper.answer = [](Call&) { return Outcome{0, ERROR_IO_PENDING, false}; };
  EXPECT_EQ(echo(0), std::nullopt);

  helper.answer = [this](Call& call) {
    Call& late = helper.calls.front();
    writeEchoReply(late, IP_SUCCESS, kTarget, kReply);
    ::SetEvent(late.event);
    EXPECT_NE(call.reply, late.reply);
    return Outcome{0, ERROR_IO_PENDING, true};  // this one's service failed without a word
  };
  EXPECT_EQ(echo(), std::nullopt);

  helper.answer = [](Call& call) { return answerWith(call); };
  EXPECT_EQ(echo(), kReply);
}

TEST(WindowsEchoServiceTest, OpeningFailsWithThePortableReason) {
  FakeIcmpHelper helper;
  WindowsEchoService service(&helper);
  helper.handleToOpen = INVALID_HANDLE_VALUE;
  helper.openError = ERROR_ACCESS_DENIED;
  EchoFailure failure;
  EXPECT_EQ(service.open(failure), nullptr);
  EXPECT_EQ(failure.kind, EchoFailureKind::NotPermitted);
  EXPECT_EQ(failure.detail.rfind("IcmpCreateFile: ", 0), 0u) << failure.detail;

  helper.openError = ERROR_NOT_ENOUGH_MEMORY;
  EXPECT_EQ(service.open(failure), nullptr);
  EXPECT_EQ(failure.kind, EchoFailureKind::Unavailable);
  EXPECT_EQ(failure.nativeCode, static_cast<int>(ERROR_NOT_ENOUGH_MEMORY));
}

TEST(WindowsEchoServiceTest, TheChannelClosesItsHandle) {
  FakeIcmpHelper helper;
  WindowsEchoService service(&helper);
  EchoFailure failure;
  service.open(failure).reset();
  ASSERT_EQ(helper.closed.size(), 1u);
  EXPECT_EQ(helper.closed[0], helper.handleToOpen);
}

// A refusal found when sending ends the link's use of the channel: every later send returns
// nothing without reaching the system, and the link says why, as for a facility that never
// opened.
TEST(WindowsEchoServiceTest, TheLinkStopsSendingAfterARefusal) {
  FakeIcmpHelper helper;
  helper.version = 5;
  helper.answer = [](Call&) { return Outcome{0, ERROR_ACCESS_DENIED, true}; };
  WindowsEchoService service(&helper);
  EchoLink link(service, kTargetAddress, 0x01020304);
  ASSERT_TRUE(link.isOpen());
  Bytes frame(89, 0);
  putLe16(frame, 2, 77);
  EXPECT_EQ(link.request(frame, 1000, 5), std::nullopt);
  EXPECT_EQ(helper.calls.size(), 1u);
  EXPECT_FALSE(link.isOpen());
  EXPECT_EQ(link.openFailure().kind, EchoFailureKind::NotPermitted);
  EXPECT_EQ(helper.closed.size(), 1u);
}

}  // namespace
}  // namespace korvel
