#include "ui/qt_help_dialog.h"

#include <QTextBrowser>
#include <QVBoxLayout>

#include "common/texts.h"
#include "ui/dialog_units.h"
#include "ui/qt_text.h"
#include "ui/resources.h"
#include "window/dialog_template.h"

namespace korvel {

QtHelpDialog::QtHelpDialog(QWidget* parent, const QUrl& page)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint |
                          Qt::WindowStaysOnTopHint),
      browser_(new QTextBrowser(this)) {
  initUiResources();
  setObjectName(QStringLiteral("helpDialog"));
  setWindowTitle(toQString(text::kHelpTitle));
  setModal(true);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(browser_);
  browser_->setObjectName(QStringLiteral("helpBrowser"));
  browser_->setAccessibleName(toQString(text::kHelpPageName));
  browser_->setFrameShape(QFrame::NoFrame);
  browser_->setOpenLinks(false);
  browser_->setOpenExternalLinks(false);
  browser_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  connect(browser_, &QTextBrowser::anchorClicked, this, &QtHelpDialog::followAnchor);
  browser_->setSource(page, QTextDocument::HtmlResource);
  const window::DialogTemplate& help = window::helpWindowTemplate();
  resize(DialogUnits::forFont(font()).size(help.width, help.height));
}

QUrl QtHelpDialog::defaultPage() { return QUrl(QStringLiteral("qrc:/korvel/help.html")); }

void QtHelpDialog::reject() { done(kResultCancel); }

void QtHelpDialog::followAnchor(const QUrl& target) {
  const QString id = target.fragment();
  if (id == QLatin1String("ButtonOK")) {
    done(kResultOk);
  } else if (id == QLatin1String("ButtonCancel")) {
    done(kResultCancel);
  }
}

}  // namespace korvel
