#include <algorithm>

#include "link/device_protocol.h"
#include "link/frame_header.h"
#include "programming/device_programmer.h"

namespace korvel {
namespace {

constexpr int kEnterAttempts = 16;
constexpr std::uint32_t kAfterFailedEnterMs = 222;
// The boot monitor needs this long after the hand-over before it takes the first record.
constexpr std::uint32_t kBootMonitorStartMs = 2000;

}  // namespace

bool DeviceProgrammer::enterBootMonitor() {
  openLink(true);
  if (panel_.viaBoot()) return pauseUnlessStopped(kBootMonitorStartMs);
  std::optional<ByteView> reply;
  if (link_) {
    const std::uint8_t command[] = {command::kEnterBootMonitor};
    for (int attempt = 0; attempt < kEnterAttempts && !reply; ++attempt) {
      reply = sendCommand(command, 1);
      if (reply) break;
      reportFailedAttempt(Request::EnterBootMonitor, attempt, kEnterAttempts);
      if (!pauseUnlessStopped(kAfterFailedEnterMs)) return false;
    }
  }
  return isGood(reply) && pauseUnlessStopped(kBootMonitorStartMs);
}

bool DeviceProgrammer::sendRawRecord(ByteView payload) {
  if (!link_ || payload.size() > kMaxBootRecord) return false;
  Bytes frame(FrameHeader::kSize + payload.size(), 0);
  FrameHeader header;
  header.length = static_cast<std::uint16_t>(payload.size());
  header.write(frame);
  std::copy(payload.begin(), payload.end(), frame.begin() + FrameHeader::kSize);
  return isGood(link_->request(frame, kTimeoutMs, kEchoAttempts));
}

}  // namespace korvel
