#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "cli/run_log.h"

namespace korvel {

// O_APPEND makes each write land at the end as one piece, whoever else appends meanwhile.
bool appendToFile(const std::filesystem::path& path, std::string_view bytes) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY, 0666);
  if (fd < 0) return false;
  ssize_t written = -1;
  do {
    written = ::write(fd, bytes.data(), bytes.size());
  } while (written < 0 && errno == EINTR);
  const bool closed = ::close(fd) == 0;
  return closed && written == static_cast<ssize_t>(bytes.size());
}

}  // namespace korvel
