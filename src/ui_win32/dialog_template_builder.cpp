#include "ui_win32/dialog_template_builder.h"

#include <commctrl.h>

#include <cstring>
#include <string>

#include "ui_win32/resource_ids.h"
#include "ui_win32/wide_text.h"

namespace korvel {
namespace {

using window::ControlKind;
namespace style = window::style;

// Writes the template's WORDs and keeps track of alignment.
class TemplateWriter {
 public:
  void word(WORD value) { words_.push_back(value); }
  void dword(DWORD value) {
    word(LOWORD(value));
    word(HIWORD(value));
  }
  void text(const std::wstring& value) {
    for (const wchar_t c : value) word(static_cast<WORD>(c));
    word(0);
  }
  void ordinal(WORD value) {
    word(0xFFFF);
    word(value);
  }
  void alignToDword() {
    if (words_.size() % 2 != 0) word(0);
  }
  std::vector<DWORD> finish() {
    alignToDword();
    std::vector<DWORD> out(words_.size() / 2);
    std::memcpy(out.data(), words_.data(), words_.size() * sizeof(WORD));
    return out;
  }

 private:
  std::vector<WORD> words_;
};

DWORD buttonStyle(const window::ControlTemplate& control) {
  if (control.kind == ControlKind::CheckBox) return BS_AUTOCHECKBOX;
  return (control.styles & style::kDefaultButton) ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
}

DWORD editStyle(unsigned styles) {
  DWORD out = ES_LEFT;
  if (styles & style::kMultiLine) out |= ES_MULTILINE;
  if (styles & style::kReadOnly) out |= ES_READONLY;
  if (styles & style::kPassword) out |= ES_PASSWORD;
  if (styles & style::kScrollsSideways) out |= ES_AUTOHSCROLL;
  // Without ES_AUTOHSCROLL a multi-line edit breaks long lines at its edge.
  if ((styles & style::kWrapsLines) && (styles & style::kMultiLine)) out |= ES_AUTOVSCROLL;
  return out;
}

DWORD labelStyle(unsigned styles) {
  DWORD out = SS_LEFT | SS_NOPREFIX;
  if (styles & style::kCentredVertically) out |= SS_CENTERIMAGE;
  return out;
}

}  // namespace

const wchar_t* DialogTemplateBuilder::className(const window::ControlTemplate& control) {
  switch (control.kind) {
    case ControlKind::PushButton:
    case ControlKind::CheckBox:
      return WC_BUTTONW;
    case ControlKind::Edit:
      return WC_EDITW;
    case ControlKind::Label:
    case ControlKind::Icon:
      return WC_STATICW;
    case ControlKind::IpAddress:
      return WC_IPADDRESSW;
    case ControlKind::ProgressBar:
      return PROGRESS_CLASSW;
  }
  return WC_STATICW;
}

DWORD DialogTemplateBuilder::controlStyle(const window::ControlTemplate& control) {
  DWORD out = WS_CHILD | WS_VISIBLE;
  if (control.styles & style::kTabStop) out |= WS_TABSTOP;
  if (control.styles & style::kGroup) out |= WS_GROUP;
  if (control.styles & style::kBorder) out |= WS_BORDER;
  switch (control.kind) {
    case ControlKind::PushButton:
    case ControlKind::CheckBox:
      out |= buttonStyle(control);
      break;
    case ControlKind::Edit:
      out |= editStyle(control.styles);
      break;
    case ControlKind::Label:
      out |= labelStyle(control.styles);
      break;
    case ControlKind::Icon:
      out |= SS_ICON;
      break;
    case ControlKind::IpAddress:
    case ControlKind::ProgressBar:
      break;
  }
  return out;
}

std::vector<DWORD> DialogTemplateBuilder::build(const window::DialogTemplate& dialog, DWORD style,
                                                DWORD extendedStyle) {
  TemplateWriter out;
  out.word(1);       // dlgVer
  out.word(0xFFFF);  // signature: the extended template
  out.dword(0);      // helpID
  out.dword(extendedStyle);
  out.dword(style | DS_SETFONT);
  out.word(static_cast<WORD>(dialog.controls.size()));
  out.word(0);  // x, y: the dialog manager centres a DS_CENTER dialog
  out.word(0);
  out.word(static_cast<WORD>(dialog.width));
  out.word(static_cast<WORD>(dialog.height));
  out.word(0);  // no menu
  out.word(0);  // the dialog class
  out.text(toWide(dialog.title));
  out.word(static_cast<WORD>(dialog.pointSize));
  out.word(FW_NORMAL);
  out.word(MAKEWORD(FALSE, DEFAULT_CHARSET));  // italic, charset
  out.text(toWide(dialog.fontFace));

  for (const window::ControlTemplate& control : dialog.controls) {
    out.alignToDword();
    out.dword(0);  // helpID
    out.dword(0);  // extended style
    out.dword(controlStyle(control));
    out.word(static_cast<WORD>(control.rect.x));
    out.word(static_cast<WORD>(control.rect.y));
    out.word(static_cast<WORD>(control.rect.width));
    out.word(static_cast<WORD>(control.rect.height));
    out.dword(static_cast<DWORD>(control.id));
    out.text(className(control));
    if (control.kind == ControlKind::Icon) {
      out.ordinal(KORVEL_IDI_APPLICATION);
    } else {
      out.text(control.text != nullptr ? toWide(control.text) : std::wstring());
    }
    out.word(0);  // no creation data
  }
  return out.finish();
}

}  // namespace korvel
