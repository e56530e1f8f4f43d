#pragma once

#include <array>
#include <cstdint>

#include <QWidget>

class QLineEdit;

namespace korvel {

// An IPv4 address entered as four fields of 0 to 255, like the IP address control of Windows:
// "." moves to the next field, a third digit moves on by itself, Backspace and the arrow keys
// cross into the neighbouring field, and the whole control is one tab stop.
class IpAddressEdit : public QWidget {
  Q_OBJECT

 public:
  explicit IpAddressEdit(QWidget* parent = nullptr);

  // First field in the most significant byte; a blank field reads as 0.
  std::uint32_t address() const;
  void setAddress(std::uint32_t address);

  QLineEdit* field(int index) const { return fields_.at(static_cast<std::size_t>(index)); }

  QSize sizeHint() const override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  QLineEdit* makeField(int index);
  int indexOf(QObject* watched) const;
  bool handleKey(int index, QKeyEvent* key);
  void enterField(int index, bool atEnd);
  void moveOnWhenFull(int index);

  std::array<QLineEdit*, 4> fields_{};
};

}  // namespace korvel
