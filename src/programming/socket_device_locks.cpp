#include "programming/socket_device_locks.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstring>

namespace korvel {
namespace {

class SocketDeviceLock final : public DeviceLock {
 public:
  explicit SocketDeviceLock(int fd) : fd_(fd) {}
  ~SocketDeviceLock() override { ::close(fd_); }
  SocketDeviceLock(const SocketDeviceLock&) = delete;
  SocketDeviceLock& operator=(const SocketDeviceLock&) = delete;

 private:
  int fd_;
};

// Room for the name after the zero byte that puts it in the abstract namespace.
constexpr std::size_t kNameRoom = sizeof(sockaddr_un::sun_path) - 1;

}  // namespace

std::optional<std::string> SocketDeviceLocks::socketName(const DeviceLockKey& key) const {
  std::string name = prefix_ + key.text();
  if (name.size() > kNameRoom || name.find('\0') != std::string::npos) return std::nullopt;
  return name;
}

DeviceLocks::Result SocketDeviceLocks::take(const DeviceLockKey& key,
                                            std::unique_ptr<DeviceLock>& lock) {
  const auto name = socketName(key);
  if (!name) return Result::Unavailable;
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path + 1, name->data(), name->size());
  const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name->size());

  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return Result::Unavailable;
  if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), length) != 0) {
    const int error = errno;
    ::close(fd);
    return error == EADDRINUSE ? Result::Busy : Result::Unavailable;
  }
  lock = std::make_unique<SocketDeviceLock>(fd);
  return Result::Taken;
}

std::unique_ptr<DeviceLocks> makeSystemDeviceLocks() {
  return std::make_unique<SocketDeviceLocks>();
}

}  // namespace korvel
