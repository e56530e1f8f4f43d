#include <share.h>
#include <stdio.h>

#include <system_error>

#include "image/firmware_image.h"

namespace korvel {

std::FILE* openRegularFileForReading(const std::filesystem::path& path, std::uint64_t& size) {
  std::error_code error;
  if (path.empty() || !std::filesystem::is_regular_file(path, error)) return nullptr;
  // No other program may write the image while it is read.
  std::FILE* file = ::_wfsopen(path.c_str(), L"rb", _SH_DENYWR);
  if (!file) return nullptr;
  const auto length = std::filesystem::file_size(path, error);
  if (error) {
    std::fclose(file);
    return nullptr;
  }
  size = length;
  return file;
}

}  // namespace korvel
