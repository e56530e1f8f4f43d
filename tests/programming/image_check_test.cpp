#include "programming/image_check.h"

#include <gtest/gtest.h>

#include "common/texts.h"
#include "device_model/image_builder.h"
#include "programming/record_route.h"
#include "support/temp_file.h"

namespace korvel {
namespace {

class ImageCheckTest : public ::testing::Test {
 protected:
  ImageCheck check(const Bytes& bytes, bool viaBoot = false) {
    auto image = FirmwareImage::open(dir.write("image.qlxfw", bytes), RecordRouter::kMaxBootRecord);
    EXPECT_TRUE(image);
    return checkImage(*image, viaBoot);
  }

  test::TempDir dir;
  const Bytes payload = samplePayload(100, 1);
};

TEST_F(ImageCheckTest, CountsRecordsAndBytesAndNamesTheTarget) {
  ImageCheck result = check(ImageBuilder()
                                .name("N")
                                .version(1, 0)
                                .data(12, payload)
                                .data(12, samplePayload(50, 2))
                                .bytes());
  EXPECT_FALSE(result.failure);
  EXPECT_EQ(result.records, 4u);
  EXPECT_EQ(result.dataRecords, 2u);
  EXPECT_EQ(result.dataBytes, 150u);
  EXPECT_EQ(result.target, kNoBusAddress);

  // The target is the one at the first data record; naming it again changes nothing.
  result = check(ImageBuilder().address(4).data(1, payload).address(4).data(12, payload).bytes());
  EXPECT_FALSE(result.failure);
  EXPECT_EQ(result.target, 4);

  result = check(ImageBuilder().address(4).bytes());
  EXPECT_EQ(result.target, std::nullopt);
}

TEST_F(ImageCheckTest, LimitsAreWhatOneEchoRequestCarriesOnEachPath) {
  EXPECT_FALSE(check(ImageBuilder().data(12, samplePayload(65495, 1)).bytes()).failure);
  EXPECT_EQ(check(ImageBuilder().data(12, samplePayload(65496, 1)).bytes()).failure,
            text::kRecordTooLong);
  EXPECT_FALSE(check(ImageBuilder().address(1).data(9, samplePayload(65395, 1)).bytes()).failure);
  EXPECT_EQ(check(ImageBuilder().address(1).data(9, samplePayload(65396, 1)).bytes()).failure,
            text::kRecordTooLong);
  // Past what the reader holds at all, the record is still known whole and refused by length.
  EXPECT_EQ(check(ImageBuilder().address(1).data(9, samplePayload(70000, 1)).bytes()).failure,
            text::kRecordTooLong);
}

TEST_F(ImageCheckTest, FindingsSayWhichRecordAndWhere) {
  // name (3 + 1 bytes), data (106), then a record of type 13 at byte 110.
  ImageCheck result = check(ImageBuilder().name("N").data(12, payload).data(13, payload).bytes());
  EXPECT_EQ(result.failure, text::kUnsupportedPacketType);
  EXPECT_EQ(result.failedRecord, 3u);
  EXPECT_EQ(result.failedOffset, 110u);

  result = check(ImageBuilder().data(12, payload).raw({0xDD, 0xEE, 0x01}).bytes());
  EXPECT_EQ(result.failure, text::kFormatError);
  EXPECT_EQ(result.failedRecord, 2u);
  EXPECT_EQ(result.failedOffset, 106u);

  result = check(ImageBuilder().address(3).data(1, payload).bytes(), true);
  EXPECT_EQ(result.failure, text::kSubordinateViaBoot);
  EXPECT_EQ(result.failedRecord, 2u);
}

// Once a subordinate took a record it sits at the programming address, where it would take the
// records of any other target too, and only the end of the image gives it its address back.
TEST_F(ImageCheckTest, ASubordinateImageMayNotTurnToAnotherTarget) {
  for (const std::uint8_t other : {std::uint8_t{6}, kNoBusAddress}) {
    const ImageCheck result = check(ImageBuilder()
                                        .address(5)
                                        .data(1, payload)
                                        .data(1, payload)
                                        .address(other)
                                        .data(12, payload)
                                        .bytes());
    EXPECT_EQ(result.failure, text::kFormatError) << int{other};
    EXPECT_EQ(result.failedRecord, 4u);
    EXPECT_EQ(result.failedOffset, 3u + 2 * 106);
  }
  // An image for the device itself may still turn to a subordinate, and back.
  EXPECT_FALSE(
      check(ImageBuilder().data(12, payload).address(5).data(1, payload).address(255).bytes())
          .failure);
}

TEST_F(ImageCheckTest, TheRouterDecidesPathAndPreparationOnce) {
  RecordRouter router(false);
  DataRecord data{12, 100, payload};
  RecordStep step = router.take(data);
  EXPECT_EQ(step.prepare, Preparation::EnterBootMonitor);
  EXPECT_EQ(step.path, DeliveryPath::BootMonitor);
  router.take(AddressRecord{6});
  data.type = 0x30;
  step = router.take(data);
  EXPECT_EQ(step.prepare, Preparation::None);  // the target was prepared at the first record
  EXPECT_EQ(step.path, DeliveryPath::Subordinate);
  EXPECT_EQ(step.failure, std::nullopt);
  EXPECT_EQ(router.preparedAddress(), std::nullopt);

  RecordRouter bus(false);
  bus.take(AddressRecord{6});
  EXPECT_EQ(bus.take(data).prepare, Preparation::PrepareSubordinate);
  EXPECT_EQ(bus.take(AddressRecord{6}).failure, std::nullopt);
  EXPECT_EQ(bus.take(AddressRecord{8}).failure, OutcomeKind::FileFormat);
  EXPECT_EQ(bus.preparedAddress(), 6);
  EXPECT_EQ(bus.busAddress(), 6);
}

TEST(DigestTrailTest, KeepsEveryPointUntilFullThenEveryOtherOne) {
  DigestTrail trail;
  const std::uint64_t count = DigestTrail::kMaxPoints + 10;
  for (std::uint64_t i = 0; i < count; ++i) trail.note(i, i * 7 + 1);
  EXPECT_EQ(trail.at(0), 1u);
  EXPECT_EQ(trail.at(2), 15u);
  EXPECT_EQ(trail.at(1), std::nullopt);  // thinned out
  EXPECT_EQ(trail.at(count - 2), (count - 2) * 7 + 1);
  EXPECT_EQ(trail.at(count + 2), std::nullopt);
}

}  // namespace
}  // namespace korvel
