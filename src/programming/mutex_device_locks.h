#pragma once

#include <string>

#include "programming/device_lock.h"

namespace korvel {

// Named mutexes, one per device, in the global namespace so that every session of the machine
// sees the same ones. The system hands a mutex whose owner died to the next
// one who asks (as abandoned), so a lock of a process that died is taken over.
class MutexDeviceLocks final : public DeviceLocks {
 public:
  // `prefix` comes before the address in the mutex's name; tests give one of their own.
  explicit MutexDeviceLocks(std::wstring prefix = L"Global\\Korvel.Device.")
      : prefix_(std::move(prefix)) {}

  Result take(const DeviceLockKey& key, std::unique_ptr<DeviceLock>& lock) override;

 private:
  std::wstring prefix_;
};

}  // namespace korvel
