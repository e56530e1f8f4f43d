#include "ui_win32/korvel_dlg.h"

#include <commctrl.h>
#include <commdlg.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <utility>
#include <vector>

#include "common/texts.h"
#include "common/utf8.h"
#include "image/image_summary.h"
#include "link/echo_service.h"
#include "programming/pauses.h"
#include "ui/windows_system_menu.h"
#include "ui_win32/about_dlg.h"
#include "ui_win32/dialog_template_builder.h"
#include "ui_win32/help_dialog.h"
#include "ui_win32/registry_settings.h"
#include "ui_win32/resource_ids.h"
#include "ui_win32/wide_text.h"
#include "window/control_ids.h"
#include "window/dialog_template.h"

namespace korvel {
namespace {

constexpr DWORD kDialogStyle =
    DS_MODALFRAME | DS_FIXEDSYS | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE;

constexpr int kInputSet[] = {control::kProgram,  control::kIpField, control::kBrowse,
                             control::kPath,     control::kInfo,    control::kLogin,
                             control::kPassword, control::kViaBoot};

const wchar_t kComm[] = L"Comm";
const wchar_t kIpAddr[] = L"IpAddr";
const wchar_t kFromBoot[] = L"FromBoot";
const wchar_t kFile[] = L"File";
const wchar_t kPath[] = L"Path";

std::wstring loadString(UINT id) {
  const wchar_t* text = nullptr;
  // With a zero length the call hands back a pointer into the resource itself.
  const int length =
      ::LoadStringW(::GetModuleHandleW(nullptr), id, reinterpret_cast<LPWSTR>(&text), 0);
  return length > 0 && text != nullptr ? std::wstring(text, static_cast<std::size_t>(length))
                                       : std::wstring();
}

HICON loadIcon(int size) {
  return static_cast<HICON>(::LoadImageW(::GetModuleHandleW(nullptr),
                                         MAKEINTRESOURCEW(KORVEL_IDI_APPLICATION), IMAGE_ICON, size,
                                         size, LR_DEFAULTCOLOR));
}

// Edit controls break lines only at CR LF; device texts may bring bare LFs.
std::wstring withWindowsLineEnds(const std::wstring& text) {
  std::wstring out;
  out.reserve(text.size() + 8);
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == L'\n' && (i == 0 || text[i - 1] != L'\r')) out += L'\r';
    out += text[i];
  }
  return out;
}

// Two filters, the images first; each entry is its shown text and its pattern.
std::wstring fileFilter() {
  std::wstring filter;
  for (const char* part : {text::kFilterImages, text::kFilterImagesPattern, text::kFilterAll,
                           text::kFilterAllPattern}) {
    filter += toWide(part);
    filter += L'\0';
  }
  filter += L'\0';
  return filter;
}

}  // namespace

void CKorvelDlg::registerControlClasses() {
  static const bool registered = [] {
    INITCOMMONCONTROLSEX classes{sizeof(INITCOMMONCONTROLSEX),
                                 ICC_INTERNET_CLASSES | ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
    return ::InitCommonControlsEx(&classes) != FALSE;
  }();
  (void)registered;
}

CKorvelDlg::CKorvelDlg(EchoService* echoService, Pauses* pauses, RegistrySettings* settings)
    : ownEchoService_(echoService != nullptr ? nullptr : makeSystemEchoService()),
      ownPauses_(pauses != nullptr ? nullptr : std::make_unique<RealPauses>()),
      ownSettings_(settings != nullptr ? nullptr : std::make_unique<RegistrySettings>()),
      echoService_(echoService != nullptr ? *echoService : *ownEchoService_),
      pauses_(pauses != nullptr ? *pauses : *ownPauses_),
      settings_(settings != nullptr ? *settings : *ownSettings_),
      bigIcon_(loadIcon(::GetSystemMetrics(SM_CXICON))),
      smallIcon_(loadIcon(::GetSystemMetrics(SM_CXSMICON))),
      programmer_(std::make_unique<DeviceProgrammer>(*this, echoService_, pauses_)) {
  registerControlClasses();
  // Another copy of Korvel at the same device is kept out only on the real network; tests that
  // bring their own echo service run many windows against one simulated address.
  if (ownEchoService_) {
    ownDeviceLocks_ = makeSystemDeviceLocks();
    programmer_->setDeviceLocks(ownDeviceLocks_.get());
  }
}

CKorvelDlg::~CKorvelDlg() {
  if (bigIcon_ != nullptr) ::DestroyIcon(bigIcon_);
  if (smallIcon_ != nullptr) ::DestroyIcon(smallIcon_);
}

std::vector<DWORD> CKorvelDlg::dialogTemplate() const {
  return DialogTemplateBuilder::build(window::mainWindowTemplate(), kDialogStyle, WS_EX_APPWINDOW);
}

std::optional<INT_PTR> CKorvelDlg::onMessage(UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      return onInitDialog();
    case WM_COMMAND:
      onCommand(LOWORD(wParam), HIWORD(wParam));
      return 0;
    case WM_SYSCOMMAND:
      if (onSysCommand(wParam)) return 0;
      return std::nullopt;
    case WM_PAINT:
      if (paintMinimised()) return 0;
      return std::nullopt;
    case WM_QUERYDRAGICON:
      return reinterpret_cast<INT_PTR>(bigIcon_);
    case WM_SETCURSOR:
      if (waitCursors_ == 0) return std::nullopt;
      ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
      return TRUE;
    case WM_DESTROY:
      onDestroy();
      return std::nullopt;
    default:
      return std::nullopt;
  }
}

INT_PTR CKorvelDlg::onInitDialog() {
  const std::wstring aboutItem = loadString(KORVEL_IDS_ABOUT_ITEM);
  if (!aboutItem.empty()) appendAboutMenuItem(::GetSystemMenu(hwnd(), FALSE), aboutItem.c_str());
  ::SendMessageW(hwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon_));
  ::SendMessageW(hwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_));
  const std::wstring title =
      itemText(0) + toWide(text::kTitleVersionPrefix) + toWide(text::kVersion);
  ::SetWindowTextW(hwnd(), title.c_str());
  restoreSettings();
  return TRUE;  // the focus goes to the first tab stop, Exit
}

// Settings are read once, in this order, when the window starts: the address first, so that the
// first link goes to the restored address.
void CKorvelDlg::restoreSettings() {
  ::SendDlgItemMessageW(hwnd(), control::kIpField, IPM_SETADDRESS, 0,
                        static_cast<LPARAM>(settings_.readInteger(kComm, kIpAddr, 0)));
  programmer_->openLink(false);
  ::SetDlgItemTextW(hwnd(), control::kPath, settings_.readText(kFile, kPath, L"").c_str());
  ::SendDlgItemMessageW(hwnd(), control::kViaBoot, BM_SETCHECK,
                        settings_.readInteger(kComm, kFromBoot, 0), 0);
  showImageSummary();
}

void CKorvelDlg::saveSettings() {
  settings_.writeText(kFile, kPath, itemText(control::kPath));
  settings_.writeInteger(kComm, kIpAddr, ipAddress().hostOrder());
  settings_.writeInteger(kComm, kFromBoot, viaBoot() ? 1 : 0);
}

void CKorvelDlg::onDestroy() {
  saveSettings();
  programmer_->closeLink();
}

void CKorvelDlg::onCommand(int id, int code) {
  if (id == IDOK || id == IDCANCEL) {
    requestEnd(id);
    return;
  }
  if (code != BN_CLICKED) return;
  switch (id) {
    case control::kProgram:
      programDevice();
      break;
    case control::kBrowse:
      browseImage();
      break;
    case control::kInfo:
      queryDeviceInfo();
      break;
    case control::kHelp:
      showHelp();
      break;
    default:
      break;
  }
}

bool CKorvelDlg::onSysCommand(WPARAM command) {
  if (!isAboutSystemCommand(WM_SYSCOMMAND, command)) return false;
  showAbout();
  return true;
}

bool CKorvelDlg::paintMinimised() {
  if (!::IsIconic(hwnd())) return false;
  PAINTSTRUCT paint;
  HDC dc = ::BeginPaint(hwnd(), &paint);
  ::SendMessageW(hwnd(), WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
  RECT client;
  ::GetClientRect(hwnd(), &client);
  const int x = (client.right - client.left - ::GetSystemMetrics(SM_CXICON) + 1) / 2;
  const int y = (client.bottom - client.top - ::GetSystemMetrics(SM_CYICON) + 1) / 2;
  ::DrawIcon(dc, x, y, bigIcon_);
  ::EndPaint(hwnd(), &paint);
  return true;
}

void CKorvelDlg::requestEnd(int result) {
  if (isRunning()) {
    // The run goes on to its end; the window closes when it has returned.
    pendingResult_ = result;
    return;
  }
  end(result);
}

template <typename Conversation>
void CKorvelDlg::converse(Conversation&& conversation) {
  // Switching the inputs off takes the focus from the button that was pressed; it gets it back.
  const HWND focused = ::GetFocus();
  ++conversations_;
  conversation();
  --conversations_;
  if (focused != nullptr && ::IsWindow(focused) && ::IsWindowEnabled(focused) &&
      ::GetParent(focused) == hwnd()) {
    ::SendMessageW(hwnd(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(focused), TRUE);
  }
  if (!isRunning() && pendingResult_) end(*std::exchange(pendingResult_, std::nullopt));
}

void CKorvelDlg::programDevice() {
  converse([this] { programmer_->programDevice(); });
}

void CKorvelDlg::queryDeviceInfo() {
  converse([this] { programmer_->queryDeviceInfo(); });
}

void CKorvelDlg::browseImage() {
  std::vector<wchar_t> file(32768, L'\0');
  const std::wstring filter = fileFilter();
  // The dialog opens where the current image is; the system picks a folder when there is none.
  const std::wstring current = itemText(control::kPath);
  const std::wstring folder =
      current.empty() ? std::wstring() : std::filesystem::path(current).parent_path().wstring();
  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof(dialog);
  dialog.hwndOwner = hwnd();
  dialog.lpstrFilter = filter.c_str();
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = file.data();
  dialog.nMaxFile = static_cast<DWORD>(file.size());
  dialog.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
  dialog.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_ENABLESIZING;
  if (::GetOpenFileNameW(&dialog)) ::SetDlgItemTextW(hwnd(), control::kPath, file.data());
  showImageSummary();
}

void CKorvelDlg::showHelp() {
  CHelpDialog help;
  help.doModal(hwnd());
}

void CKorvelDlg::showAbout() {
  CAboutDlg about;
  about.doModal(hwnd());
}

void CKorvelDlg::showImageSummary() {
  setSummaryText(text::kSummaryPending);
  setSummaryText(imageSummary(pathFromUtf8(imagePath())));
}

std::wstring CKorvelDlg::itemText(int id) const {
  const HWND window = id == 0 ? hwnd() : item(id);
  std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(window)) + 1, L'\0');
  const int length = ::GetWindowTextW(window, text.data(), static_cast<int>(text.size()));
  text.resize(static_cast<std::size_t>(std::max(length, 0)));
  return text;
}

Ipv4Address CKorvelDlg::ipAddress() const {
  DWORD address = 0;
  ::SendDlgItemMessageW(hwnd(), control::kIpField, IPM_GETADDRESS, 0,
                        reinterpret_cast<LPARAM>(&address));
  return Ipv4Address::fromHostOrder(address);
}

std::string CKorvelDlg::login() const { return fromWide(itemText(control::kLogin)); }
std::string CKorvelDlg::password() const { return fromWide(itemText(control::kPassword)); }

bool CKorvelDlg::viaBoot() const {
  return ::SendDlgItemMessageW(hwnd(), control::kViaBoot, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

std::string CKorvelDlg::imagePath() const { return fromWide(itemText(control::kPath)); }

void CKorvelDlg::setSummaryText(const std::string& text) {
  ::SetDlgItemTextW(hwnd(), control::kSummary, toWide(text).c_str());
}

void CKorvelDlg::setInfoText(const std::string& text) {
  ::SetDlgItemTextW(hwnd(), control::kInfoBox, withWindowsLineEnds(toWide(text)).c_str());
}

void CKorvelDlg::showNotice(const std::string& text) {
  const HWND box = ::GetDlgItem(hwnd(), control::kInfoBox);
  std::wstring shown(static_cast<std::size_t>(::GetWindowTextLengthW(box)) + 1, L'\0');
  shown.resize(static_cast<std::size_t>(
      ::GetWindowTextW(box, shown.data(), static_cast<int>(shown.size()))));
  if (!shown.empty()) shown += L"\r\n";
  shown += withWindowsLineEnds(toWide(text));
  ::SetWindowTextW(box, shown.c_str());
}

void CKorvelDlg::setProgressRange(std::int64_t lower, std::int64_t upper) {
  const std::int64_t widest = std::max(std::llabs(lower), std::llabs(upper));
  progressDivisor_ = 1 + widest / std::numeric_limits<int>::max();
  progressLower_ = lower / progressDivisor_;
  progressUpper_ = upper / progressDivisor_;
  ::SendDlgItemMessageW(hwnd(), control::kProgress, PBM_SETRANGE32,
                        static_cast<WPARAM>(static_cast<int>(progressLower_)),
                        static_cast<LPARAM>(static_cast<int>(progressUpper_)));
}

void CKorvelDlg::setProgressPosition(std::int64_t position) {
  const std::int64_t scaled = position / progressDivisor_;
  const std::int64_t shown =
      std::clamp(scaled, progressLower_, std::max(progressLower_, progressUpper_));
  ::SendDlgItemMessageW(hwnd(), control::kProgress, PBM_SETPOS,
                        static_cast<WPARAM>(static_cast<int>(shown)), 0);
}

void CKorvelDlg::enableInputs(bool enable) {
  // A disabled control keeps no focus, and a window without one hears no Enter or Esc: the
  // focus moves to Exit first. The conversation gives it back to the pressed button at its end.
  const HWND focused = ::GetFocus();
  if (!enable && focused != nullptr) {
    for (const int id : kInputSet) {
      if (focused == item(id) || ::IsChild(item(id), focused)) {
        ::SendMessageW(hwnd(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(item(control::kExit)), TRUE);
        break;
      }
    }
  }
  for (const int id : kInputSet) ::EnableWindow(item(id), enable ? TRUE : FALSE);
}

void CKorvelDlg::pumpMessages() {
  MSG message;
  while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      // Not ours to take: whoever runs the loop above us must still see it.
      ::PostQuitMessage(static_cast<int>(message.wParam));
      return;
    }
    if (hwnd() != nullptr && ::IsDialogMessageW(hwnd(), &message)) continue;
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
}

void CKorvelDlg::beginWaitCursor() {
  const HCURSOR previous = ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
  if (waitCursors_++ == 0) cursorBeforeWait_ = previous;
}

void CKorvelDlg::restoreWaitCursor() {
  if (waitCursors_ > 0) ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
}

void CKorvelDlg::endWaitCursor() {
  if (waitCursors_ == 0) return;
  if (--waitCursors_ == 0) {
    ::SetCursor(cursorBeforeWait_ != nullptr ? cursorBeforeWait_
                                             : ::LoadCursorW(nullptr, IDC_ARROW));
  }
}

void CKorvelDlg::showWarning(const std::string& text) {
  ::MessageBoxW(hwnd(), toWide(text).c_str(), settings_.applicationName().c_str(),
                MB_OK | MB_ICONWARNING);
}

}  // namespace korvel
