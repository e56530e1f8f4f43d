#include <windows.h>

#include "cli/run_log.h"

namespace korvel {

// With FILE_APPEND_DATA alone the system puts each write at the end of the file as one piece,
// whoever else appends meanwhile.
bool appendToFile(const std::filesystem::path& path, std::string_view bytes) {
  HANDLE file = ::CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok =
      bytes.empty() ||
      (::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
       written == bytes.size());
  ::CloseHandle(file);
  return ok;
}

}  // namespace korvel
