#pragma once

#include <string>

#include "ui_win32/dialog_window.h"

namespace korvel {

// The help page: how to reprogram a device, from the executable's resources, in a modal,
// topmost, resizable window whose rich edit page scrolls; the close box ends it.
class CHelpDialog : public DialogWindow {
 public:
  static constexpr int kPageId = 1000;
  static constexpr int kResultOk = 1;
  static constexpr int kResultCancel = 2;

  // The page as RTF: the help page resource turned into what a rich edit control reads.
  static std::string pageRtf();

 protected:
  std::vector<DWORD> dialogTemplate() const override;
  std::optional<INT_PTR> onMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void createPage();
  void fitPage();
};

}  // namespace korvel
