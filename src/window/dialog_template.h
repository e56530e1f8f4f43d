#pragma once

#include <span>

namespace korvel::window {

// What a control is; each window maps it to its own toolkit's control.
enum class ControlKind { PushButton, CheckBox, Edit, Label, IpAddress, ProgressBar, Icon };

// What a control does beyond its kind, as flags.
namespace style {
inline constexpr unsigned kTabStop = 1u << 0;
inline constexpr unsigned kGroup = 1u << 1;  // starts a group for the arrow keys
inline constexpr unsigned kBorder = 1u << 2;
inline constexpr unsigned kDefaultButton = 1u << 3;
inline constexpr unsigned kMultiLine = 1u << 4;
inline constexpr unsigned kReadOnly = 1u << 5;
inline constexpr unsigned kPassword = 1u << 6;         // typed characters are drawn masked
inline constexpr unsigned kScrollsSideways = 1u << 7;  // one line that scrolls with the caret
inline constexpr unsigned kWrapsLines = 1u << 8;       // long lines break at the box's edge
inline constexpr unsigned kCentredVertically = 1u << 9;
}  // namespace style

// A rectangle in dialog units: x in quarters of the dialog font's average character width, y in
// eighths of its height.
struct UnitRect {
  int x;
  int y;
  int width;
  int height;

  int right() const { return x + width; }
  int bottom() const { return y + height; }
};

struct ControlTemplate {
  int id;
  ControlKind kind;
  const char* name;  // a stable name for code and tests: "exitButton", ...
  const char* text;  // UTF-8; null for controls without a text of their own
  UnitRect rect;
  unsigned styles;
};

// A dialog: its size in dialog units, font and title, and its controls in creation order, which
// is also the tab order.
struct DialogTemplate {
  int width;
  int height;
  const char* fontFace;
  int pointSize;
  const char* title;
  std::span<const ControlTemplate> controls;

  const ControlTemplate* find(const char* name) const;
  const ControlTemplate* findById(int id) const;
};

// The main window, as both the Qt window and the Windows dialog build it.
const DialogTemplate& mainWindowTemplate();
// The About box, opened from the system menu.
const DialogTemplate& aboutBoxTemplate();
// The help page's window; it has no controls of its own in the template (the page fills it).
const DialogTemplate& helpWindowTemplate();

}  // namespace korvel::window
