#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "programming/device_lock.h"

namespace korvel::test {

// Device locks that a test makes busy or unavailable, recording every lock taken and how many
// are held.
class RecordingLocks : public DeviceLocks {
 public:
  Result take(const DeviceLockKey& key, std::unique_ptr<DeviceLock>& lock) override {
    if (busy) return Result::Busy;
    if (unavailable) return Result::Unavailable;
    taken.push_back(key.address);
    takenInterfaces.push_back(key.interfaceName);
    lock = std::make_unique<Held>(held);
    return Result::Taken;
  }

  bool busy = false;
  bool unavailable = false;
  std::vector<Ipv4Address> taken;
  std::vector<std::string> takenInterfaces;
  int held = 0;

 private:
  class Held : public DeviceLock {
   public:
    explicit Held(int& count) : count_(count) { ++count_; }
    ~Held() override { --count_; }

   private:
    int& count_;
  };
};

}  // namespace korvel::test
