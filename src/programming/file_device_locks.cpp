#include "programming/file_device_locks.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

namespace korvel {
namespace {

class FileDeviceLock final : public DeviceLock {
 public:
  explicit FileDeviceLock(int fd) : fd_(fd) {}
  ~FileDeviceLock() override { ::close(fd_); }
  FileDeviceLock(const FileDeviceLock&) = delete;
  FileDeviceLock& operator=(const FileDeviceLock&) = delete;

 private:
  int fd_;
};

// A folder of our own: made here, or found as a real folder (not a link) that only we can write.
bool isPrivateFolder(const std::filesystem::path& folder) {
  if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return false;
  struct stat info {};
  if (::lstat(folder.c_str(), &info) != 0) return false;
  return S_ISDIR(info.st_mode) && info.st_uid == ::geteuid() && (info.st_mode & 0022) == 0;
}

}  // namespace

std::optional<std::filesystem::path> deviceLockFolder(const char* runtimeDir,
                                                      const std::filesystem::path& sharedTemp) {
  if (runtimeDir && *runtimeDir == '/') {
    const std::filesystem::path folder = std::filesystem::path(runtimeDir) / "korvel";
    if (isPrivateFolder(folder)) return folder;
  }
  const std::filesystem::path folder = sharedTemp / ("korvel-" + std::to_string(::geteuid()));
  if (isPrivateFolder(folder)) return folder;
  return std::nullopt;
}

std::filesystem::path FileDeviceLocks::lockFile(Ipv4Address address) const {
  return folder_ / ("device-" + address.dotted() + ".lock");
}

DeviceLocks::Result FileDeviceLocks::take(Ipv4Address address, std::unique_ptr<DeviceLock>& lock) {
  if (folder_.empty()) return Result::Unavailable;
  const int fd = ::open(lockFile(address).c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) return Result::Unavailable;
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    ::close(fd);
    return error == EWOULDBLOCK ? Result::Busy : Result::Unavailable;
  }
  lock = std::make_unique<FileDeviceLock>(fd);
  return Result::Taken;
}

std::unique_ptr<DeviceLocks> makeSystemDeviceLocks() {
  const auto folder = deviceLockFolder(std::getenv("XDG_RUNTIME_DIR"), "/tmp");
  return std::make_unique<FileDeviceLocks>(folder.value_or(std::filesystem::path()));
}

}  // namespace korvel
