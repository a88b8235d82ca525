// The crash dialog as the reporter uses it, on the offscreen platform.
#include "app/desktop/crash_dialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <chrono>

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
      "Crashlog not uploaded: Thank you for helping to improve Ombrelo! [dialog] under "
      "\"Connecting to server...\" busy"};
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

TEST(CrashDialog, DetailsShowTheLogAndTheDumpAsTheyWouldBeSentWithTheirSizes) {
  App();
  TempFolder folder("dialog-details");
  testing::WriteFileBytes(folder / "v1.0.dmp", std::string("OMBRELO DUMP 1\n\0\xff", 17));
  CCrashDialog dialog;
  std::vector<std::string> seen;  // each tab's title and text
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&] {
    auto* details = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    if (auto* tabs = details ? details->findChild<QTabWidget*>("crashDetailsTabs") : nullptr) {
      for (int i = 0; i < tabs->count(); ++i) {
        seen.push_back(tabs->tabText(i).toStdString());
        for (auto* view : tabs->widget(i)->findChildren<QPlainTextEdit*>())
          seen.push_back(view->toPlainText().toStdString());
        if (auto* view = qobject_cast<QPlainTextEdit*>(tabs->widget(i)))
          seen.push_back(view->toPlainText().toStdString());
      }
      details->accept();
    } else if (dialog.isVisible() && dialog.SendButton()->isEnabled()) {
      // Queued: a timer does not fire again within its own handler, where
      // the details' loop would run.
      QMetaObject::invokeMethod(seen.empty() ? dialog.DetailsButton() : dialog.DoNotSendButton(),
                                &QPushButton::click, Qt::QueuedConnection);
    }
  });
  timer.start(5);
  RunCrashReportInDialog(dialog, "<crashlog/>", {folder / "v1.0.dmp", folder / "none.obx"},
                         {"127.0.0.1", testing::FreePort()});
  const std::vector<std::string> expected = {
      "Crash log (11 bytes)", "<crashlog/>", "Dump file (17 bytes)",
      "00000000  4f 4d 42 52 45 4c 4f 20 44 55 4d 50 20 31 0a 00  OMBRELO DUMP 1..\n"
      "00000010  ff                                               .\n"};
  EXPECT_EQ(seen, expected);
}

TEST(CrashDialog, CancelEndsAStalledUploadAndTheDialogKeepsAnswering) {
  App();
  TempFolder folder("dialog-cancel");
  testing::WriteFileBytes(folder / "v1.0.dmp", "dump");
  testing::StallingFtpServer server("STOR");
  CCrashDialog dialog;
  std::vector<std::string> seen;
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&] {
    if (QApplication::activeModalWidget() != &dialog && QApplication::activeModalWidget()) {
      seen.push_back("a message");
      static_cast<QDialog*>(QApplication::activeModalWidget())->accept();
    } else if (dialog.SendButton()->isEnabled() && dialog.isVisible()) {
      dialog.SendButton()->click();
    } else if (server.Stalls() > 0 && dialog.CancelButton()->isVisible() &&
               dialog.CancelButton()->isEnabled()) {
      seen.push_back("cancel under \"" + dialog.windowTitle().toStdString() + "\"");
      QMetaObject::invokeMethod(dialog.CancelButton(), &QPushButton::click, Qt::QueuedConnection);
    }
  });
  timer.start(5);
  const auto start = std::chrono::steady_clock::now();
  RunCrashReportInDialog(dialog, "<crashlog/>", {folder / "v1.0.dmp", folder / "none.obx"},
                         server.Server());
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
  EXPECT_EQ(seen, std::vector<std::string>{"cancel under \"Writing crash log...\""});
  EXPECT_FALSE(dialog.CancelButton()->isVisible());
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

}  // namespace
}  // namespace ombrelo
