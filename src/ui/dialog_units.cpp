#include "ui/dialog_units.h"

#include <QFont>
#include <QFontMetrics>

namespace korvel {
namespace {

// The rounding of Windows' MulDiv: halves away from zero.
int mulDiv(int value, int numerator, int denominator) {
  const long long product = static_cast<long long>(value) * numerator;
  const long long half = denominator / 2;
  return static_cast<int>(product >= 0 ? (product + half) / denominator
                                       : (product - half) / denominator);
}

}  // namespace

DialogUnits::DialogUnits(int baseWidth, int baseHeight)
    : baseWidth_(baseWidth), baseHeight_(baseHeight) {}

DialogUnits DialogUnits::forFont(const QFont& font) {
  const QFontMetrics metrics(font);
  // Windows averages the 52 Latin letters and rounds the way its dialog manager does.
  const int letters = metrics.horizontalAdvance(
      QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
  return DialogUnits((letters / 26 + 1) / 2, metrics.height());
}

QRect DialogUnits::rect(int x, int y, int width, int height) const {
  // Windows maps the corners, not the sizes, so neighbouring controls never gap or overlap.
  const int left = toPixelsX(x);
  const int top = toPixelsY(y);
  return QRect(left, top, toPixelsX(x + width) - left, toPixelsY(y + height) - top);
}

QSize DialogUnits::size(int width, int height) const {
  return QSize(toPixelsX(width), toPixelsY(height));
}

int DialogUnits::toPixelsX(int units) const { return mulDiv(units, baseWidth_, 4); }
int DialogUnits::toPixelsY(int units) const { return mulDiv(units, baseHeight_, 8); }

}  // namespace korvel
