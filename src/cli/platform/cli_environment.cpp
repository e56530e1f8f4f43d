#include "cli/platform/cli_environment.h"

#include <unistd.h>

namespace korvel {

EchoService& SystemCliEnvironment::echoService() {
  if (!echoService_) echoService_ = makeSystemEchoService();
  return *echoService_;
}

EchoService& SystemCliEnvironment::echoServiceOn(const std::string& interfaceName) {
  if (interfaceName.empty()) return echoService();
  const std::lock_guard lock(interfaceServicesMutex_);
  auto& service = interfaceServices_[interfaceName];
  if (!service) service = makeInterfaceEchoService(interfaceName);
  return *service;
}

bool SystemCliEnvironment::errorStreamIsTerminal() const { return ::isatty(STDERR_FILENO) == 1; }

std::chrono::steady_clock::time_point SystemCliEnvironment::now() const {
  return std::chrono::steady_clock::now();
}

DeviceLocks* SystemCliEnvironment::deviceLocks() {
  if (!deviceLocks_) deviceLocks_ = makeSystemDeviceLocks();
  return deviceLocks_.get();
}

std::unique_ptr<InterruptWatch> SystemCliEnvironment::watchInterrupts(
    std::function<void(int)> stop) {
  return watchSystemInterrupts(std::move(stop));
}

}  // namespace korvel
