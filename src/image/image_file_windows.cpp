#include <windows.h>

#include "image/image_file.h"

namespace korvel {
namespace {

HANDLE handleOf(std::intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

}  // namespace

std::shared_ptr<const ImageFile> ImageFile::open(const std::filesystem::path& path) {
  if (path.empty()) return nullptr;
  // No other program may write the image while it is open; it may still be renamed or deleted.
  HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return nullptr;
  LARGE_INTEGER size{};
  // A device (NUL, CON, a pipe) is no disk file.
  if (::GetFileType(file) != FILE_TYPE_DISK || !::GetFileSizeEx(file, &size)) {
    ::CloseHandle(file);
    return nullptr;
  }
  return std::shared_ptr<const ImageFile>(new ImageFile(reinterpret_cast<std::intptr_t>(file),
                                                        static_cast<std::uint64_t>(size.QuadPart)));
}

ImageFile::~ImageFile() { ::CloseHandle(handleOf(handle_)); }

// The offset goes with each read: readers on several threads never share a file pointer.
std::optional<std::size_t> ImageFile::readAt(std::uint64_t offset, std::uint8_t* into,
                                             std::size_t length) const {
  OVERLAPPED at{};
  at.Offset = static_cast<DWORD>(offset);
  at.OffsetHigh = static_cast<DWORD>(offset >> 32);
  const DWORD wanted = length > 0x40000000 ? 0x40000000 : static_cast<DWORD>(length);
  DWORD got = 0;
  if (::ReadFile(handleOf(handle_), into, wanted, &got, &at)) return got;
  if (::GetLastError() == ERROR_HANDLE_EOF) return 0;
  return std::nullopt;
}

std::optional<FileStamp> ImageFile::stamp() const {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(handleOf(handle_), &info)) return std::nullopt;
  const std::uint64_t size =
      (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
  const std::uint64_t ticks =
      (static_cast<std::uint64_t>(info.ftLastWriteTime.dwHighDateTime) << 32) |
      info.ftLastWriteTime.dwLowDateTime;
  return FileStamp{size, static_cast<std::int64_t>(ticks)};
}

}  // namespace korvel
