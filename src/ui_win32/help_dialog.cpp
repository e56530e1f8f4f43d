#include "ui_win32/help_dialog.h"

#include <richedit.h>

#include <algorithm>
#include <cstring>
#include <string_view>

#include "ui_win32/dialog_template_builder.h"
#include "ui_win32/resource_ids.h"
#include "window/dialog_template.h"
#include "window/help_rtf.h"

namespace korvel {
namespace {

constexpr DWORD kDialogStyle = DS_MODALFRAME | DS_SYSMODAL | DS_CENTER | WS_POPUP | WS_CAPTION |
                               WS_SYSMENU | WS_MAXIMIZEBOX | WS_THICKFRAME;

std::string_view helpPageResource() {
  const HMODULE module = ::GetModuleHandleW(nullptr);
  const HRSRC found = ::FindResourceW(module, MAKEINTRESOURCEW(KORVEL_IDR_HELP_PAGE),
                                      MAKEINTRESOURCEW(KORVEL_RT_HTML));
  if (found == nullptr) return {};
  const HGLOBAL loaded = ::LoadResource(module, found);
  const void* data = loaded != nullptr ? ::LockResource(loaded) : nullptr;
  if (data == nullptr) return {};
  return std::string_view(static_cast<const char*>(data), ::SizeofResource(module, found));
}

// The rich edit control of Windows 7 and later, and of Wine; the older one where it is missing.
// Only the system's copies: a DLL of that name beside Korvel.exe must not be loaded instead.
const wchar_t* richEditClass() {
  static const wchar_t* const name = [] {
    if (::LoadLibraryExW(L"Msftedit.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32) != nullptr) {
      return MSFTEDIT_CLASS;
    }
    ::LoadLibraryExW(L"Riched20.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    return RICHEDIT_CLASSW;
  }();
  return name;
}

struct StreamSource {
  const std::string* text;
  std::size_t offset;
};

DWORD CALLBACK readRtf(DWORD_PTR cookie, LPBYTE buffer, LONG wanted, LONG* given) {
  auto* source = reinterpret_cast<StreamSource*>(cookie);
  const std::size_t left = source->text->size() - source->offset;
  const std::size_t count = std::min(left, static_cast<std::size_t>(wanted));
  std::memcpy(buffer, source->text->data() + source->offset, count);
  source->offset += count;
  *given = static_cast<LONG>(count);
  return 0;
}

}  // namespace

std::string CHelpDialog::pageRtf() { return window::helpPageToRtf(helpPageResource()); }

std::vector<DWORD> CHelpDialog::dialogTemplate() const {
  // Topmost: the system-modal style alone does not make it so everywhere.
  return DialogTemplateBuilder::build(window::helpWindowTemplate(), kDialogStyle, WS_EX_TOPMOST);
}

std::optional<INT_PTR> CHelpDialog::onMessage(UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      createPage();
      // The page takes the focus itself: the dialog manager would select all of its text.
      ::SetFocus(item(kPageId));
      return FALSE;
    case WM_SIZE:
      fitPage();
      return 0;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK) end(kResultOk);
      if (LOWORD(wParam) == IDCANCEL) end(kResultCancel);
      return 0;
    default:
      return std::nullopt;
  }
}

void CHelpDialog::createPage() {
  const HWND page = ::CreateWindowExW(
      0, richEditClass(), L"",
      WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_TABSTOP | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL,
      0, 0, 0, 0, hwnd(), reinterpret_cast<HMENU>(static_cast<INT_PTR>(kPageId)),
      ::GetModuleHandleW(nullptr), nullptr);
  if (page == nullptr) return;
  ::SendMessageW(page, EM_SETBKGNDCOLOR, 0, ::GetSysColor(COLOR_WINDOW));
  // Room around the text, as a page has.
  ::SendMessageW(page, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, MAKELPARAM(12, 12));
  const std::string rtf = pageRtf();
  StreamSource source{&rtf, 0};
  EDITSTREAM stream{reinterpret_cast<DWORD_PTR>(&source), 0, &readRtf};
  ::SendMessageW(page, EM_STREAMIN, SF_RTF, reinterpret_cast<LPARAM>(&stream));
  fitPage();
  ::SendMessageW(page, EM_SETSEL, 0, 0);
  ::SendMessageW(page, WM_VSCROLL, SB_TOP, 0);
}

void CHelpDialog::fitPage() {
  RECT client;
  ::GetClientRect(hwnd(), &client);
  if (const HWND page = item(kPageId)) {
    ::MoveWindow(page, 0, 0, client.right, client.bottom, TRUE);
  }
}

}  // namespace korvel
