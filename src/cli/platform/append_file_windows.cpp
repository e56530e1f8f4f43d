#include <windows.h>

#include <string>

#include "cli/output/run_log.h"

namespace korvel {
namespace {

bool endsInLineBreak(HANDLE file) {
  LARGE_INTEGER size{};
  if (!::GetFileSizeEx(file, &size) || size.QuadPart == 0) return true;
  OVERLAPPED at{};
  const auto last = static_cast<std::uint64_t>(size.QuadPart - 1);
  at.Offset = static_cast<DWORD>(last);
  at.OffsetHigh = static_cast<DWORD>(last >> 32);
  char byte = '\n';
  DWORD got = 0;
  return !::ReadFile(file, &byte, 1, &got, &at) || got != 1 || byte == '\n';
}

}  // namespace

// With FILE_APPEND_DATA alone the system puts each write at the end of the file as one piece,
// whoever else appends meanwhile.
bool appendToFile(const std::filesystem::path& path, std::string_view bytes) {
  HANDLE file = ::CreateFileW(path.c_str(), FILE_APPEND_DATA | FILE_READ_DATA,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  if (::GetFileType(file) != FILE_TYPE_DISK) {
    ::CloseHandle(file);
    return false;
  }
  std::string line;
  // The end of a line cut short earlier, so that this one stands alone.
  if (!bytes.empty() && !endsInLineBreak(file)) line += '\n';
  line += bytes;
  DWORD written = 0;
  const bool ok = line.empty() || (::WriteFile(file, line.data(), static_cast<DWORD>(line.size()),
                                               &written, nullptr) &&
                                   written == line.size());
  ::CloseHandle(file);
  return ok;
}

// The system fails a write it has no room for whole; nothing to hold beforehand.
bool reserveLogRoom(const std::filesystem::path& path, std::uint64_t) {
  return appendToFile(path, {});
}

}  // namespace korvel
