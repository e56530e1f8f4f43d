#pragma once

#include <atomic>
#include <functional>
#include <memory>

namespace korvel {

// Exit statuses of a run the operator interrupted, as a shell reports a process ended by the
// signal.
inline constexpr int kExitHangUp = 129;       // SIGHUP, the terminal or session closed
inline constexpr int kExitInterrupted = 130;  // SIGINT, Ctrl-C
inline constexpr int kExitTerminated = 143;   // SIGTERM

// The operator's interrupt as the runs see it: the flag every device's programmer watches, and
// the exit status the interrupt asks for. Raised from the watch's thread.
class StopRequest {
 public:
  void raise(int exitStatus) {
    exitStatus_ = exitStatus;
    flag_ = true;
  }
  const std::atomic<bool>& flag() const { return flag_; }
  // 0 while none came.
  int exitStatus() const { return exitStatus_; }

 private:
  std::atomic<bool> flag_{false};
  std::atomic<int> exitStatus_{0};
};

// While it lives, the first Ctrl-C, SIGTERM or SIGHUP (on Windows: Ctrl-C, Ctrl-Break, closing
// the console) calls `stop` with the exit status it asks for, on a thread of its own, never in a
// signal handler; the second one ends the process at once with kExitInterrupted.
class InterruptWatch {
 public:
  virtual ~InterruptWatch() = default;
};

// The watch of the operating system; nothing where it cannot be set up.
std::unique_ptr<InterruptWatch> watchSystemInterrupts(std::function<void(int exitStatus)> stop);

}  // namespace korvel
