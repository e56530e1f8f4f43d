#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>

namespace korvel {

// What tells one state of a file from another without reading it.
struct FileStamp {
  std::uint64_t size = 0;
  std::int64_t modified = 0;  // in the file system's own units
  bool operator==(const FileStamp&) const = default;
};

// An image file opened once for reading. Readers name the offset of every read, so that several
// of them (one per device, each on its own thread) read the one open file at once: whatever
// is moved over the path afterwards, they all read the file that was opened. One implementation
// per operating system.
class ImageFile {
 public:
  // Refuses anything but an existing regular file (a folder, a FIFO, a device).
  static std::shared_ptr<const ImageFile> open(const std::filesystem::path& path);
  ~ImageFile();
  ImageFile(const ImageFile&) = delete;
  ImageFile& operator=(const ImageFile&) = delete;

  // The size when the file was opened.
  std::uint64_t size() const { return size_; }
  // Up to `length` bytes from `offset`; 0 at the end, nothing when the system could not read.
  std::optional<std::size_t> readAt(std::uint64_t offset, std::uint8_t* into,
                                    std::size_t length) const;
  // The file's size and modification time as the system has them now; nothing when unknown.
  std::optional<FileStamp> stamp() const;

 private:
  ImageFile(std::intptr_t handle, std::uint64_t size) : handle_(handle), size_(size) {}

  std::intptr_t handle_;  // a descriptor or a HANDLE
  std::uint64_t size_;
};

}  // namespace korvel
