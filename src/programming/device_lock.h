#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "common/ipv4_address.h"

namespace korvel {

// Held for as long as it exists.
class DeviceLock {
 public:
  virtual ~DeviceLock() = default;
};

// One conversation with a device at a time across every copy of the program on this machine.
// A lock that cannot be made at all (no folder for it) must not stop work: the caller then goes
// ahead without one.
class DeviceLocks {
 public:
  enum class Result { Taken, Busy, Unavailable };

  virtual ~DeviceLocks() = default;
  // `lock` is set when Taken.
  virtual Result take(Ipv4Address address, std::unique_ptr<DeviceLock>& lock) = 0;
};

// The locks of this operating system: lock files on POSIX, named mutexes on Windows.
std::unique_ptr<DeviceLocks> makeSystemDeviceLocks();

}  // namespace korvel
