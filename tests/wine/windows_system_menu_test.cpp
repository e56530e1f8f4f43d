#include "window/windows_system_menu.h"

#include <gtest/gtest.h>

#include <string>

namespace korvel {
namespace {

std::wstring itemText(HMENU menu, int position) {
  wchar_t text[64] = {};
  ::GetMenuStringW(menu, static_cast<UINT>(position), text, 64, MF_BYPOSITION);
  return text;
}

TEST(WindowsSystemMenuTest, AboutComesLastBehindASeparator) {
  const HMENU menu = ::CreatePopupMenu();
  ASSERT_NE(menu, nullptr);
  ASSERT_TRUE(::AppendMenuW(menu, MF_STRING, SC_CLOSE, L"&Close"));
  ASSERT_TRUE(appendAboutMenuItem(menu, L"&About Korvel..."));
  ASSERT_EQ(::GetMenuItemCount(menu), 3);
  EXPECT_EQ(::GetMenuState(menu, 1, MF_BYPOSITION) & MF_SEPARATOR, static_cast<UINT>(MF_SEPARATOR));
  EXPECT_EQ(::GetMenuItemID(menu, 2), kAboutSystemCommand);
  EXPECT_EQ(itemText(menu, 2), L"&About Korvel...");
  ::DestroyMenu(menu);
}

TEST(WindowsSystemMenuTest, OnlyTheAboutSystemCommandIsAbout) {
  EXPECT_TRUE(isAboutSystemCommand(WM_SYSCOMMAND, kAboutSystemCommand));
  EXPECT_TRUE(isAboutSystemCommand(WM_SYSCOMMAND, kAboutSystemCommand | 0x3));
  EXPECT_FALSE(isAboutSystemCommand(WM_SYSCOMMAND, SC_CLOSE));
  EXPECT_FALSE(isAboutSystemCommand(WM_SYSCOMMAND, 0x0020));
  EXPECT_FALSE(isAboutSystemCommand(WM_COMMAND, kAboutSystemCommand));
}

TEST(WindowsSystemMenuTest, NoMenuTakesNothing) {
  EXPECT_FALSE(appendAboutMenuItem(nullptr, L"&About Korvel..."));
}

}  // namespace
}  // namespace korvel
