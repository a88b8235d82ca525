#pragma once
// The crash dialog "Ombrelo - Crash" of the crash reporter process: the
// apology, the crash log, "Send" and "Do not send". While the report is sent
// it stays open: its title bar shows the steps and it owns the messages.
#include <QDialog>
#include <string>

#include "crash/crash_report.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace ombrelo {

class CCrashDialog : public QDialog, public CrashReportUi {
 public:
  explicit CCrashDialog(QWidget* parent = nullptr);
  ~CCrashDialog() override;

  // Shows the dialog with the log and waits for a button: true for "Send".
  // Closing the window counts as "Do not send".
  bool AskSend(const std::string& logText) override;
  void SetTitle(const std::string& title) override;
  void ShowMessage(const std::string& title, const std::string& text) override;
  void SetBusy(bool busy) override;

  QPushButton* SendButton() const { return send_; }
  QPushButton* DoNotSendButton() const { return doNotSend_; }
  QPlainTextEdit* LogView() const { return log_; }

 private:
  QLabel* text_;
  QPlainTextEdit* log_;
  QPushButton* send_;
  QPushButton* doNotSend_;
  bool busy_ = false;
};

// The reporter's entry point. The desktop program's main calls it when its
// command line is the reporter's (ReporterCommandLine in crash/crash_report.h)
// and returns what it returns. Makes the QApplication when there is none.
int RunCrashReporter(int argc, char** argv);

}  // namespace ombrelo
