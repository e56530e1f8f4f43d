#pragma once

#include <cstdint>
#include <istream>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "common/ipv4_address.h"

namespace korvel {

// The devices one `program` runs at, in the order they were given: from --ip and from target
// files. Each address once, unless each mention names a network interface of its own: devices
// on a bench's ports may share one address.
class TargetList {
 public:
  // Adds the address in `text` reached through `interfaceName` (empty: the routing table's
  // choice), given at `origin` (an option or "FILE:LINE"); an error text naming the origin when
  // it is no address or one listed before.
  std::optional<std::string> add(std::string_view text, const std::string& origin,
                                 const std::string& interfaceName = {});

  // Adds the devices of a target file: one a line, as ADDRESS or INTERFACE ADDRESS, "#" to the
  // end of the line a comment, blank lines and blanks around the words ignored. A line without
  // an interface gets `defaultInterface`. The first bad line's error, if any; the file's name is
  // shown with its controls escaped.
  std::optional<std::string> read(std::istream& in, const std::string& fileName,
                                  const std::string& defaultInterface = {});

  // Adds what one line of a target file names (nothing for a blank or comment line).
  std::optional<std::string> addLine(std::string_view line, const std::string& origin,
                                     const std::string& defaultInterface = {});

  const std::vector<Ipv4Address>& addresses() const { return addresses_; }
  // The interface of each address, in the same order; empty where none was named.
  const std::vector<std::string>& interfaces() const { return interfaces_; }

 private:
  std::vector<Ipv4Address> addresses_;
  std::vector<std::string> interfaces_;
  std::vector<std::string> origins_;
  // Each address to its places in the list.
  std::unordered_map<std::uint32_t, std::vector<std::size_t>> indexOf_;
};

// The most devices one command programs, and the longest line of a target file.
inline constexpr std::size_t kMaxTargets = 4096;
inline constexpr std::size_t kMaxTargetLine = 512;

// At most this many devices are programmed at once.
inline constexpr int kMaxJobs = 64;

// How many devices go at once for `targets` devices when the operator asked for `jobs` (0: not
// asked): all of them, up to kMaxJobs.
int jobsFor(std::size_t targets, int jobs);

}  // namespace korvel
