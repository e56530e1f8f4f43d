#include "ui_win32/korvel_app.h"

#include <windows.h>

#include "link/socket_layer.h"
#include "ui_win32/korvel_dlg.h"
#include "ui_win32/registry_settings.h"
#include "ui_win32/resource_ids.h"

namespace korvel {

int CKorvelApp::run() {
  if (!startSocketLayer()) {
    wchar_t text[256] = {};
    ::LoadStringW(::GetModuleHandleW(nullptr), KORVEL_IDS_SOCKETS_FAILED, text, 256);
    ::MessageBoxW(nullptr, text, RegistrySettings::executableName().c_str(),
                  MB_OK | MB_ICONEXCLAMATION);
    return 1;
  }
  {
    CKorvelDlg window;
    window.doModal(nullptr);
  }
  stopSocketLayer();
  return 0;
}

}  // namespace korvel
