#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "cli/platform/interrupt_watch.h"
#include "link/echo_service.h"
#include "programming/device_lock.h"
#include "programming/interruptible_pauses.h"
#include "programming/pauses.h"

namespace korvel {

// What the command line takes from the machine it runs on. The tests hand in the simulated
// device, recorded pauses and a clock of their own.
class CliEnvironment {
 public:
  virtual ~CliEnvironment() = default;

  virtual EchoService& echoService() = 0;
  // The echo facility whose requests go out of the network interface `interfaceName` only; the
  // one of echoService() for an empty name. Callable from several threads at once. Environments
  // of simulated devices may route by the name as they please.
  virtual EchoService& echoServiceOn(const std::string& interfaceName) {
    (void)interfaceName;
    return echoService();
  }
  // Why the network interface `name` cannot be used (missing, down); nothing when it can.
  virtual std::optional<std::string> interfaceProblem(const std::string& name) {
    return networkInterfaceProblem(name);
  }
  virtual Pauses& pauses() = 0;
  // The progress bar is drawn only for a person watching a terminal, not into a log.
  virtual bool errorStreamIsTerminal() const = 0;
  virtual std::chrono::steady_clock::time_point now() const = 0;
  // The per-device locks; none means nothing is locked.
  virtual DeviceLocks* deviceLocks() { return nullptr; }
  // While the returned watch lives, an interrupt by the operator calls `stop` with the exit
  // status it asks for, from another thread; none means interrupts are left as they are.
  virtual std::unique_ptr<InterruptWatch> watchInterrupts(std::function<void(int)> stop) {
    (void)stop;
    return nullptr;
  }
  // Ends the pauses under way and every later one, from any thread: the runs are being stopped.
  virtual void stopPauses() {}
};

// The operating system's echo facility, real pauses, the process's own standard error.
class SystemCliEnvironment : public CliEnvironment {
 public:
  EchoService& echoService() override;
  EchoService& echoServiceOn(const std::string& interfaceName) override;
  Pauses& pauses() override { return pauses_; }
  bool errorStreamIsTerminal() const override;
  std::chrono::steady_clock::time_point now() const override;
  DeviceLocks* deviceLocks() override;
  std::unique_ptr<InterruptWatch> watchInterrupts(std::function<void(int)> stop) override;
  void stopPauses() override { pauses_.requestStop(); }

 private:
  std::unique_ptr<EchoService> echoService_;
  std::mutex interfaceServicesMutex_;
  std::map<std::string, std::unique_ptr<EchoService>> interfaceServices_;
  std::unique_ptr<DeviceLocks> deviceLocks_;
  InterruptiblePauses pauses_;
};

}  // namespace korvel
