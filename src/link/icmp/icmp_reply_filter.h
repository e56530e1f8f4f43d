#pragma once

#include <cstdint>

// Shared by the program and korvel-icmp-socket, so it uses nothing but the system's headers.
namespace korvel {

// Narrows a raw ICMP socket to the echo replies that carry `identifier`: ICMP_FILTER lets only
// echo replies through, a socket filter keeps those with this identifier, and the filter is
// locked so that whoever holds the socket cannot widen it again. 0, or the errno of the step
// that failed.
int restrictToEchoReplies(int rawIcmpSocket, std::uint16_t identifier);

}  // namespace korvel
