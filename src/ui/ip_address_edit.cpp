#include "ui/ip_address_edit.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QStyleOptionFrame>
#include <QValidator>

#include "common/texts.h"
#include "ui/qt_text.h"

namespace korvel {
namespace {

constexpr int kFieldCount = 4;
constexpr int kLastField = kFieldCount - 1;
constexpr int kMaxDigits = 3;

// Digits only, at most three, never above 255: anything else is refused as it is typed, so the
// field can never hold a value the address cannot carry.
class OctetValidator : public QValidator {
 public:
  using QValidator::QValidator;

  State validate(QString& input, int&) const override {
    if (input.size() > kMaxDigits) return Invalid;
    for (const QChar c : input) {
      if (c < QLatin1Char('0') || c > QLatin1Char('9')) return Invalid;
    }
    if (!input.isEmpty() && input.toInt() > 255) return Invalid;
    return Acceptable;
  }
};

}  // namespace

IpAddressEdit::IpAddressEdit(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_MacShowFocusRect);
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(2, 1, 2, 1);
  row->setSpacing(0);
  for (int i = 0; i < kFieldCount; ++i) {
    if (i > 0) {
      auto* dot = new QLabel(QStringLiteral("."), this);
      dot->setAlignment(Qt::AlignCenter);
      dot->setBackgroundRole(QPalette::Base);
      dot->setAutoFillBackground(true);
      row->addWidget(dot);
    }
    fields_[static_cast<std::size_t>(i)] = makeField(i);
    row->addWidget(fields_[static_cast<std::size_t>(i)], 1);
  }
  // One tab stop for the whole control, as on Windows: Tab enters the first field and leaves
  // from any of them.
  setFocusPolicy(Qt::StrongFocus);
  setFocusProxy(fields_[0]);
  setAccessibleName(toQString(text::kIpFieldName));
}

QLineEdit* IpAddressEdit::makeField(int index) {
  auto* edit = new QLineEdit(this);
  edit->setFrame(false);
  edit->setAlignment(Qt::AlignCenter);
  edit->setValidator(new OctetValidator(edit));
  edit->setFocusPolicy(index == 0 ? Qt::StrongFocus : Qt::ClickFocus);
  edit->setAccessibleName(toQString(text::kIpOctetNamePrefix) + QString::number(index + 1));
  edit->setObjectName(QStringLiteral("ipOctet%1").arg(index + 1));
  edit->installEventFilter(this);
  connect(edit, &QLineEdit::textEdited, this, [this, index] { moveOnWhenFull(index); });
  return edit;
}

std::uint32_t IpAddressEdit::address() const {
  std::uint32_t result = 0;
  for (const QLineEdit* edit : fields_) {
    result = (result << 8) | static_cast<std::uint32_t>(edit->text().toUInt() & 0xFFu);
  }
  return result;
}

void IpAddressEdit::setAddress(std::uint32_t address) {
  for (int i = 0; i < kFieldCount; ++i) {
    const auto octet = (address >> (8 * (kLastField - i))) & 0xFFu;
    fields_[static_cast<std::size_t>(i)]->setText(QString::number(octet));
  }
}

QSize IpAddressEdit::sizeHint() const {
  const QFontMetrics metrics(font());
  return QSize(metrics.horizontalAdvance(QStringLiteral("000.000.000.000")) + 16,
               metrics.height() + 6);
}

int IpAddressEdit::indexOf(QObject* watched) const {
  for (int i = 0; i < kFieldCount; ++i) {
    if (fields_[static_cast<std::size_t>(i)] == watched) return i;
  }
  return -1;
}

bool IpAddressEdit::eventFilter(QObject* watched, QEvent* event) {
  const int index = indexOf(watched);
  if (index >= 0) {
    if (event->type() == QEvent::KeyPress) return handleKey(index, static_cast<QKeyEvent*>(event));
    if (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut) update();
  }
  return QWidget::eventFilter(watched, event);
}

bool IpAddressEdit::handleKey(int index, QKeyEvent* key) {
  const QLineEdit* edit = fields_[static_cast<std::size_t>(index)];
  const bool atStart = edit->cursorPosition() == 0 && !edit->hasSelectedText();
  const bool atEnd = edit->cursorPosition() == edit->text().size() && !edit->hasSelectedText();
  const bool plain = (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
  if (key->text() == QLatin1String(".") || key->key() == Qt::Key_Space) {
    // An empty field keeps the dot from moving on: after three digits have already moved the
    // caret here, the dot the operator types next must not skip a field.
    if (index < kLastField && !edit->text().isEmpty()) enterField(index + 1, false);
    return true;  // a dot or space is never part of a field
  }
  if (!plain) return false;
  if ((key->key() == Qt::Key_Backspace || key->key() == Qt::Key_Left) && atStart && index > 0) {
    enterField(index - 1, true);
    return true;
  }
  if (key->key() == Qt::Key_Right && atEnd && index < kLastField) {
    enterField(index + 1, false);
    return true;
  }
  return false;
}

void IpAddressEdit::enterField(int index, bool atEnd) {
  QLineEdit* edit = fields_[static_cast<std::size_t>(index)];
  edit->setFocus(Qt::OtherFocusReason);
  if (atEnd) {
    edit->deselect();
    edit->end(false);
  } else {
    edit->selectAll();
  }
}

void IpAddressEdit::moveOnWhenFull(int index) {
  const QLineEdit* edit = fields_[static_cast<std::size_t>(index)];
  if (index < kLastField && edit->text().size() == kMaxDigits &&
      edit->cursorPosition() == kMaxDigits) {
    enterField(index + 1, false);
  }
}

void IpAddressEdit::paintEvent(QPaintEvent*) {
  // The four fields sit on one line-edit panel, so the control looks like the other fields.
  QPainter painter(this);
  QStyleOptionFrame option;
  option.initFrom(this);
  option.lineWidth = style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, this);
  option.midLineWidth = 0;
  option.state |= QStyle::State_Sunken;
  for (const QLineEdit* edit : fields_) {
    if (edit->hasFocus()) option.state |= QStyle::State_HasFocus;
  }
  style()->drawPrimitive(QStyle::PE_PanelLineEdit, &option, &painter, this);
}

}  // namespace korvel
