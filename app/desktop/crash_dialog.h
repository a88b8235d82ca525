#pragma once
// The crash dialog "Ombrelo - Crash" of the crash reporter process: the
// apology, the crash log, "Send", "Do not send" and "Details..." (the files
// that Send would upload, with their sizes). While the report is sent it
// stays open: its title bar shows the steps, it owns the messages, and its
// "Cancel" (or closing it) ends the upload.
#include <QCoreApplication>
#include <QDialog>
#include <atomic>
#include <string>

#include "crash/crash_report.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace ombrelo {

// The report ui's calls may come from any thread: the dialog carries them
// out on its own (the upload runs on a thread of its own, so that the
// dialog keeps answering; see RunCrashReportInDialog).
class CCrashDialog : public QDialog, public CrashReportUi {
  Q_DECLARE_TR_FUNCTIONS(CCrashDialog)

 public:
  explicit CCrashDialog(QWidget* parent = nullptr);
  ~CCrashDialog() override;

  // Shows the dialog with the log and waits for a button: true for "Send".
  // Closing the window counts as "Do not send".
  bool AskSend(const CrashReport& report) override;
  void SetTitle(const std::string& title) override;
  void ShowMessage(const std::string& title, const std::string& text) override;
  void SetBusy(bool busy) override;
  bool CancelRequested() override { return cancel_; }

  // The details window: the log and the dump file as they would be sent.
  void ShowDetails();

  QPushButton* SendButton() const { return send_; }
  QPushButton* DoNotSendButton() const { return doNotSend_; }
  QPushButton* DetailsButton() const { return details_; }
  QPushButton* CancelButton() const { return cancelButton_; }
  QPlainTextEdit* LogView() const { return log_; }

 protected:
  // While the report is sent, closing the dialog cancels the upload.
  void reject() override;

 private:
  template <class F>
  void OnOwnThread(F&& f);
  bool WaitForAnswer(const CrashReport& report);

  QLabel* text_;
  QPlainTextEdit* log_;
  QPushButton* send_;
  QPushButton* doNotSend_;
  QPushButton* details_;
  QPushButton* cancelButton_;
  CrashReport report_;  // what the details show
  bool busy_ = false;
  std::atomic<bool> cancel_{false};
};

// The whole report (RunCrashReport) with the dialog: the report runs on a
// thread of its own while the dialog's thread keeps the window alive.
int RunCrashReportInDialog(CCrashDialog& dialog, const std::string& logText,
                           const CrashReportFiles& files, const CrashServer& server);

// Bytes as lines of 16: offset, hexadecimal values, printable characters.
QString HexView(const std::string& bytes);

// The reporter's entry point. The desktop program's main calls it when its
// command line is the reporter's (ReporterCommandLine in crash/crash_report.h)
// and returns what it returns. Makes the QApplication when there is none.
int RunCrashReporter(int argc, char** argv);

}  // namespace ombrelo
