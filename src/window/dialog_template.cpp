#include "window/dialog_template.h"

#include <array>
#include <cstring>

#include "common/texts.h"
#include "window/control_ids.h"

namespace korvel::window {
namespace {

using namespace style;

constexpr const char kDialogFont[] = "MS Shell Dlg";
constexpr int kDialogPointSize = 8;

// Template 102. Creation order is the tab order: Exit first, so that it has the focus at start.
constexpr std::array kMainWindowControls{
    ControlTemplate{control::kExit,
                    ControlKind::PushButton,
                    "exitButton",
                    text::kExitButton,
                    {240, 114, 36, 12},
                    kDefaultButton | kTabStop},
    ControlTemplate{
        control::kIpField, ControlKind::IpAddress, "ipField", nullptr, {60, 96, 126, 12}, kTabStop},
    ControlTemplate{control::kProgram,
                    ControlKind::PushButton,
                    "programButton",
                    text::kProgramButton,
                    {192, 114, 42, 12},
                    kTabStop},
    ControlTemplate{control::kProgress,
                    ControlKind::ProgressBar,
                    "progressBar",
                    nullptr,
                    {6, 84, 270, 6},
                    kBorder},
    ControlTemplate{control::kPath,
                    ControlKind::Edit,
                    "pathField",
                    nullptr,
                    {6, 48, 222, 12},
                    kBorder | kScrollsSideways | kTabStop},
    ControlTemplate{control::kBrowse,
                    ControlKind::PushButton,
                    "browseButton",
                    text::kBrowseButton,
                    {240, 48, 36, 12},
                    kTabStop},
    ControlTemplate{control::kInfo,
                    ControlKind::PushButton,
                    "infoButton",
                    text::kInfoButton,
                    {240, 24, 37, 12},
                    kTabStop},
    // Device texts can be longer than the box is wide; they wrap rather than hide.
    ControlTemplate{control::kInfoBox,
                    ControlKind::Edit,
                    "infoBox",
                    nullptr,
                    {6, 6, 222, 36},
                    kMultiLine | kReadOnly | kBorder | kWrapsLines | kTabStop},
    ControlTemplate{control::kLabel,
                    ControlKind::Label,
                    "ipLabel",
                    text::kIpLabel,
                    {6, 96, 48, 12},
                    kGroup | kCentredVertically},
    ControlTemplate{control::kHelp,
                    ControlKind::PushButton,
                    "helpButton",
                    text::kHelpButton,
                    {240, 6, 37, 12},
                    kTabStop},
    ControlTemplate{control::kSummary,
                    ControlKind::Label,
                    "summaryField",
                    text::kSummaryTemplate,
                    {6, 66, 270, 12},
                    kBorder | kGroup | kCentredVertically},
    ControlTemplate{control::kLogin,
                    ControlKind::Edit,
                    "loginField",
                    nullptr,
                    {60, 114, 60, 12},
                    kBorder | kScrollsSideways | kTabStop},
    ControlTemplate{control::kLabel,
                    ControlKind::Label,
                    "credentialsLabel",
                    text::kCredentialsLabel,
                    {6, 114, 48, 12},
                    kGroup | kCentredVertically},
    ControlTemplate{control::kPassword,
                    ControlKind::Edit,
                    "passwordField",
                    nullptr,
                    {126, 114, 60, 12},
                    kPassword | kBorder | kScrollsSideways | kTabStop},
    ControlTemplate{control::kViaBoot,
                    ControlKind::CheckBox,
                    "viaBootBox",
                    text::kViaBootBox,
                    {192, 96, 84, 12},
                    kTabStop},
};

constexpr DialogTemplate kMainWindow{
    280, 132, kDialogFont, kDialogPointSize, text::kAppName, kMainWindowControls};

// Template 100. The version line is filled in when the box opens.
constexpr int kAboutOk = 1;
constexpr std::array kAboutControls{
    ControlTemplate{control::kLabel, ControlKind::Icon, "aboutIcon", nullptr, {8, 8, 21, 20}, 0},
    ControlTemplate{
        control::kLabel, ControlKind::Label, "aboutName", text::kAppName, {40, 8, 172, 10}, 0},
    ControlTemplate{
        control::kAboutVersion, ControlKind::Label, "aboutVersion", nullptr, {40, 20, 172, 10}, 0},
    ControlTemplate{control::kLabel,
                    ControlKind::Label,
                    "aboutDescription",
                    text::kAboutDescription,
                    {40, 32, 172, 24},
                    kWrapsLines},
    ControlTemplate{kAboutOk,
                    ControlKind::PushButton,
                    "okButton",
                    text::kOkButton,
                    {166, 60, 46, 14},
                    kDefaultButton | kTabStop | kGroup},
};

constexpr DialogTemplate kAboutBox{
    220, 80, kDialogFont, kDialogPointSize, text::kAboutTitle, kAboutControls};

// Template 133: the page itself fills the window.
constexpr DialogTemplate kHelpWindow{285, 313, kDialogFont, kDialogPointSize, text::kHelpTitle, {}};

}  // namespace

const ControlTemplate* DialogTemplate::find(const char* name) const {
  for (const ControlTemplate& control : controls) {
    if (std::strcmp(control.name, name) == 0) return &control;
  }
  return nullptr;
}

const ControlTemplate* DialogTemplate::findById(int id) const {
  for (const ControlTemplate& control : controls) {
    if (control.id == id) return &control;
  }
  return nullptr;
}

const DialogTemplate& mainWindowTemplate() { return kMainWindow; }
const DialogTemplate& aboutBoxTemplate() { return kAboutBox; }
const DialogTemplate& helpWindowTemplate() { return kHelpWindow; }

}  // namespace korvel::window
