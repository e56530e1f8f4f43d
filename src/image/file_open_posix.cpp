#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "image/firmware_image.h"

namespace korvel {

std::FILE* openRegularFileForReading(const std::filesystem::path& path, std::uint64_t& size) {
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
  std::FILE* file = ::fdopen(fd, "rb");
  if (!file) {
    ::close(fd);
    return nullptr;
  }
  size = static_cast<std::uint64_t>(info.st_size);
  return file;
}

std::optional<FileStamp> fileStamp(std::FILE* file) {
  struct stat info {};
  if (::fstat(::fileno(file), &info) != 0) return std::nullopt;
  return FileStamp{
      static_cast<std::uint64_t>(info.st_size),
      static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec};
}

}  // namespace korvel
