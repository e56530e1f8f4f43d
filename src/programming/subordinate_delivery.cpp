#include "link/bus_command.h"
#include "link/device_protocol.h"
#include "link/device_replies.h"
#include "programming/device_programmer.h"

namespace korvel {
namespace {

constexpr int kRecordAttempts = 20;
constexpr std::uint32_t kAfterFailedRecordMs = 100;
constexpr std::uint32_t kBeforeRecordMs = 10;
// Room for the subordinate's answer behind the forwarded record.
constexpr std::uint32_t kRecordAreaExtra = 60 + bus::kHeaderSize;

}  // namespace

int DeviceProgrammer::sendBusRecord(std::uint8_t type, ByteView payload) {
  if (payload.size() > kMaxBusRecord) return -1;
  const Bytes command = busCommand(bus::kProgrammingAddress, type, payload);
  const auto area = static_cast<std::uint32_t>(payload.size()) + kRecordAreaExtra;
  for (int attempt = 0; attempt < kRecordAttempts; ++attempt) {
    const auto reply = sendCommand(command, area);
    // Refused for its size: every further attempt would be too.
    if (!reply && link_ && link_->lastSendTooLarge()) return -1;
    if (isGood(reply)) {
      const BusRecordAck ack = BusRecordAck::parse(replyBody(*reply));
      if (ack.taken()) return static_cast<int>(ack.resendCount());
    }
    reportFailedAttempt(Request::BusRecord, attempt, kRecordAttempts);
    if (!pauseUnlessStopped(kAfterFailedRecordMs)) return -1;
  }
  return -1;
}

bool DeviceProgrammer::deliverRecord(std::uint8_t type, ByteView payload) {
  if (!link_) return false;
  const unsigned resendable = ring_.inOrder;  // of the records before this one
  const bool stored = ring_.store(type, payload);
  if (!pauseUnlessStopped(kBeforeRecordMs)) return false;
  const int wanted = sendBusRecord(type, payload);
  if (wanted < 0) return false;
  // Sending only some of the wanted records would leave a gap that the subordinate then
  // acknowledges as whole.
  if (static_cast<unsigned>(wanted) > resendable) return false;
  if (wanted == 0) return true;
  report(ResendRequested{static_cast<unsigned>(wanted)});
  return resendFromRing(static_cast<unsigned>(wanted), type, payload, stored);
}

// Sends again the `count` records before the current one, oldest first, then the current one.
// Slots that never held a record are passed over; a record too long for the ring comes from the
// caller's buffer. Each must be taken as it is: a resend that goes unacknowledged, or is answered
// with a further resend request, leaves the subordinate without a record it has let go of, so
// the delivery fails rather than carry on as if the image were whole.
bool DeviceProgrammer::resendFromRing(unsigned count, std::uint8_t type, ByteView payload,
                                      bool stored) {
  const unsigned fromRing = stored ? count + 1 : count;
  ring_.moveBack(fromRing);
  bool taken = true;
  for (unsigned i = 0; i < fromRing; ++i) {
    const ResendSlot& slot = ring_.current();
    if (taken && slot.used) taken = sendBusRecord(slot.type, slot.payload()) == 0;
    ring_.advance();
  }
  if (taken && !stored) taken = sendBusRecord(type, payload) == 0;
  return taken;
}

}  // namespace korvel
