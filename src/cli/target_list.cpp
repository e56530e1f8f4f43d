#include "cli/target_list.h"

#include <algorithm>

#include "cli/terminal_text.h"

namespace korvel {
namespace {

constexpr std::string_view kBlanks = " \t\r\f\v";

std::string_view withoutCommentAndBlanks(std::string_view line) {
  line = line.substr(0, line.find('#'));
  const auto first = line.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  return line.substr(first, line.find_last_not_of(kBlanks) - first + 1);
}

}  // namespace

std::optional<std::string> TargetList::add(std::string_view text, const std::string& origin,
                                           const std::string& interfaceName) {
  const auto address = Ipv4Address::parse(text);
  if (!address) {
    return origin + ": '" + escapeControls(text) + "' is not four dotted decimal numbers 0 to 255";
  }
  // One address on two ports is two devices; without a port named, it could be the same one.
  for (std::size_t i = 0; i < addresses_.size(); ++i) {
    if (addresses_[i] == *address &&
        (interfaceName.empty() || interfaces_[i].empty() || interfaces_[i] == interfaceName)) {
      const std::string port = interfaceName.empty() ? "" : escapeControls(interfaceName) + " ";
      return origin + ": " + port + std::string(text) + " is given twice (first at " + origins_[i] +
             ")";
    }
  }
  addresses_.push_back(*address);
  interfaces_.push_back(interfaceName);
  origins_.push_back(origin);
  return std::nullopt;
}

std::optional<std::string> TargetList::addLine(std::string_view text, const std::string& origin,
                                               const std::string& defaultInterface) {
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
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    const std::string_view text = withoutCommentAndBlanks(line);
    if (text.empty()) continue;
    if (auto error = addLine(text, fileName + ":" + std::to_string(number), defaultInterface)) {
      return error;
    }
  }
  if (in.bad()) return fileName + ": cannot be read";
  return std::nullopt;
}

int jobsFor(std::size_t targets, int jobs) {
  const auto all = static_cast<int>(std::min<std::size_t>(targets, kMaxJobs));
  return jobs > 0 ? std::min(jobs, std::max(all, 1)) : all;
}

}  // namespace korvel
