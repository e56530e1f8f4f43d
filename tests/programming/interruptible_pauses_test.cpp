#include "programming/interruptible_pauses.h"

#include <gtest/gtest.h>

#include <thread>

namespace korvel {
namespace {

constexpr std::uint32_t kHour = 3'600'000;

// Each of these would hang for an hour if a stop did not end the pause.
TEST(InterruptiblePausesTest, AStopRequestedBeforeEndsEveryLaterPauseAtOnce) {
  InterruptiblePauses pauses;
  EXPECT_FALSE(pauses.stopFlag());
  pauses.requestStop();
  EXPECT_TRUE(pauses.stopFlag());
  EXPECT_TRUE(pauses.stopRequested());
  pauses.pause(kHour);
  pauses.pause(kHour);
}

TEST(InterruptiblePausesTest, AStopFromAnotherThreadEndsAPauseUnderWay) {
  InterruptiblePauses pauses;
  std::thread sleeper([&] { pauses.pause(kHour); });
  pauses.requestStop();
  sleeper.join();
  EXPECT_TRUE(pauses.stopRequested());
}

TEST(InterruptiblePausesTest, OneObjectServesSeveralThreads) {
  InterruptiblePauses pauses;
  std::thread first([&] { pauses.pause(kHour); });
  std::thread second([&] { pauses.pause(kHour); });
  pauses.requestStop();
  first.join();
  second.join();
}

}  // namespace
}  // namespace korvel
