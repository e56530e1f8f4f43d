#include <windows.h>

#include <commctrl.h>

#include "common/texts.h"
#include "ui_win32/dialog_template_builder.h"
#include "ui_win32/help_dialog.h"
#include "win32_window_fixture.h"
#include "window/dialog_template.h"

namespace korvel::test {
namespace {

using Win32WindowLayout = Win32WindowTest;

std::wstring classOf(HWND window) {
  wchar_t name[64] = {};
  ::GetClassNameW(window, name, 64);
  return name;
}

// The dialog manager converts a control's position and its size each on its own.
RECT inDialogPixels(HWND dialog, const window::UnitRect& units) {
  RECT rect{units.x, units.y, units.width, units.height};
  ::MapDialogRect(dialog, &rect);
  return RECT{rect.left, rect.top, rect.left + rect.right, rect.top + rect.bottom};
}

RECT placeInDialog(HWND dialog, HWND control) {
  RECT rect;
  ::GetWindowRect(control, &rect);
  ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

TEST_F(Win32WindowLayout, EveryControlOfTheDescriptionIsThereWithItsClassTextAndPlace) {
  openWindow();
  ASSERT_NE(dialog, nullptr);
  const window::DialogTemplate& layout = window::mainWindowTemplate();
  HWND child = ::GetWindow(dialog, GW_CHILD);
  for (const window::ControlTemplate& expected : layout.controls) {
    SCOPED_TRACE(expected.name);
    // Creation order is the description's order.
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(::GetDlgCtrlID(child), expected.id);
    EXPECT_EQ(classOf(child), DialogTemplateBuilder::className(expected));
    const RECT want = inDialogPixels(dialog, expected.rect);
    const RECT got = placeInDialog(dialog, child);
    EXPECT_EQ(got.left, want.left);
    EXPECT_EQ(got.top, want.top);
    EXPECT_EQ(got.right, want.right);
    EXPECT_EQ(got.bottom, want.bottom);
    if (expected.text != nullptr && expected.id != control::kSummary) {
      EXPECT_EQ(textOf(child), toWide(expected.text));
    }
    const LONG style = ::GetWindowLongW(child, GWL_STYLE);
    EXPECT_EQ((style & WS_TABSTOP) != 0, (expected.styles & window::style::kTabStop) != 0);
    child = ::GetWindow(child, GW_HWNDNEXT);
  }
  EXPECT_EQ(child, nullptr) << "a control that the description does not have";

  RECT client;
  ::GetClientRect(dialog, &client);
  const RECT size = inDialogPixels(dialog, {0, 0, layout.width, layout.height});
  EXPECT_EQ(client.right, size.right);
  EXPECT_EQ(client.bottom, size.bottom);
  EXPECT_EQ(textOf(dialog), L"Korvel в" + toWide(text::kVersion));
}

TEST_F(Win32WindowLayout, ControlsBehaveAsTheirStylesSay) {
  openWindow();
  EXPECT_EQ(LOWORD(::SendMessageW(dialog, DM_GETDEFID, 0, 0)), control::kExit);
  EXPECT_TRUE(::GetWindowLongW(item(control::kExit), GWL_STYLE) & BS_DEFPUSHBUTTON);
  EXPECT_EQ(::GetWindowLongW(item(control::kViaBoot), GWL_STYLE) & BS_TYPEMASK, BS_AUTOCHECKBOX);

  // The password is read as typed, but drawn masked.
  setText(control::kPassword, L"секрет");
  EXPECT_EQ(window->password(), "секрет");
  EXPECT_NE(::SendMessageW(item(control::kPassword), EM_GETPASSWORDCHAR, 0, 0), 0);

  // A long device text wraps in the information box instead of running off its right edge;
  // lines from the device keep their breaks.
  const LONG infoStyle = ::GetWindowLongW(item(control::kInfoBox), GWL_STYLE);
  EXPECT_TRUE(infoStyle & ES_MULTILINE);
  EXPECT_TRUE(infoStyle & ES_READONLY);
  EXPECT_FALSE(infoStyle & (ES_AUTOHSCROLL | WS_HSCROLL));
  window->setInfoText(std::string(200, 'x'));
  EXPECT_GT(::SendMessageW(item(control::kInfoBox), EM_GETLINECOUNT, 0, 0), 2);
  window->setInfoText("'BOOT'\nv1.2");
  EXPECT_EQ(text(control::kInfoBox), L"'BOOT'\r\nv1.2");
  EXPECT_EQ(::SendMessageW(item(control::kInfoBox), EM_GETLINECOUNT, 0, 0), 2);
}

TEST_F(Win32WindowLayout, TabWalksTheControlsInTemplateOrderStartingAtExit) {
  openWindow();
  EXPECT_EQ(::GetFocus(), item(control::kExit));
  std::vector<int> visited{control::kExit};
  HWND at = item(control::kExit);
  for (int i = 0; i < 11; ++i) {
    at = ::GetNextDlgTabItem(dialog, at, FALSE);
    visited.push_back(::GetDlgCtrlID(at));
  }
  std::vector<int> expected;
  for (const window::ControlTemplate& control : window::mainWindowTemplate().controls) {
    if (control.styles & window::style::kTabStop) expected.push_back(control.id);
  }
  expected.push_back(control::kExit);
  EXPECT_EQ(visited, expected);
}

TEST_F(Win32WindowLayout, TheSystemMenuEndsWithTheAboutItem) {
  openWindow();
  HMENU menu = ::GetSystemMenu(dialog, FALSE);
  const int count = ::GetMenuItemCount(menu);
  ASSERT_GE(count, 2);
  EXPECT_EQ(::GetMenuItemID(menu, count - 1), 0x0010u);
  wchar_t label[64] = {};
  ::GetMenuStringW(menu, static_cast<UINT>(count - 1), label, 64, MF_BYPOSITION);
  EXPECT_EQ(std::wstring(label), toWide(text::kAboutItem));
  EXPECT_EQ(::GetMenuState(menu, static_cast<UINT>(count - 2), MF_BYPOSITION) & MF_SEPARATOR,
            static_cast<UINT>(MF_SEPARATOR));
  // Both sizes of the icon are the window's.
  EXPECT_NE(::SendMessageW(dialog, WM_GETICON, ICON_BIG, 0), 0);
  EXPECT_NE(::SendMessageW(dialog, WM_GETICON, ICON_SMALL, 0), 0);
  EXPECT_NE(::SendMessageW(dialog, WM_QUERYDRAGICON, 0, 0), 0);
}

TEST(Win32HelpPage, IsTheHelpSourceInRussianAsRtf) {
  const std::string rtf = CHelpDialog::pageRtf();
  ASSERT_TRUE(rtf.starts_with("{\\rtf1"));
  // «Простой способ», one of the page's headings, as the rich edit control reads it.
  std::string heading;
  for (const wchar_t c : std::wstring(L"Простой способ")) {
    heading +=
        c == L' ' ? std::string(" ") : "\\u" + std::to_string(static_cast<std::int16_t>(c)) + "?";
  }
  EXPECT_NE(rtf.find(heading), std::string::npos);
  EXPECT_EQ(rtf.find("<h2>"), std::string::npos);
}

}  // namespace
}  // namespace korvel::test
