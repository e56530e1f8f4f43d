#include "ui_win32/dialog_window.h"

namespace korvel {

DialogWindow::~DialogWindow() {
  if (hwnd_ != nullptr && !modal_) {
    ::SetWindowLongPtrW(hwnd_, DWLP_USER, 0);
    ::DestroyWindow(hwnd_);
  }
}

INT_PTR DialogWindow::doModal(HWND owner) {
  modal_ = true;
  const std::vector<DWORD> data = dialogTemplate();
  return ::DialogBoxIndirectParamW(::GetModuleHandleW(nullptr),
                                   reinterpret_cast<LPCDLGTEMPLATEW>(data.data()), owner,
                                   &DialogWindow::dialogProc, reinterpret_cast<LPARAM>(this));
}

HWND DialogWindow::create(HWND owner) {
  modal_ = false;
  const std::vector<DWORD> data = dialogTemplate();
  return ::CreateDialogIndirectParamW(::GetModuleHandleW(nullptr),
                                      reinterpret_cast<LPCDLGTEMPLATEW>(data.data()), owner,
                                      &DialogWindow::dialogProc, reinterpret_cast<LPARAM>(this));
}

void DialogWindow::end(INT_PTR result) {
  if (modal_) {
    ::EndDialog(hwnd_, result);
  } else {
    ::DestroyWindow(hwnd_);
  }
}

INT_PTR CALLBACK DialogWindow::dialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<DialogWindow*>(::GetWindowLongPtrW(window, DWLP_USER));
  if (message == WM_INITDIALOG) {
    self = reinterpret_cast<DialogWindow*>(lParam);
    ::SetWindowLongPtrW(window, DWLP_USER, lParam);
    self->hwnd_ = window;
  }
  if (self == nullptr) return FALSE;
  const std::optional<INT_PTR> answer = self->onMessage(message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    ::SetWindowLongPtrW(window, DWLP_USER, 0);
    self->hwnd_ = nullptr;
  }
  if (!answer) return FALSE;
  // Messages that return a value of their own bypass DWLP_MSGRESULT.
  switch (message) {
    case WM_INITDIALOG:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_QUERYDRAGICON:
      return *answer;
    default:
      ::SetWindowLongPtrW(window, DWLP_MSGRESULT, *answer);
      return TRUE;
  }
}

}  // namespace korvel
