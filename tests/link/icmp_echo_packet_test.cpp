#include "link/icmp/icmp_echo_packet.h"

#include <gtest/gtest.h>

#include <numeric>
#include <utility>

namespace korvel {
namespace {

// The textbook form, folding the carry back in after every word; the function under test folds
// once at the end, so the two agree only if no carry is lost.
std::uint16_t checksumFoldingEachWord(ByteView bytes) {
  std::uint32_t sum = 0;
  for (std::size_t i = 0; i < bytes.size(); i += 2) {
    const std::uint32_t low = i + 1 < bytes.size() ? bytes[i + 1] : 0;
    sum += static_cast<std::uint32_t>(bytes[i]) << 8 | low;
    sum = (sum & 0xFFFF) + (sum >> 16);
  }
  return static_cast<std::uint16_t>(~sum);
}

Bytes counting(std::size_t size, std::uint8_t start) {
  Bytes bytes(size);
  std::iota(bytes.begin(), bytes.end(), start);
  return bytes;
}

TEST(IcmpChecksumTest, KnownValues) {
  const Bytes rfc1071Example{0x00, 0x01, 0xF2, 0x03, 0xF4, 0xF5, 0xF6, 0xF7};
  EXPECT_EQ(icmpChecksum(rfc1071Example), 0x220D);
  EXPECT_EQ(icmpChecksum({}), 0xFFFF);
  const Bytes oddByte{0xAB};
  EXPECT_EQ(icmpChecksum(oddByte), 0x54FF);
}

TEST(IcmpChecksumTest, OddLengthIsPaddedWithZero) {
  const Bytes odd = counting(7, 0x91);
  Bytes padded = odd;
  padded.push_back(0);
  EXPECT_EQ(icmpChecksum(odd), icmpChecksum(padded));
}

TEST(IcmpChecksumTest, NoCarryIsLostInLargeMessages) {
  for (const std::size_t size : {65535u, 65534u, 4097u}) {
    const Bytes allOnes(size, 0xFF);
    EXPECT_EQ(icmpChecksum(allOnes), checksumFoldingEachWord(allOnes)) << size;
    const Bytes mixed = counting(size, 0x37);
    EXPECT_EQ(icmpChecksum(mixed), checksumFoldingEachWord(mixed)) << size;
  }
}

TEST(IcmpEchoTest, WritesTheEchoLayoutWithAValidChecksum) {
  const Bytes data{0xDE, 0xAD, 0xBE};
  Bytes packet(16, 0x55);
  ASSERT_EQ(writeIcmpEcho(packet, kIcmpEchoRequest, 0x1234, 0xABCD, data), 11u);
  const Bytes header(packet.begin(), packet.begin() + 8);
  EXPECT_EQ(header[0], 8);
  EXPECT_EQ(header[1], 0);
  EXPECT_EQ(header[4], 0x12);
  EXPECT_EQ(header[5], 0x34);
  EXPECT_EQ(header[6], 0xAB);
  EXPECT_EQ(header[7], 0xCD);
  EXPECT_EQ(Bytes(packet.begin() + 8, packet.begin() + 11), data);
  EXPECT_EQ(icmpChecksum(ByteView(packet).first(11)), 0);
  EXPECT_EQ(packet[11], 0x55) << "wrote past the message";
}

TEST(IcmpEchoTest, RefusesAPacketBufferTooSmall) {
  const Bytes data(10, 1);
  Bytes packet(17, 0x55);
  EXPECT_FALSE(writeIcmpEcho(packet, kIcmpEchoReply, 1, 1, data));
  EXPECT_EQ(packet, Bytes(17, 0x55));
  Bytes tiny(4);
  EXPECT_FALSE(writeIcmpEcho(tiny, kIcmpEchoReply, 1, 1, {}));
  Bytes exact(18);
  EXPECT_EQ(writeIcmpEcho(exact, kIcmpEchoReply, 1, 1, data), 18u);
}

TEST(IcmpEchoTest, ParsesWhatWasWritten) {
  for (const std::size_t size : {0u, 1u, 77u}) {
    const Bytes data = counting(size, 3);
    Bytes packet(8 + size);
    ASSERT_TRUE(writeIcmpEcho(packet, kIcmpEchoReply, 0xFEDC, 0x0102, data));
    const auto echo = parseIcmpEcho(packet);
    ASSERT_TRUE(echo) << size;
    EXPECT_EQ(echo->type, kIcmpEchoReply);
    EXPECT_EQ(echo->identifier, 0xFEDC);
    EXPECT_EQ(echo->sequence, 0x0102);
    EXPECT_EQ(Bytes(echo->data.begin(), echo->data.end()), data);
    EXPECT_EQ(echo->data.data(), packet.data() + 8);
  }
}

TEST(IcmpEchoTest, RejectsAnyCorruptedByteAndShortMessages) {
  Bytes packet(8 + 5);
  ASSERT_TRUE(writeIcmpEcho(packet, kIcmpEchoReply, 7, 9, counting(5, 0xF0)));
  for (std::size_t i = 0; i < packet.size(); ++i) {
    Bytes corrupted = packet;
    corrupted[i] ^= 0x01;
    EXPECT_FALSE(parseIcmpEcho(corrupted)) << "byte " << i;
  }
  const Bytes shortMessage{0xFF, 0xFF, 0, 0, 0, 0, 0};
  EXPECT_FALSE(parseIcmpEcho(shortMessage));
}

Bytes ipv4Datagram(std::uint8_t versionAndLength, std::size_t headerSize, ByteView payload) {
  Bytes datagram(headerSize, 0);
  datagram[0] = versionAndLength;
  putIcmpWord(datagram, 2, static_cast<std::uint16_t>(headerSize + payload.size()));
  datagram.insert(datagram.end(), payload.begin(), payload.end());
  return datagram;
}

TEST(Ipv4PayloadTest, SkipsTheHeaderWithItsOptions) {
  const Bytes payload{1, 2, 3};
  for (const auto& [versionAndLength, headerSize] : {std::pair{0x45, 20u}, std::pair{0x47, 28u}}) {
    const Bytes datagram =
        ipv4Datagram(static_cast<std::uint8_t>(versionAndLength), headerSize, payload);
    const auto carried = ipv4Payload(datagram);
    ASSERT_TRUE(carried) << headerSize;
    EXPECT_EQ(Bytes(carried->begin(), carried->end()), payload);
    EXPECT_EQ(carried->data(), datagram.data() + headerSize);
  }
}

TEST(Ipv4PayloadTest, KeepsToTheTotalLength) {
  Bytes padded = ipv4Datagram(0x45, 20, Bytes{1, 2, 3});
  padded.push_back(0xEE);
  EXPECT_EQ(ipv4Payload(padded)->size(), 3u);

  Bytes cutOff = ipv4Datagram(0x45, 20, Bytes{1, 2, 3});
  cutOff.pop_back();
  EXPECT_FALSE(ipv4Payload(cutOff));
}

TEST(Ipv4PayloadTest, RejectsUnsoundHeaders) {
  const Bytes payload{1, 2, 3};
  EXPECT_FALSE(ipv4Payload(ipv4Datagram(0x65, 20, payload))) << "IPv6 version";
  EXPECT_FALSE(ipv4Payload(ipv4Datagram(0x44, 20, payload))) << "header under 20 bytes";
  EXPECT_FALSE(ipv4Payload(ipv4Datagram(0x4F, 20, payload))) << "header longer than the datagram";
  EXPECT_FALSE(ipv4Payload(Bytes(19, 0x45)));
  Bytes lengthInsideHeader = ipv4Datagram(0x45, 20, payload);
  putIcmpWord(lengthInsideHeader, 2, 12);
  EXPECT_FALSE(ipv4Payload(lengthInsideHeader));
}

}  // namespace
}  // namespace korvel
