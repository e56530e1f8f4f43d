#include "link/icmp/linux_icmp_access_facts.h"

#include <linux/capability.h>
#include <sys/prctl.h>
#include <sys/statvfs.h>
#include <sys/syscall.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <climits>
#include <fstream>
#include <iterator>
#include <utility>

namespace korvel {

namespace {

// Capabilities belong to each thread; capget with pid 0 reads the caller's own.
bool threadHasNetRaw() {
  __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
  std::array<__user_cap_data_struct, _LINUX_CAPABILITY_U32S_3> data{};
  if (::syscall(SYS_capget, &header, data.data()) != 0) return false;
  return (data[CAP_TO_INDEX(CAP_NET_RAW)].effective & CAP_TO_MASK(CAP_NET_RAW)) != 0;
}

FileNetRaw fileNetRawOf(const std::string& path) {
  if (path.empty()) return FileNetRaw::Unknown;
  std::array<std::uint8_t, 64> value{};
  const ssize_t size = ::getxattr(path.c_str(), "security.capability", value.data(), value.size());
  if (size >= 0) return fileNetRawFrom(ByteView(value).first(static_cast<std::size_t>(size)));
  if (errno == ENODATA) return FileNetRaw::Absent;
  if (errno == ENOTSUP) return FileNetRaw::NotSupported;
  return FileNetRaw::Unknown;
}

bool onNoSuidMount(const std::string& path) {
  struct statvfs fileSystem {};
  return !path.empty() && ::statvfs(path.c_str(), &fileSystem) == 0 &&
         (fileSystem.f_flag & ST_NOSUID) != 0;
}

std::optional<GroupRange> pingGroupRange() {
  std::ifstream file("/proc/sys/net/ipv4/ping_group_range");
  const std::string text{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
  return file.bad() ? std::nullopt : parsePingGroupRange(text);
}

// The kernel lets a process have a ping socket when its effective group or any supplementary
// group lies in the range.
std::vector<std::uint32_t> processGroups() {
  std::vector<std::uint32_t> groups{static_cast<std::uint32_t>(::getegid())};
  const int count = ::getgroups(0, nullptr);
  if (count <= 0) return groups;
  std::vector<gid_t> supplementary(static_cast<std::size_t>(count));
  const int read = ::getgroups(count, supplementary.data());
  for (int i = 0; i < read; ++i) groups.push_back(supplementary[static_cast<std::size_t>(i)]);
  return groups;
}

}  // namespace

IcmpAccessFacts readIcmpAccessFacts(std::string helperPath, std::string pingSocketError,
                                    std::string rawSocketError) {
  IcmpAccessFacts facts;
  facts.processHasNetRaw = threadHasNetRaw();
  facts.boundingSetHasNetRaw = ::prctl(PR_CAPBSET_READ, CAP_NET_RAW, 0, 0, 0) == 1;
  facts.noNewPrivileges = ::prctl(PR_GET_NO_NEW_PRIVS, 0, 0, 0, 0) == 1;
  facts.programPath = std::move(helperPath);
  facts.fileNetRaw = fileNetRawOf(facts.programPath);
  facts.fileOnNoSuidMount = onNoSuidMount(facts.programPath);
  facts.pingGroups = pingGroupRange();
  facts.groups = processGroups();
  facts.pingSocketError = std::move(pingSocketError);
  facts.rawSocketError = std::move(rawSocketError);
  return facts;
}

}  // namespace korvel
