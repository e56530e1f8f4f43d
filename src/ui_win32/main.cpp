#include <windows.h>

#include "ui_win32/korvel_app.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  korvel::CKorvelApp app;
  return app.run();
}
