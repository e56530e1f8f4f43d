#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "common/bytes.h"

namespace korvel::fuzz {

// The fuzzer's bytes as a regular file that lives in memory: the image reader takes a path.
class ScratchFile {
 public:
  explicit ScratchFile(ByteView bytes) : fd_(::memfd_create("korvel-fuzz", MFD_CLOEXEC)) {
    if (fd_ < 0) std::abort();
    std::size_t written = 0;
    while (written < bytes.size()) {
      const ssize_t n = ::write(fd_, bytes.data() + written, bytes.size() - written);
      if (n <= 0) std::abort();
      written += static_cast<std::size_t>(n);
    }
    path_ = "/proc/self/fd/" + std::to_string(fd_);
  }
  ~ScratchFile() { ::close(fd_); }
  ScratchFile(const ScratchFile&) = delete;
  ScratchFile& operator=(const ScratchFile&) = delete;

  const std::string& path() const { return path_; }

 private:
  int fd_;
  std::string path_;
};

}  // namespace korvel::fuzz
