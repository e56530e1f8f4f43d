#pragma once

#include <windows.h>

#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "programming/device_lock.h"
#include "programming/device_programmer.h"
#include "programming/interruptible_pauses.h"
#include "ui_win32/dialog_window.h"
#include "window/window_controller.h"
#include "window/window_settings.h"
#include "window/window_view.h"

namespace korvel {

class EchoService;
class Pauses;
class RegistrySettings;

// The main window on Windows: the window controller's view as a native dialog built from the
// window's description. It restores its settings when it starts and saves them when it is
// destroyed, however it is ended; the device conversations run beside its thread.
class CKorvelDlg : public DialogWindow, public WindowView {
 public:
  // A null service means the system's own: the ICMP echo service, pauses that really sleep (and
  // end at once when the session ends), and the registry under the executable's name.
  explicit CKorvelDlg(EchoService* echoService = nullptr, Pauses* pauses = nullptr,
                      RegistrySettings* settings = nullptr);
  ~CKorvelDlg() override;

  // The handlers of the buttons and of the About item.
  void programDevice();
  void queryDeviceInfo();
  void browseImage();
  void showHelp();
  void showImageSummary();
  void showAbout();

  // WindowView
  Ipv4Address ipAddress() const override;
  void setIpAddress(Ipv4Address address) override;
  std::string login() const override;
  std::string password() const override;
  bool viaBoot() const override;
  void setViaBoot(bool checked) override;
  std::string imagePath() const override;
  void setImagePath(const std::string& path) override;
  void setSummaryText(const std::string& text) override;
  void setInfoText(const std::string& text) override;
  void setProgressRange(int lower, int upper) override;
  void setProgressPosition(int position) override;
  void setInputsEnabled(bool enabled) override;
  void beginWaitCursor() override;
  void reassertWaitCursor() override;
  void endWaitCursor() override;
  void showWarning(const std::string& text) override;
  void rememberFocus() override;
  void restoreFocus() override;
  void endWindow(int result) override;
  void postToUi(std::function<void()> call) override;

  bool isRunning() const { return controller_->isRunning(); }
  WindowController& controller() { return *controller_; }
  DeviceProgrammer& programmer() { return controller_->programmer(); }

  // The common controls the dialog uses (the IP field, the progress bar); once per process.
  static void registerControlClasses();

 protected:
  std::vector<DWORD> dialogTemplate() const override;
  std::optional<INT_PTR> onMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  INT_PTR onInitDialog();
  void onCommand(int id, int code);
  bool onSysCommand(WPARAM command);
  bool paintMinimised();
  void onDestroy();
  // Exit, Enter, Esc and the close box; during a conversation the window waits for its end.
  void requestEnd(int result);
  BOOL onQueryEndSession();
  void onEndSession(bool ending);
  void runPostedCalls();
  std::wstring itemText(int id) const;

  std::unique_ptr<EchoService> ownEchoService_;
  std::unique_ptr<InterruptiblePauses> ownPauses_;
  std::unique_ptr<DeviceLocks> ownDeviceLocks_;
  std::unique_ptr<RegistrySettings> ownSettings_;
  RegistrySettings& settings_;
  std::unique_ptr<WindowSettings> windowSettings_;

  HICON bigIcon_ = nullptr;
  HICON smallIcon_ = nullptr;
  HCURSOR cursorBeforeWait_ = nullptr;
  HWND focusedBeforeConversation_ = nullptr;
  bool shutdownBlocked_ = false;
  std::mutex postedMutex_;
  HWND postTarget_ = nullptr;
  std::deque<std::function<void()>> posted_;
  std::unique_ptr<WindowController> controller_;
};

}  // namespace korvel
