#pragma once

#include "ui_win32/dialog_window.h"

namespace korvel {

// The About box: the program's name, version and what it is for.
class CAboutDlg : public DialogWindow {
 protected:
  std::vector<DWORD> dialogTemplate() const override;
  std::optional<INT_PTR> onMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
};

}  // namespace korvel
