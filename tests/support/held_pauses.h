#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

#include "programming/pauses.h"

namespace korvel::test {

// Records the pauses asked for; once `hold()` is called, the next pause blocks the conversation's
// thread until the test calls `release()`, so that a test acts on the window's thread while the
// conversation is known to stand still. No pause really sleeps.
class HeldPauses : public Pauses {
 public:
  void pause(std::uint32_t milliseconds) override {
    std::unique_lock lock(mutex_);
    requested.push_back(milliseconds);
    if (!holdNext_) return;
    holdNext_ = false;
    held_ = true;
    changed_.notify_all();
    changed_.wait(lock, [this] { return !held_; });
  }

  void hold() {
    std::lock_guard lock(mutex_);
    holdNext_ = true;
  }
  // Blocks until the conversation stands in the held pause.
  void waitUntilHeld() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return held_; });
  }
  void release() {
    {
      std::lock_guard lock(mutex_);
      held_ = false;
    }
    changed_.notify_all();
  }

  std::vector<std::uint32_t> requested;

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool holdNext_ = false;
  bool held_ = false;
};

}  // namespace korvel::test
