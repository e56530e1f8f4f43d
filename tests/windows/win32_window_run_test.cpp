#include <windows.h>

#include <commctrl.h>

#include <functional>

#include "common/texts.h"
#include "win32_window_fixture.h"

namespace korvel::test {
namespace {

using Win32WindowSettings = Win32WindowTest;
using Win32WindowRun = Win32WindowTest;

TEST_F(Win32WindowSettings, AFirstStartShowsTheDefaultsAndCreatesTheSectionKeys) {
  openWindow();
  EXPECT_EQ(ipField(), 0u);
  EXPECT_EQ(text(control::kPath), L"");
  EXPECT_EQ(::SendMessageW(item(control::kViaBoot), BM_GETCHECK, 0, 0), BST_UNCHECKED);
  // The template's "Static" is never seen: the empty path cannot be opened.
  EXPECT_EQ(text(control::kSummary), toWide(text::kSummaryCannotOpen));
  for (const wchar_t* section : {L"\\Comm", L"\\File"}) {
    HKEY key = nullptr;
    EXPECT_EQ(::RegOpenKeyExW(HKEY_CURRENT_USER, (settings.applicationKeyPath() + section).c_str(),
                              0, KEY_READ, &key),
              ERROR_SUCCESS);
    if (key != nullptr) ::RegCloseKey(key);
  }
  EXPECT_FALSE(storedType(L"Comm", L"IpAddr"));  // values come with the first close
}

TEST_F(Win32WindowSettings, WhatWasStoredComesBackAndGoesBackUnchanged) {
  const std::wstring path = (files.path() / L"Прошивки пульта" / L"образ №1.qlxfw").wstring();
  settings.writeInteger(L"Comm", L"IpAddr", 0xC0A8000A);
  settings.writeText(L"File", L"Path", path);
  settings.writeInteger(L"Comm", L"FromBoot", 1);
  openWindow();
  EXPECT_EQ(ipField(), 0xC0A8000Au);
  EXPECT_EQ(text(control::kIpField), L"192.168.0.10");
  EXPECT_EQ(text(control::kPath), path);
  EXPECT_TRUE(window->viaBoot());
  // The first link goes to the restored address.
  ASSERT_NE(window->programmer().link(), nullptr);

  ::SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);  // Esc
  EXPECT_FALSE(::IsWindow(dialog));
  EXPECT_EQ(settings.readInteger(L"Comm", L"IpAddr", 0), 0xC0A8000Au);
  EXPECT_EQ(settings.readText(L"File", L"Path", L""), path);
  EXPECT_EQ(settings.readInteger(L"Comm", L"FromBoot", 0), 1u);
  EXPECT_EQ(storedType(L"Comm", L"IpAddr"), REG_DWORD);
  EXPECT_EQ(storedType(L"File", L"Path"), REG_SZ);
}

TEST_F(Win32WindowSettings, BlankPartsOfTheAddressAreSavedAsZeroAndTextInPlaceOfANumberIsIgnored) {
  // An address stored as text of more than four bytes is not a number: 0 applies.
  const std::wstring key = settings.applicationKeyPath() + L"\\Comm";
  const std::wstring dotted = L"192.168.0.10";
  ASSERT_EQ(::RegSetKeyValueW(HKEY_CURRENT_USER, key.c_str(), L"IpAddr", REG_SZ, dotted.c_str(),
                              static_cast<DWORD>((dotted.size() + 1) * sizeof(wchar_t))),
            ERROR_SUCCESS);
  openWindow();
  EXPECT_EQ(ipField(), 0u);
  ::SendMessageW(item(control::kIpField), IPM_CLEARADDRESS, 0, 0);
  ::SendMessageW(item(control::kIpField), IPM_SETADDRESS, 0, MAKEIPADDRESS(10, 0, 0, 5));
  ::SetWindowTextW(::GetWindow(item(control::kIpField), GW_CHILD), L"");  // one part blanked
  const DWORD shown = ipField();
  ::SendMessageW(dialog, WM_COMMAND, IDOK, 0);  // Exit
  EXPECT_EQ(storedType(L"Comm", L"IpAddr"), REG_DWORD);
  EXPECT_EQ(settings.readInteger(L"Comm", L"IpAddr", 1), shown);
  EXPECT_EQ(shown & 0x00FFFFFFu, 0x00000005u);
}

TEST_F(Win32WindowRun, InfoFillsTheInformationBoxAndReturnsToIdle) {
  openWindowFor(writeBootImage(1));
  click(control::kInfo);
  EXPECT_EQ(text(control::kInfoBox),
            L"'BOOT'\r\nBoard Id=0x000012AB №3.7 Boot v1.2\r\n'MAIN'\r\nv2.5");
  EXPECT_EQ(::SendMessageW(item(control::kProgress), PBM_GETPOS, 0, 0), 0);
  EXPECT_FALSE(window->isRunning());
  EXPECT_FALSE(::IsWindowEnabled(item(control::kInfo)) == FALSE);
  for (const int id : kInputSet) EXPECT_TRUE(::IsWindowEnabled(item(id))) << id;
}

TEST_F(Win32WindowRun, DuringARunTheInputsAreOffWhileExitAndHelpStayOn) {
  openWindowFor(writeBootImage(4));
  bool checked = false;
  bool inputsOff = true;
  bool exitAndHelpOn = true;
  pauses.onPause = [&](std::uint32_t) {
    checked = true;
    inputsOff = inputsOff && !anyInputEnabled();
    exitAndHelpOn = exitAndHelpOn && ::IsWindowEnabled(item(control::kExit)) &&
                    ::IsWindowEnabled(item(control::kHelp));
  };
  click(control::kProgram);
  EXPECT_TRUE(checked);
  EXPECT_TRUE(inputsOff);
  EXPECT_TRUE(exitAndHelpOn);
  EXPECT_EQ(device.programmedRecords(), 4u);
  EXPECT_EQ(::SendMessageW(item(control::kProgress), PBM_GETPOS, 0, 0), 0);
  for (const int id : kInputSet) EXPECT_TRUE(::IsWindowEnabled(item(id))) << id;
}

TEST_F(Win32WindowRun, DuringARunTheFocusMovesToExitSoThatEscStillEndsTheWindow) {
  openWindowFor(writeBootImage(2));
  ::SendMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(item(control::kProgram)), TRUE);
  HWND focusDuringRun = nullptr;
  bool escapeAsked = false;
  pauses.onPause = [&](std::uint32_t) {
    if (escapeAsked) return;
    escapeAsked = true;
    focusDuringRun = ::GetFocus();
    // Esc as the keyboard brings it: to the window with the focus, through the run's pump.
    MSG escape{focusDuringRun, WM_KEYDOWN, VK_ESCAPE, 0, 0, {}};
    ::IsDialogMessageW(dialog, &escape);
    EXPECT_TRUE(::IsWindow(dialog));
  };
  const HWND exitButton = item(control::kExit);
  click(control::kProgram);
  EXPECT_EQ(focusDuringRun, exitButton);
  EXPECT_EQ(device.programmedRecords(), 2u);
  EXPECT_FALSE(::IsWindow(dialog)) << "Esc during the run did not end the window";
}

TEST_F(Win32WindowRun, ThePressedButtonHasTheFocusAgainAfterItsConversation) {
  openWindowFor(writeBootImage(1));
  ::SendMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(item(control::kInfo)), TRUE);
  click(control::kInfo);
  EXPECT_EQ(::GetFocus(), item(control::kInfo));
}

TEST_F(Win32WindowRun, ClosingDuringARunWaitsForItsEndThenSaves) {
  const auto image = writeBootImage(4);
  openWindowFor(image);
  bool closeAsked = false;
  bool stayedOpen = true;
  pauses.onPause = [&](std::uint32_t) {
    if (!closeAsked) {
      closeAsked = true;
      ::SendMessageW(dialog, WM_CLOSE, 0, 0);  // the close box
    } else {
      stayedOpen = stayedOpen && ::IsWindow(dialog) && !storedType(L"File", L"Path");
    }
  };
  click(control::kProgram);
  EXPECT_TRUE(closeAsked);
  EXPECT_TRUE(stayedOpen);
  EXPECT_EQ(device.programmedRecords(), 4u);  // the run was not cut short
  EXPECT_FALSE(::IsWindow(dialog));
  EXPECT_EQ(settings.readText(L"File", L"Path", L""), image.wstring());
  EXPECT_EQ(settings.readInteger(L"Comm", L"IpAddr", 0), kDeviceAddress);
}

// Catches a message box that a window on this thread shows, as it is activated, notes what it
// says and whether the inputs were still off, and closes it with OK.
class WarningWatcher {
 public:
  explicit WarningWatcher(std::function<bool()> inputsOff) : inputsOff_(std::move(inputsOff)) {
    current_ = this;
    hook_ = ::SetWindowsHookExW(WH_CBT, &WarningWatcher::onEvent, nullptr, ::GetCurrentThreadId());
  }
  ~WarningWatcher() {
    ::UnhookWindowsHookEx(hook_);
    current_ = nullptr;
  }
  std::wstring caption, text;
  int boxes = 0;
  bool inputsWereOff = false;

 private:
  static LRESULT CALLBACK onEvent(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_ACTIVATE && current_ != nullptr) {
      const auto box = reinterpret_cast<HWND>(wParam);
      wchar_t name[32] = {};
      ::GetClassNameW(box, name, 32);
      if (std::wstring(name) == L"#32770" && ::GetWindow(box, GW_OWNER) != nullptr) {
        current_->inspect(box);
      }
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
  }

  void inspect(HWND box) {
    ++boxes;
    inputsWereOff = inputsOff_();
    caption = textOf(box);
    for (HWND child = ::GetWindow(box, GW_CHILD); child != nullptr;
         child = ::GetWindow(child, GW_HWNDNEXT)) {
      wchar_t name[32] = {};
      ::GetClassNameW(child, name, 32);
      if (std::wstring(name) == L"Static" && !textOf(child).empty()) {
        text = textOf(child);
      }
    }
    ::PostMessageW(box, WM_COMMAND, IDOK, 0);
  }

  static inline WarningWatcher* current_ = nullptr;
  std::function<bool()> inputsOff_;
  HHOOK hook_ = nullptr;
};

TEST_F(Win32WindowRun, AFailureShowsAWarningWhileTheInputsAreStillOff) {
  openWindowFor(files.write("broken.qlxfw", {0x42}));
  {
    WarningWatcher watcher([this] { return !anyInputEnabled(); });
    click(control::kProgram);
    // The watcher has closed the box, or the click would not have returned.
    EXPECT_EQ(watcher.boxes, 1);
    EXPECT_EQ(watcher.caption, settings.applicationName());
    EXPECT_EQ(watcher.text, toWide(text::kFormatError));
    EXPECT_TRUE(watcher.inputsWereOff);
  }
  for (const int id : kInputSet) EXPECT_TRUE(::IsWindowEnabled(item(id))) << id;
}

}  // namespace
}  // namespace korvel::test
