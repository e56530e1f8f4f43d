#include <gtest/gtest.h>

#include "programmer_fixture.h"

namespace korvel {
namespace {

using test::SentCommand;

const SavedValue kValue = {0x11, 0x22, 0x33, 0x44};

// Byte 3 of a bus command is its code, byte 2 the address it goes to.
std::pair<std::uint8_t, std::uint8_t> addressAndCode(const SentCommand& command) {
  return {command.area[2], command.area[3]};
}

class SubordinatePreparationTest : public test::ProgrammerTest {
 protected:
  std::vector<std::pair<std::uint8_t, std::uint8_t>> conversation() const {
    std::vector<std::pair<std::uint8_t, std::uint8_t>> steps;
    for (const auto& command : sentCommands()) steps.push_back(addressAndCode(command));
    return steps;
  }
};

TEST_F(SubordinatePreparationTest, SavesTheValueAndLeavesFromItsOwnAddress) {
  answerCommands([](const SentCommand& command, ByteView request) {
    if (command.area[3] == 0x03) {
      EXPECT_EQ(command.area.size(), 256u);
      return test::replyTo(request, 1, 292, [](Bytes& reply) {
        std::copy(kValue.begin(), kValue.end(), reply.begin() + 121);
      });
    }
    EXPECT_EQ(command.area.size(), 128u);
    return test::replyTo(request, 1);
  });
  SavedValue saved{};
  EXPECT_TRUE(programmer.prepareSubordinate(5, saved));
  EXPECT_EQ(saved, kValue);
  EXPECT_EQ(conversation(), (std::vector<std::pair<std::uint8_t, std::uint8_t>>{
                                {5, 0x03}, {5, 0x07}, {0xFE, 0x08}}));
  EXPECT_EQ(pauses.requested, std::vector<std::uint32_t>{1000});
}

TEST_F(SubordinatePreparationTest, FailedQueryMeansZerosAndTheProgrammingAddress) {
  answerCommands([](const SentCommand& command, ByteView request) {
    return test::replyTo(request, command.area[3] == 0x03 ? 0 : 1);
  });
  SavedValue saved = kValue;
  EXPECT_TRUE(programmer.prepareSubordinate(5, saved));
  EXPECT_EQ(saved, SavedValue{});
  EXPECT_EQ(conversation(), (std::vector<std::pair<std::uint8_t, std::uint8_t>>{
                                {5, 0x03}, {0xFE, 0x07}, {0xFE, 0x08}}));
  EXPECT_EQ(pauses.requested, (std::vector<std::uint32_t>{1000, 1000}));
}

TEST_F(SubordinatePreparationTest, ShortQueryReplyDoesNotHoldTheValue) {
  answerCommands([](const SentCommand&, ByteView request) {
    return test::replyTo(request, 1, 112,
                         [](Bytes& reply) { std::fill(reply.begin() + 13, reply.end(), 0x77); });
  });
  SavedValue saved = kValue;
  EXPECT_TRUE(programmer.prepareSubordinate(5, saved));
  EXPECT_EQ(saved, SavedValue{});
  EXPECT_EQ(addressAndCode(sentCommands()[1]),
            std::make_pair(std::uint8_t{0xFE}, std::uint8_t{0x07}));
}

TEST_F(SubordinatePreparationTest, SilentSubordinateStillGetsAllThreeSteps) {
  int echoes = 0;
  answerCommands([&](const SentCommand& command, ByteView request) -> std::optional<Bytes> {
    ++echoes;
    if (command.area[3] == 0x08) return test::replyTo(request, 1);
    return std::nullopt;
  });
  SavedValue saved = kValue;
  EXPECT_TRUE(programmer.prepareSubordinate(5, saved));
  EXPECT_EQ(echoes, 10 * 5 + 5 + 1);
  EXPECT_EQ(pauses.requested, (std::vector<std::uint32_t>{1000, 1000, 1000}));
}

TEST_F(SubordinatePreparationTest, ReplacesTheLink) {
  answerCommands([](const SentCommand&, ByteView request) { return test::replyTo(request, 1); });
  programmer.queryDeviceInfo();
  const auto firstToken = programmer.link()->sessionToken();
  SavedValue saved{};
  EXPECT_TRUE(programmer.prepareSubordinate(5, saved));
  const auto commands = sentCommands();
  EXPECT_NE(commands[1].token, firstToken);
  EXPECT_EQ(commands[1].sequence, 0u);
  EXPECT_EQ(commands[2].sequence, 1u);
}

TEST_F(SubordinatePreparationTest, ReadyStepDecides) {
  answerCommands([](const SentCommand& command, ByteView request) {
    return test::replyTo(request, command.area[3] == 0x08 ? 2 : 1);
  });
  SavedValue saved{};
  EXPECT_FALSE(programmer.prepareSubordinate(5, saved));
}

class AddressRestoreTest : public SubordinatePreparationTest {
 protected:
  void SetUp() override { programmer.openLink(false); }
};

TEST_F(AddressRestoreTest, HandsBackTheValueAndTheAddress) {
  answerCommands([](const SentCommand&, ByteView request) { return test::replyTo(request, 1); });
  EXPECT_TRUE(programmer.restoreSubordinateAddress(5, kValue));
  const auto commands = sentCommands();
  ASSERT_EQ(commands.size(), 4u);
  auto head = [](const Bytes& area) { return Bytes(area.begin(), area.begin() + 8); };
  EXPECT_EQ(head(commands[0].area), (Bytes{0x06, 0x02, 0xFE, 0x0B, 0, 0, 0, 0}));
  EXPECT_EQ(head(commands[1].area), (Bytes{0x06, 0x02, 0xFE, 0x03, 0, 0, 0, 0}));
  EXPECT_EQ(head(commands[2].area), (Bytes{0x06, 0x06, 0xFE, 0x05, 0x11, 0x22, 0x33, 0x44}));
  EXPECT_EQ(head(commands[3].area), (Bytes{0x06, 0x03, 0xFE, 0x04, 0x05, 0x22, 0x33, 0x44}));
  EXPECT_EQ(commands[0].area.size(), 128u);
  EXPECT_EQ(commands[1].area.size(), 256u);
  EXPECT_EQ(commands[2].area.size(), 128u);
  EXPECT_EQ(commands[3].area.size(), 128u);
  EXPECT_EQ(pauses.requested, std::vector<std::uint32_t>{4000});
}

TEST_F(AddressRestoreTest, StopsAtTheFirstPhaseThatFails) {
  answerCommands([](const SentCommand& command, ByteView request) -> std::optional<Bytes> {
    if (command.area[3] == 0x03) return std::nullopt;
    return test::replyTo(request, 1);
  });
  EXPECT_FALSE(programmer.restoreSubordinateAddress(5, kValue));
  std::vector<std::uint32_t> expected = {4000};
  expected.insert(expected.end(), 10, 777);
  EXPECT_EQ(pauses.requested, expected);
  EXPECT_EQ(sentCommands().back().area[3], 0x03);
}

TEST_F(AddressRestoreTest, BadStatusCountsAsAFailedAttempt) {
  answerCommands([](const SentCommand&, ByteView request) { return test::replyTo(request, 2); });
  EXPECT_FALSE(programmer.restoreSubordinateAddress(5, kValue));
  EXPECT_EQ(echo.sent.size(), 10u);
  EXPECT_EQ(pauses.requested, std::vector<std::uint32_t>(10, 777));
}

TEST_F(AddressRestoreTest, LastPhasesGetEightAttempts) {
  answerCommands([](const SentCommand& command, ByteView request) {
    return test::replyTo(request, command.area[3] == 0x04 ? 0 : 1);
  });
  EXPECT_FALSE(programmer.restoreSubordinateAddress(5, kValue));
  EXPECT_EQ(echo.sent.size(), 3u + 8u);
}

}  // namespace
}  // namespace korvel
