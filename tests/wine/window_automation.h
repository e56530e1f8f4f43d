#pragma once

#include <windows.h>

#include <commctrl.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "window/control_ids.h"

namespace korvel::test {

// Korvel.exe as UI automation sees it: a process whose dialog is found by its title and driven
// through window messages, its controls found by number. Texts travel by WM_GETTEXT and
// WM_SETTEXT, which Windows carries between processes.
class KorvelProcess {
 public:
  static constexpr auto kPatience = std::chrono::seconds(60);

  explicit KorvelProcess(const std::wstring& executable) {
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    std::wstring commandLine = L"\"" + executable + L"\"";
    if (!::CreateProcessW(executable.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                          nullptr, nullptr, &startup, &process_)) {
      return;
    }
    ::WaitForInputIdle(process_.hProcess, 20000);
    waitFor([this] { return (dialog_ = findWindow(L"Korvel ")) != nullptr; });
  }

  ~KorvelProcess() {
    if (process_.hProcess == nullptr) return;
    if (::WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
      ::TerminateProcess(process_.hProcess, 99);
      ::WaitForSingleObject(process_.hProcess, 5000);
    }
    ::CloseHandle(process_.hThread);
    ::CloseHandle(process_.hProcess);
  }

  KorvelProcess(const KorvelProcess&) = delete;
  KorvelProcess& operator=(const KorvelProcess&) = delete;

  HWND dialog() const { return dialog_; }
  HWND item(int id) const { return ::GetDlgItem(dialog_, id); }

  static std::wstring textOf(HWND window) {
    std::vector<wchar_t> buffer(4096, L'\0');
    DWORD_PTR copied = 0;
    ::SendMessageTimeoutW(window, WM_GETTEXT, buffer.size(),
                          reinterpret_cast<LPARAM>(buffer.data()), SMTO_NORMAL, 20000, &copied);
    return std::wstring(buffer.data());
  }
  std::wstring text(int id) const { return textOf(item(id)); }
  void setText(int id, const std::wstring& text) const {
    DWORD_PTR ignored = 0;
    ::SendMessageTimeoutW(item(id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()),
                          SMTO_NORMAL, 20000, &ignored);
  }
  // The IP field's four parts as shown.
  std::vector<std::wstring> ipParts() const {
    std::vector<std::wstring> parts;
    for (HWND part = ::GetWindow(item(1002), GW_CHILD); part != nullptr;
         part = ::GetWindow(part, GW_HWNDNEXT)) {
      parts.push_back(textOf(part));
    }
    return parts;
  }
  LRESULT send(int id, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
    DWORD_PTR result = 0;
    ::SendMessageTimeoutW(item(id), message, wParam, lParam, SMTO_NORMAL, 20000, &result);
    return static_cast<LRESULT>(result);
  }
  // A press as the operator's would come: queued, so that this side does not wait for the
  // conversation it starts.
  void click(int id) const { ::PostMessageW(item(id), BM_CLICK, 0, 0); }
  // A press whose conversation this side waits for; false when it did not end in time (a message
  // box waiting for its OK, for one).
  // The window switches the input set off as it takes the press and on when the conversation
  // has returned, the via-boot box last.
  bool pressAndWait(int id) const {
    DWORD_PTR ignored = 0;
    if (::SendMessageTimeoutW(item(id), BM_CLICK, 0, 0, SMTO_NORMAL,
                              static_cast<UINT>(std::chrono::milliseconds(kPatience).count()),
                              &ignored) == 0) {
      return false;
    }
    return waitFor([this] { return ::IsWindowEnabled(item(control::kViaBoot)) != FALSE; });
  }
  void close() const { ::PostMessageW(dialog_, WM_CLOSE, 0, 0); }
  // The close box, waiting until the window has handled it.
  void closeAndWaitForTheWindow() const {
    DWORD_PTR ignored = 0;
    ::SendMessageTimeoutW(dialog_, WM_CLOSE, 0, 0, SMTO_NORMAL, 20000, &ignored);
  }

  // A top-level window of this process whose title starts with `title` and whose class is
  // `className` (any when null): the dialog, a message box, the help page.
  HWND findWindow(const std::wstring& title, const wchar_t* className = L"#32770") const {
    struct Search {
      DWORD processId;
      const std::wstring* title;
      const wchar_t* className;
      HWND found;
    } search{process_.dwProcessId, &title, className, nullptr};
    ::EnumWindows(
        [](HWND window, LPARAM context) -> BOOL {
          auto* s = reinterpret_cast<Search*>(context);
          DWORD owner = 0;
          ::GetWindowThreadProcessId(window, &owner);
          if (owner != s->processId || !::IsWindowVisible(window)) return TRUE;
          wchar_t name[64] = {};
          ::GetClassNameW(window, name, 64);
          if (s->className != nullptr && std::wstring(name) != s->className) return TRUE;
          wchar_t caption[256] = {};
          ::GetWindowTextW(window, caption, 256);
          if (std::wstring(caption).rfind(*s->title, 0) != 0) return TRUE;
          s->found = window;
          return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
  }

  // A dialog that the main window owns: a message box, the help page, the About box.
  HWND findOwned(const std::wstring& title) const {
    HWND window = nullptr;
    while ((window = ::FindWindowExW(nullptr, window, L"#32770", nullptr)) != nullptr) {
      if (::GetWindow(window, GW_OWNER) == dialog_ && ::IsWindowVisible(window) &&
          textOf(window) == title) {
        return window;
      }
    }
    return nullptr;
  }

  // The texts of a window's static children: what a message box says.
  static std::vector<std::wstring> staticTexts(HWND window) {
    std::vector<std::wstring> texts;
    for (HWND child = ::GetWindow(window, GW_CHILD); child != nullptr;
         child = ::GetWindow(child, GW_HWNDNEXT)) {
      wchar_t name[32] = {};
      ::GetClassNameW(child, name, 32);
      if (std::wstring(name) == L"Static") texts.push_back(textOf(child));
    }
    return texts;
  }

  // Waits for the process to end on its own; its exit code, or nothing after `kPatience`.
  std::optional<DWORD> waitForExit() const {
    if (::WaitForSingleObject(process_.hProcess,
                              static_cast<DWORD>(std::chrono::milliseconds(kPatience).count())) !=
        WAIT_OBJECT_0) {
      return std::nullopt;
    }
    DWORD code = 0;
    ::GetExitCodeProcess(process_.hProcess, &code);
    return code;
  }
  bool running() const { return ::WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT; }

  // Polls what another process shows until `done` holds; false after `kPatience`.
  static bool waitFor(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    while (!done()) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      ::Sleep(20);
    }
    return true;
  }

 private:
  PROCESS_INFORMATION process_{};
  HWND dialog_ = nullptr;
};

}  // namespace korvel::test
