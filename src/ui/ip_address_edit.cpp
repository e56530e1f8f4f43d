#include "ui/ip_address_edit.h"

#include <algorithm>
#include <memory>
#include <utility>

#include <QAction>
#include <QClipboard>
#include <QEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
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
constexpr int kMaxOctet = 255;

bool isOctetText(const QString& text) {
  if (text.size() > kMaxDigits) return false;
  return std::all_of(text.begin(), text.end(),
                     [](QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); });
}

// Digits only, at most three; a number above 255 becomes 255 as it is typed or pasted, so the
// field can never hold a value the address cannot carry.
class OctetValidator : public QValidator {
 public:
  using QValidator::QValidator;

  State validate(QString& input, int&) const override {
    if (!isOctetText(input)) return Invalid;
    if (!input.isEmpty() && input.toInt() > kMaxOctet) input = QString::number(kMaxOctet);
    return Acceptable;
  }
};

bool isDot(const QKeyEvent* key) {
  return key->text() == QLatin1String(".") || key->key() == Qt::Key_Space;
}

// The line edit's own menu names its Paste item so, with the shortcut after a tab.
bool isPasteAction(const QAction& action) {
  return action.objectName() == QLatin1String("edit-paste") ||
         action.text().section(QLatin1Char('\t'), 0, 0) == QLineEdit::tr("&Paste");
}

}  // namespace

std::optional<Ipv4Address> parseDottedAddress(const QString& text) {
  const QStringList parts = text.trimmed().split(QLatin1Char('.'));
  if (parts.size() != kFieldCount) return std::nullopt;
  std::array<std::uint8_t, kFieldCount> fields{};
  for (int i = 0; i < kFieldCount; ++i) {
    const QString& part = parts[i];
    if (part.isEmpty() || !isOctetText(part)) return std::nullopt;
    fields[static_cast<std::size_t>(i)] =
        static_cast<std::uint8_t>(std::min(part.toInt(), kMaxOctet));
  }
  return Ipv4Address(fields[0], fields[1], fields[2], fields[3]);
}

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
  edit->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(edit, &QWidget::customContextMenuRequested, this,
          [this, index](const QPoint& at) { offerPasteInContextMenu(index, at); });
  connect(edit, &QLineEdit::textEdited, this, [this, index] { moveOnWhenFull(index); });
  return edit;
}

Ipv4Address IpAddressEdit::address() const {
  std::array<std::uint8_t, kFieldCount> fields{};
  for (std::size_t i = 0; i < fields.size(); ++i) {
    fields[i] = static_cast<std::uint8_t>(fields_[i]->text().toUInt() & 0xFFu);
  }
  return Ipv4Address(fields[0], fields[1], fields[2], fields[3]);
}

void IpAddressEdit::setAddress(Ipv4Address address) {
  for (std::size_t i = 0; i < fields_.size(); ++i) {
    fields_[i]->setText(QString::number(address.fields()[i]));
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
  if (index < 0) return QWidget::eventFilter(watched, event);
  switch (event->type()) {
    case QEvent::KeyPress:
      return handleKey(index, static_cast<QKeyEvent*>(event));
    case QEvent::MouseButtonPress:
      return keepSelectionOnClick(index, static_cast<QMouseEvent*>(event)->button());
    case QEvent::FocusIn:
      // Tab selects by itself; a click selects here, and the press that follows must not undo it.
      if (static_cast<QFocusEvent*>(event)->reason() == Qt::MouseFocusReason) {
        fields_[static_cast<std::size_t>(index)]->selectAll();
        enteredByClick_ = index;
      }
      update();
      break;
    case QEvent::FocusOut:
      movedOnTo_.reset();
      enteredByClick_.reset();
      update();
      break;
    default:
      break;
  }
  return QWidget::eventFilter(watched, event);
}

bool IpAddressEdit::handleKey(int index, QKeyEvent* key) {
  const bool justMovedOn = movedOnTo_ == index;
  movedOnTo_.reset();
  enteredByClick_.reset();
  if (key->matches(QKeySequence::Paste)) {
    paste(index);
    return true;
  }
  if (isDot(key)) {
    if (!justMovedOn) handleDot(index);
    return true;  // a dot or space is never part of a field
  }
  const QLineEdit* edit = fields_[static_cast<std::size_t>(index)];
  const bool atStart = edit->cursorPosition() == 0 && !edit->hasSelectedText();
  const bool atEnd = edit->cursorPosition() == edit->text().size() && !edit->hasSelectedText();
  const bool plain = (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
  if (!plain) return false;
  if (key->key() == Qt::Key_Backspace && atStart && index > 0) {
    backIntoField(index - 1);
    return true;
  }
  if (key->key() == Qt::Key_Left && atStart && index > 0) {
    enterField(index - 1, true);
    return true;
  }
  if (key->key() == Qt::Key_Right && atEnd && index < kLastField) {
    enterField(index + 1, false);
    return true;
  }
  return false;
}

// Only a field that holds digits, with the caret after them and nothing selected, is finished by
// a dot; anywhere else the dot would leave a field the operator has not typed yet.
void IpAddressEdit::handleDot(int index) {
  const QLineEdit* edit = fields_[static_cast<std::size_t>(index)];
  const bool finished = !edit->text().isEmpty() && !edit->hasSelectedText() &&
                        edit->cursorPosition() == edit->text().size();
  if (finished && index < kLastField) enterField(index + 1, false);
}

// The click that brought the focus into a field selected it; its press would place the caret
// and so undo that. Later clicks place the caret as usual.
bool IpAddressEdit::keepSelectionOnClick(int index, Qt::MouseButton button) {
  movedOnTo_.reset();
  const bool entered = std::exchange(enteredByClick_, std::nullopt) == index;
  return entered && button == Qt::LeftButton;
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

void IpAddressEdit::backIntoField(int index) {
  enterField(index, true);
  fields_[static_cast<std::size_t>(index)]->backspace();
}

void IpAddressEdit::moveOnWhenFull(int index) {
  const QLineEdit* edit = fields_[static_cast<std::size_t>(index)];
  if (index < kLastField && edit->text().size() == kMaxDigits &&
      edit->cursorPosition() == kMaxDigits) {
    enterField(index + 1, false);
    movedOnTo_ = index + 1;
  }
}

void IpAddressEdit::paste(int index) {
  const QString pasted = QGuiApplication::clipboard()->text();
  if (const auto address = parseDottedAddress(pasted)) {
    setAddress(*address);
    enterField(kLastField, true);
    return;
  }
  fields_[static_cast<std::size_t>(index)]->paste();
}

// The field's own menu, with its Paste going through the same door as Ctrl+V.
void IpAddressEdit::offerPasteInContextMenu(int index, const QPoint& at) {
  QLineEdit* edit = fields_[static_cast<std::size_t>(index)];
  std::unique_ptr<QMenu> menu(edit->createStandardContextMenu());
  for (QAction* action : menu->actions()) {
    if (!isPasteAction(*action)) continue;
    action->disconnect();
    connect(action, &QAction::triggered, this, [this, index] { paste(index); });
  }
  menu->exec(edit->mapToGlobal(at));
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
