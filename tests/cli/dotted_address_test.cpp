#include "cli/dotted_address.h"

#include <gtest/gtest.h>

namespace korvel {
namespace {

TEST(DottedAddressTest, FirstNumberGoesIntoTheMostSignificantByte) {
  EXPECT_EQ(parseDottedAddress("127.0.0.2"), 0x7F000002u);
  EXPECT_EQ(parseDottedAddress("192.168.1.10"), 0xC0A8010Au);
  EXPECT_EQ(parseDottedAddress("0.0.0.0"), 0u);
  EXPECT_EQ(parseDottedAddress("255.255.255.255"), 0xFFFFFFFFu);
  // Leading zeros are decimal, not octal as inet_aton would read them.
  EXPECT_EQ(parseDottedAddress("010.001.000.009"), 0x0A010009u);
}

TEST(DottedAddressTest, RefusesAnythingButFourNumbersUpTo255) {
  for (const char* text :
       {"",           "1.2.3",      "1.2.3.4.5", "256.1.1.1", "1.2.3.256",
        "1000.1.1.1", "0001.2.3.4", "a.b.c.d",   "1..2.3",    ".1.2.3",
        "1.2.3.",     "1.2.3.4.",   " 1.2.3.4",  "1.2.3.4 ",  "+1.2.3.4",
        "1.2.3.-4",   "0x7f.0.0.1", "1.2.3.4\n", "1,2,3,4",   "4294967297.0.0.1"}) {
    EXPECT_FALSE(parseDottedAddress(text)) << '"' << text << '"';
  }
}

}  // namespace
}  // namespace korvel
