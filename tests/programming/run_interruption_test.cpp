#include <gtest/gtest.h>

#include <atomic>

#include "link/bus_command.h"
#include "link/device_protocol.h"
#include "programming_run_fixture.h"
#include "support/recording_exchanges.h"
#include "support/recording_observer.h"

namespace korvel {
namespace {

// A run or query stopped from outside, the way the command line stops it on Ctrl-C: the flag is
// raised from within the run (an event, an exchange or a pause), and the test checks that nothing
// further reaches the device.
class RunInterruptionTest : public test::ProgrammingRunTest {
 protected:
  RunInterruptionTest() {
    programmer.setStopRequest(&stop);
    programmer.setProgressObserver(&events);
    programmer.setExchangeObserver(&exchanges);
  }

  void stopNow() {
    stop = true;
    exchangesAtStop = device.log().size();
    pausesAtStop = pauses.requested.size();
  }

  // Raises the flag when the `n`-th data record (from 1) has been taken.
  void stopAtRecord(std::uint64_t n) {
    events.act = [this, n](const ProgressEvent& event) {
      const auto* taken = std::get_if<RecordTaken>(&event);
      if (taken && taken->index + 1 == n) stopNow();
    };
  }

  void expectInterruptedQuietly() {
    EXPECT_EQ(outcome.kind, OutcomeKind::Interrupted) << outcomeName(outcome.kind);
    EXPECT_EQ(outcome.text, text::kRunInterrupted);
    EXPECT_TRUE(panel.warnings.empty());
    expectIdleAfterRun();
    EXPECT_EQ(device.log().size(), exchangesAtStop) << "an exchange after the stop";
    EXPECT_EQ(pauses.requested.size(), pausesAtStop) << "a pause after the stop";
    ASSERT_TRUE(std::holds_alternative<Finished>(events.events.back()));
    EXPECT_EQ(std::get<Finished>(events.events.back()).outcome, outcome);
  }

  std::size_t restoreCommands() const {
    return count(RequestKind::BusCommand, bus::kRestoreStart) +
           count(RequestKind::BusCommand, bus::kHandBack) +
           count(RequestKind::BusCommand, bus::kSetAddress);
  }

  // Records the events, and lets a test act on each.
  struct Events : test::RecordingObserver {
    void onEvent(const ProgressEvent& event) override {
      RecordingObserver::onEvent(event);
      if (act) act(event);
    }
    std::function<void(const ProgressEvent&)> act;
  };

  std::atomic<bool> stop{false};
  Events events;
  test::RecordingExchanges exchanges;
  std::size_t exchangesAtStop = SIZE_MAX;
  std::size_t pausesAtStop = SIZE_MAX;
};

TEST_F(RunInterruptionTest, ABootRunStopsAfterTheRecordInFlight) {
  makeRecords(5, 100);
  stopAtRecord(2);
  runImage(bootImage());
  expectInterruptedQuietly();
  EXPECT_EQ(device.programmedRecords(), 2u);
  EXPECT_EQ(events.all<RecordTaken>().size(), 2u);
}

TEST_F(RunInterruptionTest, ASubordinateRunStopsWithoutRestoringTheAddress) {
  makeRecords(5, 100);
  stopAtRecord(3);
  runImage(subordinateImage());
  expectInterruptedQuietly();
  EXPECT_EQ(restoreCommands(), 0u);
  const auto* sub = device.subordinate(test::kSubordinate);
  ASSERT_NE(sub, nullptr);
  EXPECT_EQ(sub->records, 3u);
  EXPECT_EQ(sub->busAddress, bus::kProgrammingAddress);
  EXPECT_FALSE(sub->restored);
  EXPECT_EQ(events.phases().back(), Phase::Sending);
}

TEST_F(RunInterruptionTest, AStopAfterTheLastRecordStillSkipsTheRestore) {
  makeRecords(3, 100);
  stopAtRecord(3);
  runImage(subordinateImage());
  expectInterruptedQuietly();
  EXPECT_EQ(restoreCommands(), 0u);
}

TEST_F(RunInterruptionTest, AStopDuringAPauseEndsThePreparationThere) {
  makeRecords(3, 100);
  // The pause between moving the subordinate and asking whether it is ready.
  pauses.onPause = [this](std::uint32_t ms) {
    if (ms == 1000) stopNow();
  };
  runImage(subordinateImage());
  expectInterruptedQuietly();
  EXPECT_EQ(count(RequestKind::BusCommand, bus::kLeaveAddress), 1u);
  EXPECT_EQ(count(RequestKind::BusCommand, bus::kReady), 0u);
  EXPECT_EQ(count(RequestKind::BusRecord), 0u);
}

TEST_F(RunInterruptionTest, AStopDuringTheRestoreEndsItWithoutItsMessage) {
  makeRecords(2, 100);
  pauses.onPause = [this](std::uint32_t ms) {
    if (ms == 4000) stopNow();  // after the restore's first step
  };
  runImage(subordinateImage());
  expectInterruptedQuietly();
  EXPECT_EQ(count(RequestKind::BusCommand, bus::kRestoreStart), 1u);
  EXPECT_EQ(count(RequestKind::BusCommand, bus::kHandBack), 0u);
}

TEST_F(RunInterruptionTest, AStopBetweenTheEchoesOfOneRequestSendsNoFurtherEcho) {
  makeRecords(3, 100);
  // The records' replies are lost; the flag goes up after the second echo of the first record.
  device.faults().dropReplies(everyRequest(1), {FaultMatch::Target::RawRecord});
  int lost = 0;
  exchanges.onSeen = [&](const test::RecordingExchanges::Seen& seen) {
    if (seen.exchange.result == ExchangeResult::NoReply && ++lost == 2) stopNow();
  };
  runImage(bootImage());
  expectInterruptedQuietly();
  EXPECT_EQ(exchanges.seen.back().exchange.attempt, 2);
  EXPECT_TRUE(events.all<AttemptFailed>().empty());
}

TEST_F(RunInterruptionTest, AStopBeforeTheRunSendsNothingAtAll) {
  makeRecords(2, 100);
  stopNow();
  runImage(bootImage());
  expectInterruptedQuietly();
  EXPECT_EQ(echo.exchanges(), 0u);
  EXPECT_EQ(panel.info, text::kQueryInterrupted);
}

TEST_F(RunInterruptionTest, AnInformationQueryStopsTheSameWay) {
  device.faults().dropReplies(everyRequest(1));
  exchanges.onSeen = [this](const test::RecordingExchanges::Seen&) { stopNow(); };
  const Outcome query = programmer.queryDeviceInfo();
  EXPECT_EQ(query, (Outcome{OutcomeKind::Interrupted, text::kQueryInterrupted}));
  EXPECT_EQ(panel.info, text::kQueryInterrupted);
  EXPECT_EQ(device.log().size(), 1u);
  EXPECT_TRUE(events.all<AttemptFailed>().empty());
}

TEST_F(RunInterruptionTest, WithoutAStopTheRunIsUntouched) {
  makeRecords(3, 100);
  runImage(subordinateImage());
  expectOutcome(OutcomeKind::Done);
  EXPECT_EQ(device.subordinate(test::kSubordinate)->programmedData, expected);
}

}  // namespace
}  // namespace korvel
