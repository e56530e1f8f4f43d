#include <windows.h>

#include <QWidget>

#include "ui/about_item.h"

namespace korvel {
namespace {

constexpr UINT kAboutCommand = 16;

}  // namespace

void addAboutItem(QWidget& window, const QString& text, const std::function<void()>&) {
  if (text.isEmpty()) return;
  HMENU menu = GetSystemMenu(reinterpret_cast<HWND>(window.winId()), FALSE);
  if (menu == nullptr) return;
  AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
  AppendMenuW(menu, MF_STRING, kAboutCommand, reinterpret_cast<LPCWSTR>(text.utf16()));
}

bool isAboutCommand(const QByteArray& eventType, void* message) {
  if (eventType != "windows_generic_MSG") return false;
  const auto* msg = static_cast<const MSG*>(message);
  return msg->message == WM_SYSCOMMAND && (msg->wParam & 0xFFF0) == kAboutCommand;
}

}  // namespace korvel
