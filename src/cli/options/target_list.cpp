#include "cli/options/target_list.h"

#include <algorithm>

#include "cli/output/terminal_text.h"

namespace korvel {
namespace {

constexpr std::string_view kBlanks = " \t\r\f\v";

std::string_view withoutCommentAndBlanks(std::string_view line) {
  line = line.substr(0, line.find('#'));
  const auto first = line.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  return line.substr(first, line.find_last_not_of(kBlanks) - first + 1);
}

// The next line without its "\n", read no further than one byte past kMaxTargetLine: a file of
// one endless line costs no memory. False at the end of the input.
bool readBoundedLine(std::istream& in, std::string& line) {
  line.clear();
  std::streambuf* buffer = in.rdbuf();
  if (!buffer) return false;
  for (;;) {
    const auto c = buffer->sbumpc();
    if (c == std::char_traits<char>::eof()) {
      in.setstate(std::ios::eofbit);
      return !line.empty();
    }
    if (c == '\n') return true;
    line += static_cast<char>(c);
    if (line.size() > kMaxTargetLine) return true;
  }
}

}  // namespace

std::optional<std::string> TargetList::add(std::string_view text, const std::string& origin,
                                           const std::string& interfaceName) {
  const auto address = Ipv4Address::parse(text);
  if (!address) {
    return origin + ": '" + escapeControls(text) + "' is not four dotted decimal numbers 0 to 255";
  }
  // One address on two ports is two devices; without a port named, it could be the same one.
  std::vector<std::size_t>& earlier = indexOf_[address->hostOrder()];
  for (const std::size_t i : earlier) {
    if (interfaceName.empty() || interfaces_[i].empty() || interfaces_[i] == interfaceName) {
      const std::string port = interfaceName.empty() ? "" : escapeControls(interfaceName) + " ";
      return origin + ": " + port + address->dotted() + " is given twice (first at " + origins_[i] +
             ")";
    }
  }
  if (addresses_.size() == kMaxTargets) {
    return origin + ": more than " + std::to_string(kMaxTargets) + " devices";
  }
  earlier.push_back(addresses_.size());
  addresses_.push_back(*address);
  interfaces_.push_back(interfaceName);
  origins_.push_back(origin);
  return std::nullopt;
}

std::optional<std::string> TargetList::addLine(std::string_view line, const std::string& origin,
                                               const std::string& defaultInterface) {
  if (line.size() > kMaxTargetLine) {
    return origin + ": the line is longer than " + std::to_string(kMaxTargetLine) + " bytes";
  }
  const std::string_view text = withoutCommentAndBlanks(line);
  if (text.empty()) return std::nullopt;
  const auto blank = text.find_first_of(kBlanks);
  if (blank == std::string_view::npos) return add(text, origin, defaultInterface);
  const std::string_view name = text.substr(0, blank);
  const std::string_view address = text.substr(text.find_first_not_of(kBlanks, blank));
  if (Ipv4Address::parse(name) || address.find_first_of(kBlanks) != std::string_view::npos) {
    return origin + ": '" + escapeControls(text) + "' is not ADDRESS or INTERFACE ADDRESS";
  }
  return add(address, origin, std::string(name));
}

std::optional<std::string> TargetList::read(std::istream& in, const std::string& fileName,
                                            const std::string& defaultInterface) {
  const std::string shownName = escapeControls(fileName);
  std::string line;
  for (std::uint64_t number = 1; readBoundedLine(in, line); ++number) {
    if (auto error = addLine(line, shownName + ":" + std::to_string(number), defaultInterface)) {
      return error;
    }
  }
  if (in.bad()) return shownName + ": cannot be read";
  return std::nullopt;
}

int jobsFor(std::size_t targets, int jobs) {
  const auto all = static_cast<int>(std::min<std::size_t>(targets, kMaxJobs));
  return jobs > 0 ? std::min(jobs, std::max(all, 1)) : all;
}

}  // namespace korvel
