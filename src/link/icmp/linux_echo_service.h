#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/bytes.h"
#include "link/echo_service.h"

namespace korvel {

// A ping socket needs no privilege but the group's entry in net.ipv4.ping_group_range; the kernel
// owns its identifier and checksum. A raw socket needs CAP_NET_RAW to be opened and sees the IP
// header; its filter lets only the echo replies of its identifier through.
enum class IcmpSocketKind { Ping, Raw };

class LinuxEchoChannel final : public EchoChannel {
 public:
  // Takes ownership of `socketFd`, an ICMP socket of `kind` that is already set up.
  LinuxEchoChannel(int socketFd, IcmpSocketKind kind, std::uint16_t identifier);
  ~LinuxEchoChannel() override;

  LinuxEchoChannel(const LinuxEchoChannel&) = delete;
  LinuxEchoChannel& operator=(const LinuxEchoChannel&) = delete;

  std::optional<std::size_t> echo(Ipv4Address targetAddress, ByteView data,
                                  MutableByteView replyData, std::uint32_t timeoutMs) override;

  EchoFailureKind lastSendFailure() const override { return lastSendFailure_; }

  IcmpSocketKind socketKind() const { return kind_; }

 private:
  using Deadline = std::chrono::steady_clock::time_point;
  enum class Received { Datagram, NoneWaiting, Failed };

  void discardWaitingDatagrams();
  bool sendRequest(Ipv4Address targetAddress, ByteView data, std::uint16_t sequence);
  std::optional<ByteView> awaitReply(Ipv4Address targetAddress, std::uint16_t sequence,
                                     Deadline deadline);
  Received receive(ByteView& datagram, Ipv4Address& sender);
  std::optional<ByteView> replyData(ByteView datagram, Ipv4Address sender,
                                    Ipv4Address targetAddress, std::uint16_t sequence) const;

  int socket_;
  IcmpSocketKind kind_;
  std::uint16_t identifier_;
  std::uint16_t nextSequence_ = 0;
  EchoFailureKind lastSendFailure_ = EchoFailureKind::None;
  // Holds the outgoing request, then the incoming datagrams: once sent, the request is not
  // needed any more. Large enough for any IPv4 datagram.
  std::vector<std::uint8_t> packet_;
};

class LinuxEchoService final : public EchoService {
 public:
  // The helper where the installation keeps it; no interface of its own.
  LinuxEchoService();
  // `icmpHelperPath`: korvel-icmp-socket, or empty for none. With an interface name, every
  // socket is bound to that interface (SO_BINDTODEVICE): the routing table no longer picks the
  // way out, and replies arriving elsewhere are not seen.
  explicit LinuxEchoService(std::string icmpHelperPath, std::string interfaceName = {});

  // A ping socket when the process's group may have one; else a raw socket of its own when the
  // process holds CAP_NET_RAW; else one from the helper.
  std::unique_ptr<EchoChannel> open(EchoFailure& failure) override;

 private:
  std::string icmpHelperPath_;
  std::string interfaceName_;
};

}  // namespace korvel
