#include "ui_win32/about_dlg.h"

#include "common/texts.h"
#include "ui_win32/dialog_template_builder.h"
#include "ui_win32/wide_text.h"
#include "window/control_ids.h"
#include "window/dialog_template.h"

namespace korvel {
namespace {

constexpr DWORD kDialogStyle =
    DS_MODALFRAME | DS_FIXEDSYS | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU;

}  // namespace

std::vector<DWORD> CAboutDlg::dialogTemplate() const {
  return DialogTemplateBuilder::build(window::aboutBoxTemplate(), kDialogStyle);
}

std::optional<INT_PTR> CAboutDlg::onMessage(UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG: {
      const std::wstring version = toWide(text::kAboutVersionPrefix) + toWide(text::kVersion);
      ::SetDlgItemTextW(hwnd(), control::kAboutVersion, version.c_str());
      return TRUE;
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) end(LOWORD(wParam));
      return 0;
    default:
      return std::nullopt;
  }
}

}  // namespace korvel
