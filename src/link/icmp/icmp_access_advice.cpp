#include "link/icmp/icmp_access_advice.h"

#include <algorithm>
#include <charconv>

#include "common/texts.h"

namespace korvel {

namespace {

constexpr unsigned kCapNetRaw = 13;
constexpr std::uint32_t kCapRevisionMask = 0xFF000000;
constexpr std::uint32_t kCapRevision1 = 0x01000000;
constexpr std::uint32_t kCapRevision2 = 0x02000000;
constexpr std::uint32_t kCapRevision3 = 0x03000000;
constexpr std::uint32_t kCapFlagEffective = 0x000001;

std::uint32_t littleEndian32(ByteView bytes, std::size_t offset) {
  return static_cast<std::uint32_t>(bytes[offset]) |
         static_cast<std::uint32_t>(bytes[offset + 1]) << 8 |
         static_cast<std::uint32_t>(bytes[offset + 2]) << 16 |
         static_cast<std::uint32_t>(bytes[offset + 3]) << 24;
}

std::string rangeText(const GroupRange& range) {
  return std::to_string(range.first) + " " + std::to_string(range.last);
}

bool groupsInRange(const IcmpAccessFacts& facts) {
  return facts.pingGroups &&
         std::any_of(facts.groups.begin(), facts.groups.end(),
                     [&](std::uint32_t group) { return facts.pingGroups->contains(group); });
}

std::string pingObstacle(const IcmpAccessFacts& facts) {
  if (!facts.pingGroups) return text::kIcmpPingRefused;
  if (groupsInRange(facts)) return text::kIcmpPingRefusedInRange;
  return std::string(text::kIcmpPingGroupsOutside) + rangeText(*facts.pingGroups) +
         text::kIcmpPingGroupsOutsideEnd;
}

// Why an exec of this file gives no file capabilities, or nothing when it would.
std::optional<std::string> fileCapabilitiesBlocked(const IcmpAccessFacts& facts) {
  if (facts.fileOnNoSuidMount) return text::kIcmpBecauseNoSuid;
  if (facts.noNewPrivileges) return text::kIcmpBecauseNoNewPrivileges;
  if (!facts.boundingSetHasNetRaw) return text::kIcmpBecauseBoundingSet;
  return std::nullopt;
}

std::string rawObstacle(const IcmpAccessFacts& facts) {
  if (facts.processHasNetRaw) return text::kIcmpRawRefusedWithNetRaw;
  if (facts.fileNetRaw == FileNetRaw::Granted) {
    return text::kIcmpFileNetRawIgnored + fileCapabilitiesBlocked(facts).value_or("");
  }
  return text::kIcmpNoNetRaw;
}

std::string systemTexts(const IcmpAccessFacts& facts) {
  if (facts.pingSocketError.empty()) return facts.rawSocketError;
  if (facts.rawSocketError.empty() || facts.rawSocketError == facts.pingSocketError) {
    return facts.pingSocketError;
  }
  return facts.pingSocketError + "; " + facts.rawSocketError;
}

// setcap helps when the file can carry the capability, an exec would honour it, and it is not
// there already (it is, and yet the process lacks it: something else takes it away).
bool setcapHelps(const IcmpAccessFacts& facts) {
  return !facts.processHasNetRaw && !facts.programPath.empty() &&
         facts.fileNetRaw != FileNetRaw::Granted && facts.fileNetRaw != FileNetRaw::NotSupported &&
         !fileCapabilitiesBlocked(facts);
}

std::string remedy(const IcmpAccessFacts& facts) {
  if (setcapHelps(facts)) return text::kIcmpRemedySetcap + shellWord(facts.programPath);
  if (!groupsInRange(facts)) return text::kIcmpRemedySysctl;
  return text::kIcmpRemedyAdministrator;
}

}  // namespace

IcmpAccessAdvice adviseIcmpAccess(const IcmpAccessFacts& facts) {
  std::string reason = text::kIcmpReasonPrefix + pingObstacle(facts) + "; " + rawObstacle(facts);
  if (const std::string system = systemTexts(facts); !system.empty()) {
    reason += text::kIcmpSystemSays + system;
  }
  return {std::move(reason), remedy(facts)};
}

std::optional<GroupRange> parsePingGroupRange(std::string_view text) {
  GroupRange range;
  const char* end = text.data() + text.size();
  auto skipBlanks = [&](const char* p) {
    while (p != end && (*p == ' ' || *p == '\t' || *p == '\n')) ++p;
    return p;
  };
  const char* p = skipBlanks(text.data());
  auto first = std::from_chars(p, end, range.first);
  if (first.ec != std::errc() || first.ptr == end || skipBlanks(first.ptr) == first.ptr) {
    return std::nullopt;
  }
  auto last = std::from_chars(skipBlanks(first.ptr), end, range.last);
  if (last.ec != std::errc() || skipBlanks(last.ptr) != end) return std::nullopt;
  return range;
}

FileNetRaw fileNetRawFrom(ByteView attribute) {
  if (attribute.size() < 4) return FileNetRaw::Unknown;
  const std::uint32_t magic = littleEndian32(attribute, 0);
  const std::uint32_t revision = magic & kCapRevisionMask;
  const std::size_t size = revision == kCapRevision1   ? 12
                           : revision == kCapRevision2 ? 20
                           : revision == kCapRevision3 ? 24
                                                       : 0;
  if (size == 0 || attribute.size() < size) return FileNetRaw::Unknown;
  const std::uint32_t permitted = littleEndian32(attribute, 4);
  const bool effective = (magic & kCapFlagEffective) != 0;
  return effective && (permitted >> kCapNetRaw & 1U) ? FileNetRaw::Granted : FileNetRaw::Absent;
}

std::string shellWord(std::string_view text) {
  const bool plain = !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           std::string_view("/._-+,:=@%").find(c) != std::string_view::npos;
  });
  if (plain) return std::string(text);
  std::string word = "'";
  for (const char c : text) {
    if (c == '\'') {
      word += "'\\''";
    } else {
      word += c;
    }
  }
  return word + "'";
}

}  // namespace korvel
