#include "device_model/fault_plan.h"

#include <array>
#include <charconv>
#include <utility>

namespace korvel {
namespace {

struct KindName {
  FaultKind kind;
  std::string_view name;
};

constexpr std::array kKindNames{
    KindName{FaultKind::DropRequest, "drop-request"},
    KindName{FaultKind::DropReply, "drop-reply"},
    KindName{FaultKind::Status, "status"},
    KindName{FaultKind::ResendByte, "resend"},
    KindName{FaultKind::OmitResendByte, "no-resend-byte"},
    KindName{FaultKind::BadChecksum, "bad-checksum"},
    KindName{FaultKind::SameToken, "same-token"},
    KindName{FaultKind::LengthTooShort, "short"},
    KindName{FaultKind::LengthTooLong, "long"},
    KindName{FaultKind::LateReply, "late"},
    KindName{FaultKind::Delay, "delay"},
};

struct TargetName {
  FaultMatch::Target target;
  std::string_view name;
};

constexpr std::array kTargetNames{
    TargetName{FaultMatch::Target::Any, "any"},
    TargetName{FaultMatch::Target::DeviceCommand, "device"},
    TargetName{FaultMatch::Target::BusCommand, "bus"},
    TargetName{FaultMatch::Target::BusRecord, "bus-record"},
    TargetName{FaultMatch::Target::RawRecord, "raw"},
    TargetName{FaultMatch::Target::Record, "record"},
};

bool matchesTarget(FaultMatch::Target target, RequestKind kind) {
  switch (target) {
    case FaultMatch::Target::Any:
      return kind != RequestKind::Malformed;
    case FaultMatch::Target::DeviceCommand:
      return kind == RequestKind::DeviceCommand;
    case FaultMatch::Target::BusCommand:
      return kind == RequestKind::BusCommand;
    case FaultMatch::Target::BusRecord:
      return kind == RequestKind::BusRecord;
    case FaultMatch::Target::RawRecord:
      return kind == RequestKind::RawRecord;
    case FaultMatch::Target::Record:
      return kind == RequestKind::BusRecord || kind == RequestKind::RawRecord;
  }
  return false;
}

void apply(const FaultRule& rule, FaultSet& set) {
  switch (rule.kind) {
    case FaultKind::DropRequest:
      set.dropRequest = true;
      break;
    case FaultKind::DropReply:
      set.dropReply = true;
      break;
    case FaultKind::Status:
      set.status = rule.value;
      break;
    case FaultKind::ResendByte:
      set.resendByte = rule.value;
      break;
    case FaultKind::OmitResendByte:
      set.omitResendByte = true;
      break;
    case FaultKind::BadChecksum:
      set.badChecksum = true;
      break;
    case FaultKind::SameToken:
      set.sameToken = true;
      break;
    case FaultKind::LengthTooShort:
      set.lengthTooShort = true;
      break;
    case FaultKind::LengthTooLong:
      set.lengthTooLong = true;
      break;
    case FaultKind::LateReply:
      set.lateReply = true;
      break;
    case FaultKind::Delay:
      set.delay += rule.delay;
      break;
  }
  set.applied.push_back(rule.kind);
}

template <typename Number>
bool parseNumber(std::string_view text, Number& out) {
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    text.remove_prefix(2);
    base = 16;
  }
  const auto result = std::from_chars(text.data(), text.data() + text.size(), out, base);
  return result.ec == std::errc() && result.ptr == text.data() + text.size() && !text.empty();
}

bool parseProbability(std::string_view text, double& out) {
  const auto result = std::from_chars(text.data(), text.data() + text.size(), out);
  return result.ec == std::errc() && result.ptr == text.data() + text.size() && out >= 0.0 &&
         out <= 1.0;
}

std::pair<std::string_view, std::string_view> splitAt(std::string_view text, char separator) {
  const auto at = text.find(separator);
  if (at == std::string_view::npos) return {text, {}};
  return {text.substr(0, at), text.substr(at + 1)};
}

bool needsValue(FaultKind kind) {
  return kind == FaultKind::Status || kind == FaultKind::ResendByte || kind == FaultKind::Delay;
}

bool parseKey(std::string_view key, std::string_view value, FaultRule& rule, std::string& error) {
  const auto bad = [&] {
    error = "bad value '" + std::string(value) + "' for '" + std::string(key) + "'";
    return false;
  };
  std::uint8_t byte = 0;
  std::size_t number = 0;
  if (key == "target") {
    for (const auto& entry : kTargetNames) {
      if (entry.name == value) {
        rule.match.target = entry.target;
        return true;
      }
    }
    return bad();
  }
  if (key == "code") {
    if (!parseNumber(value, byte)) return bad();
    rule.match.code = byte;
  } else if (key == "address") {
    if (!parseNumber(value, byte)) return bad();
    rule.match.busAddress = byte;
  } else if (key == "skip") {
    if (!parseNumber(value, rule.when.skip)) return bad();
  } else if (key == "every") {
    if (!parseNumber(value, number) || number == 0) return bad();
    rule.when.every = number;
  } else if (key == "count" || key == "first") {
    if (!parseNumber(value, rule.when.count)) return bad();
  } else if (key == "nth") {
    if (!parseNumber(value, number) || number == 0) return bad();
    rule.when = onlyRequest(number);
  } else if (key == "probability") {
    if (!parseProbability(value, rule.when.probability)) return bad();
  } else {
    error = "unknown key '" + std::string(key) + "'";
    return false;
  }
  return true;
}

}  // namespace

std::string_view faultKindName(FaultKind kind) {
  for (const auto& entry : kKindNames) {
    if (entry.kind == kind) return entry.name;
  }
  return "unknown";
}

bool FaultMatch::matches(const RequestFrame& request) const {
  if (!matchesTarget(target, request.kind)) return false;
  if (code && request.code != *code) return false;
  if (busAddress) {
    const bool onBus =
        request.kind == RequestKind::BusCommand || request.kind == RequestKind::BusRecord;
    if (!onBus || request.busAddress != *busAddress) return false;
  }
  return true;
}

FaultPlan& FaultPlan::add(FaultRule rule) {
  counted_.push_back({rule, 0, 0, streamSeed(counted_.size())});
  return *this;
}

void FaultPlan::reseed(std::uint64_t seed) {
  seed_ = seed;
  for (std::size_t i = 0; i < counted_.size(); ++i) counted_[i].random = streamSeed(i);
}

std::uint64_t FaultPlan::streamSeed(std::size_t ruleIndex) const {
  return seed_ ^ (0xD1B54A32D192ED03ull * (ruleIndex + 1));
}

void FaultPlan::clear() { counted_.clear(); }

FaultPlan& FaultPlan::dropRequests(FaultTrigger when, FaultMatch match) {
  return add({FaultKind::DropRequest, match, when});
}

FaultPlan& FaultPlan::dropReplies(FaultTrigger when, FaultMatch match) {
  return add({FaultKind::DropReply, match, when});
}

FaultPlan& FaultPlan::answerStatus(std::uint8_t status, FaultMatch match, FaultTrigger when) {
  return add({FaultKind::Status, match, when, status});
}

FaultPlan& FaultPlan::answerResendByte(std::uint8_t resendByte, FaultTrigger when,
                                       FaultMatch match) {
  if (match.target == FaultMatch::Target::Any) match.target = FaultMatch::Target::BusRecord;
  return add({FaultKind::ResendByte, match, when, resendByte});
}

FaultPlan& FaultPlan::corrupt(FaultKind kind, FaultTrigger when, FaultMatch match) {
  return add({kind, match, when});
}

FaultSet FaultPlan::decide(const RequestFrame& request) {
  FaultSet set;
  for (auto& counted : counted_) {
    if (counted.rule.match.matches(request) && fires(counted)) apply(counted.rule, set);
  }
  return set;
}

bool FaultPlan::fires(Counted& counted) {
  const FaultTrigger& when = counted.rule.when;
  const std::size_t index = counted.seen++;
  if (index < when.skip || (index - when.skip) % when.every != 0) return false;
  if (counted.hits >= when.count) return false;
  // Each rule draws from a stream of its own, so adding a rule does not change when another fires.
  if (when.probability < 1.0 && nextRandom(counted.random) >= when.probability) return false;
  ++counted.hits;
  return true;
}

double FaultPlan::nextRandom(std::uint64_t& state) {
  // splitmix64: the same sequence on every platform and standard library.
  std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  z ^= z >> 31;
  return static_cast<double>(z >> 11) * 0x1.0p-53;
}

FaultTrigger firstRequests(std::size_t count) {
  FaultTrigger when;
  when.count = count;
  return when;
}

FaultTrigger everyRequest(std::size_t every) {
  FaultTrigger when;
  when.every = every == 0 ? 1 : every;
  return when;
}

FaultTrigger withProbability(double probability) {
  FaultTrigger when;
  when.probability = probability;
  return when;
}

FaultTrigger onlyRequest(std::size_t oneBasedIndex) {
  FaultTrigger when;
  when.skip = oneBasedIndex == 0 ? 0 : oneBasedIndex - 1;
  when.count = 1;
  return when;
}

std::optional<FaultRule> parseFaultRule(std::string_view text, std::string& error) {
  auto [head, rest] = splitAt(text, ',');
  const auto [kindText, valueText] = splitAt(head, '=');
  FaultRule rule;
  bool known = false;
  for (const auto& entry : kKindNames) {
    if (entry.name == kindText) {
      rule.kind = entry.kind;
      known = true;
    }
  }
  if (!known) {
    error = "unknown fault '" + std::string(kindText) + "'";
    return std::nullopt;
  }
  if (needsValue(rule.kind) != !valueText.empty()) {
    error = needsValue(rule.kind) ? "fault '" + std::string(kindText) + "' needs =VALUE"
                                  : "fault '" + std::string(kindText) + "' takes no value";
    return std::nullopt;
  }
  if (rule.kind == FaultKind::Delay) {
    std::uint32_t milliseconds = 0;
    if (!parseNumber(valueText, milliseconds)) {
      error = "bad delay '" + std::string(valueText) + "' (milliseconds)";
      return std::nullopt;
    }
    rule.delay = std::chrono::milliseconds(milliseconds);
  } else if (needsValue(rule.kind) && !parseNumber(valueText, rule.value)) {
    error = "bad byte '" + std::string(valueText) + "'";
    return std::nullopt;
  }
  if (rule.kind == FaultKind::ResendByte || rule.kind == FaultKind::OmitResendByte) {
    rule.match.target = FaultMatch::Target::BusRecord;
  }
  while (!rest.empty()) {
    auto [item, next] = splitAt(rest, ',');
    rest = next;
    const auto [key, value] = splitAt(item, '=');
    if (!parseKey(key, value, rule, error)) return std::nullopt;
  }
  return rule;
}

}  // namespace korvel
