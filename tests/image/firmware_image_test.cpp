#include "image/firmware_image.h"

#include <gtest/gtest.h>

#include <fstream>

#include "device_model/image_builder.h"
#include "support/temp_file.h"

namespace korvel {
namespace {

class FirmwareImageTest : public ::testing::Test {
 protected:
  FirmwareImage openBytes(const Bytes& bytes) {
    auto image = FirmwareImage::open(dir.write("image.qlxfw", bytes));
    EXPECT_TRUE(image.has_value());
    return std::move(*image);
  }

  ReadOutcome firstOutcome(const Bytes& bytes) {
    auto image = openBytes(bytes);
    ImageRecord record;
    return image.next(record);
  }

  ReadOutcome lastOutcome(const Bytes& bytes) {
    auto image = openBytes(bytes);
    ImageRecord record;
    ReadOutcome outcome;
    while ((outcome = image.next(record)) == ReadOutcome::Record) {
    }
    return outcome;
  }

  test::TempDir dir;
};

TEST_F(FirmwareImageTest, EmptyFileEndsAtOnce) { EXPECT_EQ(firstOutcome({}), ReadOutcome::End); }

TEST_F(FirmwareImageTest, ReadsEveryRecordKind) {
  const Bytes payload = samplePayload(16, 1);
  auto image =
      openBytes(ImageBuilder().name("MAIN").version(1, 2).address(5).data(12, payload).bytes());
  ImageRecord record;
  ASSERT_EQ(image.next(record), ReadOutcome::Record);
  EXPECT_EQ(std::get<NameRecord>(record).name, "MAIN");
  ASSERT_EQ(image.next(record), ReadOutcome::Record);
  EXPECT_EQ(std::get<VersionRecord>(record).major, 1);
  EXPECT_EQ(std::get<VersionRecord>(record).minor, 2);
  ASSERT_EQ(image.next(record), ReadOutcome::Record);
  EXPECT_EQ(std::get<AddressRecord>(record).address, 5);
  ASSERT_EQ(image.next(record), ReadOutcome::Record);
  const auto& data = std::get<DataRecord>(record);
  EXPECT_EQ(data.type, 12);
  EXPECT_EQ(data.length, 16u);
  EXPECT_EQ(data.payload, payload);
  EXPECT_EQ(image.position(), image.size());
  EXPECT_EQ(image.next(record), ReadOutcome::End);
}

TEST_F(FirmwareImageTest, DataRecordLengthIsLittleEndian) {
  Bytes bytes = {0xAA, 0x0C, 0x10, 0x00, 0x00, 0x00};
  const Bytes payload = samplePayload(16, 2);
  bytes.insert(bytes.end(), payload.begin(), payload.end());
  auto image = openBytes(bytes);
  ImageRecord record;
  ASSERT_EQ(image.next(record), ReadOutcome::Record);
  EXPECT_EQ(std::get<DataRecord>(record).payload, payload);
}

TEST_F(FirmwareImageTest, HugeDeclaredLengthIsAFormatErrorWithoutAllocating) {
  // 268,435,456 and 4 GiB - 1 declared, a few bytes present.
  EXPECT_EQ(firstOutcome({0xAA, 0x0C, 0x00, 0x00, 0x00, 0x10, 1, 2, 3}), ReadOutcome::FormatError);
  EXPECT_EQ(firstOutcome({0xAA, 0x0C, 0xFF, 0xFF, 0xFF, 0xFF, 1}), ReadOutcome::FormatError);
}

TEST_F(FirmwareImageTest, PayloadOverTheLimitIsReportedWithItsLength) {
  const auto path = dir.write("big", ImageBuilder().data(12, samplePayload(100, 3)).bytes());
  auto image = FirmwareImage::open(path, 99);
  ASSERT_TRUE(image);
  ImageRecord record;
  ASSERT_EQ(image->next(record), ReadOutcome::TooLarge);
  EXPECT_EQ(std::get<DataRecord>(record).length, 100u);
  EXPECT_TRUE(std::get<DataRecord>(record).payload.empty());
}

TEST_F(FirmwareImageTest, EveryFormatErrorIsFound) {
  const std::vector<Bytes> broken = {
      {0x00},
      {0xAB},
      {0xFE},
      {0xA9},
      {0xBC},
      {0xDC},
      {0xDE},  // not a marker
      {0xBB},
      {0xBB, 0xCD, 0x05},
      {0xBB, 0xCC},  // address record
      {0xDD},
      {0xDD, 0xEF, 1, 2},
      {0xDD, 0xEE},
      {0xDD, 0xEE, 0x01},  // version record
      {0xFF},
      {0xFF, 0x12, 0},
      {0xFF, 0x11, 0x41, 0x42},  // name record
      {0xAA},
      {0xAA, 0x0C},
      {0xAA, 0x0C, 1, 0, 0},              // data record head
      {0xAA, 0x0C, 0, 0, 0, 0},           // length 0
      {0xAA, 0x0C, 4, 0, 0, 0, 1, 2, 3},  // payload cut short
  };
  for (const auto& bytes : broken) {
    EXPECT_EQ(lastOutcome(bytes), ReadOutcome::FormatError) << ::testing::PrintToString(bytes);
  }
}

TEST_F(FirmwareImageTest, FormatErrorAfterGoodRecordsStillComesOut) {
  const Bytes bytes = ImageBuilder().name("A").data(12, samplePayload(3, 4)).raw({0x42}).bytes();
  EXPECT_EQ(lastOutcome(bytes), ReadOutcome::FormatError);
}

TEST_F(FirmwareImageTest, EmptyNameAndLaterRecordsWin) {
  auto image = openBytes(ImageBuilder().name("").address(5).address(255).bytes());
  ImageRecord record;
  ASSERT_EQ(image.next(record), ReadOutcome::Record);
  EXPECT_EQ(std::get<NameRecord>(record).name, "");
  ASSERT_EQ(image.next(record), ReadOutcome::Record);
  ASSERT_EQ(image.next(record), ReadOutcome::Record);
  EXPECT_EQ(std::get<AddressRecord>(record).address, 255);
}

TEST_F(FirmwareImageTest, PeekDoesNotConsume) {
  auto image = openBytes(ImageBuilder().version(1, 2).bytes());
  EXPECT_EQ(image.peekMarker(), marker::kVersion);
  EXPECT_EQ(image.position(), 0u);
  ImageRecord record;
  EXPECT_EQ(image.next(record), ReadOutcome::Record);
  EXPECT_FALSE(image.peekMarker());
}

TEST_F(FirmwareImageTest, RefusesWhatIsNotARegularFile) {
  EXPECT_FALSE(FirmwareImage::open(""));
  EXPECT_FALSE(FirmwareImage::open(dir.path() / "missing"));
  EXPECT_FALSE(FirmwareImage::open(dir.path()));
}

TEST_F(FirmwareImageTest, NamesAreKeptUpToTheLimitAndReadToTheirEnd) {
  auto image = openBytes(ImageBuilder().name("ABCDEF").name("XY").version(1, 2).bytes());
  image.setNameLimit(3);
  ImageRecord record;
  ASSERT_EQ(image.next(record), ReadOutcome::Record);
  EXPECT_EQ(std::get<NameRecord>(record).name, "ABC");
  EXPECT_TRUE(std::get<NameRecord>(record).cut);
  ASSERT_EQ(image.next(record), ReadOutcome::Record);
  EXPECT_EQ(std::get<NameRecord>(record).name, "XY");
  EXPECT_FALSE(std::get<NameRecord>(record).cut);
  image.setNameLimit(0);
  ASSERT_EQ(image.next(record), ReadOutcome::Record);  // the reading went on after the names
  EXPECT_EQ(std::get<VersionRecord>(record).minor, 2);
}

TEST_F(FirmwareImageTest, DigestFollowsEveryByteReadAndStartsAgainOnRewind) {
  const Bytes bytes = ImageBuilder().name("N").address(3).data(12, samplePayload(100, 1)).bytes();
  auto image = openBytes(bytes);
  ImageRecord record;
  while (image.next(record) == ReadOutcome::Record) {
  }
  const std::uint64_t whole = image.digest();
  StreamDigest direct;
  direct.add(ByteView(bytes));
  EXPECT_EQ(whole, direct.value());

  ASSERT_TRUE(image.rewind());
  EXPECT_EQ(image.position(), 0u);
  ASSERT_EQ(image.next(record), ReadOutcome::Record);
  EXPECT_EQ(std::get<NameRecord>(record).name, "N");
  while (image.next(record) == ReadOutcome::Record) {
  }
  EXPECT_EQ(image.digest(), whole);
}

// The reader's buffer goes wherever the open file goes: an image moved, or moved onto another
// one halfway through, reads on from where it stood.
TEST_F(FirmwareImageTest, AMovedImageReadsOnThroughItsBuffer) {
  std::vector<Bytes> payloads;
  ImageBuilder builder;
  for (std::uint32_t i = 0; i < 40; ++i) {
    payloads.push_back(samplePayload(1000, i));  // the file is larger than one buffer
    builder.data(12, payloads.back());
  }
  auto first = FirmwareImage::open(dir.write("first.qlxfw", builder.bytes()));
  auto second = FirmwareImage::open(dir.write("second.qlxfw", builder.bytes()));
  ASSERT_TRUE(first && second);
  ImageRecord record;
  ASSERT_EQ(first->next(record), ReadOutcome::Record);
  for (int i = 0; i < 3; ++i) ASSERT_EQ(second->next(record), ReadOutcome::Record);

  first = std::move(second);  // the first file closes, the second reads on
  for (std::size_t i = 3; i < payloads.size(); ++i) {
    ASSERT_EQ(first->next(record), ReadOutcome::Record) << i;
    EXPECT_EQ(std::get<DataRecord>(record).payload, payloads[i]) << i;
  }
  EXPECT_EQ(first->next(record), ReadOutcome::End);
}

TEST(StreamDigestTest, SameBytesSameValueHoweverSplitAndAnyChangeShows) {
  const Bytes bytes = samplePayload(1000, 3);
  StreamDigest whole;
  whole.add(ByteView(bytes));
  StreamDigest pieces;
  pieces.add(bytes[0]);
  pieces.add(ByteView(bytes).subspan(1, 10));
  pieces.add(ByteView(bytes).subspan(11));
  EXPECT_EQ(pieces.value(), whole.value());
  EXPECT_EQ(pieces.length(), 1000u);
  // Pieces of every size up to past two of the digest's blocks, so that a piece ends at every
  // place in a block and in the bytes still waiting for one.
  for (std::size_t size = 1; size <= 70; ++size) {
    StreamDigest split;
    for (std::size_t at = 0; at < bytes.size(); at += size) {
      split.add(ByteView(bytes).subspan(at, std::min(size, bytes.size() - at)));
    }
    EXPECT_EQ(split.value(), whole.value()) << size;
  }

  for (const std::size_t at : {0u, 7u, 8u, 31u, 32u, 500u, 991u, 999u}) {
    Bytes changed = bytes;
    changed[at] ^= 1;
    StreamDigest other;
    other.add(ByteView(changed));
    EXPECT_NE(other.value(), whole.value()) << at;
  }
  StreamDigest longer = whole;
  longer.add(std::uint8_t{0});
  EXPECT_NE(longer.value(), whole.value());  // a trailing zero byte counts
}

// On Windows nobody else may write an image while it is open.
#ifndef _WIN32
TEST_F(FirmwareImageTest, StampChangesWithTheFile) {
  const auto path = dir.write("stamped.qlxfw", ImageBuilder().name("N").bytes());
  auto image = FirmwareImage::open(path);
  ASSERT_TRUE(image);
  const auto before = image->stamp();
  ASSERT_TRUE(before);
  EXPECT_EQ(before->size, 4u);
  std::ofstream(path, std::ios::app | std::ios::binary) << "more";
  EXPECT_NE(image->stamp(), before);
}
#endif

}  // namespace
}  // namespace korvel
