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
#include <QTabWidget>
#include <QThread>
#include <QVBoxLayout>
#include <climits>
#include <memory>
#include <thread>

#include "app/common/translations.h"

namespace ombrelo {
namespace {

constexpr char kCrashText[] = QT_TRANSLATE_NOOP(
    "CCrashDialog",
    "The Ombrelo application crashed. Please help us stop this from happening in the future by "
    "sending the crash report and minidump file. ");

constexpr char kProgramIcon[] = ":/ombrelo.svg";

QString FromText(const std::string& text) { return QString::fromUtf8(text.data(), text.size()); }

// The count in the user's notation ("1.234 Bytes" in German).
QString Bytes(size_t size) {
  return CCrashDialog::tr("%Ln bytes", nullptr, static_cast<int>(qMin<size_t>(size, INT_MAX)));
}

QPlainTextEdit* FixedTextView(const QString& text, QWidget* parent) {
  auto* view = new QPlainTextEdit(text, parent);
  view->setReadOnly(true);
  view->setLineWrapMode(QPlainTextEdit::NoWrap);
  view->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  return view;
}

}  // namespace

CCrashDialog::CCrashDialog(QWidget* parent) : QDialog(parent) {
  setWindowTitle(tr("Ombrelo - Crash"));
  setObjectName("crashDialog");
  // 273 x 159 dialog units.
  setFixedSize(410, 258);

  text_ = new QLabel(tr(kCrashText), this);
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
  send_ = new QPushButton(tr("Send"), this);
  doNotSend_ = new QPushButton(tr("Do not send"), this);
  details_ = new QPushButton(tr("Details..."), this);
  details_->setObjectName("crashDetails");
  details_->setToolTip(tr("Shows the files that Send uploads"));
  details_->setAutoDefault(false);
  cancelButton_ = new QPushButton(tr("Cancel"), this);
  cancelButton_->setAutoDefault(false);
  cancelButton_->hide();
  send_->setDefault(true);
  connect(details_, &QPushButton::clicked, this, &CCrashDialog::ShowDetails);
  connect(cancelButton_, &QPushButton::clicked, this, &CCrashDialog::reject);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(doNotSend_);
  buttons->addWidget(cancelButton_);
  buttons->addWidget(details_);
  buttons->addStretch(1);
  buttons->addWidget(send_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(text_);
  layout->addWidget(log_, 1);
  layout->addLayout(buttons);
}

CCrashDialog::~CCrashDialog() { SetBusy(false); }

template <class F>
void CCrashDialog::OnOwnThread(F&& f) {
  if (QThread::currentThread() == thread()) {
    f();
  } else {
    QMetaObject::invokeMethod(this, std::forward<F>(f), Qt::BlockingQueuedConnection);
  }
}

bool CCrashDialog::AskSend(const CrashReport& report) {
  bool send = false;
  OnOwnThread([&] { send = WaitForAnswer(report); });
  return send;
}

bool CCrashDialog::WaitForAnswer(const CrashReport& report) {
  report_ = report;
  log_->setPlainText(FromText(report.log));
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
  OnOwnThread([&] {
    setWindowTitle(FromText(title));
    // Called on the dialog's own thread, the upload holds it: let the title show.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  });
}

void CCrashDialog::ShowMessage(const std::string& title, const std::string& text) {
  OnOwnThread([&] {
    QMessageBox box(QMessageBox::NoIcon, FromText(title), FromText(text), QMessageBox::Ok, this);
    box.exec();
  });
}

void CCrashDialog::SetBusy(bool busy) {
  OnOwnThread([&] {
    if (busy == busy_) return;
    busy_ = busy;
    // While the upload runs, "Cancel" takes the place of "Do not send".
    doNotSend_->setVisible(!busy);
    cancelButton_->setVisible(busy);
    cancelButton_->setEnabled(busy && !cancel_);
    if (busy) {
      // The busy cursor: the dialog still answers (Cancel).
      QApplication::setOverrideCursor(Qt::BusyCursor);
    } else {
      QApplication::restoreOverrideCursor();
    }
  });
}

void CCrashDialog::reject() {
  if (!busy_) {
    QDialog::reject();
    return;
  }
  cancel_ = true;
  cancelButton_->setEnabled(false);
}

void CCrashDialog::ShowDetails() {
  QDialog details(this);
  details.setObjectName("crashDetailsWindow");
  details.setWindowTitle(tr("Ombrelo - Crash report details"));
  details.resize(640, 480);
  auto* layout = new QVBoxLayout(&details);
  layout->addWidget(new QLabel(tr("Send uploads these files, exactly as shown, to the crash-report "
                                  "server. Nothing else is sent."),
                               &details));
  auto* tabs = new QTabWidget(&details);
  tabs->setObjectName("crashDetailsTabs");
  const bool hasLog = !report_.log.empty();
  tabs->addTab(
      FixedTextView(hasLog ? FromText(report_.log) : tr("No crash log: nothing is sent for it."),
                    tabs),
      hasLog ? tr("Crash log (%1)").arg(Bytes(report_.log.size())) : tr("Crash log (none)"));
  if (report_.dump.empty()) {
    tabs->addTab(FixedTextView(tr("No dump file was written: nothing is sent for it."), tabs),
                 tr("Dump file (none)"));
  } else {
    auto* page = new QWidget(tabs);
    auto* pageLayout = new QVBoxLayout(page);
    auto* path = new QLabel(FromText(report_.dumpPath), page);
    path->setTextInteractionFlags(Qt::TextSelectableByMouse);
    pageLayout->addWidget(path);
    pageLayout->addWidget(FixedTextView(HexView(report_.dump), page), 1);
    tabs->addTab(page, tr("Dump file (%1)").arg(Bytes(report_.dump.size())));
  }
  layout->addWidget(tabs, 1);
  auto* close = new QPushButton(tr("Close"), &details);
  connect(close, &QPushButton::clicked, &details, &QDialog::accept);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(close);
  layout->addLayout(buttons);
  details.exec();
}

QString HexView(const std::string& bytes) {
  QString text;
  text.reserve(static_cast<qsizetype>(bytes.size() / 16 + 1) * 80);
  for (size_t line = 0; line < bytes.size(); line += 16) {
    text += QString::asprintf("%08zx ", line);
    QString printable;
    for (size_t i = line; i < line + 16; ++i) {
      if (i < bytes.size()) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        text += QString::asprintf(" %02x", c);
        printable += c >= 0x20 && c < 0x7f ? QChar(c) : QChar('.');
      } else {
        text += "   ";
      }
    }
    text += "  " + printable + "\n";
  }
  return text;
}

int RunCrashReportInDialog(CCrashDialog& dialog, const std::string& logText,
                           const CrashReportFiles& files, const CrashServer& server) {
  int code = 0;
  QEventLoop loop;
  std::thread report([&] {
    code = RunCrashReport(logText, files, server, dialog);
    QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
  });
  loop.exec();
  report.join();
  return code;
}

int RunCrashReporter(int argc, char** argv) {
  const std::optional<CrashReportFiles> files = ReporterCommandLine(argc, argv);
  if (!files) return 2;
  const std::string log = ReadStandardInput();
  std::unique_ptr<QApplication> app;
  if (!QApplication::instance()) {
    app = std::make_unique<QApplication>(argc, argv);
    LoadTranslations(*app);
  }
  CCrashDialog dialog;
  return RunCrashReportInDialog(dialog, log, *files, ConfiguredCrashServer());
}

}  // namespace ombrelo
