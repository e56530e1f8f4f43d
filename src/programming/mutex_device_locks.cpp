#include "programming/mutex_device_locks.h"

#include <windows.h>

namespace korvel {
namespace {

class MutexDeviceLock final : public DeviceLock {
 public:
  explicit MutexDeviceLock(HANDLE mutex) : mutex_(mutex) {}
  ~MutexDeviceLock() override {
    ::ReleaseMutex(mutex_);
    ::CloseHandle(mutex_);
  }
  MutexDeviceLock(const MutexDeviceLock&) = delete;
  MutexDeviceLock& operator=(const MutexDeviceLock&) = delete;

 private:
  HANDLE mutex_;
};

}  // namespace

DeviceLocks::Result MutexDeviceLocks::take(Ipv4Address address, std::unique_ptr<DeviceLock>& lock) {
  const std::string dotted = address.dotted();
  const std::wstring name = prefix_ + std::wstring(dotted.begin(), dotted.end());
  const HANDLE mutex = ::CreateMutexW(nullptr, FALSE, name.c_str());
  if (!mutex) return Result::Unavailable;
  switch (::WaitForSingleObject(mutex, 0)) {
    case WAIT_OBJECT_0:
    case WAIT_ABANDONED:
      lock = std::make_unique<MutexDeviceLock>(mutex);
      return Result::Taken;
    case WAIT_TIMEOUT:
      ::CloseHandle(mutex);
      return Result::Busy;
    default:
      ::CloseHandle(mutex);
      return Result::Unavailable;
  }
}

std::unique_ptr<DeviceLocks> makeSystemDeviceLocks() {
  return std::make_unique<MutexDeviceLocks>();
}

}  // namespace korvel
