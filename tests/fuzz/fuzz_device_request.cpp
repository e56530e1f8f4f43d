// The simulated device on arbitrary request frames, as korvel-devsim meets them from the network:
// nothing may crash, and every reply it sends back is a sound frame no longer than the request
// allows.
#include <cstdlib>

#include "device_model/simulated_device.h"
#include "fuzz_input.h"
#include "link/command_envelope.h"
#include "link/crc16.h"
#include "link/frame_header.h"

namespace korvel::fuzz {
namespace {

void check(bool condition) {
  if (!condition) std::abort();
}

// Optionally makes the frame's length field, envelope checksum and frame checksum right, so that
// the fuzzer reaches the commands behind them.
void mend(std::uint8_t control, Bytes& frame) {
  if (frame.size() < FrameHeader::kSize) return;
  if ((control & 1) != 0) {
    putLe16(frame, FrameHeader::kLengthOffset, static_cast<std::uint16_t>(frame.size() - 12));
  }
  const MutableByteView body = MutableByteView(frame).subspan(FrameHeader::kSize);
  if ((control & 2) != 0 && body.size() >= envelope::kMinLength) {
    const std::uint16_t area = getLe16(body, envelope::kAreaLengthOffset);
    const std::size_t covered = envelope::kCommandOffset - envelope::kAreaLengthOffset + area;
    if (envelope::kAreaLengthOffset + covered <= body.size()) {
      putLe16(body, envelope::kChecksumOffset,
              Crc16(body.subspan(envelope::kAreaLengthOffset, covered)));
    }
  }
  if ((control & 4) != 0) {
    putLe16(frame, FrameHeader::kChecksumOffset,
            Crc16(ByteView(frame).subspan(FrameHeader::kLengthOffset)));
  }
}

void checkReply(ByteView reply, ByteView request) {
  check(reply.size() >= FrameHeader::kSize);
  const FrameHeader header = FrameHeader::read(reply);
  const FrameHeader asked = FrameHeader::read(request);
  check(reply.size() == FrameHeader::kSize + header.length);
  check(header.length <= std::max<std::uint16_t>(asked.length, reply::kMinLength));
  check(header.checksum == Crc16(reply.subspan(FrameHeader::kLengthOffset)));
}

}  // namespace
}  // namespace korvel::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace korvel;
  fuzz::FuzzInput input(data, size);
  DeviceConfig config;
  config.startInBootMonitor = (input.byte() & 1) != 0;
  config.subordinates.push_back({5, {1, 2, 3, 4}});
  config.subordinates.push_back({254, {5, 6, 7, 8}});
  SimulatedDevice device(config);
  while (!input.empty()) {
    const std::uint8_t control = input.byte();
    const ByteView given = input.bytes(input.le16());
    Bytes frame(given.begin(), given.end());
    fuzz::mend(control, frame);
    const DeviceAnswer answer = device.respond(frame);
    if (answer.reply) fuzz::checkReply(*answer.reply, frame);
    if (answer.lateReply) fuzz::check(answer.lateReply->size() >= FrameHeader::kSize);
  }
  return 0;
}
