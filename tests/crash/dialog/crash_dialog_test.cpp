// The crash dialog as the reporter uses it, on the offscreen platform.
#include "app/desktop/crash_dialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

#include "crash_test_support.h"
#include "support/debug_capture.h"

namespace ombrelo {
namespace {

using testing::ReadFileBytes;
using testing::TempFolder;

QApplication& App() {
  static int argc = 1;
  static char name[] = "crash_dialog_tests";
  static char* argv[] = {name, nullptr};
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

// Plays the user: presses one of the dialog's buttons once it shows, then
// answers every message box, noting what it saw.
struct User {
  CCrashDialog& dialog;
  bool send;
  std::string recoveryFile;  // spoilt before the answer: the reporter writes it again
  std::vector<std::string> seen;
  QTimer timer;

  User(CCrashDialog& d, bool s, std::string file) : dialog(d), send(s), recoveryFile(file) {
    QObject::connect(&timer, &QTimer::timeout, [this] { Act(); });
    timer.start(5);
  }
  void Act() {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      seen.push_back(box->windowTitle().toStdString() + ": " + box->text().toStdString() +
                     (box->parentWidget() == &dialog ? " [dialog]" : "") + " under \"" +
                     dialog.windowTitle().toStdString() + "\"" +
                     (QApplication::overrideCursor() ? " busy" : ""));
      box->accept();
    } else if (dialog.isVisible() && dialog.SendButton()->isEnabled()) {
      seen.push_back("log: " + dialog.LogView()->toPlainText().toStdString());
      testing::WriteFileBytes(recoveryFile, "spoilt");
      (send ? dialog.SendButton() : dialog.DoNotSendButton())->click();
    }
  }
};

TEST(CrashDialog, SendRewritesTheRecoveryFileAndReportsEachStepOnTheDialog) {
  App();
  TempFolder folder("dialog");
  testing::WriteFileBytes(folder / "crashed.obx", "<obxproject>as saved</obxproject>");
  const CrashReportFiles files{folder / "none.dmp", folder / "crashed.obx"};

  CCrashDialog dialog;
  EXPECT_EQ(dialog.windowTitle(), "Ombrelo - Crash");
  EXPECT_TRUE(dialog.SendButton()->isDefault());
  User user(dialog, true, folder / "crashed.obx");
  RunCrashReport("<crashlog>\r\n</crashlog>\r\n", files, {"127.0.0.1", testing::FreePort()},
                 dialog);

  const std::vector<std::string> expected = {
      "log: <crashlog>\n</crashlog>\n",
      "Sending crash log: Failed to create ftp session [dialog] under \"Connecting to "
      "server...\" busy",
      "Crashlog uploaded: Thank you for helping to improve Ombrelo! [dialog] under \"Connecting "
      "to server...\" busy"};
  EXPECT_EQ(user.seen, expected);
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  EXPECT_EQ(ReadFileBytes(folder / "crashed.obx"), "<obxproject>as saved</obxproject>");
}

TEST(CrashDialog, DoNotSendWritesTheRecoveryFileAgainAndSendsNothing) {
  App();
  TempFolder folder("dialog-no");
  testing::WriteFileBytes(folder / "crashed.obx", "<obxproject>kept</obxproject>");
  CCrashDialog dialog;
  User user(dialog, false, folder / "crashed.obx");
  RunCrashReport("log", {folder / "none.dmp", folder / "crashed.obx"},
                 {"127.0.0.1", testing::FreePort()}, dialog);
  EXPECT_EQ(user.seen, std::vector<std::string>{"log: log"});
  EXPECT_EQ(ReadFileBytes(folder / "crashed.obx"), "<obxproject>kept</obxproject>");
}

}  // namespace
}  // namespace ombrelo
