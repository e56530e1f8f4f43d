// Korvel.exe driven as UI automation would drive it, against the native korvel-devsim over real
// ICMP through Wine's echo service (tests/wine/window_e2e.sh starts the simulator and checks
// what it was programmed with). Each test starts the program afresh with settings of its own.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "common/texts.h"
#include "ui_win32/registry_settings.h"
#include "ui_win32/wide_text.h"
#include "window/control_ids.h"
#include "window_automation.h"

namespace korvel::test {
namespace {

constexpr std::uint32_t kDevice = 0x7F000002;  // 127.0.0.2, where the simulator answers
constexpr int kInputSet[] = {control::kProgram,  control::kIpField, control::kBrowse,
                             control::kPath,     control::kInfo,    control::kLogin,
                             control::kPassword, control::kViaBoot};

std::wstring environment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? toWide(value) : std::wstring();
}

class WindowE2e : public ::testing::Test {
 protected:
  void SetUp() override {
    executable = environment("KORVEL_E2E_KORVEL");
    work = environment("KORVEL_E2E_WORK");
    if (executable.empty() || work.empty()) GTEST_SKIP() << "run through window_e2e.sh";
    ::RegDeleteTreeW(HKEY_CURRENT_USER, settings.applicationKeyPath().c_str());
  }

  // Starts Korvel.exe set to the simulated device and `image`, with its credentials typed in.
  std::unique_ptr<KorvelProcess> start(const std::wstring& image) {
    settings.writeInteger(L"Comm", L"IpAddr", kDevice);
    settings.writeText(L"File", L"Path", image);
    settings.writeInteger(L"Comm", L"FromBoot", 0);
    auto korvel = std::make_unique<KorvelProcess>(executable);
    if (korvel->dialog() == nullptr) return korvel;
    korvel->setText(control::kLogin, L"admin");
    korvel->setText(control::kPassword, L"admin");
    return korvel;
  }

  static bool inputsOff(const KorvelProcess& korvel) {
    for (const int id : kInputSet) {
      if (::IsWindowEnabled(korvel.item(id))) return false;
    }
    return true;
  }
  static bool inputsOn(const KorvelProcess& korvel) {
    for (const int id : kInputSet) {
      if (!::IsWindowEnabled(korvel.item(id))) return false;
    }
    return true;
  }
  // Waits for the conversation started by a click to end; false if a message box came instead.
  static void expectIdleWithoutWarning(const KorvelProcess& korvel) {
    ASSERT_TRUE(KorvelProcess::waitFor(
        [&] { return inputsOn(korvel) || korvel.findOwned(toWide(text::kAppName)) != nullptr; }));
    const HWND box = korvel.findOwned(toWide(text::kAppName));
    if (box != nullptr) {
      ADD_FAILURE() << "a warning: " << fromWide(KorvelProcess::staticTexts(box).back());
      ::PostMessageW(box, WM_COMMAND, IDOK, 0);
    }
  }
  void closeAndExpectExit(KorvelProcess& korvel) {
    korvel.close();
    EXPECT_EQ(korvel.waitForExit(), std::optional<DWORD>(0));
  }

  std::wstring executable;
  std::wstring work;
  RegistrySettings settings{L"Korvel"};
};

TEST_F(WindowE2e, StartsWithItsControlsTitleAndTabOrder) {
  auto korvel = start(work + L"\\device.qlxfw");
  ASSERT_NE(korvel->dialog(), nullptr);
  EXPECT_EQ(KorvelProcess::textOf(korvel->dialog()), L"Korvel в" + toWide(text::kVersion));
  EXPECT_EQ(korvel->text(control::kExit), toWide(text::kExitButton));
  EXPECT_EQ(korvel->text(control::kProgram), toWide(text::kProgramButton));
  EXPECT_EQ(korvel->text(control::kInfo), toWide(text::kInfoButton));
  EXPECT_EQ(korvel->text(control::kViaBoot), toWide(text::kViaBootBox));
  EXPECT_EQ(korvel->ipParts(), (std::vector<std::wstring>{L"127", L"0", L"0", L"2"}));
  // The summary of the restored image, not the template's "Static".
  EXPECT_EQ(korvel->text(control::kSummary).rfind(L"'", 0), 0u)
      << fromWide(korvel->text(control::kSummary));
  std::vector<int> order;
  HWND at = korvel->item(control::kExit);
  for (int i = 0; i < 11; ++i) {
    order.push_back(::GetDlgCtrlID(at));
    at = ::GetNextDlgTabItem(korvel->dialog(), at, FALSE);
  }
  EXPECT_EQ(order,
            (std::vector<int>{control::kExit, control::kIpField, control::kProgram, control::kPath,
                              control::kBrowse, control::kInfo, control::kInfoBox, control::kHelp,
                              control::kLogin, control::kPassword, control::kViaBoot}));
  closeAndExpectExit(*korvel);
}

TEST_F(WindowE2e, AFirstStartShowsTheDefaults) {
  {
    KorvelProcess korvel(executable);
    ASSERT_NE(korvel.dialog(), nullptr);
    EXPECT_EQ(korvel.ipParts(), (std::vector<std::wstring>{L"0", L"0", L"0", L"0"}));
    EXPECT_EQ(korvel.text(control::kPath), L"");
    EXPECT_EQ(korvel.text(control::kSummary), toWide(text::kSummaryCannotOpen));
    EXPECT_EQ(korvel.send(control::kViaBoot, BM_GETCHECK), BST_UNCHECKED);
    closeAndExpectExit(korvel);
  }
  EXPECT_EQ(settings.readInteger(L"Comm", L"IpAddr", 1), 0u);
  EXPECT_EQ(settings.readText(L"File", L"Path", L"-"), L"");
  EXPECT_EQ(settings.readInteger(L"Comm", L"FromBoot", 1), 0u);
}

TEST_F(WindowE2e, InfoFillsTheInformationBox) {
  auto korvel = start(work + L"\\device.qlxfw");
  ASSERT_NE(korvel->dialog(), nullptr);
  ASSERT_TRUE(korvel->pressAndWait(control::kInfo));
  EXPECT_TRUE(inputsOn(*korvel));
  const std::wstring info = korvel->text(control::kInfoBox);
  EXPECT_EQ(info.rfind(L"'BOOT'\r\n", 0), 0u) << fromWide(info);
  EXPECT_NE(info.find(L"Board Id="), std::wstring::npos) << fromWide(info);
  closeAndExpectExit(*korvel);
}

TEST_F(WindowE2e, ProgramsABootImage) {
  auto korvel = start(work + L"\\device.qlxfw");
  ASSERT_NE(korvel->dialog(), nullptr);
  ASSERT_TRUE(korvel->pressAndWait(control::kProgram)) << "a warning instead of the end of the run";
  EXPECT_TRUE(inputsOn(*korvel));
  EXPECT_EQ(korvel->send(control::kProgress, PBM_GETPOS), 0);
  closeAndExpectExit(*korvel);
}

TEST_F(WindowE2e, ProgramsASubordinateWhileExitAndHelpStayLive) {
  auto korvel = start(work + L"\\sub.qlxfw");
  ASSERT_NE(korvel->dialog(), nullptr);
  korvel->click(control::kProgram);
  ASSERT_TRUE(KorvelProcess::waitFor([&] { return inputsOff(*korvel); }));
  EXPECT_TRUE(::IsWindowEnabled(korvel->item(control::kExit)));
  EXPECT_TRUE(::IsWindowEnabled(korvel->item(control::kHelp)));
  // The help page opens in the middle of the run; the run waits for it to close.
  korvel->click(control::kHelp);
  HWND help = nullptr;
  ASSERT_TRUE(KorvelProcess::waitFor(
      [&] { return (help = korvel->findOwned(toWide(text::kHelpTitle))) != nullptr; }));
  const std::wstring page = KorvelProcess::textOf(::GetDlgItem(help, 1000));
  EXPECT_NE(page.find(L"Простой способ"), std::wstring::npos);
  EXPECT_TRUE(inputsOff(*korvel));
  ::PostMessageW(help, WM_CLOSE, 0, 0);
  expectIdleWithoutWarning(*korvel);
  closeAndExpectExit(*korvel);
}

TEST_F(WindowE2e, AFailureShowsAWarningWhileTheInputsAreStillOff) {
  auto korvel = start(work + L"\\нет такого файла.qlxfw");
  ASSERT_NE(korvel->dialog(), nullptr);
  korvel->click(control::kProgram);
  HWND box = nullptr;
  ASSERT_TRUE(KorvelProcess::waitFor(
      [&] { return (box = korvel->findOwned(toWide(text::kAppName))) != nullptr; }));
  EXPECT_TRUE(inputsOff(*korvel));
  const std::vector<std::wstring> said = KorvelProcess::staticTexts(box);
  EXPECT_NE(std::find(said.begin(), said.end(), toWide(text::kOpenFailed)), said.end());
  ::PostMessageW(box, WM_COMMAND, IDOK, 0);
  ASSERT_TRUE(KorvelProcess::waitFor([&] { return inputsOn(*korvel); }));
  closeAndExpectExit(*korvel);
}

TEST_F(WindowE2e, SettingsRoundTripThroughTheRegistry) {
  const std::wstring path = work + L"\\Прошивки пульта\\образ №1.qlxfw";
  settings.writeInteger(L"Comm", L"IpAddr", 0xC0A8000A);
  settings.writeText(L"File", L"Path", path);
  settings.writeInteger(L"Comm", L"FromBoot", 1);
  {
    KorvelProcess korvel(executable);
    ASSERT_NE(korvel.dialog(), nullptr);
    EXPECT_EQ(korvel.ipParts(), (std::vector<std::wstring>{L"192", L"168", L"0", L"10"}));
    EXPECT_EQ(korvel.text(control::kPath), path);
    EXPECT_EQ(korvel.send(control::kViaBoot, BM_GETCHECK), BST_CHECKED);
    EXPECT_EQ(korvel.text(control::kSummary).rfind(L"'", 0), 0u);
    // Registry values are written at the end only.
    settings.writeInteger(L"Comm", L"IpAddr", 1);
    ::PostMessageW(korvel.item(control::kExit), BM_CLICK, 0, 0);
    EXPECT_EQ(korvel.waitForExit(), std::optional<DWORD>(0));
  }
  EXPECT_EQ(settings.readInteger(L"Comm", L"IpAddr", 0), 0xC0A8000Au);
  EXPECT_EQ(settings.readText(L"File", L"Path", L""), path);
  EXPECT_EQ(settings.readInteger(L"Comm", L"FromBoot", 0), 1u);
  {
    KorvelProcess korvel(executable);
    ASSERT_NE(korvel.dialog(), nullptr);
    korvel.send(control::kIpField, IPM_SETADDRESS, 0, MAKEIPADDRESS(10, 1, 2, 3));
    korvel.send(control::kViaBoot, BM_SETCHECK, BST_UNCHECKED);
    korvel.setText(control::kPath, L"");
    closeAndExpectExit(korvel);
  }
  EXPECT_EQ(settings.readInteger(L"Comm", L"IpAddr", 0), 0x0A010203u);
  EXPECT_EQ(settings.readText(L"File", L"Path", L"-"), L"");
  EXPECT_EQ(settings.readInteger(L"Comm", L"FromBoot", 1), 0u);
}

TEST_F(WindowE2e, ClosingDuringARunLetsTheRunFinishThenSaves) {
  auto korvel = start(work + L"\\sub.qlxfw");
  ASSERT_NE(korvel->dialog(), nullptr);
  settings.writeText(L"File", L"Path", L"not yet saved");
  korvel->click(control::kProgram);
  ASSERT_TRUE(KorvelProcess::waitFor([&] { return inputsOff(*korvel); }));
  korvel->closeAndWaitForTheWindow();
  // Still there once the close has been handled: the window waits for the run.
  EXPECT_TRUE(::IsWindow(korvel->dialog()));
  EXPECT_TRUE(korvel->running());
  EXPECT_EQ(settings.readText(L"File", L"Path", L""), L"not yet saved");
  EXPECT_EQ(korvel->waitForExit(), std::optional<DWORD>(0));
  EXPECT_EQ(settings.readText(L"File", L"Path", L""), work + L"\\sub.qlxfw");
}

}  // namespace
}  // namespace korvel::test

namespace korvel::test {
namespace {

// The longest the window went without answering WM_NULL (200 ms allowed each time) while the
// conversation started by `id` ran; polled from this process as the desktop's hang check would.
std::chrono::milliseconds longestSilence(const KorvelProcess& korvel, int id, int& unanswered) {
  using Clock = std::chrono::steady_clock;
  korvel.click(id);
  KorvelProcess::waitFor([&] { return !::IsWindowEnabled(korvel.item(control::kInfo)); });
  auto longest = std::chrono::milliseconds(0);
  while (!::IsWindowEnabled(korvel.item(control::kInfo))) {
    const auto asked = Clock::now();
    DWORD_PTR ignored = 0;
    if (::SendMessageTimeoutW(korvel.dialog(), WM_NULL, 0, 0, SMTO_NORMAL, 200, &ignored) == 0) {
      ++unanswered;
    }
    longest = std::max(longest,
                       std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - asked));
    ::Sleep(20);
  }
  return longest;
}

TEST_F(WindowE2e, AnswersThroughoutInfoAtASilentAddressAndThroughoutARun) {
  auto korvel = start(work + L"\\sub.qlxfw");
  ASSERT_NE(korvel->dialog(), nullptr);
  int unanswered = 0;
  ::SendMessageW(korvel->item(control::kIpField), IPM_SETADDRESS, 0, 0x7F000063);  // 127.0.0.99
  const auto silentInfo = longestSilence(*korvel, control::kInfo, unanswered);
  EXPECT_EQ(unanswered, 0) << "longest " << silentInfo.count() << " ms";
  ::SendMessageW(korvel->item(control::kIpField), IPM_SETADDRESS, 0, kDevice);
  const auto run = longestSilence(*korvel, control::kProgram, unanswered);
  EXPECT_EQ(unanswered, 0) << "longest " << run.count() << " ms";
  std::printf("longest WM_NULL answer: silent info %lld ms, run %lld ms\n",
              static_cast<long long>(silentInfo.count()), static_cast<long long>(run.count()));
  closeAndExpectExit(*korvel);
}

}  // namespace
}  // namespace korvel::test
