#pragma once

#include <windows.h>

#include <optional>
#include <vector>

namespace korvel {

// A dialog built from an in-memory template whose messages go to a member function. Modal by
// doModal, or modeless by create (tests drive a modeless one on their own thread).
class DialogWindow {
 public:
  virtual ~DialogWindow();
  DialogWindow(const DialogWindow&) = delete;
  DialogWindow& operator=(const DialogWindow&) = delete;

  INT_PTR doModal(HWND owner);
  HWND create(HWND owner);
  HWND hwnd() const { return hwnd_; }
  bool isModal() const { return modal_; }

 protected:
  DialogWindow() = default;

  virtual std::vector<DWORD> dialogTemplate() const = 0;
  // The answer to a message: nothing lets the dialog manager handle it.
  virtual std::optional<INT_PTR> onMessage(UINT message, WPARAM wParam, LPARAM lParam) = 0;
  // Ends a modal dialog with `result`, destroys a modeless one.
  void end(INT_PTR result);
  HWND item(int id) const { return ::GetDlgItem(hwnd_, id); }

 private:
  static INT_PTR CALLBACK dialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  HWND hwnd_ = nullptr;
  bool modal_ = false;
};

}  // namespace korvel
