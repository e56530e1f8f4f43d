#include "ui/qt_korvel_window.h"

#include <algorithm>
#include <utility>

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>

#include "common/texts.h"
#include "common/utf8.h"
#include "link/echo_service.h"
#include "programming/device_lock.h"
#include "programming/interruptible_pauses.h"
#include "ui/about_item.h"
#include "ui/control_ids.h"
#include "ui/dialog_units.h"
#include "ui/ip_address_edit.h"
#include "ui/korvel_settings.h"
#include "ui/message_box.h"
#include "ui/qt_about_dialog.h"
#include "ui/qt_help_dialog.h"
#include "ui/qt_text.h"
#include "ui/resources.h"
#include "window/dialog_template.h"

namespace korvel {
namespace {

constexpr Qt::WindowFlags kWindowFlags = Qt::Dialog | Qt::CustomizeWindowHint |
                                         Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                                         Qt::WindowCloseButtonHint;

QString settingName(const char* name) { return QString::fromLatin1(name); }

const window::DialogTemplate& windowTemplate() { return window::mainWindowTemplate(); }

QFont templateFont() {
  QFont font = QApplication::font();
  font.setPointSize(windowTemplate().pointSize);
  return font;
}

QString withoutMnemonic(QString text) { return text.remove(QLatin1Char('&')); }

// The file dialog shows its filters exactly as the window has always named them; the part in
// brackets only tells Qt the pattern and stays hidden. "*" rather than "*.*": on this side of the
// platform fence "*.*" would leave out files without an extension.
QString nameFilter(const char* shown, const char* pattern) {
  return toQString(shown) + QStringLiteral(" (") + QString::fromLatin1(pattern) + QLatin1Char(')');
}

// The controller's settings over the window's QString store.
class QtWindowSettings : public WindowSettings {
 public:
  explicit QtWindowSettings(SettingsStore& store) : store_(store) {}
  std::uint32_t readInteger(const char* section, const char* name,
                            std::uint32_t fallback) override {
    return store_.readInteger(settingName(section), settingName(name), fallback);
  }
  void writeInteger(const char* section, const char* name, std::uint32_t value) override {
    store_.writeInteger(settingName(section), settingName(name), value);
  }
  std::string readText(const char* section, const char* name,
                       const std::string& fallback) override {
    return toUtf8(store_.readText(settingName(section), settingName(name), toQString(fallback)));
  }
  void writeText(const char* section, const char* name, const std::string& value) override {
    store_.writeText(settingName(section), settingName(name), toQString(value));
  }

 private:
  SettingsStore& store_;
};

}  // namespace

QtKorvelWindow::QtKorvelWindow(QWidget* parent, EchoService* echoService, Pauses* pauses,
                               SettingsStore* settings)
    : QDialog(parent, kWindowFlags),
      ownEchoService_(echoService != nullptr ? nullptr : makeSystemEchoService()),
      ownPauses_(pauses != nullptr ? nullptr : std::make_unique<InterruptiblePauses>()),
      ownSettings_(settings != nullptr ? nullptr : std::make_unique<KorvelSettings>()),
      windowSettings_(
          std::make_unique<QtWindowSettings>(settings != nullptr ? *settings : *ownSettings_)) {
  setObjectName(QStringLiteral("korvelDialog"));
  setFont(templateFont());
  createControls();
  controller_ = std::make_unique<WindowController>(
      *this, echoService != nullptr ? *echoService : *ownEchoService_,
      pauses != nullptr ? *pauses : *ownPauses_, *windowSettings_);
  if (ownPauses_) controller_->setStopListener([this] { ownPauses_->requestStop(); });
  if (ownEchoService_) {
    ownDeviceLocks_ = makeSystemDeviceLocks();
    controller_->setDeviceLocks(ownDeviceLocks_.get());
  }

  addAboutItem(*this, toQString(text::kAboutItem), [this] { showAbout(); });
  setWindowIcon(applicationIcon());
  setWindowTitle(toQString(windowTemplate().title) + toQString(text::kTitleVersionPrefix) +
                 toQString(text::kVersion));
  controller_->start();
  exitButton_->setFocus(Qt::OtherFocusReason);
}

// The conversation still running stops before the widgets it writes to go.
QtKorvelWindow::~QtKorvelWindow() {
  controller_->finish();
  const bool waitCursorShown = controller_->waitCursorShown();
  controller_.reset();
  if (waitCursorShown) QGuiApplication::restoreOverrideCursor();
}

// The control's number, name and place come from the window's description.
template <typename Widget>
Widget* QtKorvelWindow::addControl(Widget* widget, const char* name) {
  const window::ControlTemplate* entry = windowTemplate().find(name);
  Q_ASSERT(entry != nullptr);
  const window::UnitRect& r = entry->rect;
  widget->setGeometry(DialogUnits::forFont(font()).rect(r.x, r.y, r.width, r.height));
  widget->setObjectName(QString::fromLatin1(name));
  widget->setProperty(control::kIdProperty, entry->id);
  return widget;
}

void QtKorvelWindow::createControls() {
  setFixedSize(DialogUnits::forFont(font()).size(windowTemplate().width, windowTemplate().height));

  // Template order is creation order, and so the tab order.
  exitButton_ = addControl(new QPushButton(toQString(text::kExitButton), this), "exitButton");
  exitButton_->setDefault(true);
  connect(exitButton_, &QPushButton::clicked, this, &QDialog::accept);

  ipField_ = addControl(new IpAddressEdit(this), "ipField");

  programButton_ =
      addControl(new QPushButton(toQString(text::kProgramButton), this), "programButton");
  connect(programButton_, &QPushButton::clicked, this, &QtKorvelWindow::programDevice);

  progressBar_ = addControl(new QProgressBar(this), "progressBar");
  progressBar_->setTextVisible(false);
  progressBar_->setRange(0, 100);
  progressBar_->setValue(0);
  progressBar_->setAccessibleName(toQString(text::kProgressName));

  pathField_ = addControl(new QLineEdit(this), "pathField");
  pathField_->setAccessibleName(toQString(text::kPathFieldName));

  browseButton_ = addControl(new QPushButton(toQString(text::kBrowseButton), this), "browseButton");
  connect(browseButton_, &QPushButton::clicked, this, &QtKorvelWindow::browseImage);

  infoButton_ = addControl(new QPushButton(toQString(text::kInfoButton), this), "infoButton");
  connect(infoButton_, &QPushButton::clicked, this, &QtKorvelWindow::queryDeviceInfo);

  infoBox_ = addControl(new QPlainTextEdit(this), "infoBox");
  infoBox_->setReadOnly(true);
  // Every line stays readable inside the box: long ones wrap at its width, mid-word where a
  // path or a system message has no space to break at.
  infoBox_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  infoBox_->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  infoBox_->setTabChangesFocus(true);
  infoBox_->setFocusPolicy(Qt::StrongFocus);
  infoBox_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  // The four lines of device information fill the box without scroll bars; a longer text gets
  // a vertical one, so that its last lines can be seen to be there.
  infoBox_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  infoBox_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  infoBox_->document()->setDocumentMargin(1);
  infoBox_->setAccessibleName(toQString(text::kInfoBoxName));

  ipLabel_ = addControl(new QLabel(toQString(text::kIpLabel), this), "ipLabel");
  ipLabel_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  ipLabel_->setBuddy(ipField_);

  helpButton_ = addControl(new QPushButton(toQString(text::kHelpButton), this), "helpButton");
  connect(helpButton_, &QPushButton::clicked, this, &QtKorvelWindow::showHelp);

  summaryField_ = addControl(new QLabel(toQString(text::kSummaryTemplate), this), "summaryField");
  summaryField_->setFrameStyle(QFrame::Box | QFrame::Plain);
  summaryField_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  summaryField_->setIndent(3);
  summaryField_->setAccessibleName(toQString(text::kSummaryFieldName));

  loginField_ = addControl(new QLineEdit(this), "loginField");
  loginField_->setAccessibleName(toQString(text::kLoginFieldName));

  credentialsLabel_ =
      addControl(new QLabel(toQString(text::kCredentialsLabel), this), "credentialsLabel");
  credentialsLabel_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  credentialsLabel_->setBuddy(loginField_);

  passwordField_ = addControl(new QLineEdit(this), "passwordField");
  passwordField_->setEchoMode(QLineEdit::Password);
  passwordField_->setAccessibleName(toQString(text::kPasswordFieldName));

  viaBootBox_ = addControl(new QCheckBox(toQString(text::kViaBootBox), this), "viaBootBox");

  for (QLabel* label : {ipLabel_, summaryField_, credentialsLabel_}) {
    label->setTextFormat(Qt::PlainText);
  }
  for (QPushButton* button :
       {exitButton_, programButton_, browseButton_, infoButton_, helpButton_}) {
    button->setAccessibleName(withoutMnemonic(button->text()));
  }
  viaBootBox_->setAccessibleName(viaBootBox_->text());
  ipLabel_->setAccessibleName(ipLabel_->text());
  credentialsLabel_->setAccessibleName(credentialsLabel_->text());
}

QWidget* QtKorvelWindow::control(int id) const {
  for (QWidget* widget : findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
    if (widget->property(control::kIdProperty).toInt() == id) return widget;
  }
  return nullptr;
}

void QtKorvelWindow::done(int result) {
  if (!controller_->requestClose(result)) return;
  controller_->finish();
  QDialog::done(result);
}

void QtKorvelWindow::endBySystem() { controller_->endBySystem(QDialog::Rejected); }
void QtKorvelWindow::endWindow(int result) { done(result); }

void QtKorvelWindow::programDevice() { controller_->programDevice(); }
void QtKorvelWindow::queryDeviceInfo() { controller_->queryDeviceInfo(); }

void QtKorvelWindow::browseImage() {
  if (isRunning()) return;  // a press that came before the inputs went off
  const QString images = nameFilter(text::kFilterImages, text::kFilterImagesPattern);
  QFileDialog dialog(this);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setDefaultSuffix(QString());
  dialog.setOption(QFileDialog::HideNameFilterDetails);
  dialog.setNameFilters({images, nameFilter(text::kFilterAll, "*")});
  dialog.selectNameFilter(images);
  // Operators keep their images together: start where the current one lies.
  const QFileInfo current(pathField_->text());
  if (!pathField_->text().isEmpty() && current.absoluteDir().exists()) {
    dialog.setDirectory(current.absoluteDir());
  }
  if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
    pathField_->setText(QDir::toNativeSeparators(dialog.selectedFiles().constFirst()));
  }
  showImageSummary();
}

void QtKorvelWindow::showHelp() {
  QtHelpDialog help(this);
  help.exec();
}

void QtKorvelWindow::showAbout() {
  QtAboutDialog about(this);
  about.exec();
}

void QtKorvelWindow::showImageSummary() { controller_->showImageSummary(); }

bool QtKorvelWindow::nativeEvent(const QByteArray& eventType, void* message, qintptr* result) {
  if (isAboutCommand(eventType, message)) {
    showAbout();
    *result = 0;
    return true;
  }
  return QDialog::nativeEvent(eventType, message, result);
}

Ipv4Address QtKorvelWindow::ipAddress() const { return ipField_->address(); }
void QtKorvelWindow::setIpAddress(Ipv4Address address) { ipField_->setAddress(address); }
std::string QtKorvelWindow::login() const { return toUtf8(loginField_->text()); }
std::string QtKorvelWindow::password() const { return toUtf8(passwordField_->text()); }
bool QtKorvelWindow::viaBoot() const { return viaBootBox_->isChecked(); }
void QtKorvelWindow::setViaBoot(bool checked) { viaBootBox_->setChecked(checked); }
std::string QtKorvelWindow::imagePath() const { return toUtf8(pathField_->text()); }
void QtKorvelWindow::setImagePath(const std::string& path) { pathField_->setText(toQString(path)); }

void QtKorvelWindow::setSummaryText(const std::string& text) {
  summaryField_->setText(toQString(text));
}

void QtKorvelWindow::setInfoText(const std::string& text) {
  QString shown = toQString(text);
  shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  infoBox_->setPlainText(shown);
}

void QtKorvelWindow::setProgressRange(int lower, int upper) {
  progressBar_->setRange(lower, upper);
}
void QtKorvelWindow::setProgressPosition(int position) { progressBar_->setValue(position); }

void QtKorvelWindow::setInputsEnabled(bool enable) {
  const std::initializer_list<QWidget*> inputs{programButton_, ipField_,    browseButton_,
                                               pathField_,     infoButton_, loginField_,
                                               passwordField_, viaBootBox_};
  // Switching off the focused input would hand the focus on to the information box, with a
  // caret blinking in a box nobody can type into; the window itself keeps it meanwhile, so
  // Enter and Esc still work.
  QWidget* focused = focusWidget();
  const bool inputFocused = std::any_of(inputs.begin(), inputs.end(), [focused](QWidget* input) {
    return input == focused || input->isAncestorOf(focused);
  });
  if (!enable && inputFocused) setFocus(Qt::OtherFocusReason);
  for (QWidget* input : inputs) input->setEnabled(enable);
}

void QtKorvelWindow::beginWaitCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
void QtKorvelWindow::reassertWaitCursor() { QGuiApplication::changeOverrideCursor(Qt::WaitCursor); }
void QtKorvelWindow::endWaitCursor() { QGuiApplication::restoreOverrideCursor(); }

void QtKorvelWindow::showWarning(const std::string& text) {
  MessageBox::warning(this, toQString(text::kAppName), toQString(text));
}

void QtKorvelWindow::rememberFocus() { focusedBeforeConversation_ = QApplication::focusWidget(); }

void QtKorvelWindow::restoreFocus() {
  QWidget* focused = focusedBeforeConversation_;
  if (focused && focused->isEnabled() && focused->window() == this) focused->setFocus();
}

// Queued calls on this object run in the order they were posted, on the window's thread; those
// still waiting when the window goes are dropped with it.
void QtKorvelWindow::postToUi(std::function<void()> call) {
  QMetaObject::invokeMethod(this, std::move(call), Qt::QueuedConnection);
}

}  // namespace korvel
