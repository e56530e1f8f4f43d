#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>

#include "common/ipv4_address.h"

namespace korvel {

// Which device a lock is for: its address, and the interface the requests leave by (empty: the
// one the routing table picks).
struct DeviceLockKey {
  DeviceLockKey(Ipv4Address deviceAddress, std::string interface = {})
      : address(deviceAddress), interfaceName(std::move(interface)) {}

  Ipv4Address address;
  std::string interfaceName;

  // "ADDRESS" or "ADDRESS%INTERFACE".
  std::string text() const {
    return interfaceName.empty() ? address.dotted() : address.dotted() + "%" + interfaceName;
  }
};

// Held for as long as it exists.
class DeviceLock {
 public:
  virtual ~DeviceLock() = default;
};

// One conversation with a device at a time across every copy of the program on this machine,
// whoever runs it. A lock that cannot be made at all must not stop work: the caller then goes
// ahead without one, and says so.
class DeviceLocks {
 public:
  enum class Result { Taken, Busy, Unavailable };

  virtual ~DeviceLocks() = default;
  // `lock` is set when Taken.
  virtual Result take(const DeviceLockKey& key, std::unique_ptr<DeviceLock>& lock) = 0;
};

// The locks of this operating system: abstract UNIX socket names on Linux, named mutexes on
// Windows.
std::unique_ptr<DeviceLocks> makeSystemDeviceLocks();

}  // namespace korvel
