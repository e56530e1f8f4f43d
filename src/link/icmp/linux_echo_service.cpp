#include "link/icmp/linux_echo_service.h"

#include <arpa/inet.h>
#include <linux/icmp.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <random>
#include <string>
#include <system_error>
#include <utility>

#include "common/texts.h"
#include "link/icmp/icmp_echo_packet.h"
#include "link/icmp/icmp_reply_filter.h"
#include "link/icmp/linux_icmp_access_facts.h"
#include "link/icmp/linux_icmp_helper.h"
#include "link/icmp/owned_fd.h"

namespace korvel {

namespace {

constexpr int kTimeToLive = 64;
constexpr std::size_t kLargestDatagram = 65536;

std::string errorText(int code) { return std::system_category().message(code); }

bool isRefusal(int code) { return code == EACCES || code == EPERM; }

EchoFailure echoFailure(int code, std::string detail) {
  return {isRefusal(code) ? EchoFailureKind::NotPermitted : EchoFailureKind::Unavailable, code,
          std::move(detail), ""};
}

// Both sockets refused: say what stands in the way here and the fix that applies.
EchoFailure refusalWithAdvice(const std::string& helperPath, int pingError, int rawError) {
  const auto advice =
      adviseIcmpAccess(readIcmpAccessFacts(helperPath, errorText(pingError), errorText(rawError)));
  return {EchoFailureKind::NotPermitted, rawError, advice.reason, advice.remedy};
}

// Owns a socket until it is handed to a channel.
bool setIntOption(int fd, int level, int name, int value) {
  return ::setsockopt(fd, level, name, &value, sizeof value) == 0;
}

// The kernel stamps a ping socket's local port into its requests as their identifier.
std::optional<std::uint16_t> bindPingSocket(int fd) {
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_addr.s_addr = htonl(INADDR_ANY);
  socklen_t size = sizeof local;
  if (::bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &size) != 0) {
    return std::nullopt;
  }
  return ntohs(local.sin_port);
}

std::uint16_t randomIdentifier() {
  std::random_device source;
  return static_cast<std::uint16_t>(source());
}

EchoFailure setupFailure(int error) {
  return echoFailure(error, text::kIcmpSocketSetupFailed + errorText(error));
}

// Before bind(): a socket bound to an address may no longer be bound to a device without
// CAP_NET_RAW.
bool bindToInterface(int fd, const std::string& interfaceName) {
  if (interfaceName.empty()) return true;
  return ::setsockopt(fd, SOL_SOCKET, SO_BINDTODEVICE, interfaceName.c_str(),
                      static_cast<socklen_t>(interfaceName.size())) == 0;
}

// `identifier`: the one a raw socket's filter already lets through; for a ping socket the
// kernel's.
std::unique_ptr<EchoChannel> setUpChannel(int fd, IcmpSocketKind kind,
                                          const std::string& interfaceName,
                                          std::optional<std::uint16_t> identifier,
                                          EchoFailure& failure) {
  OwnedFd socket(fd);
  if (!bindToInterface(fd, interfaceName)) {
    const int error = errno;
    failure =
        echoFailure(error, text::kIcmpSocketSetupFailed + interfaceName + ": " + errorText(error));
    return nullptr;
  }
  if (!setIntOption(fd, IPPROTO_IP, IP_TTL, kTimeToLive) ||
      !setIntOption(fd, IPPROTO_IP, IP_MTU_DISCOVER, IP_PMTUDISC_DO)) {
    failure = setupFailure(errno);
    return nullptr;
  }
  if (kind == IcmpSocketKind::Ping) identifier = bindPingSocket(fd);
  if (!identifier) {
    failure = setupFailure(errno);
    return nullptr;
  }
  return std::make_unique<LinuxEchoChannel>(socket.release(), kind, *identifier);
}

std::unique_ptr<EchoChannel> setUpOwnRawChannel(int fd, const std::string& interfaceName,
                                                EchoFailure& failure) {
  OwnedFd socket(fd);
  const std::uint16_t identifier = randomIdentifier();
  if (const int error = restrictToEchoReplies(fd, identifier); error != 0) {
    failure = setupFailure(error);
    return nullptr;
  }
  return setUpChannel(socket.release(), IcmpSocketKind::Raw, interfaceName, identifier, failure);
}

// Milliseconds for poll, rounded up so that a wake-up never comes before the deadline.
int pollTimeout(std::chrono::steady_clock::duration remaining) {
  const auto ms = std::chrono::ceil<std::chrono::milliseconds>(remaining).count();
  return static_cast<int>(std::clamp<decltype(ms)>(ms, 0, INT_MAX));
}

}  // namespace

LinuxEchoChannel::LinuxEchoChannel(int socketFd, IcmpSocketKind kind, std::uint16_t identifier)
    : socket_(socketFd), kind_(kind), identifier_(identifier), packet_(kLargestDatagram) {}

LinuxEchoChannel::~LinuxEchoChannel() { ::close(socket_); }

std::optional<std::size_t> LinuxEchoChannel::echo(Ipv4Address targetAddress, ByteView data,
                                                  MutableByteView replyData,
                                                  std::uint32_t timeoutMs) {
  const std::uint16_t sequence = nextSequence_++;
  lastSendFailure_ = EchoFailureKind::None;
  discardWaitingDatagrams();
  const Deadline deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  if (!sendRequest(targetAddress, data, sequence)) return std::nullopt;
  const auto reply = awaitReply(targetAddress, sequence, deadline);
  if (!reply || reply->size() > replyData.size()) return std::nullopt;
  std::copy(reply->begin(), reply->end(), replyData.begin());
  return reply->size();
}

// Whatever waits now answers no request of this call; left queued, it could fill the socket's
// receive buffer so that the kernel drops the reply we want.
void LinuxEchoChannel::discardWaitingDatagrams() {
  ByteView datagram;
  Ipv4Address sender;
  while (receive(datagram, sender) == Received::Datagram) {
  }
}

bool LinuxEchoChannel::sendRequest(Ipv4Address targetAddress, ByteView data,
                                   std::uint16_t sequence) {
  if (data.size() > kMaxIcmpEchoData) return false;
  const auto size = writeIcmpEcho(packet_, kIcmpEchoRequest, identifier_, sequence, data);
  if (!size) return false;
  sockaddr_in target{};
  target.sin_family = AF_INET;
  target.sin_addr.s_addr = targetAddress.networkOrder();
  ssize_t sent = 0;
  do {
    sent = ::sendto(socket_, packet_.data(), *size, 0, reinterpret_cast<const sockaddr*>(&target),
                    sizeof target);
  } while (sent < 0 && errno == EINTR);
  // Don't-fragment and a route whose MTU is smaller: the same request would be refused again.
  if (sent < 0 && errno == EMSGSIZE) lastSendFailure_ = EchoFailureKind::TooLarge;
  return sent == static_cast<ssize_t>(*size);
}

std::optional<ByteView> LinuxEchoChannel::awaitReply(Ipv4Address targetAddress,
                                                     std::uint16_t sequence, Deadline deadline) {
  for (;;) {
    ByteView datagram;
    Ipv4Address sender;
    Received received;
    while ((received = receive(datagram, sender)) == Received::Datagram) {
      if (auto data = replyData(datagram, sender, targetAddress, sequence)) return data;
    }
    if (received == Received::Failed) return std::nullopt;

    const auto remaining = deadline - std::chrono::steady_clock::now();
    if (remaining <= std::chrono::steady_clock::duration::zero()) return std::nullopt;
    pollfd ready{socket_, POLLIN, 0};
    if (::poll(&ready, 1, pollTimeout(remaining)) < 0 && errno != EINTR) return std::nullopt;
  }
}

LinuxEchoChannel::Received LinuxEchoChannel::receive(ByteView& datagram, Ipv4Address& sender) {
  sockaddr_in from{};
  socklen_t fromSize = sizeof from;
  ssize_t size = 0;
  do {
    size = ::recvfrom(socket_, packet_.data(), packet_.size(), MSG_DONTWAIT | MSG_TRUNC,
                      reinterpret_cast<sockaddr*>(&from), &fromSize);
  } while (size < 0 && errno == EINTR);
  if (size < 0) {
    return errno == EAGAIN || errno == EWOULDBLOCK ? Received::NoneWaiting : Received::Failed;
  }
  // MSG_TRUNC reports a datagram's full size; one that was cut off is handed on as empty, which
  // nothing accepts.
  const auto fullSize = static_cast<std::size_t>(size);
  datagram = ByteView(packet_).first(fullSize <= packet_.size() ? fullSize : 0);
  sender = from.sin_family == AF_INET ? Ipv4Address::fromNetworkOrder(from.sin_addr.s_addr)
                                      : Ipv4Address();
  return Received::Datagram;
}

std::optional<ByteView> LinuxEchoChannel::replyData(ByteView datagram, Ipv4Address sender,
                                                    Ipv4Address targetAddress,
                                                    std::uint16_t sequence) const {
  if (sender != targetAddress) return std::nullopt;
  const auto message =
      kind_ == IcmpSocketKind::Raw ? ipv4Payload(datagram) : std::optional<ByteView>(datagram);
  if (!message) return std::nullopt;
  const auto reply = parseIcmpEcho(*message);
  if (!reply || reply->type != kIcmpEchoReply || reply->identifier != identifier_ ||
      reply->sequence != sequence) {
    return std::nullopt;
  }
  return reply->data;
}

LinuxEchoService::LinuxEchoService() : LinuxEchoService(installedIcmpHelperPath()) {}

LinuxEchoService::LinuxEchoService(std::string icmpHelperPath, std::string interfaceName)
    : icmpHelperPath_(std::move(icmpHelperPath)), interfaceName_(std::move(interfaceName)) {}

std::unique_ptr<EchoChannel> LinuxEchoService::open(EchoFailure& failure) {
  if (const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_ICMP); fd >= 0) {
    return setUpChannel(fd, IcmpSocketKind::Ping, interfaceName_, std::nullopt, failure);
  }
  // Any reason the ping socket is refused (usually a group outside ping_group_range) leaves the
  // raw socket worth a try; when that fails too, its error is the one that decides.
  const int pingError = errno;
  if (const int fd = ::socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP); fd >= 0) {
    return setUpOwnRawChannel(fd, interfaceName_, failure);
  }
  int rawError = errno;
  if (isRefusal(rawError) && !icmpHelperPath_.empty()) {
    const std::uint16_t identifier = randomIdentifier();
    const HelperSocket handed = icmpSocketFromHelper(icmpHelperPath_, identifier);
    if (handed.fd >= 0) {
      return setUpChannel(handed.fd, IcmpSocketKind::Raw, interfaceName_, identifier, failure);
    }
    rawError = handed.error;
  }
  failure = isRefusal(rawError)
                ? refusalWithAdvice(icmpHelperPath_, pingError, rawError)
                : echoFailure(rawError, text::kIcmpSocketFailed + errorText(rawError));
  return nullptr;
}

std::unique_ptr<EchoService> makeSystemEchoService() {
  return std::make_unique<LinuxEchoService>();
}

std::unique_ptr<EchoService> makeInterfaceEchoService(const std::string& interfaceName) {
  return std::make_unique<LinuxEchoService>(installedIcmpHelperPath(), interfaceName);
}

}  // namespace korvel
