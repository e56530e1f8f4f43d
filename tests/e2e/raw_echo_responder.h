#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <thread>

#include "common/bytes.h"

namespace korvel::test {

struct SeenEchoRequest {
  std::uint32_t source = 0;  // addresses in network byte order
  std::uint32_t target = 0;
  std::uint16_t identifier = 0;
  std::uint16_t sequence = 0;
  Bytes data;
};

// Sends one ICMP message (header and data, checksum as given) from `source`, any loopback
// address, to `target`: how the tests play a device, or a stranger.
void sendIcmpMessage(std::uint32_t source, std::uint32_t target, ByteView message);

// An echo message of `type` (request or reply) with a correct checksum.
Bytes echoMessage(std::uint8_t type, std::uint16_t identifier, std::uint16_t sequence,
                  ByteView data);

// Answers echo requests in the kernel's place (net.ipv4.icmp_echo_ignore_all must be 1): each
// echo request the host sees goes to `answer`, on the responder's own thread. What `answer`
// throws counts as a test failure.
class RawEchoResponder {
 public:
  using Answer = std::function<void(const SeenEchoRequest&)>;

  explicit RawEchoResponder(Answer answer);
  ~RawEchoResponder();

  RawEchoResponder(const RawEchoResponder&) = delete;
  RawEchoResponder& operator=(const RawEchoResponder&) = delete;

 private:
  void run();
  bool receive(SeenEchoRequest& request);

  int socket_;
  Answer answer_;
  std::atomic<bool> stopping_{false};
  std::thread thread_;
};

}  // namespace korvel::test
