#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include <QWidget>

#include "common/ipv4_address.h"

class QLineEdit;

namespace korvel {

// An IPv4 address entered as four fields of 0 to 255, like the IP address control of Windows:
// entering a field selects it, "." moves on from a filled field, a third digit moves on by
// itself, Backspace and the arrow keys cross into the neighbouring field, a pasted dotted address
// fills all four, and the whole control is one tab stop.
class IpAddressEdit : public QWidget {
  Q_OBJECT

 public:
  explicit IpAddressEdit(QWidget* parent = nullptr);

  // First field in the most significant byte; a blank field reads as 0.
  Ipv4Address address() const;
  void setAddress(Ipv4Address address);

  QLineEdit* field(int index) const { return fields_.at(static_cast<std::size_t>(index)); }

  QSize sizeHint() const override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  QLineEdit* makeField(int index);
  int indexOf(QObject* watched) const;
  bool handleKey(int index, QKeyEvent* key);
  void handleDot(int index);
  bool keepSelectionOnClick(int index, Qt::MouseButton button);
  void enterField(int index, bool atEnd);
  void backIntoField(int index);
  void moveOnWhenFull(int index);
  void offerPasteInContextMenu(int index, const QPoint& at);
  void paste(int index);

  std::array<QLineEdit*, 4> fields_{};
  // The field the caret has just moved on to after a third digit: a "." typed next belongs to
  // the digits before it and is swallowed.
  std::optional<int> movedOnTo_;
  // The field a click has just brought the focus into.
  std::optional<int> enteredByClick_;
};

// Four dotted groups of one to three digits, each above 255 taken as 255; anything else is no
// address.
std::optional<Ipv4Address> parseDottedAddress(const QString& text);

}  // namespace korvel
