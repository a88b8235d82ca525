// What the window shows of itself: a real capture paused through the Pause
// command says "Paused" in the status line and on the progress page, with
// Pause pressed; and no dead links: without a product web site every command
// of the menus and every shipped page leads somewhere that exists, with one
// the web commands lead to it.
#include <QAction>
#include <QDesktopServices>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <filesystem>
#include <optional>

#include "app/desktop/bitmap_button.h"
#include "app/desktop/commands.h"
#include "app/desktop/desktop_session.h"
#include "app/desktop/help_window.h"
#include "app/desktop/results/progress_page.h"
#include "app/desktop/select_page.h"
#include "app/desktop/settings_page.h"
#include "app/page_generation.h"
#include "desktop/desktop_fixture.h"
#include "engine/capture_engine.h"
#include "engine/codec_probe.h"
#include "project/project.h"
#include "support/test_videos.h"

namespace ombrelo::desktop {
namespace {

using testing::FileExists;
using testing::ReadFileBytes;

// The desktop fixture points HOME, the XDG folders and TMPDIR at folders it
// removes again; the variables are put back as they were, so that the next
// test of this program finds a TMPDIR that exists.
class WindowTest : public testing::DesktopTest {
 protected:
  void SetUp() override {
    for (const char* name : kKept) {
      const char* value = std::getenv(name);
      kept_.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
    }
    DesktopTest::SetUp();
    project_ = std::make_unique<CProject>(Folder());
  }
  void TearDown() override {
    session_.reset();
    DesktopTest::TearDown();
    root_.reset();
    for (const auto& [name, value] : kept_) {
      if (value)
        setenv(name, value->c_str(), 1);
      else
        unsetenv(name);
    }
  }
  MainWindow& NewSession() {
    session_ = std::make_unique<DesktopSession>(*project_, CaptureEngine::Instance(), *preferences_,
                                                pages_);
    return session_->window;
  }

  static constexpr const char* kKept[] = {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME",
                                          "XDG_CACHE_HOME", "TMPDIR"};
  std::vector<std::pair<const char*, std::optional<std::string>>> kept_;
  std::unique_ptr<CProject> project_;
  XsltPageGeneration pages_;
  std::unique_ptr<DesktopSession> session_;
};

// Takes the addresses the program hands to the desktop instead of opening them.
class UrlRecorder : public QObject {
  Q_OBJECT
 public:
  UrlRecorder() {
    for (const char* scheme : {"http", "https", "mailto", "file"})
      QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), this, "Open");
  }
  ~UrlRecorder() override {
    for (const char* scheme : {"http", "https", "mailto", "file"})
      QDesktopServices::unsetUrlHandler(QString::fromLatin1(scheme));
  }
  QStringList opened;

 public slots:
  void Open(const QUrl& url) { opened << url.toString(); }
};

// Triggers every visible, enabled command of the menus (Exit aside),
// closing each modal window it opens; the links of those windows are kept.
QStringList TriggerAllCommands(MainWindow& w) {
  QStringList links;
  QTimer closer;
  QObject::connect(&closer, &QTimer::timeout, [&] {
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal) return;
    for (QLabel* label : modal->findChildren<QLabel*>()) {
      QRegularExpression href(QStringLiteral("href='([^']*)'"));
      for (auto m = href.globalMatch(label->text()); m.hasNext();) links << m.next().captured(1);
    }
    qobject_cast<QDialog*>(modal)->reject();
  });
  closer.start(10);
  std::vector<QAction*> actions;
  for (QMenu* menu : w.menuBar()->findChildren<QMenu*>())
    for (QAction* action : menu->actions())
      if (!action->isSeparator() && !action->menu()) actions.push_back(action);
  EXPECT_GT(actions.size(), 15u);
  for (QAction* action : actions) {
    if (action->data().toInt() == kExit || !action->isVisible() || !action->isEnabled()) continue;
    action->trigger();
  }
  return links;
}


TEST_F(WindowTest, APausedCaptureSaysPausedInTheStatusLineAndOnTheProgressPage) {
  testing::VideoCache videos("desktop-pause");
  const std::string clip = videos.Make(testing::SmallVideo(1500), "long clip.avi");
  ASSERT_FALSE(clip.empty());
  MainWindow& w = NewSession();
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

TEST_F(WindowTest, HiddenFoldersShowOnlyWhileViewShowHiddenFoldersIsTicked) {
  const std::string base = Folder() + "tree/";
  for (const char* folder : {"tree/.hidden", "tree/shown"})
    std::filesystem::create_directories(Folder() + folder);
  MainWindow& w = NewSession();
  SelectPage& page = *w.Selection();
  QAction* hidden = w.Action(kShowHiddenFolders);
  EXPECT_FALSE(hidden->isChecked());
  page.ShowFolder(QString::fromStdString(base).chopped(1));
  // What the tree and the file list show below the folder, read in the
  // background.
  const auto shown = [&](QFileSystemModel* model) {
    const QModelIndex parent = model->index(QString::fromStdString(base).chopped(1));
    model->fetchMore(parent);
    QStringList names;
    for (int row = 0; row < model->rowCount(parent); ++row)
      names << model->index(row, 0, parent).data().toString();
    names.sort();
    return names;
  };
  const QStringList both = {QStringLiteral(".hidden"), QStringLiteral("shown")};
  ASSERT_TRUE(QTest::qWaitFor([&] { return shown(page.FileModel()).size() == 1; }, 10000));
  ASSERT_TRUE(QTest::qWaitFor([&] { return shown(page.FolderModel()).size() == 1; }, 10000));
  EXPECT_EQ(shown(page.FolderModel()), QStringList{QStringLiteral("shown")});

  hidden->trigger();
  EXPECT_TRUE(hidden->isChecked());
  EXPECT_TRUE(QTest::qWaitFor([&] { return shown(page.FolderModel()) == both; }, 10000));
  EXPECT_TRUE(QTest::qWaitFor([&] { return shown(page.FileModel()) == both; }, 10000));
  hidden->trigger();
  const QStringList visible = {QStringLiteral("shown")};
  EXPECT_TRUE(QTest::qWaitFor([&] { return shown(page.FolderModel()) == visible; }, 10000));
  EXPECT_TRUE(QTest::qWaitFor([&] { return shown(page.FileModel()) == visible; }, 10000));
}

TEST_F(WindowTest, WithoutAWebSiteNoCommandLeadsAnywhereThatCannotWork) {
  ASSERT_EQ(ProductWebSite(), "") << "builds name no web site unless the packager sets one";
  const std::string site = ProductWebSite();
  UrlRecorder urls;
  MainWindow& w = NewSession();
  w.SetFileChooser([](QWidget*, MainWindow::FileDialog) { return QString(); });
  for (int id : {kCheckUpgrades, kGetTemplates, kGetViewer, kSupportForum, kSupport})
    EXPECT_FALSE(w.Action(id)->isVisible()) << id;
  const QStringList aboutLinks = TriggerAllCommands(w);
  EXPECT_TRUE(urls.opened.isEmpty()) << urls.opened.join(' ').toStdString();
  EXPECT_TRUE(aboutLinks.isEmpty()) << aboutLinks.join(' ').toStdString();
  // Every help page shown is one of ours; codec help is too.
  EXPECT_FALSE(session_->help.Shown().empty());
  for (const std::string& page : session_->help.Shown())
    EXPECT_TRUE(FileExists(HelpPages::Address(page, HelpMode::notice)) ||
                FileExists(HelpPages::Address(page, HelpMode::tutorial)))
        << page;
  EXPECT_TRUE(FileExists(HelpPages::Address(CodecHelpAddress("/v/clip.rm"), HelpMode::notice)));

  SCOPED_TRACE("a packager's web site brings the web commands back");
  SetProductWebSite("http://site.test/");
  MainWindow& web = NewSession();
  web.SetFileChooser([](QWidget*, MainWindow::FileDialog) { return QString(); });
  for (int id : {kCheckUpgrades, kGetTemplates, kSupportForum, kSupport})
    EXPECT_TRUE(web.Action(id)->isVisible()) << id;
  const QStringList links = TriggerAllCommands(web);
  EXPECT_TRUE(links.contains(QStringLiteral("http://site.test/")));
  EXPECT_TRUE(urls.opened.contains(QStringLiteral("http://site.test/forum.htm")));
  EXPECT_TRUE(urls.opened.contains(QStringLiteral("http://site.test/upgrade.php?version=131")));
  SetProductWebSite(site);
}

TEST_F(WindowTest, EveryLinkOfTheShippedPagesLeadsToAFileOfOurs) {
  const std::filesystem::path data(OMBRELO_SOURCE_DATA_DIR);
  const QRegularExpression link(QStringLiteral("(?:href|src)=\"([^\"{]*)\""));
  int pages = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(data)) {
    if (!entry.is_regular_file()) continue;
    const std::string text = ReadFileBytes(entry.path());
    SCOPED_TRACE(entry.path().string());
    EXPECT_EQ(text.find("ombrelo.example"), std::string::npos);
    if (entry.path().extension() != ".htm") continue;
    ++pages;
    for (auto m = link.globalMatch(QString::fromStdString(text)); m.hasNext();) {
      const QString target = m.next().captured(1).section('#', 0, 0);
      if (target.isEmpty()) continue;  // a place on the same page
      EXPECT_FALSE(target.contains(':')) << "a link off the computer: " << target.toStdString();
      EXPECT_TRUE(FileExists((entry.path().parent_path() / target.toStdString()).string()))
          << target.toStdString();
    }
  }
  EXPECT_GE(pages, 14);
}

}  // namespace
}  // namespace ombrelo::desktop

#include "state_and_links_test.moc"
