// The main window as a keyboard user and a user of a dark colour scheme meet
// it: Tab through every page in reading order, Alt keys that do not
// collide, the capture keys, the toolbar's names, and pages that follow a
// dark palette.
#include <QAbstractButton>
#include <QAbstractItemView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <cmath>

#include "app/desktop/commands.h"
#include "app/desktop/desktop_session.h"
#include "app/desktop/help_window.h"
#include "app/desktop/html_widget.h"
#include "app/desktop/main_window_dialogs.h"
#include "app/desktop/palette.h"
#include "app/desktop/results/results_page.h"
#include "app/desktop/results/review_window.h"
#include "desktop/desktop_fixture.h"
#include "desktop/keyboard_walk.h"
#include "engine/capture_engine.h"
#include "project/project.h"
#include "workflow/page_generation.h"

namespace ombrelo::desktop {
namespace {

constexpr int kPages[] = {kSelectPage, kSettingsPage, kProgressPage, kResultsPage};

class KeyboardAndColoursTest : public testing::DesktopTest {
 protected:
  void SetUp() override {
    showTutorials_ = false;
    DesktopTest::SetUp();
    project_ = std::make_unique<CProject>(Folder());
    session_ = std::make_unique<DesktopSession>(*project_, CaptureEngine::Instance(), *preferences_,
                                                pages_);
    Window().show();
  }
  void TearDown() override {
    session_.reset();
    DesktopTest::TearDown();
  }
  MainWindow& Window() { return session_->window; }
  void Show(int page) {
    Window().Dispatch(PageCommand(page));
    ASSERT_EQ(Window().CurrentPage(), page);
  }

  std::unique_ptr<CProject> project_;
  XsltPageGeneration pages_;
  std::unique_ptr<DesktopSession> session_;
};

TEST_F(KeyboardAndColoursTest, TabReachesEveryControlOfEachPageInReadingOrder) {
  project_->AddMovie(Folder() + "clip.avi");  // so that Next takes the focus too
  for (int page : kPages) {
    SCOPED_TRACE("page " + std::to_string(page));
    Show(page);
    QWidget* area = Window().PageAt(page);
    const std::vector<QWidget*> stops = testing::TabStops(area);
    ASSERT_FALSE(stops.empty());
    // From the control nearest the top left corner.
    QWidget* first = *std::min_element(stops.begin(), stops.end(), [area](QWidget* a, QWidget* b) {
      return testing::ReadBefore(area, a, b);
    });
    testing::ExpectTabReachesAllInReadingOrder(area, first);
  }
}

TEST_F(KeyboardAndColoursTest, AltKeysAreOwnPerPageAndMenuAndCaptureKeysShowInTheMenu) {
  MainWindow& w = Window();
  for (int page : kPages) {
    Show(page);
    testing::ExpectOwnMnemonics(testing::AltKeyTexts(w.menuBar(), w.PageAt(page)),
                                "page " + std::to_string(page));
  }
  for (QAction* action : w.menuBar()->actions())
    testing::ExpectMenusHaveOwnMnemonics(action->menu());

  // Alt+C opens the Capture menu, which offers Start, Stop and Pause with
  // their keys.
  Show(kSelectPage);
  QApplication::setActiveWindow(&w);
  QMenu* capture = nullptr;
  for (QAction* action : w.menuBar()->actions())
    if (action->text() == "&Capture") capture = action->menu();
  ASSERT_NE(capture, nullptr);
  QTest::keyClick(&w, Qt::Key_C, Qt::AltModifier);
  EXPECT_TRUE(capture->isVisible());
  capture->close();
  EXPECT_EQ(w.Action(kStart)->shortcut(), QKeySequence(Qt::Key_F5));
  EXPECT_EQ(w.Action(kStop)->shortcut(), QKeySequence(Qt::SHIFT | Qt::Key_F5));
  EXPECT_EQ(w.Action(kPause)->shortcut(), QKeySequence(Qt::Key_Pause));
  // The toolbar's picture buttons have names and tips.
  for (QToolButton* button :
       w.findChild<QToolBar*>(QStringLiteral("toolbar"))->findChildren<QToolButton*>())
    if (button->defaultAction()) {
      EXPECT_FALSE(button->accessibleName().isEmpty() || button->toolTip().isEmpty());
    }

  // The question about unsaved work: Save, Discard and Cancel by Alt key.
  std::vector<QString> answers;
  QTimer::singleShot(0, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box) return;
    for (QAbstractButton* button : box->buttons()) answers.push_back(button->text());
    box->reject();
  });
  DefaultSaveQuestion(&w, QStringLiteral("clip.opj"));
  EXPECT_EQ(answers.size(), 3u);
  testing::ExpectOwnMnemonics(answers, "save question");

  // Ctrl+Q quits, as in every program of the desktop (a question about
  // unsaved work, if any, is answered Cancel).
  QSignalSpy exits(w.Action(kExit), &QAction::triggered);
  QTimer::singleShot(0, [] {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) box->reject();
  });
  QApplication::setActiveWindow(&w);
  QTest::keyClick(&w, Qt::Key_Q, Qt::ControlModifier);
  EXPECT_EQ(exits.count(), 1);
}

// The share of the page's pixels that are light, but for the pictures it
// shows (previews of templates are content, not the page's chrome).
double LightShare(QWidget* page) {
  QImage image = page->grab().toImage();
  QPainter blank(&image);
  for (QLabel* label : page->findChildren<QLabel*>())
    if (label->isVisibleTo(page) && !label->pixmap().isNull())
      blank.fillRect(QRect(label->mapTo(page, QPoint()), label->size()), Qt::black);
  blank.end();
  qint64 light = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) light += image.pixelColor(x, y).lightness() > 150;
  return double(light) / (qint64(image.width()) * image.height());
}

TEST_F(KeyboardAndColoursTest, PagesFollowADarkPaletteAndTheFocusShowsInTheirLists) {
  // Back to the palette of before, also when an assertion ends the test.
  struct Restore {
    QPalette palette = QApplication::palette();
    ~Restore() { QApplication::setPalette(palette); }
  } restore;
  // As the program starts with a dark scheme: the palette first, then the
  // window (outside a running event loop Qt does not hand a later change of
  // the program's palette on to existing windows).
  session_.reset();
  QApplication::setPalette(DarkPalette());
  session_ =
      std::make_unique<DesktopSession>(*project_, CaptureEngine::Instance(), *preferences_, pages_);
  Window().show();
  for (int page : kPages) {
    Show(page);
    const double share = LightShare(Window().PageAt(page));
    EXPECT_LT(share, 0.04) << "page " << page << " is " << int(share * 100) << "% light";
  }

  // In a list of the selection page, the selection shows the highlight
  // while the list has the focus and a quieter colour while it has not.
  Show(kSelectPage);
  auto views = Window().PageAt(kSelectPage)->findChildren<QAbstractItemView*>();
  ASSERT_GE(views.size(), 3);
  QAbstractItemView* view = views.front();
  QApplication::setActiveWindow(&Window());
  view->setFocus();
  ASSERT_TRUE(view->hasFocus());
  const QColor focused = view->palette().color(QPalette::Active, QPalette::Highlight);
  views.back()->setFocus();
  const QColor unfocused = view->palette().color(QPalette::Active, QPalette::Highlight);
  EXPECT_EQ(focused, DarkPalette().color(QPalette::Highlight));
  EXPECT_NE(unfocused, focused);
  EXPECT_LT(unfocused.lightness(), 150);  // still dark ground
}

// The mean lightness of what an icon covers (its opaque pixels).
double SymbolLightness(const QIcon& icon, QSize size) {
  const QImage image = icon.pixmap(size).toImage().convertToFormat(QImage::Format_ARGB32);
  double sum = 0;
  int covered = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (image.pixelColor(x, y).alpha() > 128) {
        sum += image.pixelColor(x, y).lightness();
        ++covered;
      }
  return covered ? sum / covered : -1;
}

TEST_F(KeyboardAndColoursTest, HelpPagesAndThePlaySymbolFollowTheSchemeAlsoWhenItChanges) {
  struct Restore {
    QPalette palette = QApplication::palette();
    ~Restore() { QApplication::setPalette(palette); }
  } restore;
  const std::string address = HelpPages::Address("help_index.htm", HelpMode::notice);
  const auto loaded = [](HelpWindow& window) {
    return QTest::qWaitFor([&] { return !window.Browser()->View().Busy(); }, 5000);
  };
  // In a light scheme the page keeps its own white ground.
  HelpWindow before(*preferences_, address, HelpMode::notice, nullptr);
  before.show();
  ASSERT_TRUE(loaded(before));
  EXPECT_GT(LightShare(before.Browser()), 0.5);

  // Dark from the start, and for the page shown when the scheme changes (at
  // the place it was read).
  QApplication::setPalette(DarkPalette());
  HelpWindow dark(*preferences_, address, HelpMode::notice, nullptr);
  dark.show();
  ASSERT_TRUE(loaded(dark));
  const double share = LightShare(dark.Browser());
  EXPECT_LT(share, 0.1) << int(share * 100) << "% of the help page is light";
  EXPECT_TRUE(QTest::qWaitFor([&] { return LightShare(before.Browser()) < 0.1; }, 5000));

  // The Play button's symbol stands out from the button in both schemes.
  QPushButton* play = nullptr;
  for (QPushButton* button : Window().Results()->EnsureReview().findChildren<QPushButton*>())
    if (button->text() == "&Play") play = button;
  ASSERT_NE(play, nullptr);
  const auto contrast = [&](const QPalette& palette) {
    QApplication::setPalette(palette);
    return std::abs(SymbolLightness(play->icon(), play->iconSize()) -
                    palette.color(QPalette::Button).lightness());
  };
  EXPECT_GT(contrast(DarkPalette()), 100);
  EXPECT_GT(contrast(restore.palette), 100);
}

}  // namespace
}  // namespace ombrelo::desktop
