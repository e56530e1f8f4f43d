#include <gtest/gtest.h>

#include <atomic>

#include "link/bus_command.h"
#include "link/device_protocol.h"
#include "link/request_description.h"
#include "programming_run_fixture.h"

namespace korvel {
namespace {

// Whether a run says it may have left the subordinate at the programming address, without its
// own address given back.
class SubordinateLeftBehindTest : public test::ProgrammingRunTest {
 protected:
  SubordinateLeftBehindTest() { makeRecords(3, 100); }

  bool leftBehind() const { return programmer.lastRun().subordinateLeftAtProgrammingAddress; }

  // What the simulated subordinate says about itself.
  bool subordinateAtItsOwnAddress() const {
    return device.subordinate(test::kSubordinate)->busAddress == test::kSubordinate;
  }
};

TEST_F(SubordinateLeftBehindTest, ARunThatFailsDuringDelivery) {
  device.faults().dropReplies(FaultTrigger{.skip = 1}, {FaultMatch::Target::BusRecord});
  runImage(subordinateImage());
  expectOutcome(OutcomeKind::LinkLost);
  EXPECT_TRUE(leftBehind());
  EXPECT_FALSE(subordinateAtItsOwnAddress());
}

TEST_F(SubordinateLeftBehindTest, ARunInterruptedDuringDelivery) {
  std::atomic<bool> stop{false};
  programmer.setStopRequest(&stop);
  pauses.onPause = [&](std::uint32_t ms) {
    if (ms == 10 && device.subordinate(test::kSubordinate)->records == 1) stop = true;
  };
  runImage(subordinateImage());
  EXPECT_EQ(outcome.kind, OutcomeKind::Interrupted);
  EXPECT_TRUE(leftBehind());
}

TEST_F(SubordinateLeftBehindTest, ARestoreThatFailsAtItsFirstOrItsLastStep) {
  device.faults().answerStatus(0, {FaultMatch::Target::BusCommand, bus::kRestoreStart});
  runImage(subordinateImage());
  expectOutcome(OutcomeKind::RestoreFailed);
  EXPECT_TRUE(leftBehind());

  panel.warnings.clear();
  device.faults().clear();
  device.faults().answerStatus(0, {FaultMatch::Target::BusCommand, bus::kSetAddress});
  runImage(subordinateImage());
  expectOutcome(OutcomeKind::RestoreFailed);
  EXPECT_TRUE(leftBehind());
}

TEST_F(SubordinateLeftBehindTest, APreparationThatFailsAfterMovingTheSubordinate) {
  device.faults().answerStatus(0, {FaultMatch::Target::BusCommand, bus::kReady});
  runImage(subordinateImage());
  expectOutcome(OutcomeKind::LinkLost);
  EXPECT_TRUE(leftBehind());
}

TEST_F(SubordinateLeftBehindTest, ASuccessfulSubordinateRunGivesTheAddressBack) {
  runImage(subordinateImage());
  expectOutcome(OutcomeKind::Done);
  EXPECT_FALSE(leftBehind());
  EXPECT_TRUE(subordinateAtItsOwnAddress());
}

TEST_F(SubordinateLeftBehindTest, RunsThatNeverMoveASubordinate) {
  runImage(bootImage());
  expectOutcome(OutcomeKind::Done);
  EXPECT_FALSE(leftBehind());

  panel.viaBootChecked = true;  // refused before the subordinate is contacted
  runImage(subordinateImage());
  expectOutcome(OutcomeKind::SubordinateViaBoot);
  EXPECT_FALSE(leftBehind());
}

TEST_F(SubordinateLeftBehindTest, ARunStoppedBeforeTheMoveLeavesNothingBehind) {
  std::atomic<bool> stop{false};
  programmer.setStopRequest(&stop);
  // The subordinate's query goes unanswered; the stop comes after its first echo.
  device.faults().dropReplies({}, {FaultMatch::Target::BusCommand, bus::kQuery});
  struct StopOnBusCommand : ExchangeObserver {
    explicit StopOnBusCommand(std::atomic<bool>& flag) : stop(flag) {}
    void onExchange(const EchoExchange& exchange) override {
      if (summarizeRequest(exchange.sent).kind == RequestSummary::Kind::BusCommand) stop = true;
    }
    std::atomic<bool>& stop;
  } observer(stop);
  programmer.setExchangeObserver(&observer);
  runImage(subordinateImage());
  EXPECT_EQ(outcome.kind, OutcomeKind::Interrupted);
  EXPECT_EQ(count(RequestKind::BusCommand, bus::kQuery), 1u);
  EXPECT_EQ(count(RequestKind::BusCommand, bus::kLeaveAddress), 0u);
  EXPECT_FALSE(leftBehind());
}

TEST_F(SubordinateLeftBehindTest, EachRunStartsAfresh) {
  device.faults().dropReplies(FaultTrigger{.skip = 1}, {FaultMatch::Target::BusRecord});
  runImage(subordinateImage());
  ASSERT_TRUE(leftBehind());
  panel.warnings.clear();
  runImage(bootImage());
  expectOutcome(OutcomeKind::Done);
  EXPECT_FALSE(leftBehind());
}

}  // namespace
}  // namespace korvel
