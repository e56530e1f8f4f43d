#include <gtest/gtest.h>

#include <string>

#include "window/help_rtf.h"

namespace korvel::test {
namespace {

using window::helpPageToRtf;

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST(HelpRtf, IsOneBalancedRtfGroupInPlainAscii) {
  const std::string rtf =
      helpPageToRtf("<html><body><h2>Заголовок</h2><p>a {b} c\\d</p></body></html>");
  ASSERT_TRUE(rtf.starts_with("{\\rtf1"));
  int depth = 0;
  for (std::size_t i = 0; i < rtf.size(); ++i) {
    ASSERT_LT(static_cast<unsigned char>(rtf[i]), 0x80) << "at " << i;
    if (rtf[i] == '\\') {
      ++i;  // an escaped brace does not count
    } else if (rtf[i] == '{') {
      ++depth;
    } else if (rtf[i] == '}') {
      --depth;
      ASSERT_TRUE(depth > 0 || i + 2 >= rtf.size()) << "closed early at " << i;
    }
  }
  EXPECT_EQ(depth, 0);
  EXPECT_TRUE(contains(rtf, "a \\{b\\} c\\\\d"));
}

TEST(HelpRtf, CyrillicBecomesUnicodeEscapes) {
  // "Пр" is U+041F U+0440; a character outside the first plane takes a surrogate pair, as signed
  // 16-bit numbers.
  const std::string rtf = helpPageToRtf("<body><p>Пр \xF0\x9F\x98\x80</p></body>");
  EXPECT_TRUE(contains(rtf, "\\u1055?\\u1088? \\u-10179?\\u-8704?"));
}

TEST(HelpRtf, HeadingsAreBoldParagraphsAndTheHeadIsLeftOut) {
  const std::string rtf = helpPageToRtf(
      "<html><head><title>Не показывать</title></head><body><h2>Раздел</h2></body></html>");
  EXPECT_FALSE(contains(rtf, "\\u1053?\\u1077?"));  // "Не" of the title
  EXPECT_TRUE(contains(rtf, "\\pard\\plain\\fs18\\li180\\ri180\\sb240\\sa120\\b\\fs24 \\u1056?"));
  EXPECT_TRUE(contains(rtf, "\\u1083?\\par\n"));
}

TEST(HelpRtf, NestedListsIndentDeeperAndCloseTheOuterItemFirst) {
  const std::string rtf =
      helpPageToRtf("<body><ul><li>outer<ul><li>inner</li></ul></li><li>next</li></ul></body>");
  const std::size_t outer = rtf.find("\\li540\\tx540 \\bullet\\tab outer\\par");
  const std::size_t inner = rtf.find("\\li900\\tx900 \\bullet\\tab inner\\par");
  const std::size_t next = rtf.find("\\li540\\tx540 \\bullet\\tab next\\par");
  ASSERT_NE(outer, std::string::npos) << rtf;
  ASSERT_NE(inner, std::string::npos) << rtf;
  ASSERT_NE(next, std::string::npos) << rtf;
  EXPECT_LT(outer, inner);
  EXPECT_LT(inner, next);
}

TEST(HelpRtf, LineBreaksAndRunsOfSpacesInTheSourceAreOneSpace) {
  const std::string rtf = helpPageToRtf("<body><p>\n  one\n   two <b>three</b>\tfour  </p></body>");
  EXPECT_TRUE(
      contains(rtf, "\\pard\\plain\\fs18\\li180\\ri180\\sa120 one two\\b  three\\b0  four\\par"))
      << rtf;
}

TEST(HelpRtf, EntitiesAreDecodedAndAStrayAmpersandIsKept) {
  const std::string rtf =
      helpPageToRtf("<body><p>a&amp;b &lt;c&gt; &#171;d&#xBB; e & f</p></body>");
  EXPECT_TRUE(contains(rtf, "a&b <c> \\u171?d\\u187? e & f")) << rtf;
}

TEST(HelpRtf, EveryParagraphStartsFromPlainText) {
  // A heading's bold and size end with it, whatever the reader makes of groups.
  const std::string rtf =
      helpPageToRtf("<body><h2>Head</h2><p>text</p><ul><li>item</li></ul></body>");
  std::size_t paragraphs = 0;
  for (std::size_t at = rtf.find("\\pard"); at != std::string::npos;
       at = rtf.find("\\pard", at + 1)) {
    ++paragraphs;
    EXPECT_EQ(rtf.compare(at, 16, "\\pard\\plain\\fs18"), 0) << rtf.substr(at, 40);
  }
  EXPECT_EQ(paragraphs, 3u);
}

TEST(HelpRtf, FormatsOutsideABlockDoNotLeakIntoLaterParagraphs) {
  const std::string rtf = helpPageToRtf("<body><b>loose</b><p>plain</p></body>");
  // The loose bold text gets a paragraph group of its own, closed before the next one opens.
  EXPECT_TRUE(contains(rtf,
                       "\\pard\\plain\\fs18\\li180\\ri180\\sa120 \\b loose\\b0 "
                       "\\par\n\\pard\\plain\\fs18\\li180\\ri180\\sa120 plain\\par"))
      << rtf;
}

TEST(HelpRtf, BrokenUtf8AndATruncatedTagEndQuietly) {
  const std::string rtf = helpPageToRtf("<body><p>x\xD0</p><p>y<b");
  EXPECT_TRUE(contains(rtf, "x\\u-3?")) << rtf;  // U+FFFD
  EXPECT_TRUE(rtf.ends_with("}\n"));
}

}  // namespace
}  // namespace korvel::test
