// korvel-icmp-socket: the one file of Korvel that the package gives cap_net_raw. Started by
// korvel or korvel-cli where ping sockets are closed, it opens one raw ICMP socket, narrows it to
// the echo replies of one identifier, gives up every capability, hands the socket over the UNIX
// socket it finds on descriptor 3 and exits. It reads no environment, file or configuration.
//
// usage: korvel-icmp-socket IDENTIFIER     (descriptor 3: a UNIX socket to the program)
//
// Over descriptor 3 goes one message: a 32-bit status (0, or the errno of the step that failed)
// carrying the socket with SCM_RIGHTS when the status is 0.
#include <linux/capability.h>
#include <netinet/in.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "link/icmp/icmp_reply_filter.h"

namespace {

constexpr int kProgramSocket = 3;

int refuse(const char* why) {
  std::fprintf(stderr, "korvel-icmp-socket: %s\n", why);
  return 2;
}

bool parseIdentifier(std::string_view text, std::uint16_t& identifier) {
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), identifier);
  return !text.empty() && error == std::errc() && end == text.data() + text.size();
}

bool isUnixSocket(int fd) {
  int domain = 0;
  socklen_t size = sizeof domain;
  return ::getsockopt(fd, SOL_SOCKET, SO_DOMAIN, &domain, &size) == 0 && domain == AF_UNIX;
}

// The socket is open: nothing after this needs a privilege, and nothing exec'd later may get one.
bool dropEveryCapability() {
  __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct none[_LINUX_CAPABILITY_U32S_3] = {};
  return ::syscall(SYS_capset, &header, none) == 0 && ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0;
}

bool handOver(std::int32_t status, int icmpSocket) {
  iovec part{&status, sizeof status};
  msghdr message{};
  message.msg_iov = &part;
  message.msg_iovlen = 1;
  alignas(cmsghdr) char control[CMSG_SPACE(sizeof icmpSocket)] = {};
  if (status == 0) {
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    cmsghdr* rights = CMSG_FIRSTHDR(&message);
    rights->cmsg_level = SOL_SOCKET;
    rights->cmsg_type = SCM_RIGHTS;
    rights->cmsg_len = CMSG_LEN(sizeof icmpSocket);
    std::memcpy(CMSG_DATA(rights), &icmpSocket, sizeof icmpSocket);
  }
  ssize_t sent = 0;
  do {
    sent = ::sendmsg(kProgramSocket, &message, MSG_NOSIGNAL);
  } while (sent < 0 && errno == EINTR);
  return sent == static_cast<ssize_t>(sizeof status);
}

}  // namespace

int main(int argc, char** argv) {
  std::uint16_t identifier = 0;
  if (argc != 2 || !parseIdentifier(argv[1], identifier)) {
    return refuse("usage: korvel-icmp-socket IDENTIFIER (0 to 65535), started by korvel");
  }
  if (!isUnixSocket(kProgramSocket)) {
    return refuse("no UNIX socket on descriptor 3 to hand the ICMP socket to; korvel starts it");
  }
  const int icmpSocket = ::socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
  int status = icmpSocket < 0 ? errno : 0;
  if (!dropEveryCapability()) {
    std::fprintf(stderr, "korvel-icmp-socket: cannot give up its capabilities: %s\n",
                 std::strerror(errno));
    return 1;
  }
  if (status == 0) status = korvel::restrictToEchoReplies(icmpSocket, identifier);
  const bool handed = handOver(status, icmpSocket);
  if (status != 0) {
    std::fprintf(stderr, "korvel-icmp-socket: no raw ICMP socket: %s\n", std::strerror(status));
    return 1;
  }
  if (!handed) {
    std::fprintf(stderr, "korvel-icmp-socket: cannot hand the socket over: %s\n",
                 std::strerror(errno));
    return 1;
  }
  return 0;
}
