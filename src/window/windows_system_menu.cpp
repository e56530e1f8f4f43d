#include "window/windows_system_menu.h"

namespace korvel {

bool appendAboutMenuItem(HMENU menu, const wchar_t* text) {
  if (!menu) return false;
  return ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr) &&
         ::AppendMenuW(menu, MF_STRING, kAboutSystemCommand, text);
}

bool isAboutSystemCommand(UINT message, WPARAM wParam) {
  return message == WM_SYSCOMMAND && (wParam & 0xFFF0) == kAboutSystemCommand;
}

}  // namespace korvel
