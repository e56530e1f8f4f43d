#include "ui/qt_about_dialog.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

#include "common/texts.h"
#include "ui/qt_text.h"
#include "ui/resources.h"

namespace korvel {
namespace {

QLabel* plainLabel(const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setTextFormat(Qt::PlainText);
  return label;
}

}  // namespace

QtAboutDialog::QtAboutDialog(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint) {
  setObjectName(QStringLiteral("aboutDialog"));
  setWindowTitle(toQString(text::kAboutTitle));
  setModal(true);

  auto* icon = new QLabel(this);
  icon->setPixmap(applicationIcon().pixmap(48, 48));
  icon->setAlignment(Qt::AlignTop);

  auto* name = plainLabel(toQString(text::kAppName), this);
  QFont bold = name->font();
  bold.setBold(true);
  name->setFont(bold);
  auto* version =
      plainLabel(toQString(text::kAboutVersionPrefix) + toQString(text::kVersion), this);
  auto* description = plainLabel(toQString(text::kAboutDescription), this);
  description->setWordWrap(true);
  description->setObjectName(QStringLiteral("aboutDescription"));

  auto* buttons = new QDialogButtonBox(this);
  QPushButton* ok = buttons->addButton(toQString(text::kOkButton), QDialogButtonBox::AcceptRole);
  ok->setDefault(true);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

  auto* grid = new QGridLayout(this);
  grid->addWidget(icon, 0, 0, 3, 1);
  grid->addWidget(name, 0, 1);
  grid->addWidget(version, 1, 1);
  grid->addWidget(description, 2, 1);
  grid->addWidget(buttons, 3, 0, 1, 2);
  grid->setColumnStretch(1, 1);
  setMinimumWidth(360);
  layout()->setSizeConstraint(QLayout::SetFixedSize);
}

}  // namespace korvel
