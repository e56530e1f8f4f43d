#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

#include "device_model/image_builder.h"
#include "device_model/simulated_device.h"
#include "device_model/simulated_echo_service.h"
#include "link/echo_link.h"
#include "modal.h"
#include "recording_settings.h"
#include "support/held_pauses.h"
#include "support/temp_file.h"
#include "ui/control_ids.h"
#include "ui/ip_address_edit.h"
#include "ui/message_box.h"
#include "ui/qt_korvel_window.h"
#include "ui/qt_text.h"

namespace korvel::test {

// The real window, wired to the simulated device in this process, pauses that are only
// recorded, and a settings store in memory.
class WindowTest : public ::testing::Test {
 protected:
  static constexpr Ipv4Address kDeviceAddress{127, 0, 0, 2};
  static constexpr std::uint8_t kBootRecordType = 12;
  // Boot-monitor records shorter than the 77-byte minimum reply could never be acknowledged.
  static constexpr std::size_t kRecordSize = 256;

  WindowTest() : echo(device, kDeviceAddress) {
    settings.observe = [this] { return static_cast<int>(echo.opened()); };
    // Unless a test looks at its boxes itself, each box is noted and closed at once, so that an
    // unexpected one fails the test instead of waiting for an operator who never comes.
    MessageBox::setInspector([this](const QMessageBox& box) {
      warnings.push_back(box.text());
      whenModalOpens<QMessageBox>([](QMessageBox& shown) { shown.accept(); });
    });
  }

  ~WindowTest() override {
    window.reset();
    MessageBox::setInspector({});
    MessageBox::setNextAnswer(QMessageBox::NoButton);
  }

  QtKorvelWindow& openWindow() {
    window = std::make_unique<QtKorvelWindow>(nullptr, &echo, &pauses, &settings);
    return *window;
  }

  // A window pointed at the simulated device with its credentials and `image` in the path field.
  QtKorvelWindow& openWindowFor(const std::filesystem::path& image) {
    settings.integers[QStringLiteral("Comm/IpAddr")] = kDeviceAddress.hostOrder();
    settings.texts[QStringLiteral("File/Path")] = QString::fromStdString(image.string());
    QtKorvelWindow& opened = openWindow();
    field(control::kLogin)->setText(QStringLiteral("admin"));
    field(control::kPassword)->setText(QStringLiteral("admin"));
    return opened;
  }

  std::filesystem::path writeBootImage(int records, const std::string& name = "main.qlxfw") {
    ImageBuilder image;
    image.name("MAIN").version(2, 5);
    for (int i = 0; i < records; ++i) {
      image.data(kBootRecordType, samplePayload(kRecordSize, static_cast<std::uint32_t>(i)));
    }
    return files.write(name, image.bytes());
  }

  // The window's event loop until the conversation has returned: what it posted is handled.
  void settle() const {
    while (window->isRunning()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
  // Holds the conversation `id` starts in its first pause, once the window has handled what the
  // conversation posted before it.
  void clickAndHold(int id) {
    pauses.hold();
    QTest::mouseClick(button(id), Qt::LeftButton);
    pauses.waitUntilHeld();
    QCoreApplication::processEvents();
  }

  QPushButton* button(int id) const { return qobject_cast<QPushButton*>(window->control(id)); }
  QLineEdit* field(int id) const { return qobject_cast<QLineEdit*>(window->control(id)); }
  IpAddressEdit* ipField() const {
    return qobject_cast<IpAddressEdit*>(window->control(control::kIpField));
  }
  QCheckBox* viaBootBox() const {
    return qobject_cast<QCheckBox*>(window->control(control::kViaBoot));
  }
  QPlainTextEdit* infoBox() const {
    return qobject_cast<QPlainTextEdit*>(window->control(control::kInfoBox));
  }
  QProgressBar* progressBar() const {
    return qobject_cast<QProgressBar*>(window->control(control::kProgress));
  }
  QString summaryText() const {
    return window->control(control::kSummary)->property("text").toString();
  }

  // The eight inputs a conversation switches off, in the order they are switched.
  std::vector<QWidget*> inputSet() const {
    std::vector<QWidget*> inputs;
    for (int id : {control::kProgram, control::kIpField, control::kBrowse, control::kPath,
                   control::kInfo, control::kLogin, control::kPassword, control::kViaBoot}) {
      inputs.push_back(window->control(id));
    }
    return inputs;
  }
  bool anyInputEnabled() const {
    for (QWidget* input : inputSet()) {
      if (input->isEnabled()) return true;
    }
    return false;
  }

  std::vector<QString> warnings;
  SimulatedDevice device;
  SimulatedEchoService echo;
  HeldPauses pauses;
  RecordingSettings settings;
  TempDir files;
  std::unique_ptr<QtKorvelWindow> window;
};

}  // namespace korvel::test

// Readable failures for QString values.
inline void PrintTo(const QString& text, std::ostream* out) {
  *out << '"' << text.toStdString() << '"';
}
