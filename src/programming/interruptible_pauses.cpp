#include "programming/interruptible_pauses.h"

#include <chrono>

namespace korvel {

void InterruptiblePauses::pause(std::uint32_t milliseconds) {
  std::unique_lock lock(mutex_);
  wake_.wait_for(lock, std::chrono::milliseconds(milliseconds), [this] { return stop_.load(); });
}

void InterruptiblePauses::requestStop() {
  {
    // Under the lock, so that a pause between its test of the flag and its wait cannot miss it.
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  wake_.notify_all();
}

}  // namespace korvel
