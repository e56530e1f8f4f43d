#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "programming/pauses.h"

namespace korvel {

// Sleeps like RealPauses, but a stop requested from another thread ends every pause at once,
// the ones under way and all later ones. One object may serve the programmers of several threads.
class InterruptiblePauses : public Pauses {
 public:
  void pause(std::uint32_t milliseconds) override;

  // Safe from any thread, not from a signal handler (it takes a lock).
  void requestStop();
  bool stopRequested() const { return stop_.load(); }
  // The flag to hand to DeviceProgrammer::setStopRequest, so that one call stops both.
  const std::atomic<bool>& stopFlag() const { return stop_; }

 private:
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::condition_variable wake_;
};

}  // namespace korvel
