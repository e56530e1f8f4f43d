#include "programming/image_check.h"

#include "programming/record_route.h"

namespace korvel {

void DigestTrail::note(std::uint64_t dataRecord, std::uint64_t digest) {
  if (dataRecord % stride_ != 0) return;
  if (points_.size() == kMaxPoints) {
    for (std::size_t i = 0; i < points_.size() / 2; ++i) points_[i] = points_[2 * i];
    points_.resize(points_.size() / 2);
    stride_ *= 2;
    if (dataRecord % stride_ != 0) return;
  }
  points_.push_back(digest);
}

std::optional<std::uint64_t> DigestTrail::at(std::uint64_t dataRecord) const {
  if (dataRecord % stride_ != 0) return std::nullopt;
  const std::uint64_t index = dataRecord / stride_;
  if (index >= points_.size()) return std::nullopt;
  return points_[index];
}

OutcomeKind readFailure(ReadOutcome outcome) {
  switch (outcome) {
    case ReadOutcome::ReadError:
      return OutcomeKind::FileRead;
    case ReadOutcome::TooLarge:
      return OutcomeKind::RecordTooLong;
    default:
      return OutcomeKind::FileFormat;
  }
}

ImageCheck checkImage(FirmwareImage& image, bool viaBoot) {
  ImageCheck check;
  check.stamp = image.stamp();
  image.setNameLimit(0);
  RecordRouter router(viaBoot);
  std::uint16_t version = 0;
  for (;;) {
    const std::uint64_t start = image.position();
    ImageRecord record;
    const ReadOutcome outcome = image.next(record);
    if (outcome == ReadOutcome::End) break;
    const auto fail = [&](OutcomeKind kind) {
      check.failure = outcomeText(kind);
      check.failureKind = kind;
      check.failedRecord = check.records + 1;
      check.failedOffset = start;
    };
    // A payload too large to read is still a whole record: the path decides what it means.
    if (outcome != ReadOutcome::Record && outcome != ReadOutcome::TooLarge) {
      fail(readFailure(outcome));
      break;
    }
    const RecordStep step = router.take(record);
    if (step.failure || outcome == ReadOutcome::TooLarge) {
      fail(step.failure ? *step.failure : readFailure(outcome));
      break;
    }
    ++check.records;
    if (const auto* named = std::get_if<VersionRecord>(&record)) {
      version = static_cast<std::uint16_t>(named->major << 8 | named->minor);
    }
    if (step.deliver) {
      if (check.dataRecords == 0) check.version = version;
      check.trail.note(check.dataRecords, image.digest());
      ++check.dataRecords;
      check.dataBytes += std::get<DataRecord>(record).length;
    }
  }
  check.target = router.firstTarget();
  check.digest = image.digest();
  check.size = image.position();
  check.sha256 = image.sha256();
  return check;
}

std::optional<CheckedImage> openCheckedImage(const std::filesystem::path& path, bool viaBoot,
                                             std::uint32_t maxPayload, bool withSha256) {
  auto file = ImageFile::open(path);
  if (!file) return std::nullopt;
  FirmwareImage image(file, maxPayload);
  if (withSha256) image.takeSha256();
  return CheckedImage{std::move(file), viaBoot, checkImage(image, viaBoot)};
}

}  // namespace korvel
