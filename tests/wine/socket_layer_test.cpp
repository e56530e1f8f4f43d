#include "link/socket_layer.h"

#include <winsock2.h>

#include <gtest/gtest.h>

namespace korvel {
namespace {

bool canOpenASocket() {
  const SOCKET probe = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
  if (probe == INVALID_SOCKET) return false;
  ::closesocket(probe);
  return true;
}

TEST(SocketLayerTest, SocketsWorkBetweenStartAndStop) {
  ASSERT_FALSE(canOpenASocket());
  EXPECT_EQ(::WSAGetLastError(), WSANOTINITIALISED);
  ASSERT_TRUE(startSocketLayer());
  EXPECT_TRUE(canOpenASocket());
  stopSocketLayer();
  EXPECT_FALSE(canOpenASocket());
}

}  // namespace
}  // namespace korvel
