#pragma once

#include <functional>
#include <memory>
#include <string>

#include <QDialog>
#include <QPointer>

#include "programming/device_programmer.h"
#include "window/window_controller.h"
#include "window/window_view.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

namespace korvel {

class DeviceLocks;
class EchoService;
class IpAddressEdit;
class InterruptiblePauses;
class Pauses;
class SettingsStore;
class WindowSettings;

// The main window: the window controller's view with real widgets, laid out as the dialog
// template has it. It restores its settings when it starts and saves them when it ends, however
// it is ended; the device conversations run beside its thread.
class QtKorvelWindow : public QDialog, public WindowView {
  Q_OBJECT

 public:
  // A null service means the system's own: the operating system's echo facility, pauses that
  // really sleep (and end at once when the system ends the program), and the per-user settings
  // store. With the system's echo facility the window also holds the system's per-device lock
  // during each conversation.
  explicit QtKorvelWindow(QWidget* parent = nullptr, EchoService* echoService = nullptr,
                          Pauses* pauses = nullptr, SettingsStore* settings = nullptr);
  ~QtKorvelWindow() override;

  // The handlers of the buttons and of the About item.
  void programDevice();
  void queryDeviceInfo();
  void browseImage();
  void showHelp();
  void showImageSummary();
  void showAbout();
  // The system asks the program to end: a run stops after the exchange in flight, then the
  // window ends and saves its settings.
  void endBySystem();

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

  // A control by its number (control::kExit, ...), or null.
  QWidget* control(int id) const;
  bool isRunning() const { return controller_->isRunning(); }
  WindowController& controller() { return *controller_; }
  DeviceProgrammer& programmer() { return controller_->programmer(); }

 public Q_SLOTS:
  // Ending the window during a conversation waits until the conversation has returned.
  void done(int result) override;

 protected:
  bool nativeEvent(const QByteArray& eventType, void* message, qintptr* result) override;

 private:
  template <typename Widget>
  Widget* addControl(Widget* widget, const char* name);
  void createControls();

  std::unique_ptr<EchoService> ownEchoService_;
  std::unique_ptr<InterruptiblePauses> ownPauses_;
  std::unique_ptr<SettingsStore> ownSettings_;
  std::unique_ptr<DeviceLocks> ownDeviceLocks_;
  std::unique_ptr<WindowSettings> windowSettings_;

  QPushButton* exitButton_ = nullptr;
  IpAddressEdit* ipField_ = nullptr;
  QPushButton* programButton_ = nullptr;
  QProgressBar* progressBar_ = nullptr;
  QLineEdit* pathField_ = nullptr;
  QPushButton* browseButton_ = nullptr;
  QPushButton* infoButton_ = nullptr;
  QPlainTextEdit* infoBox_ = nullptr;
  QLabel* ipLabel_ = nullptr;
  QPushButton* helpButton_ = nullptr;
  QLabel* summaryField_ = nullptr;
  QLineEdit* loginField_ = nullptr;
  QLabel* credentialsLabel_ = nullptr;
  QLineEdit* passwordField_ = nullptr;
  QCheckBox* viaBootBox_ = nullptr;

  QPointer<QWidget> focusedBeforeConversation_;
  std::unique_ptr<WindowController> controller_;
};

}  // namespace korvel
