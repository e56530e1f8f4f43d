#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/bytes.h"

// When Linux refuses both kinds of ICMP socket, what stands in the way and the one fix that
// applies here. Free of system calls, so that every situation can be tested.
namespace korvel {

// cap_net_raw as the program's file carries it (extended attribute security.capability).
enum class FileNetRaw {
  Absent,        // no capability, or not cap_net_raw in effect at exec
  Granted,       // cap_net_raw, permitted and effective
  NotSupported,  // the file system holds no capabilities
  Unknown,       // could not be read
};

struct GroupRange {
  std::uint32_t first = 0;
  std::uint32_t last = 0;
  bool contains(std::uint32_t group) const { return first <= group && group <= last; }
};

struct IcmpAccessFacts {
  bool processHasNetRaw = false;     // effective in the calling thread
  bool boundingSetHasNetRaw = true;  // else no exec can give it
  bool noNewPrivileges = false;      // exec gives no file capabilities
  std::string programPath;           // the ICMP helper's real path; empty when there is none
  FileNetRaw fileNetRaw = FileNetRaw::Unknown;
  bool fileOnNoSuidMount = false;        // file capabilities are ignored there
  std::optional<GroupRange> pingGroups;  // net.ipv4.ping_group_range, when readable
  std::vector<std::uint32_t> groups;     // the process's groups, effective and supplementary
  std::string pingSocketError;           // the system's texts for the two refusals
  std::string rawSocketError;
};

struct IcmpAccessAdvice {
  std::string reason;
  std::string remedy;
};

IcmpAccessAdvice adviseIcmpAccess(const IcmpAccessFacts& facts);

// "1\t0" as the kernel writes net.ipv4.ping_group_range.
std::optional<GroupRange> parsePingGroupRange(std::string_view text);

// The value of security.capability (struct vfs_cap_data, any revision).
FileNetRaw fileNetRawFrom(ByteView attribute);

// `text` as one word for a POSIX shell, quoted only when it has to be.
std::string shellWord(std::string_view text);

}  // namespace korvel
