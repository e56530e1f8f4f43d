#pragma once

#include <functional>
#include <memory>

#include <QObject>

namespace korvel {

// Turns the system's request to end the program (SIGTERM, SIGHUP) into a call on the window's
// thread, so that a run can stop after the exchange in flight and the settings be saved. One at
// a time; the signals take their default action again when it goes.
class TerminationWatch : public QObject {
 public:
  explicit TerminationWatch(std::function<void()> onRequest, QObject* parent = nullptr);
  ~TerminationWatch() override;

  // What a signal does, for tests that cannot send one to the whole test program.
  static void simulateSignal();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace korvel
