// The program's link over the real echo facility of this system, against korvel-devsim in a
// private network namespace (scripts/with-devsim, devices as in devsim_e2e.json).

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "e2e/netns_settings.h"
#include "link/bus_command.h"
#include "link/command_envelope.h"
#include "link/echo_link.h"
#include "link/frame_header.h"

namespace korvel {
namespace {

using Clock = std::chrono::steady_clock;

// Short, as the test sets them; the device answers at once unless a fault says otherwise.
constexpr std::uint32_t kTimeoutMs = 400;
constexpr std::int32_t kAttempts = 3;

// The simulator's conversation log, the lines for one device.
std::vector<nlohmann::json> logOf(const std::string& device) {
  std::vector<nlohmann::json> lines;
  const char* path = std::getenv("KORVEL_DEVSIM_LOG");
  std::ifstream in(path ? path : "");
  std::string line;
  while (std::getline(in, line)) {
    auto entry = nlohmann::json::parse(line, nullptr, false);
    if (!entry.is_discarded() && entry["device"] == device) lines.push_back(std::move(entry));
  }
  return lines;
}

class DevsimLinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(test::insidePrivateNetworkNamespace())
        << "run through CTest or scripts/with-devsim: it needs korvel-devsim in a private network "
           "namespace";
    ASSERT_NE(std::getenv("KORVEL_DEVSIM_LOG"), nullptr)
        << "KORVEL_DEVSIM_LOG names the simulator's log";
    service_ = makeSystemEchoService();
  }

  std::unique_ptr<EchoLink> linkTo(const char* device) {
    auto link =
        std::make_unique<EchoLink>(*service_, *Ipv4Address::parse(device), newSessionToken());
    EXPECT_TRUE(link->isOpen()) << link->openFailure().detail;
    return link;
  }

  // Sends `command` in a command area of `areaLength` bytes; the reply's bytes, or nothing.
  static std::optional<Bytes> send(EchoLink& link, ByteView command, std::uint32_t areaLength) {
    Bytes frame = *buildCommandFrame(command, areaLength, formatCredentials("admin", "admin").field,
                                     link.sessionToken());
    const auto reply = link.request(frame, kTimeoutMs, kAttempts);
    if (!reply) return std::nullopt;
    return Bytes(reply->begin(), reply->end());
  }

  static std::optional<Bytes> info(EchoLink& link) {
    const std::uint8_t command[] = {0x03};
    return send(link, command, 1);
  }

  static std::optional<Bytes> busQuery(EchoLink& link) {
    return send(link, busCommand(5, 0x03), 256);
  }

  std::unique_ptr<EchoService> service_;
};

TEST_F(DevsimLinkTest, AValidatedReplyComesBackOverRealIcmp) {
  auto link = linkTo("127.0.0.2");
  const auto reply = info(*link);
  ASSERT_TRUE(reply);
  EXPECT_EQ((*reply)[12], 1);
  EXPECT_EQ(getLe32(*reply, 13), 0x000012ABu);
  EXPECT_EQ(getLe32(*reply, 17), (3u << 16) | 7u);
  EXPECT_EQ(link->sequence(), 1u);

  const auto query = busQuery(*link);
  ASSERT_TRUE(query);
  EXPECT_EQ(Bytes(query->begin() + 121, query->begin() + 125), (Bytes{0x11, 0x22, 0x33, 0x44}));
  EXPECT_EQ(getLe32(*query, FrameHeader::kSequenceOffset), 1u);
}

TEST_F(DevsimLinkTest, ALateReplyToTheRequestBeforeIsNeverHandedToTheNextOne) {
  auto link = linkTo("127.0.0.3");
  ASSERT_TRUE(info(*link));
  // The device sends the information reply once more, just before the reply to the query.
  const auto query = busQuery(*link);
  ASSERT_TRUE(query);
  EXPECT_EQ(getLe16(*query, FrameHeader::kLengthOffset), 113u);
  EXPECT_EQ(getLe32(*query, FrameHeader::kSequenceOffset), 1u);
  EXPECT_EQ(Bytes(query->begin() + 121, query->begin() + 125), (Bytes{0x11, 0x22, 0x33, 0x44}));

  const auto log = logOf("127.0.0.3");
  ASSERT_EQ(log.size(), 2u) << "the query took one echo request";
  EXPECT_EQ(log[1].value("late_reply_first", false), true);
}

TEST_F(DevsimLinkTest, AReplyDelayedPastTheTimeoutIsNotTakenForALaterRequest) {
  auto link = linkTo("127.0.0.4");
  ASSERT_TRUE(info(*link));
  // The first reply to the query comes 800 ms late; the attempt after the timeout gets its answer.
  const auto query = busQuery(*link);
  ASSERT_TRUE(query);
  EXPECT_EQ(getLe32(*query, FrameHeader::kSequenceOffset), 1u);
  // Let the late reply arrive while nothing is asked, then ask for something else.
  std::this_thread::sleep_for(std::chrono::milliseconds(800));
  const auto second = info(*link);
  ASSERT_TRUE(second);
  EXPECT_EQ(getLe16(*second, FrameHeader::kLengthOffset), 77u);
  EXPECT_EQ(getLe32(*second, FrameHeader::kSequenceOffset), 2u);
  EXPECT_EQ(getLe32(*second, 13), 0x000012ABu);
}

TEST_F(DevsimLinkTest, BrokenRepliesAreRejectedAndTheAttemptRepeated) {
  const std::pair<const char*, const char*> devices[] = {{"127.0.0.5", "same-token"},
                                                         {"127.0.0.6", "bad-checksum"},
                                                         {"127.0.0.7", "short"},
                                                         {"127.0.0.8", "long"}};
  for (const auto& [device, fault] : devices) {
    SCOPED_TRACE(fault);
    auto link = linkTo(device);
    const auto reply = info(*link);
    ASSERT_TRUE(reply);
    EXPECT_EQ((*reply)[12], 1);
    EXPECT_EQ(link->sequence(), 1u);
    const auto log = logOf(device);
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0]["faults"], nlohmann::json::array({fault}));
    EXPECT_EQ(log[1]["sequence"], 0) << "the same frame again";
    EXPECT_EQ(log[1]["repeated"], true);
  }
}

TEST_F(DevsimLinkTest, ARequestWhoseRepliesAreAllLostReturnsNothingAfterItsAttempts) {
  auto link = linkTo("127.0.0.9");
  const auto started = Clock::now();
  EXPECT_FALSE(info(*link));
  EXPECT_GE(Clock::now() - started, std::chrono::milliseconds(kAttempts * kTimeoutMs));
  EXPECT_EQ(link->sequence(), 0u);
  const auto log = logOf("127.0.0.9");
  ASSERT_EQ(log.size(), static_cast<std::size_t>(kAttempts));
  for (const auto& entry : log) {
    EXPECT_EQ(entry["sequence"], 0);
    EXPECT_TRUE(entry["status"].is_null());
  }
}

}  // namespace
}  // namespace korvel
