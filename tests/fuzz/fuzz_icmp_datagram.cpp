// The reading of what an ICMP socket hands over: an IPv4 datagram (raw socket) or an ICMP
// message (ping socket), from anyone on the network. Views stay inside the datagram, and an echo
// message written by us reads back as written.
#include <cstdlib>

#include "fuzz_input.h"
#include "link/icmp/icmp_echo_packet.h"

namespace korvel::fuzz {
namespace {

void check(bool condition) {
  if (!condition) std::abort();
}

bool inside(ByteView part, ByteView whole) {
  return part.empty() ||
         (part.data() >= whole.data() && part.data() + part.size() <= whole.data() + whole.size());
}

}  // namespace
}  // namespace korvel::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace korvel;
  const ByteView datagram(data, size);
  if (const auto payload = ipv4Payload(datagram)) {
    fuzz::check(fuzz::inside(*payload, datagram));
    if (const auto echo = parseIcmpEcho(*payload)) fuzz::check(fuzz::inside(echo->data, *payload));
  }
  if (const auto echo = parseIcmpEcho(datagram)) fuzz::check(fuzz::inside(echo->data, datagram));

  // Round trip: the datagram's bytes as the data of an echo request of ours.
  fuzz::FuzzInput input(data, size);
  const std::uint16_t identifier = input.le16();
  const std::uint16_t sequence = input.le16();
  const ByteView echoData = input.rest();
  Bytes packet(kIcmpHeaderSize + echoData.size() + (identifier & 3));
  const auto written = writeIcmpEcho(packet, kIcmpEchoRequest, identifier, sequence, echoData);
  fuzz::check(written.has_value() && *written == kIcmpHeaderSize + echoData.size());
  const auto read = parseIcmpEcho(ByteView(packet).first(*written));
  fuzz::check(read && read->type == kIcmpEchoRequest && read->identifier == identifier &&
              read->sequence == sequence &&
              std::equal(read->data.begin(), read->data.end(), echoData.begin(), echoData.end()));
  return 0;
}
