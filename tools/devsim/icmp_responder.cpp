#include "icmp_responder.h"

#include <arpa/inet.h>
#include <linux/icmp.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iostream>
#include <system_error>

#include "link/icmp/icmp_echo_packet.h"

namespace korvel::devsim {
namespace {

constexpr std::size_t kLargestDatagram = 65536;

std::string errorText(int code) { return std::system_category().message(code); }

std::string addressText(std::uint32_t networkOrder) {
  char text[INET_ADDRSTRLEN] = {};
  in_addr address{};
  address.s_addr = networkOrder;
  ::inet_ntop(AF_INET, &address, text, sizeof text);
  return text;
}

std::uint32_t addressAt(ByteView datagram, std::size_t offset) {
  std::uint32_t address = 0;
  std::memcpy(&address, datagram.data() + offset, sizeof address);
  return address;
}

bool writeFile(const std::filesystem::path& path, const Bytes& bytes, std::string& error) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  if (!out) error = "cannot write " + path.string();
  return static_cast<bool>(out);
}

}  // namespace

IcmpResponder::IcmpResponder(std::vector<DeviceSetup> setups, JsonLog* log,
                             std::chrono::milliseconds maxDelay)
    : log_(log), maxDelay_(maxDelay), buffer_(kLargestDatagram), packet_(kLargestDatagram) {
  for (auto& setup : setups) {
    Device device;
    device.model = std::make_unique<SimulatedDevice>(setup.config);
    device.model->faults().reseed(setup.seed);
    for (const auto& rule : setup.faults) device.model->faults().add(rule);
    device.setup = std::move(setup);
    devices_.push_back(std::move(device));
  }
}

IcmpResponder::~IcmpResponder() {
  if (socket_ >= 0) ::close(socket_);
}

bool IcmpResponder::open(std::string& error) {
  socket_ = ::socket(AF_INET, SOCK_RAW | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_ICMP);
  if (socket_ < 0) {
    const int code = errno;
    error =
        "cannot open a raw ICMP socket: " + errorText(code) +
        (code == EPERM || code == EACCES
             ? " (korvel-devsim needs CAP_NET_RAW: run it as root, or through scripts/with-devsim)"
             : "");
    return false;
  }
  // Only echo requests, not the replies we send ourselves nor anything else of the host.
  icmp_filter filter{};
  filter.data = ~(1U << ICMP_ECHO);
  if (::setsockopt(socket_, SOL_RAW, ICMP_FILTER, &filter, sizeof filter) != 0) {
    error = "cannot filter the raw ICMP socket: " + errorText(errno);
    return false;
  }
  return true;
}

bool IcmpResponder::run(const volatile std::sig_atomic_t& stop, std::string& error) {
  sigset_t waitMask;
  ::sigprocmask(SIG_SETMASK, nullptr, &waitMask);
  ::sigdelset(&waitMask, SIGINT);
  ::sigdelset(&waitMask, SIGTERM);
  while (!stop) {
    sendDue();
    timespec wait{};
    const timespec* timeout = nullptr;
    if (!outgoing_.empty()) {
      const auto left = std::max(outgoing_.top().due - std::chrono::steady_clock::now(),
                                 std::chrono::steady_clock::duration::zero());
      const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
      wait.tv_sec = static_cast<time_t>(ns / 1000000000);
      wait.tv_nsec = static_cast<long>(ns % 1000000000);
      timeout = &wait;
    }
    pollfd readable{socket_, POLLIN, 0};
    const int ready = ::ppoll(&readable, 1, timeout, &waitMask);
    if (ready < 0) {
      if (errno == EINTR) continue;
      error = "waiting for echo requests failed: " + errorText(errno);
      return false;
    }
    if (ready > 0) receiveWaiting();
  }
  return true;
}

void IcmpResponder::receiveWaiting() {
  for (;;) {
    sockaddr_in from{};
    iovec data{buffer_.data(), buffer_.size()};
    msghdr message{};
    message.msg_name = &from;
    message.msg_namelen = sizeof from;
    message.msg_iov = &data;
    message.msg_iovlen = 1;
    const ssize_t size = ::recvmsg(socket_, &message, MSG_DONTWAIT);
    if (size < 0) {
      if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
        std::cerr << "korvel-devsim: receiving failed: " << errorText(errno) << '\n';
      }
      return;
    }
    if (message.msg_flags & MSG_TRUNC) continue;
    handleDatagram(ByteView(buffer_.data(), static_cast<std::size_t>(size)));
  }
}

void IcmpResponder::handleDatagram(ByteView datagram) {
  // A raw socket hands over the whole datagram, IP header first.
  const auto icmp = ipv4Payload(datagram);
  if (!icmp) return;
  Device* device = deviceAt(addressAt(datagram, 16));
  if (!device) return;
  const auto echo = parseIcmpEcho(*icmp);  // also checks the ICMP checksum
  if (!echo || echo->type != kIcmpEchoRequest || (*icmp)[1] != 0) return;
  const std::uint32_t peer = addressAt(datagram, 12);

  const EchoContext context{device->setup.addressText, addressText(peer), echo->identifier,
                            echo->sequence};
  const std::size_t logged = device->model->log().size();
  const DeviceAnswer answer = device->model->respond(echo->data);
  if (log_) {
    for (std::size_t i = logged; i < device->model->log().size(); ++i) {
      log_->write(device->model->log()[i], context);
    }
  }
  device->model->log().clear();

  const auto now = std::chrono::steady_clock::now();
  const std::uint32_t from = device->setup.address;
  if (answer.lateReply && device->answeredBefore) {
    send({now, sent_++, from, device->lastPeer, device->lastIdentifier, device->lastSequence,
          *answer.lateReply});
  }
  if (!answer.reply) return;
  device->answeredBefore = true;
  device->lastPeer = peer;
  device->lastIdentifier = echo->identifier;
  device->lastSequence = echo->sequence;
  Outgoing reply{now + std::min(answer.delay, maxDelay_),
                 sent_++,
                 from,
                 peer,
                 echo->identifier,
                 echo->sequence,
                 *answer.reply};
  if (answer.delay.count() > 0) {
    outgoing_.push(std::move(reply));
  } else {
    send(reply);
  }
}

void IcmpResponder::sendDue() {
  const auto now = std::chrono::steady_clock::now();
  while (!outgoing_.empty() && outgoing_.top().due <= now) {
    send(outgoing_.top());
    outgoing_.pop();
  }
}

void IcmpResponder::send(const Outgoing& reply) {
  const auto size =
      writeIcmpEcho(packet_, kIcmpEchoReply, reply.identifier, reply.sequence, reply.frame);
  if (!size) return;
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_addr.s_addr = reply.to;
  iovec data{packet_.data(), *size};
  // Without this the kernel would send from 127.0.0.1, and the program rightly takes no reply
  // from an address it did not ask.
  alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))] = {};
  msghdr message{};
  message.msg_name = &to;
  message.msg_namelen = sizeof to;
  message.msg_iov = &data;
  message.msg_iovlen = 1;
  message.msg_control = control;
  message.msg_controllen = sizeof control;
  cmsghdr* header = CMSG_FIRSTHDR(&message);
  header->cmsg_level = IPPROTO_IP;
  header->cmsg_type = IP_PKTINFO;
  header->cmsg_len = CMSG_LEN(sizeof(in_pktinfo));
  in_pktinfo info{};
  info.ipi_spec_dst.s_addr = reply.from;
  std::memcpy(CMSG_DATA(header), &info, sizeof info);
  if (::sendmsg(socket_, &message, 0) < 0) {
    std::cerr << "korvel-devsim: sending a reply to " << addressText(reply.to)
              << " failed: " << errorText(errno) << '\n';
  }
}

IcmpResponder::Device* IcmpResponder::deviceAt(std::uint32_t address) {
  for (auto& device : devices_) {
    if (device.setup.address == address) return &device;
  }
  return nullptr;
}

bool IcmpResponder::writeDumps(const std::filesystem::path& folder, std::string& error) const {
  std::error_code ignored;
  std::filesystem::create_directories(folder, ignored);
  for (const auto& device : devices_) {
    const std::string name = device.setup.addressText;
    if (!writeFile(folder / (name + ".bin"), device.model->programmedData(), error)) return false;
    for (const auto& sub : device.model->subordinates()) {
      const auto file = folder / (name + "-sub" + std::to_string(sub.homeAddress) + ".bin");
      if (!writeFile(file, sub.programmedData, error)) return false;
    }
  }
  return true;
}

}  // namespace korvel::devsim
