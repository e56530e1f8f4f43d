#include "ui_win32/korvel_dlg.h"

#include <commctrl.h>
#include <commdlg.h>

#include <algorithm>
#include <filesystem>
#include <utility>
#include <vector>

#include "common/texts.h"
#include "common/utf8.h"
#include "link/echo_service.h"
#include "ui_win32/about_dlg.h"
#include "ui_win32/dialog_template_builder.h"
#include "ui_win32/help_dialog.h"
#include "ui_win32/registry_settings.h"
#include "ui_win32/resource_ids.h"
#include "ui_win32/wide_text.h"
#include "window/control_ids.h"
#include "window/dialog_template.h"
#include "window/windows_system_menu.h"

namespace korvel {
namespace {

constexpr DWORD kDialogStyle =
    DS_MODALFRAME | DS_FIXEDSYS | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE;

constexpr int kInputSet[] = {control::kProgram,  control::kIpField, control::kBrowse,
                             control::kPath,     control::kInfo,    control::kLogin,
                             control::kPassword, control::kViaBoot};

// Posted by a conversation's thread: calls wait in the window's queue.
constexpr UINT kRunPostedCalls = WM_APP + 1;

// The controller's settings over the registry.
class RegistryWindowSettings : public WindowSettings {
 public:
  explicit RegistryWindowSettings(RegistrySettings& registry) : registry_(registry) {}
  std::uint32_t readInteger(const char* section, const char* name,
                            std::uint32_t fallback) override {
    return registry_.readInteger(toWide(section).c_str(), toWide(name).c_str(), fallback);
  }
  void writeInteger(const char* section, const char* name, std::uint32_t value) override {
    registry_.writeInteger(toWide(section).c_str(), toWide(name).c_str(), value);
  }
  std::string readText(const char* section, const char* name,
                       const std::string& fallback) override {
    return fromWide(
        registry_.readText(toWide(section).c_str(), toWide(name).c_str(), toWide(fallback)));
  }
  void writeText(const char* section, const char* name, const std::string& value) override {
    registry_.writeText(toWide(section).c_str(), toWide(name).c_str(), toWide(value));
  }

 private:
  RegistrySettings& registry_;
};

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
      ownPauses_(pauses != nullptr ? nullptr : std::make_unique<InterruptiblePauses>()),
      ownSettings_(settings != nullptr ? nullptr : std::make_unique<RegistrySettings>()),
      settings_(settings != nullptr ? *settings : *ownSettings_),
      windowSettings_(std::make_unique<RegistryWindowSettings>(settings_)),
      bigIcon_(loadIcon(::GetSystemMetrics(SM_CXICON))),
      smallIcon_(loadIcon(::GetSystemMetrics(SM_CXSMICON))),
      controller_(std::make_unique<WindowController>(
          *this, echoService != nullptr ? *echoService : *ownEchoService_,
          pauses != nullptr ? *pauses : *ownPauses_, *windowSettings_)) {
  registerControlClasses();
  if (ownPauses_) controller_->setStopListener([this] { ownPauses_->requestStop(); });
  // Another copy of Korvel at the same device is kept out only on the real network; tests that
  // bring their own echo service run many windows against one simulated address.
  if (ownEchoService_) {
    ownDeviceLocks_ = makeSystemDeviceLocks();
    controller_->setDeviceLocks(ownDeviceLocks_.get());
  }
}

// The conversation still running stops before the dialog it writes to goes.
CKorvelDlg::~CKorvelDlg() {
  controller_.reset();
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
      if (!controller_->waitCursorShown()) return std::nullopt;
      ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
      return TRUE;
    case WM_DESTROY:
      onDestroy();
      return std::nullopt;
    case kRunPostedCalls:
      runPostedCalls();
      return 0;
    case WM_QUERYENDSESSION:
      return onQueryEndSession();
    case WM_ENDSESSION:
      onEndSession(wParam != FALSE);
      return 0;
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
  {
    std::lock_guard lock(postedMutex_);
    postTarget_ = hwnd();
  }
  controller_->start();
  return TRUE;  // the focus goes to the first tab stop, Exit
}

void CKorvelDlg::onDestroy() {
  controller_->finish();
  if (shutdownBlocked_) ::ShutdownBlockReasonDestroy(hwnd());
  std::lock_guard lock(postedMutex_);
  postTarget_ = nullptr;
  posted_.clear();
}

// A run holds the end of the session until it has stopped after the exchange in flight; the
// window then ends and saves its settings, and the session may go on.
BOOL CKorvelDlg::onQueryEndSession() {
  if (!isRunning()) return TRUE;
  shutdownBlocked_ =
      ::ShutdownBlockReasonCreate(hwnd(), toWide(text::kShutdownBlockReason).c_str()) != FALSE;
  controller_->endBySystem(IDCANCEL);
  return FALSE;
}

// The session ends whatever the window says: nothing after this message is handled any more.
void CKorvelDlg::onEndSession(bool ending) {
  if (!ending) return;
  controller_->endBySystem(IDCANCEL);
  controller_->waitForConversation();
  if (::IsWindow(hwnd())) end(IDCANCEL);
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
  if (controller_->requestClose(result)) end(result);
}

void CKorvelDlg::endWindow(int result) { requestEnd(result); }

void CKorvelDlg::programDevice() { controller_->programDevice(); }
void CKorvelDlg::queryDeviceInfo() { controller_->queryDeviceInfo(); }

void CKorvelDlg::browseImage() {
  if (isRunning()) return;  // a press that came before the inputs went off
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

void CKorvelDlg::showImageSummary() { controller_->showImageSummary(); }

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

void CKorvelDlg::setIpAddress(Ipv4Address address) {
  ::SendDlgItemMessageW(hwnd(), control::kIpField, IPM_SETADDRESS, 0,
                        static_cast<LPARAM>(address.hostOrder()));
}

std::string CKorvelDlg::login() const { return fromWide(itemText(control::kLogin)); }
std::string CKorvelDlg::password() const { return fromWide(itemText(control::kPassword)); }

bool CKorvelDlg::viaBoot() const {
  return ::SendDlgItemMessageW(hwnd(), control::kViaBoot, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void CKorvelDlg::setViaBoot(bool checked) {
  ::SendDlgItemMessageW(hwnd(), control::kViaBoot, BM_SETCHECK,
                        checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

std::string CKorvelDlg::imagePath() const { return fromWide(itemText(control::kPath)); }

void CKorvelDlg::setImagePath(const std::string& path) {
  ::SetDlgItemTextW(hwnd(), control::kPath, toWide(path).c_str());
}

void CKorvelDlg::setSummaryText(const std::string& text) {
  ::SetDlgItemTextW(hwnd(), control::kSummary, toWide(text).c_str());
}

void CKorvelDlg::setInfoText(const std::string& text) {
  ::SetDlgItemTextW(hwnd(), control::kInfoBox, withWindowsLineEnds(toWide(text)).c_str());
}

void CKorvelDlg::setProgressRange(int lower, int upper) {
  ::SendDlgItemMessageW(hwnd(), control::kProgress, PBM_SETRANGE32, static_cast<WPARAM>(lower),
                        static_cast<LPARAM>(upper));
}

void CKorvelDlg::setProgressPosition(int position) {
  ::SendDlgItemMessageW(hwnd(), control::kProgress, PBM_SETPOS, static_cast<WPARAM>(position), 0);
}

void CKorvelDlg::setInputsEnabled(bool enable) {
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

void CKorvelDlg::beginWaitCursor() {
  cursorBeforeWait_ = ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
}

void CKorvelDlg::reassertWaitCursor() { ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT)); }

void CKorvelDlg::endWaitCursor() {
  ::SetCursor(cursorBeforeWait_ != nullptr ? cursorBeforeWait_ : ::LoadCursorW(nullptr, IDC_ARROW));
}

void CKorvelDlg::showWarning(const std::string& text) {
  ::MessageBoxW(hwnd(), toWide(text).c_str(), settings_.applicationName().c_str(),
                MB_OK | MB_ICONWARNING);
}

void CKorvelDlg::rememberFocus() { focusedBeforeConversation_ = ::GetFocus(); }

void CKorvelDlg::restoreFocus() {
  const HWND focused = std::exchange(focusedBeforeConversation_, nullptr);
  if (focused != nullptr && ::IsWindow(focused) && ::IsWindowEnabled(focused) &&
      ::GetParent(focused) == hwnd()) {
    ::SendMessageW(hwnd(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(focused), TRUE);
  }
}

// One message per call, so that a call that opens a modal box (the warning) leaves the rest to
// the next message, in order; calls left when the window goes are dropped with it.
void CKorvelDlg::postToUi(std::function<void()> call) {
  std::lock_guard lock(postedMutex_);
  if (postTarget_ == nullptr) return;
  posted_.push_back(std::move(call));
  ::PostMessageW(postTarget_, kRunPostedCalls, 0, 0);
}

void CKorvelDlg::runPostedCalls() {
  std::function<void()> call;
  {
    std::lock_guard lock(postedMutex_);
    if (posted_.empty()) return;
    call = std::move(posted_.front());
    posted_.pop_front();
  }
  call();
}

}  // namespace korvel
