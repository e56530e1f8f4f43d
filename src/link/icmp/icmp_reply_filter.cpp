#include "link/icmp/icmp_reply_filter.h"

#include <linux/filter.h>
#include <linux/icmp.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cerrno>
#include <iterator>

namespace korvel {

namespace {

// Without a filter every raw ICMP socket of the host wakes for every echo reply; with many
// devices at once that cost grows with the square of their number.
int attachIdentifierFilter(int fd, std::uint16_t identifier) {
  // A raw socket's filter sees the datagram from its IPv4 header on.
  sock_filter code[] = {
      BPF_STMT(BPF_LDX | BPF_B | BPF_MSH, 0),  // x = IPv4 header size
      BPF_STMT(BPF_LD | BPF_B | BPF_IND, 0),   // ICMP type
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, ICMP_ECHOREPLY, 0, 3),
      BPF_STMT(BPF_LD | BPF_H | BPF_IND, 4),  // ICMP identifier
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, identifier, 0, 1),
      BPF_STMT(BPF_RET | BPF_K, 0xFFFFFFFF),  // the whole datagram
      BPF_STMT(BPF_RET | BPF_K, 0),
  };
  const sock_fprog program{static_cast<unsigned short>(std::size(code)), code};
  return ::setsockopt(fd, SOL_SOCKET, SO_ATTACH_FILTER, &program, sizeof program) == 0 ? 0 : errno;
}

}  // namespace

int restrictToEchoReplies(int rawIcmpSocket, std::uint16_t identifier) {
  icmp_filter types{};
  types.data = ~(1U << ICMP_ECHOREPLY);
  if (::setsockopt(rawIcmpSocket, SOL_RAW, ICMP_FILTER, &types, sizeof types) != 0) return errno;
  if (const int error = attachIdentifierFilter(rawIcmpSocket, identifier); error != 0) return error;
  const int locked = 1;
  if (::setsockopt(rawIcmpSocket, SOL_SOCKET, SO_LOCK_FILTER, &locked, sizeof locked) != 0) {
    return errno;
  }
  return 0;
}

}  // namespace korvel
