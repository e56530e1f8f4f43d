#include <winsock2.h>

#include "link/socket_layer.h"

namespace korvel {

bool startSocketLayer() {
  constexpr WORD kVersion11 = MAKEWORD(1, 1);
  WSADATA data{};
  if (::WSAStartup(kVersion11, &data) != 0) return false;
  if (data.wVersion != kVersion11) {
    ::WSACleanup();
    ::WSASetLastError(WSAVERNOTSUPPORTED);
    return false;
  }
  return true;
}

void stopSocketLayer() { ::WSACleanup(); }

}  // namespace korvel
