#include "device_model/simulated_device.h"

#include <algorithm>
#include <string>

#include "device_model/device_status.h"
#include "link/bus_command.h"
#include "link/device_protocol.h"
#include "link/device_replies.h"
#include "link/frame_header.h"
#include "link/frame_seal.h"

namespace korvel {
namespace {

namespace status = device_status;

constexpr std::size_t kMinPayload = reply::kMinLength;

// Room for `bytes` more, written once now: the memory is the process's from then on.
void setAside(Bytes& store, std::size_t bytes) {
  store.resize(bytes);
  store.clear();
}

std::chrono::nanoseconds steadyNow() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
      std::chrono::steady_clock::now().time_since_epoch());
}

}  // namespace

SimulatedDevice::SimulatedDevice(DeviceConfig config)
    : config_(std::move(config)), clock_(steadyNow), inBootMonitor_(config_.startInBootMonitor) {
  setAside(programmedData_, config_.storeReserve);
  for (const auto& sub : config_.subordinates) {
    SubordinateState state;
    state.homeAddress = sub.address;
    state.busAddress = sub.address;
    setAside(state.programmedData, config_.storeReserve);
    subordinates_.push_back(std::move(state));
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
  // A repeat gets the first answer again: the device has done what it was asked, and saying
  // otherwise now would make the program send it once more.
  if (reply && faults.status && !repeated) reply->status = *faults.status;
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
  const DeviceInfoReply info{config_.boardId,     config_.serial, config_.text1,
                             config_.bootVersion, config_.text2,  config_.programVersion};
  return Reply{status::kOk, info.encode(), std::nullopt};
}

SimulatedDevice::Reply SimulatedDevice::actOnBusCommand(const RequestFrame& request) {
  const Reply ok{status::kOk, {}, std::nullopt};
  SubordinateState* sub = subordinateAt(request.busAddress);
  if (!sub) return Reply{status::kNoSubordinate, {}, std::nullopt};
  switch (request.code) {
    case bus::kQuery: {
      const auto& value =
          config_.subordinates[static_cast<std::size_t>(sub - subordinates_.data())].savedValue;
      return Reply{status::kOk, SubordinateQueryReply{value}.encode(), std::nullopt};
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

  const BusRecordAck ack{faults.resendByte.value_or(BusRecordAck::kTaken)};
  if (ack.taken()) {
    // Asking for k records again means the subordinate has let go of them and of this one; they
    // come again, oldest first.
    const std::size_t dropped = std::min<std::size_t>(ack.resendCount(), sub->recordSizes.size());
    for (std::size_t i = 0; i < dropped; ++i) {
      sub->programmedData.resize(sub->programmedData.size() - sub->recordSizes.back());
      sub->recordSizes.pop_back();
    }
    if (ack.resendCount() == 0) {
      sub->programmedData.insert(sub->programmedData.end(), request.arguments.begin(),
                                 request.arguments.end());
      sub->recordSizes.push_back(request.arguments.size());
    }
    sub->records = sub->recordSizes.size();
  }
  // A device that leaves the byte out means the record was taken.
  const BusRecordAck sent = faults.omitResendByte ? BusRecordAck{} : ack;
  return Reply{status::kOk, sent.encode(), sent.resendByte};
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
  putReplyStatus(payload, reply.status);
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
  sealFrame(frame);
  if (faults.badChecksum) {
    header = FrameHeader::read(frame);
    header.checksum ^= 0x5A5A;
    header.write(frame);
  }
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
    const FrameHeader header = FrameHeader::read(*answer.reply);
    entry.status = replyStatus(ByteView(*answer.reply).subspan(FrameHeader::kSize));
    entry.resendByte = reply->resendByte;
    entry.replyLength = header.length;
  }
  log_.add(std::move(entry));
}

}  // namespace korvel
