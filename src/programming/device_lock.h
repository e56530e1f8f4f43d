#pragma once

#include <cstdint>
#include <memory>
#include <string>

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
  // `address`: first dotted field in the most significant byte. `lock` is set when Taken.
  virtual Result take(std::uint32_t address, std::unique_ptr<DeviceLock>& lock) = 0;
};

// The locks of this operating system: lock files on POSIX, named mutexes on Windows.
std::unique_ptr<DeviceLocks> makeSystemDeviceLocks();

// "A.B.C.D", the part of a lock's name that tells the device.
std::string dottedAddress(std::uint32_t address);

}  // namespace korvel
