#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "image/firmware_image.h"
#include "programming/outcome.h"

namespace korvel {

// The running digest of an image after its data records, as the check saw it, so that the run
// can tell record by record that it sends what was checked. Its memory is bounded: past
// `kMaxPoints` records it keeps every second point, then every fourth, and so on.
class DigestTrail {
 public:
  static constexpr std::size_t kMaxPoints = std::size_t{1} << 18;

  // Called for data records 0, 1, 2, ... in order.
  void note(std::uint64_t dataRecord, std::uint64_t digest);
  // The digest after data record `dataRecord`, when the trail kept it.
  std::optional<std::uint64_t> at(std::uint64_t dataRecord) const;

 private:
  std::vector<std::uint64_t> points_;
  std::uint64_t stride_ = 1;
};

// What the walk over a whole image found, without sending anything.
struct ImageCheck {
  // The text the run would stop with, and where: the record's number (from 1, every kind
  // counted) and the offset of its first byte.
  std::optional<std::string> failure;
  OutcomeKind failureKind = OutcomeKind::Done;
  std::uint64_t failedRecord = 0;
  std::uint64_t failedOffset = 0;

  std::uint64_t records = 0;
  std::uint64_t dataRecords = 0;
  std::uint64_t dataBytes = 0;
  // Bus address at the first data record (255: the device itself); nothing without data records.
  std::optional<std::uint8_t> target;
  // The image's version at the first data record, major in the upper byte, as the device gives
  // its program's version; 0.0 when no record before the data names one.
  std::uint16_t version = 0;

  // The file as the check read it.
  std::optional<FileStamp> stamp;
  std::uint64_t digest = 0;
  DigestTrail trail;
  std::uint64_t size = 0;                // bytes read
  std::optional<Sha256::Digest> sha256;  // when the image was asked to take it
};

// An image opened and checked once for every device of a command: each device's run reads this
// one open file and holds it to this one check, so all of them get the bytes that were checked.
struct CheckedImage {
  std::shared_ptr<const ImageFile> file;
  bool viaBoot = false;
  ImageCheck check;
};

// Opens the image at `path` and reads it whole as a run would, with the SHA-256 of its bytes when
// `withSha256`; nothing when it cannot be opened.
std::optional<CheckedImage> openCheckedImage(const std::filesystem::path& path, bool viaBoot,
                                             std::uint32_t maxPayload, bool withSha256 = false);

// Reads `image` from where it stands to its end, deciding each record as the run would.
[[nodiscard]] ImageCheck checkImage(FirmwareImage& image, bool viaBoot);

// What stops the run at a reader outcome other than a record or the end.
OutcomeKind readFailure(ReadOutcome outcome);

}  // namespace korvel
