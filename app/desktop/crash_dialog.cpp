#include "app/desktop/crash_dialog.h"

#include <QApplication>
#include <QEventLoop>
#include <QFile>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>
#include <memory>

namespace ombrelo {
namespace {

constexpr char kCrashText[] =
    "The Ombrelo application crashed. Please help us stop this from happening in the future by "
    "sending the crash report and minidump file. ";

constexpr char kProgramIcon[] = ":/ombrelo.svg";

QString FromText(const std::string& text) { return QString::fromUtf8(text.data(), text.size()); }

}  // namespace

CCrashDialog::CCrashDialog(QWidget* parent) : QDialog(parent) {
  setWindowTitle("Ombrelo - Crash");
  setObjectName("crashDialog");
  // 273 x 159 dialog units.
  setFixedSize(410, 258);

  text_ = new QLabel(kCrashText, this);
  text_->setWordWrap(true);
  log_ = new QPlainTextEdit(this);
  log_->setObjectName("crashLog");
  log_->setReadOnly(true);
  log_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  log_->setLineWrapMode(QPlainTextEdit::NoWrap);
  // The log is columns of hexadecimal numbers.
  log_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  // The program's picture, when its resources are part of this executable.
  if (QFile::exists(kProgramIcon)) setWindowIcon(QIcon(kProgramIcon));
  send_ = new QPushButton("Send", this);
  doNotSend_ = new QPushButton("Do not send", this);
  send_->setDefault(true);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(doNotSend_);
  buttons->addStretch(1);
  buttons->addWidget(send_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(text_);
  layout->addWidget(log_, 1);
  layout->addLayout(buttons);
}

CCrashDialog::~CCrashDialog() { SetBusy(false); }

bool CCrashDialog::AskSend(const std::string& logText) {
  log_->setPlainText(FromText(logText));
  setWindowModality(Qt::ApplicationModal);
  if (QScreen* screen =
          parentWidget() ? parentWidget()->screen() : QGuiApplication::primaryScreen()) {
    const QRect area =
        parentWidget() ? parentWidget()->frameGeometry() : screen->availableGeometry();
    move(area.center() - rect().center());
  }
  show();
  raise();
  activateWindow();

  // The buttons end the wait but leave the dialog open for the upload.
  bool send = false;
  QEventLoop loop;
  const auto onSend = connect(send_, &QPushButton::clicked, &loop, [&] {
    send = true;
    loop.quit();
  });
  const auto onDoNotSend = connect(doNotSend_, &QPushButton::clicked, &loop, &QEventLoop::quit);
  const auto onClose = connect(this, &QDialog::finished, &loop, &QEventLoop::quit);
  loop.exec();
  disconnect(onSend);
  disconnect(onDoNotSend);
  disconnect(onClose);
  send_->setEnabled(false);
  doNotSend_->setEnabled(false);
  return send;
}

void CCrashDialog::SetTitle(const std::string& title) {
  setWindowTitle(FromText(title));
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void CCrashDialog::ShowMessage(const std::string& title, const std::string& text) {
  QMessageBox box(QMessageBox::NoIcon, FromText(title), FromText(text), QMessageBox::Ok, this);
  box.exec();
}

void CCrashDialog::SetBusy(bool busy) {
  if (busy == busy_) return;
  busy_ = busy;
  if (busy) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
  } else {
    QApplication::restoreOverrideCursor();
  }
}

int RunCrashReporter(int argc, char** argv) {
  const std::optional<CrashReportFiles> files = ReporterCommandLine(argc, argv);
  if (!files) return 2;
  const std::string log = ReadStandardInput();
  std::unique_ptr<QApplication> app;
  if (!QApplication::instance()) app = std::make_unique<QApplication>(argc, argv);
  CCrashDialog dialog;
  return RunCrashReport(log, *files, ConfiguredCrashServer(), dialog);
}

}  // namespace ombrelo
