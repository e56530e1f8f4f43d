#pragma once

#include <functional>
#include <memory>
#include <utility>

#include "cli/platform/cli_environment.h"

namespace korvel {

// The machine as it is, except that standard error counts as no terminal: no progress bar is
// drawn between the lines of a trace, nor beside JSON lines.
class QuietEnvironment : public CliEnvironment {
 public:
  explicit QuietEnvironment(CliEnvironment& machine) : machine_(machine) {}

  EchoService& echoService() override { return machine_.echoService(); }
  EchoService& echoServiceOn(const std::string& interfaceName) override {
    return machine_.echoServiceOn(interfaceName);
  }
  std::optional<std::string> interfaceProblem(const std::string& name) override {
    return machine_.interfaceProblem(name);
  }
  Pauses& pauses() override { return machine_.pauses(); }
  bool errorStreamIsTerminal() const override { return false; }
  std::chrono::steady_clock::time_point now() const override { return machine_.now(); }
  DeviceLocks* deviceLocks() override { return machine_.deviceLocks(); }
  std::unique_ptr<InterruptWatch> watchInterrupts(std::function<void(int)> stop) override {
    return machine_.watchInterrupts(std::move(stop));
  }
  void stopPauses() override { machine_.stopPauses(); }

 private:
  CliEnvironment& machine_;
};

}  // namespace korvel
