#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <utility>

#include "cli/output/run_log.h"

namespace korvel {
namespace {

class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }
  bool close() { return ::close(std::exchange(fd_, -1)) == 0; }

 private:
  int fd_;
};

// Non-blocking, so that a FIFO is refused rather than waited on; then only a regular file will do.
int openLog(const std::filesystem::path& path) {
  const int fd =
      ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0666);
  if (fd < 0) return -1;
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    errno = EINVAL;
    return -1;
  }
  return fd;
}

bool endsInLineBreak(const std::filesystem::path& path, off_t size) {
  if (size == 0) return true;
  const int reader = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (reader < 0) return true;  // nothing to tell; the line goes as it is
  char last = '\n';
  const bool read = ::pread(reader, &last, 1, size - 1) == 1;
  ::close(reader);
  return !read || last == '\n';
}

}  // namespace

// O_APPEND makes each write land at the end as one piece, whoever else appends meanwhile. A write
// the disk has no room for may still put part of the line there: that part is taken back, so
// that the log holds whole lines only.
bool appendToFile(const std::filesystem::path& path, std::string_view bytes) {
  Descriptor log(openLog(path));
  if (log.get() < 0) return false;
  std::string line;
  struct stat info {};
  if (!bytes.empty() && ::fstat(log.get(), &info) == 0 && !endsInLineBreak(path, info.st_size)) {
    line += '\n';  // the end of a line cut short earlier, so that this one stands alone
  }
  line += bytes;
  ssize_t written = -1;
  do {
    written = ::write(log.get(), line.data(), line.size());
  } while (written < 0 && errno == EINTR);
  if (written > 0 && static_cast<std::size_t>(written) < line.size() &&
      ::fstat(log.get(), &info) == 0) {
    (void)!::ftruncate(log.get(), info.st_size - written);
  }
  const bool closed = log.close();
  return closed && written == static_cast<ssize_t>(line.size());
}

// Room for `bytes` more at the end of the log, held for it without changing its size, so that a
// disk that is already full stops a command before any device is touched. File systems that
// cannot hold room this way are let through.
bool reserveLogRoom(const std::filesystem::path& path, std::uint64_t bytes) {
  Descriptor log(openLog(path));
  if (log.get() < 0) return false;
  struct stat info {};
  if (::fstat(log.get(), &info) != 0) return false;
  const int reserved =
      ::fallocate(log.get(), FALLOC_FL_KEEP_SIZE, info.st_size, static_cast<off_t>(bytes));
  const bool room = reserved == 0 || (errno != ENOSPC && errno != EDQUOT && errno != EFBIG);
  return log.close() && room;
}

}  // namespace korvel
