// The main window holds at every size: at its minimum size and at large
// ones, with the default font and one half again as large (also when the
// font grows while the window is open), every page is walked control by
// control. No two visible controls overlap, none reaches out of what holds
// it unless a scroll area hides that part, none is squeezed below the size
// its text asks for, no column title is cut, and the picture of the empty
// "Videos to index" list never lies under an entry.
#include <QHeaderView>
#include <QPushButton>
#include <QStyle>
#include <QTest>
#include <QTreeView>

#include "app/desktop/commands.h"
#include "app/desktop/desktop_session.h"
#include "app/desktop/results/results_page.h"
#include "app/desktop/results/review_window.h"
#include "app/desktop/select_page.h"
#include "desktop/desktop_fixture.h"
#include "engine/capture_engine.h"
#include "project/project.h"
#include "support/recording_message_port.h"
#include "workflow/page_generation.h"

namespace ombrelo::desktop {
namespace {

std::string Name(const QWidget* w) {
  return std::string(w->metaObject()->className()) + " \"" +
         w->property("text").toString().toStdString() + "\"";
}

// Scrolled views count as one control; a page's scroll area holds controls.
bool IsControl(const QWidget* w) {
  if (w->inherits("QScrollArea")) return false;
  for (const char* kind :
       {"QAbstractButton", "QLabel", "QLineEdit", "QMenuBar", "QAbstractScrollArea"})
    if (w->inherits(kind)) return true;
  return false;
}

// Walks the visible controls below holder; `visible` is the part of holder
// in view (window co-ordinates).
void Walk(QWidget* holder, const QRect& visible, std::vector<std::pair<QWidget*, QRect>>& controls,
          std::vector<std::string>& faults) {
  const auto* scroll = qobject_cast<QAbstractScrollArea*>(holder->parentWidget());
  const bool scrolled = scroll && scroll->viewport() == holder;
  const QRect outer(holder->mapTo(holder->window(), QPoint()), holder->size());
  for (QWidget* child : holder->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    if (child->isWindow() || !child->isVisible()) continue;
    const QRect area(child->mapTo(child->window(), QPoint()), child->size());
    if (!scrolled && !outer.contains(area)) faults.push_back(Name(child) + " reaches out");
    if (!IsControl(child)) {
      Walk(child, area & visible, controls, faults);
      continue;
    }
    if (!(area & visible).isEmpty()) controls.emplace_back(child, area & visible);
    // The minimum set on a control, else the one it asks for; a push
    // button's text with its margin and frame.
    const QSize hint = child->minimumSizeHint(), set = child->minimumSize();
    int width = set.width() > 0 ? set.width() : hint.width();
    const int height = set.height() > 0 ? set.height() : hint.height();
    if (auto* button = qobject_cast<QPushButton*>(child)) {
      const QStyle* style = button->style();
      // The text as drawn: a mnemonic's "&" is not.
      QString shown = button->text();
      shown.replace(QStringLiteral("&&"), QStringLiteral("\x01")).remove(QLatin1Char('&'));
      shown.replace(QLatin1Char('\x01'), QLatin1Char('&'));
      width = qMax(width, button->fontMetrics().horizontalAdvance(shown) +
                              style->pixelMetric(QStyle::PM_ButtonMargin) +
                              2 * style->pixelMetric(QStyle::PM_DefaultFrameWidth));
    }
    if (child->width() < width || child->height() < height)
      faults.push_back(Name(child) + " squeezed to " + std::to_string(child->width()) + "x" +
                       std::to_string(child->height()));
    if (auto* view = qobject_cast<QTreeView*>(child); view && !view->isHeaderHidden()) {
      for (int c = 0; c < view->header()->count(); ++c) {
        if (view->header()->sectionSize(c) < view->header()->sectionSizeHint(c))
          faults.push_back(Name(child) + " cuts the title of column " + std::to_string(c));
      }
    }
  }
}

std::vector<std::string> Faults(QWidget* window) {
  std::vector<std::pair<QWidget*, QRect>> controls;
  std::vector<std::string> faults;
  Walk(window, window->rect(), controls, faults);
  if (controls.size() < 8)
    faults.push_back("only " + std::to_string(controls.size()) + " controls");
  for (size_t i = 0; i < controls.size(); ++i) {
    for (size_t j = i + 1; j < controls.size(); ++j) {
      if (controls[i].second.intersects(controls[j].second))
        faults.push_back(Name(controls[i].first) + " overlaps " + Name(controls[j].first));
    }
  }
  return faults;
}

// The application font, scaled for as long as it lives.
struct ScaledFont {
  explicit ScaledFont(double scale) : saved(QApplication::font()) {
    QFont font = saved;
    font.setPointSizeF(font.pointSizeF() * scale);
    QApplication::setFont(font);
  }
  ~ScaledFont() { QApplication::setFont(saved); }
  QFont saved;
};

class LayoutTest : public testing::DesktopTest, public ::testing::WithParamInterface<double> {
 protected:
  LayoutTest() { showTutorials_ = false; }
  testing::RecordingMessagePort messages_;
};

TEST_P(LayoutTest, EveryPageHoldsFromTheMinimumSizeToALargeWindow) {
  ScaledFont font(GetParam());
  CProject project(Folder());
  XsltPageGeneration generation;
  DesktopSession session(project, CaptureEngine::Instance(), *preferences_, generation);
  MainWindow& w = session.window;
  const QSize smallest(MainWindow::kMinimumWidth, MainWindow::kMinimumHeight);
  w.resize(smallest);
  w.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
  const auto settle = [] {
    for (int round = 0; round < 3; ++round) QCoreApplication::processEvents();
  };
  settle();
  // The empty list shows its picture whole; the first entry takes it away.
  VideosList* videos = w.Selection()->findChild<VideosList*>();
  EXPECT_TRUE(videos->viewport()->rect().contains(videos->PlaceholderRect()));
  EXPECT_FALSE(videos->PlaceholderRect().isEmpty());
  project.AddMovie(Folder() + "waiting clip.avi");
  project.SetMovieStatus(project.AddMovie(Folder() + "a finished clip with a rather long name.mp4"),
                         kMovieDone);
  EXPECT_TRUE(videos->PlaceholderRect().isEmpty());

  // The results page with a movie chosen, its review window docked.
  auto* results = w.PageAt(kResultsPage)->findChild<ombrelo::desktop::ResultsPage*>();
  const auto walkPages = [&](const QSize& size, const char* when) {
    w.resize(size);
    for (int page : {kSelectPage, kSettingsPage, kProgressPage, kResultsPage}) {
      w.SwitchToPage(page);
      if (page == kResultsPage) results->SelectMovie(project.Movies().back().id());
      settle();
      ASSERT_EQ(w.size(), size);
      EXPECT_EQ(Faults(&w), std::vector<std::string>())
          << "page " << page << " at " << size.width() << "x" << size.height() << when;
    }
  };
  for (const QSize size : {smallest, QSize(1280, 1024), QSize(852, 563)}) walkPages(size, "");
  ASSERT_TRUE(results->Review() && results->Review()->isVisible());

  ScaledFont grown(1.5);
  walkPages(QSize(1280, 1024), " after the font grew");
  walkPages(smallest, " after the font grew");
}

INSTANTIATE_TEST_SUITE_P(Fonts, LayoutTest, ::testing::Values(1.0, 1.5));

}  // namespace
}  // namespace ombrelo::desktop
