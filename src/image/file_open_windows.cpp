#include <io.h>
#include <share.h>
#include <stdio.h>
#include <windows.h>

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

// The share mode already keeps writers out; this is for the same checks as on other systems.
std::optional<FileStamp> fileStamp(std::FILE* file) {
  const auto handle = reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(file)));
  BY_HANDLE_FILE_INFORMATION info{};
  if (handle == INVALID_HANDLE_VALUE || !::GetFileInformationByHandle(handle, &info)) {
    return std::nullopt;
  }
  const std::uint64_t size =
      (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
  const std::uint64_t ticks =
      (static_cast<std::uint64_t>(info.ftLastWriteTime.dwHighDateTime) << 32) |
      info.ftLastWriteTime.dwLowDateTime;
  return FileStamp{size, static_cast<std::int64_t>(ticks)};
}

}  // namespace korvel
