#pragma once

#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "device_model/image_builder.h"
#include "device_model/simulated_device.h"
#include "device_model/simulated_echo_service.h"
#include "link/echo_link.h"
#include "support/held_pauses.h"
#include "support/temp_file.h"
#include "ui_win32/korvel_dlg.h"
#include "ui_win32/registry_settings.h"
#include "ui_win32/wide_text.h"
#include "window/control_ids.h"

namespace korvel::test {

inline std::wstring textOf(HWND window) {
  std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(
      ::GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
  return text;
}

// The real Windows dialog in this process, modeless, wired to the simulated device, pauses that
// are only recorded, and a registry key of the test's own.
class Win32WindowTest : public ::testing::Test {
 protected:
  static constexpr Ipv4Address kDeviceAddress{127, 0, 0, 2};
  static constexpr std::uint8_t kBootRecordType = 12;
  static constexpr std::size_t kRecordSize = 256;
  static constexpr int kInputSet[] = {control::kProgram,  control::kIpField, control::kBrowse,
                                      control::kPath,     control::kInfo,    control::kLogin,
                                      control::kPassword, control::kViaBoot};

  Win32WindowTest() : echo(device, kDeviceAddress), settings(uniqueApplicationName()) {}

  ~Win32WindowTest() override {
    window.reset();
    ::RegDeleteTreeW(HKEY_CURRENT_USER, settings.applicationKeyPath().c_str());
  }

  static std::wstring uniqueApplicationName() {
    std::random_device random;
    return L"KorvelTest" + std::to_wstring(random());
  }

  HWND openWindow() {
    window = std::make_unique<CKorvelDlg>(&echo, &pauses, &settings);
    dialog = window->create(nullptr);
    return dialog;
  }

  HWND openWindowFor(const std::filesystem::path& image) {
    settings.writeInteger(L"Comm", L"IpAddr", kDeviceAddress.hostOrder());
    settings.writeText(L"File", L"Path", image.wstring());
    openWindow();
    setText(control::kLogin, L"admin");
    setText(control::kPassword, L"admin");
    return dialog;
  }

  std::filesystem::path writeBootImage(int records, const std::string& name = "main.qlxfw") {
    ImageBuilder image;
    image.name("MAIN").version(2, 5);
    for (int i = 0; i < records; ++i) {
      image.data(kBootRecordType, samplePayload(kRecordSize, static_cast<std::uint32_t>(i)));
    }
    return files.write(name, image.bytes());
  }

  // The window's message loop until the conversation has returned.
  void settle() const {
    MSG message;
    while (window->isRunning() && ::GetMessageW(&message, nullptr, 0, 0) > 0) dispatch(message);
  }
  // Every message waiting now.
  void drain() const {
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) dispatch(message);
  }
  // Holds the conversation `id` starts in its first pause, once the window has handled what the
  // conversation posted before it.
  void clickAndHold(int id) {
    pauses.hold();
    click(id);
    pauses.waitUntilHeld();
    drain();
  }

  HWND item(int id) const { return ::GetDlgItem(dialog, id); }
  std::wstring text(int id) const { return textOf(item(id)); }
  void setText(int id, const std::wstring& text) const { ::SetWindowTextW(item(id), text.c_str()); }
  void click(int id) const { ::SendMessageW(item(id), BM_CLICK, 0, 0); }
  void dispatch(MSG& message) const {
    if (::IsWindow(dialog) && ::IsDialogMessageW(dialog, &message)) return;
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
  bool anyInputEnabled() const {
    for (const int id : kInputSet) {
      if (::IsWindowEnabled(item(id))) return true;
    }
    return false;
  }
  DWORD ipField() const {
    DWORD address = 0;
    ::SendMessageW(item(control::kIpField), IPM_GETADDRESS, 0, reinterpret_cast<LPARAM>(&address));
    return address;
  }
  // Reads the registry value as the program left it; nothing when it is missing.
  std::optional<DWORD> storedType(const wchar_t* section, const wchar_t* name) const {
    const std::wstring key = settings.applicationKeyPath() + L"\\" + section;
    DWORD type = 0;
    if (::RegGetValueW(HKEY_CURRENT_USER, key.c_str(), name, RRF_RT_ANY | RRF_NOEXPAND, &type,
                       nullptr, nullptr) != ERROR_SUCCESS) {
      return std::nullopt;
    }
    return type;
  }

  SimulatedDevice device;
  SimulatedEchoService echo;
  HeldPauses pauses;
  RegistrySettings settings;
  TempDir files;
  std::unique_ptr<CKorvelDlg> window;
  HWND dialog = nullptr;
};

}  // namespace korvel::test
