#include <windows.h>
#include <shellapi.h>

#include "cli/platform/command_line.h"
#include "common/utf8.h"

namespace korvel {
namespace {

std::string utf8FromWide(const wchar_t* text) {
  std::string out;
  for (; *text; ++text) {
    char32_t unit = static_cast<char16_t>(*text);
    const char32_t next = static_cast<char16_t>(text[1]);
    if (unit >= 0xD800 && unit < 0xDC00 && next >= 0xDC00 && next < 0xE000) {
      unit = 0x10000 + ((unit - 0xD800) << 10) + (next - 0xDC00);
      ++text;
    }
    appendUtf8(out, unit);
  }
  return out;
}

}  // namespace

std::vector<std::string> utf8Arguments(int argc, char** argv) {
  int count = 0;
  wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (!wide) return std::vector<std::string>(argv, argv + argc);
  std::vector<std::string> arguments;
  for (int i = 0; i < count; ++i) arguments.push_back(utf8FromWide(wide[i]));
  ::LocalFree(wide);
  return arguments;
}

void prepareConsole() {
  ::SetConsoleOutputCP(CP_UTF8);
  ::SetConsoleCP(CP_UTF8);
}

}  // namespace korvel
