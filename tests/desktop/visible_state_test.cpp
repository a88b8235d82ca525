// What the window shows of the run's state: a real capture paused through
// the Pause command says "Paused" in the status line and on the progress
// page, with Pause pressed, and says so no more once it runs again.
#include <QAction>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

#include "app/desktop/commands.h"
#include "app/desktop/desktop_session.h"
#include "app/desktop/bitmap_button.h"
#include "app/desktop/help_window.h"
#include "app/desktop/results/progress_page.h"
#include "app/desktop/select_page.h"
#include "app/desktop/settings_page.h"
#include "app/page_generation.h"
#include "desktop/desktop_fixture.h"
#include "engine/capture_engine.h"
#include "project/project.h"
#include "support/test_videos.h"

namespace ombrelo::desktop {
namespace {

class VisibleStateTest : public testing::DesktopTest {
 protected:
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

  std::unique_ptr<CProject> project_;
  XsltPageGeneration pages_;
  std::unique_ptr<DesktopSession> session_;
};

TEST_F(VisibleStateTest, APausedCaptureSaysPausedInTheStatusLineAndOnTheProgressPage) {
  testing::VideoCache videos("desktop-pause");
  const std::string clip = videos.Make(testing::SmallVideo(1500), "long clip.avi");
  ASSERT_FALSE(clip.empty());
  MainWindow& w = Window();
  CaptureEngine& engine = CaptureEngine::Instance();
  auto* progress = w.findChild<ombrelo::ProgressPage*>();
  ASSERT_NE(progress, nullptr);
  QAction* pause = w.Action(kPause);
  // Start takes the delays from the settings page: a frame every 0.2 s.
  w.Settings()->StartAfter()->setText("0");
  w.Settings()->SaveEvery()->setText("0.2");
  w.Selection()->AddDroppedPaths({QString::fromStdString(clip)});

  // The notice at the end of the run is modal: close it when it comes.
  QTimer closer;
  QObject::connect(&closer, &QTimer::timeout, [] {
    if (auto* notice = qobject_cast<HelpWindow*>(QApplication::activeModalWidget()))
      notice->CloseButton()->click();
  });
  closer.start(20);

  w.Dispatch(kStart);
  ASSERT_TRUE(QTest::qWaitFor([&] { return pause->isEnabled(); }, 20000));
  EXPECT_FALSE(pause->isChecked());
  pause->trigger();
  ASSERT_TRUE(QTest::qWaitFor([&] { return w.StatusText() == "Paused"; }, 10000))
      << w.StatusText().toStdString();
  EXPECT_EQ(engine.GetState(), CaptureState::paused);
  EXPECT_TRUE(pause->isChecked());
  EXPECT_TRUE(pause->isEnabled());
  EXPECT_EQ(progress->StateText(), "Paused");

  SCOPED_TRACE("Pause again resumes");
  pause->trigger();
  EXPECT_EQ(w.StatusText(), "Capturing");
  ASSERT_TRUE(QTest::qWaitFor([&] { return progress->StateText().empty(); }, 10000));
  EXPECT_FALSE(pause->isChecked());
  EXPECT_EQ(engine.GetState(), CaptureState::running);

  w.Dispatch(kStop);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !session_->controller.RunActive(); }, 60000));
  EXPECT_FALSE(pause->isChecked());
  EXPECT_EQ(progress->StateText(), "");
}

}  // namespace
}  // namespace ombrelo::desktop
