#include "image/firmware_image.h"

#include <algorithm>
#include <cstring>

namespace korvel {
namespace {

// One system call per sixteen 1 KiB records; larger buffers save little more and cost memory
// that has to be faulted in before the first record.
constexpr std::size_t kReadBuffer = 16u << 10;

}  // namespace

std::optional<FirmwareImage> FirmwareImage::open(const std::filesystem::path& path,
                                                 std::uint32_t maxPayload) {
  auto file = ImageFile::open(path);
  if (!file) return std::nullopt;
  return FirmwareImage(std::move(file), maxPayload);
}

FirmwareImage::FirmwareImage(std::shared_ptr<const ImageFile> file, std::uint32_t maxPayload)
    : file_(std::move(file)),
      buffer_(std::make_unique_for_overwrite<std::uint8_t[]>(kReadBuffer)),
      size_(file_->size()),
      maxPayload_(maxPayload) {}

std::size_t FirmwareImage::buffered() const {
  if (position_ < bufferStart_ || position_ >= bufferStart_ + bufferFill_) return 0;
  return static_cast<std::size_t>(bufferStart_ + bufferFill_ - position_);
}

bool FirmwareImage::fill() {
  if (buffered() != 0) return true;
  const auto got = file_->readAt(position_, buffer_.get(), kReadBuffer);
  if (!got) failed_ = true;
  bufferStart_ = position_;
  bufferFill_ = got.value_or(0);
  return bufferFill_ != 0;
}

void FirmwareImage::consume(const std::uint8_t* bytes, std::size_t length) {
  digest_.add(ByteView(bytes, length));
  if (sha256Wanted_) sha256_.update(ByteView(bytes, length));
  position_ += length;
}

std::size_t FirmwareImage::readBytes(std::uint8_t* into, std::size_t length) {
  std::size_t done = 0;
  while (done < length) {
    std::size_t got = 0;
    if (buffered() == 0 && length - done >= kReadBuffer) {
      // A large payload goes straight into its own memory.
      const auto direct = file_->readAt(position_, into + done, length - done);
      if (!direct) failed_ = true;
      got = direct.value_or(0);
    } else if (fill()) {
      got = std::min(buffered(), length - done);
      std::memcpy(into + done, at(), got);
    }
    if (got == 0) break;
    consume(into + done, got);
    done += got;
  }
  return done;
}

std::optional<std::uint8_t> FirmwareImage::readByte() {
  if (!fill()) return std::nullopt;
  const std::uint8_t byte = *at();
  consume(&byte, 1);
  return byte;
}

std::optional<Sha256::Digest> FirmwareImage::sha256() const {
  if (!sha256Wanted_) return std::nullopt;
  Sha256 copy = sha256_;
  return copy.finish();
}

bool FirmwareImage::rewind() {
  position_ = 0;
  bufferFill_ = 0;
  failed_ = false;
  digest_ = StreamDigest();
  sha256_ = Sha256();
  return true;
}

std::optional<std::uint8_t> FirmwareImage::peekMarker() {
  if (!fill()) return std::nullopt;
  return *at();
}

ReadOutcome FirmwareImage::missing() const {
  return failed_ ? ReadOutcome::ReadError : ReadOutcome::FormatError;
}

bool FirmwareImage::readConfirmation(std::uint8_t expected) {
  const auto byte = readByte();
  return byte && *byte == expected;
}

ReadOutcome FirmwareImage::next(ImageRecord& record) {
  const auto byte = readByte();
  if (!byte) return failed_ ? ReadOutcome::ReadError : ReadOutcome::End;
  switch (*byte) {
    case marker::kData:
      return readData(record);
    case marker::kAddress:
      return readAddress(record);
    case marker::kVersion:
      return readVersion(record);
    case marker::kName:
      return readName(record);
    default:
      return ReadOutcome::FormatError;
  }
}

ReadOutcome FirmwareImage::readData(ImageRecord& record) {
  DataRecord data;
  const auto type = readByte();
  if (!type) return missing();
  data.type = *type;
  for (int i = 0; i < 4; ++i) {
    const auto byte = readByte();
    if (!byte) return missing();
    data.length |= static_cast<std::uint32_t>(*byte) << (8 * i);
  }
  if (data.length == 0) return ReadOutcome::FormatError;
  // A length that runs past the end of the file is found without allocating it.
  if (data.length > size_ - std::min(size_, position_)) return ReadOutcome::FormatError;
  if (data.length > maxPayload_) {
    record = std::move(data);
    return ReadOutcome::TooLarge;
  }
  data.payload.resize(data.length);
  if (readBytes(data.payload.data(), data.length) != data.length) return missing();
  record = std::move(data);
  return ReadOutcome::Record;
}

ReadOutcome FirmwareImage::readAddress(ImageRecord& record) {
  if (!readConfirmation(marker::kAddressConfirm)) return missing();
  const auto address = readByte();
  if (!address) return missing();
  record = AddressRecord{*address};
  return ReadOutcome::Record;
}

ReadOutcome FirmwareImage::readVersion(ImageRecord& record) {
  if (!readConfirmation(marker::kVersionConfirm)) return missing();
  const auto major = readByte();
  if (!major) return missing();
  const auto minor = readByte();
  if (!minor) return missing();
  record = VersionRecord{*major, *minor};
  return ReadOutcome::Record;
}

// A buffer at a time rather than byte by byte: a name may be as long as the file.
ReadOutcome FirmwareImage::readName(ImageRecord& record) {
  if (!readConfirmation(marker::kNameConfirm)) return missing();
  NameRecord name;
  for (;;) {
    if (!fill()) return missing();
    const std::uint8_t* piece = at();
    const std::size_t got = buffered();
    const auto* terminator = static_cast<const std::uint8_t*>(std::memchr(piece, 0, got));
    const std::size_t used = terminator ? static_cast<std::size_t>(terminator - piece) + 1 : got;
    const std::size_t letters = terminator ? used - 1 : used;
    const std::size_t kept = std::min(letters, nameLimit_ - std::min(nameLimit_, name.name.size()));
    name.name.append(reinterpret_cast<const char*>(piece), kept);
    if (kept < letters) name.cut = true;
    consume(piece, used);
    if (terminator) break;
  }
  record = std::move(name);
  return ReadOutcome::Record;
}

}  // namespace korvel
