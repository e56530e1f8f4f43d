#include "common/ipv4_address.h"

#include <gtest/gtest.h>

#include <cstring>

namespace korvel {
namespace {

TEST(Ipv4AddressTest, ParsesFourDottedNumbersFieldByField) {
  EXPECT_EQ(Ipv4Address::parse("127.0.0.2"), Ipv4Address(127, 0, 0, 2));
  EXPECT_EQ(Ipv4Address::parse("192.168.1.10"), Ipv4Address(192, 168, 1, 10));
  EXPECT_EQ(Ipv4Address::parse("0.0.0.0"), Ipv4Address());
  EXPECT_EQ(Ipv4Address::parse("255.255.255.255"), Ipv4Address(255, 255, 255, 255));
  // Leading zeros are decimal, not octal as inet_aton would read them.
  EXPECT_EQ(Ipv4Address::parse("010.001.000.009"), Ipv4Address(10, 1, 0, 9));
}

TEST(Ipv4AddressTest, RefusesAnythingButFourNumbersUpTo255) {
  for (const char* text :
       {"",           "1.2.3",      "1.2.3.4.5", "256.1.1.1", "1.2.3.256",
        "1000.1.1.1", "0001.2.3.4", "a.b.c.d",   "1..2.3",    ".1.2.3",
        "1.2.3.",     "1.2.3.4.",   " 1.2.3.4",  "1.2.3.4 ",  "+1.2.3.4",
        "1.2.3.-4",   "0x7f.0.0.1", "1.2.3.4\n", "1,2,3,4",   "4294967297.0.0.1"}) {
    EXPECT_FALSE(Ipv4Address::parse(text)) << '"' << text << '"';
  }
}

// The IP field and the settings hold the first field in the most significant bit; sockets want
// it in the first byte in memory, whatever the machine's byte order.
TEST(Ipv4AddressTest, TheTwoNumberFormsKeepTheFieldsInOrder) {
  const Ipv4Address address(192, 168, 0, 10);
  EXPECT_EQ(address.hostOrder(), 0xC0A8000Au);
  EXPECT_EQ(Ipv4Address::fromHostOrder(0xC0A8000Au), address);

  const std::uint32_t network = address.networkOrder();
  unsigned char memory[4];
  std::memcpy(memory, &network, sizeof memory);
  EXPECT_EQ(memory[0], 192);
  EXPECT_EQ(memory[1], 168);
  EXPECT_EQ(memory[2], 0);
  EXPECT_EQ(memory[3], 10);
  EXPECT_EQ(Ipv4Address::fromNetworkOrder(network), address);
}

TEST(Ipv4AddressTest, WritesWhatItParses) {
  for (const char* text : {"0.0.0.0", "127.0.0.2", "10.200.3.255"}) {
    EXPECT_EQ(Ipv4Address::parse(text)->dotted(), text);
  }
  EXPECT_EQ(Ipv4Address::parse("010.001.000.009")->dotted(), "10.1.0.9");
}

}  // namespace
}  // namespace korvel
