#pragma once

#include <optional>
#include <string>

#include "programming/device_lock.h"

namespace korvel {

// One UNIX socket per device, bound to a name in the abstract namespace. Every process of the
// network namespace sees the same names whoever runs it, nobody can leave a file in the way, and
// the kernel frees the name when its process ends however it ends. Another network namespace
// has names of its own, as it has devices of its own.
class SocketDeviceLocks final : public DeviceLocks {
 public:
  // `prefix` comes before the device in the socket's name; tests give one of their own.
  explicit SocketDeviceLocks(std::string prefix = "korvel/device/") : prefix_(std::move(prefix)) {}

  Result take(const DeviceLockKey& key, std::unique_ptr<DeviceLock>& lock) override;

  // The socket's name without its leading zero byte; nothing when it is too long for a name.
  std::optional<std::string> socketName(const DeviceLockKey& key) const;

 private:
  std::string prefix_;
};

}  // namespace korvel
