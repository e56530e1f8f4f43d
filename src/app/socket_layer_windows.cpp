#include <winsock2.h>

#include "app/socket_layer.h"

namespace korvel {
namespace {

constexpr WORD kVersion11 = MAKEWORD(1, 1);

}  // namespace

// Only version 1.1 itself will do; a layer that grants another version is released again.
bool SocketLayer::start() {
  WSADATA data{};
  if (WSAStartup(kVersion11, &data) != 0) return false;
  if (data.wVersion != kVersion11) {
    WSACleanup();
    WSASetLastError(WSAVERNOTSUPPORTED);
    return false;
  }
  started_ = true;
  return true;
}

SocketLayer::~SocketLayer() {
  if (started_) WSACleanup();
}

}  // namespace korvel
