#include "e2e/raw_echo_responder.h"

#include <linux/icmp.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <system_error>

#include <gtest/gtest.h>

#include "link/icmp/icmp_echo_packet.h"

namespace korvel::test {

namespace {

int rawIcmpSocket() {
  const int fd = ::socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
  if (fd < 0) throw std::system_error(errno, std::system_category(), "raw ICMP socket");
  return fd;
}

void passOnly(int fd, std::uint32_t typeMask) {
  icmp_filter filter{};
  filter.data = ~typeMask;
  if (::setsockopt(fd, SOL_RAW, ICMP_FILTER, &filter, sizeof filter) != 0) {
    throw std::system_error(errno, std::system_category(), "ICMP_FILTER");
  }
}

sockaddr_in addressOf(std::uint32_t address) {
  sockaddr_in socketAddress{};
  socketAddress.sin_family = AF_INET;
  socketAddress.sin_addr.s_addr = address;
  return socketAddress;
}

std::uint32_t addressAt(ByteView bytes, std::size_t offset) {
  std::uint32_t address = 0;
  std::memcpy(&address, bytes.data() + offset, sizeof address);
  return address;
}

}  // namespace

void sendIcmpMessage(std::uint32_t source, std::uint32_t target, ByteView message) {
  const int fd = rawIcmpSocket();
  passOnly(fd, 0);
  const sockaddr_in from = addressOf(source);
  const sockaddr_in to = addressOf(target);
  const bool sent =
      ::bind(fd, reinterpret_cast<const sockaddr*>(&from), sizeof from) == 0 &&
      ::sendto(fd, message.data(), message.size(), 0, reinterpret_cast<const sockaddr*>(&to),
               sizeof to) == static_cast<ssize_t>(message.size());
  const int error = errno;
  ::close(fd);
  if (!sent) throw std::system_error(error, std::system_category(), "sending an ICMP message");
}

Bytes echoMessage(std::uint8_t type, std::uint16_t identifier, std::uint16_t sequence,
                  ByteView data) {
  Bytes message(kIcmpHeaderSize + data.size());
  writeIcmpEcho(message, type, identifier, sequence, data);
  return message;
}

RawEchoResponder::RawEchoResponder(Answer answer)
    : socket_(rawIcmpSocket()), answer_(std::move(answer)) {
  passOnly(socket_, 1U << ICMP_ECHO);
  thread_ = std::thread([this] { run(); });
}

RawEchoResponder::~RawEchoResponder() {
  stopping_ = true;
  thread_.join();
  ::close(socket_);
}

void RawEchoResponder::run() {
  while (!stopping_) {
    pollfd ready{socket_, POLLIN, 0};
    if (::poll(&ready, 1, 10) <= 0) continue;
    SeenEchoRequest request;
    if (!receive(request)) continue;
    try {
      answer_(request);
    } catch (const std::exception& error) {
      ADD_FAILURE() << "echo responder: " << error.what();
    }
  }
}

bool RawEchoResponder::receive(SeenEchoRequest& request) {
  Bytes datagram(65536);
  const ssize_t size = ::recv(socket_, datagram.data(), datagram.size(), MSG_DONTWAIT);
  if (size < 0) return false;
  const ByteView received = ByteView(datagram).first(static_cast<std::size_t>(size));
  const auto message = ipv4Payload(received);
  const auto echo = message ? parseIcmpEcho(*message) : std::nullopt;
  if (!echo || echo->type != kIcmpEchoRequest) return false;
  request = {addressAt(received, 12), addressAt(received, 16), echo->identifier, echo->sequence,
             Bytes(echo->data.begin(), echo->data.end())};
  return true;
}

}  // namespace korvel::test
