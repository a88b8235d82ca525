// The help window's rules, the bitmap button's fade, and whole runs of the
// program: a project named on the command line, settings that outlive a
// run, a movie list that does not.
#include <QCheckBox>
#include <QDesktopServices>
#include <QElapsedTimer>
#include <QEnterEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <filesystem>

#include "app/desktop/bitmap_button.h"
#include "app/desktop/commands.h"
#include "app/desktop/desktop_session.h"
#include "app/desktop/help_window.h"
#include "app/desktop/html_widget.h"
#include "app/desktop/page_widget.h"
#include "app/desktop/select_page.h"
#include "app/desktop/settings_page.h"
#include "workflow/page_generation.h"
#include "crash/crash_handler.h"
#include "desktop/desktop_fixture.h"
#include "engine/capture_engine.h"
#include "engine/codec_probe.h"
#include "project/project.h"

namespace ombrelo::desktop {
namespace {

using testing::Contains;
using testing::ReadFileBytes;

// Receives the addresses handed to the system browser.
class UrlCatcher : public QObject {
  Q_OBJECT
 public:
  UrlCatcher() {
    QDesktopServices::setUrlHandler("http", this, "Open");
    QDesktopServices::setUrlHandler("https", this, "Open");
  }
  ~UrlCatcher() override {
    QDesktopServices::unsetUrlHandler("http");
    QDesktopServices::unsetUrlHandler("https");
  }
  QList<QUrl> opened;
 public slots:
  void Open(const QUrl& url) { opened << url; }
};

class HelpTest : public testing::DesktopTest {};

TEST_F(HelpTest, TutorialsOnceAndUntilSwitchedOffNoticesAlwaysWebAddressesInTheBrowser) {
  HelpPages help(*preferences_);
  QWidget owner;
  help.Show(&owner, "settings.htm", HelpMode::tutorial);
  HelpWindow* tutorial = help.TutorialWindow();
  ASSERT_NE(tutorial, nullptr);
  EXPECT_TRUE(tutorial->DoNotShowBox()->isVisible());
  EXPECT_EQ(tutorial->size(), QSize(640, 590));
  EXPECT_EQ(HelpPages::Address("results.htm", HelpMode::tutorial),
            std::string(OMBRELO_SOURCE_DATA_DIR) + "tutorial/results.htm");

  help.Show(&owner, "settings.htm", HelpMode::tutorial);
  EXPECT_EQ(help.Shown().size(), 1u);

  // Ticking the box and closing switches tutorials off, for this run and the next.
  tutorial->DoNotShowBox()->setChecked(true);
  tutorial->CloseButton()->click();
  EXPECT_FALSE(preferences_->ShowTutorials());
  EXPECT_FALSE(Preferences().ShowTutorials());
  help.Show(&owner, "results.htm", HelpMode::tutorial);
  EXPECT_EQ(help.TutorialWindow(), nullptr);
  EXPECT_TRUE(help.TutorialAsked("results.htm"));

  // A notice opens anyway (modal, without the check box); a welcome page
  // only in the first run.
  bool boxHidden = false;
  QTimer::singleShot(0, [&] {
    auto* window = qobject_cast<HelpWindow*>(QApplication::activeModalWidget());
    ASSERT_NE(window, nullptr);
    boxHidden = window->DoNotShowBox()->isHidden();
    window->CloseButton()->click();
  });
  help.Show(&owner, "completed.htm", HelpMode::notice);
  EXPECT_TRUE(boxHidden);
  EXPECT_EQ(help.Shown().back(), "completed.htm");
  help.Show(&owner, "welcome.htm", HelpMode::welcome);
  EXPECT_EQ(help.Shown().back(), "completed.htm");

  // "http:/" goes to the browser; "https" is a file name like any other.
  UrlCatcher browser;
  help.Show(&owner, "http://www.example.com/upgrade.php?version=131", HelpMode::notice);
  ASSERT_EQ(browser.opened.size(), 1);
  EXPECT_EQ(browser.opened[0].toString(), "http://www.example.com/upgrade.php?version=131");
  EXPECT_EQ(HelpPages::Address("https://x", HelpMode::notice),
            std::string(OMBRELO_SOURCE_DATA_DIR) + "dialogs/https://x");
}

TEST_F(HelpTest, TheBitmapButtonFadesInItsHotPictureInFourStepsAndDropsItOnLeaving) {
  BitmapButton button("Next", ":/buttons/next.svg", ":/buttons/next_hot.svg");
  button.show();
  QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
  QApplication::sendEvent(&button, &enter);
  EXPECT_EQ(button.FadeStep(), 0);
  QElapsedTimer clock;
  clock.start();
  EXPECT_TRUE(QTest::qWaitFor([&] { return button.FadeStep() == BitmapButton::kFadeSteps; }, 5000));
  // Four ticks of 75 ms (a coarse timer may fire a little early).
  EXPECT_GE(clock.elapsed(), 3 * BitmapButton::kFadeIntervalMs);
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(&button, &leave);
  EXPECT_EQ(button.FadeStep(), 0);
}

TEST_F(HelpTest, PageBackgroundIsDrawnUnscaledUpToItsSizeAndStretchedInProportionBeyond) {
  struct Case {
    QSize page;
    QRect drawn;
  };
  const Case cases[] = {
      {{600, 400}, {0, 0, 852, 563}},     // smaller: copied as it is
      {{852, 563}, {0, 0, 852, 563}},     // its own size
      {{1704, 563}, {0, 0, 1704, 1126}},  // wider: by the width
      {{852, 1126}, {0, 0, 1704, 1126}},  // taller: by the height
      {{900, 500}, {0, 0, 900, 595}},     // wider only a little
  };
  for (const Case& c : cases)
    EXPECT_EQ(PageWidget::BackgroundRect(c.page), c.drawn) << c.page.width();
}

TEST_F(HelpTest, ALinkToAnotherHelpPageOpensItInTheWindowAndAWebLinkInTheBrowser) {
  testing::TempFolder pages("help");
  ASSERT_TRUE(testing::WriteFileBytes(
      pages / "index.htm",
      "<html><body style='margin:0'><a href='second page.htm' style='display:block;height:40px'>"
      "next</a><a href='http://www.example.com/x' style='display:block;height:40px'>web</a>"
      "</body></html>"));
  ASSERT_TRUE(
      testing::WriteFileBytes(pages / "second page.htm", "<html><title>Second</title></html>"));
  UrlCatcher browser;
  HtmlWidget widget;
  widget.resize(300, 200);
  widget.show();
  widget.Navigate(pages / "index.htm");
  ASSERT_TRUE(QTest::qWaitFor([&] { return !widget.View().Busy(); }, 5000));

  QTest::mouseClick(&widget, Qt::LeftButton, {}, QPoint(10, 60));
  EXPECT_EQ(browser.opened.size(), 1);
  QTest::mouseClick(&widget, Qt::LeftButton, {}, QPoint(10, 20));
  EXPECT_TRUE(QTest::qWaitFor([&] { return widget.View().Title() == "Second"; }, 5000));
}

TEST_F(HelpTest, BackReturnsToThePageBeforeAndLongPagesScroll) {
  testing::TempFolder pages("help");
  std::string tall;
  for (int i = 0; i < 60; ++i) tall += "<p>line " + std::to_string(i) + "</p>";
  ASSERT_TRUE(testing::WriteFileBytes(
      pages / "first.htm",
      "<html><title>First</title><body style='margin:0'><a href='second.htm' "
      "style='display:block;height:40px'>next</a><a href='http://www.example.com/x' "
      "style='display:block;height:40px'>web</a>" + tall + "</body></html>"));
  ASSERT_TRUE(testing::WriteFileBytes(pages / "second.htm", "<html><title>Second</title></html>"));
  UrlCatcher browser;
  HelpWindow window(*preferences_, pages / "first.htm", HelpMode::notice, nullptr);
  window.show();
  HtmlWidget& page = *window.Browser();
  const auto showing = [&](const std::string& title) {
    return QTest::qWaitFor([&] { return !page.View().Busy() && page.View().Title() == title; },
                           5000);
  };
  ASSERT_TRUE(showing("First"));
  EXPECT_FALSE(window.BackButton()->isEnabled());
  // Taller than the window: a scroll bar, which scrolls the page.
  ASSERT_TRUE(page.VerticalBar()->isVisible());
  EXPECT_EQ(page.VerticalBar()->maximum(), page.View().ScrollHeight() - page.View().Height());
  EXPECT_LE(page.View().Width() + page.VerticalBar()->width(), page.width());
  page.VerticalBar()->setValue(50);
  EXPECT_EQ(page.View().ScrollTop(), 50);
  page.VerticalBar()->setValue(0);

  // A web link goes to the browser and leaves the history alone.
  QTest::mouseClick(&page, Qt::LeftButton, {}, QPoint(10, 60));
  EXPECT_EQ(browser.opened.size(), 1);
  QTest::mouseClick(&page, Qt::LeftButton, {}, QPoint(10, 20));
  ASSERT_TRUE(showing("Second"));
  EXPECT_FALSE(page.VerticalBar()->isVisible());  // a short page
  EXPECT_TRUE(window.BackButton()->isEnabled());
  EXPECT_FALSE(window.ForwardButton()->isEnabled());

  // Back with Alt+Left, forward with the mouse's side button, back again
  // with Backspace and the button.
  QTest::keyClick(&window, Qt::Key_Left, Qt::AltModifier);
  ASSERT_TRUE(showing("First"));
  EXPECT_TRUE(window.ForwardButton()->isEnabled());
  QTest::mouseClick(&page, Qt::ForwardButton, {}, QPoint(100, 300));
  ASSERT_TRUE(showing("Second"));
  QTest::keyClick(&window, Qt::Key_Backspace);
  ASSERT_TRUE(showing("First"));
  QTest::keyClick(&window, Qt::Key_Right, Qt::AltModifier);
  ASSERT_TRUE(showing("Second"));
  window.BackButton()->click();
  ASSERT_TRUE(showing("First"));
  EXPECT_FALSE(window.BackButton()->isEnabled());
  EXPECT_EQ(browser.opened.size(), 1);
}

class RunTest : public testing::DesktopTest {
 protected:
  // One run of the program; `inside` looks at the main window, then the
  // window is closed as a user would.
  void Run(CProject& project, const std::vector<std::string>& args,
           const std::function<void(MainWindow&)>& inside) {
    std::vector<std::string> all = {"ombrelo"};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& arg : all) argv.push_back(arg.data());
    const DesktopOptions options = ParseDesktopOptions(int(argv.size()), argv.data());
    // From the program's own event loop, once start-up (and its modal
    // pages) is over.
    // Closing is tried again until the window is gone: start-up may still
    // have a question to ask after the first visit.
    QTimer visit;
    bool visited = false;
    QObject::connect(&visit, &QTimer::timeout, [&] {
      if (QThread::currentThread()->loopLevel() != 1 || QApplication::activeModalWidget()) return;
      for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* window = qobject_cast<MainWindow*>(widget);
        if (!window || !window->isVisible()) continue;
        if (!visited) inside(*window);
        visited = true;
        window->close();
      }
    });
    visit.start(10);
    CaptureEngine engine;
    RunDesktop(options, project, engine, *preferences_, SettingsFolder());
  }
  std::string SettingsFolder() const { return Folder() + "settings/"; }
};

TEST_F(RunTest, AProjectNamedOnTheCommandLineOpensAndOnlyItsSettingsOutliveTheRun) {
  const std::string projectPath = Folder() + "Urlaub 2024 & mehr.obx";
  {
    CProject saved(Folder());
    saved.UpdateCapture([&](CaptureSettings& c) { c.jpegquality = 42; });
    saved.UpdateCapture([&](CaptureSettings& c) { c.delaybeforefirst = 12.5; });
    saved.AddMovie(Folder() + "strand.mp4");
    ASSERT_TRUE(saved.Save(projectPath));
  }

  CProject first(Folder());
  Run(first, {"-nohandler", projectPath}, [&](MainWindow& window) {
    EXPECT_EQ(window.CurrentProjectPath(), projectPath);
    ASSERT_EQ(window.Selection()->VideoIds().size(), 1u);
    EXPECT_EQ(window.Selection()->Videos()->model()->index(0, 0).data().toString(),
              QString::fromStdString(Folder() + "strand.mp4"));
    EXPECT_EQ(window.Settings()->StartAfter()->text(), "12.5");
  });
  const std::string written = ReadFileBytes(SettingsFolder() + "last_settings.bin");
  EXPECT_TRUE(Contains(written, "<obxproject>"));
  EXPECT_FALSE(Contains(written, "<moviefile>"));

  // The next start: the settings are back, the list of videos is empty.
  CProject second(Folder());
  Run(second, {}, [&](MainWindow& window) {
    EXPECT_TRUE(window.CurrentProjectPath().empty());
    EXPECT_EQ(window.Selection()->VideoIds().size(), 0u);
    EXPECT_EQ(window.Settings()->StartAfter()->text(), "12.5");
  });
  EXPECT_EQ(second.Capture().jpegquality, 42);
  EXPECT_TRUE(second.Movies().empty());

  DesktopOptions options;
  const char* args[] = {"ombrelo", "x-nohandlerx", "--other"};
  options = ParseDesktopOptions(3, const_cast<char**>(args));
  EXPECT_TRUE(options.noHandler);
  EXPECT_TRUE(options.projectFile.empty());
}

TEST_F(RunTest, ARecoveredProjectHasNoPathSoSavingCannotOverwriteTheProjectNamedToOpen) {
  const std::string named = Folder() + "benannt.obx", recovery = RecoveryFilePath();
  if (recovery.rfind(root_->Path(), 0) != 0) GTEST_SKIP() << "not the test's own: " << recovery;
  std::filesystem::create_directories(std::filesystem::path(recovery).parent_path());
  CProject project(Folder());
  ASSERT_TRUE(project.Save(named));
  project.AddMovie(Folder() + "gerettet.avi");
  ASSERT_TRUE(project.Save(recovery));
  QTimer closer;  // the notice about the crash is modal, and so is any message
  QObject::connect(&closer, &QTimer::timeout, [] {
    QWidget* modal = QApplication::activeModalWidget();
    if (auto* notice = qobject_cast<HelpWindow*>(modal)) notice->CloseButton()->click();
    if (auto* box = qobject_cast<QMessageBox*>(modal)) box->reject();
  });
  closer.start(20);
  Run(project, {"-nohandler", named}, [&](MainWindow& window) {
    EXPECT_TRUE(window.CurrentProjectPath().empty() && window.ProjectModified());
    window.SetFileChooser([](QWidget*, auto) { return QString(); });
    window.Dispatch(kSaveProject);  // asks for a file (cancelled here)
    window.SetSaveQuestion([](QWidget*, auto) { return MainWindow::SaveAnswer::discard; });
  });
  EXPECT_FALSE(Contains(ReadFileBytes(named), "gerettet.avi"));
}

TEST_F(HelpTest, WithoutAWebSiteNoCommandOrShippedPageLeadsWhereItCannotWork) {
  ASSERT_EQ(ProductWebSite(), "");
  UrlCatcher urls;
  CProject project(Folder());
  XsltPageGeneration pages;
  DesktopSession session(project, CaptureEngine::Instance(), *preferences_, pages);
  MainWindow& w = session.window;
  w.SetFileChooser([](QWidget*, MainWindow::FileDialog) { return QString(); });
  QStringList links;  // of the modal windows the commands open (the About box)
  QTimer closer;
  QObject::connect(&closer, &QTimer::timeout, [&] {
    if (auto* modal = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
      for (QLabel* label : modal->findChildren<QLabel*>())
        if (label->text().contains("href")) links << label->text();
      modal->reject();
    }
  });
  closer.start(10);
  for (QAction* action : w.menuBar()->findChildren<QAction*>())
    if (action->isVisible() && action->isEnabled() && action->data().toInt() != static_cast<int>(kExit))
      action->trigger();
  EXPECT_TRUE(urls.opened.isEmpty()) << urls.opened.size();
  EXPECT_TRUE(links.isEmpty()) << links.join(' ').toStdString();
  for (const std::string& page : session.help.Shown())
    EXPECT_TRUE(testing::FileExists(HelpPages::Address(page, HelpMode::notice))) << page;
  EXPECT_TRUE(testing::FileExists(HelpPages::Address(CodecHelpAddress("/v/a.rm"), HelpMode::notice)));

  // Every link of the shipped help pages leads to a file of ours.
  const QRegularExpression link("(?:href|src)=\"([^\"#{]+)");
  for (const auto& entry : std::filesystem::recursive_directory_iterator(OMBRELO_SOURCE_DATA_DIR)) {
    const std::string text = entry.is_regular_file() ? testing::ReadFileBytes(entry.path()) : "";
    EXPECT_EQ(text.find("ombrelo.example"), std::string::npos) << entry.path();
    if (entry.path().extension() != ".htm") continue;
    for (auto m = link.globalMatch(QString::fromStdString(text)); m.hasNext();) {
      const std::string target = m.next().captured(1).toStdString();
      EXPECT_TRUE(testing::FileExists(entry.path().parent_path() / target)) << entry.path() << target;
    }
  }
}

}  // namespace
}  // namespace ombrelo::desktop

#include "help_and_run_test.moc"
