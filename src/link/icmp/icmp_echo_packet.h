#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "common/bytes.h"

// Building and reading ICMP echo messages (RFC 792). Kept free of sockets so the byte handling
// can be tested on its own; every multi-byte field here is big-endian, as on the wire.
namespace korvel {

inline constexpr std::size_t kIcmpHeaderSize = 8;
inline constexpr std::size_t kIpv4MinHeaderSize = 20;
// The data of one echo message when the IPv4 datagram carrying it is as large as it can be.
inline constexpr std::size_t kMaxIcmpEchoData = 65535 - kIpv4MinHeaderSize - kIcmpHeaderSize;

inline constexpr std::uint8_t kIcmpEchoReply = 0;
inline constexpr std::uint8_t kIcmpEchoRequest = 8;

struct IcmpEcho {
  std::uint8_t type = 0;
  std::uint16_t identifier = 0;
  std::uint16_t sequence = 0;
  ByteView data;
};

// The Internet checksum of RFC 1071: the ones' complement of the ones' complement sum of the
// message's 16-bit words, an odd last byte padded with zero. Over a message that already holds
// its checksum it gives 0.
inline std::uint16_t icmpChecksum(ByteView message) {
  std::uint64_t sum = 0;
  std::size_t i = 0;
  for (; i + 1 < message.size(); i += 2) {
    sum += static_cast<std::uint32_t>(message[i] << 8 | message[i + 1]);
  }
  if (i < message.size()) sum += static_cast<std::uint32_t>(message[i] << 8);
  while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
  return static_cast<std::uint16_t>(~sum);
}

inline std::uint16_t icmpWord(ByteView bytes, std::size_t offset) {
  return static_cast<std::uint16_t>(bytes[offset] << 8 | bytes[offset + 1]);
}

inline void putIcmpWord(MutableByteView bytes, std::size_t offset, std::uint16_t value) {
  bytes[offset] = static_cast<std::uint8_t>(value >> 8);
  bytes[offset + 1] = static_cast<std::uint8_t>(value);
}

// Writes an echo message of the given type (code 0, checksum filled in) to the start of
// `packet`; its size, or nothing when it does not fit.
inline std::optional<std::size_t> writeIcmpEcho(MutableByteView packet, std::uint8_t type,
                                                std::uint16_t identifier, std::uint16_t sequence,
                                                ByteView data) {
  const std::size_t size = kIcmpHeaderSize + data.size();
  if (data.size() > packet.size() || packet.size() - data.size() < kIcmpHeaderSize) {
    return std::nullopt;
  }
  packet[0] = type;
  packet[1] = 0;
  putIcmpWord(packet, 2, 0);
  putIcmpWord(packet, 4, identifier);
  putIcmpWord(packet, 6, sequence);
  std::copy(data.begin(), data.end(), packet.begin() + kIcmpHeaderSize);
  putIcmpWord(packet, 2, icmpChecksum(packet.first(size)));
  return size;
}

// The echo message in `message` (an ICMP message without IP header), or nothing when it is too
// short to be one or its checksum is wrong. Any type is read; `data` views into `message`.
inline std::optional<IcmpEcho> parseIcmpEcho(ByteView message) {
  if (message.size() < kIcmpHeaderSize || icmpChecksum(message) != 0) return std::nullopt;
  return IcmpEcho{message[0], icmpWord(message, 4), icmpWord(message, 6),
                  message.subspan(kIcmpHeaderSize)};
}

// What an IPv4 datagram carries after its header (options included), as raw sockets hand
// datagrams over; nothing when the header is not a sound IPv4 header for these bytes.
inline std::optional<ByteView> ipv4Payload(ByteView datagram) {
  if (datagram.size() < kIpv4MinHeaderSize || datagram[0] >> 4 != 4) return std::nullopt;
  const std::size_t headerSize = static_cast<std::size_t>(datagram[0] & 0x0F) * 4;
  const std::size_t totalSize = icmpWord(datagram, 2);
  if (headerSize < kIpv4MinHeaderSize || totalSize < headerSize || totalSize > datagram.size()) {
    return std::nullopt;
  }
  return datagram.subspan(headerSize, totalSize - headerSize);
}

}  // namespace korvel
