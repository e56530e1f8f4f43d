// The operating system's interrupts, raised in this very process.
#include "cli/platform/interrupt_watch.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <csignal>
#include <mutex>
#include <thread>

namespace korvel {
namespace {

// What the watch reported, and from which thread.
class Reported {
 public:
  void stop(int status) {
    const std::lock_guard lock(mutex_);
    statuses_.push_back(status);
    thread_ = std::this_thread::get_id();
    changed_.notify_all();
  }
  std::vector<int> awaitStatuses(std::size_t count) {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, std::chrono::seconds(20), [&] { return statuses_.size() >= count; });
    return statuses_;
  }
  std::thread::id thread() {
    const std::lock_guard lock(mutex_);
    return thread_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<int> statuses_;
  std::thread::id thread_;
};

TEST(InterruptWatchTest, AnInterruptStopsTheRunFromAThreadOfItsOwn) {
  for (const auto& [signal, status] :
       {std::pair{SIGINT, kExitInterrupted}, std::pair{SIGTERM, kExitTerminated}}) {
    Reported reported;
    {
      const auto watch = watchSystemInterrupts([&](int s) { reported.stop(s); });
      ASSERT_NE(watch, nullptr);
      std::raise(signal);
      EXPECT_EQ(reported.awaitStatuses(1), std::vector<int>{status});
      EXPECT_NE(reported.thread(), std::this_thread::get_id());
    }
  }
  // Once the watch is gone, the signals do again what they did before.
  const auto previous = std::signal(SIGINT, SIG_IGN);
  {
    const auto watch = watchSystemInterrupts([](int) {});
  }
  EXPECT_EQ(std::signal(SIGINT, previous), SIG_IGN);
}

TEST(InterruptWatchDeathTest, ASecondInterruptEndsTheProcessAtOnce) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        // The first stop never returns, as a run that takes its time to stop.
        std::mutex never;
        never.lock();
        const auto watch = watchSystemInterrupts([&](int) { const std::lock_guard l(never); });
        std::raise(SIGTERM);
        std::raise(SIGINT);
        std::_Exit(0);
      },
      ::testing::ExitedWithCode(kExitInterrupted), "");
}

}  // namespace
}  // namespace korvel
