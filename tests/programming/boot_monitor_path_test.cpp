#include <gtest/gtest.h>

#include "programmer_fixture.h"

namespace korvel {
namespace {

using test::SentCommand;

class BootMonitorPathTest : public test::ProgrammerTest {};

TEST_F(BootMonitorPathTest, ViaBootOnlyWaits) {
  panel.viaBootChecked = true;
  EXPECT_TRUE(programmer.enterBootMonitor());
  EXPECT_TRUE(echo.sent.empty());
  EXPECT_EQ(pauses.requested, std::vector<std::uint32_t>{2000});
  EXPECT_NE(programmer.link(), nullptr);
}

TEST_F(BootMonitorPathTest, HandOverAnsweredOnTheThirdAttempt) {
  int echoes = 0;
  answerCommands([&](const SentCommand& command, ByteView request) -> std::optional<Bytes> {
    EXPECT_EQ(command.area, Bytes{0x07});
    if (++echoes <= 10) return std::nullopt;
    return test::replyTo(request, 1);
  });
  EXPECT_TRUE(programmer.enterBootMonitor());
  EXPECT_EQ(pauses.requested, (std::vector<std::uint32_t>{222, 222, 2000}));
}

TEST_F(BootMonitorPathTest, BadStatusEndsAtOnceWithoutTheWait) {
  answerCommands([](const SentCommand&, ByteView request) { return test::replyTo(request, 0); });
  EXPECT_FALSE(programmer.enterBootMonitor());
  EXPECT_EQ(echo.sent.size(), 1u);
  EXPECT_TRUE(pauses.requested.empty());
}

TEST_F(BootMonitorPathTest, SilentDeviceGetsSixteenAttempts) {
  EXPECT_FALSE(programmer.enterBootMonitor());
  EXPECT_EQ(echo.sent.size(), 16u * 5u);
  EXPECT_EQ(pauses.requested, std::vector<std::uint32_t>(16, 222));
}

TEST_F(BootMonitorPathTest, KeepsTheLinkTheQueryOpened) {
  answerCommands([](const SentCommand&, ByteView request) { return test::replyTo(request, 1); });
  programmer.queryDeviceInfo();
  const EchoLink* queryLink = programmer.link();
  EXPECT_TRUE(programmer.enterBootMonitor());
  EXPECT_EQ(programmer.link(), queryLink);
  EXPECT_EQ(sentCommands()[1].sequence, 1u);
}

TEST_F(BootMonitorPathTest, RawRecordIsTheBarePayload) {
  echo.responder = [](ByteView request) { return test::replyTo(request, 1, 77); };
  programmer.openLink(false);
  Bytes payload(1024);
  for (std::size_t i = 0; i < payload.size(); ++i) payload[i] = static_cast<std::uint8_t>(i * 7);
  EXPECT_TRUE(programmer.sendRawRecord(payload));
  ASSERT_EQ(echo.sent.size(), 1u);
  const Bytes& frame = echo.sent[0].data;
  EXPECT_EQ(frame.size(), 1036u);
  EXPECT_EQ(getLe16(frame, 2), 1024);
  EXPECT_TRUE(std::equal(payload.begin(), payload.end(), frame.begin() + 12));
}

TEST_F(BootMonitorPathTest, RawRecordFailures) {
  EXPECT_FALSE(programmer.sendRawRecord(Bytes(100, 1)));  // no link yet
  programmer.openLink(false);
  echo.responder = [](ByteView request) { return test::replyTo(request, 2, 77); };
  EXPECT_FALSE(programmer.sendRawRecord(Bytes(100, 1)));
  EXPECT_EQ(echo.sent.size(), 1u);
  // Shorter than the smallest reply: never acknowledged.
  echo.responder = [](ByteView request) { return test::replyTo(request, 1, 77); };
  EXPECT_FALSE(programmer.sendRawRecord(Bytes(76, 1)));
  EXPECT_EQ(echo.sent.size(), 6u);
  EXPECT_FALSE(programmer.sendRawRecord(Bytes(DeviceProgrammer::kMaxBootRecord + 1, 1)));
  EXPECT_EQ(echo.sent.size(), 6u);
}

}  // namespace
}  // namespace korvel
