#include "image/firmware_image.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace korvel {
namespace {

// One system call per sixteen 1 KiB records; larger buffers save little more and cost memory
// that has to be faulted in before the first record.
constexpr std::size_t kReadBuffer = 16u << 10;

}  // namespace

std::optional<FirmwareImage> FirmwareImage::open(const std::filesystem::path& path,
                                                 std::uint32_t maxPayload) {
  std::uint64_t size = 0;
  std::FILE* file = openRegularFileForReading(path, size);
  if (!file) return std::nullopt;
  return FirmwareImage(file, size, maxPayload);
}

FirmwareImage::FirmwareImage(std::FILE* file, std::uint64_t size, std::uint32_t maxPayload)
    : file_(file), size_(size), maxPayload_(maxPayload) {
  // Without a buffer of its own the file keeps the default one; reading goes on either way.
  auto buffer = std::make_unique_for_overwrite<char[]>(kReadBuffer);
  if (std::setvbuf(file, buffer.get(), _IOFBF, kReadBuffer) == 0) {
    file_.get_deleter().buffer = std::move(buffer);
  }
}

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

// A piece at a time rather than byte by byte: a name may be as long as the file.
ReadOutcome FirmwareImage::readName(ImageRecord& record) {
  if (!readConfirmation(marker::kNameConfirm)) return missing();
  NameRecord name;
  std::array<std::uint8_t, 4096> piece;
  for (;;) {
    const std::size_t got = std::fread(piece.data(), 1, piece.size(), file_.get());
    if (got == 0) return missing();
    const auto* terminator = static_cast<const std::uint8_t*>(std::memchr(piece.data(), 0, got));
    const std::size_t used =
        terminator ? static_cast<std::size_t>(terminator - piece.data()) + 1 : got;
    const std::size_t letters = terminator ? used - 1 : used;
    const std::size_t kept = std::min(letters, nameLimit_ - std::min(nameLimit_, name.name.size()));
    name.name.append(reinterpret_cast<const char*>(piece.data()), kept);
    if (kept < letters) name.cut = true;
    position_ += used;
    digest_.add(ByteView(piece.data(), used));
    if (terminator) {
      // Give back what was read past the end of the record.
      const auto over = static_cast<long>(got - used);
      if (over > 0 && std::fseek(file_.get(), -over, SEEK_CUR) != 0) return ReadOutcome::ReadError;
      break;
    }
  }
  record = std::move(name);
  return ReadOutcome::Record;
}

}  // namespace korvel
