#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "common/bytes.h"
#include "common/ipv4_address.h"

namespace korvel {

// Why the echo facility could not be opened, in portable terms; `detail` carries the native
// text (strerror, FormatMessage) for the operator.
enum class EchoFailureKind {
  None,
  NotPermitted,  // the OS refused ICMP to this process (no ping sockets, no CAP_NET_RAW)
  Unavailable,   // any other reason the facility cannot be had
  TooLarge,      // one send refused for its size: larger than the route's MTU, don't-fragment set
};

struct EchoFailure {
  EchoFailureKind kind = EchoFailureKind::None;
  int nativeCode = 0;  // errno or the Windows error code
  std::string detail;
  // What the operator can do about it on this operating system; empty when nothing is known.
  std::string remedy;
};

// One opened handle of the operating system's ICMP echo facility.
class EchoChannel {
 public:
  virtual ~EchoChannel() = default;

  // Sends one echo request to `targetAddress` whose data is exactly `data`, with don't-fragment
  // set, and waits up to `timeoutMs` for the echo reply that answers this very request. On success
  // the reply's data is copied to the start of `replyData` and its size returned. A reply whose
  // data does not fit `replyData`, any other ICMP message, a reply to another request or from
  // another address, and a send the OS refuses all give nothing.
  virtual std::optional<std::size_t> echo(Ipv4Address targetAddress, ByteView data,
                                          MutableByteView replyData, std::uint32_t timeoutMs) = 0;

  // Why the OS refused the last send outright, when that holds for every later send too (ICMP
  // not permitted to this process, found only when sending); nothing otherwise. A facility may
  // open and still refuse: Windows' ICMP helper opens its handle before anything is sent.
  virtual const EchoFailure* refusal() const { return nullptr; }

  // Why the OS refused the last send when that says something about this send alone; `None`
  // when it went out, or was refused for no reason worth telling apart.
  virtual EchoFailureKind lastSendFailure() const { return EchoFailureKind::None; }
};

// Opens echo channels; one implementation per operating system, and the simulated device in
// tests.
class EchoService {
 public:
  virtual ~EchoService() = default;

  // A channel, or nothing with `failure` filled in.
  virtual std::unique_ptr<EchoChannel> open(EchoFailure& failure) = 0;
};

// The echo service of the operating system this program was built for.
std::unique_ptr<EchoService> makeSystemEchoService();
// The same, with every request going out of the network interface `interfaceName` and replies
// taken only from it: one port of a bench where each port's device has the same address.
std::unique_ptr<EchoService> makeInterfaceEchoService(const std::string& interfaceName);

// Why the network interface `name` cannot carry echo requests: it does not exist, it is down, or
// this system cannot choose one; nothing when it can.
std::optional<std::string> networkInterfaceProblem(const std::string& name);

}  // namespace korvel
