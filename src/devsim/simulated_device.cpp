#include "devsim/simulated_device.h"

#include <algorithm>
#include <string>

#include "devsim/device_status.h"
#include "link/bus_command.h"
#include "link/crc16.h"
#include "link/device_protocol.h"
#include "link/frame_header.h"

namespace korvel {
namespace {

namespace status = device_status;

// Replies are built as payloads: frame offsets less the 12-byte header.
constexpr std::size_t kMinPayload = reply::kMinLength;
constexpr std::size_t inPayload(std::size_t frameOffset) { return frameOffset - FrameHeader::kSize; }
constexpr std::size_t kBusReplyOffset = inPayload(bus::kReplyOffset);
constexpr std::size_t kBusQueryReplySize =
    bus::kSavedValueOffset + bus::kSavedValueSize - bus::kReplyOffset;

void putText(Bytes& payload, std::size_t offset, const std::string& text) {
  const std::size_t size = std::min(text.size(), device_info::kTextSize);
  std::copy_n(text.begin(), size, payload.begin() + static_cast<std::ptrdiff_t>(offset));
}

std::uint8_t resendCount(std::uint8_t resendByte) { return (resendByte >> 1) & 0x03; }

std::chrono::nanoseconds steadyNow() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
      std::chrono::steady_clock::now().time_since_epoch());
}

}  // namespace

SimulatedDevice::SimulatedDevice(DeviceConfig config)
    : config_(std::move(config)), clock_(steadyNow), inBootMonitor_(config_.startInBootMonitor) {
  for (const auto& sub : config_.subordinates) {
    SubordinateState state;
    state.homeAddress = sub.address;
    state.busAddress = sub.address;
    subordinates_.push_back(state);
  }
}

void SimulatedDevice::setClock(std::function<std::chrono::nanoseconds()> clock) {
  clock_ = clock ? std::move(clock) : steadyNow;
}

void SimulatedDevice::restart() { inBootMonitor_ = false; }

const SimulatedDevice::SubordinateState* SimulatedDevice::subordinate(
    std::uint8_t homeAddress) const {
  for (const auto& sub : subordinates_) {
    if (sub.homeAddress == homeAddress) return &sub;
  }
  return nullptr;
}

SimulatedDevice::SubordinateState* SimulatedDevice::subordinateAt(std::uint8_t busAddress) {
  for (auto& sub : subordinates_) {
    if (sub.busAddress == busAddress) return &sub;
  }
  return nullptr;
}

std::optional<Bytes> SimulatedDevice::answer(ByteView request) { return respond(request).reply; }

DeviceAnswer SimulatedDevice::respond(ByteView request) {
  const bool bootMonitor = inBootMonitor_;
  const RequestFrame frame = readRequestFrame(request, bootMonitor);
  const FaultSet faults = frame.kind == RequestKind::Malformed ? FaultSet{} : faults_.decide(frame);
  DeviceAnswer answer;
  if (faults.dropRequest) {
    logExchange(frame, faults, bootMonitor, false, std::nullopt, answer);
    return answer;
  }

  const bool repeated = lastReply_ && std::equal(request.begin(), request.end(),
                                                 lastRequest_.begin(), lastRequest_.end());
  std::optional<Reply> reply;
  if (repeated) {
    reply = lastReply_;
  } else if (faults.status && *faults.status != status::kOk) {
    // A device that answers with an error has not done what it was asked.
    reply = Reply{*faults.status, {}, std::nullopt};
  } else {
    reply = act(frame, faults);
  }
  if (reply && faults.status) reply->status = *faults.status;
  if (!reply) {
    logExchange(frame, faults, bootMonitor, repeated, std::nullopt, answer);
    return answer;
  }
  if (!repeated) {
    lastRequest_.assign(request.begin(), request.end());
    lastReply_ = reply;
  }

  if (faults.lateReply && lastReplyFrame_) answer.lateReply = lastReplyFrame_;
  if (!faults.dropReply) {
    answer.reply = buildReply(frame, *reply, faults);
    answer.delay = faults.delay;
    lastReplyFrame_ = answer.reply;
  }
  logExchange(frame, faults, bootMonitor, repeated, reply, answer);
  return answer;
}

bool SimulatedDevice::credentialsMatch(const RequestFrame& request) const {
  return request.credentials == config_.login + ":" + config_.password;
}

std::optional<SimulatedDevice::Reply> SimulatedDevice::act(const RequestFrame& request,
                                                           const FaultSet& faults) {
  switch (request.kind) {
    case RequestKind::Malformed:
      return std::nullopt;
    case RequestKind::RawRecord:
      return actOnRawRecord(request);
    default:
      break;
  }
  if (!credentialsMatch(request)) return Reply{status::kBadCredentials, {}, std::nullopt};
  switch (request.kind) {
    case RequestKind::DeviceCommand:
      return actOnDeviceCommand(request);
    case RequestKind::BusCommand:
      // The boot monitor has no bus.
      if (inBootMonitor_) return Reply{status::kFailed, {}, std::nullopt};
      return actOnBusCommand(request);
    case RequestKind::BusRecord:
      if (inBootMonitor_) return Reply{status::kFailed, {}, std::nullopt};
      return actOnBusRecord(request, faults);
    default:
      return std::nullopt;
  }
}

SimulatedDevice::Reply SimulatedDevice::actOnDeviceCommand(const RequestFrame& request) {
  switch (request.code) {
    case command::kDeviceInfo:
      return deviceInfo();
    case command::kEnterBootMonitor:
      inBootMonitor_ = true;
      return Reply{status::kOk, {}, std::nullopt};
    default:
      return Reply{status::kFailed, {}, std::nullopt};
  }
}

SimulatedDevice::Reply SimulatedDevice::deviceInfo() const {
  Reply reply{status::kOk, Bytes(kMinPayload, 0), std::nullopt};
  Bytes& payload = reply.payload;
  putLe32(payload, inPayload(device_info::kBoardId), config_.boardId);
  putLe32(payload, inPayload(device_info::kSerial), config_.serial);
  putText(payload, inPayload(device_info::kText1), config_.text1);
  putLe16(payload, inPayload(device_info::kBootVersion), config_.bootVersion);
  putText(payload, inPayload(device_info::kText2), config_.text2);
  putLe16(payload, inPayload(device_info::kProgramVersion), config_.programVersion);
  return reply;
}

SimulatedDevice::Reply SimulatedDevice::actOnBusCommand(const RequestFrame& request) {
  const Reply ok{status::kOk, {}, std::nullopt};
  SubordinateState* sub = subordinateAt(request.busAddress);
  if (!sub) return Reply{status::kNoSubordinate, {}, std::nullopt};
  switch (request.code) {
    case bus::kQuery: {
      Reply reply{status::kOk, Bytes(kBusReplyOffset + kBusQueryReplySize, 0), std::nullopt};
      const auto& value =
          config_.subordinates[static_cast<std::size_t>(sub - subordinates_.data())].savedValue;
      std::copy(value.begin(), value.end(),
                reply.payload.begin() + inPayload(bus::kSavedValueOffset));
      return reply;
    }
    case bus::kLeaveAddress:
      sub->busAddress = bus::kProgrammingAddress;
      sub->ready = false;
      sub->restored = false;
      return ok;
    case bus::kReady:
      sub->busAddress = bus::kProgrammingAddress;
      sub->ready = true;
      return ok;
    case bus::kRestoreStart:
      sub->ready = false;
      return ok;
    case bus::kHandBack:
      if (request.arguments.size() < sub->handedBack.size()) break;
      std::copy_n(request.arguments.begin(), sub->handedBack.size(), sub->handedBack.begin());
      return ok;
    case bus::kSetAddress:
      if (request.arguments.empty()) break;
      sub->busAddress = request.arguments[0];
      sub->ready = false;
      sub->restored = true;
      return ok;
    default:
      break;
  }
  return Reply{status::kFailed, {}, std::nullopt};
}

SimulatedDevice::Reply SimulatedDevice::actOnBusRecord(const RequestFrame& request,
                                                       const FaultSet& faults) {
  SubordinateState* sub = subordinateAt(request.busAddress);
  if (!sub) return Reply{status::kNoSubordinate, {}, std::nullopt};
  if (!sub->ready) return Reply{status::kSubordinateNotReady, {}, std::nullopt};

  const std::uint8_t resendByte = faults.resendByte.value_or(status::kRecordTaken);
  if (resendByte & 0x01) {
    // Asking for k records again means the subordinate has let go of them and of this one; they
    // come again, oldest first.
    const std::size_t dropped =
        std::min<std::size_t>(resendCount(resendByte), sub->recordSizes.size());
    for (std::size_t i = 0; i < dropped; ++i) {
      sub->programmedData.resize(sub->programmedData.size() - sub->recordSizes.back());
      sub->recordSizes.pop_back();
    }
    if (resendCount(resendByte) == 0) {
      sub->programmedData.insert(sub->programmedData.end(), request.arguments.begin(),
                                 request.arguments.end());
      sub->recordSizes.push_back(request.arguments.size());
    }
    sub->records = sub->recordSizes.size();
  }
  Reply reply{status::kOk, Bytes(kBusReplyOffset + 1, 0), resendByte};
  reply.payload[kBusReplyOffset] = resendByte;
  if (faults.omitResendByte) {
    reply.payload.resize(kMinPayload);
    reply.resendByte.reset();
  }
  return reply;
}

SimulatedDevice::Reply SimulatedDevice::actOnRawRecord(const RequestFrame& request) {
  programmedData_.insert(programmedData_.end(), request.arguments.begin(), request.arguments.end());
  ++programmedRecords_;
  return Reply{status::kOk, {}, std::nullopt};
}

Bytes SimulatedDevice::buildReply(const RequestFrame& request, const Reply& reply,
                                  const FaultSet& faults) const {
  Bytes payload = reply.payload;
  payload.resize(std::max(payload.size(), kMinPayload), 0);
  payload[0] = reply.status;
  // Never longer than the request; a request shorter than the minimum still gets the minimum,
  // which the program has to refuse.
  const std::size_t longest = std::max<std::size_t>(request.header.length, kMinPayload);
  if (payload.size() > longest) payload.resize(longest);
  if (faults.lengthTooShort) payload.resize(kMinPayload - 1);
  if (faults.lengthTooLong) payload.resize(static_cast<std::size_t>(request.header.length) + 1, 0);

  Bytes frame(FrameHeader::kSize + payload.size(), 0);
  std::copy(payload.begin(), payload.end(), frame.begin() + FrameHeader::kSize);
  FrameHeader header;
  header.length = static_cast<std::uint16_t>(payload.size());
  header.token = faults.sameToken ? request.header.token : ~request.header.token;
  header.sequence = request.header.sequence;
  header.write(frame);
  header.checksum = Crc16(ByteView(frame).subspan(FrameHeader::kLengthOffset));
  if (faults.badChecksum) header.checksum ^= 0x5A5A;
  header.write(frame);
  return frame;
}

void SimulatedDevice::logExchange(const RequestFrame& request, const FaultSet& faults,
                                  bool bootMonitor, bool repeated,
                                  const std::optional<Reply>& reply, const DeviceAnswer& answer) {
  ConversationEntry entry;
  entry.time = clock_();
  entry.kind = request.kind;
  entry.problem = request.problem;
  entry.token = request.header.token;
  entry.sequence = request.header.sequence;
  entry.requestLength = request.header.length;
  entry.code = request.code;
  entry.busAddress = request.busAddress;
  if (request.kind == RequestKind::BusRecord || request.kind == RequestKind::RawRecord) {
    entry.dataLength = request.arguments.size();
  }
  entry.bootMonitor = bootMonitor;
  entry.repeated = repeated;
  entry.faults = faults.applied;
  entry.delay = answer.delay;
  entry.lateReplyFirst = answer.lateReply.has_value();
  if (answer.reply && reply) {
    entry.status = (*answer.reply)[reply::kStatusOffset];
    entry.resendByte = reply->resendByte;
    entry.replyLength = getLe16(*answer.reply, FrameHeader::kLengthOffset);
  }
  log_.add(std::move(entry));
}

}  // namespace korvel
