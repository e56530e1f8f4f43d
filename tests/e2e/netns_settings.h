#pragma once

#include <net/if.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <string_view>

#include <gtest/gtest.h>

// Settings of the private network namespace that scripts/netns-exec runs the end-to-end tests in.
// They belong to that namespace alone, so tests may change them; each change is undone when its
// guard goes.
namespace korvel::test {

inline bool insidePrivateNetworkNamespace() {
  const char* marker = std::getenv("KORVEL_NETNS");
  return marker != nullptr && std::string_view(marker) == "1";
}

// One value under /proc/sys, e.g. "net/ipv4/icmp_echo_ignore_all". Some values cannot be had in
// a namespace that an unprivileged user made; `applied` tells.
class SysctlOverride {
 public:
  SysctlOverride(const std::string& name, const std::string& value)
      : path_("/proc/sys/" + name), previous_(read()), applied_(write(value)) {}
  ~SysctlOverride() {
    if (applied_ && !write(previous_)) ADD_FAILURE() << "cannot restore " << path_;
  }

  SysctlOverride(const SysctlOverride&) = delete;
  SysctlOverride& operator=(const SysctlOverride&) = delete;

  bool applied() const { return applied_; }

 private:
  std::string read() const {
    std::ifstream file(path_);
    std::string value;
    std::getline(file, value);
    if (!file) ADD_FAILURE() << "cannot read " << path_;
    return value;
  }

  bool write(const std::string& value) const {
    std::ofstream file(path_);
    file << value << '\n';
    file.flush();
    return static_cast<bool>(file);
  }

  std::string path_;
  std::string previous_;
  bool applied_;
};

// Sets the MTU of the loopback interface, so that a path with a small MTU can be had on it.
class LoopbackMtu {
 public:
  explicit LoopbackMtu(int mtu) : socket_(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0)) {
    previous_ = request(SIOCGIFMTU, 0);
    request(SIOCSIFMTU, mtu);
  }
  ~LoopbackMtu() {
    request(SIOCSIFMTU, previous_);
    ::close(socket_);
  }

  LoopbackMtu(const LoopbackMtu&) = delete;
  LoopbackMtu& operator=(const LoopbackMtu&) = delete;

 private:
  int request(unsigned long code, int mtu) const {
    ifreq interface {};
    std::strncpy(interface.ifr_name, "lo", IFNAMSIZ - 1);
    interface.ifr_mtu = mtu;
    if (::ioctl(socket_, code, &interface) != 0) {
      ADD_FAILURE() << "loopback MTU: " << std::strerror(errno);
    }
    return interface.ifr_mtu;
  }

  int socket_;
  int previous_ = 0;
};

}  // namespace korvel::test
