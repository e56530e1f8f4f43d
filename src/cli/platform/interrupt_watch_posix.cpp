#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <thread>

#include "cli/platform/interrupt_watch.h"

namespace korvel {
namespace {

// What the handler may touch: a flag and the write end of a pipe.
volatile std::sig_atomic_t interrupted = 0;
int wakeFd = -1;

constexpr char kQuit = 'q';

extern "C" void onSignal(int signal) {
  if (interrupted) ::_exit(kExitInterrupted);
  interrupted = signal;
  const int saved = errno;
  const char byte = static_cast<char>(signal);
  (void)!::write(wakeFd, &byte, 1);
  errno = saved;
}

int exitStatusFor(int signal) {
  switch (signal) {
    case SIGTERM:
      return kExitTerminated;
    case SIGHUP:
      return kExitHangUp;
    default:
      return kExitInterrupted;
  }
}

class PosixInterruptWatch : public InterruptWatch {
 public:
  PosixInterruptWatch(int readFd, int writeFd, std::function<void(int)> stop)
      : readFd_(readFd), writeFd_(writeFd), stop_(std::move(stop)) {
    interrupted = 0;
    wakeFd = writeFd_;
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &action, &previousInt_);
    ::sigaction(SIGTERM, &action, &previousTerm_);
    ::sigaction(SIGHUP, &action, &previousHangUp_);
    watcher_ = std::thread([this] { watch(); });
  }

  ~PosixInterruptWatch() override {
    ::sigaction(SIGINT, &previousInt_, nullptr);
    ::sigaction(SIGTERM, &previousTerm_, nullptr);
    ::sigaction(SIGHUP, &previousHangUp_, nullptr);
    const char quit = kQuit;
    (void)!::write(writeFd_, &quit, 1);
    watcher_.join();
    wakeFd = -1;
    ::close(readFd_);
    ::close(writeFd_);
  }

 private:
  void watch() {
    for (;;) {
      char byte = 0;
      const ssize_t got = ::read(readFd_, &byte, 1);
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0 || byte == kQuit) return;
      stop_(exitStatusFor(byte));
    }
  }

  int readFd_;
  int writeFd_;
  std::function<void(int)> stop_;
  struct sigaction previousInt_ {};
  struct sigaction previousTerm_ {};
  struct sigaction previousHangUp_ {};
  std::thread watcher_;
};

}  // namespace

std::unique_ptr<InterruptWatch> watchSystemInterrupts(std::function<void(int exitStatus)> stop) {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) return nullptr;
  return std::make_unique<PosixInterruptWatch>(fds[0], fds[1], std::move(stop));
}

}  // namespace korvel
