#pragma once

#include <QRect>
#include <QSize>

class QFont;

namespace korvel {

// The window's layout comes from a dialog template measured in dialog units: x in quarters of
// the dialog font's average character width, y in eighths of its height. Mapping them the way
// Windows does keeps the template's proportions with whatever font this platform provides.
class DialogUnits {
 public:
  DialogUnits(int baseWidth, int baseHeight);
  static DialogUnits forFont(const QFont& font);

  QRect rect(int x, int y, int width, int height) const;
  QSize size(int width, int height) const;

 private:
  int toPixelsX(int units) const;
  int toPixelsY(int units) const;

  int baseWidth_;
  int baseHeight_;
};

}  // namespace korvel
