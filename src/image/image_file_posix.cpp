#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "image/image_file.h"

namespace korvel {

std::shared_ptr<const ImageFile> ImageFile::open(const std::filesystem::path& path) {
  if (path.empty()) return nullptr;
  // Non-blocking, so that a FIFO is refused rather than waited on.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return nullptr;
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    return nullptr;
  }
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  return std::shared_ptr<const ImageFile>(
      new ImageFile(fd, static_cast<std::uint64_t>(info.st_size)));
}

ImageFile::~ImageFile() { ::close(static_cast<int>(handle_)); }

std::optional<std::size_t> ImageFile::readAt(std::uint64_t offset, std::uint8_t* into,
                                             std::size_t length) const {
  for (;;) {
    const ssize_t got =
        ::pread(static_cast<int>(handle_), into, length, static_cast<off_t>(offset));
    if (got >= 0) return static_cast<std::size_t>(got);
    if (errno != EINTR) return std::nullopt;
  }
}

std::optional<FileStamp> ImageFile::stamp() const {
  struct stat info {};
  if (::fstat(static_cast<int>(handle_), &info) != 0) return std::nullopt;
  return FileStamp{
      static_cast<std::uint64_t>(info.st_size),
      static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec};
}

}  // namespace korvel
