#include "image/firmware_image.h"

#include <algorithm>

namespace korvel {

std::optional<FirmwareImage> FirmwareImage::open(const std::filesystem::path& path,
                                                 std::uint32_t maxPayload) {
  std::uint64_t size = 0;
  std::FILE* file = openRegularFileForReading(path, size);
  if (!file) return std::nullopt;
  return FirmwareImage(file, size, maxPayload);
}

FirmwareImage::FirmwareImage(std::FILE* file, std::uint64_t size, std::uint32_t maxPayload)
    : file_(file), size_(size), maxPayload_(maxPayload) {}

std::optional<std::uint8_t> FirmwareImage::readByte() {
  const int c = std::fgetc(file_.get());
  if (c == EOF) return std::nullopt;
  ++position_;
  digest_.add(static_cast<std::uint8_t>(c));
  return static_cast<std::uint8_t>(c);
}

bool FirmwareImage::rewind() {
  if (std::fseek(file_.get(), 0, SEEK_SET) != 0) return false;
  std::clearerr(file_.get());
  position_ = 0;
  digest_ = StreamDigest();
  return true;
}

std::optional<FileStamp> FirmwareImage::stamp() const { return fileStamp(file_.get()); }

std::optional<std::uint8_t> FirmwareImage::peekMarker() {
  const int c = std::fgetc(file_.get());
  if (c == EOF) return std::nullopt;
  std::ungetc(c, file_.get());
  return static_cast<std::uint8_t>(c);
}

ReadOutcome FirmwareImage::missing() const {
  return std::ferror(file_.get()) ? ReadOutcome::ReadError : ReadOutcome::FormatError;
}

bool FirmwareImage::readConfirmation(std::uint8_t expected) {
  const auto byte = readByte();
  return byte && *byte == expected;
}

ReadOutcome FirmwareImage::next(ImageRecord& record) {
  const auto byte = readByte();
  if (!byte) return std::ferror(file_.get()) ? ReadOutcome::ReadError : ReadOutcome::End;
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
  const std::size_t got = std::fread(data.payload.data(), 1, data.length, file_.get());
  position_ += got;
  digest_.add(ByteView(data.payload.data(), got));
  if (got != data.length) return missing();
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

ReadOutcome FirmwareImage::readName(ImageRecord& record) {
  if (!readConfirmation(marker::kNameConfirm)) return missing();
  NameRecord name;
  for (;;) {
    const auto byte = readByte();
    if (!byte) return missing();
    if (*byte == 0) break;
    if (name.name.size() < nameLimit_) {
      name.name += static_cast<char>(*byte);
    } else {
      name.cut = true;
    }
  }
  record = std::move(name);
  return ReadOutcome::Record;
}

}  // namespace korvel
