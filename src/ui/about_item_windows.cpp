#include <windows.h>

#include <QWidget>

#include "ui/about_item.h"
#include "window/windows_system_menu.h"

namespace korvel {

void addAboutItem(QWidget& window, const QString& text, const std::function<void()>&) {
  if (text.isEmpty()) return;
  appendAboutMenuItem(GetSystemMenu(reinterpret_cast<HWND>(window.winId()), FALSE),
                      reinterpret_cast<LPCWSTR>(text.utf16()));
}

bool isAboutCommand(const QByteArray& eventType, void* message) {
  if (eventType != "windows_generic_MSG") return false;
  const auto* msg = static_cast<const MSG*>(message);
  return isAboutSystemCommand(msg->message, msg->wParam);
}

}  // namespace korvel
