#pragma once

#include <windows.h>

namespace korvel {

// The About item's command in the window's system menu: below the system's own commands
// (0xF000 and up), with the low four bits free, which WM_SYSCOMMAND keeps for the system.
inline constexpr UINT kAboutSystemCommand = 0x0010;

// Appends a separator and the item `text` to `menu` (a window's system menu); false when the
// menu would not take them.
bool appendAboutMenuItem(HMENU menu, const wchar_t* text);

// True for the WM_SYSCOMMAND that the About item sends, whatever the system put in its low four
// bits.
bool isAboutSystemCommand(UINT message, WPARAM wParam);

}  // namespace korvel
