#include <windows.h>

#include <commctrl.h>
#include <commdlg.h>
#include <dlgs.h>

#include <functional>
#include <thread>
#include <utility>

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
  settle();
  EXPECT_EQ(text(control::kInfoBox),
            L"'BOOT'\r\nBoard Id=0x000012AB №3.7 Boot v1.2\r\n'MAIN'\r\nv2.5");
  EXPECT_EQ(::SendMessageW(item(control::kProgress), PBM_GETPOS, 0, 0), 0);
  EXPECT_FALSE(window->isRunning());
  EXPECT_FALSE(::IsWindowEnabled(item(control::kInfo)) == FALSE);
  for (const int id : kInputSet) EXPECT_TRUE(::IsWindowEnabled(item(id))) << id;
}

TEST_F(Win32WindowRun, DuringARunTheInputsAreOffWhileExitAndHelpStayOnUnderTheWaitCursor) {
  openWindowFor(writeBootImage(4));
  const HCURSOR wait = ::LoadCursorW(nullptr, IDC_WAIT);
  const HCURSOR arrow = ::LoadCursorW(nullptr, IDC_ARROW);
  ::SetCursor(arrow);
  clickAndHold(control::kProgram);
  EXPECT_FALSE(anyInputEnabled());
  EXPECT_TRUE(::IsWindowEnabled(item(control::kExit)));
  EXPECT_TRUE(::IsWindowEnabled(item(control::kHelp)));
  EXPECT_EQ(::GetCursor(), wait);
  pauses.release();
  settle();
  EXPECT_EQ(::GetCursor(), arrow);
  EXPECT_EQ(device.programmedRecords(), 4u);
  EXPECT_EQ(::SendMessageW(item(control::kProgress), PBM_GETPOS, 0, 0), 0);
  for (const int id : kInputSet) EXPECT_TRUE(::IsWindowEnabled(item(id))) << id;
}

TEST_F(Win32WindowRun, DuringARunTheFocusMovesToExitSoThatEscStillEndsTheWindow) {
  openWindowFor(writeBootImage(2));
  ::SendMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(item(control::kProgram)), TRUE);
  const HWND exitButton = item(control::kExit);
  clickAndHold(control::kProgram);
  const HWND focusDuringRun = ::GetFocus();
  // Esc as the keyboard brings it: to the window with the focus, through the window's loop.
  MSG escape{focusDuringRun, WM_KEYDOWN, VK_ESCAPE, 0, 0, {}};
  ::IsDialogMessageW(dialog, &escape);
  EXPECT_TRUE(::IsWindow(dialog));
  pauses.release();
  settle();
  EXPECT_EQ(focusDuringRun, exitButton);
  EXPECT_EQ(device.programmedRecords(), 2u);
  EXPECT_FALSE(::IsWindow(dialog)) << "Esc during the run did not end the window";
}

TEST_F(Win32WindowRun, ThePressedButtonHasTheFocusAgainAfterItsConversation) {
  openWindowFor(writeBootImage(1));
  ::SendMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(item(control::kInfo)), TRUE);
  click(control::kInfo);
  settle();
  EXPECT_EQ(::GetFocus(), item(control::kInfo));
}

// Catches each dialog that a window on this thread opens over it (a message box, the About box,
// the help page, the file dialog) as it is activated, hands it to `inspect`, and closes it.
class ModalWatcher {
 public:
  explicit ModalWatcher(std::function<void(HWND)> inspect) : inspect_(std::move(inspect)) {
    current_ = this;
    hook_ = ::SetWindowsHookExW(WH_CBT, &ModalWatcher::onEvent, nullptr, ::GetCurrentThreadId());
  }
  ~ModalWatcher() {
    ::UnhookWindowsHookEx(hook_);
    current_ = nullptr;
  }
  int opened = 0;

 private:
  static LRESULT CALLBACK onEvent(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_ACTIVATE && current_ != nullptr) {
      const auto box = reinterpret_cast<HWND>(wParam);
      wchar_t name[32] = {};
      ::GetClassNameW(box, name, 32);
      if (std::wstring(name) == L"#32770" && ::GetWindow(box, GW_OWNER) != nullptr &&
          box != current_->box_) {
        current_->box_ = box;
        // A timer comes only when the queue is empty: after the box has set itself up.
        ::SetTimer(nullptr, 0, 0, &ModalWatcher::onIdle);
      }
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
  }

  static void CALLBACK onIdle(HWND, UINT, UINT_PTR timer, DWORD) {
    ::KillTimer(nullptr, timer);
    if (current_ == nullptr || current_->box_ == nullptr) return;
    const HWND box = std::exchange(current_->box_, nullptr);
    ++current_->opened;
    current_->inspect_(box);
    ::PostMessageW(box, WM_COMMAND, IDCANCEL, 0);
  }

  static inline ModalWatcher* current_ = nullptr;
  std::function<void(HWND)> inspect_;
  HHOOK hook_ = nullptr;
  HWND box_ = nullptr;
};

// What a message box says: the text of its one non-empty static control.
std::wstring messageOf(HWND box) {
  std::wstring said;
  for (HWND child = ::GetWindow(box, GW_CHILD); child != nullptr;
       child = ::GetWindow(child, GW_HWNDNEXT)) {
    wchar_t name[32] = {};
    ::GetClassNameW(child, name, 32);
    if (std::wstring(name) == L"Static" && !textOf(child).empty()) said = textOf(child);
  }
  return said;
}

// While the run stands in a pause, the window's thread opens help, repaints and takes the close
// box twice; the run then finishes and the window closes and saves.
TEST_F(Win32WindowRun, DuringAHeldRunTheWindowAnswersThenClosesAndSavesWhenTheRunHasReturned) {
  const auto image = writeBootImage(4);
  openWindowFor(image);
  clickAndHold(control::kProgram);
  {
    ModalWatcher watcher([](HWND) {});
    click(control::kHelp);
    EXPECT_EQ(watcher.opened, 1);
  }
  EXPECT_NE(::RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW), FALSE);
  ::SendMessageW(dialog, WM_CLOSE, 0, 0);           // the close box
  ::SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);  // Esc: nothing new
  EXPECT_TRUE(::IsWindow(dialog));
  const std::wstring typedMeanwhile = (files.path() / L"другой.qlxfw").wstring();
  setText(control::kPath, typedMeanwhile);  // saved only when the window ends
  EXPECT_EQ(settings.readText(L"File", L"Path", L""), image.wstring());
  pauses.release();
  settle();
  EXPECT_EQ(device.programmedRecords(), 4u);  // the run was not cut short
  EXPECT_FALSE(::IsWindow(dialog));
  EXPECT_EQ(settings.readText(L"File", L"Path", L""), typedMeanwhile);
  EXPECT_EQ(settings.readInteger(L"Comm", L"IpAddr", 0), kDeviceAddress.hostOrder());
}

// The session asks to end during a run: the window holds it, the run stops after the exchange in
// flight, and the window ends and saves. Asked again when idle, it lets the session end.
TEST_F(Win32WindowRun, TheSessionEndingDuringARunStopsTheRunThenTheWindowSavesAndEnds) {
  const auto image = writeBootImage(4);
  openWindowFor(image);
  clickAndHold(control::kProgram);
  EXPECT_EQ(::SendMessageW(dialog, WM_QUERYENDSESSION, 0, ENDSESSION_CLOSEAPP), FALSE);
  EXPECT_TRUE(::IsWindow(dialog));
  setText(control::kPath, (files.path() / L"другой.qlxfw").wstring());
  pauses.release();
  settle();
  EXPECT_LT(device.programmedRecords(), 4u) << "the run went on to its end";
  EXPECT_FALSE(::IsWindow(dialog));
  EXPECT_EQ(settings.readText(L"File", L"Path", L""), (files.path() / L"другой.qlxfw").wstring());
}

TEST_F(Win32WindowRun, TheSessionEndingAtOnceWaitsForTheRunToStopAndEndsTheWindow) {
  openWindowFor(writeBootImage(4));
  clickAndHold(control::kProgram);
  // The session ends whatever the window answers: the run is let go once the window has asked it
  // to stop, and the window ends within this very message.
  std::thread release([this] {
    while (!window->programmer().stopRequested()) std::this_thread::yield();
    pauses.release();
  });
  ::SendMessageW(dialog, WM_ENDSESSION, TRUE, ENDSESSION_CLOSEAPP);
  release.join();
  EXPECT_FALSE(::IsWindow(dialog));
  EXPECT_LT(device.programmedRecords(), 4u);
  EXPECT_EQ(settings.readInteger(L"Comm", L"IpAddr", 0), kDeviceAddress.hostOrder());
}

TEST_F(Win32WindowRun, AnIdleWindowLetsTheSessionEnd) {
  openWindow();
  EXPECT_NE(::SendMessageW(dialog, WM_QUERYENDSESSION, 0, 0), FALSE);
}

TEST_F(Win32WindowRun, AFailureShowsAWarningWhileTheInputsAreStillOff) {
  openWindowFor(files.write("broken.qlxfw", {0x42}));
  std::wstring caption, said;
  bool inputsWereOff = false;
  {
    ModalWatcher watcher([&](HWND box) {
      inputsWereOff = !anyInputEnabled();
      caption = textOf(box);
      said = messageOf(box);
    });
    click(control::kProgram);
    settle();
    EXPECT_EQ(watcher.opened, 1);
  }
  EXPECT_EQ(caption, settings.applicationName());
  EXPECT_EQ(said, toWide(text::kFormatError));
  EXPECT_TRUE(inputsWereOff);
  for (const int id : kInputSet) EXPECT_TRUE(::IsWindowEnabled(item(id))) << id;
}

}  // namespace
}  // namespace korvel::test

namespace korvel::test {
namespace {

using Win32WindowBoxes = Win32WindowTest;

TEST_F(Win32WindowBoxes, TheAboutItemOpensTheAboutBoxWhateverTheLowFourBitsSay) {
  openWindow();
  std::wstring title, version;
  ModalWatcher watcher([&](HWND box) {
    title = textOf(box);
    version = textOf(::GetDlgItem(box, control::kAboutVersion));
  });
  ::SendMessageW(dialog, WM_SYSCOMMAND, 0x0011, 0);  // the item's 16 with a low bit set
  EXPECT_EQ(watcher.opened, 1);
  EXPECT_EQ(title, toWide(text::kAboutTitle));
  EXPECT_EQ(version, L"Версия " + toWide(text::kVersion));
  ::SendMessageW(dialog, WM_SYSCOMMAND, 0x0020, 0);  // not the About item: no box
  EXPECT_EQ(watcher.opened, 1);
}

TEST_F(Win32WindowBoxes, HelpIsATopmostResizablePageThatScrolls) {
  openWindowFor(writeBootImage(1));
  setText(control::kLogin, L"оператор");
  std::wstring title, page;
  LONG style = 0, extendedStyle = 0, pageStyle = 0;
  ModalWatcher watcher([&](HWND help) {
    title = textOf(help);
    style = ::GetWindowLongW(help, GWL_STYLE);
    extendedStyle = ::GetWindowLongW(help, GWL_EXSTYLE);
    const HWND text = ::GetDlgItem(help, 1000);
    pageStyle = ::GetWindowLongW(text, GWL_STYLE);
    page = textOf(text);
  });
  click(control::kHelp);
  EXPECT_EQ(watcher.opened, 1);
  EXPECT_EQ(title, toWide(text::kHelpTitle));
  EXPECT_TRUE(style & WS_THICKFRAME);
  EXPECT_TRUE(style & WS_MAXIMIZEBOX);
  EXPECT_TRUE(extendedStyle & WS_EX_TOPMOST);
  EXPECT_TRUE(pageStyle & WS_VSCROLL);
  EXPECT_TRUE(pageStyle & ES_READONLY);
  for (const wchar_t* part : {L"Подготовка", L"Простой способ", L"Расширенный способ",
                              L"Дополнительные сведения", L"«Через загрузчик»"}) {
    EXPECT_NE(page.find(part), std::wstring::npos) << fromWide(part);
  }
  EXPECT_EQ(page.find(L"<"), std::wstring::npos);
  // Closing the page leaves the window as it was.
  EXPECT_EQ(text(control::kLogin), L"оператор");
}

TEST_F(Win32WindowBoxes, CancellingTheFileDialogScansThePathInTheFieldAgain) {
  const auto image = writeBootImage(1, "выбранный образ.qlxfw");
  openWindow();
  // A path typed by hand is not scanned until the next use of the file dialog.
  setText(control::kPath, image.wstring());
  EXPECT_EQ(text(control::kSummary), toWide(text::kSummaryCannotOpen));
  std::wstring folder;
  std::vector<std::wstring> filters;
  LRESULT activeFilter = -1;
  ModalWatcher watcher([&](HWND box) {
    wchar_t buffer[MAX_PATH] = {};
    ::SendMessageW(box, CDM_GETFOLDERPATH, MAX_PATH, reinterpret_cast<LPARAM>(buffer));
    folder = buffer;
    const HWND types = ::GetDlgItem(box, cmb1);  // the file dialog's list of filters
    for (LRESULT i = 0; i < ::SendMessageW(types, CB_GETCOUNT, 0, 0); ++i) {
      ::SendMessageW(types, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(buffer));
      filters.push_back(buffer);
    }
    activeFilter = ::SendMessageW(types, CB_GETCURSEL, 0, 0);
  });
  click(control::kBrowse);
  EXPECT_EQ(watcher.opened, 1);
  // It opens where the image in the field is, with the images' filter first and active.
  EXPECT_EQ(folder, image.parent_path().wstring());
  EXPECT_EQ(filters,
            (std::vector<std::wstring>{toWide(text::kFilterImages), toWide(text::kFilterAll)}));
  EXPECT_EQ(activeFilter, 0);
  EXPECT_EQ(text(control::kPath), image.wstring());
  EXPECT_EQ(text(control::kSummary), L"'MAIN' v2.5");
}

}  // namespace
}  // namespace korvel::test
