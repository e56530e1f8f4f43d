#pragma once

#include <cstdint>
#include <string>

// korvel-icmp-socket, the small program that alone holds cap_net_raw: started with a UNIX socket
// on its descriptor 3, it hands back one raw ICMP socket narrowed to the echo replies of one
// identifier, and exits.
namespace korvel {

struct HelperSocket {
  int fd = -1;    // a raw ICMP socket, owned by the caller; -1 when none came
  int error = 0;  // why none came: the helper's errno, or the one of starting it
};

HelperSocket icmpSocketFromHelper(const std::string& helperPath, std::uint16_t identifier);

// Where the installation keeps the helper, seen from this process's executable; empty when there
// is no such file.
std::string installedIcmpHelperPath();

}  // namespace korvel
