#include "link/icmp/linux_echo_service.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <linux/capability.h>
#include <linux/securebits.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>

#include "common/texts.h"
#include "e2e/netns_settings.h"
#include "e2e/raw_echo_responder.h"
#include "link/echo_link.h"
#include "link/icmp/icmp_echo_packet.h"
#include "link/icmp/linux_icmp_helper.h"

namespace korvel {
namespace {

using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;
using test::SysctlOverride;

const Ipv4Address kLoopback(127, 0, 0, 1);
const Ipv4Address kSecondLoopback(127, 0, 0, 2);
const Ipv4Address kStranger(127, 0, 0, 3);

constexpr const char* kEchoIgnoreAll = "net/ipv4/icmp_echo_ignore_all";
constexpr const char* kPingGroupRange = "net/ipv4/ping_group_range";

Bytes pattern(std::size_t size, std::uint8_t seed) {
  Bytes bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(seed + i * 7);
  return bytes;
}

Bytes textBytes(const std::string& text) { return Bytes(text.begin(), text.end()); }

milliseconds since(Clock::time_point start) {
  return std::chrono::duration_cast<milliseconds>(Clock::now() - start);
}

// With an empty range no group may open ping sockets; only real root can set one, though: in a
// namespace of an unprivileged user only gid 0 exists, and the range must name existing groups.
bool keepOutOfPingSockets(std::optional<SysctlOverride>& pingGroups) {
  pingGroups.emplace(kPingGroupRange, "1 0");
  return pingGroups->applied();
}

constexpr const char* kNoGroupChange =
    "ping_group_range cannot leave our group out here (namespace of an unprivileged user)";

std::string kindName(const testing::TestParamInfo<IcmpSocketKind>& info) {
  return info.param == IcmpSocketKind::Ping ? "PingSocket" : "RawSocket";
}

// Each test runs once over a ping socket and once over a raw socket; the raw one is what
// the service falls back to when ping_group_range leaves the process's group out.
class LinuxEchoServiceTest : public testing::TestWithParam<IcmpSocketKind> {
 protected:
  void SetUp() override {
    if (!test::insidePrivateNetworkNamespace()) {
      GTEST_SKIP() << "changes network settings; run it through scripts/netns-exec";
    }
    if (GetParam() == IcmpSocketKind::Raw && !keepOutOfPingSockets(pingGroups_)) {
      GTEST_SKIP() << kNoGroupChange;
    }
    EchoFailure failure;
    channel_ = service_.open(failure);
    ASSERT_NE(channel_, nullptr) << failure.detail;
    const auto* linuxChannel = dynamic_cast<LinuxEchoChannel*>(channel_.get());
    ASSERT_NE(linuxChannel, nullptr);
    ASSERT_EQ(linuxChannel->socketKind(), GetParam());
  }

  void kernelAnswersPings(bool answers) {
    echoIgnore_.emplace(kEchoIgnoreAll, answers ? "0" : "1");
    if (!echoIgnore_->applied()) ADD_FAILURE() << "cannot set " << kEchoIgnoreAll;
  }

  std::optional<Bytes> echo(Ipv4Address target, ByteView data, std::size_t room,
                            std::uint32_t timeoutMs = 1000) {
    Bytes reply(room, 0xEE);
    const auto size = channel_->echo(target, data, reply, timeoutMs);
    if (!size) return std::nullopt;
    EXPECT_LE(*size, room);
    reply.resize(*size);
    return reply;
  }

  std::optional<Bytes> echo(Ipv4Address target, ByteView data) {
    return echo(target, data, data.size());
  }

  LinuxEchoService service_;
  std::unique_ptr<EchoChannel> channel_;
  std::optional<SysctlOverride> pingGroups_;
  std::optional<SysctlOverride> echoIgnore_;
};

INSTANTIATE_TEST_SUITE_P(BothSocketKinds, LinuxEchoServiceTest,
                         testing::Values(IcmpSocketKind::Ping, IcmpSocketKind::Raw), kindName);

TEST_P(LinuxEchoServiceTest, KernelEchoCarriesTheDataBackUnchanged) {
  kernelAnswersPings(true);
  for (const std::size_t size : {0u, 1u, 77u, 1472u, 60000u}) {
    const Bytes data = pattern(size, static_cast<std::uint8_t>(size));
    EXPECT_EQ(echo(kLoopback, data), data) << size << " bytes";
  }
  const Bytes data = textBytes("to the second loopback address");
  EXPECT_EQ(echo(kSecondLoopback, data), data);
}

TEST_P(LinuxEchoServiceTest, ConsecutiveEchoesEachGetTheirOwnReply) {
  kernelAnswersPings(true);
  for (std::uint8_t round = 0; round < 5; ++round) {
    const Bytes data = pattern(100 + round, round);
    EXPECT_EQ(echo(kLoopback, data), data) << "round " << int{round};
  }
}

TEST_P(LinuxEchoServiceTest, ReplyLargerThanTheRoomGivesNothing) {
  kernelAnswersPings(true);
  const Bytes data = pattern(100, 1);
  EXPECT_EQ(echo(kLoopback, data, 99), std::nullopt);
  EXPECT_EQ(echo(kLoopback, data, 100), data);
  EXPECT_EQ(echo(kLoopback, data, 65535), data);
}

TEST_P(LinuxEchoServiceTest, SilenceGivesNothingWhenTheTimeoutEnds) {
  kernelAnswersPings(false);
  const Bytes data = pattern(20, 2);
  const auto start = Clock::now();
  EXPECT_EQ(echo(kLoopback, data, data.size(), 150), std::nullopt);
  EXPECT_GE(since(start), milliseconds(150));
  EXPECT_LT(since(start), milliseconds(400));
}

TEST_P(LinuxEchoServiceTest, RequestsTooLargeFailAtOnce) {
  kernelAnswersPings(true);
  const auto start = Clock::now();
  EXPECT_EQ(echo(kLoopback, pattern(70000, 3), 70000, 2000), std::nullopt);
  EXPECT_EQ(echo(kLoopback, pattern(kMaxIcmpEchoData + 1, 3), 70000, 2000), std::nullopt);
  {
    const test::LoopbackMtu smallPath(1500);
    EXPECT_EQ(echo(kLoopback, pattern(1473, 4), 2000, 2000), std::nullopt)
        << "1473 bytes of data do not fit a 1500-byte packet with don't-fragment";
    const Bytes fits = pattern(1472, 5);
    EXPECT_EQ(echo(kLoopback, fits), fits);
  }
  EXPECT_LT(since(start), milliseconds(1000));
}

// A device that answers after a stale reply, a stranger and some noise: only the reply from
// the target to this very request may come through.
TEST_P(LinuxEchoServiceTest, OnlyTheReplyToThisRequestFromTheTargetIsTaken) {
  kernelAnswersPings(false);
  const test::RawEchoResponder device([](const test::SeenEchoRequest& request) {
    const auto reply = [&](std::uint16_t identifier, std::uint16_t sequence, const char* text) {
      return test::echoMessage(kIcmpEchoReply, identifier, sequence, textBytes(text));
    };
    const auto id = request.identifier;
    const auto seq = request.sequence;
    const auto fromTarget = [&](ByteView message) {
      test::sendIcmpMessage(request.target, request.source, message);
    };
    test::sendIcmpMessage(kStranger.networkOrder(), request.source,
                          reply(id, seq, "from a stranger"));
    fromTarget(reply(id, static_cast<std::uint16_t>(seq - 1), "late, to the request before"));
    fromTarget(reply(id, static_cast<std::uint16_t>(seq + 1), "to a later request"));
    fromTarget(reply(static_cast<std::uint16_t>(id + 1), seq, "to another socket"));
    Bytes badChecksum = reply(id, seq, "bad checksum");
    badChecksum[2] ^= 0x40;
    fromTarget(badChecksum);
    fromTarget(test::echoMessage(14, id, seq, textBytes("not an echo reply")));
    Bytes answer = textBytes("answer ");
    answer.insert(answer.end(), request.data.begin(), request.data.end());
    fromTarget(test::echoMessage(kIcmpEchoReply, id, seq, answer));
  });

  for (const std::string request : {"first", "second", "third"}) {
    EXPECT_EQ(echo(kLoopback, textBytes(request), 100), textBytes("answer " + request));
  }
}

TEST_P(LinuxEchoServiceTest, TimeoutCountsFromTheSendWhileOtherRepliesArrive) {
  kernelAnswersPings(false);
  const test::RawEchoResponder noisyDevice([](const test::SeenEchoRequest& request) {
    const auto stale =
        test::echoMessage(kIcmpEchoReply, request.identifier,
                          static_cast<std::uint16_t>(request.sequence - 1), request.data);
    for (int i = 0; i < 25; ++i) {
      test::sendIcmpMessage(request.target, request.source, stale);
      std::this_thread::sleep_for(milliseconds(10));
    }
  });
  const Bytes data = pattern(30, 6);
  const auto start = Clock::now();
  EXPECT_EQ(echo(kLoopback, data, data.size(), 120), std::nullopt);
  EXPECT_GE(since(start), milliseconds(120));
  EXPECT_LT(since(start), milliseconds(220));
}

// Capabilities belong to a thread, so dropping CAP_NET_RAW on a thread of its own leaves the
// rest of the test binary as privileged as before. What that thread starts gets cap_net_raw only
// from its file, as an ordinary user's programs do: root's own capabilities are switched off
// for its execs (SECBIT_NOROOT) where this thread may do so.
template <typename Action>
void withoutRawSockets(Action action) {
  std::thread([&] {
    if (::geteuid() == 0) {
      ASSERT_EQ(::prctl(PR_SET_SECUREBITS, SECBIT_NOROOT | SECBIT_NOROOT_LOCKED, 0, 0, 0), 0);
    }
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3] = {};
    ASSERT_EQ(::syscall(SYS_capget, &header, data), 0);
    data[CAP_TO_INDEX(CAP_NET_RAW)].effective &= ~CAP_TO_MASK(CAP_NET_RAW);
    data[CAP_TO_INDEX(CAP_NET_RAW)].permitted &= ~CAP_TO_MASK(CAP_NET_RAW);
    ASSERT_EQ(::syscall(SYS_capset, &header, data), 0);
    action();
  }).join();
}

constexpr char kHelper[] = KORVEL_ICMP_SOCKET;

// A copy of the helper whose file carries cap_net_raw, as the package leaves it.
class GrantedHelperCopy {
 public:
  GrantedHelperCopy() {
    const auto dir = std::filesystem::path(KORVEL_TEST_WORK_DIR) / "granted-helper";
    std::filesystem::create_directories(dir);
    path_ = (dir / "korvel-icmp-socket").string();
    std::filesystem::copy_file(kHelper, path_, std::filesystem::copy_options::overwrite_existing);
    vfs_cap_data capability{};
    capability.magic_etc = VFS_CAP_REVISION_2 | VFS_CAP_FLAGS_EFFECTIVE;
    capability.data[0].permitted = CAP_TO_MASK(CAP_NET_RAW);
    granted_ =
        ::setxattr(path_.c_str(), "security.capability", &capability, XATTR_CAPS_SZ_2, 0) == 0;
  }
  ~GrantedHelperCopy() { std::filesystem::remove(path_); }

  const std::string& path() const { return path_; }
  bool granted() const { return granted_; }

 private:
  std::string path_;
  bool granted_ = false;
};

TEST(LinuxEchoServiceOpenTest, PingSocketNeedsNoPrivilege) {
  if (!test::insidePrivateNetworkNamespace()) GTEST_SKIP() << "run it through scripts/netns-exec";
  const SysctlOverride pingGroups(kPingGroupRange, "0 0");
  ASSERT_TRUE(pingGroups.applied());
  withoutRawSockets([] {
    LinuxEchoService service;
    EchoFailure failure;
    const auto channel = service.open(failure);
    ASSERT_NE(channel, nullptr) << failure.detail;
    EXPECT_EQ(dynamic_cast<LinuxEchoChannel&>(*channel).socketKind(), IcmpSocketKind::Ping);
    EXPECT_EQ(failure.kind, EchoFailureKind::None);
  });
}

TEST(LinuxEchoServiceOpenTest, WithoutPingGroupAndRawSocketsOpenIsNotPermitted) {
  if (!test::insidePrivateNetworkNamespace()) GTEST_SKIP() << "run it through scripts/netns-exec";
  std::optional<SysctlOverride> pingGroups;
  if (!keepOutOfPingSockets(pingGroups)) GTEST_SKIP() << kNoGroupChange;
  withoutRawSockets([] {
    LinuxEchoService service(kHelper);
    EchoFailure failure;
    EXPECT_EQ(service.open(failure), nullptr);
    EXPECT_EQ(failure.kind, EchoFailureKind::NotPermitted);
    EXPECT_EQ(failure.nativeCode, EPERM);
    EXPECT_THAT(failure.detail, testing::StartsWith(std::string(text::kIcmpReasonPrefix) +
                                                    text::kIcmpPingGroupsOutside + "1 0"));
    EXPECT_THAT(failure.detail, testing::HasSubstr(text::kIcmpNoNetRaw));
    EXPECT_THAT(failure.detail, testing::EndsWith(": Permission denied; Operation not permitted"));
    // The helper's file lacks the capability, and an exec would honour one here: setcap on the
    // helper is the fix.
    EXPECT_EQ(failure.remedy,
              text::kIcmpRemedySetcap + std::filesystem::canonical(kHelper).string());
  });
}

TEST(LinuxEchoServiceOpenTest, WhereNoExecCanGiveTheCapabilityPingSocketsAreTheFix) {
  if (!test::insidePrivateNetworkNamespace()) GTEST_SKIP() << "run it through scripts/netns-exec";
  std::optional<SysctlOverride> pingGroups;
  if (!keepOutOfPingSockets(pingGroups)) GTEST_SKIP() << kNoGroupChange;
  withoutRawSockets([] {
    // No exec after no_new_privs may give a file capability; setcap would change nothing.
    ASSERT_EQ(::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0), 0);
    LinuxEchoService service;
    EchoFailure failure;
    EXPECT_EQ(service.open(failure), nullptr);
    EXPECT_EQ(failure.remedy, text::kIcmpRemedySysctl);
  });
}

TEST(LinuxEchoServiceOpenTest, WithoutHelperPingSocketsAreTheFix) {
  if (!test::insidePrivateNetworkNamespace()) GTEST_SKIP() << "run it through scripts/netns-exec";
  std::optional<SysctlOverride> pingGroups;
  if (!keepOutOfPingSockets(pingGroups)) GTEST_SKIP() << kNoGroupChange;
  withoutRawSockets([] {
    LinuxEchoService service("");
    EchoFailure failure;
    EXPECT_EQ(service.open(failure), nullptr);
    EXPECT_EQ(failure.remedy, text::kIcmpRemedySysctl);
  });
}

TEST(LinuxEchoServiceOpenTest, GrantedHelperGivesARawSocketThatCarriesEchoes) {
  if (!test::insidePrivateNetworkNamespace()) GTEST_SKIP() << "run it through scripts/netns-exec";
  std::optional<SysctlOverride> pingGroups;
  if (!keepOutOfPingSockets(pingGroups)) GTEST_SKIP() << kNoGroupChange;
  const SysctlOverride echoes(kEchoIgnoreAll, "0");
  const GrantedHelperCopy helper;
  if (!helper.granted()) GTEST_SKIP() << "cannot set a file capability on " << helper.path();
  withoutRawSockets([&] {
    // Without the helper this thread can have no ICMP socket at all.
    EchoFailure failure;
    ASSERT_EQ(LinuxEchoService("").open(failure), nullptr);
    const auto channel = LinuxEchoService(helper.path()).open(failure);
    ASSERT_NE(channel, nullptr) << failure.detail;
    EXPECT_EQ(dynamic_cast<LinuxEchoChannel&>(*channel).socketKind(), IcmpSocketKind::Raw);
    const Bytes data = pattern(1000, 9);
    Bytes reply(data.size());
    EXPECT_EQ(channel->echo(kLoopback, data, reply, 1000), data.size());
    EXPECT_EQ(reply, data);
  });
}

// The helper's socket wakes for the echo replies of its identifier and for nothing else.
TEST(LinuxEchoServiceOpenTest, HelperSocketReceivesOnlyItsOwnEchoReplies) {
  if (!test::insidePrivateNetworkNamespace()) GTEST_SKIP() << "run it through scripts/netns-exec";
  if (::geteuid() != 0) GTEST_SKIP() << "the helper needs cap_net_raw: run as root";
  constexpr std::uint16_t kOurs = 0x5151;
  const HelperSocket handed = icmpSocketFromHelper(kHelper, kOurs);
  ASSERT_GE(handed.fd, 0) << std::strerror(handed.error);
  const Bytes data = pattern(40, 1);
  const auto from = kSecondLoopback.networkOrder();
  const auto to = kLoopback.networkOrder();
  for (const auto& message :
       {test::echoMessage(kIcmpEchoReply, kOurs + 1, 0, data),
        test::echoMessage(kIcmpEchoRequest, kOurs, 0, data),
        test::echoMessage(kIcmpEchoReply, static_cast<std::uint16_t>(kOurs << 8), 0, data)}) {
    test::sendIcmpMessage(from, to, message);
  }
  test::sendIcmpMessage(from, to, test::echoMessage(kIcmpEchoReply, kOurs, 7, data));
  std::array<std::uint8_t, 1500> datagram{};
  pollfd ready{handed.fd, POLLIN, 0};
  ASSERT_EQ(::poll(&ready, 1, 1000), 1);
  const ssize_t size = ::recv(handed.fd, datagram.data(), datagram.size(), MSG_DONTWAIT);
  ASSERT_GT(size, 0);
  const auto reply =
      parseIcmpEcho(*ipv4Payload(ByteView(datagram).first(static_cast<std::size_t>(size))));
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->identifier, kOurs);
  EXPECT_EQ(reply->sequence, 7);
  EXPECT_EQ(::recv(handed.fd, datagram.data(), datagram.size(), MSG_DONTWAIT), -1);
  ::close(handed.fd);
}

TEST(LinuxEchoServiceOpenTest, SystemServiceIsTheLinuxOne) {
  EXPECT_NE(dynamic_cast<LinuxEchoService*>(makeSystemEchoService().get()), nullptr);
}

}  // namespace
}  // namespace korvel
