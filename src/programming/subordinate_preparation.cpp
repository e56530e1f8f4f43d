#include <algorithm>

#include "link/bus_command.h"
#include "link/device_protocol.h"
#include "link/device_replies.h"
#include "programming/device_programmer.h"

namespace korvel {
namespace {

constexpr std::uint32_t kQueryArea = 256;
constexpr std::uint32_t kCommandArea = 128;
constexpr int kQueryAttempts = 10;
constexpr std::uint32_t kPreparationPauseMs = 1000;
constexpr std::uint32_t kRestoreRetryPauseMs = 777;
constexpr std::uint32_t kAfterRestoreStartMs = 4000;

Bytes withTail(Bytes command, std::initializer_list<std::uint8_t> tail) {
  command.insert(command.end(), tail);
  return command;
}

}  // namespace

bool DeviceProgrammer::prepareSubordinate(std::uint8_t address, SavedValue& savedValue) {
  openLink(false);
  std::optional<ByteView> reply;
  if (link_) {
    const Bytes query = busCommand(address, bus::kQuery);
    for (int attempt = 0; attempt < kQueryAttempts && !reply && !stopRequested(); ++attempt) {
      reply = sendCommand(query, kQueryArea);
      if (!reply) reportFailedAttempt(Request::SubordinateQuery, attempt, kQueryAttempts);
    }
  }
  std::uint8_t leaveFrom = address;
  // A short reply does not hold the value, whatever its status says.
  const auto answer =
      isGood(reply) ? SubordinateQueryReply::parse(replyBody(*reply)) : std::nullopt;
  if (answer) {
    savedValue = answer->savedValue;
  } else {
    savedValue.fill(0);
    leaveFrom = bus::kProgrammingAddress;
    if (!pauseUnlessStopped(kPreparationPauseMs)) return false;
  }
  if (stopRequested()) return false;
  // From here on the subordinate may have left its address, whatever the device answers.
  lastRun_.subordinateLeftAtProgrammingAddress = true;
  if (!isGood(sendCommand(busCommand(leaveFrom, bus::kLeaveAddress), kCommandArea)) &&
      !pauseUnlessStopped(kPreparationPauseMs)) {
    return false;
  }
  if (!pauseUnlessStopped(kPreparationPauseMs)) return false;
  return isGood(sendCommand(busCommand(bus::kProgrammingAddress, bus::kReady), kCommandArea));
}

std::optional<ByteView> DeviceProgrammer::sendWithRetries(Request request, ByteView command,
                                                          std::uint32_t areaLength, int attempts,
                                                          std::uint32_t pauseAfterFailureMs) {
  for (int attempt = 0; attempt < attempts; ++attempt) {
    auto reply = sendCommand(command, areaLength);
    if (isGood(reply)) return reply;
    reportFailedAttempt(request, attempt, attempts);
    if (!pauseUnlessStopped(pauseAfterFailureMs)) break;
  }
  return std::nullopt;
}

bool DeviceProgrammer::restoreSubordinateAddress(std::uint8_t address,
                                                 const SavedValue& savedValue) {
  const std::uint8_t at = bus::kProgrammingAddress;
  const auto& s = savedValue;
  struct Step {
    Request request;
    Bytes command;
    std::uint32_t area;
    int attempts;
  };
  // The last phase counts only the address; the three bytes after it still hold the value.
  const Step steps[] = {
      {Request::RestoreStart, withTail(busCommand(at, bus::kRestoreStart), {0, 0, 0, 0}),
       kCommandArea, 10},
      {Request::RestoreQuery, withTail(busCommand(at, bus::kQuery), {0, 0, 0, 0}), kQueryArea, 10},
      {Request::HandBack, busCommand(at, bus::kHandBack, s), kCommandArea, 8},
      {Request::SetAddress,
       withTail(busCommand(at, bus::kSetAddress, Bytes{address}), {s[1], s[2], s[3]}), kCommandArea,
       8},
  };
  for (std::size_t i = 0; i < std::size(steps); ++i) {
    const Step& step = steps[i];
    if (!sendWithRetries(step.request, step.command, step.area, step.attempts,
                         kRestoreRetryPauseMs)) {
      return false;
    }
    if (i == 0 && !pauseUnlessStopped(kAfterRestoreStartMs)) return false;
  }
  lastRun_.subordinateLeftAtProgrammingAddress = false;
  return true;
}

}  // namespace korvel
