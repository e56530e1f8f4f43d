#pragma once

#include <functional>
#include <memory>

namespace korvel {

// Exit statuses of a run the operator interrupted, as a shell reports a process ended by the
// signal.
inline constexpr int kExitInterrupted = 130;  // SIGINT, Ctrl-C
inline constexpr int kExitTerminated = 143;   // SIGTERM

// While it lives, the first Ctrl-C or SIGTERM (on Windows: Ctrl-C, Ctrl-Break, closing the
// console) calls `stop` with the exit status it asks for, on a thread of its own, never in a
// signal handler; the second one ends the process at once with kExitInterrupted.
class InterruptWatch {
 public:
  virtual ~InterruptWatch() = default;
};

// The watch of the operating system; nothing where it cannot be set up.
std::unique_ptr<InterruptWatch> watchSystemInterrupts(std::function<void(int exitStatus)> stop);

}  // namespace korvel
