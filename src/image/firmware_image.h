#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <variant>

#include "common/bytes.h"
#include "image/image_file.h"
#include "image/sha256.h"
#include "image/stream_digest.h"

namespace korvel {

namespace marker {
inline constexpr std::uint8_t kData = 0xAA;
inline constexpr std::uint8_t kAddress = 0xBB;
inline constexpr std::uint8_t kAddressConfirm = 0xCC;
inline constexpr std::uint8_t kVersion = 0xDD;
inline constexpr std::uint8_t kVersionConfirm = 0xEE;
inline constexpr std::uint8_t kName = 0xFF;
inline constexpr std::uint8_t kNameConfirm = 0x11;
}  // namespace marker

inline constexpr std::uint8_t kNoBusAddress = 255;

struct DataRecord {
  std::uint8_t type = 0;
  std::uint32_t length = 0;  // as declared; `payload` holds it unless the record was too large
  Bytes payload;
};

struct AddressRecord {
  std::uint8_t address = kNoBusAddress;
};

struct VersionRecord {
  std::uint8_t major = 0;
  std::uint8_t minor = 0;
};

struct NameRecord {
  std::string name;  // 8-bit bytes as in the file, at most the reader's name limit
  bool cut = false;  // the name went on past the limit
};

using ImageRecord = std::variant<DataRecord, AddressRecord, VersionRecord, NameRecord>;

enum class ReadOutcome {
  Record,       // a whole record was read
  End,          // the file ended at a record boundary
  FormatError,  // the file breaks the record rules; reading cannot go on
  ReadError,    // the system could not read the file
  TooLarge,     // a data record lies whole in the file but its payload is larger than the reader
                // was allowed to hold; `DataRecord::length` says how large, the payload is empty
};

// A firmware image, read record by record from an open file. It holds at most one payload.
class FirmwareImage {
 public:
  // Refuses anything but an existing regular file (a folder, a FIFO, a device).
  static std::optional<FirmwareImage> open(const std::filesystem::path& path,
                                           std::uint32_t maxPayload = kDefaultMaxPayload);
  // A reader of its own over a file that others may be reading at the same time.
  explicit FirmwareImage(std::shared_ptr<const ImageFile> file,
                         std::uint32_t maxPayload = kDefaultMaxPayload);

  static constexpr std::uint32_t kDefaultMaxPayload = 16u << 20;

  ReadOutcome next(ImageRecord& record);

  // The marker of the next record without consuming it; nothing at the end or on a read error.
  std::optional<std::uint8_t> peekMarker();

  std::uint64_t position() const { return position_; }
  std::uint64_t size() const { return size_; }

  // How many bytes of a name record are kept; the rest are read and dropped, so that a hostile
  // name costs no memory.
  void setNameLimit(std::size_t bytes) { nameLimit_ = bytes; }

  // Digests of every byte read since the start of the file: the quick one that tells a changed
  // file, and the SHA-256 that names the bytes in the run log. The SHA-256 costs more than all the
  // rest of a record's work, so it is taken only when asked for before the first byte.
  std::uint64_t digest() const { return digest_.value(); }
  void takeSha256() { sha256Wanted_ = true; }
  std::optional<Sha256::Digest> sha256() const;
  // Back to the first byte, for a second walk over the same open file; the bytes are read from
  // the file again.
  bool rewind();
  // The file's size and modification time as the system has them now; nothing when unknown.
  std::optional<FileStamp> stamp() const { return file_->stamp(); }

 private:
  // Makes the byte at `position_` available in the buffer; false at the end or on a read error.
  bool fill();
  std::size_t buffered() const;
  const std::uint8_t* at() const { return buffer_.get() + (position_ - bufferStart_); }
  // Counts `bytes` (just read at `position_`) as read.
  void consume(const std::uint8_t* bytes, std::size_t length);
  // Up to `length` bytes into `into`; fewer at the end of the file or on a read error.
  std::size_t readBytes(std::uint8_t* into, std::size_t length);

  // One byte; nothing at the end of the file or on a read error (see `failed_`).
  std::optional<std::uint8_t> readByte();
  bool readConfirmation(std::uint8_t expected);
  ReadOutcome missing() const;
  ReadOutcome readData(ImageRecord& record);
  ReadOutcome readAddress(ImageRecord& record);
  ReadOutcome readVersion(ImageRecord& record);
  ReadOutcome readName(ImageRecord& record);

  std::shared_ptr<const ImageFile> file_;
  std::unique_ptr<std::uint8_t[]> buffer_;
  std::uint64_t bufferStart_ = 0;  // the file offset of the buffer's first byte
  std::size_t bufferFill_ = 0;
  std::uint64_t size_;
  std::uint64_t position_ = 0;
  bool failed_ = false;
  std::uint32_t maxPayload_;
  std::size_t nameLimit_ = SIZE_MAX;
  StreamDigest digest_;
  Sha256 sha256_;
  bool sha256Wanted_ = false;
};

}  // namespace korvel
