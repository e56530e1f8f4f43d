#pragma once

#include <filesystem>
#include <optional>

#include "programming/device_lock.h"

namespace korvel {

// Lock files in a folder of this user's, one per device address, held with flock: the system
// lets go of the lock when its process ends however it ends, so a lock of a process that died
// is free to take and its file is simply reused.
class FileDeviceLocks final : public DeviceLocks {
 public:
  // An empty folder means there is none to be had: every lock is Unavailable.
  explicit FileDeviceLocks(std::filesystem::path folder) : folder_(std::move(folder)) {}

  Result take(Ipv4Address address, std::unique_ptr<DeviceLock>& lock) override;

  std::filesystem::path lockFile(Ipv4Address address) const;

 private:
  std::filesystem::path folder_;
};

// The folder for the lock files: "korvel" under `runtimeDir` (the user's runtime folder) when
// given, else "korvel-UID" under `sharedTemp`, made private to this user. Nothing when neither can
// be made or the one found is not this user's alone.
std::optional<std::filesystem::path> deviceLockFolder(const char* runtimeDir,
                                                      const std::filesystem::path& sharedTemp);

}  // namespace korvel
