#include "common/utf8.h"

#include <gtest/gtest.h>

namespace korvel {
namespace {

TEST(TextConversionTest, Cp1251Cyrillic) {
  EXPECT_EQ(cp1251ToUtf8("\xCF\xF0\xE8\xE2\xE5\xF2"), "Привет");
  EXPECT_EQ(cp1251ToUtf8("\xA8\xB8\xB9"), "Ёё№");
  EXPECT_EQ(cp1251ToUtf8("ABC"), "ABC");
}

TEST(TextConversionTest, Latin1RoundTrip) {
  EXPECT_EQ(latin1ToUtf8("\xE9"), "\u00E9");
  EXPECT_EQ(utf8ToLatin1("\u00E9a\u00FF"), std::string("\xE9" "a\xFF"));
}

TEST(TextConversionTest, RefusesWhatLatin1CannotHold) {
  EXPECT_FALSE(utf8ToLatin1("пароль"));
  EXPECT_FALSE(utf8ToLatin1("\u0100"));
  EXPECT_FALSE(utf8ToLatin1("\xC3"));          // cut short
  EXPECT_FALSE(utf8ToLatin1("\xC0\x80"));      // overlong
  EXPECT_FALSE(utf8ToLatin1("\xED\xA0\x80"));  // surrogate
  EXPECT_EQ(utf8Length("привет"), 6u);
}

}  // namespace
}  // namespace korvel
