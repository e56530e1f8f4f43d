#include "image/image_summary.h"

#include <gtest/gtest.h>

#include "common/texts.h"
#include "device_model/image_builder.h"
#include "image/firmware_image.h"
#include "support/temp_file.h"

namespace korvel {
namespace {

class ImageSummaryTest : public ::testing::Test {
 protected:
  std::string summaryOf(const Bytes& bytes) { return imageSummary(dir.write("i.qlxfw", bytes)); }
  test::TempDir dir;
  const Bytes payload = samplePayload(80, 7);
};

TEST_F(ImageSummaryTest, ShowsNameVersionAndAddress) {
  EXPECT_EQ(summaryOf(ImageBuilder().name("MAIN").version(2, 5).data(12, payload).bytes()),
            "'MAIN' v2.5");
  EXPECT_EQ(
      summaryOf(ImageBuilder().name("MAIN").version(2, 5).address(3).data(7, payload).bytes()),
      "'MAIN' v2.5 addr 3");
  EXPECT_EQ(
      summaryOf(ImageBuilder().name("MAIN").version(2, 5).address(0).data(7, payload).bytes()),
      "'MAIN' v2.5 addr 0");
  EXPECT_EQ(summaryOf(ImageBuilder().address(255).version(255, 0).data(7, payload).bytes()),
            "'?????' v255.0");
}

TEST_F(ImageSummaryTest, GivesTheSameFieldByField) {
  const std::string longName(300, 'N');
  const ImageSummary summary = summarizeImage(dir.write("i.qlxfw", ImageBuilder()
                                                                       .name(longName)
                                                                       .name("\xE9t\xE9")
                                                                       .version(2, 5)
                                                                       .address(3)
                                                                       .data(7, payload)
                                                                       .bytes()));
  ASSERT_TRUE(summary.read);
  EXPECT_EQ(summary.name, "\u00E9t\u00E9");
  EXPECT_FALSE(summary.nameCut);
  EXPECT_EQ(summary.versionMajor, 2);
  EXPECT_EQ(summary.versionMinor, 5);
  EXPECT_EQ(summary.busAddress, 3);

  const ImageSummary cut =
      summarizeImage(dir.write("c.qlxfw", ImageBuilder().name(longName).data(7, payload).bytes()));
  EXPECT_EQ(cut.name, std::string(255, 'N'));
  EXPECT_TRUE(cut.nameCut);
  EXPECT_EQ(cut.busAddress, kNoBusAddress);
}

TEST_F(ImageSummaryTest, PlaceholdersAndEmptyName) {
  EXPECT_EQ(summaryOf(ImageBuilder().data(12, payload).bytes()), "'?????' v0.0");
  EXPECT_EQ(summaryOf(ImageBuilder().name("").data(12, payload).bytes()), "'' v0.0");
}

TEST_F(ImageSummaryTest, ALongNameIsShownCutAfter255Bytes) {
  const std::string name(255, 'N');
  EXPECT_EQ(summaryOf(ImageBuilder().name(name).data(12, payload).bytes()), "'" + name + "' v0.0");
  EXPECT_EQ(summaryOf(ImageBuilder().name(name + "XYZ").version(1, 2).data(12, payload).bytes()),
            "'" + name + "…' v1.2");
  // A cut name is replaced whole by a later one.
  EXPECT_EQ(summaryOf(ImageBuilder().name(name + "X").name("B").data(12, payload).bytes()),
            "'B' v0.0");
}

TEST_F(ImageSummaryTest, LaterRecordsWin) {
  EXPECT_EQ(summaryOf(ImageBuilder()
                          .version(1, 0)
                          .version(3, 4)
                          .name("A")
                          .name("BC")
                          .data(12, payload)
                          .bytes()),
            "'BC' v3.4");
}

TEST_F(ImageSummaryTest, NameBytesAreLatin1) {
  EXPECT_EQ(summaryOf(ImageBuilder().name("\xE9t\xE9").data(12, payload).bytes()),
            "'\u00E9t\u00E9' v0.0");
}

TEST_F(ImageSummaryTest, NoDataRecordLeavesPending) {
  EXPECT_EQ(summaryOf({}), text::kSummaryPending);
  EXPECT_EQ(summaryOf(ImageBuilder().name("X").version(1, 1).address(4).bytes()),
            text::kSummaryPending);
}

TEST_F(ImageSummaryTest, StopsAtTheFirstDataMarker) {
  // Length 0 and a cut payload are errors only for the run, which reads the record.
  EXPECT_EQ(summaryOf(ImageBuilder().name("M").raw({0xAA, 0x0C, 0, 0, 0, 0}).bytes()), "'M' v0.0");
  EXPECT_EQ(summaryOf(ImageBuilder().name("M").dataWithLength(12, 1000, payload).bytes()),
            "'M' v0.0");
  EXPECT_EQ(summaryOf(ImageBuilder().name("M").raw({0xAA}).bytes()), "'M' v0.0");
}

TEST_F(ImageSummaryTest, FormatErrorsBeforeTheFirstDataRecord) {
  for (const Bytes& bytes : std::vector<Bytes>{
           {0x00}, {0xBB, 0xCD, 5}, {0xDD, 0xEE, 1}, {0xFF, 0x11, 0x41}, {0xBB, 0xCC}}) {
    EXPECT_EQ(summaryOf(bytes), text::kFormatError) << ::testing::PrintToString(bytes);
  }
}

TEST_F(ImageSummaryTest, UnopenableFiles) {
  EXPECT_EQ(imageSummary(""), text::kSummaryCannotOpen);
  EXPECT_EQ(imageSummary(dir.path() / "missing"), text::kSummaryCannotOpen);
  EXPECT_EQ(imageSummary(dir.path()), text::kSummaryCannotOpen);
}

}  // namespace
}  // namespace korvel
