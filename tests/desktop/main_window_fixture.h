#pragma once
// The main window's tests start from here: a desktop session over a project
// of the test's own, file dialogs and the question about changed work that
// answer as the test says, and the help pages shown.
#include <QAbstractButton>
#include <QString>
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "app/desktop/desktop_session.h"
#include "app/desktop/help_window.h"
#include "desktop/desktop_fixture.h"
#include "engine/capture_engine.h"
#include "project/project.h"
#include "support/recording_message_port.h"
#include "workflow/page_generation.h"

namespace ombrelo::desktop {

class MainWindowTest : public testing::DesktopTest {
 protected:
  using Answer = MainWindow::SaveAnswer;

  void SetUp() override {
    DesktopTest::SetUp();
    project_ = std::make_unique<CProject>(Folder());
    session_ = std::make_unique<DesktopSession>(*project_, CaptureEngine::Instance(), *preferences_,
                                                pages_);
  }
  void TearDown() override {
    session_.reset();
    DesktopTest::TearDown();
  }
  MainWindow& Window() { return session_->window; }
  MainWindow& W() { return session_->window; }
  // The file dialogs and the question about changed work answer from here.
  void AnswerDialogs() {
    W().SetFileChooser([this](QWidget*, auto) { return QString::fromStdString(chosen_); });
    W().SetSaveQuestion([this](QWidget*, const QString& name) {
      asked_.push_back(name);
      return answer_;
    });
  }
  int TimesShown(const std::string& page) {
    const auto& shown = session_->help.Shown();
    return static_cast<int>(std::count(shown.begin(), shown.end(), page));
  }
  QAbstractButton* Button(QWidget* page, const QString& text) {
    for (QAbstractButton* button : page->findChildren<QAbstractButton*>())
      if (QString(button->text()).remove(QLatin1Char('&')) == text) return button;
    return nullptr;
  }

  std::unique_ptr<CProject> project_;
  XsltPageGeneration pages_;
  std::unique_ptr<DesktopSession> session_;
  testing::RecordingMessagePort messages_;
  std::string chosen_;
  Answer answer_ = Answer::cancel;
  std::vector<QString> asked_;
};

}  // namespace ombrelo::desktop
