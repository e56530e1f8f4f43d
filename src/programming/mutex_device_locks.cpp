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

DeviceLocks::Result MutexDeviceLocks::take(const DeviceLockKey& key,
                                           std::unique_ptr<DeviceLock>& lock) {
  // Backslashes are not allowed in a mutex's name after its namespace.
  std::wstring name = prefix_;
  for (const unsigned char c : key.text()) name += c == '\\' ? L'_' : static_cast<wchar_t>(c);
  const HANDLE mutex = ::CreateMutexW(nullptr, FALSE, name.c_str());
  // Another user's mutex that we may not open is held by that user's copy.
  if (!mutex) return ::GetLastError() == ERROR_ACCESS_DENIED ? Result::Busy : Result::Unavailable;
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
