#include "ui/korvel_dlg.h"

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <utility>

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>

#include "common/texts.h"
#include "common/utf8.h"
#include "image/image_summary.h"
#include "link/echo_service.h"
#include "programming/device_lock.h"
#include "programming/pauses.h"
#include "ui/about_dlg.h"
#include "ui/about_item.h"
#include "ui/control_ids.h"
#include "ui/dialog_units.h"
#include "ui/help_dialog.h"
#include "ui/ip_address_edit.h"
#include "ui/korvel_settings.h"
#include "ui/message_box.h"
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

}  // namespace

CKorvelDlg::CKorvelDlg(QWidget* parent, EchoService* echoService, Pauses* pauses,
                       SettingsStore* settings)
    : QDialog(parent, kWindowFlags),
      ownEchoService_(echoService != nullptr ? nullptr : makeSystemEchoService()),
      ownPauses_(pauses != nullptr ? nullptr : std::make_unique<RealPauses>()),
      ownSettings_(settings != nullptr ? nullptr : std::make_unique<KorvelSettings>()),
      echoService_(echoService != nullptr ? *echoService : *ownEchoService_),
      pauses_(pauses != nullptr ? *pauses : *ownPauses_),
      settings_(settings != nullptr ? *settings : *ownSettings_) {
  setObjectName(QStringLiteral("korvelDialog"));
  setFont(templateFont());
  createControls();
  programmer_ = std::make_unique<DeviceProgrammer>(*this, echoService_, pauses_);
  if (ownEchoService_) {
    ownDeviceLocks_ = makeSystemDeviceLocks();
    programmer_->setDeviceLocks(ownDeviceLocks_.get());
  }

  addAboutItem(*this, toQString(text::kAboutItem), [this] { showAbout(); });
  setWindowIcon(applicationIcon());
  setWindowTitle(toQString(windowTemplate().title) + toQString(text::kTitleVersionPrefix) +
                 toQString(text::kVersion));
  restoreSettings();
  exitButton_->setFocus(Qt::OtherFocusReason);
}

CKorvelDlg::~CKorvelDlg() { finish(); }

// The control's number, name and place come from the window's description.
template <typename Widget>
Widget* CKorvelDlg::addControl(Widget* widget, const char* name) {
  const window::ControlTemplate* entry = windowTemplate().find(name);
  Q_ASSERT(entry != nullptr);
  const window::UnitRect& r = entry->rect;
  widget->setGeometry(DialogUnits::forFont(font()).rect(r.x, r.y, r.width, r.height));
  widget->setObjectName(QString::fromLatin1(name));
  widget->setProperty(control::kIdProperty, entry->id);
  return widget;
}

void CKorvelDlg::createControls() {
  setFixedSize(DialogUnits::forFont(font()).size(windowTemplate().width, windowTemplate().height));

  // Template order is creation order, and so the tab order.
  exitButton_ = addControl(new QPushButton(toQString(text::kExitButton), this), "exitButton");
  exitButton_->setDefault(true);
  connect(exitButton_, &QPushButton::clicked, this, &QDialog::accept);

  ipField_ = addControl(new IpAddressEdit(this), "ipField");

  programButton_ =
      addControl(new QPushButton(toQString(text::kProgramButton), this), "programButton");
  connect(programButton_, &QPushButton::clicked, this, &CKorvelDlg::programDevice);

  progressBar_ = addControl(new QProgressBar(this), "progressBar");
  progressBar_->setTextVisible(false);
  progressBar_->setRange(0, 100);
  progressBar_->setValue(0);
  progressBar_->setAccessibleName(toQString(text::kProgressName));

  pathField_ = addControl(new QLineEdit(this), "pathField");
  pathField_->setAccessibleName(toQString(text::kPathFieldName));

  browseButton_ = addControl(new QPushButton(toQString(text::kBrowseButton), this), "browseButton");
  connect(browseButton_, &QPushButton::clicked, this, &CKorvelDlg::browseImage);

  infoButton_ = addControl(new QPushButton(toQString(text::kInfoButton), this), "infoButton");
  connect(infoButton_, &QPushButton::clicked, this, &CKorvelDlg::queryDeviceInfo);

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
  connect(helpButton_, &QPushButton::clicked, this, &CKorvelDlg::showHelp);

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

QWidget* CKorvelDlg::control(int id) const {
  for (QWidget* widget : findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
    if (widget->property(control::kIdProperty).toInt() == id) return widget;
  }
  return nullptr;
}

// Settings are read once, in this order, when the window starts: the address first, so that the
// first link goes to the restored address.
void CKorvelDlg::restoreSettings() {
  const QString comm = settingName(setting::kCommSection);
  ipField_->setAddress(
      Ipv4Address::fromHostOrder(settings_.readInteger(comm, settingName(setting::kIpAddr), 0)));
  programmer_->openLink(false);
  pathField_->setText(settings_.readText(settingName(setting::kFileSection),
                                         settingName(setting::kPath), QString()));
  // The box has two states; any stored number but 0 ticks it.
  viaBootBox_->setChecked(settings_.readInteger(comm, settingName(setting::kFromBoot), 0) != 0);
  showImageSummary();
}

void CKorvelDlg::saveSettings() {
  const QString comm = settingName(setting::kCommSection);
  settings_.writeText(settingName(setting::kFileSection), settingName(setting::kPath),
                      pathField_->text());
  settings_.writeInteger(comm, settingName(setting::kIpAddr), ipField_->address().hostOrder());
  settings_.writeInteger(comm, settingName(setting::kFromBoot), viaBootBox_->isChecked() ? 1 : 0);
}

void CKorvelDlg::finish() {
  if (finished_) return;
  finished_ = true;
  saveSettings();
  programmer_->closeLink();
}

void CKorvelDlg::done(int result) {
  if (isRunning()) {
    // The run goes on to its end; the window closes when it has returned.
    pendingResult_ = result;
    return;
  }
  finish();
  QDialog::done(result);
}

template <typename Conversation>
void CKorvelDlg::converse(Conversation&& conversation) {
  // Switching the inputs off takes the focus from the button that was pressed; it gets it back.
  const QPointer<QWidget> focused = QApplication::focusWidget();
  ++conversations_;
  struct Leave {
    int& count;
    ~Leave() { --count; }
  } leave{conversations_};
  conversation();
  if (focused && focused->isEnabled() && focused->window() == this) focused->setFocus();
}

void CKorvelDlg::programDevice() {
  converse([this] { programmer_->programDevice(); });
  if (!isRunning() && pendingResult_) done(*std::exchange(pendingResult_, std::nullopt));
}

void CKorvelDlg::queryDeviceInfo() {
  converse([this] { programmer_->queryDeviceInfo(); });
  if (!isRunning() && pendingResult_) done(*std::exchange(pendingResult_, std::nullopt));
}

void CKorvelDlg::browseImage() {
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

void CKorvelDlg::showHelp() {
  CHelpDialog help(this);
  help.exec();
}

void CKorvelDlg::showAbout() {
  CAboutDlg about(this);
  about.exec();
}

void CKorvelDlg::showImageSummary() {
  setSummaryText(text::kSummaryPending);
  setSummaryText(imageSummary(pathFromUtf8(imagePath())));
}

bool CKorvelDlg::nativeEvent(const QByteArray& eventType, void* message, qintptr* result) {
  if (isAboutCommand(eventType, message)) {
    showAbout();
    *result = 0;
    return true;
  }
  return QDialog::nativeEvent(eventType, message, result);
}

Ipv4Address CKorvelDlg::ipAddress() const { return ipField_->address(); }
std::string CKorvelDlg::login() const { return toUtf8(loginField_->text()); }
std::string CKorvelDlg::password() const { return toUtf8(passwordField_->text()); }
bool CKorvelDlg::viaBoot() const { return viaBootBox_->isChecked(); }
std::string CKorvelDlg::imagePath() const { return toUtf8(pathField_->text()); }

void CKorvelDlg::setSummaryText(const std::string& text) {
  summaryField_->setText(toQString(text));
}

void CKorvelDlg::setInfoText(const std::string& text) {
  QString shown = toQString(text);
  shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  infoBox_->setPlainText(shown);
}

void CKorvelDlg::showNotice(const std::string& text) { infoBox_->appendPlainText(toQString(text)); }

void CKorvelDlg::setProgressRange(std::int64_t lower, std::int64_t upper) {
  const std::int64_t widest = std::max(std::llabs(lower), std::llabs(upper));
  progressDivisor_ = 1 + widest / std::numeric_limits<int>::max();
  progressLower_ = lower / progressDivisor_;
  progressUpper_ = upper / progressDivisor_;
  // An empty range would make the bar run its busy animation; a range of one shows it empty.
  const std::int64_t shownUpper = std::max(progressUpper_, progressLower_ + 1);
  progressBar_->setRange(static_cast<int>(progressLower_), static_cast<int>(shownUpper));
}

void CKorvelDlg::setProgressPosition(std::int64_t position) {
  const std::int64_t scaled = position / progressDivisor_;
  const std::int64_t shown =
      std::clamp(scaled, progressLower_, std::max(progressLower_, progressUpper_));
  progressBar_->setValue(static_cast<int>(shown));
}

void CKorvelDlg::enableInputs(bool enable) {
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

void CKorvelDlg::pumpMessages() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

void CKorvelDlg::beginWaitCursor() {
  ++waitCursors_;
  QGuiApplication::setOverrideCursor(Qt::WaitCursor);
}

void CKorvelDlg::restoreWaitCursor() {
  if (waitCursors_ > 0) QGuiApplication::changeOverrideCursor(Qt::WaitCursor);
}

void CKorvelDlg::endWaitCursor() {
  if (waitCursors_ == 0) return;
  --waitCursors_;
  QGuiApplication::restoreOverrideCursor();
}

void CKorvelDlg::showWarning(const std::string& text) {
  MessageBox::warning(this, QCoreApplication::applicationName(), toQString(text));
}

}  // namespace korvel
