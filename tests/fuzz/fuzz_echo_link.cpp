// EchoLink::request against replies taken from the fuzzer's input: whatever comes back, a reply
// the link hands on passes all of its tests and lies within the reply, and nothing is read or
// written outside a buffer.
#include <cstdlib>

#include "fuzzed_echo_service.h"
#include "link/echo_link.h"

namespace korvel::fuzz {
namespace {

constexpr std::uint32_t kToken = 0x6B0F3A51;

void check(bool condition) {
  if (!condition) std::abort();
}

void checkReply(ByteView reply, std::uint16_t requestLength) {
  check(reply.size() >= FrameHeader::kSize);
  const FrameHeader header = FrameHeader::read(reply);
  check(reply.size() == FrameHeader::kSize + header.length);
  check(header.length >= reply::kMinLength && header.length <= requestLength);
  check(header.token == static_cast<std::uint32_t>(~kToken));
  check(header.checksum == Crc16(reply.subspan(FrameHeader::kLengthOffset)));
}

// One request: a frame whose length field may disagree with its size, sent a fuzzed number of
// times (none or negative included).
void fuzzOneRequest(EchoLink& link, FuzzInput& input) {
  const std::uint8_t shape = input.byte();
  // Mostly frames of the sizes the procedures send; now and then any size, wrapping included.
  const std::uint16_t declared =
      (shape & 2) != 0 ? input.le16() : static_cast<std::uint16_t>(input.le16() % 1200);
  std::size_t size = FrameHeader::kSize + declared;
  if ((shape & 1) != 0) size = input.le16() % (FrameHeader::kSize + 0x10000);
  const auto attempts = static_cast<std::int32_t>(shape >> 5) - 1;
  Bytes frame(size, 0x5A);
  if (frame.size() >= FrameHeader::kSize) putLe16(frame, FrameHeader::kLengthOffset, declared);

  const std::uint32_t before = link.sequence();
  const auto reply = link.request(frame, 1000, attempts);
  check(link.sequence() == before + (reply ? 1 : 0));
  if (reply) checkReply(*reply, declared);
}

}  // namespace
}  // namespace korvel::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace korvel;
  fuzz::FuzzInput input(data, size);
  fuzz::FuzzedEchoService service(input);
  EchoLink link(service, Ipv4Address::fromHostOrder(0x7F000002), fuzz::kToken);
  // A few requests on one link, so that the reply buffer grows and is reused.
  const int requests = 1 + input.byte() % 4;
  for (int i = 0; i < requests; ++i) fuzz::fuzzOneRequest(link, input);
  return 0;
}
