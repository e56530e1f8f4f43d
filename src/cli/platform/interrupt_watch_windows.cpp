#include <windows.h>

#include <atomic>
#include <cstdlib>

#include "cli/platform/interrupt_watch.h"

namespace korvel {
namespace {

// The system calls the handler on a thread of its own, so it may call `stop` directly.
std::function<void(int)>* currentStop = nullptr;
std::atomic<bool> interrupted{false};

BOOL WINAPI onConsoleEvent(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT) {
    return FALSE;
  }
  if (interrupted.exchange(true)) std::_Exit(kExitInterrupted);
  if (currentStop) (*currentStop)(event == CTRL_C_EVENT ? kExitInterrupted : kExitTerminated);
  return TRUE;
}

class WindowsInterruptWatch : public InterruptWatch {
 public:
  explicit WindowsInterruptWatch(std::function<void(int)> stop) : stop_(std::move(stop)) {
    interrupted = false;
    currentStop = &stop_;
    ::SetConsoleCtrlHandler(onConsoleEvent, TRUE);
  }
  ~WindowsInterruptWatch() override {
    ::SetConsoleCtrlHandler(onConsoleEvent, FALSE);
    currentStop = nullptr;
  }

 private:
  std::function<void(int)> stop_;
};

}  // namespace

std::unique_ptr<InterruptWatch> watchSystemInterrupts(std::function<void(int exitStatus)> stop) {
  return std::make_unique<WindowsInterruptWatch>(std::move(stop));
}

}  // namespace korvel
