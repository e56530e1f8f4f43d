#pragma once

#include <windows.h>

#include <vector>

#include "window/dialog_template.h"

namespace korvel {

// An in-memory DLGTEMPLATEEX for DialogBoxIndirectParamW and CreateDialogIndirectParamW, built
// from a window's description. The vector keeps the DWORD alignment the dialog manager needs.
class DialogTemplateBuilder {
 public:
  static std::vector<DWORD> build(const window::DialogTemplate& dialog, DWORD style,
                                  DWORD extendedStyle = 0);

  // The window class and style a control of the description is created with.
  static const wchar_t* className(const window::ControlTemplate& control);
  static DWORD controlStyle(const window::ControlTemplate& control);
};

}  // namespace korvel
