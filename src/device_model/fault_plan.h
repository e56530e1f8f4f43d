#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "device_model/request_frame.h"

namespace korvel {

enum class FaultKind {
  DropRequest,     // the device never sees the request
  DropReply,       // the device acts on the request, its reply is lost
  Status,          // the reply carries status `value`
  ResendByte,      // a record's reply carries resend byte `value`
  OmitResendByte,  // a record's reply is 77 bytes long, without resend byte
  BadChecksum,     // the reply's frame checksum is wrong
  SameToken,       // the reply carries the request's token instead of its inverse
  LengthTooShort,  // the reply's length field is 76
  LengthTooLong,   // the reply's length field is one more than the request's
  LateReply,       // the last reply that went out goes out once more, just before this one
  Delay,           // the reply goes out `delay` later
};

std::string_view faultKindName(FaultKind kind);

// Which requests a rule looks at.
struct FaultMatch {
  enum class Target { Any, DeviceCommand, BusCommand, BusRecord, RawRecord, Record };
  Target target = Target::Any;
  std::optional<std::uint8_t> code{};  // device or bus command code, or packet type
  std::optional<std::uint8_t> busAddress{};

  bool matches(const RequestFrame& request) const;
};

// Which of the matching requests a rule hits: after skipping `skip` of them, every `every`-th,
// at most `count` times, each with `probability`.
struct FaultTrigger {
  std::size_t skip = 0;
  std::size_t every = 1;
  std::size_t count = std::numeric_limits<std::size_t>::max();
  double probability = 1.0;
};

struct FaultRule {
  FaultKind kind = FaultKind::DropReply;
  FaultMatch match;
  FaultTrigger when;
  std::uint8_t value = 0;              // Status, ResendByte
  std::chrono::milliseconds delay{0};  // Delay
};

// The faults chosen for one request.
struct FaultSet {
  bool dropRequest = false;
  bool dropReply = false;
  std::optional<std::uint8_t> status;
  std::optional<std::uint8_t> resendByte;
  bool omitResendByte = false;
  bool badChecksum = false;
  bool sameToken = false;
  bool lengthTooShort = false;
  bool lengthTooLong = false;
  bool lateReply = false;
  std::chrono::milliseconds delay{0};
  std::vector<FaultKind> applied;
};

// Deterministic fault injection: the same seed and the same requests give the same faults.
class FaultPlan {
 public:
  explicit FaultPlan(std::uint64_t seed = 1) : seed_(seed) {}

  FaultPlan& add(FaultRule rule);
  void clear();
  // Starts every rule's random draws afresh from `seed`.
  void reseed(std::uint64_t seed);

  // Shorthands for the common rules.
  FaultPlan& dropRequests(FaultTrigger when, FaultMatch match = {});
  FaultPlan& dropReplies(FaultTrigger when, FaultMatch match = {});
  FaultPlan& answerStatus(std::uint8_t status, FaultMatch match, FaultTrigger when = {});
  FaultPlan& answerResendByte(std::uint8_t resendByte, FaultTrigger when, FaultMatch match = {});
  FaultPlan& corrupt(FaultKind kind, FaultTrigger when, FaultMatch match = {});

  // Decides the faults for one request; every rule counts the requests it matches.
  FaultSet decide(const RequestFrame& request);

 private:
  struct Counted {
    FaultRule rule;
    std::size_t seen = 0;
    std::size_t hits = 0;
    std::uint64_t random = 0;
  };
  bool fires(Counted& counted);
  std::uint64_t streamSeed(std::size_t ruleIndex) const;
  static double nextRandom(std::uint64_t& state);

  std::vector<Counted> counted_;
  std::uint64_t seed_;
};

FaultTrigger firstRequests(std::size_t count);
FaultTrigger everyRequest(std::size_t every);
FaultTrigger withProbability(double probability);
FaultTrigger onlyRequest(std::size_t oneBasedIndex);

// One rule from its text form: KIND[=VALUE][,key=value]... with KIND one of drop-request,
// drop-reply, status, resend, no-resend-byte, bad-checksum, same-token, short, long, late,
// delay (VALUE in milliseconds); keys: target (any, device, bus, bus-record, raw, record), code,
// address, skip, every, count, first (= count, from the first), nth (the n-th match only),
// probability. Numbers may be decimal or 0x-hexadecimal. Nothing, with `error` set, when the
// text is not a rule.
std::optional<FaultRule> parseFaultRule(std::string_view text, std::string& error);

}  // namespace korvel
