#include "link/device_replies.h"

#include <algorithm>

namespace korvel {
namespace {

// Body offsets. The subordinate's answer follows the device's own 77 bytes.
constexpr std::size_t kStatus = 0;
constexpr std::size_t kBoardId = 1;
constexpr std::size_t kSerial = 5;
constexpr std::size_t kText1 = 9;
constexpr std::size_t kBootVersion = 41;
constexpr std::size_t kText2 = 43;
constexpr std::size_t kProgramVersion = 75;
constexpr std::size_t kSubordinateAnswer = reply::kMinLength;
constexpr std::size_t kResendByte = kSubordinateAnswer;
constexpr std::size_t kSavedValue = kSubordinateAnswer + 32;

static_assert(kProgramVersion + 2 == reply::kMinLength);

void putText(Bytes& body, std::size_t offset, const std::string& text) {
  const std::size_t size = std::min(text.size(), DeviceInfoReply::kTextSize);
  std::copy_n(text.begin(), size, body.begin() + static_cast<std::ptrdiff_t>(offset));
}

// Up to the first zero byte, and never past the field when it has none.
std::string getText(ByteView body, std::size_t offset) {
  const auto field = body.subspan(offset, DeviceInfoReply::kTextSize);
  const auto end = std::find(field.begin(), field.end(), std::uint8_t{0});
  return std::string(field.begin(), end);
}

}  // namespace

ByteView replyBody(ByteView frame) {
  return frame.subspan(FrameHeader::kSize, getLe16(frame, FrameHeader::kLengthOffset));
}

std::uint8_t replyStatus(ByteView body) { return body.empty() ? 0 : body[kStatus]; }

void putReplyStatus(MutableByteView body, std::uint8_t status) { body[kStatus] = status; }

bool replyStatusOk(ByteView body) { return !body.empty() && replyStatus(body) == reply::kStatusOk; }

Bytes DeviceInfoReply::encode() const {
  Bytes body(reply::kMinLength, 0);
  putLe32(body, kBoardId, boardId);
  putLe32(body, kSerial, serial);
  putText(body, kText1, text1);
  putLe16(body, kBootVersion, bootVersion);
  putText(body, kText2, text2);
  putLe16(body, kProgramVersion, programVersion);
  return body;
}

std::optional<DeviceInfoReply> DeviceInfoReply::parse(ByteView body) {
  if (body.size() < reply::kMinLength) return std::nullopt;
  DeviceInfoReply info;
  info.boardId = getLe32(body, kBoardId);
  info.serial = getLe32(body, kSerial);
  info.text1 = getText(body, kText1);
  info.bootVersion = getLe16(body, kBootVersion);
  info.text2 = getText(body, kText2);
  info.programVersion = getLe16(body, kProgramVersion);
  return info;
}

Bytes SubordinateQueryReply::encode() const {
  Bytes body(kSavedValue + savedValue.size(), 0);
  std::copy(savedValue.begin(), savedValue.end(), body.begin() + kSavedValue);
  return body;
}

std::optional<SubordinateQueryReply> SubordinateQueryReply::parse(ByteView body) {
  if (body.size() < kSavedValue + SavedValue{}.size()) return std::nullopt;
  SubordinateQueryReply reply;
  std::copy_n(body.begin() + kSavedValue, reply.savedValue.size(), reply.savedValue.begin());
  return reply;
}

Bytes BusRecordAck::encode() const {
  Bytes body(reply::kMinLength + (resendByte ? 1 : 0), 0);
  if (resendByte) body[kResendByte] = *resendByte;
  return body;
}

BusRecordAck BusRecordAck::parse(ByteView body) {
  if (body.size() <= kResendByte) return {};
  return {body[kResendByte]};
}

}  // namespace korvel
