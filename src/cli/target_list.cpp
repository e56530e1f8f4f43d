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

std::optional<std::string> TargetList::add(std::string_view text, const std::string& origin) {
  const auto address = Ipv4Address::parse(text);
  if (!address) {
    return origin + ": '" + escapeControls(text) + "' is not four dotted decimal numbers 0 to 255";
  }
  const auto earlier = std::find(addresses_.begin(), addresses_.end(), *address);
  if (earlier != addresses_.end()) {
    return origin + ": " + std::string(text) + " is given twice (first at " +
           origins_[static_cast<std::size_t>(earlier - addresses_.begin())] + ")";
  }
  addresses_.push_back(*address);
  origins_.push_back(origin);
  return std::nullopt;
}

std::optional<std::string> TargetList::read(std::istream& in, const std::string& fileName) {
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    const std::string_view text = withoutCommentAndBlanks(line);
    if (text.empty()) continue;
    if (auto error = add(text, fileName + ":" + std::to_string(number))) return error;
  }
  if (in.bad()) return fileName + ": cannot be read";
  return std::nullopt;
}

int jobsFor(std::size_t targets, int jobs) {
  const auto all = static_cast<int>(std::min<std::size_t>(targets, kMaxJobs));
  return jobs > 0 ? std::min(jobs, std::max(all, 1)) : all;
}

}  // namespace korvel
