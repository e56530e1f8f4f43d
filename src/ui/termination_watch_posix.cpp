#include "ui/termination_watch.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <array>
#include <cerrno>

#include <QSocketNotifier>

namespace korvel {
namespace {

// Written from the signal handler, read on the window's thread: the only thing a handler may
// safely do is write a byte.
int wakeFds[2] = {-1, -1};

extern "C" void onTerminationSignal(int) {
  const char byte = 1;
  const int saved = errno;
  (void)!::write(wakeFds[1], &byte, 1);
  errno = saved;
}

constexpr std::array<int, 2> kSignals{SIGTERM, SIGHUP};

}  // namespace

struct TerminationWatch::Impl {
  std::unique_ptr<QSocketNotifier> notifier;
};

TerminationWatch::TerminationWatch(std::function<void()> onRequest, QObject* parent)
    : QObject(parent), impl_(std::make_unique<Impl>()) {
  if (::pipe2(wakeFds, O_CLOEXEC | O_NONBLOCK) != 0) return;
  impl_->notifier = std::make_unique<QSocketNotifier>(wakeFds[0], QSocketNotifier::Read);
  QObject::connect(impl_->notifier.get(), &QSocketNotifier::activated, this,
                   [onRequest = std::move(onRequest)] {
                     char bytes[16];
                     while (::read(wakeFds[0], bytes, sizeof bytes) > 0) {
                     }
                     onRequest();
                   });
  struct sigaction action {};
  action.sa_handler = onTerminationSignal;
  ::sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (const int signal : kSignals) ::sigaction(signal, &action, nullptr);
}

TerminationWatch::~TerminationWatch() {
  for (const int signal : kSignals) ::signal(signal, SIG_DFL);
  impl_->notifier.reset();
  for (int& fd : wakeFds) {
    if (fd >= 0) ::close(fd);
    fd = -1;
  }
}

void TerminationWatch::simulateSignal() { onTerminationSignal(SIGTERM); }

}  // namespace korvel
