#include <net/if.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>
#include <string>
#include <system_error>

#include "link/echo_service.h"

namespace korvel {
namespace {

std::optional<short> interfaceFlags(const std::string& name) {
  const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return std::nullopt;
  ifreq request{};
  std::memcpy(request.ifr_name, name.c_str(), name.size());
  const bool read = ::ioctl(fd, SIOCGIFFLAGS, &request) == 0;
  ::close(fd);
  if (!read) return std::nullopt;
  return request.ifr_flags;
}

}  // namespace

std::optional<std::string> networkInterfaceProblem(const std::string& name) {
  const std::string quoted = "network interface '" + name + "'";
  if (name.empty() || name.size() >= IFNAMSIZ || name.find('\0') != std::string::npos ||
      ::if_nametoindex(name.c_str()) == 0) {
    return quoted + " does not exist";
  }
  const auto flags = interfaceFlags(name);
  if (!flags) return quoted + " cannot be read: " + std::system_category().message(errno);
  if ((*flags & IFF_UP) == 0) return quoted + " is down";
  return std::nullopt;
}

}  // namespace korvel
